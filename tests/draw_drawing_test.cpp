#include <climits>

#include "draw_support.h"

using namespace draw_support;

namespace {

class Drawing : public DrawTest {
 protected:
  int tile = 0;
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(tuDraw::Screen(100, 80, 1), 1);
    // 32 x 32 tile: pixel (x, y) = 0x0800 * (x % 8) + y + 1, never the black key.
    tile = tuDraw::CreateObject(32, 32, 2);
    ASSERT_EQ(tile, 4);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) tu::platform::WritePixel(Surf(tile), x, y, TileAt(x, y));
  }
  static uint32_t TileAt(int x, int y) { return 0x0800u * (x % 8) + uint32_t(y) + 1; }
  tu::platform::Surface* Surf(int id) { return tuDraw::draw.sprites[id].surface; }
};

TEST_F(Drawing, ClipAtTheLeftEdgeShiftsTheSource) {
  tuDraw::Draw(-10, 5, tile, 0, 0, 32, 32);
  EXPECT_EQ(Back(0, 5), TileAt(10, 0));
  EXPECT_EQ(Back(21, 36), TileAt(31, 31));
  EXPECT_EQ(Back(22, 5), 0u);
}

TEST_F(Drawing, ClipAtRightAndBottomEdges) {
  tuDraw::Draw(90, 70, tile, 0, 0, 32, 32);  // 10 x 10 left
  EXPECT_EQ(Back(99, 79), TileAt(9, 9));
  EXPECT_EQ(Back(89, 79), 0u);
  FillBack(0x0001);
  tuDraw::Draw(68, 48, tile, 0, 0, 32, 32);  // ends exactly at the edge: whole tile
  EXPECT_EQ(Back(68, 48), TileAt(0, 0));
  EXPECT_EQ(Back(99, 79), TileAt(31, 31));
  FillBack(0x0001);
  tuDraw::Draw(101, 0, tile, 0, 0, 32, 32);  // beyond the edge: nothing
  tuDraw::Draw(100, 0, tile, 0, 0, 32, 32);  // at the edge: an empty copy, refused quietly
  tuDraw::Draw(0, 80, tile, 0, 0, 32, 32);
  tuDraw::Draw(-40, 0, tile, 0, 0, 32, 32);
  tuDraw::Draw(INT_MAX - 3, INT_MIN + 2, tile, 0, 0, 32, 32);  // wild values clip to nothing
  tuDraw::DrawOpaque(INT_MIN, 0, tile, INT_MIN, 0, INT_MAX, 32);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(Back(x, y), 0x0001u) << x << "," << y;
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(Drawing, ClipRectangleBoundsEveryDraw) {
  tuDraw::SetClip(10, 20, 30, 25);
  tuDraw::Draw(0, 0, tile, 0, 0, 32, 32);
  EXPECT_EQ(Back(10, 20), TileAt(10, 20));
  EXPECT_EQ(Back(29, 24), TileAt(29, 24));
  EXPECT_EQ(Back(9, 20), 0u);
  EXPECT_EQ(Back(30, 24), 0u);
  EXPECT_EQ(Back(10, 25), 0u);
}

TEST_F(Drawing, DrawToNeverWritesOutsideTheDestinationSprite) {
  int small = tuDraw::CreateObject(8, 8, 2);
  tu::platform::Fill(Surf(small), {0, 0, 8, 8}, 0x0003);
  // The clip is the screen's, larger than the sprite: the copy is refused, not cut.
  tuDraw::DrawToOpaque(small, 4, 4, tile, 0, 0, 8, 8);
  EXPECT_EQ(Pixel(small, 4, 4), 0x0003u);
  tuDraw::DrawToOpaque(small, 2, 3, tile, 0, 0, 4, 4);
  EXPECT_EQ(Pixel(small, 2, 3), TileAt(0, 0));
  EXPECT_EQ(Pixel(small, 5, 6), TileAt(3, 3));
  EXPECT_EQ(Pixel(small, 6, 6), 0x0003u);
  tuDraw::ClearObject(tile);
  tuDraw::DrawTo(small, 0, 0, tile, 0, 0, 8, 8);  // all black: keyed out
  EXPECT_EQ(Pixel(small, 0, 0), 0x0003u);
  tuDraw::DrawToOpaque(small, 0, 0, tile, 0, 0, 8, 8);
  EXPECT_EQ(Pixel(small, 0, 0), 0u);
}

TEST_F(Drawing, ClearBlackensTheBackBufferOnly) {
  FillBack(0xFFFF);
  tuDraw::Clear();
  EXPECT_EQ(Back(0, 0), 0u);
  EXPECT_EQ(Back(99, 79), 0u);
  EXPECT_EQ(Pixel(tile, 0, 0), TileAt(0, 0));
  // A lost back buffer is not restored by Clear; the next draw restores it.
  tu::platform::MarkAllSurfacesLost();
  tuDraw::Clear();
  EXPECT_TRUE(tu::platform::IsLost(tuDraw::draw.backSurface));
  tuDraw::Draw(0, 0, tile, 0, 0, 4, 4);
  EXPECT_FALSE(tu::platform::IsLost(tuDraw::draw.backSurface));
}

TEST_F(Drawing, ScaledDrawsWithAndWithoutTheStretchingBlitter) {
  tuDraw::DrawScaledOpaque(0, 0, tile, 0, 0, 2, 2, 4, 4);
  EXPECT_EQ(Back(1, 1), TileAt(0, 0));
  EXPECT_EQ(Back(3, 3), TileAt(1, 1));
  tuDraw::draw.canStretch = 0;
  tuDraw::DrawScaled(10, 10, tile, 0, 0, 2, 2, 6, 2);
  EXPECT_EQ(Back(15, 11), TileAt(1, 1));
  EXPECT_EQ(Pixel(0, 5, 1), TileAt(1, 1));  // went through the Buffer sprite
  EXPECT_EQ(Back(16, 11), 0u);
}

TEST_F(Drawing, RowEffectsDrawTheirRows) {
  tuDraw::DrawStretchRows(0, 0, 3, tile, 0, 0, 4, 6);
  EXPECT_EQ(Back(1, 2), TileAt(1, 0));
  EXPECT_EQ(Back(1, 3), TileAt(1, 3));
  tuDraw::Clear();
  tuDraw::DrawStretchRows(0, 0, 0, tile, 0, 0, 4, 2);  // band 0 taken as 1
  EXPECT_EQ(Back(0, 1), TileAt(0, 1));
  tuDraw::Clear();
  tuDraw::DrawScanlines(0, 0, 0, tile, 0, 0, 32, 32);
  EXPECT_EQ(Back(0, 0), 0u);
  tuDraw::DrawScanlines(0, 0, 4, tile, 0, 0, 32, 32);
  EXPECT_EQ(Back(0, 4), TileAt(0, 4));
  EXPECT_EQ(Back(0, 5), 0u);
  EXPECT_EQ(Back(0, 0), 0u);
  tuDraw::Clear();
  tuDraw::DrawMirror(0, 0, 3, tile, 0, 0, 4, 4);
  EXPECT_EQ(Back(0, 0), TileAt(3, 3));
  EXPECT_EQ(Back(3, 0), TileAt(0, 3));
  tuDraw::Clear();
  tuDraw::DrawJitter(0, 0, 0, tile, 0, 0, 4, 4);
  EXPECT_EQ(Back(3, 3), TileAt(3, 3));
  tuSystem::sys.frameSeconds = 0.0f;
  tuDraw::Clear();
  tuDraw::DrawWave(10, 0, 0, 0, 0.0f, tile, 0, 0, 4, 4, 1);  // amplitude 0: a plain copy
  EXPECT_EQ(Back(12, 2), TileAt(2, 2));
  tuDraw::DrawRoll(0, 40, 1, 0.0f, tile, 0, 0, 4, 1);
  EXPECT_EQ(Back(0, 40), TileAt(0, 0));
  // Degenerate rectangles end quietly.
  tuDraw::DrawTiled(1.0f, 1.0f, tile, 0, 0, 0, 0);
  tuDraw::DrawWaveScroll(0, 0, 2, 0, 1.0f, 1.0f, tile, 0, 5, 4, 5);
  tuDraw::DrawWaveColumns(0, 10, 2, 0, 1.0f, 1.0f, tile, 3, 0, 3, 4);
  tuDraw::DrawRoll(0, 0, 1, 1.0f, tile, 0, 0, 4, 0);
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(Drawing, MirrorCutsWildRectanglesUpFrontAndLeavesLostSurfacesAlone) {
  // Mirrored left-right from a rectangle reaching far left: tile columns 31..0 land on 0..31;
  // the rest of the rectangle lies outside the sprite.
  tuDraw::DrawMirror(0, 0, 1, tile, INT_MIN, 0, 32, 32);
  EXPECT_EQ(Back(0, 0), TileAt(31, 0));
  EXPECT_EQ(Back(31, 31), TileAt(0, 31));
  EXPECT_EQ(Back(32, 0), 0u);
  // Mirrored top-bottom, reaching to INT_MAX on the right and INT_MIN above, cut by the clip.
  tuDraw::Clear();
  tuDraw::SetClip(2, 1, 100, 80);
  tuDraw::DrawMirror(-4, -2, 2, tile, 0, INT_MIN, INT_MAX, 32);
  EXPECT_EQ(Back(2, 1), TileAt(6, 28));
  EXPECT_EQ(Back(27, 29), TileAt(31, 0));
  EXPECT_EQ(Back(1, 5), 0u);
  EXPECT_EQ(Back(5, 0), 0u);
  EXPECT_EQ(Back(28, 5), 0u);
  EXPECT_EQ(Back(5, 30), 0u);
  // Not one of the blits that restore: a lost surface makes it draw nothing, silently.
  tu::platform::MarkAllSurfacesLost();
  tuDraw::DrawMirror(0, 0, 0, tile, 0, 0, 32, 32);
  EXPECT_TRUE(tu::platform::IsLost(tuDraw::draw.backSurface));
  EXPECT_TRUE(tu::platform::IsLost(Surf(tile)));
  EXPECT_EQ(Boxes(), 0u);
}

}  // namespace
