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
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  tuSystem::GetKey(tu::kKeyRight, &right);
  if (right == tu::kKeyStatePressed || right == tu::kKeyStateHeld)
    x += 200.0f * tuSystem::sys.frameSeconds;
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
    if (frame == 10) tuSystem::PressKey(tu::kKeyRight, 1);  // down before frame 10 runs
    if (frame == 70) tuSystem::PressKey(tu::kKeyRight, 0);
    tuSystem::AdvanceClock(16);  // this frame lasts 16 ms
    if (!tuSystem::RunToNextFrame()) return 1;
  }
  tuSystem::PressKey(tu::kKeyEscape, 1);  // ends the program as it would in a window
  bool ended = !tuSystem::RunToNextFrame();
  printf("the square went %.1f pixels; expected 192 (60 frames of 16 ms at 200 px/s)\n", x);
  return ended && x > 191.0f && x < 193.0f ? 0 : 1;
}
