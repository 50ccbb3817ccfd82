// The generated pictures: sizes, the transparent key where things behind must show, the tiles'
// diamonds, and every rectangle the game cuts from the word sheet.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "assets_support.h"
#include "game/model.h"

using asset_files::Picture;
using asset_files::Pixel;
using asset_files::ReadBmp;

namespace {

struct Rect {
  int l, t, r, b;
  const char* what;
};

// Where the game draws from the word sheet (menu, game drawing, game over).
const Rect kFontRects[] = {
    {0, 0, 356, 41, "one-player item"},   {0, 46, 232, 84, "versus item"},
    {0, 90, 289, 137, "quit item"},       {0, 143, 133, 181, "Easy"},
    {0, 192, 217, 230, "Normal"},         {0, 242, 144, 280, "Hard"},
    {0, 416, 61, 457, "1P label"},        {78, 416, 142, 457, "2P label"},
    {159, 416, 298, 457, "back"},         {258, 169, 355, 186, "chain label"},
    {244, 56, 324, 75, "score label"},    {0, 295, 303, 333, "game over"},
    {220, 192, 354, 230, "win"},          {176, 241, 355, 279, "lose"},
    {0, 505, 296, 546, "continue question"}, {164, 462, 210, 483, "yes"},
    {219, 462, 255, 483, "no"},           {0, 594, 160, 632, "pause"},
    {0, 340, 320, 381, "versus computer item"}, {190, 597, 274, 638, "CPU label"},
    {0, 459, 150, 480, "return to title item"}, {0, 482, 112, 503, "continue item"},
    {262, 459, 322, 479, "next tab"},     {262, 482, 322, 502, "next 2 tab"},
    {0, 632, 160, 640, "pause menu plate"},
    {0, 381, 236, 416, "options item"},
    {0, 642, 104, 663, "records item"},   {130, 642, 262, 663, "how to play item"},
    {0, 666, 260, 707, "records heading"}, {0, 710, 340, 751, "how to play heading"},
    {0, 754, 300, 792, "new record"},     {0, 796, 150, 834, "hidden level"},
    {0, 836, 96, 857, "options small item"}, {110, 836, 214, 857, "replays item"},
    {0, 860, 260, 901, "replays heading"},
};
const int kDigitLeft[10] = {140, 161, 178, 197, 215, 236, 254, 273, 292, 311};
const int kDigitRight[10] = {158, 176, 196, 215, 235, 253, 272, 291, 310, 330};
// Every cut of the highlight bar: widths and heights from its top-left corner at (0, 552).
const int kBarCuts[][2] = {{356, 41}, {232, 38}, {289, 41}, {133, 38}, {217, 38},
                           {144, 38}, {139, 41}, {46, 21},  {36, 21},  {320, 41},
                           {150, 21}, {112, 21}, {236, 35}, {104, 21}, {132, 21}, {96, 21}};

bool DiamondInside(int x, int y) {  // tile pixel centre within the diamond
  return std::fabs(x + 0.5f - 16) + std::fabs(y + 0.5f - 16) <= 16.0f;
}
float DiamondDepth(int x, int y) { return 16.0f - (std::fabs(x + 0.5f - 16) + std::fabs(y + 0.5f - 16)); }

int NonKey(const Picture& p, int l, int t, int r, int b) {
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) n += !p.at(x, y).key();
  return n;
}

class Pictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(ReadBmp("BMP/block.bmp", block_));
    ASSERT_TRUE(ReadBmp("BMP/Font.bmp", font_));
    ASSERT_TRUE(ReadBmp("BMP/Field.bmp", field_));
  }
  static Picture block_, font_, field_;
};
Picture Pictures::block_, Pictures::font_, Pictures::field_;

