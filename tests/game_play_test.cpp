// The gameplay scene: starting a game, bringing in pieces and garbage, the speed-up, the set
// flash, the pause and the frame as a whole.
#include <vector>

#include "game_support.h"

using namespace game_support;

namespace {

class Play : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    tuSystem::sys.sceneNo = 1;
  }
  // The next `n` colours 1..count the game's generator deals, and in `after` the generator as
  // it is once they are dealt; the game's own generator is left as it is.
  std::vector<int> Coming(int n, int count, GameRandom* after) {
    *after = game.random;
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(DrawColor(*after, count));
    return v;
  }
  // Lets the opening wipe finish, whether it takes a frame or several.
  void FinishWipe() {
    SkipOpeningWipe();
    tuDraw::draw.clipRect = {0, 0, 640, 480};
    tuDraw::draw.wipeDone = 1;
  }
};

TEST_F(Play, InitSetsTheDifficultyDrawsTheColoursBuildsTheWallsAndResetsTheChain) {
  PlayerState& p = P();
  game.difficulty[0] = 3;
  p.chain = 4;  // left by a previous game
  p.maxChain = 4;
  p.cells[2][7] = 3;
  GameRandom after;
  std::vector<int> r = Coming(9, 5, &after);
  PhaseInit(0);
  EXPECT_EQ(p.colorCount, 5);
  EXPECT_EQ(p.fallInterval, 300);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(p.pieceColor[k], r[k]);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(p.next[k], r[3 + k]);
  EXPECT_EQ(game.random, after);  // nine draws
  EXPECT_EQ(p.cells[2][7], 0);
  for (int l = 0; l < kLines; ++l) {
    EXPECT_EQ(p.cells[0][l], kWall);
    EXPECT_EQ(p.cells[6][l], kWall);
    EXPECT_EQ(p.cells[5][l], (l & 1) || l == 17 ? kWall : 0);
  }
  for (int s = 0; s < kSlots; ++s) EXPECT_EQ(p.cells[s][17], kWall);
  EXPECT_EQ(p.chain, 0);
  EXPECT_EQ(p.maxChain, 0);
  EXPECT_EQ(p.stepFlag, 1);
  EXPECT_EQ(p.phase, kPhaseWipeIn);
  // The difficulty table.
  for (int d = 0; d < 3; ++d) {
    game.difficulty[0] = d;
    PhaseInit(0);
    EXPECT_EQ(p.colorCount, d < 2 ? 4 : 5);
    EXPECT_EQ(p.fallInterval, d == 0 ? 1200 : d == 1 ? 900 : 600);
  }
  // An out-of-range difficulty keeps what was there.
  game.difficulty[0] = 7;
  PhaseInit(0);
  EXPECT_EQ(p.fallInterval, 600);
}

TEST_F(Play, InitClearsAGlideLeftHalfDone) {
  PlayerState& p = P();
  p.moveDir[3][9] = 3;
  p.offsetX[3][9] = 12;
  p.justSet[2][4] = 1;
  PhaseInit(0);
  EXPECT_EQ(p.moveDir[3][9], 0);
  EXPECT_EQ(p.offsetX[3][9], 0);
  EXPECT_EQ(p.justSet[2][4], 0);
}

TEST_F(Play, ColourCountsSetFromOutsideStillDrawColours) {
  for (int count : {0, -3, 9}) {
    P().colorCount = count;
    game.difficulty[0] = -1;  // keeps the count
    PhaseInit(0);
    for (int c : P().next) {
      EXPECT_GE(c, 1);
      EXPECT_LE(c, 5);
    }
  }
}

