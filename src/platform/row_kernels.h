#pragma once
// Row kernels of the software surfaces: spans copied inline, rectangles copied row by row or as
// one block, and keyed copies that choose source or destination per pixel. Source and
// destination never overlap.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tu::platform::rows {

template <size_t N>
inline void Move(uint8_t* d, const uint8_t* s) {
  uint8_t t[N];
  std::memcpy(t, s, N);
  std::memcpy(d, t, N);
}

// Copies n bytes, n >= 2 and a whole number of pixels. Sprite runs are short: they go inline in
// fixed-size moves, the last one overlapping the one before, which a call to memcpy would cost
// more than; long spans go to memcpy.
inline void CopySpan(uint8_t* d, const uint8_t* s, size_t n) {
  if (n <= 16) {
    if (n >= 8) {
      Move<8>(d, s);
      Move<8>(d + n - 8, s + n - 8);
    } else if (n >= 4) {
      Move<4>(d, s);
      Move<4>(d + n - 4, s + n - 4);
    } else {
      Move<2>(d, s);
    }
  } else if (n <= 32) {
    Move<16>(d, s);
    Move<16>(d + n - 16, s + n - 16);
  } else if (n <= 64) {
    Move<16>(d, s);
    Move<16>(d + 16, s + 16);
    Move<16>(d + n - 32, s + n - 32);
    Move<16>(d + n - 16, s + n - 16);
  } else if (n <= 128) {
    const size_t last = n - 16;
    for (size_t i = 0; i < last; i += 16) Move<16>(d + i, s + i);
    Move<16>(d + last, s + last);
  } else {
    std::memcpy(d, s, n);
  }
}

// `rows` rows of `rowBytes` bytes each. Rows that follow each other without a gap in both
// surfaces (whole rows of surfaces of one width) are one block: a single large copy, which the
// C library makes without reading the destination's cache lines first.
inline void CopyRect(uint8_t* to, ptrdiff_t toPitch, const uint8_t* from, ptrdiff_t fromPitch,
                     size_t rowBytes, int rows) {
  if (toPitch == fromPitch && static_cast<size_t>(toPitch) == rowBytes) {
    std::memcpy(to, from, rowBytes * static_cast<size_t>(rows));
    return;
  }
  for (int j = 0; j < rows; ++j, to += toPitch, from += fromPitch) CopySpan(to, from, rowBytes);
}

// A keyed row: every pixel that is not `key` replaces the destination's. Whole vectors of
// pixels are chosen at once (the destination is written back unchanged where the key is);
// a row of at least one vector ends with a vector that overlaps the one before, which choosing
// again leaves as it is.
template <class Pixel>
inline void SelectRow(Pixel* __restrict d, const Pixel* __restrict s, int n, Pixel key) {
  using Vec [[gnu::vector_size(16)]] = Pixel;
  constexpr int kLanes = 16 / sizeof(Pixel);
  if (n < kLanes) {
    for (int i = 0; i < n; ++i)
      if (s[i] != key) d[i] = s[i];
    return;
  }
  const Vec k = Vec{} + key;
  auto step = [&](int i) {
    Vec a, b;
    std::memcpy(&a, s + i, 16);
    std::memcpy(&b, d + i, 16);
    const Vec out = a == k ? b : a;
    std::memcpy(d + i, &out, 16);
  };
  const int last = n - kLanes;
  for (int i = 0; i < last; i += kLanes) step(i);
  step(last);
}

}  // namespace tu::platform::rows