TEST(PictureFiles, EveryPictureIsA24BitBitmapOfItsSize) {
  const struct {
    const char* name;
    int minW, minH;
    bool exact;
  } files[] = {
      {"BMP/block.bmp", 320, 128, false},    {"BMP/Font.bmp", 356, 901, false},
      {"BMP/Field.bmp", 640, 480, true},     {"BMP/EasyBack.bmp", 640, 480, true},
      {"BMP/NomalBack.bmp", 640, 480, true}, {"BMP/HardBack.bmp", 640, 480, true},
      {"BMP/BlackBack.bmp", 640, 480, true}, {"BMP/Title.bmp", 640, 480, true},
  };
  for (const auto& f : files) {
    Picture p;
    ASSERT_TRUE(ReadBmp(f.name, p)) << f.name;
    if (f.exact) {
      EXPECT_EQ(p.w, f.minW) << f.name;
      EXPECT_EQ(p.h, f.minH) << f.name;
    } else {
      EXPECT_GE(p.w, f.minW) << f.name;
      EXPECT_GE(p.h, f.minH) << f.name;
    }
  }
  // Every pixel is the key itself or a colour that stays apart from it on a 16-bit (5-6-5)
  // display, where the lowest bits are dropped.
  for (const auto& f : files) {
    Picture p;
    ASSERT_TRUE(ReadBmp(f.name, p));
    int lost = 0;
    for (const Pixel& q : p.px) lost += !q.key() && q.r < 8 && q.g < 4 && q.b < 8;
    EXPECT_EQ(lost, 0) << f.name << " has near-black pixels that turn transparent at 16 bits";
  }
  Picture wrong;
  EXPECT_FALSE(ReadBmp("BMP/NormalBack.bmp", wrong)) << "only the game's own spelling exists";
}

TEST_F(Pictures, BlockTilesAreDiamondsOnKeyBlack) {
  for (int col : {1, 2, 3, 4, 5, 6, 8, 9})
    for (int row = 0; row < 4; ++row) {
      int ox = col * 32, oy = row * 32, inside = 0, leaks = 0, holes = 0;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
          bool key = block_.at(ox + x, oy + y).key();
          if (!DiamondInside(x, y)) leaks += !key;
          else inside += !key;
          if (col != 6 && col != 8 && DiamondDepth(x, y) >= 1.0f) holes += key;
        }
      EXPECT_EQ(leaks, 0) << "column " << col << " row " << row << " draws outside its diamond";
      EXPECT_GT(inside, 0) << "column " << col << " row " << row << " is empty";
      EXPECT_EQ(holes, 0) << "column " << col << " row " << row << " has transparent holes";
    }
  // The pivot marker covers little, so the pivot shows through it.
  int marker = NonKey(block_, 256, 0, 288, 32);
  EXPECT_LT(marker, 32 * 32 / 4);
  // The empty cell is the key in every row: the field is drawn after the piece, so anything
  // of it would show over the piece. The lattice lies in the field frame instead.
  EXPECT_EQ(NonKey(block_, 0, 0, 32, 128), 0);
}

