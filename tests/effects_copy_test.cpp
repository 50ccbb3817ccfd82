// Effect copies of a sprite onto the back buffer: the per-pixel rules, transparency of zero
// pixels in every member, rotations, and clipping to clipRect and to both surfaces.
#include "effects_support.h"

using namespace effects_support;

namespace {

// Every sprite-copying member as a draw of (left, top, right, bottom) to (x, y). `straight`
// members write source pixel (i, j) to (x + i, y + j) only; the others (rotation by an odd
// angle, swirl) move pixels around within the copy.
struct Member {
  std::string name;
  std::function<int(int, int, int, int, int, int, int)> draw;
  bool straight = true;
  bool strip = false;  // takes its right and bottom edges from the screen
};

// The right or bottom edge of a destination rectangle, held to int.
int Edge(int x, int l, int r) {
  return int(std::clamp<int64_t>(int64_t(x) + r - l, INT32_MIN, INT32_MAX));
}

std::vector<Member> Members() {
  using namespace tuDraw;
  static const int offsets[3] = {1, -2, 5};
  auto rotate = [](int angle) {
    return [angle](int x, int y, int id, int l, int t, int r, int b) {
      return DrawRotate(x, y, Edge(x, l, r), Edge(y, t, b), angle, id, l, t, r, b);
    };
  };
  return {
      {"Half", DrawHalf},
      {"Alpha", [](int x, int y, int id, int l, int t, int r, int b) { return DrawAlpha(x, y, id, l, t, r, b, 0.5f); }},
      {"AlphaRGB", [](int x, int y, int id, int l, int t, int r, int b) { return DrawAlphaRGB(x, y, id, l, t, r, b, 0.2f, 0.6f, 1.0f); }},
      {"Fade", [](int x, int y, int id, int l, int t, int r, int b) { return DrawFade(x, y, id, l, t, r, b, 16); }},
      {"FadeRGB", [](int x, int y, int id, int l, int t, int r, int b) { return DrawFadeRGB(x, y, id, l, t, r, b, 31, 8, 20); }},
      {"Add", DrawAdd},
      {"AddLevel", [](int x, int y, int id, int l, int t, int r, int b) { return DrawAddLevel(x, y, id, l, t, r, b, 0.5f); }},
      {"Sub", DrawSub},
      {"SubLevel", [](int x, int y, int id, int l, int t, int r, int b) { return DrawSubLevel(x, y, id, l, t, r, b, 20); }},
      {"SubRGB", [](int x, int y, int id, int l, int t, int r, int b) { return DrawSubRGB(x, y, id, l, t, r, b, 31, 0, 31); }},
      {"Grey", DrawGrey},
      {"Mask", [](int x, int y, int id, int l, int t, int r, int b) { return DrawMask(x, y, id, l, t, r, b, 1, 0, 1); }},
      {"Soft", DrawSoft},
      {"Blur", [](int x, int y, int id, int l, int t, int r, int b) { return DrawBlur(x, y, id, l, t, r, b, 2); }},
      {"Bright", [](int x, int y, int id, int l, int t, int r, int b) { return DrawBright(x, y, id, l, t, r, b, 1.5f); }},
      {"BrightRGB", [](int x, int y, int id, int l, int t, int r, int b) { return DrawBrightRGB(x, y, id, l, t, r, b, 0.0f, 2.0f, 0.5f); }},
      {"Tint", [](int x, int y, int id, int l, int t, int r, int b) { return DrawTint(x, y, id, l, t, r, b, 1.0f, 0.5f, 0.2f, 0, 2, 29); }},
      {"TintGrey", [](int x, int y, int id, int l, int t, int r, int b) { return DrawTint(x, y, id, l, t, r, b, 1.0f, 0.5f, 0.2f, 1, 0, 31); }},
      {"TintFade", [](int x, int y, int id, int l, int t, int r, int b) { return DrawTintFade(x, y, id, l, t, r, b, 31, 16, 4, 0, 1, 30); }},
      {"TintFadeGrey", [](int x, int y, int id, int l, int t, int r, int b) { return DrawTintFade(x, y, id, l, t, r, b, 31, 16, 4, 1, 0, 31); }},
      {"SwirlFlat", [](int x, int y, int id, int l, int t, int r, int b) { return DrawSwirl(x, y, id, l, t, r, b, 0, 0.3f, 0.0f); }},
      {"Swirl", [](int x, int y, int id, int l, int t, int r, int b) { return DrawSwirl(x, y, id, l, t, r, b, 60, 0.3f, 1.0f); }, false},
      {"Strip", [](int x, int y, int id, int l, int t, int r, int b) { return DrawStrip(x, y, 2, id, l, t, r, b); }, true, true},
      {"RowOffsetFlat", [](int x, int y, int id, int l, int t, int r, int b) { return DrawRowOffset(x, y, id, l, t, r, b, 0.0f, nullptr, 0); }},
      {"RowOffset", [](int x, int y, int id, int l, int t, int r, int b) { return DrawRowOffset(x, y, id, l, t, r, b, 1.0f, offsets, 3); }, false},
      {"Copy16", DrawCopy16},
      {"Noise", [](int x, int y, int id, int l, int t, int r, int b) { return DrawNoise(x, y, id, l, t, r, b, 0xFFFF, 31, 1); }},
      {"NoiseDissolve", [](int x, int y, int id, int l, int t, int r, int b) { return DrawNoise(x, y, id, l, t, r, b, 0x001F, 20, 3); }},
      {"Rotate0", rotate(0)},
      {"Rotate30", rotate(30), false},
      {"Rotate90", rotate(90), false},
      {"RotateScaled", [](int x, int y, int id, int l, int t, int r, int b) { return DrawRotateScaled(x, y, Edge(x, l, r), Edge(y, t, b), 45, 1.5f, id, l, t, r, b); }, false},
      {"RotateColor", [](int x, int y, int id, int l, int t, int r, int b) { return DrawRotateColor(x, y, Edge(x, l, r), Edge(y, t, b), 0, 0xF800, id, l, t, r, b); }},
      {"RotateScaledColor", [](int x, int y, int id, int l, int t, int r, int b) { return DrawRotateScaledColor(x, y, Edge(x, l, r), Edge(y, t, b), 200, 0.7f, 0x07E0, id, l, t, r, b); }, false},
  };
}

class EffectCopies : public EffectsTest {
 protected:
  // Draws a 1 x 1 sprite s over a back buffer of d at (0, 0) and returns the result.
  uint32_t One(uint16_t s, uint16_t d, const std::function<int(int, int, int, int, int, int, int)>& f) {
    platform::WritePixel(Surf(sprite), 0, 0, s);
    platform::WritePixel(tuDraw::draw.backSurface, 0, 0, d);
    EXPECT_EQ(f(0, 0, sprite, 0, 0, 1, 1), 1);
    return Back(0, 0);
  }
};

TEST_F(EffectCopies, HalfAveragesEveryChannelDroppingTheLowBit) {
  EXPECT_EQ(One(0xFFFF, 0x0000, tuDraw::DrawHalf), 0x7BEFu);
  EXPECT_EQ(One(0xFFFF, 0xFFFF, tuDraw::DrawHalf), 0xF7DEu);
  EXPECT_EQ(One(P(20, 10, 6), P(10, 30, 2), tuDraw::DrawHalf), P(15, 20, 4));
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
    if (m.straight) {
      for (int y = 0; y < kSide; ++y)
        for (int x = y % 2; x < kSide; x += 2) {
          ASSERT_EQ(Back(8 + x, 8 + y), Background(8 + x, 8 + y)) << x << "," << y;
        }
    }

    // And an opaque picture does change the destination.
    FillBackWith(Background);
    FillSprite(Opaque);
    EXPECT_EQ(m.draw(8, 8, sprite, 0, 0, kSide, kSide), 1);
    EXPECT_NE(Snapshot(), before);
  }
}

