// draw_text_boxes: text in three ways: a line in a text scope, a styled text box, and a text
// box revealed a character at a time (again when Return is pressed).
// Uses: tuDraw::BeginText, SetTextColors, Text, TextBox, TextBoxLayout, EndText, RevealText.
// Keys: Return starts the reveal again; Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

int returnKey = 0;

// Lays the paragraph out into the library's Font sprite without drawing it. Text boxes are
// called inside a scope; a scope ends before any sprite is drawn to the back buffer.
void LayOut() {
  tuDraw::BeginText(tuDraw::kFaceGothic, 18, 0, tuDraw::kWeightNormal, 0, 0);  // 18 pixels high
  tuDraw::SetTextColors(0xC0F0FF, 0x402000, 1);  // text, shadow; 1: transparent background
  tuDraw::TextBoxLayout(40, 200, 600, 440,
                        "A text box wraps its words at its right limit and stops at its bottom "
                        "one. RevealText shows one more character every few hundredths of a second.",
                        tuDraw::kTextShadow | 4);  // four pixels between the lines
  tuDraw::EndText();
}

void Scene() {
  tuSystem::GetKey(tu::kKeyEnter, &returnKey);
  if (tuSystem::sys.sceneEntered || returnKey == tu::kKeyStatePressed) LayOut();
  tuDraw::Clear();
  tuDraw::BeginText(tuDraw::kFaceMincho, 28, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(0x80D0FF, 0, 1);
  tuDraw::Text(40, 40, "Text boxes");
  tuDraw::EndText();
  tuDraw::RevealText(0.03f);  // 1 once every character shows
  tuDraw::Present();
}

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSystem::sys.sceneNo = 1;
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Text boxes";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
