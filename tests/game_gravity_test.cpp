// Gravity passes, the glide animation and the colouring of entered garbage.
#include <vector>

#include "game_support.h"

using namespace game_support;

namespace {

class Gravity : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    EmptyField();
    P().colorCount = 4;
  }
  // Runs settle and glide until the player leaves them; returns the number of passes that moved
  // blocks, and records the glide steps of each pass.
  int Settle(int pl = 0) {
    int passes = 0;
    glideSteps.clear();
    for (int guard = 0; guard < 10000; ++guard) {
      PlayerState& p = P(pl);
      if (p.phase == kPhaseSettle) {
        PhaseSettle(pl);
        if (p.phase == kPhaseGlide) {
          ++passes;
          glideSteps.push_back(0);
        }
      } else if (p.phase == kPhaseGlide) {
        AdvanceClock(4);
        int before = p.animCounter;
        PhaseGlide(pl);
        if (p.animCounter != before) ++glideSteps.back();
      } else {
        break;
      }
    }
    return passes;
  }
  std::vector<int> glideSteps;
};

TEST_F(Gravity, ASingleBlockDropsTwoLinesPerPassToTheBottom) {
  Put({{3, 0, 2}});
  P().phase = kPhaseSettle;
  EXPECT_EQ(Settle(), 8);
  EXPECT_EQ(P().cells[3][16], 2);
  EXPECT_EQ(CountCode(2), 1);
  EXPECT_EQ(P().phase, kPhaseMatch);
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kSliSet), 1);  // only when it comes to rest
  for (int steps : glideSteps) EXPECT_EQ(steps, 8);
}

TEST_F(Gravity, ABlockOverAnOccupiedCellSlidesLowerLeftUnlessTheBlockBelowJustSlidRight) {
  // Lines 7 to 16 full: nothing there moves.
  FillAlternating(1, 2);
  ForLiveCells(0, 6, [&](int s, int l) { P().cells[s][l] = 0; });
  // Control: a resting block straight below (3,4).
  Put({{3, 6, 3}, {3, 4, 4}});
  P().phase = kPhaseSettle;
  PhaseSettle(0);
  EXPECT_EQ(P().cells[2][5], 4);
  EXPECT_EQ(P().offsetX[2][5], -16);
  EXPECT_EQ(P().offsetY[2][5], 16);
  EXPECT_EQ(P().moveDir[2][5], 2);

  // Now the block below arrives by sliding lower-right in the same pass: (2,5) rests on (2,6)
  // with (3,6) free, so it slides to (3,6); the block above follows it to the right.
  FillAlternating(1, 2);
  ForLiveCells(0, 6, [&](int s, int l) { P().cells[s][l] = 0; });
  for (auto& col : P().moveDir)
    for (int& d : col) d = 0;
  Put({{2, 6, 3}, {2, 5, 5}, {3, 4, 4}});
  P().phase = kPhaseSettle;
  PhaseSettle(0);
  EXPECT_EQ(P().cells[3][6], 5);
  EXPECT_EQ(P().moveDir[3][6], 3);
  EXPECT_EQ(P().cells[3][5], 4);
  EXPECT_EQ(P().offsetX[3][5], 16);
  EXPECT_EQ(P().moveDir[3][5], 3);
  EXPECT_EQ(P().phase, kPhaseGlide);
  EXPECT_EQ(P().animCounter, 32);
}

TEST_F(Gravity, WallsErasingCellsAndTheBottomLineDoNotMove) {
  Put({{2, 16, 1}, {3, 10, kErasing}});
  P().phase = kPhaseSettle;
  PhaseSettle(0);
  EXPECT_EQ(P().cells[2][16], 1);
  EXPECT_EQ(P().cells[3][10], kErasing);
  EXPECT_EQ(P().phase, kPhaseMatch);
  EXPECT_EQ(P().stepFlag, 0);
  // The line above the bottom still moves.
  Put({{4, 15, 3}});
  P().phase = kPhaseSettle;
  PhaseSettle(0);
  EXPECT_EQ(P().cells[4][16], 3);
}

