// The game's drawing as pixels of the back buffer: tiles at their lattice positions and the
// score's digits, drawn from sheets whose every tile and glyph has a colour of its own.
#include <tu/tuDraw.h>

#include "game_support.h"
#include "platform/seams.h"
#include "platform/surface.h"

using namespace game_support;

namespace {

constexpr int kDigitLeft[10] = {140, 161, 178, 197, 215, 236, 254, 273, 292, 311};
constexpr int kDigitRight[10] = {158, 176, 196, 215, 235, 253, 272, 291, 310, 330};

class Pixels : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    tuSystem::sys.fullScreen = 0;
    tu::platform::SetDesktopDepth(16);
    ASSERT_EQ(tuDraw::Screen(640, 480, 1), 1);
    // Block sheet: tile (c, r) filled with its own value; column 0 (empty) is the colour key.
    assets.blockSprite = tuDraw::CreateObject(320, 128, 2);
    ASSERT_GT(assets.blockSprite, 0);
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 320; ++x)
        tu::platform::WritePixel(Surf(assets.blockSprite), x, y, x < 32 ? 0 : TileValue(x / 32, y / 32));
    // Font sheet: each digit glyph filled with its own value, the rest black.
    assets.fontSprite = tuDraw::CreateObject(360, 640, 2);
    ASSERT_GT(assets.fontSprite, 0);
    for (int d = 0; d < 10; ++d)
      for (int y = 139; y < 162; ++y)
        for (int x = kDigitLeft[d]; x < kDigitRight[d]; ++x)
          tu::platform::WritePixel(Surf(assets.fontSprite), x, y, DigitValue(d));
    assets.fieldSprite = tuDraw::CreateObject(640, 480, 2);  // black: all colour key
    EmptyField();
    P().shimmerTime = Now();
    P().chainTime = Now() - 100000;
    tuDraw::Clear();
  }
  void TearDown() override {
    tuDraw::Release();
    GameTest::TearDown();
  }
  static tu::platform::Surface* Surf(int id) { return tuDraw::draw.sprites[id].surface; }
  static uint32_t TileValue(int c, int r) { return 0x0800u * uint32_t(c) + 0x20u * uint32_t(r) + 1; }
  static uint32_t DigitValue(int d) { return 0xF800u - 0x0800u * uint32_t(d); }
  static uint32_t Back(int x, int y) { return tu::platform::ReadPixel(tuDraw::draw.backSurface, x, y); }
};

TEST_F(Pixels, ABlockCoversItsTileAtItsLatticePositionAndGlidesFromAbove) {
  PlayerState& p = P();
  p.cells[2][5] = 3;  // odd line: x = 47 + 64 + 16, y = 157 + 80
  p.tileFrame[2][5] = 1;
  p.cells[4][16] = 5;
  p.tileFrame[4][16] = 2;
  p.offsetY[4][16] = 12;  // still 12 pixels above its cell
  DrawPlayer(0, Now());
  EXPECT_EQ(Back(127, 237), TileValue(3, 1));
  EXPECT_EQ(Back(127 + 31, 237 + 31), TileValue(3, 1));
  EXPECT_EQ(Back(126, 237), 0u);
  EXPECT_EQ(Back(127, 236), 0u);
  int x = 47 + 128, y = 157 + 256 - 12;
  EXPECT_EQ(Back(x, y), TileValue(5, 2));
  EXPECT_EQ(Back(x + 31, y + 31), TileValue(5, 2));
  EXPECT_EQ(Back(x, y - 1), 0u);
  // The same cell of player 2's field, 289 pixels further right.
  P(1).cells[2][5] = 4;
  P(1).shimmerTime = Now();
  P(1).chainTime = Now() - 100000;
  DrawPlayer(1, Now());
  EXPECT_EQ(Back(127 + 289, 237), TileValue(4, 0));
}

TEST_F(Pixels, ThePieceShowsItsMarkerAndTheComingPiecesTheirColours) {
  PlayerState& p = P();
  p.pieceSlot = 3;
  p.pieceLine = 0;
  SetOrientation(p, 1);
  p.pieceColor[0] = 2;
  p.pieceColor[1] = 4;
  p.pieceColor[2] = 5;
  p.next[0] = 1;
  p.next[5] = 3;
  DrawPlayer(0, Now());
  EXPECT_EQ(Back(143 + 5, 157 + 5), TileValue(8, 0));  // the marker over the pivot
  EXPECT_EQ(Back(127 + 5, 173 + 5), TileValue(4, 0));
  EXPECT_EQ(Back(159 + 5, 173 + 5), TileValue(5, 0));
  EXPECT_EQ(Back(151, 66), TileValue(1, 0));
  EXPECT_EQ(Back(70 + 31, 79 + 31), TileValue(3, 0));
}

TEST_F(Pixels, TheScoreIsSetInFiveProportionalDigits) {
  P().score = 7;
  DrawPlayer(0, Now());
  int x = 209;
  int digits[5] = {0, 0, 0, 0, 7};
  for (int d : digits) {
    int w = kDigitRight[d] - kDigitLeft[d];
    EXPECT_EQ(Back(x, 40), DigitValue(d)) << x;
    EXPECT_EQ(Back(x + w - 1, 62), DigitValue(d)) << x;
    x += w;
  }
  EXPECT_EQ(Back(x, 40), 0u);
  EXPECT_EQ(Back(209, 39), 0u);
  EXPECT_EQ(Back(209, 63), 0u);
  // 41 907 in player 2's place.
  P(1).score = 41907;
  P(1).shimmerTime = Now();
  P(1).chainTime = Now() - 100000;
  DrawPlayer(1, Now());
  x = 306;
  for (int d : {4, 1, 9, 0, 7}) {
    EXPECT_EQ(Back(x, 50), DigitValue(d)) << d;
    x += kDigitRight[d] - kDigitLeft[d];
  }
}

}  // namespace
