// The two ways frames reach a real window, under a virtual X server: what the window's buffer
// holds after each present, as rows change, the back buffer's format changes, and presents
// are scaled; and the GPU renderer's path presenting and recovering from a loss. Also the
// window's opening factor and the framebuffer's row record, which need no window.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/rows.h"
#include "platform/seams.h"
#include "platform/surface.h"
#include "platform/view.h"
#include "platform/window.h"

namespace {
using tu::platform::PixelFormat;
using tu::platform::PixelRect;

class WindowPresent : public ::testing::Test {
 protected:
  // Opens a window and its display by the given path (null: the automatic choice).
  void Open(const char* path, bool scalable = false) {
    if (path)
      setenv("TU_PRESENT", path, 1);
    else
      unsetenv("TU_PRESENT");
    tu::platform::SetHeadless(false);
    tu::platform::WindowOptions o;
    o.title = "present test";
    o.topmost = false;
    o.scalable = scalable;
    const char* why = nullptr;
    // The virtual X server may refuse a connection that follows the last one too closely.
    bool made = false;
    for (int attempt = 0; attempt < 5 && !made; ++attempt) {
      if (attempt) SDL_Delay(50);
      made = tu::platform::CreateMainWindow(o, &why);
    }
    if (!made) GTEST_SKIP() << "no display: " << (why ? why : "");
    ASSERT_TRUE(tu::platform::OpenDisplay());
    ASSERT_TRUE(tu::platform::CreatePrimary(640, 480, PixelFormat::Rgb565));
  }
  void TearDown() override {
    for (auto* s : made) tu::platform::FreeSurface(s);
    tu::platform::CloseDisplay();
    tu::platform::DestroyMainWindow();
    unsetenv("TU_PRESENT");
  }
  // A surface whose pixel at (x, y) is `pattern(x, y)`.
  template <typename F>
  tu::platform::Surface* Make(int w, int h, PixelFormat f, F pattern) {
    tu::platform::Surface* s = tu::platform::CreateSurface(w, h, f, true);
    made.push_back(s);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) tu::platform::WritePixel(s, x, y, pattern(x, y));
    return s;
  }
  std::vector<tu::platform::Surface*> made;
};

// The colour the window's buffer holds at (x, y), as 0x00BBGGRR.
uint32_t WindowColour(int x, int y) {
  SDL_Surface* s = SDL_GetWindowSurface(tu::platform::MainSdlWindow());
  const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch +
                     static_cast<size_t>(x) * s->format->BytesPerPixel;
  uint32_t v = 0;
  memcpy(&v, p, s->format->BytesPerPixel);
  Uint8 r, g, b;
  SDL_GetRGB(v, s->format, &r, &g, &b);
  return uint32_t{r} | uint32_t{g} << 8 | uint32_t{b} << 16;
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d < -1 || d > 1) return false;
  }
  return true;
}

// Empty when the window shows `back` whole at its own size; else the first wrong pixel.
std::string ShowsWhole(const tu::platform::Surface* back) {
  PixelFormat f = tu::platform::SurfaceFormat(back);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      uint32_t want = tu::platform::PixelToColorref(f, tu::platform::ReadPixel(back, x, y));
      uint32_t got = WindowColour(x, y);
      if (!Near(want, got))
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got) +
               " for " + std::to_string(want);
    }
  return "";
}

// Gives the window a new client size and lets the display see the change, as the loop would.
void Resize(int w, int h) {
  SDL_SetWindowSize(tu::platform::MainSdlWindow(), w, h);
  tu::platform::Message m;
  for (int i = 0; i < 100; ++i) {
    // Two rounds: events queued after SDL's end-of-poll mark come with the second.
    for (int round = 0; round < 2; ++round)
      while (tu::platform::PeekMessage(&m)) {
      }
    int pw = 0, ph = 0;
    SDL_GetWindowSizeInPixels(tu::platform::MainSdlWindow(), &pw, &ph);
    if (pw == w && ph == h) return;
    SDL_Delay(10);
  }
  FAIL() << "the window did not take the size " << w << "x" << h;
}

