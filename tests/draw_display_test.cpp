#include <cstdio>
#include <cstring>
#include <vector>

#include "draw_support.h"
#include "platform/window.h"

using namespace draw_support;

namespace {

class Display : public DrawTest {};

TEST_F(Display, ScreenSetsUpBackBufferInternalSpritesAndState) {
  const int before = tu::platform::LiveSurfaceCount();
  tuSystem::sys.clientX = 100;
  tuSystem::sys.clientY = 50;
  tuSystem::sys.heldKey = 5;
  tuSystem::sys.waitSlots[3] = 7;
  ASSERT_EQ(tuDraw::Screen(320, 200, 1), 1);
  const auto& d = tuDraw::draw;
  EXPECT_EQ(tu::platform::SurfaceWidth(d.backSurface), 320);
  EXPECT_EQ(tu::platform::SurfaceHeight(d.backSurface), 200);
  EXPECT_EQ(d.clipRect, (tu::Rect{0, 0, 320, 200}));
  EXPECT_EQ(d.presentSourceRect, (tu::Rect{0, 0, 320, 200}));
  EXPECT_EQ(tuSystem::sys.clientRect, (tu::Rect{100, 50, 420, 250}));
  EXPECT_EQ(d.displayDepth, 16);
  const char* names[4] = {"内部用１", "内部用２", "内部用３", "内部用４"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(d.sprites[i].name, names[i]);
    EXPECT_EQ(d.sprites[i].width, 320);
    EXPECT_EQ(d.sprites[i].colorKey, 0);
    uint32_t key = 1;
    EXPECT_TRUE(tu::platform::GetColorKey(d.sprites[i].surface, &key));
    EXPECT_EQ(key, 0u);
  }
  // Memory mode 1: only the font sprites ask for system memory.
  EXPECT_FALSE(tu::platform::SurfaceInSystemMemory(d.backSurface));
  EXPECT_FALSE(tu::platform::SurfaceInSystemMemory(d.sprites[1].surface));
  EXPECT_TRUE(tu::platform::SurfaceInSystemMemory(d.sprites[2].surface));
  EXPECT_EQ(d.sprites[4].name[0], 0);
  EXPECT_EQ(tuSystem::sys.heldKey, 0);
  EXPECT_EQ(tuSystem::sys.waitSlots[3], tuSystem::WAIT_NEVER);
  EXPECT_EQ(Boxes(), 0u);

  ASSERT_EQ(tuDraw::Screen(64, 48, 3), 1);  // a second set-up replaces the first
  EXPECT_FALSE(tu::platform::SurfaceInSystemMemory(tuDraw::draw.backSurface));
  EXPECT_TRUE(tu::platform::SurfaceInSystemMemory(tuDraw::draw.sprites[0].surface));
  EXPECT_EQ(tu::platform::LiveSurfaceCount(), before + 5);
  ASSERT_EQ(tuDraw::Screen(64, 48, 0), 1);
  EXPECT_TRUE(tu::platform::SurfaceInSystemMemory(tuDraw::draw.backSurface));
}

TEST_F(Display, ScreenMinusOneTakesTheShellWindowSize) {
  tuSystem::sys.windowWidth = 400;
  tuSystem::sys.windowHeight = 300;
  ASSERT_EQ(tuDraw::Screen(-1, 7, 1), 1);
  EXPECT_EQ(tuDraw::draw.screenWidth, 400);
  EXPECT_EQ(tuDraw::draw.screenHeight, 300);
  EXPECT_EQ(tu::platform::SurfaceHeight(tuDraw::draw.backSurface), 300);
}

TEST_F(Display, AnotherSizeBecomesTheWindowsAndIsPresentedAndCapturedWhole) {
  ASSERT_EQ(tuDraw::Screen(800, 600, 1), 1);
  int w = 0, h = 0;
  tu::platform::LogicalClientSize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_EQ(tuSystem::sys.windowWidth, 800);
  tuDraw::Rect(790, 590, 800, 600, tu::kWhite, tu::kWhite, 1);  // the far corner
  tuDraw::Present();
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(tu::platform::LastFrameRgb(rgb, &w, &h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_GT(rgb[(599 * 800 + 799) * 3], 200);
  ASSERT_EQ(tuDraw::SaveScreen("wide.bmp", 800, 600), 1);
  FILE* f = fopen((folder + "wide.bmp").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  uint8_t header[26] = {};
  EXPECT_EQ(fread(header, 1, sizeof header, f), sizeof header);
  fclose(f);
  EXPECT_EQ(header[18] | header[19] << 8, 800);
  EXPECT_EQ(header[22] | header[23] << 8, 600);
}

TEST_F(Display, SizesItCannotMakeAreRefusedAndTheDisplayStays) {
  ASSERT_EQ(tuDraw::Screen(320, 200, 1), 1);
  const int sizes[][2] = {{0, 200}, {320, 0}, {-5, 10}, {tuDraw::kMaxScreenSide + 1, 200},
                          {320, 100000}};
  for (const auto& size : sizes) {
    tu::platform::ClearRecordedBoxes();
    EXPECT_EQ(tuDraw::Screen(size[0], size[1], 1), 0);
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_NE(tu::platform::RecordedBoxes()[0].text.find("1 to 4096"), std::string::npos);
    EXPECT_EQ(tu::platform::SurfaceWidth(tuDraw::draw.backSurface), 320);
    EXPECT_EQ(tuSystem::sys.windowWidth, 320);
  }
}

TEST_F(Display, ColourAndPixelHelpersMatchTheBackBuffersLayout) {
  static_assert(tu::Rgb(0x12, 0x34, 0x56) == 0x563412u);
  static_assert(tu::Rgb(-3, 300, 7) == 0x07FF00u);
  static_assert(tu::Pixel565(255, 255, 255) == 0xFFFF && tu::Pixel555(255, 0, 0) == 0x7C00);
  EXPECT_EQ(tuDraw::PixelOf(255, 255, 255), 0);  // no back buffer yet
  ASSERT_EQ(tuDraw::Screen(64, 48, 1), 1);
  const int colours[][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {200, 100, 50}};
  for (const auto& c : colours) {
    EXPECT_EQ(tuDraw::PixelOf(c[0], c[1], c[2]), tu::Pixel565(c[0], c[1], c[2]));
    // The fill the effects make reads back as the colour a drawing call makes.
    tuDraw::FillRectValue(0, 0, 1, 1, tuDraw::PixelOf(c[0], c[1], c[2]));
    tuDraw::SetPixel(1, 0, tu::Rgb(c[0], c[1], c[2]));
    int r0, g0, b0, r1, g1, b1;
    tuDraw::GetPixel(0, 0, &r0, &g0, &b0);
    tuDraw::GetPixel(1, 0, &r1, &g1, &b1);
    EXPECT_EQ(r0, r1);
    EXPECT_EQ(g0, g1);
    EXPECT_EQ(b0, b1);
  }
}

TEST_F(Display, PixelFormatFiguresFor565And32Bits) {
  ASSERT_EQ(tuDraw::Screen(32, 32, 1), 1);
  const auto& f = tuDraw::draw.pixelFormat;
  EXPECT_EQ(f.green.shift, 5);
  EXPECT_EQ(f.green.max, 63u);
  EXPECT_EQ(f.green.shift5, 6);
  EXPECT_EQ(f.red.shift, 11);
  EXPECT_EQ(f.red.max, 31u);
  EXPECT_EQ(f.red.shift5, 11);
  EXPECT_EQ(f.halfMask, 0x7BEFu);
  EXPECT_EQ(f.fullMask, 0xFFFFu);
  auto f555 = tuDraw::DescribePixelFormat(0x7C00, 0x03E0, 0x001F, 16);
  EXPECT_EQ(f555.halfMask, 0x3DEFu);
  EXPECT_EQ(f555.fullMask, 0x7FFFu);
  EXPECT_EQ(f555.green.shift5, 5);
  EXPECT_EQ(f555.red.shift, 10);
  auto none = tuDraw::DescribePixelFormat(0, 0, 0, 8);  // a palette format ends the count
  EXPECT_EQ(none.red.max, 0u);
  EXPECT_EQ(none.fullMask, 0u);
  tu::platform::SetDesktopDepth(32);
  ASSERT_EQ(tuDraw::Screen(32, 32, 1), 1);
  EXPECT_EQ(tuDraw::draw.displayDepth, 32);
  EXPECT_EQ(f.bitsPerPixel, 32);
  EXPECT_EQ(f.red.shift, 16);
  EXPECT_EQ(f.red.max, 255u);
  EXPECT_EQ(f.halfMask, 0x7F7F7Fu);
  EXPECT_EQ(f.fullMask, 0xFFFFFFu);
}

TEST_F(Display, TablesSinAlwaysAnd16BitOnlyOnA16BitDesktop) {
  ASSERT_EQ(tuDraw::Screen(32, 32, 1), 1);
  const auto& t = tuDraw::tables;
  EXPECT_EQ(t.sinTable[90], 360);
  EXPECT_EQ(t.sinTable[30], 179);
  EXPECT_EQ(t.sinTable[449], 359);
  EXPECT_EQ(t.sinTable[270], -360);
  ASSERT_EQ(t.built16, 1);
  // 5-6-5 white: every component 31; a pixel of green 63 halves to 31.
  EXPECT_EQ(t.rgbOfPixel[0xFFFF][0], 31);
  EXPECT_EQ(t.rgbOfPixel[0xFFFF][1], 31);
  EXPECT_EQ(t.rgbOfPixel[0x07E0][1], 31);
  EXPECT_EQ(t.rgbOfPixel[0x001F][2], 31);
  // fadeAdd: max(q - z, 0) + max(z + s - 31, 0) placed at the channel's five-bit shift.
  EXPECT_EQ(t.fadeAddTable[0 * 32768 + 10 * 1024 + 20 * 32 + 25], (10 + 4) << 11);
  EXPECT_EQ(t.fadeAddTable[1 * 32768 + 10 * 1024 + 20 * 32 + 25], (10 + 4) << 6);
  EXPECT_EQ(t.fadeSatTable[2 * 32768 + 2 * 1024 + 30 * 32 + 10], 31);
  EXPECT_EQ(t.subTable[0 * 1024 + 5 * 32 + 9], 0);
  EXPECT_EQ(t.subTable[1 * 1024 + 9 * 32 + 5], 4 << 6);
  EXPECT_EQ(t.avg3Table[93], 31);
  for (int i = 0; i < 10000; ++i) ASSERT_LT(t.randomTable[i], 3);
  tu::platform::SetDesktopDepth(32);
  ASSERT_EQ(tuDraw::Screen(32, 32, 1), 1);
  EXPECT_EQ(t.built16, 0);
  EXPECT_EQ(t.rgbOfPixel[0xFFFF][0], 0);
  EXPECT_EQ(t.fadeAddTable[0 * 32768 + 10 * 1024 + 20 * 32 + 25], 0);
  EXPECT_EQ(t.sinTable[90], 360);
}

TEST_F(Display, EachFailingStepReportsItsOwnMessageOnce) {
  const int before = tu::platform::LiveSurfaceCount();
  struct Case {
    int failAfter;
    const char* message;
  } cases[] = {
      {0, "裏画面が生成できません"},
      {1, "Bufferスプライトが生成できません"},
      {2, "Screenスプライトが生成できません"},
      {3, "Fontスプライトが生成できません"},
      {4, "Fontバッファスプライトが生成できません"},
  };
  for (const Case& c : cases) {
    tu::platform::ClearRecordedBoxes();
    tu::platform::FailSurfaceCreationAfter(c.failAfter);
    EXPECT_EQ(tuDraw::Screen(32, 32, 1), 0);
    tu::platform::FailSurfaceCreationAfter(-1);
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_EQ(LastBox(), std::string("tuDraw::Screen : ") + c.message);
    EXPECT_EQ(tuSystem::ErrorRaised(), 1);
  }
  tu::platform::ClearRecordedBoxes();
  tu::platform::FailNextDisplayOpen();
  EXPECT_EQ(tuDraw::Screen(32, 32, 1), 0);
  EXPECT_EQ(LastBox(), "tuDraw::Screen : DirectDrawが使用できません");
  tu::platform::FailNextPrimary();
  EXPECT_EQ(tuDraw::Screen(32, 32, 1), 0);
  EXPECT_EQ(LastBox(), "tuDraw::Screen : 表画面が生成できません");
  EXPECT_EQ(Boxes(), 2u);
  // A good set-up afterwards clears the error flag and frees what the failures left.
  EXPECT_EQ(tuDraw::Screen(32, 32, 1), 1);
  EXPECT_EQ(tuSystem::ErrorRaised(), 0);
  EXPECT_EQ(tu::platform::LiveSurfaceCount(), before + 5);
}

TEST_F(Display, FullScreenDepthFallsBackOnlyThroughGivenDepths) {
  tuSystem::sys.fullScreen = 1;
  tuDraw::SetDepths(24, 0, 32);
  EXPECT_EQ(tuDraw::Screen(32, 32, 1), 0);
  EXPECT_EQ(LastBox(), "tuDraw::Screen : 解像度が変更できません");
  EXPECT_EQ(tuDraw::draw.displayDepth, 24);  // no second attempt without a first fallback
  tuDraw::SetDepths(24, 8, 32);
  EXPECT_EQ(tuDraw::Screen(32, 32, 1), 1);
  EXPECT_EQ(tuDraw::draw.displayDepth, 32);
  EXPECT_EQ(tuDraw::draw.pixelFormat.bitsPerPixel, 32);
  tuDraw::Release();
  EXPECT_EQ(tu::platform::DesktopDepth(), 16) << "the desktop's own depth comes back";
}

}  // namespace
