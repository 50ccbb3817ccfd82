// Fills of the back buffer and the filters over its areas: values, block structure of the
// mosaic, rising smoke, magnifiers, and that every area stays inside clipRect and the screen.
#include "effects_support.h"

using namespace effects_support;

namespace {

class EffectAreas : public EffectsTest {};

// Every area filter over (x, y, width, height).
struct Filter {
  std::string name;
  std::function<int(int, int, int, int)> run;
};

std::vector<Filter> Filters() {
  using namespace tuDraw;
  return {
      {"Smoke", Smoke},
      {"SmokeFlags", [](int x, int y, int w, int h) { return SmokeFlags(x, y, w, h, 1, 1, 1); }},
      {"SmokeFeed", [](int x, int y, int w, int h) { return SmokeFeed(0xFFFF, x, y, w, h); }},
      {"SmokeFeedFlags", [](int x, int y, int w, int h) { return SmokeFeedFlags(0x07E0, x, y, w, h, 0, 1, 1); }},
      {"MagnifyWide", [](int x, int y, int w, int h) { return MagnifyWide(x, y, w, h, 1); }},
      {"Magnify", [](int x, int y, int w, int h) { return Magnify(x, y, w, h, 0); }},
      // The mosaic's square in the area's top left corner.
      {"Mosaic", [](int x, int y, int w, int h) { int r = std::min(w, h) / 2; return Mosaic(x + r, y + r, r, 3); }},
      {"Invert", Invert},
      {"Emboss", Emboss},
      {"Darken", [](int x, int y, int w, int h) {
         auto edge = [](int a, int n) { return int(std::min<int64_t>(int64_t(a) + n, INT32_MAX)); };
         return DarkenRect(x, y, edge(x, w), edge(y, h), 2);
       }},
  };
}

TEST_F(EffectAreas, FillsAndFramesAreCutToTheScreen) {
  FillBackWith(Background);
  EXPECT_EQ(tuDraw::FillRect(2, 3, 10, 8), 1);
  EXPECT_EQ(Back(2, 3), 0u);
  EXPECT_EQ(Back(9, 7), 0u);
  EXPECT_EQ(Back(10, 7), Background(10, 7));
  EXPECT_EQ(Back(9, 8), Background(9, 8));
  EXPECT_EQ(tuDraw::FillRectValue(-5, -5, 3, 2, 0x1234), 1);
  EXPECT_EQ(Back(0, 0), 0x1234u);
  EXPECT_EQ(Back(3, 0), Background(3, 0));
  EXPECT_EQ(tuDraw::FillRectWhite(kW - 2, kH - 2, kW + 100, kH + 100), 1);
  EXPECT_EQ(Back(kW - 1, kH - 1), 0xFFFFu);
  EXPECT_EQ(Back(kW - 3, kH - 1), Background(kW - 3, kH - 1));
  EXPECT_EQ(tuDraw::FillRect(kW, 0, kW + 10, 5), 1);  // nothing left of it
  EXPECT_EQ(tuDraw::FillRect(10, 10, 5, 5), 1);

  FillBackWith(Background);
  EXPECT_EQ(tuDraw::FrameRect(5, 5, 15, 12), 1);
  for (int x = 5; x < 15; ++x) EXPECT_TRUE(Back(x, 5) == 0 && Back(x, 11) == 0) << x;
  for (int y = 5; y < 12; ++y) EXPECT_TRUE(Back(5, y) == 0 && Back(14, y) == 0) << y;
  EXPECT_EQ(Back(6, 6), Background(6, 6));
  EXPECT_EQ(Back(15, 5), Background(15, 5));
  EXPECT_EQ(Back(5, 12), Background(5, 12));
  EXPECT_EQ(tuDraw::FrameRect(-3, -3, kW + 3, kH + 3), 1);  // all four sides off the screen
  EXPECT_EQ(Back(0, 0), Background(0, 0));

  EXPECT_EQ(tuDraw::FillScreenWhite(), 1);
  EXPECT_EQ(Back(0, 0), 0xFFFFu);
  EXPECT_EQ(Back(kW - 1, kH - 1), 0xFFFFu);
}

TEST_F(EffectAreas, DarkenHalvesWithinTheClip) {
  FillBackWith([](int, int) { return uint16_t(0xFFFF); });
  tuDraw::SetClip(0, 0, 10, 10);
  EXPECT_EQ(tuDraw::DarkenRect(0, 0, 20, 4, 1), 1);
  EXPECT_EQ(Back(0, 0), 0x7BEFu);
  EXPECT_EQ(Back(9, 3), 0x7BEFu);
  EXPECT_EQ(Back(10, 3), 0xFFFFu);
  EXPECT_EQ(Back(0, 4), 0xFFFFu);
  EXPECT_EQ(tuDraw::DarkenRect(0, 0, 2, 2, 1), 1);
  EXPECT_EQ(Back(0, 0), 0x39E7u);
  EXPECT_EQ(tuDraw::DarkenRect(0, 5, 2, 6, 2), 1);
  EXPECT_EQ(Back(0, 5), 0x39E7u);
  EXPECT_EQ(tuDraw::DarkenRect(0, 6, 2, 7, 0), 1);
  EXPECT_EQ(Back(0, 6), 0xFFFFu);
  EXPECT_EQ(tuDraw::DarkenRect(0, 6, 2, 7, 99), 1);  // at most six halvings: black
  EXPECT_EQ(Back(0, 6), 0u);
}

TEST_F(EffectAreas, MosaicFillsEachBlockWithItsFirstPixel) {
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::Mosaic(20, 20, 6, 4), 1);  // square 14..26, blocks 14, 18, 22
  for (int y = 10; y < 30; ++y)
    for (int x = 10; x < 30; ++x) {
      bool in = x >= 14 && x < 26 && y >= 14 && y < 26;
      uint32_t want = in ? Background(14 + (x - 14) / 4 * 4, 14 + (y - 14) / 4 * 4) : Background(x, y);
      ASSERT_EQ(Back(x, y), want) << x << "," << y;
    }
  // Cut by the screen: blocks still counted from the square's corner: -5, -1, 3.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::Mosaic(1, 1, 6, 4), 1);
  EXPECT_EQ(Back(2, 2), Background(0, 0));
  EXPECT_EQ(Back(3, 0), Background(3, 0));
  EXPECT_EQ(Back(6, 6), Background(3, 3));
  EXPECT_EQ(Back(7, 7), Background(7, 7));
  // Blocks larger than the square: one block, the square's first pixel.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::Mosaic(40, 30, 3, 100), 1);
  EXPECT_EQ(Back(42, 32), Background(37, 27));
  EXPECT_EQ(Back(43, 33), Background(43, 33));
  // Nothing for a block or square size below 1.
  const auto before = Snapshot();
  EXPECT_EQ(tuDraw::Mosaic(20, 20, 6, 0), 1);
  EXPECT_EQ(tuDraw::Mosaic(20, 20, 0, 4), 1);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(EffectAreas, SmokeRisesFromWarmRows) {
  // A white bottom row under black: the dense smoke carries a quarter of it one row up.
  auto warm = [](int, int y) { return y == 7 ? uint16_t(0xFFFF) : uint16_t(0); };
  FillBackWith(warm);
  ASSERT_EQ(tuDraw::SmokeFlags(0, 0, 60, 8, 0, 0, 1), 1);
  for (int x = 0; x < 60; ++x) {
    EXPECT_EQ(Back(x, 5), x == 0 || x == 59 ? 0u : P(7, 7, 7)) << x;
    EXPECT_EQ(Back(x, 4), 0u);
    EXPECT_EQ(Back(x, 6), 0u);
  }
  FillBackWith(warm);
  ASSERT_EQ(tuDraw::SmokeFlags(0, 0, 60, 8, 1, 0, 1), 1);  // faded by one
  EXPECT_EQ(Back(10, 5), P(6, 6, 6));
  // Thinned out by the pattern: some of the row rises, not all of it.
  FillBackWith(warm);
  ASSERT_EQ(tuDraw::Smoke(0, 0, 60, 8), 1);
  int risen = 0;
  for (int x = 1; x < 59; ++x) {
    ASSERT_TRUE(Back(x, 5) == 0 || Back(x, 5) == P(7, 7, 7));
    risen += Back(x, 5) != 0;
  }
  EXPECT_GT(risen, 0);
  EXPECT_LT(risen, 58);
  // Drift moves what rises by up to one column; it still rises one row only.
  FillBackWith(warm);
  ASSERT_EQ(tuDraw::SmokeFlags(0, 0, 60, 8, 0, 1, 1), 1);
  int drifted = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      if (y == 5 && x < 60) {
        drifted += Back(x, y) != 0;
      } else {
        ASSERT_EQ(Back(x, y), warm(x, y)) << x << "," << y;
      }
    }
  EXPECT_GT(drifted, 20);
  // Fed from below: picked pixels of the bottom row take the colour.
  FillBackWith([](int, int) { return uint16_t(0); });
  ASSERT_EQ(tuDraw::SmokeFeed(0x001F, 0, 0, 60, 8), 1);
  int fed = 0;
  for (int x = 0; x < 60; ++x) {
    ASSERT_TRUE(Back(x, 7) == 0 || Back(x, 7) == 0x001F);
    fed += Back(x, 7) != 0;
  }
  EXPECT_GT(fed, 0);
  EXPECT_LT(fed, 60);
  // A uniform area stays as it is.
  FillBackWith([](int, int) { return P(9, 9, 9); });
  ASSERT_EQ(tuDraw::SmokeFlags(0, 0, kW, kH, 0, 0, 1), 1);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(Back(x, y), P(9, 9, 9));
}

