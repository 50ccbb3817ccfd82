// Online messages: any datagram decodes or is refused with a reason; what decodes encodes back
// to exactly the same bytes.
#include <cstdint>
#include <cstring>

#include "net/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  net::Message m;
  const char* why = nullptr;
  if (!net::Decode(data, size, &m, &why)) {
    if (why == nullptr || *why == '\0') __builtin_trap();  // a refusal always says why
    return 0;
  }
  uint8_t again[net::kMaxMessageBytes];
  size_t n = net::Encode(m, again);
  if (n != size || std::memcmp(again, data, size) != 0) __builtin_trap();
  return 0;
}
