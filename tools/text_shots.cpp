// Writes screenshots of the frames-per-second meter over a frame of play and of the line-grid
// interlude: the real program loop, headless, with a manual 60 Hz clock and injected keys; the
// back buffer is saved as 24-bit BMP files beside the program.
#include <cstdio>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/game.h"
#include "platform/instance.h"

namespace {

// Runs `frames` frame steps, 16 or 17 ms apart (60 a second).
void Run(int frames) {
  uint32_t target = tuSystem::sys.frameCount + static_cast<uint32_t>(frames);
  while (tuSystem::sys.frameCount < target && tuSystem::Turn()) {
    tuSystem::AdvanceClock(tuSystem::sys.frameCount % 3 == 0 ? 16 : 17);
  }
}

void Press(int vk) {
  tuSystem::PressKey(vk, 1);
  Run(6);
  tuSystem::PressKey(vk, 0);
  Run(6);
}

}  // namespace

int main() {
  // The manual clock and the load-time stamps start at 0, where the meter's first window begins.
  tuSystem::UseHeadless();
  tuSystem::Program program = GameProgram();
  program.fixedSeed = 1;
  program.seed = 7;
  char arg0[] = "quorbistane_text_shots";
  char* argv[] = {arg0};
  if (!tuSystem::Start(1, argv, program)) {
    fprintf(stderr, "start-up failed\n");
    return 1;
  }
  tuDraw::SetVSync(0);
  Run(60);
  Press(tu::kKeyX);  // one player
  Press(tu::kKeyX);  // Easy
  Run(300);   // the opening wipe and five seconds of play: the meter shows a full window
  int ok = tuDraw::SaveScreen("meter.bmp", 640, 480);

  tuSystem::sys.sceneNo = 3;
  tuSystem::sys.prevSceneNo = 0;
  Run(250);
  ok &= tuDraw::SaveScreen("interlude.bmp", 640, 480);
  printf("%s meter.bmp and interlude.bmp\n", ok ? "wrote" : "could not write");
  tuSystem::Exit();
  tu::platform::ReleaseInstance();
  return ok ? 0 : 1;
}