TEST_F(Gravity, GlideStepsAreFourPixelsOrEightForGarbage) {
  Put({{3, 14, 1}, {3, 16, 2}});  // (3,14) slides lower-left
  P().phase = kPhaseSettle;
  PhaseSettle(0);
  ASSERT_EQ(P().phase, kPhaseGlide);
  P().animTime = Now();
  AdvanceClock(3);  // not more than 3 ms: no step
  PhaseGlide(0);
  EXPECT_EQ(P().animCounter, 32);
  AdvanceClock(1);
  PhaseGlide(0);
  EXPECT_EQ(P().animCounter, 28);
  EXPECT_EQ(P().offsetX[2][15], -14);
  EXPECT_EQ(P().offsetY[2][15], 14);
  EXPECT_EQ(P().animTime, Now());
  for (int i = 0; i < 6; ++i) {
    AdvanceClock(4);
    PhaseGlide(0);
  }
  EXPECT_EQ(P().animCounter, 4);
  EXPECT_EQ(P().offsetX[2][15], -2);
  EXPECT_EQ(P().phase, kPhaseGlide);
  AdvanceClock(4);
  PhaseGlide(0);
  EXPECT_EQ(P().phase, kPhaseSettle);
  EXPECT_EQ(P().offsetX[2][15], 0);
  EXPECT_EQ(P().moveDir[2][15], 0);

  // Garbage: 32, 24, 16, 8, 0.
  EmptyField();
  Put({{3, 0, kGarbage}});
  P().garbageFalling = 1;
  P().phase = kPhaseSettle;
  PhaseSettle(0);
  int offsets[4];
  for (int& o : offsets) {
    AdvanceClock(4);
    PhaseGlide(0);
    o = P().offsetY[3][2];
  }
  EXPECT_EQ(offsets[0], 24);
  EXPECT_EQ(offsets[1], 16);
  EXPECT_EQ(offsets[2], 8);
  EXPECT_EQ(offsets[3], 0);
  EXPECT_EQ(P().phase, kPhaseSettle);
}

TEST_F(Gravity, FiveGarbageBlocksFallToTheBottomAndAreThenColoured) {
  PlayerState& p = P();
  p.garbageIn = 5;
  p.phase = kPhaseSpawn;
  PhaseSpawn(0);
  ASSERT_EQ(p.phase, kPhaseSettle);
  EXPECT_EQ(CountCode(kGarbage), 5);
  EXPECT_EQ(p.garbageFalling, 1);
  Settle();
  for (int steps : glideSteps) EXPECT_EQ(steps, 4);
  ASSERT_EQ(p.phase, kPhaseColorGarbage);
  EXPECT_EQ(CountCode(kGarbage), 5);
  ForLiveCells(0, 12, [&](int s, int l) { EXPECT_EQ(p.cells[s][l], 0) << s << "," << l; });
  PhaseColorGarbage(0);
  EXPECT_EQ(CountCode(kGarbage), 0);
  int colored = 0;
  ForLiveCells(0, 16, [&](int s, int l) {
    int c = p.cells[s][l];
    if (c == 0) return;
    ++colored;
    EXPECT_GE(c, 1);
    EXPECT_LE(c, 4);
    for (auto& row : game.groupMarks)
      for (int& m : row) m = 0;
    EXPECT_LT(CountGroup(0, s, l, c, 1), 4);
  });
  EXPECT_EQ(colored, 5);
  EXPECT_EQ(p.phase, kPhaseSpawn);
  EXPECT_EQ(p.garbageFalling, 0);
  EXPECT_EQ(p.gameOver, 0);
  // The next frame brings a piece.
  for (int& n : p.next) n = 1;
  PhaseSpawn(0);
  EXPECT_EQ(p.phase, kPhaseControl);
}

TEST_F(Gravity, GarbageColoursComeFromTheGameGeneratorInScanOrder) {
  PlayerState& p = P();
  Put({{1, 16, kGarbage}, {4, 16, kGarbage}, {2, 15, kGarbage}});
  GameRandom g = game.random;
  int r1 = DrawColor(g, 4), r2 = DrawColor(g, 4), r3 = DrawColor(g, 4);
  srand(7);
  int libraryNext = rand();
  srand(7);
  PhaseColorGarbage(0);
  // Lines from the bottom up, slots left to right: (1,16), (4,16), then (2,15). None of them
  // can complete a group of four, so each takes one draw.
  EXPECT_EQ(p.cells[1][16], r1);
  EXPECT_EQ(p.cells[4][16], r2);
  EXPECT_EQ(p.cells[2][15], r3);
  EXPECT_EQ(game.random, g);
  EXPECT_EQ(rand(), libraryNext);  // the library's sequence is not drawn from
}

TEST_F(Gravity, GarbageThatCompletesAGroupWithEveryDrawKeepsTheLastColour) {
  PlayerState& p = P();
  p.colorCount = 1;  // every draw is colour 1
  Put({{2, 16, 1}, {2, 15, 1}, {3, 16, 1}, {3, 14, kGarbage}});
  const GameRandom start = game.random;
  GameRandom g = start, one = start;
  for (int i = 0; i < 19; ++i) DrawColor(g, 1);
  DrawColor(one, 1);
  PhaseColorGarbage(0);
  EXPECT_EQ(p.cells[3][14], 1);  // never left empty
  EXPECT_EQ(game.random, g);  // exactly 19 draws
  // Three of a colour make no group: the first draw stays.
  p.cells[3][16] = 0;
  p.cells[3][14] = kGarbage;
  game.random = start;
  PhaseColorGarbage(0);
  EXPECT_EQ(p.cells[3][14], 1);
  EXPECT_EQ(game.random, one);
}

TEST_F(Gravity, GarbageUpToTheEntryCellsTopsOut) {
  PlayerState& p = P();
  Put({{2, 1, kGarbage}});
  PhaseColorGarbage(0);
  EXPECT_EQ(p.gameOver, 1);
  EXPECT_EQ(p.phase, kPhaseSpawn);
}

}  // namespace
