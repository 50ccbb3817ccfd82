// PNG pictures as sprites: told by their signature, blended by their alpha at 16 and 32 bits,
// drawn like BMP pictures without it, reported by name when broken, reloaded after a loss.
#include "draw_support.h"
#include "media_support.h"

using namespace draw_support;
using media_support::MakePalettePng;
using media_support::MakePng;

namespace {

class Png : public DrawTest {
 protected:
  void Open(int depth) {
    tu::platform::SetDesktopDepth(depth);
    ASSERT_EQ(tuDraw::Screen(64, 48, 0), 1);
  }
  uint32_t Px(uint32_t colorref) { return tu::platform::MatchColor(tuDraw::draw.backSurface, colorref); }
  const tuDraw::SpriteObject& Entry(int id) { return tuDraw::draw.sprites[id]; }
};

// Half-transparent red, opaque green, fully transparent white, opaque black.
uint32_t Strip(int x, int) {
  static const uint32_t argb[] = {0x80FF0000, 0xFF00FF00, 0x00FFFFFF, 0xFF000000};
  return argb[x];
}

TEST_F(Png, AlphaBlendsOverTheBackBufferAtBothDepthsAndTheKeyIsNotUsed) {
  struct Depth {
    int bits;
    uint32_t half;  // red at alpha 128 over blue, in the channels of the depth
  } depths[] = {
      {16, 16u << 11 | 15u},             // (31 * 128 + 127) / 255 = 16, (31 * 127 + 127) / 255 = 15
      {32, 0x80u << 16 | 0x7Fu},         // (255 * 128 + 127) / 255 = 128, (255 * 127 + 127) / 255 = 127
  };
  for (const Depth& d : depths) {
    Open(d.bits);
    WriteFile("BMP/strip.png", MakePng(4, 1, Strip));
    int id = tuDraw::LoadObject("BMP/strip.png", 2);
    ASSERT_GE(id, 4) << LastBox();
    ASSERT_NE(tu::platform::AlphaPlane(Entry(id).surface), nullptr);
    EXPECT_EQ(Entry(id).width, 4);
    const uint32_t blue = Px(0xFF0000);
    FillBack(blue);
    tuDraw::Draw(10, 10, id, 0, 0, 4, 1);
    EXPECT_EQ(Back(10, 10), d.half) << d.bits;
    EXPECT_EQ(Back(11, 10), Px(0x00FF00)) << d.bits;
    EXPECT_EQ(Back(12, 10), blue) << "transparent, whatever its colour";
    EXPECT_EQ(Back(13, 10), Px(0)) << "opaque black is drawn: the key is not used";
    // Stretched, every copy of a pixel blends the same way; the opaque copy takes colours only.
    tuDraw::DrawScaled(0, 20, id, 0, 0, 4, 1, 8, 2);
    EXPECT_EQ(Back(1, 21), d.half);
    EXPECT_EQ(Back(5, 20), blue);
    tuDraw::DrawOpaque(0, 30, id, 0, 0, 4, 1);
    EXPECT_EQ(Back(2, 30), Px(0xFFFFFF));
    // Into another sprite, as into the back buffer.
    int canvas = tuDraw::CreateObject(4, 1, 2);
    tu::platform::Fill(Entry(canvas).surface, {0, 0, 4, 1}, blue);
    tuDraw::DrawTo(canvas, 0, 0, id, 0, 0, 4, 1);
    EXPECT_EQ(tu::platform::ReadPixel(Entry(canvas).surface, 0, 0), d.half);
    EXPECT_EQ(tu::platform::ReadPixel(Entry(canvas).surface, 2, 0), blue);
    EXPECT_EQ(Boxes(), 0u);
    tuDraw::Release();
  }
}

TEST_F(Png, WithoutTransparencyAPngIsDrawnAsTheSameBmpWhateverItsName) {
  Open(16);
  auto picture = [](int x, int y) { return (x + y) % 3 == 0 ? 0u : 0x3366CCu; };
  WriteFile("BMP/pic.bmp", MakePng(5, 4, [&](int x, int y) { return 0xFF000000u | picture(x, y); }, false));
  WriteFile("BMP/same.bmp", MakeBmp(5, 4, 24, picture));
  int png = tuDraw::LoadObject("BMP/pic.bmp", 2);  // a PNG under a BMP name
  int bmp = tuDraw::LoadObject("BMP/same.bmp", 2);
  ASSERT_GE(png, 4) << LastBox();
  ASSERT_GE(bmp, 4);
  EXPECT_EQ(tu::platform::AlphaPlane(Entry(png).surface), nullptr);
  FillBack(0x1234);
  tuDraw::Draw(0, 0, png, 0, 0, 5, 4);
  tuDraw::Draw(10, 0, bmp, 0, 0, 5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Back(x, y), Back(10 + x, y)) << x << "," << y;
  EXPECT_EQ(Back(0, 0), 0x1234u) << "black is the colour key, as for a BMP";
}

TEST_F(Png, PaletteTransparencyBecomesAlphaAndTheDecodedKeyIsNotLeftOver) {
  Open(32);
  // One fully transparent entry (decoded as a colour key) and one half-transparent palette.
  WriteFile("BMP/keyed.png", MakePalettePng(3, 1, {0x00FF00FF, 0xFFFFFFFF}, [](int x, int) { return x == 1 ? 0 : 1; }));
  WriteFile("BMP/half.png", MakePalettePng(2, 1, {0x80FF0000, 0xFF00FF00}, [](int x, int) { return x; }));
  int keyed = tuDraw::LoadObject("BMP/keyed.png", 2);
  int half = tuDraw::LoadObject("BMP/half.png", 2);
  ASSERT_GE(keyed, 4) << LastBox();
  ASSERT_GE(half, 4) << LastBox();
  FillBack(Px(0xFF0000));
  tuDraw::Draw(0, 0, keyed, 0, 0, 3, 1);
  tuDraw::Draw(0, 1, half, 0, 0, 2, 1);
  EXPECT_EQ(Back(0, 0), Px(0xFFFFFF));
  EXPECT_EQ(Back(1, 0), Px(0xFF0000)) << "the transparent entry shows the back buffer";
  EXPECT_EQ(Back(2, 0), Px(0xFFFFFF));
  EXPECT_EQ(Back(0, 1), 0x80u << 16 | 0x7Fu);
  EXPECT_EQ(Back(1, 1), Px(0x00FF00));
}

TEST_F(Png, ABrokenPngIsReportedByNameAndTheGameGoesOn) {
  Open(16);
  media_support::Bytes good = MakePng(4, 1, Strip);
  struct Case {
    const char* name;
    media_support::Bytes bytes;
  } cases[] = {
      {"BMP/cut.png", media_support::Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"BMP/sig.png", media_support::Bytes(good.begin(), good.begin() + 8)},
      // A header claiming more pixels than any surface may have is refused before decoding.
      {"BMP/huge.png", good},
      // An optional chunk longer than the file: the decoder would read on past the end, as
      // long as the length says, again and again.
      {"BMP/overrun.png", MakePalettePng(4, 2, {0x00FF00FF, 0xFFFFFFFF}, [](int x, int) { return x & 1; })},
  };
  cases[2].bytes[16] = 0x00, cases[2].bytes[17] = 0x01;  // width 65536 + 4
  const std::string text(cases[3].bytes.begin(), cases[3].bytes.end());
  const size_t trns = text.find("tRNS");
  ASSERT_NE(trns, std::string::npos);
  cases[3].bytes[trns - 3] = 0x01;  // its length + 65536
  for (const Case& c : cases) {
    WriteFile(c.name, c.bytes);
    size_t before = Boxes();
    EXPECT_EQ(tuDraw::LoadObject(c.name, 2), 0) << c.name;
    ASSERT_EQ(Boxes(), before + 1);
    EXPECT_EQ(LastBox(), std::string("tuDraw::LoadObject : PNGファイルを読み込めません (") + c.name + ")");
  }
  WriteFile("BMP/good.png", good);
  int id = tuDraw::LoadObject("BMP/good.png", 2);
  EXPECT_GT(id, 4) << "loading goes on after the failures";
  FillBack(0);
  tuDraw::Draw(0, 0, id, 0, 0, 4, 1);
  EXPECT_EQ(Back(1, 0), Px(0x00FF00));
}

TEST_F(Png, RestoreAfterALossReloadsPngsWithTheirAlpha) {
  Open(16);
  WriteFile("BMP/strip.png", MakePng(4, 1, Strip));
  int id = tuDraw::LoadObject("BMP/strip.png", 2);
  ASSERT_GE(id, 4);
  tu::platform::MarkAllSurfacesLost();
  tuDraw::Draw(0, 0, id, 0, 0, 4, 1);  // meets the loss and restores
  ASSERT_NE(tu::platform::AlphaPlane(Entry(id).surface), nullptr);
  FillBack(Px(0xFF0000));
  tuDraw::Draw(0, 0, id, 0, 0, 4, 1);
  EXPECT_EQ(Back(0, 0), 16u << 11 | 15u);
  EXPECT_EQ(Back(2, 0), Px(0xFF0000));
  // SwapObject to a BMP drops the alpha with the old picture.
  WriteFile("BMP/plain.bmp", MakeBmp(4, 1, 24, [](int, int) { return 0xFFFFFFu; }));
  ASSERT_EQ(tuDraw::SwapObject("BMP/plain.bmp", id, 2), 1);
  EXPECT_EQ(tu::platform::AlphaPlane(Entry(id).surface), nullptr);
  EXPECT_EQ(Boxes(), 0u);
}

}  // namespace
