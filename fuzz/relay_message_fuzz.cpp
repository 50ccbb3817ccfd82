// Relay messages: any datagram decodes or is refused with a reason; what decodes encodes back to
// exactly the same bytes; a typed room code is read without reading past the text.
#include <cstdint>
#include <cstring>
#include <string>

#include "net/relay_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  net::RelayMessage m;
  const char* why = nullptr;
  if (net::DecodeRelay(data, size, &m, &why)) {
    uint8_t again[net::kMaxRelayMessageBytes];
    size_t n = net::EncodeRelay(m, again);
    if (n != size || std::memcmp(again, data, size) != 0) __builtin_trap();
  } else if (why == nullptr || *why == '\0') {
    __builtin_trap();  // a refusal always says why
  }
  char code[net::kRoomCodeLetters + 1];
  if (net::ParseRoomCode(std::string(reinterpret_cast<const char*>(data), size), code)) {
    uint32_t index = 0;
    char back[net::kRoomCodeLetters + 1];
    if (!net::RoomCodeIndex(code, &index)) __builtin_trap();
    net::RoomCodeText(index, back);
    if (std::strcmp(back, code) != 0) __builtin_trap();
  }
  return 0;
}
