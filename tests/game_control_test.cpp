// Piece control: turns, moves, slides, falls, the lock delay and setting the piece.
#include "game_support.h"

using namespace game_support;

namespace {

class Control : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    EmptyField();
    EmptyField(1);
    for (int pl = 0; pl < 2; ++pl) {
      PlayerState& p = P(pl);
      p.phase = kPhaseControl;
      p.pieceColor[0] = 1;
      p.pieceColor[1] = 2;
      p.pieceColor[2] = 3;
      p.stepFlag = 1;
      p.fallTime = Now();
      p.fallInterval = 100000;  // no timed fall unless a test wants one
    }
  }
  void Place(int slot, int line, int orientation, int pl = 0) {
    P(pl).pieceSlot = slot;
    P(pl).pieceLine = line;
    SetOrientation(P(pl), orientation);
  }
  // One frame of control `ms` milliseconds after the last.
  void Frame(uint32_t ms = 16, int pl = 0) {
    AdvanceClock(ms);
    PhaseControl(pl, Now());
  }
  // Presses a key for one frame and releases it for two (a key pressed again right after the
  // release poll reads held, not pressed).
  void Tap(int vk, int pl = 0) {
    Key(vk, true);
    Frame(16, pl);
    Key(vk, false);
    Frame(16, pl);
    Frame(16, pl);
  }
  std::pair<int, int> Sat(int k, int pl = 0) { return {P(pl).satellite[k][0], P(pl).satellite[k][1]}; }
};

TEST_F(Control, ClockwiseAndAnticlockwiseCycleThroughTheFourShapes) {
  Place(3, 6, 1);
  int expectCw[] = {2, 3, 4, 1};
  for (int o : expectCw) {
    Tap(vk::X);
    EXPECT_EQ(PieceOrientation(P()), o);
  }
  int expectCcw[] = {4, 3, 2, 1};
  for (int o : expectCcw) {
    Tap(vk::Z);
    EXPECT_EQ(PieceOrientation(P()), o);
  }
  // Held keys do not repeat a turn.
  Key(vk::X, true);
  for (int i = 0; i < 5; ++i) Frame();
  EXPECT_EQ(PieceOrientation(P()), 2);
}

TEST_F(Control, BothTurnKeysInOneFrameTurnClockwiseOnly) {
  Place(3, 6, 1);
  Key(vk::X, true);
  Key(vk::Z, true);
  Frame();
  EXPECT_EQ(PieceOrientation(P()), 2);
}

TEST_F(Control, TurnsOutOfTheEntryShapeAtLineZeroAreKeptAboveTheField) {
  Place(3, 0, 1);
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(P()), 2);  // upper-left satellite on line -1
  EXPECT_EQ(P().pieceLine, 0);
  Place(3, 0, 1);
  Tap(vk::Z);
  EXPECT_EQ(PieceOrientation(P()), 4);
  // From O2 on line 0 a further clockwise turn would put both satellites above: refused.
  Place(3, 0, 2);
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(P()), 2);
  // Below line 0 a blocked turn out of the entry shape goes back.
  Place(3, 4, 1);
  Put({{2, 3, 1}});  // the upper-left neighbour of (3, 4)
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(P()), 1);
  Put({{3, 3, 1}});  // the upper-right neighbour
  Tap(vk::Z);
  EXPECT_EQ(PieceOrientation(P()), 1);
}

TEST_F(Control, OtherBlockedTurnsGoBack) {
  Place(3, 6, 2);                  // satellites (2,5) and (2,7)
  Put({{3, 5, 1}});                // O3 needs the upper-right (3, 5)
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(P()), 2);
  Place(3, 6, 4);                  // satellites (3,7) and (3,5)
  Tap(vk::Z);                      // O4 -> O3 needs (3,5) as well
  EXPECT_EQ(PieceOrientation(P()), 4);
}