// Empty when the window shows `back` as blocks of `k` x `k` at (x0, y0) with black around;
// else the first wrong pixel. Samples every `step` pixels.
std::string ShowsScaled(const tu::platform::Surface* back, int k, int x0, int y0, int step) {
  SDL_Surface* s = SDL_GetWindowSurface(tu::platform::MainSdlWindow());
  PixelFormat f = tu::platform::SurfaceFormat(back);
  for (int y = 0; y < s->h; y += step)
    for (int x = 0; x < s->w; x += step) {
      bool in = x >= x0 && x < x0 + 640 * k && y >= y0 && y < y0 + 480 * k;
      uint32_t want =
          in ? tu::platform::PixelToColorref(f, tu::platform::ReadPixel(back, (x - x0) / k, (y - y0) / k))
             : 0;
      uint32_t got = WindowColour(x, y);
      if (!Near(want, got))
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got) +
               " for " + std::to_string(want);
    }
  return "";
}

uint32_t Stripes(int x, int y) { return static_cast<uint32_t>((x * 7 + y * 13) & 0xFFFF); }
uint32_t Wide(int x, int y) { return static_cast<uint32_t>(x * 0x010203 + y * 0x030201) & 0xFFFFFF; }

TEST(WindowScale, TheWindowOpensAtTheLargestFactorWhoseFramedWindowFitsTheUsableArea) {
  using tu::platform::kFrameAllowanceHeight;
  using tu::platform::kFrameAllowanceWidth;
  struct Case {
    int usableWidth, usableHeight, frameWidth, frameHeight, factor;
  };
  const Case cases[] = {
      // Whole screens, a thin frame (borders and a title bar of 26).
      {1920, 1080, 2, 26, 2},
      {2560, 1440, 2, 26, 2},
      {3840, 2160, 2, 26, 4},
      {1366, 768, 2, 26, 1},
      {1024, 768, 2, 26, 1},
      // Screens less a panel, a thick frame or the allowance for one not told.
      {1920, 1040, 2, 37, 2},
      {2560, 1400, 10, 40, 2},
      {3840, 2112, kFrameAllowanceWidth, kFrameAllowanceHeight, 4},
      {1366, 728, kFrameAllowanceWidth, kFrameAllowanceHeight, 1},
      // Exactly fitting, and one pixel short; no frame; the width the narrower side.
      {1920, 960 + kFrameAllowanceHeight, kFrameAllowanceWidth, kFrameAllowanceHeight, 2},
      {1920, 959 + kFrameAllowanceHeight, kFrameAllowanceWidth, kFrameAllowanceHeight, 1},
      {1280, 960, 0, 0, 2},
      {1279, 2000, 0, 0, 1},
      // Never below 1, even where nothing fits.
      {800, 600, 2, 26, 1},
      {600, 400, 2, 26, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.usableWidth) + "x" + std::to_string(c.usableHeight) + " frame " +
                 std::to_string(c.frameWidth) + "x" + std::to_string(c.frameHeight));
    EXPECT_EQ(tu::platform::OpeningFactor(640, 480, c.usableWidth, c.usableHeight, c.frameWidth,
                                          c.frameHeight),
              c.factor);
  }
}

