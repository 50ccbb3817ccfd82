// The device context's rasteriser on plain pixel buffers of both desktop formats.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "raster/dc.h"

namespace {

using tu::raster::DcPoint;
using tu::raster::DeviceContext;
using tu::raster::PixelTarget;

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

struct Buffer {
  std::vector<uint32_t> data;
  PixelTarget target;
  DeviceContext dc;
  Buffer(int w, int h, int bits = 16) : data(static_cast<size_t>(w) * h) {
    target.pixels = data.data();
    target.width = w;
    target.height = h;
    target.bitsPerPixel = bits;
    if (bits == 16) {
      target.pitch = w * 2;
    } else {
      target.pitch = w * 4;
      target.redMask = 0xFF0000;
      target.greenMask = 0x00FF00;
      target.blueMask = 0x0000FF;
    }
    dc.Attach(target);
  }
  uint32_t At(int x, int y) const { return dc.GetPixel(x, y); }
  int Count(uint32_t color) const {
    int n = 0;
    for (int y = 0; y < target.height; ++y)
      for (int x = 0; x < target.width; ++x) n += At(x, y) == color;
    return n;
  }
};

TEST(DcPixels, ColoursRoundTripInBothFormatsAndOutsideReadsInvalid) {
  for (int bits : {16, 32}) {
    Buffer b(8, 8, bits);
    EXPECT_EQ(b.dc.SetPixel(1, 1, kWhite), kWhite);
    EXPECT_EQ(b.At(1, 1), kWhite);
    b.dc.SetPixel(2, 1, 0x102030);
    uint32_t got = b.At(2, 1);
    if (bits == 32) {
      EXPECT_EQ(got, 0x102030u);
    } else {
      // 5-6-5 keeps the top bits of each channel, read back scaled to 0..255.
      EXPECT_EQ(got & 0xFF, 0x31u);  // red 0x30 keeps 6 of 31
      EXPECT_EQ((got >> 8) & 0xFF, 0x20u);
      EXPECT_EQ((got >> 16) & 0xFF, 0x10u);
    }
    EXPECT_EQ(b.dc.SetPixel(8, 0, kWhite), tu::raster::kInvalidColor);
    EXPECT_EQ(b.At(-1, 0), tu::raster::kInvalidColor);
  }
}

TEST(DcLines, OnePixelLinesLeaveOutTheirEndPoint) {
  Buffer b(16, 16);
  b.dc.SetPen(kRed, 1);
  b.dc.MoveTo(0, 0);
  b.dc.LineTo(10, 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(b.At(x, 0), kRed) << x;
  EXPECT_EQ(b.At(10, 0), 0u);
  EXPECT_EQ(b.Count(kRed), 10);
  // A diagonal: one pixel per step, the last left out; a zero-length line draws nothing.
  b.dc.SetPen(kGreen, 0);
  b.dc.MoveTo(2, 2);
  b.dc.LineTo(7, 7);
  EXPECT_EQ(b.Count(kGreen), 5);
  EXPECT_EQ(b.At(6, 6), kGreen);
  EXPECT_EQ(b.At(7, 7), 0u);
  b.dc.MoveTo(12, 12);
  b.dc.LineTo(12, 12);
  EXPECT_EQ(b.At(12, 12), 0u);
}

TEST(DcLines, LinesCrossingTheEdgesKeepTheirPixelsInside) {
  Buffer b(8, 8);
  b.dc.SetPen(kRed, 1);
  b.dc.MoveTo(-5, -5);
  b.dc.LineTo(5, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(b.At(i, i), kRed) << i;
  EXPECT_EQ(b.At(5, 5), 0u);
  b.dc.SetPen(kGreen, 1);
  b.dc.MoveTo(10, -2);
  b.dc.LineTo(-2, 10);
  EXPECT_EQ(b.Count(kGreen), 7);  // (7, 1) .. (1, 7); (4, 4) is the red line's
  b.dc.SetPen(kBlue, 1);
  b.dc.MoveTo(3, 20);
  b.dc.LineTo(3, -20);  // upwards through the whole column
  for (int y = 0; y < 8; ++y) EXPECT_EQ(b.At(3, y), kBlue) << y;
  b.dc.SetPen(kWhite, 1);
  b.dc.MoveTo(-3, 6);
  b.dc.LineTo(30, 7);  // a shallow line, stepped pixel by pixel
  EXPECT_EQ(b.At(0, 6), kWhite);
  EXPECT_EQ(b.At(7, 6), kWhite);
  EXPECT_EQ(b.Count(kWhite), 8);
  // Entirely outside: nothing, in every direction.
  std::vector<uint32_t> before = b.data;
  for (auto [x1, y1, x2, y2] : {std::array<int, 4>{-10, -1, -1, -10}, {9, 0, 20, 11},
                                {0, 8, 7, 8}, {-1, 0, -1, 7}, {20, -100, -100, 20}}) {
    b.dc.MoveTo(x1, y1);
    b.dc.LineTo(x2, y2);
  }
  EXPECT_EQ(b.data, before);
}

TEST(DcLines, WidePensCoverTheirWidthWithRoundEndsAndClipAtTheEdges) {
  for (int w : {2, 3, 4, 7}) {
    Buffer b(40, 40);
    b.dc.SetPen(kBlue, w);
    b.dc.MoveTo(10, 20);
    b.dc.LineTo(30, 20);
    int rows = 0;
    for (int y = 0; y < 40; ++y) rows += b.At(20, y) == kBlue;
    EXPECT_EQ(rows, w) << "width " << w;
    int cols = 0;
    for (int x = 0; x < 40; ++x) cols += b.At(x, 20) == kBlue;
    EXPECT_GE(cols, 21) << "the end is capped, not cut";
    EXPECT_LE(cols, 21 + w);
  }
  Buffer b(10, 10);
  b.dc.SetPen(kBlue, 5);
  b.dc.MoveTo(-50, 5);
  b.dc.LineTo(50, 5);  // far beyond both edges
  EXPECT_EQ(b.At(0, 5), kBlue);
  EXPECT_EQ(b.At(9, 5), kBlue);
}

// The pixels of an unclipped line, worked out one by one: a point at every step along the major
// axis, the minor coordinate rounded from the ideal line (halves towards the end point), the
// end point left out for one-pixel pens, and the pen's disc, (2dx + e)^2 + (2dy + e)^2 <= w^2
// with e = 1 for even widths, around every point. Only the points near the buffer are visited.
std::vector<bool> ReferenceLine(int w, int h, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                                int pen) {
  std::vector<bool> on(static_cast<size_t>(w) * h);
  const bool xMajor = std::llabs(x2 - x1) >= std::llabs(y2 - y1);
  const int64_t c1 = xMajor ? x1 : y1, c2 = xMajor ? x2 : y2, m1 = xMajor ? y1 : x1, m2 = xMajor ? y2 : x2;
  const int64_t n = std::llabs(c2 - c1), m = std::llabs(m2 - m1);
  const int lo = -(pen / 2), even = pen % 2 == 0 ? 1 : 0;
  const int64_t size = xMajor ? w : h;
  for (int64_t c = -pen; c < size + pen; ++c) {
    const int64_t k = c2 >= c1 ? c - c1 : c1 - c;
    if (k < 0 || k > n || (k == n && pen <= 1)) continue;
    const int64_t step = n ? static_cast<int64_t>((__int128{2} * m * k + n) / (__int128{2} * n)) : 0;
    const int64_t minor = m2 >= m1 ? m1 + step : m1 - step;
    const int64_t px = xMajor ? c : minor, py = xMajor ? minor : c;
    for (int dy = pen <= 1 ? 0 : lo; dy < (pen <= 1 ? 1 : lo + pen); ++dy)
      for (int dx = pen <= 1 ? 0 : lo; dx < (pen <= 1 ? 1 : lo + pen); ++dx) {
        const int64_t xx = 2 * dx + even, yy = 2 * dy + even;
        if (pen > 1 && xx * xx + yy * yy > int64_t{pen} * pen) continue;
        if (px + dx >= 0 && px + dx < w && py + dy >= 0 && py + dy < h)
          on[static_cast<size_t>((py + dy) * w + px + dx)] = true;
      }
  }
  return on;
}

TEST(DcLines, EndPointsAtTheIntLimitsDrawTheVisiblePartOfTheWholeLineAtOnce) {
  constexpr int kMin = INT_MIN, kMax = INT_MAX;
  struct Case {
    int x1, y1, x2, y2, pen;
  };
  const Case cases[] = {
      {kMin, 10, kMax, 13, 1},                           // shallow, across the whole width
      {20, kMax, 17, kMin, 1},                           // steep, upwards
      {kMin, kMin / 2, kMax, kMax / 2, 1},               // slope 1/2 through the corner
      {kMax, kMax / 2, kMin, kMin / 2, 5},               // the same backwards, an odd pen
      {kMin / 2 + 20, kMin, kMax / 2 + 20, kMax, 4},     // slope 2, an even pen
      {kMin, kMax, kMax, kMin, 3},                       // the other diagonal: the corner only
  };
  for (const Case& c : cases) {
    Buffer b(48, 32);
    b.dc.SetPen(kWhite, c.pen);
    b.dc.MoveTo(c.x1, c.y1);
    b.dc.LineTo(c.x2, c.y2);
    std::vector<bool> want = ReferenceLine(48, 32, c.x1, c.y1, c.x2, c.y2, c.pen);
    int drawn = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 48; ++x) {
        drawn += want[y * 48 + x];
        ASSERT_EQ(b.At(x, y) == kWhite, want[y * 48 + x])
            << "(" << c.x1 << ", " << c.y1 << ") to (" << c.x2 << ", " << c.y2 << ") pen "
            << c.pen << " at " << x << ", " << y;
      }
    EXPECT_GT(drawn, 0) << "every case crosses the buffer";
  }
}

TEST(DcShapes, HatchBrushesDrawTheHostsEightByEightPatterns) {
  // One string a row, '#' in the brush colour, '.' in the background colour.
  const std::pair<tu::raster::BrushKind, std::array<const char*, 8>> styles[] = {
      {tu::raster::BrushKind::Horizontal,
       {"........", "........", "........", "########", "........", "........", "........", "........"}},
      {tu::raster::BrushKind::Vertical,
       {"....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "....#..."}},
      {tu::raster::BrushKind::ForwardDiagonal,
       {"#.......", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.", ".......#"}},
      {tu::raster::BrushKind::BackwardDiagonal,
       {".......#", "......#.", ".....#..", "....#...", "...#....", "..#.....", ".#......", "#......."}},
      {tu::raster::BrushKind::Cross,
       {"....#...", "....#...", "....#...", "########", "....#...", "....#...", "....#...", "....#..."}},
      {tu::raster::BrushKind::DiagCross,
       {"#......#", ".#....#.", "..#..#..", "...##...", "...##...", "..#..#..", ".#....#.", "#......#"}},
  };
  for (const auto& [kind, rows] : styles) {
    Buffer b(20, 20);
    b.dc.SetPen(0, 1, true);
    b.dc.SetBrush(kind, kWhite);
    b.dc.SetBkColor(kRed);
    b.dc.Rectangle(0, 0, 21, 21);  // no edge: the fill covers 0..19, aligned to the origin
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_EQ(b.At(x, y), rows[y % 8][x % 8] == '#' ? kWhite : kRed)
            << "style " << static_cast<int>(kind) << " at " << x << ", " << y;
  }
}

TEST(DcShapes, RectangleFillsInsideItsEdgeAndLeavesRightAndBottomOut) {
  Buffer b(20, 20);
  b.dc.SetPen(kRed, 1);
  b.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  b.dc.Rectangle(2, 3, 12, 9);
  EXPECT_EQ(b.At(2, 3), kRed);
  EXPECT_EQ(b.At(11, 8), kRed);
  EXPECT_EQ(b.At(12, 5), 0u);
  EXPECT_EQ(b.At(5, 9), 0u);
  EXPECT_EQ(b.At(3, 4), kGreen);
  EXPECT_EQ(b.At(10, 7), kGreen);
  EXPECT_EQ(b.Count(kRed), 2 * 10 + 2 * 4);
  EXPECT_EQ(b.Count(kGreen), 8 * 4);
  // Reversed corners draw the same rectangle.
  Buffer c(20, 20);
  c.dc.SetPen(kRed, 1);
  c.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  c.dc.Rectangle(12, 9, 2, 3);
  EXPECT_EQ(c.data, b.data);
}

TEST(DcShapes, PolygonFillsByAlternationAndStaysInside) {
  Buffer b(40, 40);
  b.dc.SetPen(0, 1, true);
  b.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  DcPoint tri[] = {{10, 0}, {20, 20}, {0, 20}};
  b.dc.Polygon(tri, 3);
  EXPECT_EQ(b.At(10, 10), kGreen);
  EXPECT_EQ(b.At(2, 10), 0u);
  EXPECT_EQ(b.At(10, 20), 0u);
  // A five-pointed star traced in one stroke leaves its centre empty under alternation.
  Buffer s(40, 40);
  s.dc.SetPen(0, 1, true);
  s.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  DcPoint star[] = {{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
  s.dc.Polygon(star, 5);
  EXPECT_EQ(s.At(20, 22), 0u);
  EXPECT_EQ(s.At(20, 6), kGreen);
}

TEST(DcShapes, EllipseFillsTheInscribedShapeSymmetricallyWithItsRingInside) {
  // A circle of radius 20 around (30, 30): the box 41 pixels square.
  Buffer fill(61, 61);
  fill.dc.SetPen(0, 1, true);
  fill.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  fill.dc.Ellipse(10, 10, 51, 51);
  const int area = fill.Count(kGreen);
  EXPECT_NEAR(area, 3.14159265 * 20.5 * 20.5, 13.0) << "pixels within radius + 1/2";
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 61; ++x) {
      ASSERT_EQ(fill.At(x, y), fill.At(60 - x, y)) << x << "," << y;
      ASSERT_EQ(fill.At(x, y), fill.At(x, 60 - y)) << x << "," << y;
      ASSERT_EQ(fill.At(x, y), fill.At(y, x)) << x << "," << y;
    }
  EXPECT_EQ(fill.At(10, 30), kGreen);
  EXPECT_EQ(fill.At(9, 30), 0u);
  EXPECT_EQ(fill.At(30, 50), kGreen);
  EXPECT_EQ(fill.At(30, 51), 0u);

  // With a pen the ring lies on the fill's own edge, closed all round, and the brush fills the
  // rest: every ring pixel touches the outside, no brush pixel does.
  Buffer both(61, 61);
  both.dc.SetPen(kRed, 1);
  both.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  both.dc.Ellipse(51, 51, 10, 10);  // corners in either order
  EXPECT_EQ(both.Count(kRed) + both.Count(kGreen), area);
  auto outside = [&](int x, int y) { return fill.At(x, y) != kGreen; };
  for (int y = 1; y < 60; ++y)
    for (int x = 1; x < 60; ++x) {
      bool edge = !outside(x, y) && (outside(x - 1, y) || outside(x + 1, y) ||
                                     outside(x, y - 1) || outside(x, y + 1));
      ASSERT_EQ(both.At(x, y) == kRed, edge) << x << "," << y;
    }

  // An even-sized box is symmetric about the line between its middle pixels; a wide pen's
  // ring leaves the inside of the box shrunk by its width.
  Buffer wide(20, 12);
  wide.dc.SetPen(kRed, 3);
  wide.dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  wide.dc.Ellipse(0, 0, 20, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(wide.At(x, y), wide.At(19 - x, 11 - y)) << x << "," << y;
  EXPECT_EQ(wide.At(2, 6), kRed);
  EXPECT_EQ(wide.At(3, 6), kGreen);
  EXPECT_EQ(wide.At(10, 2), kRed);
  EXPECT_EQ(wide.At(10, 3), kGreen);
}

TEST(DcShapes, EllipsesReachingPastTheEdgesDrawTheirVisiblePartOnly) {
  // The same ring, once whole in a large buffer and once cut by a small buffer's corner.
  Buffer whole(200, 200), cut(40, 40);
  for (Buffer* b : {&whole, &cut}) {
    b->dc.SetPen(kRed, 2);
    b->dc.SetBrush(tu::raster::BrushKind::Solid, kGreen);
  }
  whole.dc.Ellipse(80, 90, 130, 125);
  cut.dc.Ellipse(-20, -10, 30, 25);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(cut.At(x, y), whole.At(x + 100, y + 100)) << x << "," << y;
  // Boxes as large as int allows end at once and fill what they cover.
  Buffer huge(16, 16);
  huge.dc.SetPen(0, 1, true);
  huge.dc.SetBrush(tu::raster::BrushKind::Solid, kBlue);
  huge.dc.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(huge.Count(kBlue), 16 * 16);
  huge.dc.Ellipse(5, 5, 5, 9);  // no width: nothing
}

TEST(DcShapes, BezierNeedsOnePlusThreeNPointsAndPassesThroughItsEnds) {
  Buffer b(60, 60);
  b.dc.SetPen(kWhite, 1);
  DcPoint straight[] = {{0, 10}, {10, 10}, {20, 10}, {30, 10}};
  ASSERT_TRUE(b.dc.PolyBezier(straight, 4));
  for (int x = 0; x < 30; ++x) EXPECT_EQ(b.At(x, 10), kWhite) << x;
  EXPECT_EQ(b.Count(kWhite), 30);
  DcPoint five[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}};
  EXPECT_FALSE(b.dc.PolyBezier(five, 5));
  DcPoint two[] = {{0, 40}, {10, 20}, {20, 60}, {30, 40}, {40, 20}, {50, 60}, {59, 40}};
  ASSERT_TRUE(b.dc.PolyBezier(two, 7));
  EXPECT_EQ(b.At(0, 40), kWhite);
  EXPECT_EQ(b.At(30, 40), kWhite);  // the joint of both curves
}

TEST(DcShapes, InvertFlipsColourBitsInsideTheExclusiveRectangle) {
  for (int bits : {16, 32}) {
    Buffer b(10, 10, bits);
    b.dc.SetPixel(2, 2, kRed);
    b.dc.InvertRect(2, 2, 4, 4);
    EXPECT_EQ(b.At(2, 2), 0xFFFF00u);
    EXPECT_EQ(b.At(3, 3), kWhite);
    EXPECT_EQ(b.At(4, 3), 0u);
    b.dc.InvertRect(2, 2, 4, 4);
    EXPECT_EQ(b.At(2, 2), kRed);
    if (bits == 32) {
      EXPECT_EQ(b.data[3 * 10 + 3] >> 24, 0u) << "padding byte untouched";
    }
  }
}

TEST(DcShapes, StretchCopyScalesMirrorsAndConvertsFormats) {
  Buffer src(2, 2, 32);
  src.dc.SetPixel(0, 0, kRed);
  src.dc.SetPixel(1, 0, kGreen);
  src.dc.SetPixel(0, 1, kBlue);
  src.dc.SetPixel(1, 1, kWhite);
  Buffer dst(8, 8, 16);
  ASSERT_TRUE(dst.dc.StretchFrom({0, 0, 4, 4}, src.target, {0, 0, 2, 2}));
  EXPECT_EQ(dst.At(0, 0), kRed);
  EXPECT_EQ(dst.At(3, 0), kGreen);
  EXPECT_EQ(dst.At(1, 3), kBlue);
  EXPECT_EQ(dst.At(3, 3), kWhite);
  EXPECT_EQ(dst.At(4, 4), 0u);
  ASSERT_TRUE(dst.dc.StretchFrom({6, 4, 4, 6}, src.target, {0, 0, 2, 2}));  // mirrored in x
  EXPECT_EQ(dst.At(4, 4), kGreen);
  EXPECT_EQ(dst.At(5, 5), kBlue);
  EXPECT_FALSE(dst.dc.StretchFrom({0, 0, 0, 4}, src.target, {0, 0, 2, 2}));
}

// Rectangles anywhere in the int range, mirrored or reaching out of either surface: only the
// pixels inside both are touched, each with the sample the full rectangles give it.
TEST(DcShapes, StretchCopyTakesHugeAndOutlyingRectanglesAndTouchesOnlyBothSurfaces) {
  Buffer src(2, 2, 32);
  src.dc.SetPixel(0, 0, kRed);
  src.dc.SetPixel(1, 0, kGreen);
  src.dc.SetPixel(0, 1, kBlue);
  src.dc.SetPixel(1, 1, kWhite);
  struct Case {
    const char* what;
    tu::raster::DcRect dst, from;
    // The colour expected at four pixels (0: untouched) and the pixels drawn in all.
    uint32_t at00, at33, at44, at77;
    int drawn;
  };
  const Case cases[] = {
      // The screen is the middle of the destination: x = 0 takes sample 2^32 / (2^32 - 1) = 1.
      {"whole int range", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 2, 2}, kWhite, kWhite, kWhite, kWhite, 64},
      {"whole int range mirrored", {INT_MAX, INT_MAX, INT_MIN, INT_MIN}, {0, 0, 2, 2}, kRed, kRed, kRed, kRed, 64},
      {"left of and above the screen", {-4, -4, 4, 4}, {0, 0, 2, 2}, kWhite, kWhite, 0, 0, 16},
      {"source reaching out of its surface", {0, 0, 8, 8}, {-2, -2, 2, 2}, 0, 0, kRed, kWhite, 16},
      {"mirrored source reaching out", {0, 0, 8, 8}, {2, 2, -2, -2}, kWhite, kRed, 0, 0, 16},
      {"source spanning the int range", {0, 0, 8, 8}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0, 0, 0, 0, 0},
      {"far off the screen", {INT_MAX - 1, 0, INT_MAX, 8}, {0, 0, 2, 2}, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Buffer dst(8, 8, 16);
    EXPECT_TRUE(dst.dc.StretchFrom(c.dst, src.target, c.from));
    EXPECT_EQ(dst.At(0, 0), c.at00);
    EXPECT_EQ(dst.At(3, 3), c.at33);
    EXPECT_EQ(dst.At(4, 4), c.at44);
    EXPECT_EQ(dst.At(7, 7), c.at77);
    EXPECT_EQ(64 - dst.Count(0), c.drawn);
  }
  // Small rectangles of every kind against the plain definition, walked pixel by pixel over
  // the whole destination rectangle: the clipped spans leave out nothing and add nothing.
  uint32_t seed = 99;
  auto next = [&seed](int lo, int hi) {
    seed = seed * 1103515245u + 12345u;
    return lo + static_cast<int>((seed >> 8) % static_cast<uint32_t>(hi - lo + 1));
  };
  for (int round = 0; round < 2000; ++round) {
    tu::raster::DcRect d{next(-12, 20), next(-12, 20), next(-12, 20), next(-12, 20)};
    tu::raster::DcRect f{next(-3, 5), next(-3, 5), next(-3, 5), next(-3, 5)};
    Buffer got(8, 8, 32), want(8, 8, 32);
    bool drew = got.dc.StretchFrom(d, src.target, f);
    int dw = d.right - d.left, dh = d.bottom - d.top, sw = f.right - f.left, sh = f.bottom - f.top;
    ASSERT_EQ(drew, dw && dh && sw && sh) << round;
    if (!drew) continue;
    for (int j = 0; j < std::abs(dh); ++j)
      for (int i = 0; i < std::abs(dw); ++i) {
        int si = i * std::abs(sw) / std::abs(dw), sj = j * std::abs(sh) / std::abs(dh);
        if ((dw < 0) != (sw < 0)) si = std::abs(sw) - 1 - si;
        if ((dh < 0) != (sh < 0)) sj = std::abs(sh) - 1 - sj;
        int sx = std::min(f.left, f.right) + si, sy = std::min(f.top, f.bottom) + sj;
        if (sx >= 0 && sx < 2 && sy >= 0 && sy < 2)
          want.dc.SetPixel(std::min(d.left, d.right) + i, std::min(d.top, d.bottom) + j, src.At(sx, sy));
      }
    ASSERT_EQ(got.data, want.data) << round;
  }
}

TEST(DcShapes, DetachedContextDrawsNothingAndNeverCrashes) {
  DeviceContext dc;
  dc.SetPen(kRed, 3);
  dc.MoveTo(0, 0);
  dc.LineTo(10, 10);
  dc.Rectangle(0, 0, 5, 5);
  DcPoint p[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  EXPECT_FALSE(dc.Polygon(p, 4));
  EXPECT_FALSE(dc.PolyBezier(p, 4));
  EXPECT_EQ(dc.GetPixel(0, 0), tu::raster::kInvalidColor);
  EXPECT_FALSE(dc.TextOut(0, 0, "x"));
}

}  // namespace