TEST_F(Pictures, BlockColoursDifferInHueAndSymbolAndTheShimmerMoves) {
  auto tileSum = [&](int col, int row) {
    double r = 0, g = 0, b = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        if (DiamondDepth(x, y) >= 5.0f) {
          const Pixel& p = block_.at(col * 32 + x, row * 32 + y);
          r += p.r, g += p.g, b += p.b;
        }
    return std::array<double, 3>{r, g, b};
  };
  std::vector<double> hues;
  for (int c = 1; c <= 5; ++c) {
    auto s = tileSum(c, 0);
    hues.push_back(std::atan2(std::sqrt(3.0) * (s[1] - s[2]), 2 * s[0] - s[1] - s[2]) * 180 / M_PI);
  }
  for (size_t i = 0; i < hues.size(); ++i)
    for (size_t j = i + 1; j < hues.size(); ++j) {
      double d = std::fabs(hues[i] - hues[j]);
      d = std::min(d, 360 - d);
      EXPECT_GT(d, 30.0) << "colours " << i + 1 << " and " << j + 1 << " are too close in hue";
    }
  // Symbols: the bright marks in the middle of each tile, compared as shapes.
  std::vector<std::vector<bool>> marks;
  for (int c = 1; c <= 5; ++c) {
    std::vector<bool> m;
    for (int y = 8; y < 24; ++y)
      for (int x = 8; x < 24; ++x) {
        const Pixel& q = block_.at(c * 32 + x, y);
        m.push_back(std::min({q.r, q.g, q.b}) > 170);
      }
    marks.push_back(m);
  }
  for (size_t i = 0; i < marks.size(); ++i)
    for (size_t j = i + 1; j < marks.size(); ++j) {
      int diff = 0;
      for (size_t k = 0; k < marks[i].size(); ++k) diff += marks[i][k] != marks[j][k];
      EXPECT_GT(diff, 12) << "symbols of colours " << i + 1 << " and " << j + 1 << " look alike";
    }
  // Rows 0..2 differ (a highlight that moves); row 3, just set, is brighter than row 0.
  for (int col : {1, 2, 3, 4, 5, 6, 8}) {
    for (int a = 0; a < 3; ++a)
      for (int b = a + 1; b < 3; ++b) {
        int diff = 0;
        for (int y = 0; y < 32; ++y)
          for (int x = 0; x < 32; ++x) {
            const Pixel &p = block_.at(col * 32 + x, a * 32 + y), &q = block_.at(col * 32 + x, b * 32 + y);
            diff += p.r != q.r || p.g != q.g || p.b != q.b;
          }
        EXPECT_GT(diff, 10) << "column " << col << " rows " << a << " and " << b << " are the same";
      }
    if (col <= 5) {
      auto s0 = tileSum(col, 0), s3 = tileSum(col, 3);
      EXPECT_GT(s3[0] + s3[1] + s3[2], (s0[0] + s0[1] + s0[2]) * 1.1) << "column " << col;
    }
  }
  // The burst thins out from frame to frame.
  EXPECT_GT(NonKey(block_, 192, 0, 224, 32), NonKey(block_, 192, 32, 224, 64));
  EXPECT_GT(NonKey(block_, 192, 32, 224, 64), NonKey(block_, 192, 64, 224, 96));
}

TEST_F(Pictures, EveryWordAndDigitFillsItsRectangle) {
  auto checkFilled = [&](const Rect& r) {
    ASSERT_LE(r.r, font_.w) << r.what;
    ASSERT_LE(r.b, font_.h) << r.what;
    int l = r.r, t = r.b, rr = r.l, b = r.t;
    for (int y = r.t; y < r.b; ++y)
      for (int x = r.l; x < r.r; ++x)
        if (!font_.at(x, y).key()) l = std::min(l, x), rr = std::max(rr, x), t = std::min(t, y), b = std::max(b, y);
    ASSERT_LE(l, rr) << r.what << " is empty";
    EXPECT_GE(rr - l + 1, (r.r - r.l) * 6 / 10) << r.what << " is too narrow for its rectangle";
    EXPECT_GE(b - t + 1, (r.b - r.t) * 6 / 10) << r.what << " is too low for its rectangle";
  };
  for (const Rect& r : kFontRects) checkFilled(r);
  for (int d = 0; d < 10; ++d) {
    std::string what = "digit " + std::to_string(d);
    checkFilled({kDigitLeft[d], 139, kDigitRight[d], 162, what.c_str()});
  }
  // The digit glyphs are told apart by their shapes, not only their widths.
  std::set<std::vector<bool>> shapes;
  for (int d = 0; d < 10; ++d) {
    std::vector<bool> s;
    for (int y = 139; y < 162; ++y)
      for (int x = 0; x < 15; ++x) s.push_back(font_.at(kDigitLeft[d] + x, y).luma() > 128);
    shapes.insert(s);
  }
  EXPECT_EQ(shapes.size(), 10u);
}

