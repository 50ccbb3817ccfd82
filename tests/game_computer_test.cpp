// The computer player: it plays only through player 2's keys, the same seed and the same player-1
// input give the same game, and its pieces land where it chose.
#include <cstring>
#include <string>
#include <vector>

#include "game/computer.h"
#include "game/settings.h"
#include "game_support.h"

using namespace game_support;

namespace {

constexpr int kP1Keys[5] = {vk::Left, vk::Right, vk::Down, vk::Z, vk::Space};

struct Snapshot {
  int phase[2], cells[2][kSlots][kLines], piece[2][7], counters[2][6];
  uint32_t timers[2][3];
  GameKeys keys;
};

Snapshot Take() {
  Snapshot s{};
  for (int pl = 0; pl < 2; ++pl) {
    const PlayerState& p = game.player[pl];
    s.phase[pl] = p.phase;
    memcpy(s.cells[pl], p.cells, sizeof p.cells);
    int piece[7] = {p.pieceSlot, p.pieceLine, p.satellite[0][0], p.satellite[0][1], p.pieceColor[0], p.pieceColor[1],
                    p.pieceColor[2]};
    memcpy(s.piece[pl], piece, sizeof piece);
    int counters[6] = {p.score, p.chain, p.maxChain, p.garbageIn, p.garbageOut, p.fallInterval};
    memcpy(s.counters[pl], counters, sizeof counters);
    s.timers[pl][0] = p.fallTime, s.timers[pl][1] = p.dropTime, s.timers[pl][2] = p.repeatTime;
  }
  s.keys = game.keys;
  return s;
}

class Computer : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    tuSystem::sys.sceneNo = 1;
  }
  // A fresh program state, then a game against the computer (level -1: player 2 at the keyboard).
  void Start(int level) {
    testing_support::ResetHeadless(100000);
    ResetGame();
    UseTestAssets();
    tuSystem::sys.sceneNo = 1;
    srand(77);
    game.gameMode = kModeComputer;
    game.difficulty[0] = game.difficulty[1] = 1;
    game.computerLevel[1] = level;
  }
  void Frame() {
    SkipOpeningWipe();
    tu::platform::AdvanceTick(16);
    GameScene();
  }
  // Player 2's piece keys as the rules saw them in the last frame, one bit each.
  int DrivenKeys() {
    int bits = 0;
    for (int k = 0; k < 5; ++k) bits |= (tuSystem::sys.drivenKeys[PieceKey(1, k)] == 2) << k;
    return bits;
  }
  // Player 1's keys for frame f, the same in every run: taps now and then, and one pause.
  void PlayerOneKeys(int f, uint32_t& mix) {
    mix = mix * 1103515245u + 12345u;
    for (int k = 0; k < 4; ++k) Key(kP1Keys[k], ((mix >> (k * 3 + 8)) & 15) == 0);
    Key(vk::Space, f == 1200 || f == 1240);
  }
};

TEST_F(Computer, PlaysOnlyThroughPlayerTwosKeysAndTheSameSeedGivesTheSameGame) {
  constexpr int kFrames = 3000;
  std::vector<int> driven[2];
  std::vector<Snapshot> states;
  int pieces = 0;
  for (int run = 0; run < 2; ++run) {
    Start(3);
    uint32_t mix = 5;
    for (int f = 0; f < kFrames; ++f) {
      PlayerOneKeys(f, mix);
      int before = P(1).phase;
      Frame();
      driven[run].push_back(DrivenKeys());
      if (run == 0) states.push_back(Take());
      pieces += run == 0 && before == kPhaseControl && P(1).phase == kPhaseSetFlash;
    }
  }
  EXPECT_EQ(driven[0], driven[1]) << "the same seed and input gave other keys";
  // A turn key held into a second frame would not count as a new press: the hidden level presses
  // as fast as it may, yet lets each key come up first. A move key is held on only for a slide:
  // the piece then never moves across on one line, it waits or slides half a block down.
  int slides = 0;
  for (int f = 1; f < kFrames; ++f) {
    int heldOn = driven[0][f] & driven[0][f - 1];
    ASSERT_EQ(heldOn & (1 << 3 | 1 << 4), 0) << "a turn key held on at frame " << f;
    if (!(heldOn & 3) || states[f].phase[1] != kPhaseControl) continue;
    const int *was = states[f - 1].piece[1], *is = states[f].piece[1];
    bool slid = is[1] == was[1] + 1 && is[0] - was[0] == ((heldOn & 1) ? -1 : 0);
    ASSERT_TRUE(slid || (is[0] == was[0] && is[1] == was[1])) << "a move key held on moved the piece at frame " << f;
    slides += slid;
  }
  EXPECT_GT(slides, 0) << "the computer never slid";
  ASSERT_GE(pieces, 30) << "the computer hardly played";
  EXPECT_GT(P(1).score, 0);

  // The same keys pressed on the keyboard, no computer: every frame is the same.
  Start(-1);
  uint32_t mix = 5;
  for (int f = 0; f < kFrames; ++f) {
    PlayerOneKeys(f, mix);
    for (int k = 0; k < 5; ++k) Key(PieceKey(1, k), (driven[0][f] >> k) & 1);
    Frame();
    Snapshot s = Take();
    ASSERT_EQ(memcmp(&s, &states[f], sizeof s), 0) << "frame " << f << " differs from the computer's game";
  }
}

