// system_frame_loop: the smallest game. One scene moves a square with the arrow keys at 200
// pixels a second, whatever the frame rate, and presents each frame.
// Uses: tuSystem::Program, Main, sys.sceneEntered, sys.frameSeconds, GetKey, DrawFps;
//       tuDraw::Screen, Clear, Rect, PrintAt, Present.
// Keys: the arrows move the square; Escape ends the program (the library does that).
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

float x, y;
int left, right, up, down;  // key states: GetKey moves each along from frame to frame

void LoadAssets() {
  // The back buffer, placed by the driver; a failure shows the error box.
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSystem::sys.sceneNo = 1;  // the first scene
}

void Scene() {
  if (tuSystem::sys.sceneEntered) x = 320, y = 240;  // the scene's first frame
  tuSystem::GetKey(tu::kKeyLeft, &left);
  tuSystem::GetKey(tu::kKeyRight, &right);
  tuSystem::GetKey(tu::kKeyUp, &up);
  tuSystem::GetKey(tu::kKeyDown, &down);
  float step = 200.0f * tuSystem::sys.frameSeconds;  // the previous frame's length
  auto held = [](int state) { return state == tu::kKeyStatePressed || state == tu::kKeyStateHeld; };
  x += step * (held(right) - held(left));
  y += step * (held(down) - held(up));

  tuDraw::Clear();
  tuDraw::Rect(int(x) - 10, int(y) - 10, int(x) + 10, int(y) + 10, 0x00C0FF, 0xFFFFFF, 1);
  tuDraw::PrintAt(8, 460, "Arrows move the square; Escape ends");
  tuSystem::DrawFps();  // the frame meter, top left
  tuDraw::Present();  // waits for the display and shows the frame
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Frame loop";  // the window's caption
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
