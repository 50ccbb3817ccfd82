// Effect copies of a sprite onto the back buffer: the per-pixel rules, transparency of zero
// pixels in every member, rotations, and clipping to clipRect and to both surfaces.
#include "effects_support.h"

using namespace effects_support;
using namespace tuDraw;

namespace {

using CopyFn = std::function<int(int, int, int, int, int, int, int)>;

// A sprite copy with its extra parameters bound.
template <class F, class... A>
CopyFn With(F f, A... a) {
  return [=](int x, int y, int id, int l, int t, int r, int b) { return f(x, y, id, l, t, r, b, a...); };
}
// A rotation into the rectangle the copy would cover, the extras between angle and sprite.
template <class F, class... A>
CopyFn Turned(F f, int angle, A... a) {
  return [=](int x, int y, int id, int l, int t, int r, int b) {
    auto edge = [](int p, int from, int to) { return int(std::clamp<int64_t>(int64_t(p) + to - from, INT32_MIN, INT32_MAX)); };
    return f(x, y, edge(x, l, r), edge(y, t, b), angle, a..., id, l, t, r, b);
  };
}

// `straight` members write source pixel (i, j) to (x + i, y + j) only; the others move pixels
// within the copy. The strip takes its right and bottom edges from the screen.
struct Member {
  std::string name;
  CopyFn draw;
  bool straight = true, strip = false;
};

std::vector<Member> Members() {
  static const int offsets[3] = {1, -2, 5};
  return {
      {"Half", DrawHalf}, {"Alpha", With(DrawAlpha, 0.5f)}, {"AlphaRGB", With(DrawAlphaRGB, 0.2f, 0.6f, 1.0f)},
      {"Fade", With(DrawFade, 16)}, {"FadeRGB", With(DrawFadeRGB, 31, 8, 20)}, {"Add", DrawAdd},
      {"AddLevel", With(DrawAddLevel, 0.5f)}, {"Sub", DrawSub}, {"SubLevel", With(DrawSubLevel, 20)},
      {"SubRGB", With(DrawSubRGB, 31, 0, 31)}, {"Grey", DrawGrey}, {"Mask", With(DrawMask, 1, 0, 1)},
      {"Soft", DrawSoft}, {"Blur", With(DrawBlur, 2)}, {"Bright", With(DrawBright, 1.5f)},
      {"BrightRGB", With(DrawBrightRGB, 0.0f, 2.0f, 0.5f)}, {"Tint", With(DrawTint, 1.0f, 0.5f, 0.2f, 0, 2, 29)},
      {"TintGrey", With(DrawTint, 1.0f, 0.5f, 0.2f, 1, 0, 31)}, {"TintFade", With(DrawTintFade, 31, 16, 4, 0, 1, 30)},
      {"TintFadeGrey", With(DrawTintFade, 31, 16, 4, 1, 0, 31)}, {"SwirlFlat", With(DrawSwirl, 0, 0.3f, 0.0f)},
      {"Swirl", With(DrawSwirl, 60, 0.3f, 1.0f), false}, {"Strip", With(DrawStrip, 2), true, true},
      {"RowOffsetFlat", With(DrawRowOffset, 0.0f, nullptr, 0)}, {"RowOffset", With(DrawRowOffset, 1.0f, offsets, 3), false},
      {"Copy16", DrawCopy16}, {"Noise", With(DrawNoise, 0xFFFF, 31, 1)}, {"NoiseDissolve", With(DrawNoise, 0x001F, 20, 3)},
      {"Rotate0", Turned(DrawRotate, 0)}, {"Rotate30", Turned(DrawRotate, 30), false},
      {"Rotate90", Turned(DrawRotate, 90), false}, {"RotateScaled", Turned(DrawRotateScaled, 45, 1.5f), false},
      {"RotateColor", Turned(DrawRotateColor, 0, 0xF800)},
      {"RotateScaledColor", Turned(DrawRotateScaledColor, 200, 0.7f, 0x07E0), false},
  };
}

class EffectCopies : public EffectsTest {
 protected:
  // A 1 x 1 copy of s over d at (0, 0); the result.
  uint32_t One(uint16_t s, uint16_t d, const CopyFn& f) {
    tu::platform::WritePixel(Surf(sprite), 0, 0, s);
    tu::platform::WritePixel(draw.backSurface, 0, 0, d);
    EXPECT_EQ(f(0, 0, sprite, 0, 0, 1, 1), 1);
    return Back(0, 0);
  }
};

TEST_F(EffectCopies, HalfAveragesEveryChannelDroppingTheLowBit) {
  EXPECT_EQ(One(0xFFFF, 0x0000, DrawHalf), 0x7BEFu);
  EXPECT_EQ(One(0xFFFF, 0xFFFF, DrawHalf), 0xF7DEu);
  EXPECT_EQ(One(P(20, 10, 6), P(10, 30, 2), DrawHalf), P(15, 20, 4));
}

TEST_F(EffectCopies, ZeroSourcePixelsLeaveTheDestinationInEveryMember) {
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    FillBackWith(Background);
    const auto before = Snapshot();
    FillSprite([](int, int) { return 0; });
    EXPECT_EQ(m.draw(8, 8, sprite, 0, 0, kSide, kSide), 1);
    EXPECT_EQ(Snapshot(), before);
    // A checkerboard: the zero squares of a straight copy keep the background.
    FillSprite([](int x, int y) { return (x + y) % 2 ? Opaque(x, y) : 0; });
    EXPECT_EQ(m.draw(8, 8, sprite, 0, 0, kSide, kSide), 1);
    for (int y = 0; m.straight && y < kSide; ++y)
      for (int x = y % 2; x < kSide; x += 2) ASSERT_EQ(Back(8 + x, 8 + y), Background(8 + x, 8 + y));
    // And an opaque picture does change the destination.
    FillBackWith(Background);
    FillSprite(Opaque);
    EXPECT_EQ(m.draw(8, 8, sprite, 0, 0, kSide, kSide), 1);
    EXPECT_NE(Snapshot(), before);
  }
}