TEST(WindowScale, OnlyChangedRowsAreSentAsBlocksOfTheFactor) {
  const int w = 8, h = 6, k = 2;
  std::vector<uint16_t> frame(w * h);
  for (int i = 0; i < w * h; ++i) frame[i] = static_cast<uint16_t>(i * 997);
  std::vector<uint16_t> out(w * k * h * k);
  tu::platform::ChangedRows rows;
  rows.Reset(w, h, PixelFormat::Rgb565);
  auto send = [&] {
    std::string bands;
    for (auto b : rows.Send(reinterpret_cast<const uint8_t*>(frame.data()), w * 2,
                            reinterpret_cast<uint8_t*>(out.data()), w * k * 2,
                            tu::platform::RowTarget::Same, k))
      bands += std::to_string(b.top) + "+" + std::to_string(b.rows) + " ";
    return bands;
  };
  EXPECT_EQ(send(), "0+12 ");
  for (int y = 0; y < h * k; ++y)
    for (int x = 0; x < w * k; ++x) ASSERT_EQ(out[y * w * k + x], frame[(y / k) * w + x / k]);
  EXPECT_EQ(send(), "");
  frame[1 * w + 3] = 1;
  frame[2 * w] = 2;
  frame[5 * w + 7] = 3;
  EXPECT_EQ(send(), "2+4 10+2 ");
  EXPECT_EQ(out[11 * w * k + 15], 3);
  EXPECT_EQ(out[5 * w * k + 1], 2);
  rows.SendAll();
  EXPECT_EQ(send(), "0+12 ");
}

TEST_F(WindowPresent, WithoutAGpuTheWindowsOwnBufferIsChosen) {
  Open(nullptr);
  if (IsSkipped()) return;
  // The virtual X server has no GPU: GL would run on the CPU.
  EXPECT_STREQ(tu::platform::PresentPath(), "framebuffer");
}

TEST_F(WindowPresent, ChangedRowsAndAChangedFormatReachTheWindowExactly) {
  Open("framebuffer");
  if (IsSkipped()) return;
  ASSERT_STREQ(tu::platform::PresentPath(), "framebuffer");
  const PixelRect all{0, 0, 640, 480};
  tu::platform::Surface* back = Make(640, 480, PixelFormat::Rgb565, Stripes);
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsWhole(back), "");

  // A few scattered rows change, the first and last among them; a frame with no change.
  for (int y : {0, 10, 11, 12, 300, 479})
    for (int x = 0; x < 640; x += 3) tu::platform::WritePixel(back, x, y, 0xF800);
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsWhole(back), "");
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsWhole(back), "");

  // The same size at 32 bits, then 16 bits again: every row is taken anew.
  tu::platform::Surface* wide = Make(640, 480, PixelFormat::Xrgb8888, Wide);
  ASSERT_EQ(tu::platform::PresentFrame(wide, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsWhole(wide), "");
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsWhole(back), "");
}

