#pragma once
// Shared set-up of the effect tests: a 64 x 48 headless display at 16 bits (5-6-5) and a
// 16 x 16 sprite, with helpers to build pixels from 5-bit components and compare buffers.
#include <functional>
#include <string>
#include <vector>

#include "draw_support.h"

namespace effects_support {

constexpr int kW = 64, kH = 48, kSide = 16;

// 5-6-5 pixel of 5-bit components (green placed in the top five of its six bits).
constexpr uint16_t P(int r, int g, int b) { return uint16_t(r << 11 | g << 6 | b); }
constexpr int R(uint32_t p) { return (p >> 11) & 31; }
constexpr int G(uint32_t p) { return (p >> 6) & 31; }
constexpr int B(uint32_t p) { return p & 31; }

class EffectsTest : public draw_support::DrawTest {
 protected:
  int sprite = 0;
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(tuDraw::Screen(kW, kH, 2), 1);
    sprite = tuDraw::CreateObject(kSide, kSide, 2);
    ASSERT_EQ(sprite, 4);
  }
  tu::platform::Surface* Surf(int id) const { return tuDraw::draw.sprites[id].surface; }
  void FillSprite(const std::function<uint16_t(int, int)>& f, int id = -1) {
    if (id < 0) id = sprite;
    for (int y = 0; y < tu::platform::SurfaceHeight(Surf(id)); ++y)
      for (int x = 0; x < tu::platform::SurfaceWidth(Surf(id)); ++x)
        tu::platform::WritePixel(Surf(id), x, y, f(x, y));
  }
  void FillBackWith(const std::function<uint16_t(int, int)>& f) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) tu::platform::WritePixel(tuDraw::draw.backSurface, x, y, f(x, y));
  }
  std::vector<uint32_t> Snapshot() const {
    std::vector<uint32_t> v;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) v.push_back(Back(x, y));
    return v;
  }
};

// A recognisable background that no rule reproduces by chance: every pixel differs.
inline uint16_t Background(int x, int y) { return uint16_t(0x1111 + x * 97 + y * 389); }
// A sprite picture without zero pixels.
inline uint16_t Opaque(int x, int y) { return P(4 + x, 3 + y, 20 - x); }

}  // namespace effects_support
