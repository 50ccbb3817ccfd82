// The end of a game: outcome pictures, the continue question, yes and no.
#include "game_support.h"

using namespace game_support;

namespace {

class Result : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    tuSystem::sys.sceneNo = 1;
  }
  void EndGame(int mode, int loser) {
    game.gameMode = mode;
    PhaseInit(0);
    PhaseInit(1);
    P(0).phase = P(1).phase = kPhaseOver;
    P(loser).gameOver = 1;
  }
  void Frame(uint32_t ms = 16) { SceneFrame(GameScene, ms); }
  void Tap(int vk) { TapIn(vk, GameScene); }
};

TEST_F(Result, TheGameOverPictureStaysFiveSeconds) {
  EndGame(0, 0);
  Frame();
  EXPECT_EQ(game.resultStep, 1);
  uint32_t start = Now();
  EXPECT_EQ(game.resultTime, start);
  Frame();
  EXPECT_GE(FindDraw(149, 234, kFont, 0, 295), 0);
  SetClockTo(start + 4984);
  Frame();
  EXPECT_EQ(game.resultStep, 1);
  Frame(1);  // 5001 ms
  EXPECT_EQ(game.resultStep, 2);
}

TEST_F(Result, XOrJCutsTheOutcomePictureShort) {
  for (int key : {vk::X, vk::J}) {
    ResetGame();
    EndGame(0, 0);
    Frame();
    Frame();
    Key(key, true);
    Frame();
    Key(key, false);
    EXPECT_EQ(game.resultStep, 2) << key;
    Frame();
    Frame();
  }
}

TEST_F(Result, VersusShowsWinOverTheSurvivorAndLoseOverTheLoser) {
  EndGame(1, 1);
  Frame();
  Frame();
  EXPECT_GE(FindDraw(93, 234, kFont, 220, 192), 0);   // player 1 wins
  EXPECT_GE(FindDraw(359, 234, kFont, 176, 241), 0);  // player 2 loses
  EXPECT_EQ(FindDraw(149, 234, kFont, 0, 295), -1);
  ResetGame();
  EndGame(1, 0);
  Frame();
  Frame();
  EXPECT_GE(FindDraw(71, 234, kFont, 176, 241), 0);
  EXPECT_GE(FindDraw(392, 234, kFont, 220, 192), 0);
}

TEST_F(Result, TheQuestionTogglesWithTheArrowsAndOnePlayerConfirmsWithXOnly) {
  EndGame(0, 0);
  Frame();
  Frame(6000);
  ASSERT_EQ(game.resultStep, 2);
  Frame();
  int hiYes = FindDraw(222, 284, kFont, 0, 552);
  EXPECT_GE(hiYes, 0);
  EXPECT_LT(hiYes, FindDraw(154, 234, kFont, 0, 505));
  Tap(vk::Right);
  EXPECT_EQ(game.levelCursor[0], 1);
  EXPECT_GE(FindDraw(337, 284, kFont, 0, 552), 0);
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kButton), 0);  // recorder restarted each frame
  Tap(vk::Left);
  EXPECT_EQ(game.levelCursor[0], 0);
  Tap(vk::D);  // player 2's keys count only in the versus mode
  Tap(vk::J);
  EXPECT_EQ(game.levelCursor[0], 0);
  EXPECT_EQ(game.resultStep, 2);
  Key(vk::X, true);
  Frame();
  EXPECT_EQ(game.resultStep, 3);
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kButtonK), 1);
}

TEST_F(Result, VersusQuestionTakesPlayerTwosKeysToo) {
  EndGame(1, 0);
  Frame();
  Frame(6000);
  ASSERT_EQ(game.resultStep, 2);
  Key(vk::A, true);
  Frame();
  EXPECT_EQ(game.levelCursor[0], 1);
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kButton), 1);
  Key(vk::A, false);
  Frame();
  Frame();
  Key(vk::J, true);
  Frame();
  EXPECT_EQ(game.resultStep, 3);
}

TEST_F(Result, YesRestartsWithScoresFieldsAndChainAtZero) {
  EndGame(0, 0);
  game.difficulty[0] = 2;
  PlayerState& p = P();
  p.score = 1234;
  p.chain = 3;
  p.garbageIn = 4;
  p.cells[2][9] = 1;
  Frame();
  Frame(6000);
  Key(vk::X, true);
  Frame();
  ASSERT_EQ(game.resultStep, 3);
  Key(vk::X, false);
  Frame();
  EXPECT_EQ(game.resultStep, 0);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(P(0).phase, kPhaseInit);
  EXPECT_EQ(P(1).phase, kPhaseInit);
  EXPECT_EQ(p.score, 0);
  EXPECT_EQ(p.garbageIn, 0);
  EXPECT_EQ(CountCode(0), kLiveCells);
  for (int id = kMusic0; id < kMusic0 + 5; ++id) EXPECT_EQ(SoundCount(gameout::SoundStop, id), 1);
  Frame();  // the new game starts with the same difficulty
  EXPECT_EQ(p.phase, kPhaseWipeIn);
  EXPECT_EQ(p.fallInterval, 600);
  EXPECT_EQ(p.chain, 0);
  // Its first erasure scores as the first step of a chain.
  EmptyField();
  for (int l = 13; l <= 16; ++l) p.cells[2][l] = 1;
  p.phase = kPhaseMatch;
  PhaseMatch(0);
  EXPECT_EQ(p.score, 40);
  EXPECT_EQ(p.garbageOut, 1);
}

TEST_F(Result, NoReturnsToTheMenu) {
  EndGame(1, 1);
  game.levelCursor[1] = 2;
  Frame();
  Frame(6000);
  Tap(vk::Left);
  ASSERT_EQ(game.levelCursor[0], 1);
  Key(vk::X, true);
  Frame();
  Frame();
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  EXPECT_EQ(tuSystem::sys.prevSceneNo, 0);
  EXPECT_EQ(game.levelCursor[0], 0);
  EXPECT_EQ(game.levelCursor[1], 0);
  EXPECT_EQ(P(0).phase, kPhaseInit);
  EXPECT_EQ(game.gameMode, 1);
}

TEST_F(Result, SpacePausesTheSequenceAndResumesIt) {
  EndGame(0, 0);
  Frame();
  ASSERT_EQ(game.resultStep, 1);
  Key(vk::Space, true);
  Frame();
  EXPECT_EQ(P(0).phase, kPhasePaused);
  Key(vk::Space, false);
  Frame(6000);
  EXPECT_EQ(game.resultStep, 1);  // not run while paused
  EXPECT_EQ(FindDraw(149, 234, kFont, 0, 295), -1);
  Frame();
  Key(vk::Space, true);
  Frame();
  EXPECT_EQ(P(0).phase, kPhaseOver);
  EXPECT_EQ(game.resultStep, 2);  // its time ran on
}

}  // namespace