TEST_F(Play, WipeInWaitsForTheWipeThenStartsBothPlayersAndTheMusic) {
  game.gameMode = 1;
  PhaseInit(0);
  PhaseInit(1);
  // A wipe still running: nothing starts.
  tuDraw::draw.wipeState = 1;
  tuDraw::draw.wipePattern = 1;
  tuDraw::draw.wipeDirection = 0;
  tuDraw::draw.wipeSaved = {0, 0, 640, 480};
  tuDraw::draw.clipRect = {0, 480, 640, 480};
  tuSystem::sys.frameSeconds = 0.0f;
  PhaseWipeIn(0);
  PhaseWipeIn(1);
  EXPECT_EQ(P(0).phase, kPhaseWipeIn);
  EXPECT_EQ(P(1).phase, kPhaseWipeIn);
  EXPECT_EQ(SoundCount(gameout::SoundLoop, kMusic0 + 4), 0);
  // Once done, both start in the same frame with the versus music.
  tuDraw::draw = tuDraw::DrawState{};
  FinishWipe();
  for (int i = 0; i < 5 && P(0).phase == kPhaseWipeIn; ++i) {
    PhaseWipeIn(0);
    SkipOpeningWipe();
    PhaseWipeIn(1);
  }
  EXPECT_EQ(P(0).phase, kPhaseControl);
  EXPECT_EQ(P(1).phase, kPhaseControl);
  EXPECT_EQ(SoundCount(gameout::SoundLoop, kMusic0 + 4), 1);
  // One player: the music of the difficulty.
  gameout::recorder.Start();
  game.gameMode = 0;
  game.difficulty[0] = 2;
  PhaseInit(0);
  tuDraw::draw = tuDraw::DrawState{};
  FinishWipe();
  for (int i = 0; i < 5 && P(0).phase == kPhaseWipeIn; ++i) {
    PhaseWipeIn(0);
    SkipOpeningWipe();
  }
  EXPECT_EQ(SoundCount(gameout::SoundLoop, kMusic0 + 2), 1);
}

TEST_F(Play, TopOutLooksOnlyAtTheThreeEntryCells) {
  PlayerState& p = P();
  PhaseInit(0);
  FillAlternating(1, 2);
  for (auto [s, l] : {std::pair{3, 0}, {2, 1}, {3, 1}}) p.cells[s][l] = 0;
  p.phase = kPhaseSpawn;
  PhaseSpawn(0);
  EXPECT_EQ(p.gameOver, 0);
  EXPECT_EQ(p.phase, kPhaseControl);
  for (auto [s, l] : {std::pair{3, 0}, {2, 1}, {3, 1}}) {
    PhaseInit(0);
    p.cells[s][l] = 4;
    p.phase = kPhaseSpawn;
    PhaseSpawn(0);
    EXPECT_EQ(p.gameOver, 1);
    EXPECT_EQ(p.phase, kPhaseSpawn);
  }
}

TEST_F(Play, GarbageCountsEnterAsPartRowsFullRowsOrFiveWithTheRestKept) {
  PlayerState& p = P();
  struct Case {
    int pending, entered, left;
  } cases[] = {{3, 3, 0}, {5, 5, 0}, {6, 5, 0}, {7, 5, 0}, {10, 5, 0}, {11, 5, 6}, {12, 5, 7}};
  for (const Case& c : cases) {
    PhaseInit(0);
    p.garbageIn = c.pending;
    p.phase = kPhaseSpawn;
    PhaseSpawn(0);
    EXPECT_EQ(CountCode(kGarbage), c.entered) << c.pending;
    EXPECT_EQ(p.garbageIn, c.left) << c.pending;
    EXPECT_EQ(p.phase, kPhaseSettle);
    EXPECT_EQ(p.garbageFalling, 1);
  }
  PhaseInit(0);
  p.garbageIn = 3;
  PhaseSpawn(0);
  EXPECT_EQ(p.cells[3][0], kGarbage);
  EXPECT_EQ(p.cells[2][0], kGarbage);
  EXPECT_EQ(p.cells[4][0], kGarbage);
  EXPECT_EQ(p.cells[1][0], 0);
  // Two take the table's first two slots, not any two of its first three.
  PhaseInit(0);
  p.garbageIn = 2;
  PhaseSpawn(0);
  EXPECT_EQ(p.cells[2][0], kGarbage);
  EXPECT_EQ(p.cells[4][0], 0);
}

TEST_F(Play, GarbageEarnedIsSentAtTheSendersNextSpawn) {
  PhaseInit(0);
  PhaseInit(1);
  P(0).garbageOut = 4;
  P(0).phase = kPhaseSpawn;
  PhaseSpawn(0);
  EXPECT_EQ(P(1).garbageIn, 4);
  EXPECT_EQ(P(0).garbageOut, 0);
  EXPECT_EQ(P(0).phase, kPhaseControl);  // the sender gets his piece
  P(1).phase = kPhaseSpawn;
  PhaseSpawn(1);
  EXPECT_EQ(CountCode(kGarbage, 1), 4);
}