TEST_F(EffectCopies, TranslucentAndFadingRules) {
  using namespace tuDraw;
  auto alpha = [](float a) {
    return [a](int x, int y, int id, int l, int t, int r, int b) { return DrawAlpha(x, y, id, l, t, r, b, a); };
  };
  // Raw channels: green is 6 bits, so P(.., g, ..) holds 2 g.
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), alpha(0.25f)), P(11, 14, 7));
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), alpha(1.0f)), P(20, 8, 4));
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), alpha(7.0f)), P(20, 8, 4));  // held to 1
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8), alpha(-1.0f)), P(8, 16, 8));
  EXPECT_EQ(One(P(20, 8, 4), P(8, 16, 8),
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawAlphaRGB(x, y, id, l, t, r, b, 1.0f, 0.0f, 0.5f); }),
            P(20, 16, 6));

  auto fade = [](int lr, int lg, int lb) {
    return [=](int x, int y, int id, int l, int t, int r, int b) { return DrawFadeRGB(x, y, id, l, t, r, b, lr, lg, lb); };
  };
  // max(q - z, 0) + max(z + s - 31, 0): level 0 keeps the destination, 31 takes the source.
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), fade(0, 0, 0)), P(20, 30, 0));
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), fade(31, 31, 31)), P(25, 3, 31));
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), fade(10, 10, 10)), P(14, 20, 10));
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0), fade(99, -5, 31)), P(25, 30, 31));  // levels held
  EXPECT_EQ(One(P(25, 3, 31), P(20, 30, 0),
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawFade(x, y, id, l, t, r, b, 10); }),
            P(14, 20, 10));
  EXPECT_EQ(MixPixels(P(20, 30, 0), P(25, 3, 31), 10), P(14, 20, 10));
  EXPECT_EQ(MixPixels(P(20, 30, 0), P(25, 3, 31), 31), P(25, 3, 31));
}

