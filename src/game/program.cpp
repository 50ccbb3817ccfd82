#include "game/game.h"

tuSystem::Program GameProgram() {
  tuSystem::Program p;
  p.loadAssets = LoadAssets;
  p.scenes[1] = GameScene;
  p.scenes[2] = MenuScene;
  p.scenes[3] = InterludeScene;
  return p;
}
