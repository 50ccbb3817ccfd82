#pragma once
#include <cstdint>

namespace tu {

// Rectangles are left, top, right, bottom with right and bottom exclusive.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

// Whether the two rectangles share at least one pixel. An empty rectangle (right <= left or
// bottom <= top) overlaps nothing; rectangles that only touch along an edge do not overlap.
constexpr bool Overlaps(const Rect& a, const Rect& b) {
  return a.left < a.right && a.top < a.bottom && b.left < b.right && b.top < b.bottom &&
         a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Whether pixel (x, y) lies in the rectangle: left <= x < right and top <= y < bottom.
constexpr bool Contains(const Rect& r, int x, int y) {
  return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

}  // namespace tu