TEST_F(Control, BlockedTurnFromPivotAtTheBottomKicksUpAndStopsRefreshingTheFallTimer) {
  PlayerState& p = P();
  p.fallInterval = 600;
  p.lockDelay = 960;
  Place(3, 8, 3);     // satellites (3,7) and (2,7)
  Put({{3, 9, 1}});   // O4's lower-right satellite cell
  uint32_t refresh = Now();
  p.fallTime = refresh;
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(p), 4);
  EXPECT_EQ(p.pieceLine, 6);
  EXPECT_EQ(p.stepFlag, 0);
  // The timed fall comes after 600 ms; from then on the piece falls in every frame, since
  // falls no longer refresh the timer, until it is blocked.
  Frame(600 - 32);
  EXPECT_EQ(p.pieceLine, 6);
  Frame(1);
  // O4 at (3,6): satellites (3,7), (3,5); below them (3,9) is taken: blocked at once.
  EXPECT_EQ(p.pieceLine, 6);
  EXPECT_EQ(p.fallTime, refresh);
  EXPECT_EQ(p.phase, kPhaseControl);
  // Freed below, it falls a step in every frame, not once per interval.
  p.cells[3][9] = 0;
  Frame(16);
  EXPECT_EQ(p.pieceLine, 8);
  Frame(16);
  EXPECT_EQ(p.pieceLine, 10);
  // Blocked again: set once the lock delay has passed since the last refresh.
  p.cells[3][13] = 1;
  SetClockTo(refresh + 960);
  PhaseControl(0, Now());
  EXPECT_EQ(p.phase, kPhaseControl);
  SetClockTo(refresh + 961);
  PhaseControl(0, Now());
  EXPECT_EQ(p.phase, kPhaseSetFlash);
}

TEST_F(Control, KickNearTheTopLiftsNoBlockMoreThanHalfABlockAboveTheField) {
  PlayerState& p = P();
  // From line 2 the kick reaches line 0 with one satellite on line -1: allowed.
  Place(3, 2, 3);
  Put({{3, 3, 1}});  // O4's lower-right cell
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(p), 4);
  EXPECT_EQ(p.pieceLine, 0);
  // From line 1 it would put a satellite on line -2: the turn is refused, nothing moves.
  EmptyField();
  Place(3, 1, 3);
  p.stepFlag = 1;
  Put({{4, 2, 1}});
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(p), 3);
  EXPECT_EQ(p.pieceLine, 1);
  EXPECT_EQ(p.stepFlag, 1);
  // From line 0, in either direction.
  EmptyField();
  Place(3, 0, 3);
  Put({{3, 1, 1}, {2, 1, 1}});
  Tap(vk::X);
  EXPECT_EQ(PieceOrientation(p), 3);
  Tap(vk::Z);
  EXPECT_EQ(PieceOrientation(p), 3);
  EXPECT_EQ(p.pieceLine, 0);
}

TEST_F(Control, MovesRepeatEvery150MsWhileHeld) {
  PlayerState& p = P();
  Place(3, 4, 1);
  Key(vk::Left, true);
  Frame();
  EXPECT_EQ(p.pieceSlot, 2);
  uint32_t first = Now();
  EXPECT_EQ(p.repeatTime, first);
  Frame(150);  // held, 150 ms since the attempt: not yet
  EXPECT_EQ(p.pieceSlot, 2);
  Frame(1);
  EXPECT_EQ(p.pieceSlot, 2);  // (1, 5) would be the wall side: attempt fails
  EXPECT_EQ(p.repeatTime, first + 151);
  Key(vk::Left, false);
  Frame();
  Key(vk::Right, true);
  Frame();
  EXPECT_EQ(p.pieceSlot, 3);
  Frame(151);
  EXPECT_EQ(p.pieceSlot, 4);
  Frame(151);
  EXPECT_EQ(p.pieceSlot, 4);  // the right satellite would enter slot 5 of an odd line
}

