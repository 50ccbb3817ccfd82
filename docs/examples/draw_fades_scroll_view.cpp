// draw_fades_scroll_view: two scenes and the transitions between them, and the scrolling view.
// Return fades out into the other scene, which fades in (a different pattern each time); V
// shows a tall picture over a drifting tile, which the arrows scroll, and V hides it again.
// Expects view.bmp (640 wide, 1440 tall) and tile.bmp (64 x 48) beside the program.
// Uses: tuDraw::SetFade, FadeOut, FadeIn, ClearObject, SetScrollView, ToggleScrollView;
//       tuSystem::sys.nextSceneNo, sys.scrollKey.
// Keys: Return, V, arrows; Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

int pattern = tuDraw::kFadeRows, returnKey = 0, vKey = 0;

void Scene(int number, uint32_t colour) {
  tuSystem::SystemState& sys = tuSystem::sys;
  if (sys.sceneEntered) tuDraw::FadeIn();  // the overlay of the fade-out, taken away again
  if (tuDraw::draw.scrollViewOn) {
    // Keys go to the view while it shows.
    if (sys.scrollKey == tu::kKeyV) tuDraw::ToggleScrollView();
  } else {
    tuSystem::GetKey(tu::kKeyEnter, &returnKey);  // every key reads up during a fade
    tuSystem::GetKey(tu::kKeyV, &vKey);
    if (vKey == tu::kKeyStatePressed) tuDraw::ToggleScrollView();
  }
  tuDraw::Clear();
  tuDraw::Rect(100, 100, 540, 380, colour, 0xFFFFFF, 4);
  tuDraw::PrintFormat(120, 120, "Scene %d: Return for the next, fade pattern %d", number, pattern);
  if (returnKey == tu::kKeyStatePressed) {
    tuDraw::ClearObject(1);  // every pattern but the tile fade draws the Screen sprite: black here
    tuDraw::SetFade(pattern, 10);
    pattern = pattern % tuDraw::kFadeSpreadLeft + 1;  // kFadeRows .. kFadeSpreadLeft in turn
    sys.nextSceneNo = number == 1 ? 2 : 1;  // the frame loop switches when the fade ends
    tuDraw::FadeOut();
  }
  tuDraw::Present();  // draws the fade step and the view over the frame
}

void SceneOne() { Scene(1, 0x603010); }
void SceneTwo() { Scene(2, 0x106030); }

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuDraw::SetScrollView("view.bmp", "tile.bmp", 1440);  // black in them is transparent
  tuSystem::sys.sceneNo = 1;
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Fades and the scrolling view";
  program.loadAssets = LoadAssets;
  program.scenes[1] = SceneOne;
  program.scenes[2] = SceneTwo;
  return tuSystem::Main(argc, argv, program);
}
