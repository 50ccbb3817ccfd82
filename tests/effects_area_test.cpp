// Fills of the back buffer and the filters over its areas: values, the mosaic's blocks, rising
// smoke, magnifiers, and that every area stays inside clipRect and the screen.
#include "effects_support.h"

using namespace effects_support;
using namespace tuDraw;

namespace {

class EffectAreas : public EffectsTest {};

// Every area filter over (x, y, width, height); the mosaic's square sits in the top left corner.
std::vector<std::pair<std::string, std::function<int(int, int, int, int)>>> Filters() {
  return {
      {"Smoke", Smoke},
      {"SmokeFlags", [](int x, int y, int w, int h) { return SmokeFlags(x, y, w, h, 1, 1, 1); }},
      {"SmokeFeed", [](int x, int y, int w, int h) { return SmokeFeed(0xFFFF, x, y, w, h); }},
      {"SmokeFeedFlags", [](int x, int y, int w, int h) { return SmokeFeedFlags(0x07E0, x, y, w, h, 0, 1, 1); }},
      {"MagnifyWide", [](int x, int y, int w, int h) { return MagnifyWide(x, y, w, h, 1); }},
      {"Magnify", [](int x, int y, int w, int h) { return Magnify(x, y, w, h, 0); }},
      {"Mosaic", [](int x, int y, int w, int h) { int r = std::min(w, h) / 2; return Mosaic(x + r, y + r, r, 3); }},
      {"Invert", Invert},
      {"Emboss", Emboss},
      {"Darken", [](int x, int y, int w, int h) {
         auto edge = [](int a, int n) { return int(std::min<int64_t>(int64_t(a) + n, INT32_MAX)); };
         return DarkenRect(x, y, edge(x, w), edge(y, h), 2);
       }},
  };
}

TEST_F(EffectAreas, FillsFramesAndDarkening) {
  FillBackWith(Background);
  EXPECT_EQ(FillRect(2, 3, 10, 8), 1);
  EXPECT_TRUE(Back(2, 3) == 0 && Back(9, 7) == 0);
  EXPECT_TRUE(Back(10, 7) == Background(10, 7) && Back(9, 8) == Background(9, 8));
  EXPECT_EQ(FillRectValue(-5, -5, 3, 2, 0x1234), 1);  // cut to the screen
  EXPECT_TRUE(Back(0, 0) == 0x1234 && Back(3, 0) == Background(3, 0));
  EXPECT_EQ(FillRectWhite(kW - 2, kH - 2, kW + 100, kH + 100), 1);
  EXPECT_TRUE(Back(kW - 1, kH - 1) == 0xFFFF && Back(kW - 3, kH - 1) == Background(kW - 3, kH - 1));
  EXPECT_EQ(FrameRect(5, 5, 15, 12), 1);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(Back(5 + i, 5) == 0 && Back(5 + i, 11) == 0) << i;
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(Back(5, 5 + i) == 0 && Back(14, 5 + i) == 0) << i;
  EXPECT_TRUE(Back(12, 6) == Background(12, 6) && Back(15, 5) == Background(15, 5));
  EXPECT_EQ(FillScreenWhite(), 1);
  EXPECT_TRUE(Back(0, 0) == 0xFFFF && Back(kW - 1, kH - 1) == 0xFFFF);

  SetClip(0, 0, 10, 10);
  EXPECT_EQ(DarkenRect(0, 0, 20, 4, 1), 1);
  EXPECT_TRUE(Back(9, 3) == 0x7BEF && Back(10, 3) == 0xFFFF && Back(0, 4) == 0xFFFF);
  EXPECT_EQ(DarkenRect(0, 0, 2, 2, 1), 1);
  EXPECT_EQ(Back(0, 0), 0x39E7u);
  EXPECT_EQ(DarkenRect(0, 6, 2, 7, 0), 1);
  EXPECT_EQ(Back(0, 6), 0xFFFFu);
  EXPECT_EQ(DarkenRect(0, 6, 2, 7, 99), 1);  // at most six halvings: black
  EXPECT_EQ(Back(0, 6), 0u);
}

TEST_F(EffectAreas, MosaicFillsEachBlockWithItsFirstPixel) {
  FillBackWith(Background);
  ASSERT_EQ(Mosaic(20, 20, 6, 4), 1);  // square 14..26, blocks at 14, 18, 22
  for (int y = 10; y < 30; ++y)
    for (int x = 10; x < 30; ++x) {
      bool in = x >= 14 && x < 26 && y >= 14 && y < 26;
      ASSERT_EQ(Back(x, y), in ? Background(14 + (x - 14) / 4 * 4, 14 + (y - 14) / 4 * 4) : Background(x, y));
    }
  // Cut by the screen, the blocks still count from the square's corner: -5, -1, 3.
  FillBackWith(Background);
  ASSERT_EQ(Mosaic(1, 1, 6, 4), 1);
  EXPECT_EQ(Back(2, 2), Background(0, 0));
  EXPECT_EQ(Back(6, 6), Background(3, 3));
  EXPECT_EQ(Back(7, 7), Background(7, 7));
  const auto before = Snapshot();
  EXPECT_EQ(Mosaic(20, 20, 6, 0), 1);
  EXPECT_EQ(Mosaic(20, 20, 0, 4), 1);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(EffectAreas, SmokeRisesFromWarmRows) {
  // A white bottom row under black: the dense smoke carries a quarter of it one row up.
  auto warm = [](int, int y) { return y == 7 ? uint16_t(0xFFFF) : uint16_t(0); };
  FillBackWith(warm);
  ASSERT_EQ(SmokeFlags(0, 0, 60, 8, 0, 0, 1), 1);
  for (int x = 0; x < 60; ++x) {
    EXPECT_EQ(Back(x, 5), x == 0 || x == 59 ? 0u : P(7, 7, 7)) << x;
    EXPECT_TRUE(Back(x, 4) == 0 && Back(x, 6) == 0) << x;
  }
  FillBackWith(warm);
  ASSERT_EQ(SmokeFlags(0, 0, 60, 8, 1, 0, 1), 1);  // faded by one
  EXPECT_EQ(Back(10, 5), P(6, 6, 6));
  // Thinned out by the pattern, or moved sideways by it: part of the row rises, one row only.
  for (int drift : {0, 1}) {
    FillBackWith(warm);
    ASSERT_EQ(SmokeFlags(0, 0, 60, 8, 0, drift, drift), 1);
    int risen = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        if (y == 5 && x < 60) {
          risen += Back(x, y) != 0;
        } else {
          ASSERT_EQ(Back(x, y), warm(x, y)) << x << "," << y;
        }
      }
    EXPECT_TRUE(risen > 3 && risen <= (drift ? 60 : 57)) << risen;
  }
  // Fed from below: pattern-picked pixels of the bottom row take the colour.
  FillBackWith([](int, int) { return uint16_t(0); });
  ASSERT_EQ(SmokeFeed(0x001F, 0, 0, 60, 8), 1);
  int fed = 0;
  for (int x = 0; x < 60; ++x) {
    ASSERT_TRUE(Back(x, 7) == 0 || Back(x, 7) == 0x001F);
    fed += Back(x, 7) != 0;
  }
  EXPECT_TRUE(fed > 0 && fed < 60) << fed;
}

TEST_F(EffectAreas, MagnifiersInvertAndEmboss) {
  auto grid = [](int x, int y) { return P(4 * x % 32, y % 32, 1); };
  FillBackWith(grid);
  ASSERT_EQ(MagnifyWide(0, 0, 8, 2, 0), 1);  // the middle half, columns 2..5, doubled
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Back(x, 1), grid(2 + x / 2, 1)) << x;
  EXPECT_EQ(Back(8, 0), grid(8, 0));
  FillBackWith(grid);
  ASSERT_EQ(MagnifyWide(0, 0, 8, 1, 1), 1);  // odd columns: the half-mask mean of two
  EXPECT_EQ(Back(0, 0), grid(2, 0));
  EXPECT_EQ(R(Back(1, 0)), 10);
  EXPECT_EQ(R(Back(7, 0)), 22);
  FillBackWith(grid);
  ASSERT_EQ(Magnify(4, 4, 8, 8, 0), 1);  // rows too
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Back(4 + x, 4 + y), grid(6 + x / 2, 6 + y / 2));
  EXPECT_EQ(Back(12, 12), grid(12, 12));

  FillBackWith([](int x, int) { return P(x % 32, 2, 31 - x % 32); });
  ASSERT_EQ(Invert(0, 0, 32, 1), 1);
  EXPECT_EQ(Back(3, 0), P(28, 29, 3));
  EXPECT_EQ(Back(32, 0), P(0, 2, 31));

  FillBackWith([](int x, int) { return x < 10 ? P(5, 5, 5) : P(20, 5, 0); });
  ASSERT_EQ(Emboss(0, 0, 20, 10), 1);
  EXPECT_EQ(Back(0, 3), P(5, 5, 5));       // left column and top row kept
  EXPECT_EQ(Back(4, 0), P(5, 5, 5));
  EXPECT_EQ(Back(4, 4), P(16, 16, 16));    // flat
  EXPECT_EQ(Back(10, 4), P(31, 16, 11));   // the step: 16 + 20 - 5 held to 31, 16 - 5
  EXPECT_EQ(Back(11, 4), P(16, 16, 16));
}