TEST_F(EffectCopies, AdditiveSaturatesAndSubtractiveFloors) {
  using namespace tuDraw;
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), DrawAdd), P(31, 25, 3));
  EXPECT_EQ(One(0xFFFF, 0xFFFF, DrawAdd), 0xFFDFu);  // 31 in the top five bits of green
  auto addLevel = [](float a) {
    return [a](int x, int y, int id, int l, int t, int r, int b) { return DrawAddLevel(x, y, id, l, t, r, b, a); };
  };
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), addLevel(1.0f)), P(31, 25, 3));
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), addLevel(0.0f)), P(20, 5, 2));
  // Level trunc(31 - 15.5) = 15: min(max(q - 15, 0) + s, 31).
  EXPECT_EQ(One(P(20, 5, 2), P(20, 20, 1), addLevel(0.5f)), P(25, 10, 2));

  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), DrawSub), P(0, 15, 0));
  auto subLevels = [](int lr, int lg, int lb) {
    return [=](int x, int y, int id, int l, int t, int r, int b) { return DrawSubRGB(x, y, id, l, t, r, b, lr, lg, lb); };
  };
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), subLevels(31, 31, 31)), P(0, 15, 0));
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), subLevels(0, 0, 0)), P(5, 20, 31));
  // Source scaled by level / 31 first: 31 * 15 / 31 = 15, 5 * 15 / 31 = 2.
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31), subLevels(0, 15, 15)), P(5, 18, 16));
  EXPECT_EQ(One(P(10, 5, 31), P(5, 20, 31),
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawSubLevel(x, y, id, l, t, r, b, 15); }),
            P(1, 18, 16));  // 10 * 15 / 31 = 4
}

