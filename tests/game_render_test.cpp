// Drawing of the game: numbers, the chain display, the piece, the field, the shimmer, labels.
#include "game_support.h"

using namespace game_support;

namespace {

class Render : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    EmptyField();
    EmptyField(1);
    for (PlayerState& p : game.player) {
      p.chainTime = Now() - 100000;
      p.shimmerTime = Now();
    }
  }
  // Recorded draws between `from` and the end whose source is the font's digit band.
  int DigitDraws(int from = 0) {
    int n = 0;
    for (int i = from; i < gameout::recorder.drawCount; ++i)
      n += gameout::recorder.draws[i].id == kFont && gameout::recorder.draws[i].top == 139;
    return n;
  }
};

TEST_F(Render, TheChainDisplayShowsTwoDigitsForThreeSeconds) {
  PlayerState& p = P();
  p.chainShown = 12;
  uint32_t t = Now();
  p.chainTime = t;
  DrawPlayer(0, t + 3000);
  EXPECT_GE(FindDraw(239, 181, kFont, 161, 139), 0);  // tens: 1
  EXPECT_GE(FindDraw(256, 181, kFont, 178, 139), 0);  // units: 2
  EXPECT_GE(FindDraw(266, 207, kFont, 258, 169), 0);  // label
  gameout::recorder.Start();
  DrawPlayer(0, t + 3001);
  EXPECT_EQ(FindDraw(256, 181, kFont, 178, 139), -1);
  EXPECT_EQ(FindDraw(266, 207, kFont, 258, 169), -1);
  // Ten: 1 and 0; nine: no tens digit. Player 2's places.
  P(1).chainShown = 10;
  P(1).chainTime = t;
  gameout::recorder.Start();
  DrawPlayer(1, t + 10);
  EXPECT_GE(FindDraw(242, 303, kFont, 161, 139), 0);
  EXPECT_GE(FindDraw(259, 303, kFont, 140, 139), 0);
  P(1).chainShown = 9;
  gameout::recorder.Start();
  DrawPlayer(1, t + 10);
  EXPECT_EQ(FindDraw(242, 303, kFont, 161, 139), -1);
  EXPECT_GE(FindDraw(259, 303, kFont, 311, 139), 0);
}

TEST_F(Render, ThePieceItsMarkerAndTheComingPieces) {
  PlayerState& p = P();
  p.pieceSlot = 3;
  p.pieceLine = 4;
  SetOrientation(p, 1);
  p.pieceColor[0] = 2;
  p.pieceColor[1] = 4;
  p.pieceColor[2] = 1;
  p.shimmerFrame = 2;
  int next[6] = {1, 2, 3, 4, 5, 1};
  for (int k = 0; k < 6; ++k) p.next[k] = next[k];
  p.shimmerTime = Now();
  DrawPlayer(0, Now());
  int pivot = FindDraw(143, 221, kBlock, 64, 64);
  int marker = FindDraw(143, 221, kBlock, 256, 64);
  EXPECT_GE(pivot, 0);
  EXPECT_EQ(marker, pivot + 1);
  EXPECT_GE(FindDraw(127, 237, kBlock, 128, 64), 0);  // satellite (2,5)
  EXPECT_GE(FindDraw(159, 237, kBlock, 32, 64), 0);   // satellite (3,5)
  const int at[6][2] = {{151, 66}, {135, 82}, {167, 82}, {54, 63}, {38, 79}, {70, 79}};
  for (int k = 0; k < 6; ++k) EXPECT_GE(FindDraw(at[k][0], at[k][1], kBlock, 32 * next[k], 0), 0) << k;
  // Once set, the colours are 0: column 0 tiles and no marker.
  for (int& c : p.pieceColor) c = 0;
  gameout::recorder.Start();
  DrawPlayer(0, Now());
  EXPECT_GE(FindDraw(143, 221, kBlock, 0, 64), 0);
  EXPECT_EQ(CountDraws(kBlock, 256, 64), 0);
}

TEST_F(Render, OrderFromTheFieldFrameToTheComingPieces) {
  PlayerState& p = P();
  p.chainShown = 2;
  p.chainTime = Now();
  p.cells[1][16] = 1;
  DrawPlayer(0, Now());
  int chain = FindDraw(266, 207, kFont, 258, 169);
  int frame = FindDraw(0, 0, kField, 0, 0);
  int piece = FindDraw(CellX(0, 3, 0), CellY(0), kBlock, 0, 0);
  int score = FindDraw(214, 16, kFont, 244, 56);
  int block = FindDraw(CellX(0, 1, 16), CellY(16), kBlock, 32, 0);
  int coming = FindDraw(151, 66, kBlock, 0, 0);
  EXPECT_LT(chain, frame);
  EXPECT_LT(frame, piece);
  EXPECT_LT(piece, score);
  EXPECT_LT(score, block);
  EXPECT_LT(block, coming);
  EXPECT_EQ(coming, gameout::recorder.drawCount - 6);
}

