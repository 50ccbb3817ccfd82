// The gameplay scene: the frame, the phase dispatch, starting a game, bringing in pieces and
// garbage, the set flash and the pause.
#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/computer.h"
#include "game/game.h"
#include "game/input.h"
#include "game/model.h"
#include "game/output.h"
#include "game/playback.h"
#include "game/settings.h"
#include "game/snapshot.h"

namespace {

bool EntryBlocked(const PlayerState& p) {
  return p.cells[3][0] != 0 || p.cells[2][1] != 0 || p.cells[3][1] != 0;
}

}  // namespace

void PhaseInit(int pl) {
  PlayerState& p = game.player[pl];
  int d = game.difficulty[pl];
  if (d >= 0 && d <= 3) {
    p.colorCount = kDifficulty[d].colorCount;
    p.fallInterval = kDifficulty[d].fallInterval;
  }
  for (int k = 0; k < 3; ++k) p.pieceColor[k] = RandomColor(p.colorCount);
  for (int k = 0; k < 6; ++k) p.next[k] = RandomColor(p.colorCount);
  p.stepFlag = 1;
  ForLiveCells(16, 0, [&](int slot, int line) {
    game.groupMarks[slot][line] = 0;
    p.cells[slot][line] = 0;
    p.tileFrame[slot][line] = 0;
  });
  // A game ended by the other player's top-out can leave a glide or a set flash half done;
  // none of it may reach the new game.
  for (int s = 0; s < kSlots; ++s)
    for (int l = 0; l < kLines; ++l) {
      p.offsetX[s][l] = p.offsetY[s][l] = 0;
      p.moveDir[s][l] = 0;
      p.justSet[s][l] = 0;
    }
  for (int line = 0; line < kLines; ++line) {
    p.cells[0][line] = kWall;
    p.cells[6][line] = kWall;
    if (line & 1) p.cells[5][line] = kWall;
  }
  for (int slot = 0; slot < kSlots; ++slot) p.cells[slot][17] = kWall;
  p.maxChain = 0;
  // A new game starts its chain count afresh, so the first erasure scores as a first step.
  p.chain = 0;
  p.gameOver = 0;
  p.phase = kPhaseWipeIn;
}

void PhaseWipeIn(int pl) {
  PlayerState& p = game.player[pl];
  if (pl == 0) {
    StartOpeningWipe(500.0f);
    tuDraw::StepWipe(static_cast<float>(LastStepLength()) / 1000.0f);
    if (tuDraw::draw.wipeDone) {
      p.phase = kPhaseControl;
      int music = game.gameMode == 0 ? game.difficulty[0] : 4;
      if (music >= 0 && music <= 4) gameout::PlayLoop(assets.music[music]);
    }
  } else if (game.player[0].phase == kPhaseControl) {
    p.phase = kPhaseControl;
  }
}

void PhaseSpawn(int pl) {
  PlayerState& p = game.player[pl];
  PlayerState& q = game.player[1 - pl];
  if (EntryBlocked(p)) {
    p.gameOver = 1;
    return;
  }
  ForLiveCells(0, 16, [&](int slot, int line) { p.tileFrame[slot][line] = p.shimmerFrame; });
  q.garbageIn += p.garbageOut;
  p.garbageOut = 0;
  if (p.garbageIn != 0) {
    p.garbageFalling = 1;
    if (p.garbageIn > 5) {
      for (int slot : kGarbageSlots) p.cells[slot][0] = kGarbage;
      p.garbageIn -= 5;
    }
    // Six to ten enter as one full row; the rest of such a count is dropped.
    if (p.garbageIn <= 5) {
      for (int i = 0; i < p.garbageIn; ++i) p.cells[kGarbageSlots[i]][0] = kGarbage;
      p.garbageIn = 0;
    }
    p.phase = kPhaseSettle;
    return;
  }
  ForLiveCells(0, 16, [&](int slot, int line) { p.offsetX[slot][line] = p.offsetY[slot][line] = 0; });
  for (int k = 0; k < 3; ++k) p.pieceColor[k] = p.next[k];
  p.satellite[0][0] = -1;
  p.satellite[0][1] = 1;
  p.satellite[1][0] = 0;
  p.satellite[1][1] = 1;
  for (int k = 0; k < 3; ++k) {
    p.next[k] = p.next[k + 3];
    p.next[k + 3] = RandomColor(p.colorCount);
  }
  p.pieceSlot = 3;
  p.pieceLine = 0;
  p.chain = 0;
  p.fallTime = GameClock();
  if (p.fallInterval > 100)
    p.fallInterval -= 10;
  else
    p.fallInterval -= 1;
  if (p.fallInterval < 10) p.fallInterval = 10;
  p.phase = kPhaseControl;
  p.stepFlag = 1;
}