TEST_F(EffectCopies, GreyMaskBrightAndTint) {
  using namespace tuDraw;
  EXPECT_EQ(One(P(30, 0, 3), 0x1234, DrawGrey), P(11, 11, 11));  // (30 + 0 + 3) / 3
  EXPECT_EQ(One(0xFFFF, 0x1234, DrawGrey), 0xFFDFu);

  auto mask = [](int r, int g, int b) {
    return [=](int x, int y, int id, int l, int t, int r2, int b2) { return DrawMask(x, y, id, l, t, r2, b2, r, g, b); };
  };
  EXPECT_EQ(One(0xFFFF, 0x1234, mask(1, 0, 0)), 0xF800u);
  EXPECT_EQ(One(0xFFFF, 0x1234, mask(0, 1, 1)), 0x07FFu);
  EXPECT_EQ(One(0xABCD, 0x1234, mask(1, 1, 1)), 0xABCDu);
  EXPECT_EQ(One(0xABCD, 0x1234, mask(0, 0, 0)), 0u);

  auto bright = [](float r, float g, float b) {
    return [=](int x, int y, int id, int l, int t, int r2, int b2) { return DrawBrightRGB(x, y, id, l, t, r2, b2, r, g, b); };
  };
  EXPECT_EQ(One(P(10, 20, 3), 0x1234, bright(2, 2, 2)), P(20, 31, 6));  // held to 31
  EXPECT_EQ(One(P(10, 20, 3), 0x1234, bright(0.5f, -3, 1)), P(5, 0, 3));
  EXPECT_EQ(One(P(10, 20, 3), 0x1234,
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawBright(x, y, id, l, t, r, b, 0.25f); }),
            P(2, 5, 0));

  EXPECT_EQ(One(P(10, 20, 30), 0x1234,
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawTint(x, y, id, l, t, r, b, 1.0f, 0.5f, 2.0f, 0, 4, 25); }),
            P(10, 10, 25));
  EXPECT_EQ(One(P(10, 20, 30), 0x1234,  // grey 20
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawTint(x, y, id, l, t, r, b, 1.0f, 0.5f, 0.1f, 1, 3, 31); }),
            P(20, 10, 3));
  EXPECT_EQ(One(P(10, 20, 30), P(31, 0, 5),
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawTintFade(x, y, id, l, t, r, b, 31, 0, 31, 0, 2, 28); }),
            P(10, 2, 28));
  EXPECT_EQ(One(P(10, 20, 30), P(31, 0, 5),
                [](int x, int y, int id, int l, int t, int r, int b) { return DrawTintFade(x, y, id, l, t, r, b, 31, 31, 0, 1, 0, 31); }),
            P(20, 20, 5));
}

TEST_F(EffectCopies, SoftAndBlurAverageOpaqueNeighbours) {
  // A 3 x 3 block of 10s with a 31 in the middle, one lone pixel, the rest transparent.
  FillSprite([](int x, int y) -> uint16_t {
    if (x == 1 && y == 1) return P(31, 31, 31);
    if (x < 3 && y < 3) return P(10, 10, 10);
    if (x == 8 && y == 8) return P(5, 6, 7);
    return 0;
  });
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawSoft(0, 0, sprite, 0, 0, kSide, kSide), 1);
  EXPECT_EQ(Back(1, 1), P(10, 10, 10));                // eight neighbours of 10
  EXPECT_EQ(Back(0, 0), P(17, 17, 17));                // (31 + 10 + 10) / 3
  EXPECT_EQ(Back(8, 8), P(5, 6, 7));                   // alone: copied
  EXPECT_EQ(Back(3, 3), Background(3, 3));             // transparent
  // The source rectangle bounds the neighbourhood: cut to column 1..2, (1, 1) sees 4 pixels.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawSoft(1, 1, sprite, 1, 0, 3, 3), 1);
  EXPECT_EQ(Back(1, 2), P(10, 10, 10));
  EXPECT_EQ(Back(2, 2), P(14, 14, 14));  // (31 + 10 * 4) / 5 at sprite (2, 1)

  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawBlur(0, 0, sprite, 0, 0, kSide, kSide, 1), 1);
  EXPECT_EQ(Back(1, 1), P(12, 12, 12));  // (31 + 8 * 10) / 9
  EXPECT_EQ(Back(8, 8), P(5, 6, 7));
  ASSERT_EQ(tuDraw::DrawBlur(0, 0, sprite, 0, 0, kSide, kSide, 0), 1);
  EXPECT_EQ(Back(1, 1), P(31, 31, 31));
}