TEST_F(Play, ANewPieceTakesTheNextColoursAndDrawsOneNewPiece) {
  PlayerState& p = P();
  PhaseInit(0);
  int next[6] = {1, 2, 3, 4, 1, 2};
  for (int k = 0; k < 6; ++k) p.next[k] = next[k];
  p.pieceSlot = 1;
  p.pieceLine = 9;
  SetOrientation(p, 3);
  p.chain = 3;
  p.offsetY[2][6] = 8;
  GameRandom after;
  std::vector<int> r = Coming(3, 4, &after);
  AdvanceClock(1234);
  PhaseSpawn(0);
  EXPECT_EQ(p.pieceColor[0], 1);
  EXPECT_EQ(p.pieceColor[1], 2);
  EXPECT_EQ(p.pieceColor[2], 3);
  EXPECT_EQ(p.next[0], 4);
  EXPECT_EQ(p.next[3], r[0]);
  EXPECT_EQ(p.next[1], 1);
  EXPECT_EQ(p.next[4], r[1]);
  EXPECT_EQ(p.next[5], r[2]);
  EXPECT_EQ(game.random, after);
  EXPECT_EQ(p.pieceSlot, 3);
  EXPECT_EQ(p.pieceLine, 0);
  EXPECT_EQ(PieceOrientation(p), 1);
  EXPECT_EQ(p.chain, 0);
  EXPECT_EQ(p.fallTime, Now());
  EXPECT_EQ(p.offsetY[2][6], 0);
  EXPECT_EQ(p.stepFlag, 1);
}

TEST_F(Play, TheFallIntervalShrinksBy10To100ThenBy1To10) {
  PlayerState& p = P();
  PhaseInit(0);  // Easy: 1200
  auto spawn = [&] {
    p.phase = kPhaseSpawn;
    PhaseSpawn(0);
  };
  for (int n = 1; n <= 110; ++n) {
    spawn();
    ASSERT_EQ(p.fallInterval, 1200 - 10 * n);
  }
  EXPECT_EQ(p.fallInterval, 100);
  spawn();
  EXPECT_EQ(p.fallInterval, 99);
  for (int n = 2; n <= 90; ++n) spawn();
  EXPECT_EQ(p.fallInterval, 10);
  spawn();
  EXPECT_EQ(p.fallInterval, 10);
  p.fallInterval = 105;
  spawn();
  EXPECT_EQ(p.fallInterval, 95);
}

TEST_F(Play, SetFlashHoldsTheSetLookFor100Ms) {
  PlayerState& p = P();
  PhaseInit(0);
  p.shimmerFrame = 1;
  p.cells[3][16] = 2;
  p.tileFrame[3][16] = 3;
  p.justSet[3][16] = 1;
  p.setTime = Now();
  p.phase = kPhaseSetFlash;
  PhaseSetFlash(0, Now() + 100);
  EXPECT_EQ(p.phase, kPhaseSetFlash);
  EXPECT_EQ(p.tileFrame[3][16], 3);
  PhaseSetFlash(0, Now() + 101);
  EXPECT_EQ(p.phase, kPhaseSettle);
  EXPECT_EQ(p.tileFrame[3][16], 1);
  EXPECT_EQ(p.justSet[3][16], 0);
}

TEST_F(Play, SpacePausesBothPlayersAndRestoresTheirPhases) {
  game.gameMode = 0;
  P(0).phase = kPhaseErase;
  P(1).phase = kPhaseInit;
  P(0).eraseTime = Now();
  Key(vk::Space, true);
  GameScene();
  EXPECT_EQ(P(0).phase, kPhasePaused);
  EXPECT_EQ(P(1).phase, kPhasePaused);
  Key(vk::Space, false);
  GameScene();
  GameScene();
  Key(vk::Space, true);
  GameScene();
  EXPECT_EQ(P(0).phase, kPhaseErase);
  EXPECT_EQ(P(1).phase, kPhaseInit);
}

