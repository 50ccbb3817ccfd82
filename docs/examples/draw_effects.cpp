// draw_effects: six of the software effect blitters on one picture, which the program draws
// itself with primitives and grabs into a sprite at start-up. They work on 16-bit desktops
// (the library's default) and return 0 where they cannot draw.
// Uses: tuDraw::CreateObject, GrabScreen, DrawAdd, DrawGrey, DrawBlur, DrawSwirl,
//       DrawRotateScaled, Mosaic.
// Keys: Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

int picture = 0;
float seconds = 0;

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  // A black sprite: the id, or 0 after a report.
  picture = tuDraw::CreateObject(128, 96, tuDraw::kVideoMemory);
  tuDraw::Rect(0, 0, 128, 96, 0x804020, 0x804020, 1);
  tuDraw::Rect(20, 16, 108, 80, 0x30C0FF, 0xFFFFFF, 3);
  tuDraw::Line(0, 96, 128, 0, 0x40FF40, 5);
  tuDraw::GrabScreen(picture, 0, 0, 128, 96);  // that corner of the back buffer, into the sprite
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  seconds += tuSystem::sys.frameSeconds;
  tuDraw::Clear();
  tuDraw::Rect(0, 0, 640, 480, 0x402010, 0x402010, 1);  // a backdrop to blend with
  tuDraw::DrawAdd(40, 40, picture, 0, 0, 128, 96);       // additive
  tuDraw::DrawGrey(256, 40, picture, 0, 0, 128, 96);
  tuDraw::DrawBlur(472, 40, picture, 0, 0, 128, 96, 3);  // box blur of 7 x 7
  tuDraw::DrawSwirl(40, 260, picture, 0, 0, 128, 96, 60, 0.08f, seconds * 3);
  int angle = int(seconds * 90) % 360;  // degrees, clockwise
  tuDraw::DrawRotateScaled(256, 260, 384, 356, angle, 0.8f, picture, 0, 0, 128, 96);
  tuDraw::DrawOpaque(472, 260, picture, 0, 0, 128, 96);
  tuDraw::Mosaic(536, 308, 40, 8);  // an area filter over what is already on the back buffer
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Effects";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