TEST_F(EffectCopies, RotationByZeroIsACopyAndByNinetyAQuarterTurn) {
  FillSprite(Opaque);
  // A 12 x 7 rectangle from (2, 3) of the sprite.
  const int l = 2, t = 3, w = 12, h = 7;
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawRotate(5, 6, 5 + w, 6 + h, 0, sprite, l, t, l + w, t + h), 1);
  auto rotated = Snapshot();
  FillBackWith(Background);
  tuDraw::Draw(5, 6, sprite, l, t, l + w, t + h);
  EXPECT_EQ(rotated, Snapshot());
  ASSERT_EQ(tuDraw::DrawRotate(5, 6, 5 + w, 6 + h, 360, sprite, l, t, l + w, t + h), 1);
  EXPECT_EQ(rotated, Snapshot());

  // Clockwise: source (i, j) lands in column h - 1 - j, row i of an h x w rectangle.
  for (int angle : {90, 450, -270}) {
    SCOPED_TRACE(angle);
    FillBackWith(Background);
    ASSERT_EQ(tuDraw::DrawRotate(20, 10, 20 + h, 10 + w, angle, sprite, l, t, l + w, t + h), 1);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) ASSERT_EQ(Back(20 + h - 1 - j, 10 + i), Opaque(l + i, t + j)) << i << "," << j;
    EXPECT_EQ(Back(19, 10), Background(19, 10));
    EXPECT_EQ(Back(20 + h, 10), Background(20 + h, 10));
  }
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawRotate(5, 6, 5 + w, 6 + h, 180, sprite, l, t, l + w, t + h), 1);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) ASSERT_EQ(Back(5 + w - 1 - i, 6 + h - 1 - j), Opaque(l + i, t + j));
}

TEST_F(EffectCopies, RotationScaleAndColour) {
  FillSprite([](int x, int y) { return x < 4 && y < 4 ? Opaque(x, y) : 0; });
  FillBackWith(Background);
  // Twice the size: every pixel of the 4 x 4 picture becomes a 2 x 2 block.
  ASSERT_EQ(tuDraw::DrawRotateScaled(10, 10, 18, 18, 0, 2.0f, sprite, 0, 0, 4, 4), 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Back(10 + x, 10 + y), Opaque(x / 2, y / 2)) << x << "," << y;
  // Half the size into the same rectangle: the middle 2 x 2 holds every other pixel.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawRotateScaled(10, 10, 14, 14, 0, 0.5f, sprite, 0, 0, 4, 4), 1);
  EXPECT_EQ(Back(10, 10), Background(10, 10));
  EXPECT_EQ(Back(11, 11), Opaque(1, 1));
  EXPECT_EQ(Back(12, 12), Opaque(3, 3));
  // A non-positive scale draws nothing.
  FillBackWith(Background);
  const auto before = Snapshot();
  EXPECT_EQ(tuDraw::DrawRotateScaled(10, 10, 14, 14, 0, 0.0f, sprite, 0, 0, 4, 4), 1);
  EXPECT_EQ(tuDraw::DrawRotateScaled(10, 10, 14, 14, 0, -1.0f, sprite, 0, 0, 4, 4), 1);
  EXPECT_EQ(Snapshot(), before);
  // The silhouette: transparent pixels stay, the others take the colour.
  ASSERT_EQ(tuDraw::DrawRotateColor(10, 10, 18, 18, 270, 0x07E0, sprite, 0, 0, 8, 8), 1);
  EXPECT_EQ(Back(10, 17), 0x07E0u);  // source (0, 0) after three quarter turns
  EXPECT_EQ(Back(17, 10), Background(17, 10));
  ASSERT_EQ(tuDraw::DrawRotateScaledColor(20, 20, 28, 28, 0, 2.0f, 0xF800, sprite, 0, 0, 4, 4), 1);
  EXPECT_EQ(Back(27, 27), 0xF800u);
}