TEST_F(WindowPresent, AScaledPresentFillsItsRectangleAndLeavesTheRestBlack) {
  Open("framebuffer");
  if (IsSkipped()) return;
  const PixelRect all{0, 0, 640, 480};
  // Blocks of 4 x 4 pixels: halving picks the same colour whichever pixel of a pair it takes.
  tu::platform::Surface* blocks = Make(640, 480, PixelFormat::Rgb565, [](int x, int y) {
    return static_cast<uint32_t>(((x / 4) * 31 + (y / 4) * 2047) & 0xFFFF);
  });
  ASSERT_EQ(tu::platform::PresentFrame(blocks, all, {100, 50, 420, 290}, false),
            tu::platform::CopyResult::Ok);
  for (int y = 0; y < 480; y += 5)
    for (int x = 0; x < 640; x += 5) {
      bool in = x >= 100 && x < 420 && y >= 50 && y < 290;
      uint32_t want = in ? tu::platform::PixelToColorref(
                               PixelFormat::Rgb565,
                               tu::platform::ReadPixel(blocks, (x - 100) * 2, (y - 50) * 2))
                         : 0;
      ASSERT_TRUE(Near(WindowColour(x, y), want)) << x << "," << y;
    }
  // Back at full size the whole frame is sent again, not only changed rows.
  ASSERT_EQ(tu::platform::PresentFrame(blocks, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsWhole(blocks), "");
  // A rectangle reaching outside the back buffer is refused.
  EXPECT_EQ(tu::platform::PresentFrame(blocks, {0, 0, 641, 480}, all, false),
            tu::platform::CopyResult::Invalid);
}

TEST_F(WindowPresent, AScaledWindowShowsWholeMultiplesWithBarsAndOnlyChangedRowsAfterward) {
  Open("framebuffer", true);
  if (IsSkipped()) return;
  const PixelRect all{0, 0, 640, 480};
  tu::platform::Surface* back = Make(640, 480, PixelFormat::Rgb565, Stripes);
  Resize(1300, 1000);  // 2x: 1280 x 960 at (10, 20)
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsScaled(back, 2, 10, 20, 3), "");
  for (int y : {0, 200, 479})
    for (int x = 0; x < 640; x += 2) tu::platform::WritePixel(back, x, y, 0x07E0);
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsScaled(back, 2, 10, 20, 1), "");

  // After a resize the unchanged frame is drawn whole at the new scale and place.
  Resize(1950, 1500);  // 3x: 1920 x 1440 at (15, 30)
  ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(ShowsScaled(back, 3, 15, 30, 3), "");

  // Below the logical size the picture keeps 4:3, smoothly scaled: a flat colour stays flat.
  tu::platform::Surface* flat = Make(640, 480, PixelFormat::Rgb565, [](int, int) { return 0x001F; });
  Resize(400, 400);  // 400 x 300 at (0, 50)
  ASSERT_EQ(tu::platform::PresentFrame(flat, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_TRUE(Near(WindowColour(200, 40), 0));
  EXPECT_TRUE(Near(WindowColour(0, 50), 0xFF0000));
  EXPECT_TRUE(Near(WindowColour(399, 349), 0xFF0000));
  EXPECT_TRUE(Near(WindowColour(200, 350), 0));
}

// Filling: the largest 4:3 rectangle, smoothly scaled, in place of the largest whole factor
// (3x: 1920 x 1440 at (15, 30) in this window).
TEST_F(WindowPresent, FillScalingTakesTheLargestRectangleInsteadOfAWholeFactor) {
  Open("framebuffer", true);
  if (IsSkipped()) return;
  const PixelRect all{0, 0, 640, 480};
  tu::platform::Surface* flat = Make(640, 480, PixelFormat::Rgb565, [](int, int) { return 0x001F; });
  Resize(1950, 1500);
  tu::platform::SetFillView(true);
  ASSERT_EQ(tu::platform::PresentFrame(flat, all, all, false), tu::platform::CopyResult::Ok);
  tu::platform::SetFillView(false);
  // 1950 x 1462 at (0, 19).
  EXPECT_TRUE(Near(WindowColour(2, 21), 0xFF0000));
  EXPECT_TRUE(Near(WindowColour(1947, 1478), 0xFF0000));
  EXPECT_TRUE(Near(WindowColour(975, 10), 0));
  EXPECT_TRUE(Near(WindowColour(975, 1490), 0));
}

TEST_F(WindowPresent, AfterADisplayChangeTheWholeFrameIsSentAgain) {
  Open("framebuffer");
  if (IsSkipped()) return;
  const PixelRect all{0, 0, 640, 480};
  tu::platform::Surface* back = Make(640, 480, PixelFormat::Rgb565, Stripes);
  SDL_Window* w = tu::platform::MainSdlWindow();
  tu::platform::Message m;
  auto pump = [&m] {
    // Two rounds: events queued after SDL's end-of-poll mark come with the second.
    for (int round = 0; round < 2; ++round)
      while (tu::platform::PeekMessage(&m)) {
      }
  };
  // The window moves to another display; then a display is connected. Each time the
  // window's buffer no longer holds the frame, and no row of the frame changed.
  for (Uint32 type : {Uint32{SDL_WINDOWEVENT}, Uint32{SDL_DISPLAYEVENT}}) {
    SDL_Delay(100);
    pump();  // the window's own events (shown, exposed) are taken first
    ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
    SDL_Surface* s = SDL_GetWindowSurface(w);
    memset(s->pixels, 0x5A, static_cast<size_t>(s->pitch) * s->h);
    SDL_Event e{};
    e.type = type;
    if (type == SDL_WINDOWEVENT) {
      e.window.windowID = SDL_GetWindowID(w);
      e.window.event = SDL_WINDOWEVENT_DISPLAY_CHANGED;
    } else {
      e.display.event = SDL_DISPLAYEVENT_CONNECTED;
    }
    SDL_PushEvent(&e);
    pump();
    ASSERT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
    EXPECT_EQ(ShowsWhole(back), "") << "after event " << type;
  }
}

TEST_F(WindowPresent, MousePositionsStayInTheLogicalClientAreaWhateverTheScale) {
  Open("framebuffer", true);
  if (IsSkipped()) return;
  Resize(1300, 1000);  // 2x at (10, 20)
  auto movedTo = [](int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(tu::platform::MainSdlWindow());
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
    tu::platform::Message m;
    // An event pushed after SDL's end-of-poll mark comes with the next round of polling.
    for (int round = 0; round < 2; ++round)
      while (tu::platform::PeekMessage(&m))
        if (m.message == tu::platform::WM_MOUSEMOVE)
          return std::to_string(m.lParam & 0xFFFF) + "," + std::to_string(m.lParam >> 16);
    return std::string("none");
  };
  EXPECT_EQ(movedTo(10 + 2 * 100 + 1, 20 + 2 * 50), "100,50");
  EXPECT_EQ(movedTo(3, 5), "0,0");           // in the bars: the nearest edge
  EXPECT_EQ(movedTo(1299, 999), "639,479");
  // Cursor positions on the screen: the client area's points map inside the logical area.
  int ox, oy;
  tu::platform::ClientOrigin(&ox, &oy);
  tu::platform::SetGlobalCursorPos(ox + 320, oy + 240);
  int gx, gy;
  SDL_GetGlobalMouseState(&gx, &gy);
  EXPECT_EQ(gx - ox, 10 + 2 * 320 + 1);
  EXPECT_EQ(gy - oy, 20 + 2 * 240 + 1);
  tu::platform::GlobalCursorPos(&gx, &gy);
  EXPECT_EQ(gx - ox, 320);
  EXPECT_EQ(gy - oy, 240);
  // The cursor clip of the client area holds the picture, and follows it when the window grows.
  auto clip = [] {
    const SDL_Rect* r = SDL_GetWindowMouseRect(tu::platform::MainSdlWindow());
    return r ? std::to_string(r->x) + "," + std::to_string(r->y) + " " + std::to_string(r->w) +
                   "x" + std::to_string(r->h)
             : std::string("none");
  };
  tu::platform::ConfineCursor(ox, oy, ox + 640, oy + 480);
  EXPECT_EQ(clip(), "10,20 1280x960");
  Resize(1950, 1500);
  EXPECT_EQ(clip(), "15,30 1920x1440");
  tu::platform::UnconfineCursor();
  EXPECT_EQ(clip(), "none");
}

TEST_F(WindowPresent, TheRendererPathPresentsAndRecoversFromALoss) {
  Open("renderer");
  if (IsSkipped()) return;
  ASSERT_STREQ(tu::platform::PresentPath(), "renderer");
  const PixelRect all{0, 0, 640, 480};
  tu::platform::Surface* back = Make(640, 480, PixelFormat::Rgb565, Stripes);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  tu::platform::MarkPrimaryLost();
  EXPECT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Lost);
  tu::platform::RestorePrimary();
  EXPECT_EQ(tu::platform::PresentFrame(back, all, all, false), tu::platform::CopyResult::Ok);
  EXPECT_EQ(tu::platform::PresentCount(), 4u);
}

}  // namespace
