// The REPLAYS page over a folder of replays in a temporary data home: the list newest first,
// the cursor of either player, kept or not, playing one back and coming back to the page, a
// replay that cannot be played, and the game started to play a replay at once.
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "assets_support.h"
#include "file_support.h"
#include "game/pages.h"
#include "game/playback.h"
#include "game_support.h"
#include "platform/instance.h"

using namespace file_support;
using namespace game_support;

namespace {

// A replay this game can play: `steps` steps of mode `mode` and no key, saved at 12:00:SS.
std::string SaveOne(int second, int mode, int winner, const std::string& version = GameVersion()) {
  ReplayHeader h;
  h.gameVersion = version;
  h.ruleHash = RuleTableHash();
  h.seed = 0x1234567890ABCDEFull;
  h.clockMs = 16;
  h.mode = mode;
  h.computer[1] = mode == kModeComputer ? 2 : -1;
  h.date = "2026-12-09 12:00:0" + std::to_string(second);
  ReplayWriter w;
  w.Begin(h);
  ReplayEnd end;
  end.present = true;
  end.steps = 30;
  end.winner = winner;
  w.End(end);
  std::string path, error;
  EXPECT_TRUE(SaveReplay(ReplayFolder(), h, w.Text(), &path, &error)) << error;
  return path;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

class ReplaysPageTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    const char* old = getenv("XDG_DATA_HOME");
    saved_ = old ? old : "-";
    setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    tuSystem::sys.sceneNo = 2;
  }
  void TearDown() override {
    StopPlayback();
    if (saved_ == "-") unsetenv("XDG_DATA_HOME"); else setenv("XDG_DATA_HOME", saved_.c_str(), 1);
    GameTest::TearDown();
  }
  void OpenFromTitle() {
    game.menuLevel = 0;
    game.gameMode = kModeReplays;
    TapIn(vk::X);
    ASSERT_EQ(game.menuLevel, kMenuReplays);
  }
  Folder dir_;
  std::string saved_;
};

TEST_F(ReplaysPageTest, TheListIsNewestFirstEitherPlayerChoosesAndPlayer1KeepsOne) {
  OpenFromTitle();  // an empty folder: the keys do nothing but go back
  EXPECT_TRUE(ListedReplays().empty());
  TapIn(vk::X);
  TapIn(vk::Right);
  EXPECT_EQ(game.menuLevel, kMenuReplays);
  EXPECT_FALSE(PlaybackActive());
  TapIn(vk::H);  // player 2's anticlockwise
  EXPECT_EQ(game.menuLevel, 0);

  SaveOne(1, kModeOnePlayer, 0);
  std::string versus = SaveOne(3, kModeVersus, 2);
  SaveOne(2, kModeComputer, 1);
  OpenFromTitle();
  ASSERT_EQ(ListedReplays().size(), 3u);
  const int modes[] = {kModeVersus, kModeComputer, kModeOnePlayer};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ListedReplays()[i].header.mode, modes[i]) << i;
  EXPECT_GE(CountDraws(kFont, 0, 860), 1);  // the page's heading
  TapIn(vk::Up);  // wraps to the oldest
  EXPECT_EQ(ReplaysCursor(), 2);
  TapIn(vk::S);  // player 2 moves it too
  EXPECT_EQ(ReplaysCursor(), 0);

  TapIn(vk::Right);
  EXPECT_TRUE(ListedReplays()[0].kept);
  EXPECT_FALSE(Exists(versus));
  EXPECT_TRUE(Exists(ListedReplays()[0].path));
  TapIn(vk::A);  // player 2's left does not
  EXPECT_TRUE(ListedReplays()[0].kept);
  TapIn(vk::Left);
  EXPECT_FALSE(ListedReplays()[0].kept);
  EXPECT_EQ(ListedReplays()[0].path, versus);

  // The folder is read as the page opens, not every frame.
  SaveOne(4, kModeOnePlayer, 0);
  SceneFrame();
  EXPECT_EQ(ListedReplays().size(), 3u);
  TapIn(vk::Z);
  EXPECT_EQ(game.menuLevel, 0);
}