// Art added to the word sheet goes where nothing else lies.
TEST(PictureLayout, NoTwoPiecesOfTheWordSheetOverlap) {
  std::vector<Rect> all(std::begin(kFontRects), std::end(kFontRects));
  for (int d = 0; d < 10; ++d) all.push_back({kDigitLeft[d], 139, kDigitRight[d], 162, "a digit"});
  all.push_back({0, 552, 360, 594, "highlight bar"});
  for (size_t i = 0; i < all.size(); ++i)
    for (size_t j = i + 1; j < all.size(); ++j) {
      const Rect &a = all[i], &b = all[j];
      EXPECT_FALSE(a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b) << a.what << " overlaps " << b.what;
    }
}

// The tabs sit on the background: their own plate keeps them readable over any of them.
TEST_F(Pictures, NextTabsAreOpaque) {
  for (int i : {22, 23}) {
    const Rect& r = kFontRects[i];
    EXPECT_EQ(NonKey(font_, r.l, r.t, r.r, r.b), (r.r - r.l) * (r.b - r.t)) << r.what;
  }
}

// Single block, row and five rows: diamonds of 11, 13 and 15 pixels, alone in column 7.
TEST_F(Pictures, GarbageMarksAreSmallDiamondsInTheUnusedWallColumn) {
  int inMarks = 0;
  for (int k = 0; k < 3; ++k) {
    int top = 32 * k, size = 11 + 2 * k, c = size / 2;
    auto key = [&](int x, int y) { return block_.at(224 + x, top + y).key(); };
    EXPECT_TRUE(key(0, 0) && key(size - 1, size - 1) && !key(c, 0) && !key(0, c) && !key(c, c)) << k;
    inMarks += NonKey(block_, 224, top, 224 + size, top + size);
  }
  EXPECT_EQ(NonKey(block_, 224, 0, 256, 128), inMarks) << "column 7 holds more than the marks";
}

TEST_F(Pictures, MenuItemsKeepClearOfTheEndsOfTheBarBehindThem) {
  // The items the menu draws over the highlight bar, which is cut at each item's own size.
  for (int i : {0, 1, 2, 3, 4, 5, 8, 18, 20, 21, 25, 26, 27, 32, 33}) {
    const Rect& r = kFontRects[i];
    int l = r.r, rr = r.l;
    for (int y = r.t; y < r.b; ++y)
      for (int x = r.l; x < r.r; ++x)
        if (!font_.at(x, y).key()) l = std::min(l, x), rr = std::max(rr, x);
    EXPECT_GE(l - r.l, 6) << r.what << " touches the bar's left end";
    EXPECT_GE(r.r - 1 - rr, 6) << r.what << " touches the bar's right end";
  }
}

TEST_F(Pictures, HighlightBarIsSolidAtEveryCut) {
  for (const auto& cut : kBarCuts) {
    EXPECT_EQ(NonKey(font_, 0, 552, cut[0], 552 + cut[1]), cut[0] * cut[1]) << cut[0] << " x " << cut[1];
    // Uniform along its length: the column at the cut matches a column well inside.
    int x = cut[0] - 1, diff = 0;
    for (int y = 552; y < 552 + cut[1]; ++y) {
      const Pixel &a = font_.at(x, y), &b = font_.at(20 + (x - 20) % 12, y);
      diff += std::abs(a.luma() - b.luma()) > 24;
    }
    EXPECT_LE(diff, 2) << "the bar changes at width " << cut[0];
  }
}