TEST_F(EffectAreas, EveryFilterStaysInsideTheClipAndTheScreen) {
  const tu::Rect areas[] = {{-10, 5, 30, 20}, {kW - 15, 5, 30, 20}, {5, -10, 20, 30}, {5, kH - 12, 20, 30},
                            {-20, -20, kW + 40, kH + 40}, {30, 20, -5, -5},
                            {2000000000, 0, 2000000000, 10}, {-2000000000, -5, 2000000000, 10}};
  const tu::Rect clips[] = {{0, 0, kW, kH}, {8, 6, 40, 30}, {-30, -30, kW + 30, kH + 30}};
  auto paint = [](int x, int y) { return uint16_t(Background(x, y) | 0x0821); };
  for (const auto& [name, run] : Filters())
    for (const tu::Rect& c : clips)
      for (const tu::Rect& a : areas) {  // x, y, width, height
        SCOPED_TRACE(name + " area " + std::to_string(a.left) + "," + std::to_string(a.top));
        SetClip(c.left, c.top, c.right, c.bottom);
        FillBackWith(paint);
        EXPECT_EQ(run(a.left, a.top, a.right, a.bottom), 1);
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x) {
            bool inClip = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
            bool inArea = x >= a.left && x < int64_t(a.left) + a.right && y >= a.top && y < int64_t(a.top) + a.bottom;
            if (!inClip || !inArea) {
              ASSERT_EQ(Back(x, y), paint(x, y)) << x << "," << y;
            }
          }
      }
}

TEST_F(EffectAreas, OtherDepthsAndLostSurfacesDrawNothing) {
  tu::platform::MarkSurfaceLost(draw.backSurface);
  for (const auto& [name, run] : Filters()) EXPECT_EQ(run(0, 0, 20, 20), 0) << name;
  tu::platform::RestoreSurface(draw.backSurface);

  tu::platform::SetDesktopDepth(32);
  ASSERT_EQ(Screen(kW, kH, 2), 1);
  tu::platform::Fill(draw.backSurface, {0, 0, kW, kH}, 0x123456);
  for (const auto& [name, run] : Filters()) EXPECT_EQ(run(0, 0, 20, 20), 0) << name;
  EXPECT_EQ(FillRect(0, 0, 4, 4) + FrameRect(0, 0, 4, 4) + FillScreenWhite() + FillRectWhite(0, 0, 4, 4) +
                FillRectValue(0, 0, 4, 4, 7),
            0);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Back(x, y), 0x123456u);
}

}  // namespace
