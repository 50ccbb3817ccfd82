// Placeholder asset loading until the game's pictures and sounds exist: the display comes up
// and the menu is the first scene.
#include "present/assets.h"

#include "draw/tuDraw.h"
#include "game/game.h"

GameAssets assets;

void LoadAssets() {
  tuDraw::Screen(640, 480, 1);
  tuSystem::sys.sceneNo = 2;
  tuSystem::sys.prevSceneNo = 0;
}