TEST_F(EffectCopies, TranslucentAndFadingRules) {
  // Raw channels: green is 6 bits, so P(.., g, ..) holds 2 g. Alpha is held to 0..1.
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), With(DrawAlpha, 0.25f)), P(11, 14, 7));
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), With(DrawAlpha, 7.0f)), P(20, 8, 4));
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), With(DrawAlpha, -1.0f)), P(8, 16, 8));
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), With(DrawAlphaRGB, 1.0f, 0.0f, 0.5f)), P(20, 16, 6));
  // max(q - z, 0) + max(z + s - 31, 0): level 0 keeps the destination, 31 takes the source.
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), With(DrawFade, 0)), P(20, 30, 0));
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), With(DrawFade, 31)), P(25, 3, 31));
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), With(DrawFade, 10)), P(14, 20, 10));
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), With(DrawFadeRGB, 99, -5, 31)), P(25, 30, 31));
  EXPECT_EQ(MixPixels(P(20, 30, 0), P(25, 3, 31), 10), P(14, 20, 10));
}

TEST_F(EffectCopies, AdditiveSaturatesAndSubtractiveFloors) {
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), DrawAdd), P(31, 25, 3));
  EXPECT_EQ(One(0xFFFF, 0xFFFF, DrawAdd), 0xFFDFu);  // 31 in the top five bits of green
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), With(DrawAddLevel, 1.0f)), P(31, 25, 3));
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), With(DrawAddLevel, 0.0f)), P(20, 5, 2));
  // Level trunc(31 - 15.5) = 15: min(max(q - 15, 0) + s, 31).
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), With(DrawAddLevel, 0.5f)), P(25, 10, 2));

  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), DrawSub), P(0, 15, 0));
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), With(DrawSubRGB, 31, 31, 31)), P(0, 15, 0));
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), With(DrawSubRGB, 0, 0, 0)), P(5, 20, 31));
  // The source scaled by level / 31 first: 5 * 15 / 31 = 2, 31 * 15 / 31 = 15, 10 * 15 / 31 = 4.
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), With(DrawSubRGB, 0, 15, 15)), P(5, 18, 16));
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), With(DrawSubLevel, 15)), P(1, 18, 16));
}

