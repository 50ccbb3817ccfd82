// system_keys_joystick: the keyboard and the first joystick side by side. The stick or the
// arrows move a cursor; a button or Space changes its colour; a wait slot blinks it.
// Uses: tuSystem::GetKey, GetJoyAxes, GetJoyButton, SetWait, CheckWait; tuDraw::Rect.
// Keys: arrows, Space; joystick 0: stick, button 1. Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

int x = 320, y = 240, colour = 0, shown = 1;
int keys[256];  // one key state per key code polled

bool Held(int state) { return state == tu::kKeyStatePressed || state == tu::kKeyStateHeld; }

void LoadAssets() {
  // Also finds the joysticks and takes their centres.
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSystem::SetWait(1, 400);  // wait slot 1: 400 ms from now
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  static const int kPolled[] = {tu::kKeySpace, tu::kKeyLeft, tu::kKeyUp, tu::kKeyRight,
                                tu::kKeyDown};
  for (int vk : kPolled) tuSystem::GetKey(vk, &keys[vk]);
  int jx = 0, jy = 0;  // -1, 0 or 1 on each axis; 0, 0 without a joystick
  tuSystem::GetJoyAxes(0, &jx, &jy);
  x += 4 * (Held(keys[tu::kKeyRight]) - Held(keys[tu::kKeyLeft]) + jx);
  y += 4 * (Held(keys[tu::kKeyDown]) - Held(keys[tu::kKeyUp]) + jy);
  bool pressed = keys[tu::kKeySpace] == tu::kKeyStatePressed;
  if (pressed || tuSystem::GetJoyButton(0, 1) == tu::kKeyStatePressed) colour = (colour + 1) % 3;
  if (tuSystem::CheckWait(1)) {
    shown = !shown;
    tuSystem::SetWait(1, 400);
  }
  static const uint32_t kColours[3] = {0x0000FF, 0x00FF00, 0xFF0000};  // 0x00BBGGRR
  tuDraw::Clear();
  if (shown) tuDraw::Rect(x - 8, y - 8, x + 8, y + 8, kColours[colour], 0xFFFFFF, 1);
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Keys and joystick";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
