#include "game/game.h"
#include "game/model.h"
#include "game/settings.h"

tuSystem::Program GameProgram() {
  // The load stamps exist by now: the game's timers start from them.
  ResetGame();
  tuSystem::Program p;
  p.loadAssets = LoadAssets;
  p.scenes[1] = GameScene;
  p.scenes[2] = MenuScene;
  p.scenes[3] = InterludeScene;
  // The pads hold the keys bound to each player's actions (settings.h).
  p.pads = &PadKeys();
  return p;
}
