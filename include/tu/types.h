#pragma once
#include <cstdint>

namespace tu {

// Rectangles are left, top, right, bottom with right and bottom exclusive.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

}  // namespace tu
