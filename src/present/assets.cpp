// Placeholder asset loading until the game's pictures and sounds exist: the display comes up
// and the menu is the first scene.
#include "draw/tuDraw.h"
#include "game/game.h"

void LoadAssets() {
  tuDraw::Screen(640, 480, 1);
  tuSystem::sys.sceneNo = 2;
}
