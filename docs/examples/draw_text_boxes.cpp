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
  tuDraw::BeginText(1, 18, 0, 0, 0, 0);  // face 1: the Gothic face, 18 pixels high
  tuDraw::SetTextColors(0xC0F0FF, 0x402000, 1);  // text, shadow; 1: transparent background
  tuDraw::TextBoxLayout(40, 200, 600, 440,
                        "A text box wraps its words at its right limit and stops at its bottom "
                        "one. RevealText shows one more character every few hundredths of a second.",
                        0x100 | 4);  // a shadow, four pixels between the lines
  tuDraw::EndText();
}

void Scene() {
  tuSystem::GetKey(13, &returnKey);
  if (tuSystem::sys.sceneEntered || returnKey == 1) LayOut();
  tuDraw::Clear();
  tuDraw::BeginText(0, 28, 0, 1, 0, 0);  // face 0: the Mincho face, bold
  tuDraw::SetTextColors(0x80D0FF, 0, 1);
  tuDraw::Text(40, 40, "Text boxes");
  tuDraw::EndText();
  tuDraw::RevealText(0.03f);  // 1 once every character shows
  tuDraw::Present();
}

void LoadAssets() {
  tuDraw::Screen(640, 480, 1);
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
