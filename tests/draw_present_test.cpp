#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "draw_support.h"
#include "platform/dialog.h"
#include "platform/instance.h"
#include "platform/seams.h"
#include "platform/window.h"

using namespace draw_support;

namespace {

class Present : public DrawTest {
 protected:
  void Start(int w = 640, int h = 480) { ASSERT_EQ(tuDraw::Screen(w, h, 1), 1); }
  uint32_t Frame(int x, int y) { return tu::platform::ReadPixel(tu::platform::LastPresentedFrame(), x, y); }
  // A 640 x 48 fade strip whose frame k is a flat non-black colour of its own.
  int LoadFadeTile() {
    WriteFile("BMP/fade.bmp", MakeBmp(640, 48, 24, [](int x, int) { return uint32_t((x / 64 + 1) * 20) << 16; }));
    tuDraw::SetFadeTile("BMP/fade.bmp");
    return tuDraw::draw.fadeTileSprite;
  }
};

TEST_F(Present, CopiesTheBackBufferToTheClientAreaStretchingWhenSizesDiffer) {
  Start(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) tu::platform::WritePixel(tuDraw::draw.backSurface, x, y, uint32_t(y * 64 + x));
  uint64_t before = tu::platform::PresentCount();
  tuDraw::Present();
  EXPECT_EQ(tu::platform::PresentCount(), before + 1);
  ASSERT_NE(tu::platform::LastPresentedFrame(), nullptr);
  EXPECT_EQ(tu::platform::SurfaceWidth(tu::platform::LastPresentedFrame()), 64);
  EXPECT_EQ(Frame(5, 7), uint32_t(7 * 64 + 5));
  EXPECT_EQ(Frame(63, 47), uint32_t(47 * 64 + 63));
  tuDraw::draw.presentSourceRect = {0, 0, 32, 24};
  tuDraw::Present();
  EXPECT_EQ(Frame(1, 1), 0u);
  EXPECT_EQ(Frame(2, 0), 1u);
  EXPECT_EQ(Frame(63, 47), uint32_t(23 * 64 + 31));
  tuSystem::sys.clientRect = {0, 0, 128, 96};  // a larger client area
  tuDraw::draw.presentSourceRect = {0, 0, 64, 48};
  tuDraw::Present();
  EXPECT_EQ(tu::platform::SurfaceWidth(tu::platform::LastPresentedFrame()), 128);
  EXPECT_EQ(Frame(127, 95), uint32_t(47 * 64 + 63));
  std::vector<uint8_t> rgb;
  int w = 0, h = 0;
  ASSERT_TRUE(tu::platform::LastFrameRgb(rgb, &w, &h));
  EXPECT_EQ(rgb.size(), size_t(w) * h * 3);
}

TEST_F(Present, ALostPrimaryIsRestoredAndTheFrameSkipped) {
  Start(64, 48);
  tu::platform::MarkPrimaryLost();
  uint64_t before = tu::platform::PresentCount();
  tuDraw::Present();
  EXPECT_EQ(tu::platform::PresentCount(), before);
  EXPECT_FALSE(tu::platform::PrimaryLost());
  tuDraw::Present();
  EXPECT_EQ(tu::platform::PresentCount(), before + 1);
}

TEST_F(Present, TheFrameTimeRecordKeepsEachPresentAndItsPumpAndIsWrittenAtClose) {
  const std::string path = folder + "frames.txt";
  setenv("TU_FRAMETIMES", path.c_str(), 1);
  Start(64, 48);
  unsetenv("TU_FRAMETIMES");
  tu::platform::Message m;
  for (int frame = 0; frame < 3; ++frame) {
    while (tu::platform::PeekMessage(&m)) {
    }
    tuDraw::Present();
  }
  tuDraw::Present();  // a frame with no pump before it keeps the last pump's time
  tuDraw::Release();
  FILE* f = fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char line[256];
  std::vector<std::pair<long long, long long>> frames;
  std::string header;
  while (fgets(line, sizeof line, f)) {
    long long present = 0, poll = 0;
    if (line[0] == '#')
      header += line;
    else if (sscanf(line, "%lld %lld", &present, &poll) == 2)
      frames.push_back({present, poll});
  }
  fclose(f);
  EXPECT_NE(header.find("# path none refresh_hz 60 steady_us "), std::string::npos) << header;
  ASSERT_EQ(frames.size(), 4u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_GT(frames[i].second, 0) << i;
    EXPECT_LE(frames[i].second, frames[i].first) << i;
    if (i > 0) {
      EXPECT_LE(frames[i - 1].first, frames[i].first) << i;
    }
  }
  // Each pump came after the last frame's present; the fourth frame had none of its own.
  EXPECT_GE(frames[1].second, frames[0].first);
  EXPECT_GE(frames[2].second, frames[1].first);
  EXPECT_EQ(frames[3].second, frames[2].second);
}

TEST_F(Present, EveryDisplaySessionOfTheProcessIsKeptInTheFrameTimeRecord) {
  const std::string path = folder + "frames.txt";
  WriteFile("frames.txt", {'o', 'l', 'd', '\n'});  // a record of an earlier run is replaced
  for (int session = 1; session <= 2; ++session) {
    setenv("TU_FRAMETIMES", path.c_str(), 1);
    Start(64, 48);
    unsetenv("TU_FRAMETIMES");
    for (int frame = 0; frame < session; ++frame) tuDraw::Present();
    tuDraw::Release();
  }
  FILE* f = fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::string starts;
  int paths = 0, frames = 0;
  char line[256];
  long long present = 0, poll = 0;
  while (fgets(line, sizeof line, f)) {
    if (strncmp(line, "# frame times, ", 15) == 0)
      starts += std::string(line + 15, strcspn(line + 15, ":")) + ";";
    else if (strncmp(line, "# path ", 7) == 0)
      ++paths;
    else if (sscanf(line, "%lld %lld", &present, &poll) == 2)
      ++frames;
    else
      ADD_FAILURE() << "unexpected line: " << line;
  }
  fclose(f);
  EXPECT_EQ(starts, "session 1;session 2;");
  EXPECT_EQ(paths, 2);
  EXPECT_EQ(frames, 3);
}

TEST_F(Present, AFrameTimeRecordThatCannotBeWrittenIsReportedUnderTheProgramsName) {
  tu::platform::SetProgramName("Other Game");
  setenv("TU_FRAMETIMES", (folder + "no-such-folder/frames.txt").c_str(), 1);
  Start(64, 48);
  unsetenv("TU_FRAMETIMES");
  tuDraw::Present();
  testing::internal::CaptureStderr();
  tuDraw::Release();
  std::string err = testing::internal::GetCapturedStderr();
  tu::platform::SetProgramName(nullptr);
  EXPECT_EQ(err.rfind("Other Game: cannot write the frame-time record ", 0), 0u) << err;
}

TEST_F(Present, TileFadeOutDrawsStepsOneToTenThenEnds) {
  Start();
  int tile = LoadFadeTile();
  ASSERT_GT(tile, 0);
  tuDraw::FadeOut();
  for (int step = 1; step <= 10; ++step) {
    EXPECT_EQ(tuDraw::draw.fadeStep, step);
    tuDraw::Present();
    EXPECT_EQ(Back(639, 479), Pixel(tile, (step - 1) * 64, 0)) << step;
    EXPECT_EQ(Frame(0, 0), Pixel(tile, (step - 1) * 64, 0));
  }
  EXPECT_EQ(tuDraw::draw.fadeStep, 0);
  EXPECT_EQ(tuDraw::draw.fadeDirection, 0);
  tuDraw::FadeIn();
  for (int step = 10; step >= 1; --step) {
    tuDraw::Present();
    EXPECT_EQ(Back(100, 100), Pixel(tile, (step - 1) * 64, 0)) << step;
  }
  EXPECT_EQ(tuDraw::draw.fadeStep, 0);
}

TEST_F(Present, KeysReadZeroWhileAFadeRuns) {
  Start(64, 48);
  tu::platform::InjectKey('X', true);
  int state = 0;
  tuDraw::FadeIn();
  tuSystem::GetKey('X', &state);
  EXPECT_EQ(state, 0);
  for (int i = 0; i < 10; ++i) tuDraw::Present();
  tuSystem::GetKey('X', &state);
  EXPECT_EQ(state, 1);
}

TEST_F(Present, PatternFadesCopyTheScreenSpriteAndSurviveAnyBand) {
  Start(100, 50);
  tu::platform::Fill(tuDraw::draw.sprites[1].surface, {0, 0, 100, 50}, 0x00FF);
  tuDraw::SetFade(11, 10);
  FillBack(0x0001);
  tuDraw::FadeOut();
  tuDraw::Present();  // step 1 of a wipe from the left: W / B columns
  EXPECT_EQ(Back(9, 20), 0x00FFu);
  EXPECT_EQ(Back(10, 20), 0x0001u);
  tuDraw::SetFade(1, 10);
  FillBack(0x0001);
  tuDraw::draw.fadeStep = 2;
  tuDraw::Present();  // odd rows only
  EXPECT_EQ(Back(5, 1), 0x00FFu);
  EXPECT_EQ(Back(5, 2), 0x0001u);
  // Every pattern with bands 0 (made 1), 1 and 10 runs a whole fade and ends.
  for (int band : {0, 1, 10})
    for (int pattern = 1; pattern <= 13; ++pattern) {
      tuDraw::SetFade(pattern, band);
      EXPECT_GE(tuDraw::draw.fadeBand, 1);
      tuDraw::FadeOut();
      for (int i = 0; i < 10; ++i) tuDraw::Present();
      EXPECT_EQ(tuDraw::draw.fadeStep, 0) << pattern << " " << band;
    }
  tuDraw::draw.fadeBand = 0;  // set directly: still treated as 1
  tuDraw::draw.fadePattern = 2;
  tuDraw::FadeOut();
  tuDraw::Present();
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(Present, ShakingBandsPastTheBandShiftRightWithOneRandomNumberEach) {
  Start(100, 50);
  tu::platform::Fill(tuDraw::draw.sprites[1].surface, {0, 0, 100, 50}, 0x00FF);
  tuDraw::SetFade(4, 1);  // bands of one row
  FillBack(0x0001);
  tuDraw::draw.fadeStep = 5;  // modulus 2(1 - 5) + 2 = -6: offsets 3..8
  srand(7);
  for (int i = 0; i < 50; ++i) rand();
  int next = rand();
  srand(7);
  tuDraw::Present();
  EXPECT_EQ(rand(), next) << "one random number per band";
  int outside = 0;
  for (int y = 0; y < 50; ++y) outside += Back(2, y) != 0x0001u || Back(8, y) != 0x00FFu;
  EXPECT_EQ(outside, 0);
}

TEST_F(Present, ScrollViewMovesWithKeysAndClampsToThePicture) {
  Start();
  WriteFile("BMP/view.bmp", MakeBmp(640, 1000, 16, [](int, int y) { return uint32_t(y % 256) << 16 | 0x10; }));
  WriteFile("BMP/back.bmp", MakeBmp(64, 48, 24, [](int, int) { return 0x00FF00u; }));
  tuDraw::ToggleScrollView();
  EXPECT_EQ(tuDraw::draw.scrollViewOn, 0);  // nothing registered yet
  tuDraw::SetScrollView("BMP/view.bmp", "BMP/back.bmp", 1000);
  int view = tuDraw::draw.viewSprite;
  ASSERT_GT(view, 0);
  tuDraw::ToggleScrollView();
  ASSERT_EQ(tuDraw::draw.scrollViewOn, 1);
  tuSystem::sys.scrollKey = 40;  // down: 100 pixels per second at any frame rate
  tuSystem::sys.frameSeconds = 0.25f;
  for (int i = 0; i < 4; ++i) tuDraw::Present();
  EXPECT_FLOAT_EQ(tuDraw::draw.scrollPos, 100.0f);
  EXPECT_FLOAT_EQ(tuDraw::draw.scrollTileX, -10.0f);
  tuDraw::Present();
  EXPECT_EQ(Back(0, 0), Pixel(view, 0, 100));
  tuSystem::sys.scrollKey = 39;
  tuSystem::sys.frameSeconds = 5.0f;
  tuDraw::Present();
  tuDraw::Present();
  EXPECT_FLOAT_EQ(tuDraw::draw.scrollPos, 520.0f);  // 1000 - 480
  tuSystem::sys.scrollKey = 37;
  tuDraw::Present();
  EXPECT_FLOAT_EQ(tuDraw::draw.scrollPos, 0.0f);
  EXPECT_GT(tuDraw::draw.scrollTileX, -64.0f);
  EXPECT_LE(tuDraw::draw.scrollTileX, 0.0f);
  EXPECT_GT(tuDraw::draw.scrollTileY, -48.0f);
  // Keys are hidden from polling while the view is on.
  tu::platform::InjectKey('Z', true);
  int state = 0;
  tuSystem::GetKey('Z', &state);
  EXPECT_EQ(state, 0);
  // A picture shorter than the clip rectangle: the second clamp makes the position negative.
  tuDraw::SetScrollView("BMP/view.bmp", "BMP/back.bmp", 100);
  EXPECT_EQ(tuDraw::draw.viewSprite, view);  // replaced in place
  tuSystem::sys.scrollKey = 0;
  tuDraw::Present();
  EXPECT_FLOAT_EQ(tuDraw::draw.scrollPos, -380.0f);
  tuDraw::ToggleScrollView();
  EXPECT_EQ(tuDraw::draw.scrollViewOn, 0);
}

// The frame loop: a scene that fades out hands over to the next scene after ten presents,
// and a scene change ends a running wipe.
std::vector<int> drawnSteps;
int scene1Calls = 0, scene1Entered = 0;
void LoadForFade() {
  tuDraw::Screen(640, 480, 1);
  tuSystem::sys.sceneNo = 2;
  tuSystem::sys.prevSceneNo = 0;
}
void FadingScene() {
  if (tuSystem::sys.sceneEntered) {
    tuSystem::sys.nextSceneNo = 1;
    tuDraw::FadeOut();
  }
  drawnSteps.push_back(tuDraw::draw.fadeStep);
  tuDraw::Present();
}
void NextScene() {
  ++scene1Calls;
  if (tuSystem::sys.sceneEntered) ++scene1Entered;
  tuDraw::Present();
}

class FrameLoop : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    drawnSteps.clear();
    scene1Calls = scene1Entered = 0;
    program.loadAssets = LoadForFade;
    program.scenes[1] = NextScene;
    program.scenes[2] = FadingScene;
    char arg0[] = "quorbistane";
    char* argv[] = {arg0};
    ASSERT_EQ(tuSystem::Start(1, argv, program), 1);
  }
  void TearDown() override {
    tu::platform::ReleaseInstance();
    DrawTest::TearDown();
  }
  tuSystem::Program program;
};

