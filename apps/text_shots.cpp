// Writes screenshots of the frames-per-second meter over a game picture and of the line-grid
// interlude, headless with a manual 60 Hz clock, as 24-bit BMP files beside the program.
#include <cstdio>

#include "draw/tuDraw.h"
#include "game/game.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "present/assets.h"
#include "shell/tuSystem.h"

namespace {

// 60 frames a second: 16 or 17 ms each.
void NextFrame(int frame) { platform::AdvanceTick(frame % 3 == 0 ? 16 : 17); }

}  // namespace

int main() {
  platform::SetHeadless(true);
  platform::SetTick(tuSystem::loadStamps[3]);
  tuSystem::Init();
  LoadAssets();
  tuDraw::SetVSync(0);

  // The meter over the easy background and the field, after four seconds at 60 frames.
  for (int frame = 0; frame < 250; ++frame) {
    tuDraw::Clear();
    tuDraw::DrawOpaque(0, 0, assets.backSprites[0], 0, 0, 640, 480);
    tuDraw::Draw(0, 0, assets.fieldSprite, 0, 0, 640, 480);
    tuSystem::DrawFps();
    tuDraw::Present();
    NextFrame(frame);
  }
  int ok = tuDraw::SaveScreen("meter.bmp", 640, 480);

  // The interlude from its entry: 250 frames, each with its own 5 ms sleep.
  tuSystem::sys.sceneNo = 3;
  for (int frame = 0; frame < 250; ++frame) {
    tuSystem::sys.sceneEntered = frame == 0;
    InterludeScene();
    platform::AdvanceTick(12);
  }
  ok &= tuDraw::SaveScreen("interlude.bmp", 640, 480);
  printf("%s %s\n", ok ? "wrote" : "could not write", "meter.bmp interlude.bmp");
  tuDraw::Release();
  return ok ? 0 : 1;
}
