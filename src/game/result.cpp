// The end of a game: the outcome pictures, the continue question, and what its answer starts.
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/input.h"
#include "game/model.h"
#include "game/output.h"
#include "game/playback.h"
#include "game/records.h"
#include "game/settings.h"

namespace {

void DrawFont(int x, int y, int left, int top, int right, int bottom) {
  gameout::Draw(x, y, assets.fontSprite, left, top, right, bottom);
}

void DrawWin(int x) { DrawFont(x, 234, 220, 192, 354, 230); }
void DrawLose(int x) { DrawFont(x, 234, 176, 241, 355, 279); }

}  // namespace

void DrawVersusOutcome() {
  const PlayerState* p = game.player;
  if (p[0].gameOver == 0 && p[1].gameOver == 1) {
    DrawWin(93);
    DrawLose(359);
  } else if (p[0].gameOver == 1 && p[1].gameOver == 0) {
    DrawLose(71);
    DrawWin(392);
  }
}

void DrawContinueQuestion(int cursor) {
  if (cursor == 0)
    DrawFont(222, 284, 0, 552, 46, 573);
  else
    DrawFont(337, 284, 0, 552, 36, 573);
  DrawFont(154, 234, 0, 505, 296, 546);
  DrawFont(222, 284, 164, 462, 210, 483);
  DrawFont(337, 284, 219, 462, 255, 483);
}

void DrawResult() {
  bool versus = game.gameMode != 0;
  switch (game.resultStep) {
    case 1:
      if (!versus) {
        DrawFont(149, 234, 0, 295, 303, 333);
        if (records.lastRank > 0) DrawFont(170, 190, 0, 754, 300, 792);
      } else {
        DrawVersusOutcome();
      }
      break;
    case 2:
      DrawContinueQuestion(game.levelCursor[0]);
      break;
    default:
      break;
  }
}

void ResultStep(uint32_t now) {
  GameKeys& k = game.keys;
  for (int pl = 0; pl < 2; ++pl) {
    PollAction(pl, kActRight, &k.right[pl]);
    PollAction(pl, kActLeft, &k.left[pl]);
  }
  for (int pl = 0; pl < 2; ++pl) PollAction(pl, kActTurnCw, &k.confirm[pl]);
  bool versus = game.gameMode != 0;
  // Against the computer the outcome and the question are player 1's alone.
  bool computer = game.gameMode == kModeComputer;
  bool secondPlayer = versus && !computer;
  PlayerState* p = game.player;

  switch (game.resultStep) {
    case 0:
      game.resultTime = now;
      game.resultStep = 1;
      // A game played back is no new record, and its replay is already kept. An online game's
      // step may be a prediction that a rollback takes back: its outcome is counted once the
      // match has confirmed it.
      if (!PlaybackActive() && !InputFromSource()) RecordGameOver();
      EndGameRecording();
      break;
    case 1:
      game.levelCursor[0] = 0;
      if (now - game.resultTime > 5000u || k.confirm[0] == tu::kKeyStatePressed ||
          (!computer && k.confirm[1] == tu::kKeyStatePressed))
        game.resultStep = 2;
      break;
    case 2: {
      int& cursor = game.levelCursor[0];
      bool toggle = k.right[0] == tu::kKeyStatePressed || k.left[0] == tu::kKeyStatePressed ||
                    (secondPlayer && (k.right[1] == tu::kKeyStatePressed || k.left[1] == tu::kKeyStatePressed));
      if (toggle) {
        if (++cursor > 1) cursor = 0;
        gameout::Play(assets.buttonSound);
      }
      if (k.confirm[0] == tu::kKeyStatePressed || (secondPlayer && k.confirm[1] == tu::kKeyStatePressed)) {
        game.resultStep = 3;
        gameout::Play(assets.buttonSound2);
      }
      break;
    }
    case 3: {
      game.menuLevel = 0;
      game.resultStep = 0;
      for (int id : assets.music) gameout::Stop(id);
      ResetRound();
      p[0].phase = p[1].phase = kPhaseInit;
      bool no = game.levelCursor[0] == 1;
      game.levelCursor[0] = game.levelCursor[1] = 0;
      if (no) {
        tuSystem::sys.sceneNo = 2;
        tuSystem::sys.prevSceneNo = 0;
      }
      break;
    }
    default:
      break;
  }
}