TEST_F(FrameLoop, FadeOutSwitchesSceneInTheFrameOfStepTen) {
  tuSystem::FrameStep();  // the scene starts the fade and presents step 1
  ASSERT_EQ(drawnSteps, std::vector<int>{1});
  for (int frame = 2; frame <= 10; ++frame) {
    EXPECT_EQ(tuSystem::sys.sceneNo, 2) << frame;
    EXPECT_EQ(tuDraw::draw.fadeStep, frame);
    tuSystem::FrameStep();  // Present alone
  }
  EXPECT_EQ(drawnSteps.size(), 1u);
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(scene1Calls, 0);
  tuSystem::FrameStep();
  EXPECT_EQ(scene1Calls, 1);
  EXPECT_EQ(scene1Entered, 1);
}

TEST_F(FrameLoop, SceneChangeEndsARunningWipe) {
  tuDraw::StartWipe(0, 5, 10.0f, 3);
  tuDraw::StepWipe();
  for (int i = 0; i < 10; ++i) tuSystem::FrameStep();
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(tuDraw::draw.wipeState, 0);
  EXPECT_EQ(tuDraw::draw.wipeDone, 0);
  EXPECT_EQ(tuDraw::draw.clipRect, (tu::Rect{0, 0, 640, 480}));
}

}  // namespace