TEST_F(EffectAreas, MagnifiersDoubleTheMiddle) {
  auto grid = [](int x, int y) { return P(4 * x % 32, y % 32, 1); };
  FillBackWith(grid);
  ASSERT_EQ(tuDraw::MagnifyWide(0, 0, 8, 2, 0), 1);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Back(x, 1), grid(2 + x / 2, 1)) << x;
  EXPECT_EQ(Back(8, 0), grid(8, 0));
  FillBackWith(grid);
  ASSERT_EQ(tuDraw::MagnifyWide(0, 0, 8, 1, 1), 1);
  // Odd columns are the half-mask mean of two neighbours: red (4c + 4c + 4) / 2 rounded down.
  EXPECT_EQ(Back(0, 0), grid(2, 0));
  EXPECT_EQ(R(Back(1, 0)), 10);
  EXPECT_EQ(Back(6, 0), grid(5, 0));
  EXPECT_EQ(R(Back(7, 0)), 22);  // between columns 5 and 6
  FillBackWith(grid);
  ASSERT_EQ(tuDraw::Magnify(4, 4, 8, 8, 0), 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Back(4 + x, 4 + y), grid(4 + 2 + x / 2, 4 + 2 + y / 2));
  EXPECT_EQ(Back(3, 4), grid(3, 4));
  EXPECT_EQ(Back(12, 12), grid(12, 12));
}