TEST_F(EffectCopies, SwirlStripRowOffsetsAndNoise) {
  FillSprite(Opaque);
  FillBackWith(Background);
  // No amplitude: a plain copy.
  ASSERT_EQ(tuDraw::DrawSwirl(3, 4, sprite, 0, 0, kSide, kSide, 0, 1.0f, 0.0f), 1);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) ASSERT_EQ(Back(3 + x, 4 + y), Opaque(x, y));
  // A half turn everywhere: the picture upside down.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawSwirl(3, 4, sprite, 0, 0, kSide, kSide, 180, 0.0f, 0.0f), 1);
  EXPECT_EQ(Back(3, 4), Opaque(kSide - 1, kSide - 1));
  EXPECT_EQ(Back(3 + 5, 4 + 2), Opaque(kSide - 1 - 5, kSide - 1 - 2));

  // Type 0 takes the right edge from the screen, so the copy runs to the sprite's end.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawStrip(0, 0, 0, sprite, 4, 2, 6, 3), 1);
  EXPECT_EQ(Back(11, 0), Opaque(15, 2));
  EXPECT_EQ(Back(0, 1), Background(0, 1));
  ASSERT_EQ(tuDraw::DrawStrip(30, 0, 1, sprite, 4, 2, 6, 3), 1);
  EXPECT_EQ(Back(31, 13), Opaque(5, 15));
  EXPECT_EQ(Back(32, 0), Background(32, 0));
  EXPECT_EQ(tuDraw::DrawStrip(40, 0, 3, sprite, 0, 0, 4, 4), 1);
  EXPECT_EQ(Back(40, 0), Background(40, 0));

  // Row r shifted right by offsets[r % 2], wrapping within the rectangle; amount 0 replaces.
  const int offsets[2] = {1, -2};
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawRowOffset(0, 0, sprite, 2, 0, 10, 3, 0.0f, offsets, 2), 1);
  EXPECT_EQ(Back(0, 0), Opaque(9, 0));
  EXPECT_EQ(Back(1, 0), Opaque(2, 0));
  EXPECT_EQ(Back(0, 1), Opaque(4, 1));
  EXPECT_EQ(Back(7, 1), Opaque(3, 1));
  EXPECT_EQ(Back(0, 2), Opaque(9, 2));

  // From the start of randomTable: n = 2 paints the colour, 1 half way, 0 keeps the source.
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawNoise(0, 0, sprite, 0, 0, kSide, kSide, 0xFFFF, 31, 1), 1);
  const int lv[3] = {0, 15, 31};
  for (int k = 0; k < kSide * kSide; ++k) {
    int x = k % kSide, y = k / kSide, n = tuDraw::tables.randomTable[k];
    ASSERT_EQ(Back(x, y), uint32_t(tuDraw::MixPixels(Opaque(x, y), 0xFFFF, lv[n]))) << k;
  }
  FillBackWith(Background);
  ASSERT_EQ(tuDraw::DrawNoise(0, 0, sprite, 0, 0, kSide, kSide, 0xFFFF, 31, 3), 1);
  for (int k = 0; k < kSide * kSide; ++k) {
    int x = k % kSide, y = k / kSide;
    if (tuDraw::tables.randomTable[k] == 0) {
      ASSERT_EQ(Back(x, y), Background(x, y)) << k;
    }
  }
}

