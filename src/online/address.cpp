#include "online/address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <tu/keys.h>

#include "game/settings.h"
#include "net/relay_protocol.h"

namespace online {

bool ParsePort(const std::string& text, bool allowZero, uint16_t* port, std::string* error) {
  return ParsePortText(text, allowZero, port, error);
}

bool ParseHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* error) {
  return ParseAddress(text, kDefaultPort, host, port, error);
}

bool ParseJoinTarget(const std::string& text, JoinTarget* out, std::string* error) {
  char code[net::kRoomCodeLetters + 1] = {};
  bool plain = text.find_first_of(".:0123456789") == std::string::npos;
  if (plain && net::ParseRoomCode(text, code)) {
    *out = JoinTarget{};
    out->roomCode = true;
    out->code = code;
    return true;
  }
  JoinTarget t;
  if (!ParseHostPort(text, &t.host, &t.port, error)) return false;
  *out = t;
  return true;
}

std::string SpacedCode(const std::string& code) {
  std::string out;
  for (size_t i = 0; i < code.size(); ++i) {
    if (i > 0) out += i % 3 == 0 ? "   " : " ";
    out += code[i];
  }
  return out;
}

char AddressChar(int vk) {
  if (vk >= tu::kKeyA && vk <= tu::kKeyZ) return static_cast<char>('a' + (vk - tu::kKeyA));
  if (vk >= tu::kKey0 && vk <= tu::kKey9) return static_cast<char>(vk);
  if (vk >= tu::kKeyPad0 && vk <= tu::kKeyPad9) return static_cast<char>('0' + (vk - tu::kKeyPad0));
  if (vk == tu::kKeyPeriod || vk == tu::kKeyPadPeriod) return '.';
  if (vk == tu::kKeyMinus || vk == tu::kKeyPadMinus) return '-';
  if (vk == tu::kKeySemicolon) return ':';
  return 0;
}

std::vector<std::string> LocalAddresses() {
  std::vector<std::string> out, loopback;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return {"127.0.0.1"};
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP)) continue;
    char text[INET_ADDRSTRLEN] = {};
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
    if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
    std::vector<std::string>& to = (a->ifa_flags & IFF_LOOPBACK) ? loopback : out;
    bool seen = false;
    for (const std::string& s : to) seen = seen || s == text;
    if (!seen) to.push_back(text);
  }
  freeifaddrs(list);
  if (loopback.empty()) loopback.push_back("127.0.0.1");
  out.insert(out.end(), loopback.begin(), loopback.end());
  return out;
}

}  // namespace online