// The members that work on whole vectors of a row give what their rule gives one pixel at a
// time (a 1 x 1 copy goes through the rule's tables), for random pixels of every channel value.
TEST_F(EffectCopies, WideCopiesMatchTheSameRuleAppliedPixelByPixel) {
  const int one = CreateObject(1, 1, 2);
  uint32_t seed = 99;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFF; };
  std::vector<uint16_t> back(kW * kH);
  const std::vector<Member> members = {
      {"Half", DrawHalf}, {"Fade0", With(DrawFade, 0)}, {"Fade10", With(DrawFade, 10)},
      {"Fade31", With(DrawFade, 31)}, {"FadeRGB", With(DrawFadeRGB, 31, 8, 20)}, {"Add", DrawAdd},
      {"AddLevel", With(DrawAddLevel, 0.5f)}, {"AddLevel0", With(DrawAddLevel, 0.0f)}, {"Sub", DrawSub},
      {"Mask", With(DrawMask, 1, 0, 1)}, {"Copy16", DrawCopy16}, {"Grey", DrawGrey}};
  for (const Member& m : members)
    for (int round = 0; round < 8; ++round) {
      SCOPED_TRACE(testing::Message() << m.name << " round " << round);
      FillSprite([&](int, int) { return next() % 4 == 0 ? uint16_t(0) : uint16_t(next()); });
      for (uint16_t& v : back) v = uint16_t(next());
      const int l = round % 3, r = kSide - round % 2, x = 1 + round, y = 2;
      auto restore = [&] { FillBackWith([&](int i, int j) { return back[j * kW + i]; }); };
      restore();
      for (int j = 0; j < kSide; ++j)
        for (int i = l; i < r; ++i) {
          tu::platform::WritePixel(Surf(one), 0, 0, tu::platform::ReadPixel(Surf(sprite), i, j));
          ASSERT_EQ(m.draw(x + i - l, y + j, one, 0, 0, 1, 1), 1);
        }
      const auto want = Snapshot();
      restore();
      ASSERT_EQ(m.draw(x, y, sprite, l, 0, r, kSide), 1);
      ASSERT_EQ(Snapshot(), want);
    }
}

TEST_F(EffectCopies, GreyMaskBrightAndTint) {
  EXPECT_EQ(One(P(30, 0, 3), 0x1234, DrawGrey), P(11, 11, 11));  // (30 + 0 + 3) / 3
  EXPECT_EQ(One(0xFFFF, 0x1234, With(DrawMask, 1, 0, 0)), 0xF800u);
  EXPECT_EQ(One(0xFFFF, 0x1234, With(DrawMask, 0, 1, 1)), 0x07FFu);
  EXPECT_EQ(One(0xABCD, 0x1234, With(DrawMask, 0, 0, 0)), 0u);
  EXPECT_EQ(One(P(10, 20, 3), 0x1234, With(DrawBrightRGB, 2.0f, 2.0f, 2.0f)), P(20, 31, 6));  // held to 31
  EXPECT_EQ(One(P(10, 20, 3), 0x1234, With(DrawBrightRGB, 0.5f, -3.0f, 1.0f)), P(5, 0, 3));
  EXPECT_EQ(One(P(10, 20, 3), 0x1234, With(DrawBright, 0.25f)), P(2, 5, 0));
  // Tints: factors or fade levels per channel on the source or its grey (20), held to low..high.
  EXPECT_EQ(One(P(10, 20, 30), 0x1234, With(DrawTint, 1.0f, 0.5f, 2.0f, 0, 4, 25)), P(10, 10, 25));
  EXPECT_EQ(One(P(10, 20, 30), 0x1234, With(DrawTint, 1.0f, 0.5f, 0.1f, 1, 3, 31)), P(20, 10, 3));
  EXPECT_EQ(One(P(10, 20, 30), P(31, 0, 5), With(DrawTintFade, 31, 0, 31, 0, 2, 28)), P(10, 2, 28));
  EXPECT_EQ(One(P(10, 20, 30), P(31, 0, 5), With(DrawTintFade, 31, 31, 0, 1, 0, 31)), P(20, 20, 5));
}