TEST_F(Control, HoldingLeftAgainstAWallSlidesWhenTheFallTimerRunsOut) {
  PlayerState& p = P();
  p.fallInterval = 600;
  Place(2, 4, 1);  // satellites (1,5) and (2,5); one slot left is the wall
  uint32_t t0 = Now();
  p.fallTime = t0;
  Key(vk::Left, true);
  SetClockTo(t0 + 10);
  PhaseControl(0, Now());  // pressed: a move attempt that fails
  EXPECT_EQ(p.pieceSlot, 2);
  EXPECT_EQ(p.repeatTime, t0 + 10);
  SetClockTo(t0 + 100);
  PhaseControl(0, Now());  // between attempts, fall timer not out
  EXPECT_EQ(p.pieceLine, 4);
  SetClockTo(t0 + 500);
  PhaseControl(0, Now());  // an attempt
  EXPECT_EQ(p.repeatTime, t0 + 500);
  SetClockTo(t0 + 610);
  PhaseControl(0, Now());  // no attempt due, timer out: slide
  EXPECT_EQ(p.pieceLine, 5);
  EXPECT_EQ(p.pieceSlot, 1);
  EXPECT_EQ(Sat(0), std::make_pair(0, 1));
  EXPECT_EQ(Sat(1), std::make_pair(1, 1));
  EXPECT_EQ(PieceOrientation(p), 1);
  EXPECT_EQ(p.fallTime, t0 + 610);
  // On an odd line no second slide happens.
  SetClockTo(t0 + 1300);
  p.repeatTime = t0 + 1250;
  PhaseControl(0, Now());
  EXPECT_EQ(p.pieceSlot, 1);
  EXPECT_EQ(p.pieceLine, 7);  // the timed fall instead
}

TEST_F(Control, SlideRightUnderAnOverhangKeepsTheSlot) {
  PlayerState& p = P();
  p.fallInterval = 300;
  Place(3, 6, 1);          // blocks (3,6), (2,7), (3,7)
  Put({{4, 6, 1}});        // overhang one slot right of the pivot
  uint32_t t0 = Now();
  p.fallTime = t0;
  p.repeatTime = t0;
  Key(vk::Right, true);
  game.keys.right[0] = 3;  // already held
  p.repeatTime = t0 + 200;
  SetClockTo(t0 + 300);
  PhaseControl(0, Now());
  EXPECT_EQ(p.pieceLine, 6);  // fall timer not out yet
  SetClockTo(t0 + 301);
  PhaseControl(0, Now());
  EXPECT_EQ(p.pieceLine, 7);
  EXPECT_EQ(p.pieceSlot, 3);
  EXPECT_EQ(Sat(0), std::make_pair(0, 1));
  EXPECT_EQ(Sat(1), std::make_pair(1, 1));
  // Without the overhang the held key moves instead of sliding.
  Place(3, 6, 1);
  p.cells[4][6] = 0;
  p.fallTime = Now();
  AdvanceClock(151);
  PhaseControl(0, Now());
  EXPECT_EQ(p.pieceSlot, 4);
  EXPECT_EQ(p.pieceLine, 6);
}

// In every shape, each free cell a slide passes into must be free: one of them taken refuses the
// slide. The pivot's own cell below is a satellite in two shapes, a free field cell in the others.
TEST_F(Control, ASlideInEveryShapeIsRefusedWhenACellItEntersIsTaken) {
  PlayerState& p = P();
  struct Case {
    int orientation, key;
    Cell overhang;        // one slot aside, so a plain move is blocked
    Cell mustBeFree[2];   // below the blocks on the slide's side, the piece's own cells left out
  } cases[] = {
      {1, vk::Left, {1, 7, 1}, {{2, 8, 1}, {3, 8, 1}}},
      {2, vk::Left, {1, 5, 1}, {{2, 6, 1}, {2, 8, 1}}},
      {3, vk::Left, {1, 5, 1}, {{2, 7, 1}, {2, 6, 1}}},
      {4, vk::Left, {2, 5, 1}, {{2, 7, 1}, {3, 8, 1}}},
      {1, vk::Right, {4, 6, 1}, {{3, 8, 1}, {4, 8, 1}}},
      {2, vk::Right, {3, 5, 1}, {{3, 7, 1}, {3, 8, 1}}},
      {3, vk::Right, {4, 5, 1}, {{3, 7, 1}, {4, 6, 1}}},
      {4, vk::Right, {4, 7, 1}, {{4, 8, 1}, {4, 6, 1}}},
  };
  p.fallInterval = 300;
  for (const Case& c : cases) {
    bool left = c.key == vk::Left;
    // Index -1 takes no extra cell: the slide must then happen.
    for (int taken = -1; taken < 2; ++taken) {
      SCOPED_TRACE(testing::Message() << "shape " << c.orientation << (left ? " left" : " right")
                                      << " taken " << taken);
      EmptyField();
      Place(3, 6, c.orientation);
      Put({c.overhang});
      if (taken >= 0) Put({c.mustBeFree[taken]});
      Key(c.key, true);
      (left ? game.keys.left[0] : game.keys.right[0]) = 3;  // held, no repeat due
      p.repeatTime = Now();
      p.fallTime = Now() - 301;
      PhaseControl(0, Now());
      if (taken < 0) {
        EXPECT_EQ(p.pieceLine, 7);
        EXPECT_EQ(p.pieceSlot, left ? 2 : 3);
        EXPECT_EQ(PieceOrientation(p), c.orientation);
      } else {
        EXPECT_EQ(p.pieceLine & 1, 0) << "slid into a taken cell";
        EXPECT_EQ(p.pieceSlot, 3);
      }
      Key(c.key, false);
    }
  }
}

