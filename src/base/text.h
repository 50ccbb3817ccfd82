#pragma once
#include <cstdarg>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <string>

// Bounded text building for the library's fixed buffers: results are cut, never overflow,
// and a cut never splits a UTF-8 character.
namespace tu {

// Length of the longest prefix of `s` (at most `max` bytes) that ends on a character boundary.
size_t Utf8Fit(const char* s, size_t max);
// out = a + b + c, cut to fit `size` bytes with its terminator. `a` may alias `out`.
void JoinCut(char* out, size_t size, const char* a, const char* b, const char* c);
// vsnprintf into `out`, cut on a character boundary.
void FormatCut(char* out, size_t size, const char* format, va_list args);
// Copies `src` into `out`, cut.
void CopyCut(char* out, size_t size, const char* src);
// Outside text (an argument, a line of a file) as a terminal may show it: printable ASCII as it
// is, every other byte as \xNN, cut after `max` bytes of the input with "...".
std::string Printable(const std::string& text, size_t max = 80);
// A whole decimal number from `lo` to `hi` and nothing around it (a command line's value): false,
// `out` untouched, for anything else.
template <class Int>
bool ParseInteger(const char* s, long long lo, long long hi, Int* out) {
  if (!s || !*s || *s == ' ' || *s == '\t' || *s == '+') return false;
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(s, &end, 10);
  if (*end || errno != 0 || v < lo || v > hi) return false;
  *out = static_cast<Int>(v);
  return true;
}

}  // namespace tu
