#include <cstdlib>

#include "draw_support.h"

using namespace draw_support;

namespace {

class Wipe : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(tuDraw::Screen(640, 480, 1), 1);
    tuSystem::sys.frameSeconds = 1.0f / 60.0f;
  }
  // Steps until the wipe stops running; the number of steps, or -1 past `limit`.
  int Run(int limit = 10000) {
    for (int n = 1; n <= limit; ++n) {
      EXPECT_EQ(tuDraw::StepWipe(), 1);
      if (tuDraw::draw.wipeState <= 0) return n;
    }
    return -1;
  }
  const tu::Rect& Clip() { return tuDraw::draw.clipRect; }
};

TEST_F(Wipe, PatternOneOpensFourHundredEightyLinesInFiftyFourFrames) {
  ASSERT_EQ(tuDraw::StartWipe(0, 1, 500.0f, 3), 1);
  EXPECT_EQ(Clip(), (tu::Rect{0, 480, 640, 480}));
  EXPECT_EQ(tuDraw::StepWipe(), 1);
  EXPECT_EQ(Clip().top, 471);  // trunc(8.33) + 1
  EXPECT_EQ(Run(), 53);
  EXPECT_EQ(Clip(), (tu::Rect{0, 0, 640, 480}));
  EXPECT_EQ(tuDraw::draw.wipeDone, 1);
  EXPECT_EQ(tuDraw::StepWipe(), 0);
}

TEST_F(Wipe, AFrameTimeOfZeroStillMovesOnePixel) {
  tuSystem::sys.frameSeconds = 0.0f;
  tuDraw::StartWipe(0, 4, 500.0f, 3);
  tuDraw::StepWipe();
  EXPECT_EQ(Clip().right, 1);
  tuDraw::StartWipe(1, 2, 500.0f, 3);  // ignored: a wipe runs
  EXPECT_EQ(tuDraw::draw.wipeDirection, 0);
  EXPECT_EQ(Run(), 639);
}

TEST_F(Wipe, EveryPatternOpensFromItsCollapsedRectangleAndCloses) {
  const tu::Rect full{0, 0, 640, 480};
  const tu::Rect collapsed[10] = {
      {},
      {0, 480, 640, 480}, {0, 0, 640, 0}, {640, 0, 640, 480}, {0, 0, 0, 480},
      {0, 240, 640, 240}, {320, 0, 320, 480}, {320, 240, 320, 240},
      {305, 240, 335, 240}, {320, 225, 320, 255},
  };
  for (int p = 1; p <= 9; ++p) {
    SCOPED_TRACE(p);
    ASSERT_EQ(tuDraw::StartWipe(0, p, 500.0f, 30), 1);
    EXPECT_EQ(Clip(), collapsed[p]);
    int frames = Run();
    EXPECT_GT(frames, 1);
    EXPECT_LE(frames, 80);
    EXPECT_EQ(Clip(), full);
    EXPECT_EQ(tuDraw::draw.wipeState, 0);
    EXPECT_EQ(tuDraw::draw.wipeDone, 1);

    ASSERT_EQ(tuDraw::StartWipe(1, p, 500.0f, 30), 1);
    EXPECT_EQ(Clip(), full);  // a closing wipe starts whole
    frames = Run();
    EXPECT_GT(frames, 1);
    EXPECT_LE(frames, 80);
    EXPECT_EQ(tuDraw::draw.wipeState, -1);
    EXPECT_EQ(tuDraw::draw.wipeAux, 1);
    // Closed: a full-screen draw reaches nothing.
    FillBack(0x0101);
    tuDraw::DrawOpaque(0, 0, 1, 0, 0, 640, 480);
    EXPECT_EQ(Back(320, 240), 0x0101u);
    EXPECT_EQ(Back(0, 0), 0x0101u);
    // The next start brings the rectangle back first.
    ASSERT_EQ(tuDraw::StartWipe(0, p, 100000.0f, 30), 1);
    EXPECT_EQ(tuDraw::draw.wipeSaved, full);
    Run();
  }
}

TEST_F(Wipe, BandedPatternsGrowOneAxisFirst) {
  tuDraw::StartWipe(0, 8, 500.0f, 30);
  tuDraw::StepWipe();
  EXPECT_EQ(Clip().left, 305);  // width waits for the height
  EXPECT_EQ(Clip().top, 231);
  tuDraw::StartWipe(0, 9, 500.0f, 30);  // still running: refused
  Run();
  tuDraw::StartWipe(1, 8, 500.0f, 30);
  while (Clip().left != 305) tuDraw::StepWipe();
  EXPECT_EQ(Clip().right, 335);  // narrowed to the band, then closes vertically
  EXPECT_EQ(Clip().top, 0);
  tuDraw::StepWipe();
  EXPECT_EQ(Clip().top, 9);
  EXPECT_EQ(Clip().left, 305);
}

TEST_F(Wipe, PatternZeroDrawsFromRand) {
  srand(1234);
  int expected = rand() % 9 + 1;
  srand(1234);
  tuDraw::StartWipe(0, 0, 500.0f, 3);
  EXPECT_EQ(tuDraw::draw.wipePattern, expected);
}

TEST_F(Wipe, EndWipeClosesAtOnce) {
  tuDraw::SetClip(10, 20, 110, 220);
  tuDraw::EndWipe();
  EXPECT_EQ(Clip(), (tu::Rect{10, 20, 10, 20}));
  EXPECT_EQ(tuDraw::draw.wipeState, -1);
  EXPECT_EQ(tuDraw::StepWipe(), 0);
  tuDraw::StartWipe(0, 3, 500.0f, 3);
  EXPECT_EQ(tuDraw::draw.wipeSaved, (tu::Rect{10, 20, 110, 220}));
  EXPECT_EQ(Clip(), (tu::Rect{110, 20, 110, 220}));
}

}  // namespace