TEST_F(Control, TimedFallDropAndHeldDrop) {
  PlayerState& p = P();
  p.fallInterval = 900;
  Place(3, 0, 1);
  uint32_t t0 = Now();
  p.fallTime = t0;
  Frame(900);
  EXPECT_EQ(p.pieceLine, 0);
  Frame(1);
  EXPECT_EQ(p.pieceLine, 2);
  EXPECT_EQ(p.fallTime, Now());
  EXPECT_EQ(p.dropTime, Now());
  Key(vk::Down, true);
  Frame(5);  // pressed: a step at once
  EXPECT_EQ(p.pieceLine, 4);
  Frame(20);  // held: only after more than 20 ms
  EXPECT_EQ(p.pieceLine, 4);
  Frame(1);
  EXPECT_EQ(p.pieceLine, 6);
}

TEST_F(Control, LockDelayOnEasyAndOnHard) {
  // Easy: the timed fall comes after the lock delay, so a blocked piece is set at once.
  PlayerState& p = P();
  p.fallInterval = 1200;
  Place(3, 14, 1);  // satellites on line 15; (2,17) and (3,17) are walls
  uint32_t t0 = Now();
  p.fallTime = t0;
  Frame(1200);
  EXPECT_EQ(p.phase, kPhaseControl);
  Frame(1);
  EXPECT_EQ(p.phase, kPhaseSetFlash);
  EXPECT_EQ(p.cells[3][14], 1);
  EXPECT_EQ(p.cells[2][15], 2);
  EXPECT_EQ(p.cells[3][15], 3);
  for (auto [s, l] : {std::pair{3, 14}, {2, 15}, {3, 15}}) {
    EXPECT_EQ(p.tileFrame[s][l], 3);
    EXPECT_EQ(p.justSet[s][l], 1);
  }
  EXPECT_EQ(p.pieceColor[0] + p.pieceColor[1] + p.pieceColor[2], 0);
  EXPECT_EQ(p.setTime, Now());
  EXPECT_EQ(SoundCount(gameout::SoundPlay, kSet), 1);

  // Hard: blocked at the timed fall after 600 ms, set 960 ms after the last refresh.
  EmptyField();
  p.phase = kPhaseControl;
  p.pieceColor[0] = p.pieceColor[1] = p.pieceColor[2] = 4;
  p.fallInterval = 600;
  Place(3, 14, 1);
  t0 = Now();
  p.fallTime = t0;
  Frame(601);
  EXPECT_EQ(p.phase, kPhaseControl);
  Frame(359);  // 960 since the refresh
  EXPECT_EQ(p.phase, kPhaseControl);
  Frame(1);
  EXPECT_EQ(p.phase, kPhaseSetFlash);
}

