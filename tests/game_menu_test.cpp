// The title menu: the three levels, the hidden fifth position, the game against the computer,
// quitting, and the round reset.
#include <vector>

#include "game_support.h"

using namespace game_support;

namespace {

class Menu : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    tuSystem::sys.sceneNo = 2;
  }
  void Frame() { SceneFrame(); }
  void Tap(int vk) { TapIn(vk); }
  bool HighlightDrawn() {
    for (int i = 0; i < gameout::recorder.drawCount; ++i) {
      const gameout::DrawCall& d = gameout::recorder.draws[i];
      if (d.id == kFont && d.left == 0 && d.top == 552) return true;
    }
    return false;
  }
};

TEST_F(Menu, ModeChoiceWrapsAndPlaysTheButtonSound) {
  Frame();
  EXPECT_EQ(FindDraw(0, 0, kTitle, 0, 0), 0);
  EXPECT_GE(FindDraw(142, 236, kFont, 0, 552), 0);  // highlight of item 0
  Key(vk::Up, true);
  Frame();
  EXPECT_EQ(game.gameMode, kModeQuit);  // the quit item is the last of eight
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kButton), 1);
  Frame();  // held: no repeat
  EXPECT_EQ(game.gameMode, kModeQuit);
  Key(vk::Up, false);
  Frame();
  Frame();
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, 0);
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, 1);
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, kModeComputer);
  EXPECT_GE(FindDraw(160, 312, kFont, 0, 552), 0);  // its highlight, then the item itself
  EXPECT_GE(FindDraw(160, 312, kFont, 0, 340), 0);
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, kModeOptions);
  EXPECT_GE(FindDraw(102, 356, kFont, 0, 836), 0);
  EXPECT_EQ(game.menuLevel, 0);
}

// With online play installed, ONLINE sits beside the quit item, between the small row and quit
// in the cursor's order; the other items keep their places and numbers. Its confirm opens it.
TEST_F(Menu, TheOnlineItemComesBetweenTheSmallRowAndQuitAndOpensOnlinePlay) {
  static int opened;
  opened = 0;
  OnlineHooks hooks;
  hooks.open = [] { ++opened; };
  InstallOnline(hooks);
  game.gameMode = kModeHowTo;
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, kModeOnline);
  EXPECT_GE(FindDraw(470, 393, kFont, 0, 552), 0);  // its highlight
  EXPECT_LT(FindDraw(175, 380, kFont, 0, 552), 0);  // none under quit
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, kModeQuit);
  Tap(vk::Up);
  EXPECT_EQ(game.gameMode, kModeOnline);
  Tap(vk::X);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
  InstallOnline(OnlineHooks{});
  game.gameMode = kModeHowTo;
  Tap(vk::Down);
  EXPECT_EQ(game.gameMode, kModeQuit) << "without online play there is no ONLINE item";
}

TEST_F(Menu, QuitItemEndsTheProgram) {
  Tap(vk::Up);
  ASSERT_EQ(game.gameMode, kModeQuit);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
  Key(vk::X, true);
  Frame();
  EXPECT_EQ(tuSystem::sys.shutdownDone, 1);
}

TEST_F(Menu, HiddenLevelHasNoHighlightAndStartsFiveColoursAt300Ms) {
  Tap(vk::X);
  ASSERT_EQ(game.menuLevel, 1);
  Tap(vk::Up);
  EXPECT_EQ(game.levelCursor[0], 4);
  Frame();
  EXPECT_FALSE(HighlightDrawn());
  EXPECT_GE(FindDraw(123, 234, kFont, 0, 416), 0);  // player 1's label
  Key(vk::X, true);
  Frame();
  EXPECT_EQ(game.difficulty[0], 3);
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(tuSystem::sys.prevSceneNo, 0);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(game.levelCursor[0], 0);
  EXPECT_EQ(P(0).phase, kPhaseInit);
  PhaseInit(0);
  EXPECT_EQ(P(0).colorCount, 5);
  EXPECT_EQ(P(0).fallInterval, 300);
}

