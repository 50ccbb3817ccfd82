// Placeholder asset loading and interlude until the asset catalogue and the interlude exist.
#include "draw/tuDraw.h"
#include "game/game.h"

void LoadAssets() {
  tuDraw::Screen(640, 480, 1);
  tuSystem::sys.sceneNo = 2;
}

void InterludeScene() {
  tuDraw::Clear();
  tuDraw::Present();
}
