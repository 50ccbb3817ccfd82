// The game's fixed step: its pace on real time, and a game that ends the same however often the
// display shows it.
#include <gtest/gtest.h>

#include <tu/internal/system.h>

#include "game/playback.h"
#include "game/snapshot.h"
#include "game_support.h"

namespace {
using namespace game_support;

class Step : public GameTest {
 protected:
  void TearDown() override {
    StopPlayback();
    SetPacedSteps(0);
    GameTest::TearDown();
  }
  // The steps each frame takes, `frames` frames `ms` apart on the manual clock.
  std::vector<int> Pace(std::initializer_list<uint32_t> ms, int frames) {
    SetPacedSteps(1);
    std::vector<int> steps;
    for (int f = 0; f < frames; ++f) {
      tu::platform::AdvanceTick(ms.begin()[f % ms.size()]);
      steps.push_back(DueSteps());
    }
    return steps;
  }
};

TEST_F(Step, StepsComeSixtyASecondWhateverTheDisplaysRate) {
  struct Case {
    const char* display;
    std::initializer_list<uint32_t> ms;
    int frames, most;
  } cases[] = {
      {"60 Hz, a millisecond either side", {17, 16, 18, 15, 17, 17}, 600, 1},
      {"144 Hz", {7}, 1430, 1},
      {"30 Hz", {33, 34}, 300, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display);
    std::vector<int> s = Pace(c.ms, c.frames);
    int total = 0, most = 0;
    uint32_t elapsed = 0;
    for (int f = 0; f < c.frames; ++f) {
      total += s[f], most = std::max(most, s[f]);
      elapsed += c.ms.begin()[f % c.ms.size()];
    }
    EXPECT_NEAR(total, elapsed * 60 / 1000, 2);
    EXPECT_EQ(most, c.most);
  }
  // A display stalled for a second catches up five steps and lets the rest of the time go.
  std::vector<int> s = Pace({16, 1000, 16}, 3);
  EXPECT_EQ(s[1], 5);
  EXPECT_LE(s[2], 1);
}

// A versus game of random keys, recorded on a 60-a-second clock, then played back with one step
// a frame and with frames every 7 ms (a 144 Hz display): all three end in the same state.
TEST_F(Step, AGameEndsTheSameAt60And144Hz) {
  tuSystem::sys.sceneNo = 1;
  tuDraw::draw.clipRect = {0, 0, 640, 480};  // the opening wipe has a screen to open
  game.gameMode = kModeVersus;
  game.difficulty[0] = game.difficulty[1] = 3;
  game.clockMs = kCadenceClock;
  static constexpr int kKeys[] = {vk::Left, vk::Right, vk::Down, vk::X, vk::Z, vk::A, vk::D, vk::S, vk::J, vk::H};
  uint32_t mix = 7;
  for (int f = 0; f < 2400 && P(0).phase != kPhaseOver; ++f) {
    mix = mix * 1103515245u + 12345u;
    for (int k = 0; k < 10; ++k) Key(kKeys[k], ((mix >> (k + 6)) & 7) == 0);
    tu::platform::AdvanceTick(StepLength(game.clockMs, game.cadence));
    GameScene();
  }
  std::string error;
  ASSERT_TRUE(SaveRecording(&error)) << error;
  for (int vk : kKeys) Key(vk, false);
  uint64_t played = ReplayDigest();
  Replay r;
  ASSERT_TRUE(ParseReplay(RecordedText().data(), RecordedText().size(), &r, &error)) << error;
  ASSERT_GT(r.events.size(), 100u);
  for (uint32_t display : {0u, 7u}) {
    SCOPED_TRACE(display);
    ASSERT_TRUE(StartPlayback(r, &error)) << error;
    SetPacedSteps(display != 0);
    for (int f = 0; f < 20000 && !PlaybackFinished(); ++f) {
      tu::platform::AdvanceTick(display ? display : StepLength(game.clockMs, game.cadence));
      tuSystem::UpdateFrameTime();  // as the frame loop does: the frame's time is no step's
      GameScene();
    }
    EXPECT_TRUE(PlaybackError().empty()) << PlaybackError();
    EXPECT_EQ(ReplayDigest(), played);
    StopPlayback();
  }
}

}  // namespace