TEST_F(ReplaysPageTest, ConfirmPlaysTheChosenOneAndItsEndComesBackToTheFolderReadAgain) {
  std::string computer = SaveOne(1, kModeComputer, 1);
  SaveOne(2, kModeOnePlayer, 0);
  OpenFromTitle();
  TapIn(vk::Down);
  ASSERT_EQ(ListedReplays()[ReplaysCursor()].path, computer);
  Key(vk::J, true);  // player 2's confirm
  SceneFrame();
  Key(vk::J, false);
  ASSERT_TRUE(PlaybackActive());
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(game.gameMode, kModeComputer);
  EXPECT_EQ(game.computerLevel[1], 2);

  SaveOne(3, kModeVersus, 0);
  LeavePlayback();
  EXPECT_FALSE(PlaybackActive());
  EXPECT_EQ(game.menuLevel, kMenuReplays);
  SceneFrame();
  ASSERT_EQ(ListedReplays().size(), 3u);
  EXPECT_EQ(ListedReplays()[ReplaysCursor()].path, computer);  // the cursor stays on it
}

TEST_F(ReplaysPageTest, AReplayThatCannotBePlayedIsToldAndThePageStays) {
  std::string other = SaveOne(1, kModeVersus, 1, "0.0.1");
  std::string broken = SaveOne(2, kModeVersus, 1);
  OpenFromTitle();
  ASSERT_EQ(ListedReplays().size(), 2u);
  Write(broken, "no longer a replay");  // spoilt after the list was read
  const struct {
    int downs;
    std::string says;
  } cases[] = {{0, broken + ": not a replay file"}, {1, "made by quorbistane 0.0.1"}};
  for (const auto& c : cases) {
    for (int i = 0; i < c.downs; ++i) TapIn(vk::Down);
    testing::internal::CaptureStderr();
    TapIn(vk::X);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(PlaybackActive());
    EXPECT_EQ(game.menuLevel, kMenuReplays);
    EXPECT_NE(ReplaysStatus().find(c.says), std::string::npos) << ReplaysStatus();
    EXPECT_EQ(err, "quorbistane: " + ReplaysStatus() + "\n");
  }
  TapIn(vk::Z);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(ReplaysStatus(), "");
}

// The program started to play a replay: it plays at once, and its end goes to the page.
TEST_F(ReplaysPageTest, TheGameStartedWithAReplayPlaysItAtOnce) {
  std::string error;
  EXPECT_FALSE(PlayReplayAtStart(dir_.File("none.replay"), &error));
  EXPECT_NE(error.find("none.replay"), std::string::npos) << error;
  std::string path = SaveOne(1, kModeVersus, 1);
  ASSERT_TRUE(PlayReplayAtStart(path, &error)) << error;

  testing_support::ResetHeadless();
  tuSystem::UseHeadless();
  tu::platform::SetExeFolderOverride(asset_files::Dir() + "/");
  char arg0[] = "quorbistane";
  char* argv[] = {arg0};
  ASSERT_EQ(tuSystem::Start(1, argv, GameProgram()), 1);
  EXPECT_TRUE(PlaybackActive());
  EXPECT_EQ(game.gameMode, kModeVersus);
  for (int i = 0; i < 40 && !PlaybackFinished(); ++i) tuSystem::RunFrame(16);
  EXPECT_TRUE(PlaybackFinished());
  EXPECT_EQ(PlaybackError(), "");
  tuSystem::PressKey(vk::X, 1);
  tuSystem::RunFrame(16);
  tuSystem::PressKey(vk::X, 0);
  tuSystem::RunFrame(16);
  EXPECT_FALSE(PlaybackActive());
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  EXPECT_EQ(game.menuLevel, kMenuReplays);
  tu::platform::ReleaseInstance();
  tu::platform::SetExeFolderOverride("");
}

}  // namespace
