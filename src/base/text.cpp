#include "base/text.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace tu {

size_t Utf8Fit(const char* s, size_t max) {
  size_t n = strnlen(s, max + 1);
  if (n <= max) return n;
  n = max;
  // Step back over continuation bytes to the start of the cut character.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

void CopyCut(char* out, size_t size, const char* src) {
  if (size == 0) return;
  size_t n = Utf8Fit(src, size - 1);
  memmove(out, src, n);
  out[n] = 0;
}

void JoinCut(char* out, size_t size, const char* a, const char* b, const char* c) {
  if (size == 0) return;
  CopyCut(out, size, a);
  for (const char* part : {b, c}) {
    size_t used = strlen(out);
    CopyCut(out + used, size - used, part);
  }
}

void FormatCut(char* out, size_t size, const char* format, va_list args) {
  if (size == 0) return;
  int n = vsnprintf(out, size, format, args);
  if (n >= static_cast<int>(size)) out[Utf8Fit(out, size - 1)] = 0;
  if (n < 0) out[0] = 0;
}

std::string Printable(const std::string& text, size_t max) {
  std::string out;
  for (size_t i = 0; i < text.size() && i < max; ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  if (text.size() > max) out += "...";
  return out;
}

}  // namespace tu
