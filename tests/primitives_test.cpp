// Primitives on the back buffer, grabbing it into a sprite and saving it as a BMP file.
#include <climits>
#include <fstream>
#include <iterator>

#include "draw_support.h"

using namespace draw_support;

namespace {

class Primitives : public DrawTest {
 protected:
  void Open(int depth = 16, int w = 640, int h = 480) {
    tu::platform::SetDesktopDepth(depth);
    ASSERT_EQ(tuDraw::Screen(w, h, 0), 1);
  }
  uint32_t Px(uint32_t colorref) { return tu::platform::MatchColor(tuDraw::draw.backSurface, colorref); }
  std::vector<uint8_t> ReadFile(const std::string& name) {
    std::ifstream f(folder + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  }
  static uint32_t U32(const std::vector<uint8_t>& v, size_t at) {
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | uint32_t(v[at + 3]) << 24;
  }
  static uint32_t U16(const std::vector<uint8_t>& v, size_t at) { return v[at] | v[at + 1] << 8; }
};

TEST_F(Primitives, LineLeavesOutItsEndPointAndWidePensCoverTheirWidth) {
  Open();
  tuDraw::Line(0, 0, 10, 0, 0x0000FF, 1);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Back(x, 0), Px(0x0000FF)) << x;
  EXPECT_EQ(Back(10, 0), 0u);
  int r, g, b;
  tuDraw::GetPixel(9, 0, &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
  tuDraw::GetPixel(-1, 0, &r, &g, &b);  // outside: the host's invalid colour
  EXPECT_EQ(r + g + b, 3 * 255);
  tuDraw::Line(100, 100, 200, 100, 0x00FF00, 4);
  int rows = 0;
  for (int y = 90; y < 110; ++y) rows += Back(150, y) == Px(0x00FF00);
  EXPECT_EQ(rows, 4);
  // Lines reaching far off the surface are clipped, not refused.
  tuDraw::Line(-1000, 300, 1000, 300, 0xFFFFFF, 1);
  EXPECT_EQ(Back(0, 300), Px(0xFFFFFF));
  EXPECT_EQ(Back(639, 300), Px(0xFFFFFF));
}

TEST_F(Primitives, ShapesReachingTheIntLimitsDrawTheirVisiblePartAtOnce) {
  Open(16, 64, 48);
  // Edges far outside on every side, one pixel or wide: only the fill shows.
  for (int width : {1, 3}) {
    FillBack(0);
    tuDraw::Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0x00FF00, 0x0000FF, width);
    EXPECT_EQ(Back(0, 0), Px(0x00FF00)) << width;
    EXPECT_EQ(Back(63, 47), Px(0x00FF00)) << width;
  }
  // A wide edge through the surface: the left edge at x = 10, 3 pixels wide.
  tuDraw::Rect(10, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFF, 0x0000FF, 3);
  EXPECT_EQ(Back(9, 20), Px(0x0000FF));
  EXPECT_EQ(Back(11, 20), Px(0x0000FF));
  EXPECT_EQ(Back(12, 20), Px(0xFFFFFF));
  // A hatched triangle covering the surface, its outline far off.
  FillBack(0);
  tuDraw::Point tri[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {0, INT_MAX}};
  tuDraw::Polygon(tri, 3, 0xFFFFFF, 0xFF0000, 2, 1);
  EXPECT_EQ(Back(8, 8), Px(0xFFFFFF));
  EXPECT_EQ(Back(9, 8), Px(0xFF0000));
  // A curve whose control points lie at the limits still passes through its ends.
  FillBack(0);
  tuDraw::Point curve[] = {{5, 5}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {40, 30}};
  tuDraw::Bezier(curve, 4, 0x0000FF, 1);
  EXPECT_EQ(Back(5, 5), Px(0x0000FF));
}

TEST_F(Primitives, SetPixelRectAndInvertRect) {
  Open();
  tuDraw::SetPixel(5, 5, 0x00FFFF);
  EXPECT_EQ(Back(5, 5), Px(0x00FFFF));
  tuDraw::SetPixel(640, 5, 0x00FFFF);  // outside: nothing
  tuDraw::Rect(10, 10, 20, 15, 0x00FF00, 0x0000FF, 1);
  EXPECT_EQ(Back(10, 10), Px(0x0000FF));
  EXPECT_EQ(Back(19, 14), Px(0x0000FF));
  EXPECT_EQ(Back(20, 12), 0u);
  EXPECT_EQ(Back(15, 15), 0u);
  EXPECT_EQ(Back(15, 12), Px(0x00FF00));
  tuDraw::InvertRect(10, 10, 12, 11);
  EXPECT_EQ(Back(10, 10), Px(0xFFFF00));
  EXPECT_EQ(Back(12, 10), Px(0x0000FF));
}

TEST_F(Primitives, PolygonHollowOrHatchedWithTransparentOrFilledGaps) {
  Open();
  tuDraw::Point box[] = {{8, 8}, {40, 8}, {40, 40}, {8, 40}};
  FillBack(Px(0x00FF00));
  tuDraw::Polygon(box, 4, 0xFFFFFF, 0xFF0000, 1, 0);
  EXPECT_EQ(Back(8, 8), Px(0xFFFFFF));
  EXPECT_EQ(Back(24, 8), Px(0xFFFFFF));
  for (int y = 9; y < 40; ++y)
    for (int x = 9; x < 40; ++x) ASSERT_EQ(Back(x, y), Px(0x00FF00)) << x << "," << y;

  tuDraw::Polygon(box, 4, 0xFFFFFF, 0xFF0000, 1, 1);
  EXPECT_EQ(Back(16, 16), Px(0xFFFFFF));  // on both diagonals
  EXPECT_EQ(Back(17, 16), Px(0xFF0000));  // a gap: background colour

  FillBack(Px(0x00FF00));
  tuDraw::Polygon(box, 4, 0xFFFFFF, 0xFF0000, 1, 2);
  EXPECT_EQ(Back(16, 16), Px(0xFFFFFF));
  EXPECT_EQ(Back(17, 16), Px(0x00FF00));  // a gap stays as it was
  EXPECT_EQ(Back(50, 50), Px(0x00FF00));

  tuDraw::Polygon(nullptr, 4, 0xFFFFFF, 0, 1, 0);  // nothing, no crash
}

TEST_F(Primitives, OutlinesFillsCirclesAndEllipsesInTheirColours) {
  for (int depth : {16, 32}) {
    Open(depth, 100, 80);
    auto count = [&](uint32_t colorref, int x0, int y0, int x1, int y1) {
      int n = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += Back(x, y) == Px(colorref);
      return n;
    };
    FillBack(Px(0x808080));
    // The hollow rectangle is Rect's edge; the inside keeps what was there.
    tuDraw::FrameRect(10, 10, 30, 20, 0x0000FF, 1);
    EXPECT_EQ(count(0x0000FF, 0, 0, 100, 80), 2 * 20 + 2 * 8) << depth;
    EXPECT_EQ(Back(15, 15), Px(0x808080));
    // A filled triangle covers its edges as the outline draws them.
    tuDraw::Point tri[] = {{40, 10}, {60, 30}, {40, 30}};
    tuDraw::Polygon(tri, 3, 0xFF0000, 0, 1, tuDraw::kHatchNone);
    const int outline = count(0xFF0000, 35, 5, 65, 35);
    tuDraw::FillPolygon(tri, 3, 0x00FF00);
    EXPECT_EQ(count(0xFF0000, 35, 5, 65, 35), 0) << "the fill covers the whole outline";
    EXPECT_GT(count(0x00FF00, 35, 5, 65, 35), outline + 150);
    // A circle's ring goes round the filled disc of the same radius.
    FillBack(0);
    tuDraw::FillCircle(20, 60, 8, 0xFFFFFF);
    const int disc = count(0xFFFFFF, 0, 40, 40, 80);
    EXPECT_EQ(Back(12, 60), Px(0xFFFFFF));
    EXPECT_EQ(Back(11, 60), 0u);
    tuDraw::Circle(20, 60, 8, 0x0000FF, 1);
    EXPECT_EQ(count(0x0000FF, 0, 40, 40, 80) + count(0xFFFFFF, 0, 40, 40, 80), disc);
    EXPECT_EQ(Back(20, 60), Px(0xFFFFFF)) << "the ring leaves the inside";
    tuDraw::FillCircle(0, 0, -1, 0xFFFFFF);  // negative radius: nothing
    EXPECT_EQ(Back(0, 0), 0u);
    tuDraw::FillCircle(5, 5, 0, 0x00FF00);   // radius 0: the pixel itself
    EXPECT_EQ(count(0x00FF00, 0, 0, 10, 10), 1);
    // Ellipses clip at the surface's edges; clipRect does not apply.
    tuDraw::SetClip(0, 0, 10, 10);
    tuDraw::FillEllipse(60, 40, 140, 100, 0xFFFF00);
    EXPECT_EQ(Back(99, 70), Px(0xFFFF00));
    EXPECT_EQ(Back(60, 70), Px(0xFFFF00));
    tuDraw::Ellipse(60, 40, 140, 100, 0xFF00FF, 2);
    EXPECT_EQ(Back(60, 70), Px(0xFF00FF));
    EXPECT_EQ(Back(62, 70), Px(0xFFFF00));
    tuDraw::Release();
  }
}

TEST_F(Primitives, BezierAndGrabScreen) {
  Open();
  tuDraw::Point curve[] = {{10, 50}, {10, 10}, {90, 10}, {90, 50}};
  tuDraw::Bezier(curve, 4, 0x0000FF, 1);
  EXPECT_EQ(Back(10, 50), Px(0x0000FF));
  EXPECT_EQ(Back(50, 20), Px(0x0000FF));  // the top of the arch, t = 1/2
  EXPECT_EQ(Back(50, 50), 0u);
  int id = tuDraw::CreateObject(64, 64, 2);
  ASSERT_GT(id, 3);
  tuDraw::GrabScreen(id, 40, 10, 100, 60);
  EXPECT_EQ(Pixel(id, 10, 10), Px(0x0000FF));  // (50, 20) of the back buffer
  EXPECT_EQ(Pixel(id, 63, 63), 0u);
}

TEST_F(Primitives, SaveScreenAt16BitsWritesHeaderAndBottomUpRows) {
  Open(16);
  tuDraw::SetPixel(0, 0, 0xFFFFFF);
  tuDraw::SetPixel(1, 479, 0x0000FF);
  ASSERT_EQ(tuDraw::SaveScreen("shot.bmp", 640, 480), 1);
  std::vector<uint8_t> v = ReadFile("shot.bmp");
  ASSERT_EQ(v.size(), 921658u);
  EXPECT_EQ(v[0], 'B');
  EXPECT_EQ(v[1], 'M');
  EXPECT_EQ(U32(v, 2), 921658u);
  EXPECT_EQ(U32(v, 6), 0u);
  EXPECT_EQ(U32(v, 10), 58u);
  EXPECT_EQ(U32(v, 14), 40u);
  EXPECT_EQ(U32(v, 18), 640u);
  EXPECT_EQ(U32(v, 22), 480u);
  EXPECT_EQ(U16(v, 26), 1u);
  EXPECT_EQ(U16(v, 28), 24u);
  EXPECT_EQ(U32(v, 30), 0u);
  EXPECT_EQ(U32(v, 34), 1920u * 480);
  EXPECT_EQ(U32(v, 38), 2834u);
  EXPECT_EQ(U32(v, 42), 2834u);
  EXPECT_EQ(U32(v, 46), 0u);
  EXPECT_EQ(U32(v, 50), 0u);
  EXPECT_EQ(U32(v, 54), 0u);
  // Row 479 comes first; row 0 last. White is 248 in five bits shifted up.
  EXPECT_EQ(v[58 + 3], 0);    // pixel 1 of row 479: blue, green, red
  EXPECT_EQ(v[58 + 5], 248);  // red
  size_t row0 = 58 + 479 * 1920;
  EXPECT_EQ(v[row0], 248);
  EXPECT_EQ(v[row0 + 1], 248);
  EXPECT_EQ(v[row0 + 2], 248);

  ASSERT_EQ(tuDraw::SaveScreen("narrow.bmp", 639, 480), 1);
  std::vector<uint8_t> n = ReadFile("narrow.bmp");
  EXPECT_EQ(n.size(), 58u + 1920 * 480);
  EXPECT_EQ(U32(n, 18), 639u);
  EXPECT_EQ(n[58 + 1917], 0);  // padding up to the row length
  EXPECT_EQ(n[58 + 479 * 1920 + 2], 248);
}

TEST_F(Primitives, SaveScreenAt32BitsKeepsEightBitComponents) {
  Open(32);
  tuDraw::SetPixel(0, 0, 0x563412);  // red 0x12, green 0x34, blue 0x56
  ASSERT_EQ(tuDraw::SaveScreen("deep.bmp", 4, 2), 1);
  std::vector<uint8_t> v = ReadFile("deep.bmp");
  ASSERT_EQ(v.size(), 58u + 12 * 2);
  EXPECT_EQ(v[58 + 12], 0x56);
  EXPECT_EQ(v[58 + 13], 0x34);
  EXPECT_EQ(v[58 + 14], 0x12);
}

TEST_F(Primitives, SaveScreenClampsToTheBackBufferAndFailsWhenItCannotLockOrWrite) {
  Open(16, 100, 80);
  ASSERT_EQ(tuDraw::SaveScreen("big.bmp", 5000, 5000), 1);
  std::vector<uint8_t> v = ReadFile("big.bmp");
  EXPECT_EQ(U32(v, 18), 100u);
  EXPECT_EQ(U32(v, 22), 80u);
  EXPECT_EQ(v.size(), 58u + 300 * 80);
  EXPECT_EQ(tuDraw::SaveScreen("sub/none.bmp", 10, 10), 0);  // the file cannot open
  if (FILE* full = fopen("/dev/full", "wb")) {  // opens, but every write fails
    fclose(full);
    EXPECT_EQ(tuDraw::SaveScreen("/dev/full", 10, 10), 0);
  }
  tu::platform::MarkSurfaceLost(tuDraw::draw.backSurface);
  EXPECT_EQ(tuDraw::SaveScreen("lost.bmp", 10, 10), 0);
  EXPECT_TRUE(ReadFile("lost.bmp").empty());
}

}  // namespace