class PauseMenu : public Play {
 protected:
  // A game in play: pieces in control, something on the board and garbage on the way.
  void Start(int mode = kModeVersus) {
    game.gameMode = mode;
    FinishWipe();
    for (int pl = 0; pl < 2; ++pl) {
      PhaseInit(pl);
      P(pl).phase = kPhaseControl;
      P(pl).fallTime = Now();
      P(pl).score = P(pl).garbageIn = P(pl).cells[2][16] = 3;
    }
  }
  void Frame() { SceneFrame(GameScene); }
  void Tap(int vk) { TapIn(vk, GameScene); }
  bool Paused() { return P(0).phase == kPhasePaused && P(1).phase == kPhasePaused; }
};

TEST_F(PauseMenu, ContinueAndThePauseKeyResumeAsBefore) {
  Start();
  game.keys.menuUp[1] = game.keys.confirm[0] = tu::kKeyStateReleased;
  const GameKeys before = game.keys;
  Tap(vk::Space);
  ASSERT_TRUE(Paused());
  // Player 2 moves the cursor; the pause key resumes wherever it is, and the title menu's key
  // states are as the game left them, even for a key held then.
  Tap(vk::S);
  EXPECT_EQ(game.levelCursor[1], kPauseToTitle);
  Key(vk::W, true);
  Tap(vk::Space);
  Key(vk::W, false);
  EXPECT_EQ(P(1).phase, kPhaseControl);
  for (int pl = 0; pl < 2; ++pl)
    EXPECT_TRUE(game.keys.menuUp[pl] == before.menuUp[pl] && game.keys.menuDown[pl] == before.menuDown[pl] &&
                game.keys.confirm[pl] == before.confirm[pl]) << pl;
  // A pause begun with a key held starts on CONTINUE and takes no press from it; X confirms,
  // without turning player 1's piece though it is his clockwise turn.
  Key(vk::Down, true);
  Frame();
  Tap(vk::Space);
  Key(vk::Down, false);
  EXPECT_EQ(game.levelCursor[1], kPauseContinue);
  Tap(vk::X);
  EXPECT_EQ(P(0).phase, kPhaseControl);
  EXPECT_EQ(PieceOrientation(P(0)), 1);
  // Against the computer the menu is player 1's alone.
  game.computerLevel[1] = 0;
  Start(kModeComputer);
  Tap(vk::Space);
  Tap(vk::W);
  EXPECT_EQ(game.levelCursor[1], kPauseContinue);
  Tap(vk::Up);
  EXPECT_EQ(game.levelCursor[1], kPauseToTitle);
}

TEST_F(PauseMenu, ContinueDuringTheContinueQuestionDoesNotAnswerIt) {
  Start(kModeOnePlayer);
  P(0).phase = P(1).phase = kPhaseOver;
  P(0).gameOver = 1;
  game.resultStep = 2;
  Frame();
  Tap(vk::Space);
  Tap(vk::X);
  EXPECT_EQ(P(0).phase, kPhaseOver);
  EXPECT_EQ(game.resultStep, 2);
}

TEST_F(PauseMenu, ReturnToTitleLeavesTheGameForTheMenuWithACleanRound) {
  Start();
  // Paused during the opening wipe, which the pause freezes half open.
  P(0).phase = P(1).phase = kPhaseWipeIn;
  tuDraw::StartWipe(tuDraw::kWipeOpen, tuDraw::kWipeFromCentre, 500.0f, 3);
  Tap(vk::Space);
  Tap(vk::W);
  Key(vk::X, true);
  Frame();
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  for (int id = kMusic0; id < kMusic0 + 5; ++id) EXPECT_EQ(SoundCount(gameout::SoundStop, id), 1) << id;
  EXPECT_EQ(CountDraws(kFont, 0, 295) + CountDraws(kFont, 0, 505), 0);  // no outcome, no question
  EXPECT_EQ(game.resultStep + game.menuLevel + game.levelCursor[0] + game.levelCursor[1], 0);
  for (int pl = 0; pl < 2; ++pl) {
    EXPECT_EQ(P(pl).phase, kPhaseInit);
    EXPECT_EQ(P(pl).score + P(pl).garbageIn, 0);
    EXPECT_EQ(CountCode(0, pl), kLiveCells);
  }
  EXPECT_EQ(tuDraw::draw.wipeState, 0);
  EXPECT_EQ(tuDraw::draw.clipRect.right - tuDraw::draw.clipRect.left, 640);
  // The title menu follows, and the X still held there is no confirm.
  MenuScene();
  EXPECT_EQ(game.menuLevel, 0);
}