TEST_F(EffectAreas, InvertAndEmboss) {
  FillBackWith([](int x, int) { return P(x % 32, 2, 31 - x % 32); });
  ASSERT_EQ(tuDraw::Invert(0, 0, 32, 1), 1);
  EXPECT_EQ(Back(3, 0), P(28, 29, 3));
  EXPECT_EQ(Back(32, 0), P(0, 2, 31));
  ASSERT_EQ(tuDraw::Invert(0, 0, 32, 1), 1);
  EXPECT_EQ(Back(3, 0), P(3, 2, 28));

  FillBackWith([](int x, int) { return x < 10 ? P(5, 5, 5) : P(20, 5, 0); });
  ASSERT_EQ(tuDraw::Emboss(0, 0, 20, 10), 1);
  EXPECT_EQ(Back(0, 3), P(5, 5, 5));    // left column kept
  EXPECT_EQ(Back(4, 0), P(5, 5, 5));    // top row kept
  EXPECT_EQ(Back(4, 4), P(16, 16, 16));  // flat
  EXPECT_EQ(Back(10, 4), P(31, 16, 11));  // the step: 16 + 20 - 5 held to 31, 16 + 0 - 5
  EXPECT_EQ(Back(11, 4), P(16, 16, 16));
}

TEST_F(EffectAreas, EveryFilterStaysInsideTheClipAndTheScreen) {
  struct Area {
    int x, y, w, h;
  };
  const Area areas[] = {{-10, 5, 30, 20}, {kW - 15, 5, 30, 20}, {5, -10, 20, 30}, {5, kH - 12, 20, 30},
                        {-20, -20, kW + 40, kH + 40}, {30, 20, 0, 10}, {30, 20, -5, -5},
                        {2000000000, 0, 2000000000, 10}, {-2000000000, -5, 2000000000, 10}};
  const tu::Rect clips[] = {{0, 0, kW, kH}, {8, 6, 40, 30}, {-30, -30, kW + 30, kH + 30}};
  for (const Filter& f : Filters()) {
    for (const tu::Rect& c : clips) {
      for (const Area& a : areas) {
        SCOPED_TRACE(f.name + " area " + std::to_string(a.x) + "," + std::to_string(a.y) + " clip " +
                     std::to_string(c.left));
        tuDraw::SetClip(c.left, c.top, c.right, c.bottom);
        FillBackWith([](int x, int y) { return uint16_t(Background(x, y) | 0x0821); });
        EXPECT_EQ(f.run(a.x, a.y, a.w, a.h), 1);
        const int64_t right = int64_t(a.x) + a.w, bottom = int64_t(a.y) + a.h;
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x) {
            bool inClip = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
            bool inArea = x >= a.x && x < right && y >= a.y && y < bottom;
            if (!inClip || !inArea) {
              ASSERT_EQ(Back(x, y), uint16_t(Background(x, y) | 0x0821)) << x << "," << y;
            }
          }
      }
    }
  }
}

TEST_F(EffectAreas, OtherDepthsAndLostSurfacesDrawNothing) {
  platform::MarkSurfaceLost(tuDraw::draw.backSurface);
  for (const Filter& f : Filters()) EXPECT_EQ(f.run(0, 0, 20, 20), 0) << f.name;
  platform::RestoreSurface(tuDraw::draw.backSurface);

  platform::SetDesktopDepth(32);
  ASSERT_EQ(tuDraw::Screen(kW, kH, 2), 1);
  platform::Fill(tuDraw::draw.backSurface, {0, 0, kW, kH}, 0x123456);
  for (const Filter& f : Filters()) EXPECT_EQ(f.run(0, 0, 20, 20), 0) << f.name;
  EXPECT_EQ(tuDraw::FillRect(0, 0, 4, 4), 0);
  EXPECT_EQ(tuDraw::FrameRect(0, 0, 4, 4), 0);
  EXPECT_EQ(tuDraw::FillScreenWhite(), 0);
  EXPECT_EQ(tuDraw::FillRectWhite(0, 0, 4, 4), 0);
  EXPECT_EQ(tuDraw::FillRectValue(0, 0, 4, 4, 7), 0);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Back(x, y), 0x123456u);
  EXPECT_EQ(Boxes(), 0u);
}

}  // namespace
