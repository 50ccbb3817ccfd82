// sound_objects: one sound, four mix channels, played from where the cursor is: the pan follows
// it left and right, the pitch up and down; Space adds an echo that sweeps across.
// Expects chime.wav beside the program. Without a sound device everything here is silent.
// Uses: tuSound::LoadObject, SetPan, SetFrequency, SetVolume, Play, Echo (ids: -1 = failed).
// Keys: arrows move the cursor, Return plays, Space plays with an echo; Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

namespace {

int chime = -1;
int x = 320, y = 240, keys[256];

void LoadAssets() {
  tuDraw::Screen(640, 480, 1);          // also opens the sound device
  chime = tuSound::LoadObject("chime.wav", 4);  // 2..10 channels can echo
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  static const int kPolled[] = {13, 32, 37, 38, 39, 40};
  for (int vk : kPolled) tuSystem::GetKey(vk, &keys[vk]);
  auto held = [](int state) { return state == 1 || state == 3; };  // pressed, or held on
  x += 4 * (held(keys[39]) - held(keys[37]));
  y += 4 * (held(keys[40]) - held(keys[38]));
  if (keys[13] == 1) {
    // Channel selector -2: the channel the next start takes; Play(id, -1) then starts it.
    tuSound::SetPan(chime, (x - 320) * 30, -2);         // -10000 left .. 10000 right
    tuSound::SetFrequency(chime, (240 - y) * 40, -2);    // Hz above the recorded rate
    tuSound::SetVolume(chime, -(y > 400 ? 1500 : 0), -2); // hundredths of a decibel, down to -10000
    tuSound::Play(chime, -1);
  }
  if (keys[32] == 1) tuSound::Play(chime, -2);  // -2 on Play starts the echo
  tuSound::Echo(chime, 200, 3, 800);  // every frame: three echoes 200 ms apart, 8 dB quieter each
  tuDraw::Clear();
  tuDraw::Rect(x - 6, y - 6, x + 6, y + 6, 0x00FFFF, 0xFFFFFF, 1);
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Sound objects";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
