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

// ---- Colours
// A host colour value (0x00BBGGRR), the colour every drawing call takes (tuDraw::Rect, Line,
// SetTextColors, SetColorKey, ...), from red, green and blue of 0..255; values outside that
// range are held to it.
constexpr uint32_t Rgb(int red, int green, int blue) {
  auto c = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return c(red) | c(green) << 8 | c(blue) << 16;
}
constexpr int RedOf(uint32_t color) { return static_cast<int>(color & 0xFF); }
constexpr int GreenOf(uint32_t color) { return static_cast<int>((color >> 8) & 0xFF); }
constexpr int BlueOf(uint32_t color) { return static_cast<int>((color >> 16) & 0xFF); }

constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kRed = Rgb(255, 0, 0);
constexpr uint32_t kGreen = Rgb(0, 255, 0);
constexpr uint32_t kBlue = Rgb(0, 0, 255);
constexpr uint32_t kYellow = Rgb(255, 255, 0);

// A pixel value of a 16-bit back buffer, as the effect calls that take one want it
// (tuDraw::FillRectValue, DrawNoise, SmokeFeed, DrawRotateColor): each component's top bits in
// its place. Pixel565 is for the desktop's usual 5-6-5 layout, Pixel555 for 5-5-5;
// tuDraw::PixelOf picks the layout of the back buffer in use.
constexpr int Pixel565(int red, int green, int blue) {
  uint32_t c = Rgb(red, green, blue);
  return static_cast<int>((RedOf(c) >> 3) << 11 | (GreenOf(c) >> 2) << 5 | BlueOf(c) >> 3);
}
constexpr int Pixel555(int red, int green, int blue) {
  uint32_t c = Rgb(red, green, blue);
  return static_cast<int>((RedOf(c) >> 3) << 10 | (GreenOf(c) >> 3) << 5 | BlueOf(c) >> 3);
}

}  // namespace tu