TEST_F(Menu, OnePlayerDifficultiesAndTheBackItem) {
  Tap(vk::X);
  Tap(vk::Down);
  Tap(vk::Down);
  Tap(vk::Down);
  ASSERT_EQ(game.levelCursor[0], 3);
  Tap(vk::X);  // back
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  Tap(vk::X);
  Tap(vk::Up);
  Tap(vk::Up);  // Hard
  ASSERT_EQ(game.levelCursor[0], 1);
  Tap(vk::Down);
  Key(vk::X, true);
  Frame();
  EXPECT_EQ(game.difficulty[0], 2);
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
}

TEST_F(Menu, VersusBackItemsReturnToTheListBefore) {
  Tap(vk::Down);
  Tap(vk::X);
  ASSERT_EQ(game.menuLevel, 1);
  Tap(vk::Down);  // Normal
  Tap(vk::X);
  EXPECT_EQ(game.menuLevel, 2);
  EXPECT_EQ(game.difficulty[0], 1);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  Frame();
  EXPECT_GE(FindDraw(123, 234, kFont, 78, 416), 0);  // player 2's label
  // Player 1's keys do nothing here.
  Tap(vk::Down);
  Tap(vk::X);
  EXPECT_EQ(game.levelCursor[1], 0);
  EXPECT_EQ(game.menuLevel, 2);
  Tap(vk::W);  // to the hidden position
  Tap(vk::W);  // back item
  ASSERT_EQ(game.levelCursor[1], 3);
  Tap(vk::J);
  EXPECT_EQ(game.menuLevel, 1);
  EXPECT_EQ(game.levelCursor[0], 1);  // where it was
  EXPECT_EQ(game.levelCursor[1], 0);
  // Player 2's keys do nothing in player 1's list.
  Tap(vk::S);
  Tap(vk::J);
  EXPECT_EQ(game.menuLevel, 1);
  EXPECT_EQ(game.levelCursor[0], 1);
  Tap(vk::Down);
  Tap(vk::Down);
  Tap(vk::X);  // back item of player 1's list
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(game.gameMode, 1);
}

TEST_F(Menu, VersusStartsWhenPlayerTwoConfirms) {
  game.computerLevel[1] = 2;  // left by a game against the computer
  Tap(vk::Down);
  Tap(vk::X);
  Tap(vk::X);  // player 1: Easy
  Tap(vk::S);
  Tap(vk::S);  // player 2: Hard
  Key(vk::J, true);
  Frame();
  EXPECT_EQ(game.difficulty[0], 0);
  EXPECT_EQ(game.difficulty[1], 2);
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(game.levelCursor[1], 0);
  EXPECT_EQ(game.computerLevel[1], -1);  // player 2 plays himself
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kButtonK), 1);
}

TEST_F(Menu, ComputerStrengthIsChosenWithPlayerOnesKeysAndBackLeadsToHisList) {
  Tap(vk::Down);
  Tap(vk::Down);
  Tap(vk::X);
  ASSERT_EQ(game.menuLevel, 1);
  Tap(vk::Down);  // player 1: Normal
  Tap(vk::X);
  ASSERT_EQ(game.menuLevel, 2);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  Frame();
  EXPECT_GE(FindDraw(123, 234, kFont, 190, 597), 0);  // the computer's label, not player 2's
  EXPECT_LT(FindDraw(123, 234, kFont, 78, 416), 0);
  // Player 2's keys do nothing here; player 1's move the list.
  Tap(vk::S);
  Tap(vk::J);
  EXPECT_EQ(game.menuLevel, 2);
  EXPECT_EQ(game.levelCursor[1], 0);
  Tap(vk::Up);
  Tap(vk::Up);  // the back item
  ASSERT_EQ(game.levelCursor[1], 3);
  Tap(vk::X);
  EXPECT_EQ(game.menuLevel, 1);
  EXPECT_EQ(game.levelCursor[0], 1);  // where it was
  Tap(vk::X);
  Tap(vk::Up);  // the hidden level for the computer
  Key(vk::X, true);
  Frame();
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(game.gameMode, kModeComputer);
  EXPECT_EQ(game.computerLevel[0], -1);
  EXPECT_EQ(game.computerLevel[1], 3);
  // Its field is played at player 1's difficulty: the list sets the computer's skill.
  EXPECT_EQ(game.difficulty[0], 1);
  EXPECT_EQ(game.difficulty[1], 1);
}

