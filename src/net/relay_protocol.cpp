#include "net/relay_protocol.h"

#include <cstdio>
#include <cstring>

namespace net {

const char kRoomCodeAlphabet[] = "ACDEFGHJKMNPRTWXY";

namespace {

constexpr uint32_t kLetters = sizeof kRoomCodeAlphabet - 1;
static_assert(kLetters == 17, "the count of codes assumes 17 letters");

int LetterIndex(char c) {
  const char* at = c ? std::strchr(kRoomCodeAlphabet, c) : nullptr;
  return at ? static_cast<int>(at - kRoomCodeAlphabet) : -1;
}

bool CanonicalCode(const char* code) {
  for (size_t i = 0; i < kRoomCodeLetters; ++i)
    if (LetterIndex(code[i]) < 0) return false;
  return code[kRoomCodeLetters] == '\0';
}

bool HasVersions(RelayType t) { return t == RelayType::Open || t == RelayType::Join || t == RelayType::Watch; }

}  // namespace

const char* RelayEndText(RelayEnd reason) {
  switch (reason) {
    case RelayEnd::OtherLeft: return "the other player left";
    case RelayEnd::HostLeft: return "the host left";
    case RelayEnd::Alone: return "nobody joined in time";
    case RelayEnd::Idle: return "nothing was sent for too long";
    case RelayEnd::RelayStopping: return "relay stopping";
  }
  return "unknown reason";
}

const char* RelayRefusalText(RelayRefusal reason) {
  switch (reason) {
    case RelayRefusal::UnknownCode: return "no room has that code";
    case RelayRefusal::RoomFull: return "the room is full";
    case RelayRefusal::BadVersion: return "the room or relay has another version";
    case RelayRefusal::TooManyRooms: return "the relay has no room to spare";
    case RelayRefusal::BadRequest: return "bad request";
    case RelayRefusal::TooManyWatchers: return "the game has 8 watchers already";
  }
  return "unknown reason";
}

size_t EncodeRelay(const RelayMessage& m, uint8_t* out) {
  size_t n = 0;
  out[n++] = static_cast<uint8_t>(m.type);
  if (HasVersions(m.type)) {
    out[n++] = m.relayProtocol;
    out[n++] = static_cast<uint8_t>(m.gameProtocol);
    out[n++] = static_cast<uint8_t>(m.gameProtocol >> 8);
  }
  switch (m.type) {
    case RelayType::Open:
      break;
    case RelayType::Code:
    case RelayType::Join:
    case RelayType::Watch:
      if (!CanonicalCode(m.code)) return 0;
      std::memcpy(out + n, m.code, kRoomCodeLetters);
      n += kRoomCodeLetters;
      break;
    case RelayType::Paired:
      if (m.role > 2) return 0;
      out[n++] = m.role;
      break;
    case RelayType::Watchers:
      if (m.watchers > kMaxRelayWatchers) return 0;
      out[n++] = m.watchers;
      for (int i = 0; i < 4; ++i) out[n++] = static_cast<uint8_t>(m.watchersJoined >> (8 * i));
      break;
    case RelayType::Ended:
      if (static_cast<uint8_t>(m.ended) > kLastRelayEnd) return 0;
      out[n++] = static_cast<uint8_t>(m.ended);
      break;
    case RelayType::Refused:
      if (static_cast<uint8_t>(m.refused) > kLastRelayRefusal) return 0;
      out[n++] = static_cast<uint8_t>(m.refused);
      break;
    default:
      return 0;
  }
  return n;
}

bool DecodeRelay(const uint8_t* data, size_t size, RelayMessage* out, const char** why) {
  // Every message has a fixed length, known from its type: checked before any field is read.
  static const size_t kLength[] = {4, 1 + kRoomCodeLetters, 4 + kRoomCodeLetters, 2, 2, 2, 4 + kRoomCodeLetters, 6};
  const char* reason = nullptr;
  RelayMessage m;
  if (size == 0 || data == nullptr) {
    reason = "empty datagram";
  } else if (data[0] < static_cast<uint8_t>(RelayType::Open) || data[0] > static_cast<uint8_t>(RelayType::Watchers)) {
    thread_local char unknown[32];
    std::snprintf(unknown, sizeof unknown, "unknown relay type 0x%02x", unsigned{data[0]});
    reason = unknown;
  } else if (size < kLength[data[0] - kFirstRelayType]) {
    reason = "truncated relay message";
  } else if (size > kLength[data[0] - kFirstRelayType]) {
    reason = "trailing bytes";
  } else {
    m.type = static_cast<RelayType>(data[0]);
    size_t n = 1;
    if (HasVersions(m.type)) {
      m.relayProtocol = data[1];
      m.gameProtocol = static_cast<uint16_t>(data[2] | data[3] << 8);
      n = 4;
    }
    switch (m.type) {
      case RelayType::Code:
      case RelayType::Join:
      case RelayType::Watch:
        std::memcpy(m.code, data + n, kRoomCodeLetters);
        m.code[kRoomCodeLetters] = '\0';
        if (!CanonicalCode(m.code)) reason = "room code not of the alphabet";
        break;
      case RelayType::Paired:
        m.role = data[1];
        if (m.role > 2) reason = "Paired: role not 0, 1 or 2";
        break;
      case RelayType::Watchers:
        m.watchers = data[1];
        m.watchersJoined = static_cast<uint32_t>(data[2] | data[3] << 8 | data[4] << 16) | uint32_t{data[5]} << 24;
        if (m.watchers > kMaxRelayWatchers) reason = "Watchers: more than 8";
        break;
      case RelayType::Ended:
        if (data[1] > kLastRelayEnd) reason = "Ended: unknown reason";
        m.ended = static_cast<RelayEnd>(data[1]);
        break;
      case RelayType::Refused:
        if (data[1] > kLastRelayRefusal) reason = "Refused: unknown reason";
        m.refused = static_cast<RelayRefusal>(data[1]);
        break;
      default:
        break;
    }
  }
  if (!reason) *out = m;
  if (why) *why = reason;
  return reason == nullptr;
}

bool ParseRoomCode(const std::string& text, char out[kRoomCodeLetters + 1]) {
  char code[kRoomCodeLetters + 1] = {};
  size_t n = 0;
  for (char c : text) {
    if (c == ' ' || c == '-') continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (n == kRoomCodeLetters || LetterIndex(c) < 0) return false;
    code[n++] = c;
  }
  if (n != kRoomCodeLetters) return false;
  std::memcpy(out, code, sizeof code);
  return true;
}

bool RoomCodeIndex(const char* code, uint32_t* index) {
  if (!CanonicalCode(code)) return false;
  uint32_t v = 0;
  for (size_t i = 0; i < kRoomCodeLetters; ++i) v = v * kLetters + static_cast<uint32_t>(LetterIndex(code[i]));
  *index = v;
  return true;
}

void RoomCodeText(uint32_t index, char out[kRoomCodeLetters + 1]) {
  index %= kRoomCodeCount;
  for (size_t i = kRoomCodeLetters; i-- > 0;) {
    out[i] = kRoomCodeAlphabet[index % kLetters];
    index /= kLetters;
  }
  out[kRoomCodeLetters] = '\0';
}

}  // namespace net