TEST_F(Computer, EveryLevelSetsItsPieceWhereItChose) {
  for (int level = 0; level < kComputerLevels; ++level) {
    Start(level);
    EmptyField(1);
    // A bumpy field: the chosen place needs moves and turns to reach.
    Put({{1, 16, 1}, {2, 16, 2}, {1, 15, 3}, {4, 16, 4}, {5, 16, 1}, {4, 15, 1}, {5, 14, 2}}, 1);
    PlayerState& p = P(1);
    p.phase = kPhaseControl;
    p.pieceColor[0] = 1, p.pieceColor[1] = 2, p.pieceColor[2] = 3;
    p.stepFlag = 1;
    p.fallInterval = 900;
    p.fallTime = Now();
    P(0).phase = kPhasePaused;  // player 1 stands by
    const int colours[3] = {1, 2, 3};
    int f = 0;
    for (; f < 600 && p.phase == kPhaseControl; ++f) Frame();
    ASSERT_EQ(p.phase, kPhaseSetFlash) << "level " << level << ": the piece was not set";
    const ComputerState& c = game.computer[1];
    ASSERT_EQ(c.decisions, 1);
    ASSERT_EQ(c.replans, 0);
    // The three blocks sit where the chosen orientation puts them.
    int blocks[3][2] = {{c.slot, c.line}};
    for (int k = 0; k < 2; ++k) {
      Edge e = SatelliteEdge(c.orientation, k);
      blocks[k + 1][0] = c.slot + EdgeSlot(c.line, e);
      blocks[k + 1][1] = c.line + EdgeLine(e);
    }
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(CellAt(p, blocks[k][0], blocks[k][1]), colours[k])
          << "level " << level << ": block " << k << " not at its chosen place";
  }
}

TEST_F(Computer, TakesThePlaceOnlyASlideReachesWhenOnlyThatPlaceErases) {
  Start(3);
  EmptyField(1);
  // A step on the right with a pair of 4s, (3,15) and (4,16). Set with its pivot on an even line,
  // as a piece falls, no place of the piece 4, 4, 3 joins two 4s to them for good: the blocks
  // roll off. Pivot on top at (4,13), half a block lower, its 4s rest on (3,15) and (4,15) and
  // the 3 in the corner: four 4s. A piece reaches an odd line only by a slide.
  Put({{3, 16, 2}, {4, 16, 4}, {5, 16, 3}, {3, 15, 4}, {4, 15, 3}}, 1);
  PlayerState& p = P(1);
  p.phase = kPhaseControl;
  p.pieceColor[0] = 4, p.pieceColor[1] = 4, p.pieceColor[2] = 3;
  p.stepFlag = 1;
  p.fallInterval = 900;
  p.fallTime = Now();
  P(0).phase = kPhasePaused;
  int f = 0;
  for (; f < 600 && p.phase == kPhaseControl; ++f) Frame();
  ASSERT_EQ(p.phase, kPhaseSetFlash);
  const ComputerState& c = game.computer[1];
  EXPECT_EQ(c.replans, 0);
  EXPECT_EQ(c.line & 1, 1) << "the chosen place is on line " << c.line;
  EXPECT_EQ(CellAt(p, 4, 13), 4);
  EXPECT_EQ(CellAt(p, 4, 14), 4);
  EXPECT_EQ(CellAt(p, 5, 14), 3);
  for (; f < 1200 && p.phase != kPhaseControl; ++f) Frame();
  EXPECT_EQ(CountCode(4, 1), 0) << "the four 4s were not erased";
  EXPECT_EQ(CountCode(3, 1), 3);
}

