// The REPLAYS page over replays in a temporary data home, and the game started with a replay.
#include <string>

#include <gtest/gtest.h>

#include "assets_support.h"
#include "file_support.h"
#include "game/pages.h"
#include "game/playback.h"
#include "game_support.h"
#include "platform/instance.h"

using namespace game_support;

namespace {

// A replay of 30 steps without a key, dated 12:00:0S.
std::string SaveOne(int second, int mode, const std::string& version = GameVersion()) {
  ReplayHeader h;
  h.gameVersion = version;
  h.ruleHash = RuleTableHash();
  h.clockMs = 16;
  h.mode = mode;
  h.computer[1] = mode == kModeComputer ? 2 : -1;
  h.date = "2026-12-09 12:00:0" + std::to_string(second);
  ReplayWriter w;
  w.Begin(h);
  w.End({true, 30, {}, 1});
  std::string path, error;
  EXPECT_TRUE(SaveReplay(ReplayFolder(), h, w.Text(), &path, &error)) << error;
  return path;
}

class ReplaysPageTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    old_ = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", dir_.File("d").c_str(), 1);
    RecordReplaysTo(ReplayFolder(), "");
  }
  void TearDown() override {
    StopPlayback();
    RecordReplaysTo("", "");
    setenv("XDG_DATA_HOME", old_.c_str(), 1);
  }
  void Open() {
    game.menuLevel = 0;
    game.gameMode = kModeReplays;
    TapIn(vk::X);
    ASSERT_EQ(game.menuLevel, kMenuReplays);
  }
  const std::string& At(int i) { return ListedReplays()[i].path; }
  file_support::Folder dir_;
  std::string old_;
};

TEST_F(ReplaysPageTest, NewestFirstEitherPlayerChoosesPlayer1KeepsAndTheFolderIsReadOnOpening) {
  std::string versus = SaveOne(3, kModeVersus), one = SaveOne(1, kModeOnePlayer);
  SaveOne(2, kModeComputer);
  Open();
  ASSERT_EQ(ListedReplays().size(), 3u);
  EXPECT_EQ(At(0), versus);
  EXPECT_EQ(At(2), one);
  TapIn(vk::Up);  // wraps to the oldest
  EXPECT_EQ(ReplaysCursor(), 2);
  TapIn(vk::S);   // player 2's down
  EXPECT_EQ(ReplaysCursor(), 0);
  TapIn(vk::Right);
  EXPECT_TRUE(ListedReplays()[0].kept);
  EXPECT_EQ(At(0), dir_.File("d/quorbistane/replays/2026-12-09-120003-versus.kept.replay"));
  TapIn(vk::A);  // player 2's left keeps nothing
  TapIn(vk::Left);
  EXPECT_EQ(At(0), versus);
  SaveOne(4, kModeOnePlayer);
  SceneFrame();
  EXPECT_EQ(ListedReplays().size(), 3u);
  TapIn(vk::H);  // player 2's anticlockwise
  EXPECT_EQ(game.menuLevel, 0);
}

TEST_F(ReplaysPageTest, ConfirmPlaysTheChosenOneAndItsEndComesBackToTheFolderReadAgain) {
  std::string computer = SaveOne(1, kModeComputer);
  SaveOne(2, kModeOnePlayer);
  Open();
  TapIn(vk::Down);
  SetPacedSteps(1);  // a late frame of three steps: the first starts the playback, the others wait
  SceneFrame();
  Key(vk::J, true);  // player 2's confirm
  SceneFrame(MenuScene, 50);
  ASSERT_TRUE(PlaybackActive());
  EXPECT_EQ(game.clock, 0u);  // as the replay starts
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(game.computerLevel[1], 2);
  SaveOne(3, kModeVersus);
  LeavePlayback();
  SceneFrame();
  ASSERT_EQ(ListedReplays().size(), 3u);
  EXPECT_EQ(At(ReplaysCursor()), computer);
}

TEST_F(ReplaysPageTest, AReplayThatCannotBePlayedIsToldAndThePageStays) {
  Open();
  TapIn(vk::X);  // an empty folder: nothing to play
  EXPECT_TRUE(ListedReplays().empty());
  SaveOne(1, kModeVersus, "0.0.1");
  std::string broken = SaveOne(2, kModeVersus);
  Open();
  file_support::Write(broken, "no longer a replay");
  for (const std::string& says : {broken + ": not a replay file", std::string("made by quorbistane 0.0.1")}) {
    testing::internal::CaptureStderr();
    TapIn(vk::X);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "quorbistane: " + ReplaysStatus() + "\n");
    EXPECT_NE(ReplaysStatus().find(says), std::string::npos) << ReplaysStatus();
    EXPECT_FALSE(PlaybackActive());
    EXPECT_EQ(game.menuLevel, kMenuReplays);
    TapIn(vk::Down);
  }
}

TEST_F(ReplaysPageTest, TheGameStartedWithAReplayPlaysItAtOnceAndEndsOnThePage) {
  std::string error;
  EXPECT_FALSE(PlayReplayAtStart(dir_.File("none.replay"), &error));
  ASSERT_TRUE(PlayReplayAtStart(SaveOne(1, kModeVersus), &error)) << error;
  testing_support::ResetHeadless();
  tuSystem::UseHeadless();
  tu::platform::SetExeFolderOverride(asset_files::Dir() + "/");
  char arg0[] = "quorbistane", *argv[] = {arg0};
  ASSERT_EQ(tuSystem::Start(1, argv, GameProgram()), 1);
  EXPECT_TRUE(PlaybackActive());
  for (int i = 0; i < 40; ++i) tuSystem::RunFrame(16);
  EXPECT_TRUE(PlaybackFinished());
  EXPECT_EQ(PlaybackError(), "");
  tuSystem::PressKey(vk::X, 1);
  tuSystem::RunFrame(16);
  EXPECT_EQ(game.menuLevel, kMenuReplays);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  tu::platform::ReleaseInstance();
  tu::platform::SetExeFolderOverride("");
}

}  // namespace