void PhaseSetFlash(int pl, uint32_t now) {
  PlayerState& p = game.player[pl];
  p.stepFlag = 0;
  if (now - p.setTime > 100u) {
    for (int slot = 1; slot <= 5; ++slot)
      for (int line = 0; line < kLines; ++line) {
        if (slot == 5 && (line & 1)) continue;
        if (p.justSet[slot][line] == 1) {
          p.tileFrame[slot][line] = p.shimmerFrame;
          p.justSet[slot][line] = 0;
        }
      }
    p.stepFlag = 1;
  }
  if (p.stepFlag) p.phase = kPhaseSettle;
}

void RunPhase(int pl, uint32_t now) {
  switch (game.player[pl].phase) {
    case kPhaseSpawn:
      PhaseSpawn(pl);
      break;
    case kPhaseControl:
      PhaseControl(pl, now);
      break;
    case kPhaseSettle:
      PhaseSettle(pl);
      break;
    case kPhaseGlide:
      PhaseGlide(pl);
      break;
    case kPhaseMatch:
      PhaseMatch(pl);
      break;
    case kPhaseErase:
      PhaseErase(pl, now);
      break;
    case kPhaseSetFlash:
      PhaseSetFlash(pl, now);
      break;
    case kPhaseInit:
      PhaseInit(pl);
      break;
    case kPhaseWipeIn:
      PhaseWipeIn(pl);
      break;
    case kPhaseColorGarbage:
      PhaseColorGarbage(pl);
      break;
    default:  // game over, paused
      break;
  }
}

namespace {

// Either player paused means the game is paused: the pause key's own test.
bool Paused() { return game.player[0].phase == kPhasePaused || game.player[1].phase == kPhasePaused; }

// Player 2 works the pause menu in the versus game only; against the computer it is player 1's.
bool SecondPlayerInMenu() { return game.gameMode != kModeOnePlayer && game.gameMode != kModeComputer; }

void PollPauseKeys() {
  GameKeys& k = game.keys;
  for (int pl = 0; pl < 2; ++pl) {
    PollAction(pl, kActUp, &k.pauseUp[pl]);
    PollAction(pl, kActDown, &k.pauseDown[pl]);
    PollAction(pl, kActTurnCw, &k.pauseConfirm[pl]);
  }
}

bool PauseKeyPressed() {
  // A pause key both players share is player 1's in the input: player 2's then stays up.
  PollAction(0, kActPause, &game.keys.pause);
  PollAction(1, kActPause, &game.keys.pauseSecond);
  return game.keys.pause == tu::kKeyStatePressed || game.keys.pauseSecond == tu::kKeyStatePressed;
}

void Resume() {
  for (int i = 0; i < 2; ++i) game.player[i].phase = game.pausedPhase[i];
  game.levelCursor[1] = kPauseContinue;
}

// The pause menu's return to the title.
void ReturnToTitle() {
  EndGameRecording();
  BackToMenu(0);
  // The title menu's key states take the keys as they are: the confirm still held is no press there.
  GameKeys& k = game.keys;
  for (int pl = 0; pl < 2; ++pl) {
    PollAction(pl, kActUp, &k.menuUp[pl]);
    PollAction(pl, kActDown, &k.menuDown[pl]);
    PollAction(pl, kActTurnCw, &k.confirm[pl]);
  }
}

// Returns true when the game is to be left for the title at the end of this frame.
bool PauseMenu() {
  PollPauseKeys();
  const GameKeys& pk = game.keys;
  int& cursor = game.levelCursor[1];
  int players = SecondPlayerInMenu() ? 2 : 1;
  bool move = false;
  for (int pl = 0; pl < players; ++pl)
    move = move || pk.pauseUp[pl] == tu::kKeyStatePressed || pk.pauseDown[pl] == tu::kKeyStatePressed;
  if (move) {
    cursor = cursor == kPauseContinue ? kPauseToTitle : kPauseContinue;
    gameout::Play(assets.buttonSound);
  }
  for (int pl = 0; pl < players; ++pl) {
    if (pk.pauseConfirm[pl] != tu::kKeyStatePressed) continue;
    gameout::Play(assets.buttonSound2);
    if (cursor == kPauseToTitle) return true;
    Resume();
    // The confirm key is also this player's clockwise turn and the game-over sequence's confirm:
    // its press is spent here.
    GameKeys& k = game.keys;
    PollAction(pl, kActTurnCw, &k.turnCw[pl]);
    PollAction(pl, kActTurnCw, &k.confirm[pl]);
    return false;
  }
  return false;
}

}  // namespace