TEST_F(Render, SettledBlocksShimmerInStepEvenWhilePaused) {
  game.gameMode = 0;
  PlayerState& p = P();
  p.cells[2][10] = 1;
  p.cells[3][12] = 2;
  p.tileFrame[3][12] = 3;  // just set
  p.cells[4][14] = kErasing;
  p.tileFrame[4][14] = 1;
  p.phase = P(1).phase = kPhasePaused;
  uint32_t t = Now();
  p.shimmerTime = t;
  p.shimmerFrame = 0;
  SceneAt(GameScene, t + 330);
  EXPECT_EQ(p.shimmerFrame, 0);
  SceneAt(GameScene, t + 331);
  EXPECT_EQ(p.shimmerFrame, 1);
  EXPECT_EQ(p.tileFrame[2][10], 1);
  EXPECT_EQ(p.tileFrame[3][12], 3);
  EXPECT_EQ(p.tileFrame[4][14], 1);
  EXPECT_EQ(p.phase, kPhasePaused);
  SceneAt(GameScene, t + 662);
  SceneAt(GameScene, t + 993);
  EXPECT_EQ(p.shimmerFrame, 0);
  EXPECT_EQ(p.tileFrame[2][10], 0);
}

TEST_F(Render, LabelsAndPausePictures) {
  game.gameMode = 0;
  P(0).phase = kPhasePaused;
  P(1).phase = kPhasePaused;
  DrawLabels();
  EXPECT_GE(FindDraw(4, 135, kFont, 0, 416), 0);
  EXPECT_EQ(FindDraw(544, 135, kFont, 78, 416), -1);
  EXPECT_GE(FindDraw(77, 234, kFont, 0, 594), 0);
  EXPECT_EQ(FindDraw(371, 234, kFont, 0, 594), -1);
  game.gameMode = 1;
  P(0).phase = kPhaseControl;
  gameout::recorder.Start();
  DrawLabels();
  EXPECT_GE(FindDraw(544, 135, kFont, 78, 416), 0);
  EXPECT_EQ(FindDraw(77, 234, kFont, 0, 594), -1);
  EXPECT_GE(FindDraw(371, 234, kFont, 0, 594), 0);
}

TEST_F(Render, AnnouncedGarbageMarksRowsOfFiveAsOneAndFiveRowsAsOne) {
  // Seven announced bring five: the rest of six to ten is dropped at the spawn.
  const int cases[][4] = {{0, 0, 0, 0}, {1, 0, 0, 1}, {4, 0, 0, 4}, {5, 0, 1, 0},
                          {7, 0, 1, 0}, {12, 0, 2, 0}, {30, 1, 0, 0}};
  for (const auto& c : cases) {
    GarbageMarks m = MarksFor(c[0]);
    EXPECT_TRUE(m.fiveRows == c[1] && m.rows == c[2] && m.singles == c[3]) << c[0];
  }
}

TEST_F(Render, GarbageMarksAndNextLabelsGoOverTheFieldsThatTakeThem) {
  auto marks = [&](int top) { return CountDraws(kBlock, 224, top); };
  // Versus: five rows and a row over player 2's field, from its left edge; none for player 1.
  game.gameMode = kModeVersus;
  P(1).garbageIn = 33;
  DrawLabels();
  int big = FindDraw(368, 121, kBlock, 224, 64);
  EXPECT_GE(big, 0);
  EXPECT_EQ(FindDraw(385, 122, kBlock, 224, 32), big + 1);
  EXPECT_EQ(marks(0) + marks(32) + marks(64), 2);
  const int tabs[4][4] = {{137, 39, 262, 459}, {40, 36, 262, 482}, {409, 39, 262, 459}, {506, 36, 262, 482}};
  for (const auto& t : tabs) EXPECT_GE(FindDraw(t[0], t[1], kFont, t[2], t[3]), 0) << t[0];
  // Against the computer, over player 1's field; more than the strip holds is cut at its end.
  game.gameMode = kModeComputer;
  P(0).garbageIn = 1000000;
  gameout::recorder.Start();
  DrawLabels();
  EXPECT_GE(FindDraw(79, 121, kBlock, 224, 64), 0);
  EXPECT_EQ(marks(64), 9 + 1);
  // One player: player 2's counter only collects what player 1 sends; nothing of his is drawn.
  game.gameMode = kModeOnePlayer;
  P(0).garbageIn = 0;
  gameout::recorder.Start();
  DrawLabels();
  EXPECT_EQ(marks(0) + marks(32) + marks(64), 0);
  EXPECT_EQ(FindDraw(409, 39, kFont, 262, 459), -1);
}

TEST_F(Render, ThePauseMenuGoesUnderEachPausePictureWithTheCursorsBar) {
  game.gameMode = kModeVersus;
  P(0).phase = P(1).phase = kPhasePaused;
  game.levelCursor[1] = kPauseToTitle;
  DrawLabels();
  for (int x : {77, 371}) {
    int pause = FindDraw(x, 234, kFont, 0, 594), plate = FindDraw(x, 274, kFont, 0, 632);
    int bar = FindDraw(x + 5, 300, kFont, 0, 552), item = FindDraw(x + 5, 300, kFont, 0, 459);
    EXPECT_TRUE(pause < plate && plate < bar && bar < item) << x;
    EXPECT_GE(FindDraw(x + 24, 278, kFont, 0, 482), 0) << x;
  }
}

TEST_F(Render, TheFrameDrawsTheBackgroundOfTheModeFirst) {
  game.gameMode = 0;
  game.difficulty[0] = 1;
  P(0).phase = kPhaseOver;
  P(1).phase = kPhaseInit;
  GameScene();
  EXPECT_EQ(FindDraw(0, 0, kBackNormal, 0, 0), 0);
  EXPECT_EQ(DigitDraws(), 5);  // player 1's score only
  gameout::recorder.Start();
  game.gameMode = 1;
  P(1).phase = kPhaseOver;
  GameScene();
  EXPECT_EQ(FindDraw(0, 0, kBackBlack, 0, 0), 0);
  EXPECT_EQ(DigitDraws(), 10);
}

}  // namespace
