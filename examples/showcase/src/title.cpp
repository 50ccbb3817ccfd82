// The title: MIDI music, a turning emblem, the menu, the best score and an introduction that
// is revealed a character at a time.
#include <cmath>
#include <cstdio>

#include "showcase.h"

namespace showcase {

namespace {

const char* const kItems[3] = {"Play Comet Garden", "Gallery of the library", "Quit"};
// Text boxes break lines at any character: the lines are broken by hand, between words.
const char kIntro[] =
    "Everything here is drawn, mixed and played by the tu library:\n"
    "picture and sound packs, streamed and MIDI music, text boxes,\n"
    "primitives, effect blitters, fades and the scrolling view.\n"
    "Arrows choose, Return or X starts, P saves a capture, Esc ends.";

int choice = 0;
float seconds = 0.0f;  // in this scene

// Far stars drifting down, tiled by hand across the screen.
void DrawStarfield(float offset) {
  if (!pic.stars) return;
  int dy = static_cast<int>(offset) % 128;
  for (int y = -128 + dy; y < 480; y += 128)
    for (int x = 0; x < 640; x += 128) tuDraw::Draw(x, y, pic.stars, 0, 0, 128, 128);
}

// The title, the menu with its chosen item, and the best score: composed when they change.
void ComposeSheet() {
  BeginSheet();
  Label(182, 226, 44, Color(40, 20, 70), "Tu Showcase");  // its shadow first
  Label(178, 222, 44, Color(255, 214, 120), "Tu Showcase");
  for (int i = 0; i < 3; ++i) {
    int y = 282 + i * 22;
    if (i == choice) tuDraw::Rect(200, y - 2, 440, y + 20, Color(70, 40, 110), Color(70, 40, 110), 1);
    Label(216, y, 16, i == choice ? Color(255, 255, 255) : Color(170, 170, 200), kItems[i]);
  }
  char best[48];
  snprintf(best, sizeof best, "Best score %d", BestScore());
  Label(500, 20, 14, Color(150, 200, 150), best);
  EndSheet();
}

}  // namespace

void TitleScene() {
  tuSystem::SystemState& sys = tuSystem::sys;
  BeginFrame();
  bool compose = sys.sceneEntered;
  if (sys.sceneEntered) {
    seconds = 0.0f;
    tuSound::Stop(sfx.music, tuSound::kAllChannels);
    if (midiReady) tuSound::PlayMidi("theme.mid", 1);  // loops until another scene stops it
    tuDraw::SetFade(tuDraw::kFadeTile, 10);
    tuDraw::FadeIn();
  }
  seconds += sys.frameSeconds;

  int moved = Pressed(in.down) - Pressed(in.up);
  if (moved) {
    choice = (choice + moved + 3) % 3;
    compose = true;
    // The blip sounds from the side of the item and higher up the list.
    tuSound::SetPan(sfx.blip, (choice - 1) * 4000, tuSound::kNextChannel);
    tuSound::SetFrequency(sfx.blip, (2 - choice) * 3000, tuSound::kNextChannel);
    tuSound::Play(sfx.blip, tuSound::kPlayNext);
  }
  if (Pressed(in.ok)) {
    tuSound::Play(sfx.chime, tuSound::kPlayNext);
    if (choice == 0) GoToScene(kPlayScene);
    if (choice == 1) GoToScene(kGalleryScene);
    if (choice == 2) tuSystem::Exit();
  }
  if (compose) {
    ComposeSheet();
    // Laid out into the library's Font sprite (after the sheet, whose text would overwrite it);
    // RevealText shows a little more of it each frame.
    if (sys.sceneEntered) {
      tuDraw::BeginText(tuDraw::kFaceGothic, 15, 0, tuDraw::kWeightNormal, 0, 0);
      tuDraw::SetTextColors(Color(230, 222, 200), Color(50, 30, 90), 1);
      tuDraw::TextBoxLayout(34, 352, 620, 474, kIntro, tuDraw::kTextShadow | 3);
      tuDraw::EndText();
    }
  }

  tuDraw::Clear();
  DrawStarfield(seconds * 12.0f);
  if (pic.emblem) {
    int angle = static_cast<int>(seconds * 24.0f) % 360;
    float scale = 1.0f + 0.08f * std::sin(seconds * 1.7f);
    tuDraw::DrawRotateScaled(230, 36, 410, 216, angle, scale, pic.emblem, 0, 0, 128, 128);
  }
  DrawSheet(false);
  int y = 282 + choice * 22;
  Frame(200, y - 2, 440, y + 20, sys.blinkOn ? Color(255, 214, 120) : Color(120, 90, 60));
  tuDraw::RevealText(0.015f);
  EndFrame();
}

}  // namespace showcase
