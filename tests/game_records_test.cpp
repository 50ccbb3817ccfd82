// The records file: the best five scores of a level, the versus tallies, broken and refused files,
// a folder that cannot be written; the game-over news of a record and the two menu pages.
#include <string>

#include <gtest/gtest.h>

#include "file_support.h"
#include "game/pages.h"
#include "game/records.h"
#include "game_support.h"

using namespace file_support;
using namespace game_support;

namespace {

class RecordsTest : public GameTest {
 protected:
  void TearDown() override {
    OpenRecords("");
    GameTest::TearDown();
  }
  Folder dir;
  std::string path = dir.File("q/records.ini");
};

TEST_F(RecordsTest, TheBestFiveOfALevelAreKeptInOrderAndSurviveARestart) {
  OpenRecords(path);
  const int scores[] = {300, 900, 0, 500, 100, 700, 900, 200};
  const int ranks[] = {1, 1, 0, 2, 4, 2, 2, 0};  // a tie goes below the score it ties with
  for (int i = 0; i < 8; ++i) EXPECT_EQ(RecordScore(1, scores[i], i, "2026-01-02"), ranks[i]) << i;
  OpenRecords(path);  // as the next run of the game finds them
  ASSERT_EQ(records.count[1], 5);
  EXPECT_EQ(records.count[0], 0);
  const int best[] = {900, 900, 700, 500, 300};
  for (int r = 0; r < 5; ++r) EXPECT_EQ(records.scores[1][r].score, best[r]);
  EXPECT_EQ(records.scores[1][1].chain, 6);
  EXPECT_STREQ(records.scores[1][1].date, "2026-01-02");
}

// Whatever the file holds, the game goes on, tells what it could not use, and loses nothing
// that was in it.
TEST_F(RecordsTest, ABrokenOrRefusedFileIsToldAndNothingInItIsLost) {
  struct Case {
    const char* name;
    std::string text;
    int kept;       // Easy records read from it
    bool refused;   // left as it was, never written
    const char* told;
  };
  const Case cases[] = {
      {"cut short", "easy_1 = 500 3 2025-05-05\neasy_2 = 40", 1, false, ":2: not a record"},
      {"rubbish", "# mine\n\xff\xfe garbage\nfuture = 1\neasy_1 = 500 3 2025-05-05\n", 1, false, ":2: not a setting"},
      {"binary", std::string("easy_1 = 500 3 2025-05-05\n\0\x01", 28), 0, true, "not a text file"},
      {"huge", "easy_1 = 500 3 2025-05-05\n" + std::string(20000, '#'), 0, true, "larger than"},
      {"empty", "", 0, false, ""},
      {"a gap", "easy_4 = 500 3 2025-05-05\n", 1, false, ""},
      {"out of range", "easy_1 = 99999999999999 1 2026-01-01\neasy_2 = 500 20 2026-01-01\neasy_3 = 400 3 2026-1-01\n"
                       "easy_4 = 300 3 2026-01-01\nversus = 1 2 3\n", 1, false, ":5: not a tally"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write(dir.File("r.ini"), c.text);
    testing::internal::CaptureStderr();
    OpenRecords(dir.File("r.ini"));
    EXPECT_EQ(records.count[0], c.kept);
    EXPECT_EQ(RecordScore(0, 800, 2, "2026-02-03"), 1);  // the game goes on
    EXPECT_EQ(RecordScore(0, 700, 1, "2026-02-03"), 2);  // with what it had
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(c.told), std::string::npos) << told;
    std::string after = Read(dir.File("r.ini"));
    if (c.refused) {
      EXPECT_EQ(after, c.text);
    } else {
      EXPECT_NE(after.find("easy_1 = 800 2 2026-02-03"), std::string::npos) << after;
      for (const char* line : {"\xff\xfe garbage\nfuture = 1\n", "versus = 1 2 3\n"}) {
        if (c.text.find(line) != std::string::npos) {
          EXPECT_NE(after.find(line), std::string::npos) << line;
        }
      }
      OpenRecords(dir.File("r.ini"));
      EXPECT_EQ(records.count[0], c.kept + 2) << after;  // each record once, in its rank
    }
  }
}

TEST_F(RecordsTest, AFolderThatCannotBeMadeIsToldAndTheRecordStaysForTheSession) {
  Write(dir.File("file"), "x");
  OpenRecords(dir.File("file/records.ini"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(RecordScore(2, 50, 0, "2026-02-03"), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be written"), std::string::npos);
  EXPECT_EQ(records.count[2], 1);
  EXPECT_EQ(Read(dir.File("file")), "x");
}

TEST_F(RecordsTest, VersusOutcomesCountPerPairingForTheSessionAndForAllTime) {
  OpenRecords(path);
  struct Game {
    int mode, computer, loser;
  };
  const Game games[] = {{kModeVersus, -1, 1}, {kModeVersus, -1, 0}, {kModeVersus, -1, 1}, {kModeComputer, 2, 0}};
  for (const Game& g : games) {
    game.gameMode = g.mode;
    game.computerLevel[1] = g.computer;
    P(0).gameOver = g.loser == 0;
    P(1).gameOver = g.loser == 1;
    RecordGameOver();
  }
  EXPECT_EQ(records.session[kPairPlayers].wins[0], 2);
  EXPECT_EQ(records.session[kPairPlayers].wins[1], 1);
  EXPECT_EQ(records.session[1 + 2].wins[1], 1);
  EXPECT_EQ(records.lastRank, 0);
  OpenRecords(path);  // a new session: all time stays, the session starts again
  EXPECT_EQ(records.allTime[kPairPlayers].wins[0], 2);
  EXPECT_EQ(records.allTime[1 + 2].wins[1], 1);
  EXPECT_EQ(records.session[kPairPlayers].wins[0], 0);
}

TEST_F(RecordsTest, TheRecordsFolderIsNamedFromTheDataHomeAndNotMade) {
  const char* old = getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  EXPECT_EQ(DefaultRecordsPath(), dir.File("data/quorbistane/records.ini"));
  EXPECT_EQ(dir.Names(), "");
  if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1); else unsetenv("XDG_DATA_HOME");
}

// The game-over screen tells a score that took a place among the five best; without records
// (the simulator's default) it shows as it always did.
TEST_F(RecordsTest, TheGameOverScreenTellsANewRecord) {
  for (bool open : {true, false}) {
    SCOPED_TRACE(open);
    OpenRecords(open ? path : "");
    game.gameMode = kModeOnePlayer;
    game.resultStep = 0;
    P(0).score = 1234;
    P(0).gameOver = 1;
    ResultStep(Now());
    gameout::recorder.Start();
    DrawResult();
    EXPECT_GE(FindDraw(149, 234, kFont, 0, 295), 0);
    EXPECT_EQ(FindDraw(170, 190, kFont, 0, 754) >= 0, open);
  }
}

TEST_F(RecordsTest, TheRecordsAndHowToPlayItemsOpenTheirPagesAndEitherPlayerGoesBack) {
  tuSystem::sys.sceneNo = 2;
  struct Case {
    int downs, level, back;
    int left, top;  // a picture only that page draws
  };
  const Case cases[] = {{kModeRecords, kMenuRecords, vk::Z, 0, 666}, {kModeHowTo, kMenuHowTo, vk::H, 0, 710}};
  for (const Case& c : cases) {
    game.gameMode = 0;
    for (int i = 0; i < c.downs; ++i) TapIn(vk::Down);
    TapIn(vk::X);
    ASSERT_EQ(game.menuLevel, c.level);
    EXPECT_GE(CountDraws(kFont, c.left, c.top), 1);
    EXPECT_EQ(CountDraws(kTitle, 0, 0), 0);
    EXPECT_EQ(CountDraws(kBlock, 32 * kGarbage, 0) > 0, c.level == kMenuHowTo);
    TapIn(vk::Down);  // the menu keys do nothing on a page
    EXPECT_EQ(game.menuLevel, c.level);
    TapIn(c.back);
    EXPECT_EQ(game.menuLevel, 0);
    SceneFrame();
    EXPECT_EQ(CountDraws(kTitle, 0, 0), 1);
  }
}

}  // namespace
