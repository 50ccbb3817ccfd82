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
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);  // also opens the sound device
  chime = tuSound::LoadObject("chime.wav", 4);           // 2..10 channels can echo
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  static const int kPolled[] = {tu::kKeyEnter, tu::kKeySpace, tu::kKeyLeft,
                                tu::kKeyUp,    tu::kKeyRight, tu::kKeyDown};
  for (int vk : kPolled) tuSystem::GetKey(vk, &keys[vk]);
  auto held = [](int state) { return state == tu::kKeyStatePressed || state == tu::kKeyStateHeld; };
  x += 4 * (held(keys[tu::kKeyRight]) - held(keys[tu::kKeyLeft]));
  y += 4 * (held(keys[tu::kKeyDown]) - held(keys[tu::kKeyUp]));
  if (keys[tu::kKeyEnter] == tu::kKeyStatePressed) {
    // The setters on the channel the next start takes; Play with kPlayNext then starts it.
    tuSound::SetPan(chime, (x - 320) * 30, tuSound::kNextChannel);  // -10000 left .. 10000 right
    tuSound::SetFrequency(chime, (240 - y) * 40, tuSound::kNextChannel);  // Hz above its rate
    // Hundredths of a decibel, down to -10000.
    tuSound::SetVolume(chime, -(y > 400 ? 1500 : 0), tuSound::kNextChannel);
    tuSound::Play(chime, tuSound::kPlayNext);
  }
  if (keys[tu::kKeySpace] == tu::kKeyStatePressed) tuSound::Play(chime, tuSound::kPlayEcho);
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
