// Placeholder interlude until the line-grid interlude exists.
#include "draw/tuDraw.h"
#include "game/game.h"

void InterludeScene() {
  tuDraw::Clear();
  tuDraw::Present();
}
