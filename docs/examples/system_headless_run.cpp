// system_headless_run: a game tested without a display. The program runs headless on a clock
// that moves only when told; a script holds the Right arrow for 60 frames of 16 ms, and the
// square must have gone 200 pixels a second for that long, while a sound sink counts the mix of
// every frame. Exit code 0 when both are right.
// Uses: tuSystem::UseHeadless, Start, RunFrame, SetSoundSink, PressKey, RunToNextFrame, GetKey.
// Keys: none (the script presses them).
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include <cstdio>

namespace {

float x = 0;
int right = 0;
long soundFrames = 0;

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

// The mix arrives in blocks, in the mix format (44.1 kHz 16-bit stereo here): count its frames.
void Hear(const tuSystem::MixedSound& sound, void*) { soundFrames += sound.frames; }

}  // namespace

int main() {
  tuSystem::UseHeadless();  // before Start: no window, no sound device, a manual clock
  tuSystem::Program program;
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  char name[] = "headless";
  char* argv[] = {name, nullptr};
  if (!tuSystem::Start(1, argv, program)) return 1;
  tuSystem::SetSoundSink(Hear, nullptr);
  for (int frame = 0; frame < 100; ++frame) {
    if (frame == 10) tuSystem::PressKey(tu::kKeyRight, 1);  // down before frame 10 runs
    if (frame == 70) tuSystem::PressKey(tu::kKeyRight, 0);
    if (!tuSystem::RunFrame(16)) return 1;  // this frame lasts 16 ms: clock, frame, its sound
  }
  tuSystem::PressKey(tu::kKeyEscape, 1);  // ends the program as it would in a window
  bool ended = !tuSystem::RunToNextFrame();
  printf("the square went %.1f pixels; expected 192 (60 frames of 16 ms at 200 px/s)\n", x);
  printf("the sink heard %ld sound frames; expected 70560 (1.6 s at 44.1 kHz)\n", soundFrames);
  return ended && x > 191.0f && x < 193.0f && soundFrames == 70560 ? 0 : 1;
}