TEST_F(EffectCopies, SoftAndBlurAverageOpaqueNeighbours) {
  // A 3 x 3 block of 10s with 31 in the middle, one lone pixel, the rest transparent.
  FillSprite([](int x, int y) -> uint16_t {
    if (x == 1 && y == 1) return P(31, 31, 31);
    if (x < 3 && y < 3) return P(10, 10, 10);
    return x == 8 && y == 8 ? P(5, 6, 7) : 0;
  });
  FillBackWith(Background);
  ASSERT_EQ(DrawSoft(0, 0, sprite, 0, 0, kSide, kSide), 1);
  EXPECT_EQ(Back(1, 1), P(10, 10, 10));     // eight neighbours of 10
  EXPECT_EQ(Back(0, 0), P(17, 17, 17));     // (31 + 10 + 10) / 3
  EXPECT_EQ(Back(8, 8), P(5, 6, 7));        // alone: copied
  // The source rectangle bounds the neighbourhood: sprite (2, 1) sees five pixels.
  ASSERT_EQ(DrawSoft(1, 1, sprite, 1, 0, 3, 3), 1);
  EXPECT_EQ(Back(2, 2), P(14, 14, 14));     // (31 + 4 * 10) / 5
  ASSERT_EQ(DrawBlur(0, 0, sprite, 0, 0, kSide, kSide, 1), 1);
  EXPECT_EQ(Back(1, 1), P(12, 12, 12));     // (31 + 8 * 10) / 9
  EXPECT_EQ(Back(8, 8), P(5, 6, 7));
}

TEST_F(EffectCopies, RotationByZeroIsACopyAndByNinetyAQuarterTurn) {
  FillSprite(Opaque);
  const int l = 2, t = 3, w = 12, h = 7;  // a 12 x 7 rectangle from (2, 3)
  FillBackWith(Background);
  ASSERT_EQ(DrawRotate(5, 6, 5 + w, 6 + h, 360, sprite, l, t, l + w, t + h), 1);
  const auto rotated = Snapshot();
  FillBackWith(Background);
  Draw(5, 6, sprite, l, t, l + w, t + h);
  EXPECT_EQ(rotated, Snapshot());
  // Clockwise: source (i, j) lands in column h - 1 - j, row i of an h x w rectangle.
  for (int angle : {90, -270}) {
    FillBackWith(Background);
    ASSERT_EQ(DrawRotate(20, 10, 20 + h, 10 + w, angle, sprite, l, t, l + w, t + h), 1);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) ASSERT_EQ(Back(20 + h - 1 - j, 10 + i), Opaque(l + i, t + j)) << angle;
    EXPECT_EQ(Back(19, 10), Background(19, 10));
  }
  ASSERT_EQ(DrawRotate(5, 6, 5 + w, 6 + h, 180, sprite, l, t, l + w, t + h), 1);
  EXPECT_EQ(Back(5, 6), Opaque(l + w - 1, t + h - 1));

  // Twice the size: every pixel becomes a 2 x 2 block; half the size: every other pixel.
  FillSprite([](int x, int y) { return x < 4 && y < 4 ? Opaque(x, y) : 0; });
  FillBackWith(Background);
  ASSERT_EQ(DrawRotateScaled(10, 10, 18, 18, 0, 2.0f, sprite, 0, 0, 4, 4), 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Back(10 + x, 10 + y), Opaque(x / 2, y / 2));
  ASSERT_EQ(DrawRotateScaled(30, 10, 34, 14, 0, 0.5f, sprite, 0, 0, 4, 4), 1);
  EXPECT_EQ(Back(30, 10), Background(30, 10));
  EXPECT_EQ(Back(31, 11), Opaque(1, 1));
  EXPECT_EQ(Back(32, 12), Opaque(3, 3));
  const auto before = Snapshot();
  EXPECT_EQ(DrawRotateScaled(10, 10, 14, 14, 0, 0.0f, sprite, 0, 0, 4, 4), 1);  // no scale: nothing
  EXPECT_EQ(Snapshot(), before);
  // The silhouette after three quarter turns: source (0, 0) in the bottom left corner.
  ASSERT_EQ(DrawRotateColor(40, 10, 48, 18, 270, 0x07E0, sprite, 0, 0, 8, 8), 1);
  EXPECT_EQ(Back(40, 17), 0x07E0u);
  EXPECT_EQ(Back(47, 10), Background(47, 10));
}