TEST_F(Computer, EveryLevelSlidesAtItsOwnPaceWhateverTheFallTimer) {
  // Places on the bottom that only a slide half a block down along a wall reaches. The move key
  // must go down in time for the timed step and be held through it, so that the slide takes the
  // step's place and no repeated move of the held key comes in the same frame: resting on the
  // bottom with a timer slower than the lock delay, the piece is set at that step otherwise. The
  // timers run through every phase of the key's repeat; from the entry, fast timers too.
  struct Target {
    int slot, line;
    int cells[3][2];
    int restSlot;  // where the entry shape rests on the bottom beside it
  };
  const Target targets[] = {{1, 15, {{1, 15}, {1, 16}, {2, 16}}, 2}, {4, 15, {{4, 15}, {4, 16}, {5, 16}}, 4}};
  struct Entry {
    bool resting;
    int interval;
  };
  std::vector<Entry> starts = {{false, 300}, {false, 100}};
  for (int interval = 1200; interval > 1040; interval -= 16) starts.push_back({true, interval});
  for (int level = 0; level < kComputerLevels; ++level)
    for (const Entry& from : starts)
      for (const Target& t : targets) {
        Start(level);
        EmptyField(1);
        PlayerState& p = P(1);
        p.phase = kPhaseControl;
        p.pieceColor[0] = 1, p.pieceColor[1] = 2, p.pieceColor[2] = 3;
        if (from.resting) p.pieceSlot = t.restSlot, p.pieceLine = 14;
        p.stepFlag = 1;
        p.fallInterval = from.interval;
        p.fallTime = Now();
        P(0).phase = kPhasePaused;
        ComputerState& c = game.computer[1];
        c.planned = 1;
        c.slot = t.slot, c.line = t.line, c.orientation = 1;
        c.nextPress = Now();
        for (int f = 0; f < 600 && p.phase == kPhaseControl; ++f) Frame();
        std::string at = "level " + std::to_string(level) + (from.resting ? ", resting" : ", from the entry") +
                         ", fall every " + std::to_string(from.interval) + " ms, target slot " + std::to_string(t.slot);
        ASSERT_EQ(p.phase, kPhaseSetFlash) << at;
        EXPECT_EQ(c.replans, 0) << at;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(CellAt(p, t.cells[k][0], t.cells[k][1]), k + 1) << at << ", block " << k;
      }
}

TEST_F(Computer, EveryLevelKicksWhereOnlyAKickLeads) {
  // The piece, pivot at the bottom at (3,8), cannot turn: the pivot-on-the-left shape needs the
  // taken (3,9). The turn kicks it a block up, untested, and nothing else lifts a piece: the
  // computer reaches its place there by that turn, then holds drop so it is set where it is.
  for (int level = 0; level < kComputerLevels; ++level) {
    Start(level);
    EmptyField(1);
    Put({{3, 9, 1}, {2, 9, 1}, {1, 10, 1}, {2, 10, 1}, {3, 10, 1}, {4, 10, 1}, {5, 10, 1}}, 1);
    PlayerState& p = P(1);
    p.phase = kPhaseControl;
    p.pieceSlot = 3, p.pieceLine = 8;
    SetOrientation(p, 3);
    p.pieceColor[0] = 2, p.pieceColor[1] = 3, p.pieceColor[2] = 4;
    p.stepFlag = 1;
    p.fallInterval = 900;
    p.fallTime = Now();
    P(0).phase = kPhasePaused;
    ComputerState& c = game.computer[1];
    c.planned = 1;
    c.slot = 3, c.line = 6, c.orientation = 4;
    c.nextPress = Now();
    for (int f = 0; f < 600 && p.phase == kPhaseControl; ++f) Frame();
    ASSERT_EQ(p.phase, kPhaseSetFlash) << "level " << level;
    EXPECT_EQ(c.replans, 0) << "level " << level;
    EXPECT_EQ(CellAt(p, 3, 6), 2) << "level " << level;  // the pivot, a block above where it was
    EXPECT_EQ(CellAt(p, 3, 7), 3) << "level " << level;  // lower-right
    EXPECT_EQ(CellAt(p, 3, 5), 4) << "level " << level;  // upper-right
  }
}

}  // namespace
