#pragma once
#include <cstdarg>
#include <cstddef>
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

}  // namespace tu