TEST_F(Play, OnePlayerModeNeverAdvancesPlayerTwo) {
  game.gameMode = 0;
  FinishWipe();
  for (int i = 0; i < 200; ++i) {
    tu::platform::AdvanceTick(16);
    GameScene();
  }
  EXPECT_EQ(P(1).phase, kPhaseInit);
  EXPECT_NE(P(0).phase, kPhaseInit);
}

TEST_F(Play, ATopOutEndsBothPlayersGamesInTheSameFrame) {
  game.gameMode = 1;
  PhaseInit(0);
  PhaseInit(1);
  P(0).phase = kPhaseSpawn;
  P(0).cells[3][1] = 2;
  P(1).phase = kPhaseControl;
  GameScene();
  EXPECT_EQ(P(0).phase, kPhaseOver);
  EXPECT_EQ(P(1).phase, kPhaseOver);
  EXPECT_EQ(P(0).gameOver, 1);
  EXPECT_EQ(P(1).gameOver, 0);
  EXPECT_EQ(game.resultStep, 1);  // the sequence ran its first step in that frame
}

TEST_F(Play, AOnePlayerGamePlaysToTheEndWithTheDropHeld) {
  game.gameMode = 0;
  game.difficulty[0] = 0;
  FinishWipe();
  Key(vk::Down, true);
  int pieces = 0, lastPhase = -1;
  for (int i = 0; i < 20000 && P().phase != kPhaseOver; ++i) {
    tu::platform::AdvanceTick(16);
    GameScene();
    if (P().phase == kPhaseSetFlash && lastPhase != kPhaseSetFlash) ++pieces;
    lastPhase = P().phase;
    // The walls stay, and every live cell holds a known code.
    ASSERT_EQ(P().cells[0][5], kWall);
    ASSERT_EQ(P().cells[5][5], kWall);
    ForLiveCells(0, 16, [&](int s, int l) {
      int c = P().cells[s][l];
      ASSERT_TRUE((c >= 0 && c <= 6) || c == kGarbage) << c;
    });
  }
  EXPECT_EQ(P().phase, kPhaseOver);
  EXPECT_EQ(P().gameOver, 1);
  EXPECT_GE(pieces, 5);
}

TEST_F(Play, RandomVersusPlayKeepsTheFieldsSound) {
  // Both players mash keys for a long time; menus and continue questions included.
  const int keys[] = {vk::Left, vk::Right, vk::Down, vk::X, vk::Z, vk::A, vk::D, vk::S,
                      vk::J, vk::H, vk::Up, vk::W};
  game.gameMode = 1;
  tuSystem::sys.sceneNo = 1;
  srand(2024);
  unsigned mix = 12345;
  int games = 0, garbageSeen = 0, kicksOrSlides = 0;
  for (int frame = 0; frame < 40000; ++frame) {
    mix = mix * 1103515245u + 12345u;
    for (int k = 0; k < 12; ++k) Key(keys[k], ((mix >> (k + 8)) & 7) == 0);
    FinishWipe();
    tu::platform::AdvanceTick(16);
    if (tuSystem::sys.sceneNo == 1) {
      GameScene();
    } else {
      game.gameMode = 1;  // never quit, always back to a versus game
      MenuScene();
    }
    for (int pl = 0; pl < 2; ++pl) {
      const PlayerState& p = P(pl);
      if (p.phase == kPhaseInit) continue;
      for (int l = 0; l < kLines; ++l) {
        ASSERT_EQ(p.cells[0][l], kWall);
        ASSERT_EQ(p.cells[6][l], kWall);
      }
      ForLiveCells(0, 16, [&](int s, int l) {
        int c = p.cells[s][l];
        ASSERT_TRUE((c >= 0 && c <= 6) || c == kGarbage) << c;
      });
      ASSERT_LE(p.score, kScoreMax);
      if (p.phase == kPhaseControl) {
        ASSERT_NE(PieceOrientation(p), 0);
      }
      if (p.phase == kPhaseControl && (p.pieceLine & 1)) ++kicksOrSlides;
      garbageSeen += p.garbageFalling;
    }
    if (game.resultStep == 3) ++games;
  }
  EXPECT_GE(games, 3);
  EXPECT_GT(garbageSeen, 0);
  EXPECT_GT(kicksOrSlides, 0);
}

}  // namespace