TEST_F(EffectCopies, SwirlStripRowOffsetsAndNoise) {
  FillSprite(Opaque);
  FillBackWith(Background);
  // A half turn everywhere: the picture upside down.
  ASSERT_EQ(DrawSwirl(3, 4, sprite, 0, 0, kSide, kSide, 180, 0.0f, 0.0f), 1);
  EXPECT_EQ(Back(3, 4), Opaque(kSide - 1, kSide - 1));
  EXPECT_EQ(Back(3 + 5, 4 + 2), Opaque(kSide - 1 - 5, kSide - 1 - 2));
  // Type 0 takes the right edge from the screen, type 1 the bottom; others draw nothing.
  FillBackWith(Background);
  ASSERT_EQ(DrawStrip(0, 0, sprite, 4, 2, 6, 3, 0), 1);
  EXPECT_EQ(Back(11, 0), Opaque(15, 2));
  EXPECT_EQ(Back(0, 1), Background(0, 1));
  ASSERT_EQ(DrawStrip(30, 0, sprite, 4, 2, 6, 3, 1), 1);
  EXPECT_EQ(Back(31, 13), Opaque(5, 15));
  EXPECT_EQ(Back(32, 0), Background(32, 0));
  EXPECT_EQ(DrawStrip(40, 0, sprite, 0, 0, 4, 4, 3), 1);
  EXPECT_EQ(Back(40, 0), Background(40, 0));
  // Row r shifted right by offsets[r % 2], wrapping within the rectangle; amount 0 replaces.
  const int offsets[2] = {1, -2};
  ASSERT_EQ(DrawRowOffset(0, 0, sprite, 2, 0, 10, 3, 0.0f, offsets, 2), 1);
  EXPECT_EQ(Back(0, 0), Opaque(9, 0));
  EXPECT_EQ(Back(1, 0), Opaque(2, 0));
  EXPECT_EQ(Back(7, 1), Opaque(3, 1));
  // Rows count from the rectangle's top, not from the sprite's.
  ASSERT_EQ(DrawRowOffset(0, 10, sprite, 2, 1, 10, 3, 0.0f, offsets, 2), 1);
  EXPECT_EQ(Back(0, 10), Opaque(9, 1));
  // From the start of randomTable: n = 2 paints the colour, 1 half way, 0 keeps the source;
  // with the dissolve flag n = 0 leaves the destination.
  for (int flags : {1, 3}) {
    FillBackWith(Background);
    ASSERT_EQ(DrawNoise(0, 0, sprite, 0, 0, kSide, kSide, 0xFFFF, 31, flags), 1);
    const int lv[3] = {0, 15, 31};
    for (int k = 0; k < kSide * kSide; ++k) {
      int x = k % kSide, y = k / kSide, n = tables.randomTable[k];
      uint32_t want = flags == 3 && n == 0 ? Background(x, y) : uint32_t(MixPixels(Opaque(x, y), 0xFFFF, lv[n]));
      ASSERT_EQ(Back(x, y), want) << k;
    }
  }
}

// Every member drawn across each edge of the screen and of clip rectangles inside and outside
// it, with source rectangles reaching past the sprite: nothing outside clipRect or the copy
// changes, and no straight copy shows what lies outside the sprite.
TEST_F(EffectCopies, ClippingKeepsEveryMemberInsideBothSurfacesAndTheClip) {
  FillSprite(Opaque);
  struct Place {
    int x, y, l, t, r, b;
  };
  const Place places[] = {{-8, 5, 0, 0, kSide, kSide}, {kW - 8, 5, 0, 0, kSide, kSide},
                          {5, -8, 0, 0, kSide, kSide}, {5, kH - 8, 0, 0, kSide, kSide},
                          {kW - 8, kH - 8, 0, 0, kSide, kSide}, {20, 10, -4, -6, kSide + 5, kSide + 3},
                          {-100, -100, 0, 0, kSide, kSide}, {20, 10, 10, 10, 4, 4},
                          {20, 10, -2000000000, 0, 2000000000, 8}};
  const tu::Rect clips[] = {{0, 0, kW, kH}, {10, 7, 40, 30}, {-50, -50, kW + 50, kH + 50}};
  for (const Member& m : Members())
    for (const tu::Rect& c : clips)
      for (Place p : places) {
        SCOPED_TRACE(m.name + " at " + std::to_string(p.x) + "," + std::to_string(p.y) + " clip " +
                     std::to_string(c.left));
        if (m.strip) p.r = kW, p.b = kH;
        SetClip(c.left, c.top, c.right, c.bottom);
        FillBackWith(Background);
        EXPECT_EQ(m.draw(p.x, p.y, sprite, p.l, p.t, p.r, p.b), 1);
        // The copy's rectangle and the part of it that shows the sprite, in screen pixels.
        const int64_t x1 = int64_t(p.x) + p.r - p.l, y1 = int64_t(p.y) + p.b - p.t;
        const int64_t sx0 = p.x + std::max(0, -p.l), sy0 = p.y + std::max(0, -p.t);
        const int64_t sx1 = p.x + (std::min(p.r, kSide) - int64_t(p.l)), sy1 = p.y + (std::min(p.b, kSide) - int64_t(p.t));
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x) {
            bool inClip = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
            bool inCopy = m.straight ? x >= sx0 && x < sx1 && y >= sy0 && y < sy1 : x >= p.x && x < x1 && y >= p.y && y < y1;
            if (!inClip || !inCopy) {
              ASSERT_EQ(Back(x, y), Background(x, y)) << x << "," << y;
            } else if (m.name == "Copy16") {
              ASSERT_EQ(Back(x, y), Opaque(int(x - p.x + p.l), int(y - p.y + p.t))) << x << "," << y;
            }
          }
      }
}

