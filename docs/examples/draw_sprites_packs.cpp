// draw_sprites_packs: pictures from a picture pack, drawn from their sheets. The pack is made
// from a folder of BMP files with `quorbistane_pack pictures pics.pak art/`; this program
// expects ship.bmp (three 32 x 32 frames side by side) in it, beside the program.
// Uses: tuDraw::SetColorKey, SetPackFile, LoadPack, Draw, DrawScaled, SetClip.
// Keys: Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

int ship = 0;  // a sprite id: 0 means the picture could not be loaded
float seconds = 0;

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuDraw::SetColorKey(0);  // black pixels of the pictures loaded from now on are transparent
  tuDraw::SetPackFile("pics.pak");
  ship = tuDraw::LoadPack("ship.bmp", tuDraw::kVideoMemory);  // any case; a failure: error box
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  seconds += tuSystem::sys.frameSeconds;
  int frame = int(seconds * 4) % 3;  // source rectangles are left, top, right, bottom
  tuDraw::Clear();
  if (ship) {
    tuDraw::Draw(100, 200, ship, frame * 32, 0, frame * 32 + 32, 32);
    tuDraw::DrawScaled(200, 150, ship, 0, 0, 96, 32, 288, 96);  // the whole sheet, three times
    tuDraw::SetClip(200, 150, 344, 246);  // every draw clips against the clip rectangle
    tuDraw::Draw(180 + int(seconds * 40) % 200, 260 - 96, ship, 32, 0, 64, 32);
    tuDraw::SetClip(0, 0, 640, 480);
  }
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Sprites and packs";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