TEST_F(Menu, PlayerTwoKeysDoNothingInTheModeChoice) {
  Tap(vk::S);
  Tap(vk::W);
  Tap(vk::J);
  EXPECT_EQ(game.gameMode, 0);
  EXPECT_EQ(game.menuLevel, 0);
}

TEST_F(Menu, EveryFrameLeavesEmptyFieldsAndPiecesAtTheEntry) {
  for (PlayerState& p : game.player) {
    p.cells[2][4] = 3;
    p.score = 500;
    p.pieceSlot = 1;
    p.pieceLine = 9;
    p.garbageIn = 4;
    p.chain = 2;
    p.satellite[0][0] = 1;
  }
  for (int i = 0; i < 30; ++i) Frame();
  for (int pl = 0; pl < 2; ++pl) {
    EXPECT_EQ(CountCode(0, pl), kLiveCells);
    EXPECT_EQ(P(pl).score, 0);
    EXPECT_EQ(P(pl).pieceSlot, 3);
    EXPECT_EQ(P(pl).pieceLine, 0);
    EXPECT_EQ(P(pl).garbageIn, 0);
    EXPECT_EQ(P(pl).chain, 0);
    EXPECT_EQ(P(pl).fallTime, Now());
    EXPECT_EQ(PieceOrientation(P(pl)), 1);
  }
  for (int id = kMusic0; id < kMusic0 + 5; ++id) EXPECT_EQ(SoundCount(gameout::SoundStop, id), 1);
}

TEST_F(Menu, AFrameDrawsThirtyNineColoursInAFixedOrder) {
  P(0).colorCount = 4;
  P(1).colorCount = 5;
  // The colour counts of the frame's draws, in order: the round reset's (player 1's piece, the
  // coming pieces, both pieces), then the frame's own pieces and coming pieces.
  int counts[39];
  for (int i = 0; i < 39; ++i) counts[i] = (i >= 18 && i < 21) || (i >= 24 && i < 27) ? 5 : 4;
  GameRandom g = game.random;
  std::vector<int> r;
  for (int c : counts) r.push_back(DrawColor(g, c));
  srand(9);
  int libraryNext = rand();
  srand(9);
  Frame();
  EXPECT_EQ(game.random, g);
  EXPECT_EQ(rand(), libraryNext);
  // The last draws: the pieces of the frame (player 1 with 4, player 2 with 5 colours), then
  // both players' coming pieces interleaved, all with player 1's count.
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(P(0).pieceColor[k], r[21 + k]);
    EXPECT_EQ(P(1).pieceColor[k], r[24 + k]);
  }
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(P(0).next[i], r[27 + 2 * i]);
    EXPECT_EQ(P(1).next[i], r[28 + 2 * i]);
  }
}

TEST_F(Menu, ResetRoundKeepsTheWallsAndClearsTheCounters) {
  PhaseInit(0);
  P(0).cells[4][10] = 2;
  P(0).tileFrame[4][10] = 2;
  P(0).gameOver = 1;
  P(0).garbageFalling = 1;
  P(0).garbageOut = 3;
  P(0).erasedCount = 8;
  EXPECT_EQ(ResetRound(), 0);
  EXPECT_EQ(P(0).cells[4][10], 0);
  EXPECT_EQ(P(0).tileFrame[4][10], 0);
  EXPECT_EQ(P(0).cells[5][3], kWall);
  EXPECT_EQ(P(0).cells[0][0], kWall);
  EXPECT_EQ(P(0).gameOver + P(0).garbageFalling + P(0).garbageOut + P(0).erasedCount, 0);
}

}  // namespace
