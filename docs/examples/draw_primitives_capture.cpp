// draw_primitives_capture: lines, a hatched polygon and a Bezier curve on the back buffer;
// P writes the screen as a 24-bit BMP file into the user's own folder.
// Uses: tuDraw::Line, Polygon, Bezier, InvertRect, SaveScreen; tuSystem::UserFolder, Error.
// Keys: P saves a capture; Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include <cstdio>

namespace {

int pKey = 0;
float seconds = 0;

void Scene() {
  seconds += tuSystem::sys.frameSeconds;
  tuDraw::Clear();
  for (int w = 1; w <= 5; ++w) tuDraw::Line(40, 40 + w * 30, 300, 60 + w * 30, 0x40C0FF, w);
  tuDraw::Point star[5] = {{460, 60}, {520, 240}, {360, 130}, {560, 130}, {400, 240}};
  tuDraw::Polygon(star, 5, 0x00FFFF, 0x600030, 2, tuDraw::kHatchOpaque);  // gaps: the background
  tuDraw::Point curve[4] = {{40, 400}, {200, 200 + int(seconds * 50) % 200}, {400, 460}, {600, 300}};
  tuDraw::Bezier(curve, 4, 0xFF80FF, 3);  // 1 + 3n points
  tuDraw::InvertRect(0, 440, 640, 480);

  tuSystem::GetKey(tu::kKeyP, &pKey);
  if (pKey == tu::kKeyStatePressed) {
    const char* folder = tuSystem::UserFolder("primitives-example");
    char file[512];
    snprintf(file, sizeof file, "%scapture.bmp", folder ? folder : "");
    if (!folder || !tuDraw::SaveScreen(file, 640, 480))  // 0: nothing (whole) was written
      tuSystem::Error("primitives example", "the capture cannot be written", 0);
  }
  tuDraw::Present();
}

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSystem::sys.sceneNo = 1;
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Primitives and capture";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