TEST_F(Control, DropPressedOnABlockedPieceWaitsForTheLockDelayDropHeldSetsAtOnce) {
  PlayerState& p = P();
  Place(3, 14, 1);
  p.fallTime = Now();
  Key(vk::Down, true);
  Frame(100);  // pressed, blocked, 100 ms since the refresh
  EXPECT_EQ(p.phase, kPhaseControl);
  Frame(16);  // held now
  EXPECT_EQ(p.phase, kPhaseSetFlash);
}

TEST_F(Control, HeldDropCarriesIntoTheNextPiece) {
  PlayerState& p = P();
  p.fallInterval = 1200;
  for (int& n : p.next) n = 1;
  Place(3, 14, 1);
  Key(vk::Down, true);
  Frame();
  Frame();  // held: set
  ASSERT_EQ(p.phase, kPhaseSetFlash);
  // The set, gravity and match phases do not poll the key; the next piece enters with it held.
  p.phase = kPhaseSpawn;
  PhaseSpawn(0);
  ASSERT_EQ(p.phase, kPhaseControl);
  EXPECT_EQ(game.keys.drop[0], 3);
  Frame(21);
  EXPECT_EQ(p.pieceLine, 2);
  Frame(10);
  EXPECT_EQ(p.pieceLine, 2);
  Frame(11);
  EXPECT_EQ(p.pieceLine, 4);
  // It is set as soon as it is blocked on the set piece (satellites land on line 13).
  for (int i = 0; i < 10 && p.phase == kPhaseControl; ++i) Frame(21);
  EXPECT_EQ(p.phase, kPhaseSetFlash);
  EXPECT_EQ(p.cells[3][12], 1);
}

TEST_F(Control, APivotOnTheBottomLineRestsThere) {
  PlayerState& p = P();
  Place(3, 14, 3);  // pivot at the bottom of the shape, satellites on line 13
  Key(vk::Down, true);
  Frame();
  EXPECT_EQ(p.pieceLine, 16);
  Frame(21);  // held; below line 16 there is no cell: blocked
  EXPECT_EQ(p.phase, kPhaseSetFlash);
  EXPECT_EQ(p.cells[3][16], 1);
  EXPECT_EQ(p.cells[3][15], 2);
  EXPECT_EQ(p.cells[2][15], 3);
}

TEST_F(Control, PieceSetWithASatelliteAboveTheFieldWritesOnlyCellsInTheGrid) {
  PlayerState& p = P();
  Place(3, 0, 1);
  Tap(vk::X);  // O2 with the upper-left satellite on line -1
  ASSERT_EQ(PieceOrientation(p), 2);
  Put({{3, 2, 5}});  // blocks the fall
  PlayerState before = p;
  p.fallTime = Now() - 2000;
  Key(vk::Down, true);
  Frame();
  ASSERT_EQ(p.phase, kPhaseSetFlash);
  EXPECT_EQ(p.cells[3][0], 1);  // pivot
  EXPECT_EQ(p.cells[2][1], 3);  // lower-left satellite
  int changed = 0;
  for (int s = 0; s < kSlots; ++s)
    for (int l = 0; l < kLines; ++l) changed += p.cells[s][l] != before.cells[s][l];
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(P(1).cells[0][0], kWall);  // the other player's grid is untouched
}

TEST_F(Control, PlayerTwoSteersWithHisOwnKeys) {
  Place(3, 4, 1, 1);
  Place(3, 4, 1, 0);
  Key(vk::A, true);
  Key(vk::J, true);
  Frame(16, 1);
  Frame(16, 0);
  EXPECT_EQ(P(1).pieceSlot, 2);
  EXPECT_EQ(PieceOrientation(P(1)), 2);
  EXPECT_EQ(P(0).pieceSlot, 3);
  EXPECT_EQ(PieceOrientation(P(0)), 1);
  Key(vk::A, false);
  Key(vk::J, false);
  Key(vk::H, true);
  Key(vk::S, true);
  Frame(16, 1);
  EXPECT_EQ(PieceOrientation(P(1)), 1);
  EXPECT_EQ(P(1).pieceLine, 6);
}

}  // namespace
