// Scene 3: a dark red lattice of diagonal, vertical and horizontal lines drifting one pixel a
// frame, with a five-digit number and the frames-per-second meter over it.
#include <tu/tuDraw.h>

#include "game/game.h"
#include "game/interlude.h"
#include "game/model.h"

InterludeState interlude;

void InterludeScene() {
  tuDraw::Clear();
  if (tuSystem::sys.sceneEntered) interlude.offset = 40;
  if (--interlude.offset <= 0) interlude.offset += 40;
  int o = interlude.offset;
  for (int i = -12; i <= 15; ++i) {
    int x = 40 * i;
    tuDraw::Line(x + o, 0, x + o + 480, 480, 150, 1);
    tuDraw::Line(x + o + 480, 0, x + o, 480, 150, 1);
    tuDraw::Line(x - o, 0, x - o, 480, 50, 1);
    if (i < 12) tuDraw::Line(0, 40 * i, 640, 40 * i, 50, 1);
  }
  DrawNumber(0, 0, interlude.number);
  tuSystem::Sleep(5);
  tuSystem::DrawFps();
  tuDraw::Present();
}