// Every member drawn across each edge of the screen and of a smaller clipRect, with source
// rectangles reaching past the sprite: nothing outside clipRect or the copy changes, and the
// parts of a straight copy that fall outside the sprite stay untouched too.
TEST_F(EffectCopies, ClippingKeepsEveryMemberInsideBothSurfacesAndTheClip) {
  FillSprite(Opaque);
  struct Place {
    int x, y, l, t, r, b;
  };
  const Place places[] = {
      {-8, 5, 0, 0, kSide, kSide},          {kW - 8, 5, 0, 0, kSide, kSide},
      {5, -8, 0, 0, kSide, kSide},          {5, kH - 8, 0, 0, kSide, kSide},
      {-8, -8, 0, 0, kSide, kSide},         {kW - 8, kH - 8, 0, 0, kSide, kSide},
      {20, 10, -4, -6, kSide + 5, kSide + 3}, {-100, -100, 0, 0, kSide, kSide},
      {kW + 100, 0, 0, 0, kSide, kSide},    {20, 10, 10, 10, 4, 4},
      {20, 10, -2000000000, 0, 2000000000, 8},
  };
  const tu::Rect clips[] = {{0, 0, kW, kH}, {10, 7, 40, 30}, {-50, -50, kW + 50, kH + 50}};
  for (const Member& m : Members()) {
    for (const tu::Rect& c : clips) {
      for (Place p : places) {
        if (m.strip) p.r = kW, p.b = kH;
        SCOPED_TRACE(m.name + " at " + std::to_string(p.x) + "," + std::to_string(p.y) + " source " +
                     std::to_string(p.l) + "," + std::to_string(p.t) + " clip " + std::to_string(c.left));
        tuDraw::SetClip(c.left, c.top, c.right, c.bottom);
        FillBackWith(Background);
        EXPECT_EQ(m.draw(p.x, p.y, sprite, p.l, p.t, p.r, p.b), 1);
        // The part of the copy that shows the sprite, in screen pixels.
        const int64_t sx0 = int64_t(p.x) + std::max(0, -p.l), sy0 = int64_t(p.y) + std::max(0, -p.t);
        const int64_t sx1 = int64_t(p.x) + (std::min(p.r, kSide) - int64_t(p.l));
        const int64_t sy1 = int64_t(p.y) + (std::min(p.b, kSide) - int64_t(p.t));
        const int64_t cx1 = int64_t(p.x) + (int64_t(p.r) - p.l), cy1 = int64_t(p.y) + (int64_t(p.b) - p.t);
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x) {
            bool inClip = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
            bool inCopy = m.straight ? x >= sx0 && x < sx1 && y >= sy0 && y < sy1
                                     : x >= p.x && x < cx1 && y >= p.y && y < cy1;
            if (!inClip || !inCopy) {
              ASSERT_EQ(Back(x, y), Background(x, y)) << x << "," << y;
            }
          }
        // Where a straight copy shows at all, it shows the right source pixel.
        if (m.name != "Copy16" || c.left != 0) continue;
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x) {
            if (x >= sx0 && x < sx1 && y >= sy0 && y < sy1) {
              ASSERT_EQ(Back(x, y), Opaque(int(x - p.x + p.l), int(y - p.y + p.t)));
            }
          }
      }
    }
  }
}

TEST_F(EffectCopies, BadIdsLostSurfacesAndOtherDepthsDrawNothing) {
  FillSprite(Opaque);
  FillBackWith(Background);
  const auto before = Snapshot();
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    EXPECT_EQ(m.draw(0, 0, -1, 0, 0, 4, 4), 0);
    EXPECT_EQ(m.draw(0, 0, 5000, 0, 0, 4, 4), 0);
    EXPECT_EQ(m.draw(0, 0, 200, 0, 0, 4, 4), 0);  // an empty entry
    platform::MarkSurfaceLost(Surf(sprite));
    EXPECT_EQ(m.draw(0, 0, sprite, 0, 0, 4, 4), 0);
    platform::RestoreSurface(Surf(sprite));
    FillSprite(Opaque);
    platform::MarkSurfaceLost(tuDraw::draw.backSurface);
    EXPECT_EQ(m.draw(0, 0, sprite, 0, 0, 4, 4), 0);
    platform::RestoreSurface(tuDraw::draw.backSurface);
    FillBackWith(Background);
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Boxes(), 0u);

  platform::SetDesktopDepth(32);
  ASSERT_EQ(tuDraw::Screen(kW, kH, 2), 1);
  int s32 = tuDraw::CreateObject(kSide, kSide, 2);
  FillSprite(Opaque, s32);
  platform::Fill(tuDraw::draw.backSurface, {0, 0, kW, kH}, 0x123456);
  for (const Member& m : Members()) {
    SCOPED_TRACE(m.name);
    EXPECT_EQ(m.draw(0, 0, s32, 0, 0, kSide, kSide), 0);
  }
  EXPECT_EQ(tuDraw::MixPixels(0, 0xFFFF, 31), 0);
  EXPECT_EQ(Back(0, 0), 0x123456u);
  EXPECT_EQ(Back(kSide - 1, kSide - 1), 0x123456u);
}

}  // namespace