TEST_F(EffectCopies, ReadingASpriteKeepsItsKeyedCopyIndexAndOnlyAWriteDropsIt) {
  FillSprite([](int x, int y) { return x + y < 6 ? uint16_t(0) : Opaque(x, y); });
  Draw(0, 0, sprite, 0, 0, kSide, kSide);  // the first keyed draw indexes the opaque runs
  ASSERT_TRUE(tu::platform::HasRunIndex(Surf(sprite)));
  for (const Member& m : Members()) {
    EXPECT_EQ(m.draw(3, 2, sprite, 0, 0, kSide, kSide), 1) << m.name;
    EXPECT_TRUE(tu::platform::HasRunIndex(Surf(sprite))) << m.name;
  }
  DrawMirror(3, 2, 3, sprite, 0, 0, kSide, kSide);
  EXPECT_TRUE(tu::platform::HasRunIndex(Surf(sprite)));
  // A write through a lock drops the index, and keyed draws show what was written.
  int pitch = 0;
  auto* pixels = static_cast<uint16_t*>(tu::platform::Lock(Surf(sprite), &pitch));
  ASSERT_NE(pixels, nullptr);
  pixels[0] = P(1, 2, 3);
  tu::platform::Unlock(Surf(sprite));
  EXPECT_FALSE(tu::platform::HasRunIndex(Surf(sprite)));
  FillBackWith(Background);
  Draw(0, 0, sprite, 0, 0, kSide, kSide);
  EXPECT_EQ(Back(0, 0), P(1, 2, 3));
  EXPECT_EQ(Back(1, 0), Background(1, 0));
}

TEST_F(EffectCopies, BadIdsLostSurfacesAndOtherDepthsDrawNothing) {
  FillSprite(Opaque);
  FillBackWith(Background);
  const auto before = Snapshot();
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    EXPECT_EQ(m.draw(0, 0, -1, 0, 0, 4, 4), 0);
    EXPECT_EQ(m.draw(0, 0, 200, 0, 0, 4, 4), 0);  // an empty entry
    tu::platform::MarkSurfaceLost(Surf(sprite));
    EXPECT_EQ(m.draw(0, 0, sprite, 0, 0, 4, 4), 0);
    tu::platform::RestoreSurface(Surf(sprite));
    FillSprite(Opaque);
    tu::platform::MarkSurfaceLost(draw.backSurface);
    EXPECT_EQ(m.draw(0, 0, sprite, 0, 0, 4, 4), 0);
    tu::platform::RestoreSurface(draw.backSurface);
    FillBackWith(Background);
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Boxes(), 0u);

  tu::platform::SetDesktopDepth(32);
  ASSERT_EQ(Screen(kW, kH, 2), 1);
  int s32 = CreateObject(kSide, kSide, 2);
  FillSprite(Opaque, s32);
  tu::platform::Fill(draw.backSurface, {0, 0, kW, kH}, 0x123456);
  for (const Member& m : Members()) EXPECT_EQ(m.draw(0, 0, s32, 0, 0, kSide, kSide), 0) << m.name;
  EXPECT_EQ(MixPixels(0, 0xFFFF, 31), 0);
  EXPECT_EQ(Back(0, 0), 0x123456u);
  EXPECT_EQ(Back(kSide - 1, kSide - 1), 0x123456u);
}

}  // namespace
