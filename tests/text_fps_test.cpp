// The frames-per-second meter and the line-grid interlude scene.
#include <cstring>

#include "draw_support.h"
#include "game/game.h"
#include "game/interlude.h"

using namespace draw_support;

namespace {

class Meter : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(tuDraw::Screen(640, 480, 0), 1);
    tuSystem::fps = tuSystem::FpsState{};
    tu::platform::SetTick(10000);
    tuSystem::fps.nextSample = 10000;  // as if the program were loaded now
    tuSystem::fps.started = 1;
  }
  uint32_t Px(uint32_t colorref) { return tu::platform::MatchColor(tuDraw::draw.backSurface, colorref); }
  // `calls` calls spread over one two-second window, then the call that samples them.
  void Window(int calls) {
    uint32_t start = tu::platform::Tick();
    for (int i = 0; i < calls; ++i) {
      tu::platform::SetTick(start + static_cast<uint32_t>(i) * 1999u / calls);
      tuSystem::DrawFps();
    }
    tu::platform::SetTick(start + 2000);
    tuSystem::DrawFps();
  }
};

TEST_F(Meter, FirstCallSamplesAnEmptyWindowAndDrawsTheLine) {
  tuSystem::DrawFps();
  EXPECT_STREQ(tuSystem::fps.text, "0.0 fps ( max 0.0 / min 999.9 )");
  EXPECT_EQ(tuSystem::fps.nextSample, 12000u);
  EXPECT_EQ(tuSystem::fps.frameCount, 1);
  EXPECT_EQ(tuDraw::text.scopeOpen, 0);
  // White on dark blue in the top-left corner, 12 pixels high.
  int blue = 0, white = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 200; ++x) {
      blue += Back(x, y) == Px(0x800000);
      white += Back(x, y) == Px(0xFFFFFF);
    }
  EXPECT_GT(blue, 500);
  EXPECT_GT(white, 100);
  EXPECT_EQ(Back(5, 12), 0u);
}

TEST_F(Meter, SixtyCallsInTwoSecondsShowThirtyHighestOnlyRisesLowestOnlyFalls) {
  tuSystem::DrawFps();  // the load-time sample, counted in the first window
  Window(59);          // 60 calls before the sample at 12000
  EXPECT_FLOAT_EQ(tuSystem::fps.current, 30.0f);
  EXPECT_STREQ(tuSystem::fps.text, "30.0 fps ( max 30.0 / min 30.0 )");
  Window(119);  // + the sampling call of the window before: 120
  EXPECT_STREQ(tuSystem::fps.text, "60.0 fps ( max 60.0 / min 30.0 )");
  Window(39);
  EXPECT_STREQ(tuSystem::fps.text, "20.0 fps ( max 60.0 / min 20.0 )");
  // A stall leaves only the sampling call in a window.
  tu::platform::AdvanceTick(5000);
  tuSystem::DrawFps();
  EXPECT_STREQ(tuSystem::fps.text, "0.5 fps ( max 60.0 / min 0.5 )");
  tu::platform::AdvanceTick(5000);
  tuSystem::DrawFps();
  EXPECT_STREQ(tuSystem::fps.text, "0.5 fps ( max 60.0 / min 0.5 )");
}

TEST_F(Meter, CountIsHeldAt999AndTheWindowSurvivesTheTickWrap) {
  tuSystem::DrawFps();
  for (int i = 0; i < 1500; ++i) tuSystem::DrawFps();  // the clock stands still
  EXPECT_EQ(tuSystem::fps.frameCount, 999);
  tu::platform::SetTick(0xFFFFFF00u);
  tuSystem::fps.nextSample = 0xFFFFFF00u;
  tuSystem::fps.frameCount = 0;
  tuSystem::DrawFps();  // next sample 0xFFFFFF00 + 2000 wraps past zero
  tu::platform::SetTick(0xFFFFFFF0u);
  tuSystem::DrawFps();
  EXPECT_EQ(tuSystem::fps.frameCount, 2) << "no early sample before the wrapped tick";
  tu::platform::SetTick(0xFFFFFF00u + 2000u);
  tuSystem::DrawFps();
  EXPECT_FLOAT_EQ(tuSystem::fps.current, 1.0f);
}

class Interlude : public Meter {
 protected:
  std::vector<uint8_t> Frame() {
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    EXPECT_TRUE(tu::platform::LastFrameRgb(rgb, &w, &h));
    return rgb;
  }
};

TEST_F(Interlude, FirstFrameDrawsWithOffset39AndThePictureRepeatsEvery40Frames) {
  tuSystem::sys.sceneEntered = 1;
  interlude.offset = 7;  // whatever an earlier visit left
  InterludeScene();
  tuSystem::sys.sceneEntered = 0;
  EXPECT_EQ(interlude.offset, 39);
  EXPECT_EQ(interlude.number, 10000);
  uint32_t dark = Px(150), darker = Px(50);
  // Diagonals through x - y = 39 and x + y = 519 (mod 40), verticals at x = 1 (mod 40), and the
  // horizontals every 40 rows.
  EXPECT_EQ(Back(139, 100), dark);
  EXPECT_EQ(Back(419, 100), dark);
  EXPECT_EQ(Back(201, 300), darker);
  EXPECT_EQ(Back(300, 40), darker);
  EXPECT_EQ(Back(300, 440), darker);
  EXPECT_EQ(Back(300, 460), 0u);
  EXPECT_EQ(Back(310, 300), 0u);
  EXPECT_EQ(Back(140, 100), 0u);
  std::vector<uint8_t> first = Frame();
  for (int i = 1; i < 40; ++i) {
    InterludeScene();
    if (i == 1) {
      EXPECT_EQ(interlude.offset, 38);
      EXPECT_EQ(Back(138, 100), dark) << "diagonals move left";
      EXPECT_EQ(Back(202, 300), darker) << "verticals move right";
      EXPECT_NE(Frame(), first);
    }
  }
  EXPECT_EQ(interlude.offset, 40);
  InterludeScene();
  EXPECT_EQ(interlude.offset, 39);
  EXPECT_EQ(Frame(), first);
}

TEST_F(Interlude, EachFrameSleepsFiveMillisecondsAndShowsTheMeter) {
  tuSystem::sys.sceneEntered = 1;
  uint32_t before = tu::platform::Tick();
  InterludeScene();
  EXPECT_GE(tu::platform::Tick() - before, 5u);
  EXPECT_EQ(tuSystem::fps.frameCount, 1);
  EXPECT_EQ(Back(1, 1), Px(0x800000)) << "the meter's background over the lattice";
}

}  // namespace
