#pragma once
// Checksums of the chunks of PNG files and the pages of Ogg files, set right again after the
// fuzzer's mutations: otherwise nearly every mutated input stops at a checksum and the
// decoders behind it are never reached.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace fuzz {

inline uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// PNG: after the 8-byte signature, chunks of length, type, data and a CRC-32 of type and data.
inline void FixPngChecksums(std::vector<uint8_t>& v) {
  size_t at = 8;
  while (at + 12 <= v.size()) {
    const uint32_t length = Be32(&v[at]);
    if (length > v.size() - at - 12) break;
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = at + 4; i < at + 8 + length; ++i) {
      crc ^= v[i];
      for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    const size_t c = at + 8 + length;
    v[c] = uint8_t(crc >> 24), v[c + 1] = uint8_t(crc >> 16), v[c + 2] = uint8_t(crc >> 8), v[c + 3] = uint8_t(crc);
    at = c + 4;
  }
}

// Ogg: pages of a 27-byte header, a segment table and the body; the checksum (CRC-32, poly
// 0x04C11DB7, not reflected, over the page with the checksum field zero) is at byte 22.
inline void FixOggChecksums(std::vector<uint8_t>& v) {
  size_t at = 0;
  while (at + 27 <= v.size() && memcmp(&v[at], "OggS", 4) == 0) {
    const size_t segments = v[at + 26];
    if (at + 27 + segments > v.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += v[at + 27 + i];
    const size_t end = at + 27 + segments + body;
    if (end > v.size()) break;
    memset(&v[at + 22], 0, 4);
    uint32_t crc = 0;
    for (size_t i = at; i < end; ++i) {
      crc ^= static_cast<uint32_t>(v[i]) << 24;
      for (int k = 0; k < 8; ++k) crc = crc << 1 ^ (0x04C11DB7u & (0u - (crc >> 31)));
    }
    v[at + 22] = uint8_t(crc), v[at + 23] = uint8_t(crc >> 8), v[at + 24] = uint8_t(crc >> 16),
    v[at + 25] = uint8_t(crc >> 24);
    at = end;
  }
}

}  // namespace fuzz