TEST_F(Pictures, FieldFrameFramesBothFieldsWholeAroundTheChainWindowsAndHoldsTheLattice) {
  const Rect chains[2] = {{239, 181, 363, 224, "player 1's chain display"}, {242, 303, 366, 346, "player 2's"}};
  for (const Rect& c : chains) EXPECT_EQ(NonKey(field_, c.l, c.t, c.r, c.b), 0) << c.what << " is covered";
  // Each field's edge is whole: two lines of one colour each down both sides, from the
  // satellite's half line above line 0 to the bottom of line 16, and along the top and bottom.
  // Player 1's right edge lies on the cells' last two columns, the column beside them being the
  // chain display's.
  auto same = [](const Pixel& a, const Pixel& b) { return !a.key() && a.r == b.r && a.g == b.g && a.b == b.b; };
  for (int pl = 0; pl < 2; ++pl) {
    int l = CellX(pl, 1, 0) - 2, r = CellX(pl, 5, 0) + 32 + (pl == 0 ? 0 : 2);
    int t = CellY(-1) - 2, b = CellY(16) + 32 + 2;
    int breaks = 0;
    for (int x : {l, l + 1, r - 2, r - 1})
      for (int y = t + 2; y < b - 2; ++y) breaks += !same(field_.at(x, y), field_.at(x, t + 2));
    for (int y : {t, t + 1, b - 2, b - 1})
      for (int x = l + 2; x < r - 2; ++x) breaks += !same(field_.at(x, y), field_.at(l + 2, y));
    EXPECT_EQ(breaks, 0) << "the edge of player " << pl + 1 << "'s field is broken";
    // The lattice: a dot at the centre of every cell, apart from the well around it.
    ForLiveCells(0, 16, [&](int slot, int line) {
      const Pixel &dot = field_.at(CellX(pl, slot, line) + 15, CellY(line) + 15),
                  &well = field_.at(CellX(pl, slot, line) + 19, CellY(line) + 15);
      EXPECT_FALSE(well.key());
      EXPECT_GT(std::abs(dot.luma() - well.luma()), 8.0f) << "no dot at slot " << slot << ", line " << line;
    });
  }
  // The background shows around the frame.
  EXPECT_TRUE(field_.at(0, 0).key());
  EXPECT_TRUE(field_.at(639, 479).key());
  // Plates behind the coming pieces and the scores.
  for (auto xy : {std::pair{167, 90}, {70, 87}, {439, 90}, {536, 87}, {250, 50}, {350, 50}})
    EXPECT_FALSE(field_.at(xy.first, xy.second).key()) << xy.first << ", " << xy.second;
}

TEST(PictureFiles, BackgroundsRiseInIntensityAndTheBlackOneIsDark) {
  // Intensity: how saturated and how varied the picture is.
  auto measure = [](const char* name, double& lumaMean, double& intensity) {
    Picture p;
    ASSERT_TRUE(ReadBmp(name, p)) << name;
    double sum = 0, sum2 = 0, sat = 0;
    int keys = 0;
    for (const Pixel& q : p.px) {
      float l = q.luma();
      sum += l, sum2 += double(l) * l;
      int mx = std::max({q.r, q.g, q.b}), mn = std::min({q.r, q.g, q.b});
      sat += mx ? double(mx - mn) / mx : 0.0;
      keys += q.key();
    }
    double n = double(p.px.size());
    lumaMean = sum / n;
    intensity = sat / n + std::sqrt(sum2 / n - lumaMean * lumaMean) / 255.0;
    EXPECT_EQ(keys, 0) << name << " has see-through pixels";
  };
  double l[4], k[4];
  measure("BMP/EasyBack.bmp", l[0], k[0]);
  measure("BMP/NomalBack.bmp", l[1], k[1]);
  measure("BMP/HardBack.bmp", l[2], k[2]);
  measure("BMP/BlackBack.bmp", l[3], k[3]);
  EXPECT_LT(k[0], k[1]);
  EXPECT_LT(k[1], k[2]);
  EXPECT_LT(l[3], 32.0);
}

TEST(PictureFiles, TitleHasItsMotifAboveAndACalmMenuArea) {
  Picture p;
  ASSERT_TRUE(ReadBmp("BMP/Title.bmp", p));
  auto spread = [&](int l, int t, int r, int b) {
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x, ++n) {
        double v = p.at(x, y).luma();
        sum += v, sum2 += v * v;
      }
    double m = sum / n;
    return std::sqrt(sum2 / n - m * m);
  };
  double top = spread(0, 0, 640, 230), menu = spread(123, 234, 500, 425);
  EXPECT_GT(top, 40.0);
  EXPECT_LT(menu, 12.0);
  EXPECT_EQ(NonKey(p, 0, 0, 640, 480), 640 * 480);
}

}  // namespace
