// system_headless_run: a game tested without a display. The program runs headless on a clock
// that moves only when told; a script holds the Right arrow for 60 frames of 16 ms, and the
// square must have gone 200 pixels a second for that long. Exit code 0 when it did.
// Uses: tuSystem::UseHeadless, Start, AdvanceClock, PressKey, RunToNextFrame, GetKey.
// Keys: none (the script presses them).
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include <cstdio>

namespace {

float x = 0;
int right = 0;

void LoadAssets() {
  tuDraw::Screen(640, 480, 1);
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  tuSystem::GetKey(39, &right);
  if (right == 1 || right == 3) x += 200.0f * tuSystem::sys.frameSeconds;
  tuDraw::Clear();
  tuDraw::Present();
}

}  // namespace

int main() {
  tuSystem::UseHeadless();  // before Start: no window, no sound device, a manual clock
  tuSystem::Program program;
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  char name[] = "headless";
  char* argv[] = {name, nullptr};
  if (!tuSystem::Start(1, argv, program)) return 1;
  for (int frame = 0; frame < 100; ++frame) {
    if (frame == 10) tuSystem::PressKey(39, 1);  // down before frame 10 runs
    if (frame == 70) tuSystem::PressKey(39, 0);
    tuSystem::AdvanceClock(16);                  // this frame lasts 16 ms
    if (!tuSystem::RunToNextFrame()) return 1;
  }
  tuSystem::PressKey(27, 1);  // Escape ends the program as it would in a window
  bool ended = !tuSystem::RunToNextFrame();
  printf("the square went %.1f pixels; expected 192 (60 frames of 16 ms at 200 px/s)\n", x);
  return ended && x > 191.0f && x < 193.0f ? 0 : 1;
}