bool HandlePause() {
  if (PauseKeyPressed()) {
    if (!Paused()) {
      for (int i = 0; i < 2; ++i) {
        game.pausedPhase[i] = game.player[i].phase;
        game.player[i].phase = kPhasePaused;
      }
      game.levelCursor[1] = kPauseContinue;
      // Keys held when the pause came are not presses in its menu.
      PollPauseKeys();
    } else {
      Resume();
    }
    return false;
  }
  return Paused() && PauseMenu();
}

namespace {

// Set by the play of a step when the pause menu asks to leave the game; the step's close does.
bool leavePending = false;

// The play of a step: the clock, the computer's hands, the input, the pause and the players.
void StepPlay() {
  if (game.player[0].phase == kPhaseInit) BeginGame();
  AdvanceGameClock();
  // The computer's hands first, so the rules see its keys like any other (played back, they
  // think alike, but the replay's keys are the ones that count).
  ComputerKeys(GameClock());
  UseInput(StepInputOf());
  leavePending = HandlePause();
  int players = game.gameMode == 0 ? 1 : 2;
  for (int pl = 0; pl < players; ++pl) {
    RunPhase(pl, GameClock());
    AdvanceShimmer(pl, GameClock());
    // A paused game-over sequence stays paused: the top-out is not written over the pause.
    const PlayerState& p = game.player[pl];
    if (p.gameOver && p.phase != kPhasePaused) game.player[0].phase = game.player[1].phase = kPhaseOver;
  }
}

bool GameOverShown() { return game.player[0].phase == kPhaseOver || game.player[1].phase == kPhaseOver; }

// The close of a step, after its picture: the game-over sequence and leaving the game act on
// what the player saw.
void StepClose() {
  if (GameOverShown()) ResultStep(GameClock());
  if (leavePending) ReturnToTitle();
  leavePending = false;
  EndStep();
}

// Whether this step's close leaves the game for the title.
bool StepLeavesGame() {
  return leavePending || (GameOverShown() && game.resultStep == 3 && game.levelCursor[0] == 1);
}

}  // namespace

void DrawGamePicture(bool result) {
  gameout::Clear();
  int back = -1;
  if (game.gameMode == 0) {
    if (game.difficulty[0] >= 0 && game.difficulty[0] <= 3) back = assets.backSprites[game.difficulty[0]];
  } else {
    back = assets.backSprites[3];
  }
  if (back >= 0) gameout::Draw(0, 0, back, 0, 0, 640, 480);
  int players = game.gameMode == 0 ? 1 : 2;
  for (int pl = 0; pl < players; ++pl) DrawPlayer(pl, GameClock());
  DrawLabels();
  if (result && GameOverShown()) DrawResult();
  if (PlaybackActive()) DrawPlaybackBar();
}

namespace {
// The picture of the game as it stands; reads the state and changes none of it.
void DrawGame() { DrawGamePicture(true); }
}  // namespace

void GameStep() {
  StepPlay();
  StepClose();
}

void GameScene() {
  NoteFullScreen();
  int steps = DueSteps();
  if (PlaybackActive()) {
    steps = PlaybackFrame(steps);
    if (!PlaybackActive()) return;  // left for the list
  }
  // Between steps (a display faster than the steps) the last picture is shown again.
  if (steps == 0 && gameout::output.draw) DrawGame();
  for (int i = 0; i < steps; ++i) {
    StepPlay();
    // A step that leaves the game shows its picture: the game is left once it is drawn.
    bool shown = i == steps - 1 || StepLeavesGame();
    if (shown && gameout::output.draw) DrawGame();
    StepClose();
    if (shown) break;
  }
  gameout::Present();
}
