// Matching: groups, scoring, chains, garbage earned and the erase animation.
#include "game_support.h"

using namespace game_support;

namespace {

class Match : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    EmptyField();
    EmptyField(1);
    P().phase = kPhaseMatch;
  }
  // A vertical zigzag of four in one slot: (s,l), (s,l+1), (s,l+2), (s,l+3) with l even
  // touch along their edges.
  void Zigzag(int slot, int line, int code, int count = 4) {
    for (int i = 0; i < count; ++i) P().cells[slot][line + i] = code;
  }
};

TEST_F(Match, AGroupOfFourScoresFortyAndEarnsOneGarbageBlock) {
  PlayerState& p = P();
  p.maxChain = 3;  // an earlier piece's chain does not raise this one's score
  Zigzag(2, 13, 3);  // (2,13) (2,14) (2,15) (2,16)
  uint32_t shownBefore = p.chainTime;
  PhaseMatch(0);
  EXPECT_EQ(p.score, 40);
  EXPECT_EQ(p.garbageOut, 1);
  EXPECT_EQ(p.chain, 1);
  EXPECT_EQ(p.maxChain, 3);
  EXPECT_EQ(p.erasedCount, 4);
  EXPECT_EQ(CountCode(kErasing), 4);
  EXPECT_EQ(p.tileFrame[2][14], 0);
  EXPECT_EQ(p.phase, kPhaseErase);
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kErase), 1);
  EXPECT_EQ(p.chainTime, shownBefore);  // a single erasure shows no chain
}

TEST_F(Match, TwoGroupsInOneStepScoreTogetherAndCountGarbageOnAllErasedBlocks) {
  PlayerState& p = P();
  Zigzag(1, 10, 1);      // 4 blocks
  Zigzag(4, 8, 2, 5);    // 5 blocks: (4,8) .. (4,12)
  PhaseMatch(0);
  EXPECT_EQ(p.score, 90);
  EXPECT_EQ(p.erasedCount, 9);
  EXPECT_EQ(p.garbageOut, 2);  // step 1, plus one for 6 or more
  // Ten or more erased in a later step: k + 2.
  p.phase = kPhaseMatch;
  p.garbageOut = 0;
  p.score = 0;
  EmptyField();
  Zigzag(1, 4, 3, 10);
  PhaseMatch(0);
  EXPECT_EQ(p.chain, 2);
  EXPECT_EQ(p.score, 200);
  EXPECT_EQ(p.garbageOut, 4);
}

TEST_F(Match, ErasingSixOrTenBlocksInOneStepSendsOneOrTwoBlocksMore) {
  PlayerState& p = P();
  struct Case {
    int erased, garbage;
  } cases[] = {{5, 1}, {6, 2}, {9, 2}, {10, 3}};
  for (const Case& c : cases) {
    EmptyField();
    p.phase = kPhaseMatch;
    p.chain = 0;
    p.garbageOut = 0;
    Zigzag(2, 4, 1, c.erased);
    PhaseMatch(0);
    EXPECT_EQ(p.erasedCount, c.erased);
    EXPECT_EQ(p.garbageOut, c.garbage) << c.erased << " erased";
  }
}

TEST_F(Match, AChainOfThreeScores40Then80Then120AndSendsSixBlocksAtTheNextSpawn) {
  PlayerState& p = P();
  p.chainShown = 0;
  int scores[3];
  for (int step = 0; step < 3; ++step) {
    EmptyField();
    Zigzag(2, 2 + 2 * step, 4);
    AdvanceClock(500);
    p.phase = kPhaseMatch;
    PhaseMatch(0);
    scores[step] = p.score;
    if (step == 0) {
      EXPECT_EQ(p.chainShown, 0);
    }
    if (step == 1) {
      EXPECT_EQ(p.chainShown, 2);
      EXPECT_EQ(p.chainTime, Now());
    }
  }
  EXPECT_EQ(scores[0], 40);
  EXPECT_EQ(scores[1], 120);
  EXPECT_EQ(scores[2], 240);
  EXPECT_EQ(p.garbageOut, 6);
  EXPECT_EQ(p.chainShown, 3);
  EXPECT_EQ(p.maxChain, 3);
  // Nothing more: the chain is over, and the next spawn hands the garbage over.
  EmptyField();
  p.phase = kPhaseMatch;
  PhaseMatch(0);
  EXPECT_EQ(p.phase, kPhaseSpawn);
  for (int& n : p.next) n = 1;
  PhaseSpawn(0);
  EXPECT_EQ(P(1).garbageIn, 6);
  EXPECT_EQ(p.garbageOut, 0);
  EXPECT_EQ(p.chain, 0);
  EXPECT_EQ(p.maxChain, 3);
}

