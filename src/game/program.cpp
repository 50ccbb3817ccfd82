#include "game/game.h"
#include "game/model.h"

tuSystem::Program GameProgram() {
  // The load stamps exist by now: the game's timers start from them.
  ResetGame();
  tuSystem::Program p;
  p.loadAssets = LoadAssets;
  p.scenes[1] = GameScene;
  p.scenes[2] = MenuScene;
  p.scenes[3] = InterludeScene;
  return p;
}