TEST_F(Match, TheScoreStopsAt99999) {
  PlayerState& p = P();
  p.score = 99990;
  Zigzag(3, 0, 5);
  PhaseMatch(0);
  EXPECT_EQ(p.score, 99999);
  P(1).score = 99999;
  EmptyField(1);
  for (int i = 0; i < 4; ++i) P(1).cells[3][4 + i] = 2;
  P(1).phase = kPhaseMatch;
  PhaseMatch(1);
  EXPECT_EQ(P(1).score, 99999);
  EXPECT_EQ(P(1).phase, kPhaseErase);
}

TEST_F(Match, CornersThreesAndNonColoursNeverMakeAGroup) {
  PlayerState& p = P();
  // Same slot two lines apart, and side by side on one line: corner contact only.
  Put({{3, 4, 1}, {3, 6, 1}, {3, 8, 1}, {3, 10, 1}});
  Put({{1, 14, 2}, {2, 14, 2}, {3, 14, 2}, {4, 14, 2}});
  // Three of a colour joined to garbage and to an erasing cell.
  Put({{1, 0, 3}, {1, 1, 3}, {1, 2, 3}, {1, 3, kGarbage}, {2, 1, kErasing}});
  PhaseMatch(0);
  EXPECT_EQ(p.phase, kPhaseSpawn);
  EXPECT_EQ(p.score, 0);
  EXPECT_EQ(p.chain, 0);
  EXPECT_EQ(CountCode(kErasing), 1);
  // The neighbour rule itself: each block has exactly its four edge neighbours.
  EmptyField();
  for (auto [s, l] : {std::pair{3, 6}, {3, 7}}) {
    EmptyField();
    p.cells[s][l] = 1;
    int touching = 0;
    for (Edge e : {UpperLeft, LowerLeft, UpperRight, LowerRight}) {
      int ns = s + EdgeSlot(l, e), nl = l + EdgeLine(e);
      p.cells[ns][nl] = 1;
      for (auto& row : game.groupMarks)
        for (int& m : row) m = 0;
      touching += CountGroup(0, s, l, 1, 1) == 2;
      p.cells[ns][nl] = 0;
    }
    EXPECT_EQ(touching, 4);
  }
}

TEST_F(Match, GroupNumbersBeyond64StillEraseTheirGroup) {
  PlayerState& p = P();
  // Even lines one colour, odd lines another: every block is a group of its own, and the group
  // of four at the end of the scan gets number 74.
  FillAlternating(1, 2);
  Zigzag(1, 13, 3);
  PhaseMatch(0);
  EXPECT_GT(game.groupNo, 70);
  EXPECT_EQ(game.groupMarks[1][13], 74);
  EXPECT_EQ(p.score, 40);
  EXPECT_EQ(p.erasedCount, 4);
  for (int l = 13; l <= 16; ++l) EXPECT_EQ(p.cells[1][l], kErasing);
  EXPECT_EQ(CountCode(kErasing), 4);
}

TEST_F(Match, ErasingBlocksStepThroughTwoRowsThenVanish) {
  PlayerState& p = P();
  p.shimmerFrame = 2;
  Zigzag(2, 13, 3);
  PhaseMatch(0);
  uint32_t t = Now();
  p.eraseTime = t - 1000;  // not reset at the start: the first step comes at once
  PhaseErase(0, t);
  EXPECT_EQ(p.tileFrame[2][13], 1);
  EXPECT_EQ(p.phase, kPhaseErase);
  PhaseErase(0, t + 170);
  EXPECT_EQ(p.tileFrame[2][13], 1);
  PhaseErase(0, t + 171);
  EXPECT_EQ(p.tileFrame[2][13], 2);
  EXPECT_EQ(p.phase, kPhaseErase);
  PhaseErase(0, t + 342);
  EXPECT_EQ(p.cells[2][13], 0);
  EXPECT_EQ(p.tileFrame[2][13], 2);  // the shimmer row
  EXPECT_EQ(CountCode(kErasing), 0);
  EXPECT_EQ(p.phase, kPhaseSettle);
}

TEST_F(Match, AChainThroughGravity) {
  PlayerState& p = P();
  // A group of four colour-1 blocks at the bottom of slot 1; above it three colour-2 blocks
  // hang in slot 1 and a fourth colour-2 block rests at (2,16): when the 1s go, the 2s fall
  // and join it.
  Zigzag(1, 13, 1);
  Put({{1, 10, 2}, {1, 11, 2}, {1, 12, 2}, {2, 16, 2}, {2, 15, 3}, {3, 16, 4}});
  uint32_t t = Now();
  for (int frame = 0; frame < 2000 && p.phase != kPhaseSpawn; ++frame) {
    t += 16;
    SetClockTo(t);
    RunPhase(0, t);
  }
  ASSERT_EQ(p.phase, kPhaseSpawn);
  EXPECT_EQ(p.maxChain, 2);
  EXPECT_EQ(p.score, 40 + 80);
  EXPECT_EQ(p.garbageOut, 1 + 2);
  EXPECT_EQ(p.chainShown, 2);
}

}  // namespace
