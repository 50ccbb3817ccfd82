// The gallery: five pages of the library's facilities. Tab turns the page through a fade of
// the next pattern (1 to 12 in turn) over a grab of the page left; Backspace goes back.
// Each page updates from the keys, composes what does not move into the sheet when it changes,
// and draws what moves every frame.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "showcase.h"

namespace showcase {

namespace {

constexpr int kPages = 5;
const char* const kPageNames[kPages] = {"Effect blitters", "Lines, polygons and curves", "Text boxes",
                                        "Sound objects and music", "The scrolling view"};
int page = 0;
bool pageEntered = false;
bool stale = false;  // the page's sheet must be composed again
int nextPattern = tuDraw::kFadeRows;
float seconds = 0.0f;  // on this page

// ---- Effect blitters: the landscape through twelve of them, each over a striped backdrop.

const char* const kEffectNames[12] = {"DrawHalf",  "DrawAdd",   "DrawSub",          "DrawGrey",
                                      "DrawBlur",  "DrawSwirl", "DrawRotateScaled", "DrawTint",
                                      "DrawNoise", "DrawFade",  "Mosaic",           "Emboss"};

void CellPlace(int i, int* x, int* y) {
  *x = 24 + (i % 4) * 154;
  *y = 56 + (i / 4) * 134;
}

void ComposeEffects() {
  for (int i = 0; i < 12; ++i) {
    int x, y;
    CellPlace(i, &x, &y);
    tuDraw::FillRectValue(x, y, x + 128, y + 96, Pixel(40, 60, 90));
    for (int k = 0; k < 6; ++k)
      tuDraw::Line(x + k * 28 - 40, y + 96, x + k * 28 + 40, y, Color(200, 120 + k * 20, 60), 5);
    Frame(x - 1, y - 1, x + 129, y + 97, Color(120, 130, 170));
    Label(x, y + 100, 14, Color(220, 220, 240), kEffectNames[i]);
  }
}

void DrawEffects() {
  const int id = pic.photo;
  if (!id) return;  // the picture did not load: the backdrops stay
  const int level = static_cast<int>(16.0f + 15.0f * std::sin(seconds * 1.5f));
  for (int i = 0; i < 12; ++i) {
    int x, y;
    CellPlace(i, &x, &y);
    switch (i) {
      case 0: tuDraw::DrawHalf(x, y, id, 0, 0, 128, 96); break;
      case 1: tuDraw::DrawAdd(x, y, id, 0, 0, 128, 96); break;
      case 2: tuDraw::DrawSub(x, y, id, 0, 0, 128, 96); break;
      case 3: tuDraw::DrawGrey(x, y, id, 0, 0, 128, 96); break;
      case 4: tuDraw::DrawBlur(x, y, id, 0, 0, 128, 96, 1); break;
      case 5:
        // The swirl costs a few trigonometric calls a pixel: it turns the middle of the picture only.
        tuDraw::DrawOpaque(x, y, id, 0, 0, 128, 96);
        tuDraw::DrawSwirl(x + 32, y + 16, id, 32, 16, 96, 80, 70, 0.09f, seconds * 3.0f);
        break;
      case 6:
        tuDraw::DrawRotateScaled(x, y, x + 128, y + 96, static_cast<int>(seconds * 45.0f) % 360,
                                 0.75f + 0.2f * std::sin(seconds), id, 0, 0, 128, 96);
        break;
      case 7: tuDraw::DrawTint(x, y, id, 0, 0, 128, 96, 1.15f, 0.95f, 0.65f, 1, 2, 31); break;
      case 8: tuDraw::DrawNoise(x, y, id, 0, 0, 128, 96, Pixel(255, 255, 255), level, 0); break;
      case 9: tuDraw::DrawFade(x, y, id, 0, 0, 128, 96, level); break;
      case 10:
        tuDraw::DrawOpaque(x, y, id, 0, 0, 128, 96);
        tuDraw::Mosaic(x + 64, y + 48, 40, 4 + static_cast<int>(seconds * 2.0f) % 8);
        break;
      default:
        tuDraw::DrawOpaque(x, y, id, 0, 0, 128, 96);
        tuDraw::Emboss(x, y, 128, 96);
        break;
    }
  }
}

// ---- Primitives: a fan of lines of every width, hatched polygons, Bezier curves, inversion.

void ComposeShapes() {
  Label(70, 380, 14, Color(200, 200, 220), "Line, widths 1 to 6");
  Label(250, 280, 14, Color(200, 200, 220), "Polygon, hatch 1 and 2");
  Label(470, 380, 14, Color(200, 200, 220), "Bezier, two segments");
  for (int i = 0; i < 8; ++i)  // a striped band under the second polygon
    tuDraw::Rect(250 + i * 18, 300, 268 + i * 18, 420, Color(30 + i * 25, 60, 160 - i * 12),
                 Color(30 + i * 25, 60, 160 - i * 12), 1);
}

void DrawShapes() {
  const float t = seconds;
  for (int i = 0; i < 12; ++i) {  // the fan: widths 1 to 6, turning
    float a = t * 0.6f + i * 0.26f;
    uint32_t c = Color(128 + static_cast<int>(120 * std::sin(a)), 128 + static_cast<int>(120 * std::sin(a + 2.1f)),
                       128 + static_cast<int>(120 * std::sin(a + 4.2f)));
    tuDraw::Line(130, 250, 130 + static_cast<int>(110 * std::cos(a)), 250 + static_cast<int>(110 * std::sin(a)), c,
                 1 + i / 2);
  }
  tuDraw::Point star[10];
  for (int i = 0; i < 10; ++i) {
    float a = t * 0.5f + i * 3.14159f / 5, r = i % 2 ? 40.0f : 95.0f;
    star[i] = {320 + static_cast<int>(r * std::cos(a)), 170 + static_cast<int>(r * std::sin(a))};
  }
  // The gaps of the cross hatch filled with the background colour.
  tuDraw::Polygon(star, 10, Color(255, 200, 80), Color(90, 30, 60), 2, tuDraw::kHatchOpaque);
  tuDraw::Point diamond[4] = {{320, 305}, {385, 360}, {320, 415}, {255, 360}};
  tuDraw::Polygon(diamond, 4, Color(120, 255, 160), 0, 3, tuDraw::kHatchTransparent);  // gaps see-through

  tuDraw::Point curve[7];
  for (int i = 0; i < 7; ++i)
    curve[i] = {440 + i * 30, 200 + static_cast<int>(110 * std::sin(t * (1.0f + 0.3f * i) + i))};
  for (int i = 0; i < 6; ++i)  // the control polygon
    tuDraw::Line(curve[i].x, curve[i].y, curve[i + 1].x, curve[i + 1].y, Color(90, 90, 120), 1);
  tuDraw::Bezier(curve, 7, Color(255, 120, 200), 3);
  for (const tuDraw::Point& p : curve) tuDraw::Rect(p.x - 3, p.y - 3, p.x + 3, p.y + 3, Color(255, 255, 255), Color(255, 255, 255), 1);

  int band = static_cast<int>(std::fmod(t * 120.0f, 700.0f)) - 60;
  tuDraw::InvertRect(band, 60, band + 24, 440);  // a band that inverts whatever it passes
  for (int i = 0; i < 30; ++i) tuDraw::SetPixel(rand() % 640, 44 + rand() % 410, Color(255, 255, 200));
}

// ---- Text boxes: styles composed into the sheet, and a paragraph revealed over them.

float revealDone = -1.0f;
const char kParagraph[] =
    "A text box lays its text out into the library's Font sprite,\n"
    "character by character, and stops at its bottom limit.\n"
    "RevealText then shows it a little more each frame, at the pace\n"
    "of frameSeconds, whatever the frame rate.";

void LayOutParagraph() {
  tuDraw::BeginText(tuDraw::kFaceMincho, 17, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(Color(255, 240, 200), Color(60, 30, 20), 1);
  tuDraw::TextBoxLayout(40, 334, 600, 450, kParagraph, tuDraw::kTextShadow | 4);
  tuDraw::EndText();
  revealDone = -1.0f;
}

void ComposeText() {
  tuDraw::BeginText(tuDraw::kFaceGothic, 20, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(Color(255, 220, 120), Color(120, 40, 40), 1);
  tuDraw::TextBox(30, 60, 320, 100, "Shadow (style 0x100)", tuDraw::kTextShadow);
  tuDraw::SetTextColors(Color(140, 220, 255), Color(20, 40, 80), 1);
  tuDraw::TextBox(30, 100, 320, 140, "Doubled (0x200 | 0x400)",
                  tuDraw::kTextDoubleRight | tuDraw::kTextDoubleDown);
  tuDraw::SetTextColors(Color(200, 255, 180), Color(0, 0, 0), 1);
  tuDraw::TextBox(30, 140, 300, 240, "Eight pixels more\nbetween the lines", 8);  // line spacing
  tuDraw::SetTextColors(Color(255, 255, 255), Color(0, 0, 0), 1);
  tuDraw::TextBox(30, 240, 320, 280, "日本語の文字も書けます。", 0);
  tuDraw::EndText();
  tuDraw::BeginSmoothText(tuDraw::kFaceGothic, 22);
  tuDraw::SetTextColors(Color(255, 200, 240), Color(0, 0, 0), 1);
  tuDraw::TextBoxSmooth(340, 60, 620, 200, "Smooth text: drawn twice\nthe size and reduced", 0);
  tuDraw::EndSmoothText();
  // Indexed by alignment: kAlignLeft, kAlignCentre, kAlignRight.
  static const char* const kAlign[3] = {"TextRect left", "TextRect centred", "TextRect right"};
  for (int a = 0; a < 3; ++a) {
    int top = 180 + a * 32;
    tuDraw::Rect(340, top, 620, top + 26, Color(30, 34, 70), Color(90, 100, 170), 1);
    tuDraw::BeginText(tuDraw::kFaceGothic, 16, 0, tuDraw::kWeightNormal, 0, 0);
    tuDraw::SetTextColors(Color(230, 230, 255), 0, 1);
    tuDraw::TextRect(346, top + 4, 614, top + 26, kAlign[a], a);
    tuDraw::EndText();
  }
  tuDraw::Rect(30, 322, 610, 452, Color(20, 14, 30), Color(120, 90, 60), 1);
}

void UpdateText() {
  // Again from the start two seconds after it was all shown (before anything is drawn: a
  // layout needs a text scope, and a scope no sprite drawing).
  if (!pageEntered && revealDone >= 0.0f && seconds - revealDone > 2.0f) LayOutParagraph();
}

void DrawText() {
  if (tuDraw::RevealText(0.04f) && revealDone < 0.0f) revealDone = seconds;
}

// ---- Sound objects: pan, frequency, volume and echo of the chime; the music's two sources.

int row = 0;
int pan = 0, frequency = 0, volume = 0, echoes = 3, sweep = 0;
int music = 0;  // 0 off, 1 streamed from the sound pack, 2 MIDI
const int kStep[5] = {1000, 1000, 250, 1, 1}, kLow[5] = {-10000, -11000, -4000, 0, 0},
          kHigh[5] = {10000, 22000, 0, 6, 1};
int* const kValues[5] = {&pan, &frequency, &volume, &echoes, &sweep};

void SetMusic(int mode) {
  music = mode;
  tuSound::StopMidi();
  tuSound::Stop(sfx.music, tuSound::kAllChannels);
  if (music == 1) tuSound::PlayLoop(sfx.music, 0);
  if (music == 2 && midiReady) tuSound::PlayMidi("theme.mid", 1);
}

void PlayChime() {
  if (echoes == 0) {
    // Settings for the channel the next start uses, then that start.
    tuSound::SetPan(sfx.chime, pan, tuSound::kNextChannel);
    tuSound::SetFrequency(sfx.chime, frequency, tuSound::kNextChannel);
    tuSound::SetVolume(sfx.chime, volume, tuSound::kNextChannel);
    tuSound::Play(sfx.chime, tuSound::kPlayNext);
    return;
  }
  tuSound::Play(sfx.chime, tuSound::kPlayEcho);  // starts the echo with every channel reset
  tuSound::SetFrequency(sfx.chime, frequency, tuSound::kAllChannels);
  tuSound::SetPan(sfx.chime, pan, tuSound::kAllChannels);
  tuSound::SetVolume(sfx.chime, volume, tuSound::kAllChannels);
}

void UpdateSound() {
  if (pageEntered) row = 0;
  int moved = Pressed(in.down) - Pressed(in.up);
  int change = Pressed(in.right) - Pressed(in.left);
  if (moved) row = (row + moved + 5) % 5;
  if (change) {
    int& v = *kValues[row];
    v += change * kStep[row];
    if (v < kLow[row]) v = kLow[row];
    if (v > kHigh[row]) v = kHigh[row];
  }
  if (Pressed(in.fire)) PlayChime();
  if (Pressed(LetterState('M'))) SetMusic((music + 1) % 3);
  stale = stale || moved || change || Pressed(LetterState('M'));
  if (sweep)
    tuSound::EchoSweep(sfx.chime, 220, echoes, 700, 5);  // every frame while an echo runs
  else
    tuSound::Echo(sfx.chime, 220, echoes, 700);
}

void ComposeSound() {
  static const char* const kRows[5] = {"Pan", "Frequency offset (Hz)", "Volume (1/100 dB)", "Echoes", "Sweep the echoes"};
  Label(60, 56, 16, Color(200, 210, 255), "The chime, six channels: arrows choose and change, X plays it");
  for (int i = 0; i < 5; ++i) {
    int y = 90 + i * 30, value = *kValues[i];
    char text[64];
    snprintf(text, sizeof text, "%s %d", kRows[i], value);
    Label(60, y, 16, i == row ? Color(255, 255, 255) : Color(160, 160, 190), text);
    tuDraw::Rect(280, y + 2, 580, y + 16, Color(20, 20, 40), i == row ? Color(255, 214, 120) : Color(70, 70, 110), 1);
    int x = 280 + static_cast<int>(300LL * (value - kLow[i]) / (kHigh[i] - kLow[i]));
    tuDraw::Rect(x - 3, y, x + 3, y + 18, Color(255, 160, 80), Color(255, 230, 200), 1);
  }
  // The speakers: the louder side is drawn larger.
  int left = 30 - pan / 500, right = 30 + pan / 500;
  tuDraw::Rect(90 - left / 2, 290 - left / 2, 90 + left / 2, 290 + left / 2, Color(90, 70, 140), Color(200, 180, 255), 2);
  tuDraw::Rect(550 - right / 2, 290 - right / 2, 550 + right / 2, 290 + right / 2, Color(90, 70, 140), Color(200, 180, 255), 2);
  static const char* const kMusic[3] = {"off", "streamed from the sound pack, looping from 4 s", "MIDI through the synthesiser"};
  char text[96];
  snprintf(text, sizeof text, "M: music %s", kMusic[music]);
  Label(60, 340, 16, Color(200, 255, 200), text);
  if (music == 1) {
    Label(60, 400, 14, Color(170, 200, 170), "The stream's four-second ring buffer and its play cursor");
    Frame(60, 372, 580, 390, Color(90, 160, 90));
  }
}

void DrawSound() {
  if (sfx.chime >= 0) {  // the echo that sounds next, read from the sound object table
    const tuSound::SoundObject& o = tuSound::snd.objects[sfx.chime];
    for (int i = 1; i <= echoes; ++i)
      tuDraw::Rect(230 + i * 28, 282, 248 + i * 28, 300, i < o.echoState ? Color(255, 200, 80) : Color(40, 40, 70),
                   Color(200, 200, 220), 1);
  }
  if (music == 1 && sfx.music >= 0) {
    const tuSound::StreamRecord& s = tuSound::snd.objects[sfx.music].stream;
    uint32_t size = s.bufferSize ? s.bufferSize : 1;
    int x = 60 + static_cast<int>(520ULL * (tuSound::GetPosition(sfx.music) % size) / size);
    tuDraw::Rect(x - 2, 368, x + 2, 394, Color(255, 255, 160), Color(255, 255, 160), 1);
  }
}

// ---- The scrolling view: a chart taller than the screen over a drifting tile grid.

bool waitForRelease = false;

void UpdateScroll() {
  if (tuDraw::draw.scrollViewOn) {
    // Keys go to scrollKey while the view is up: Return or Backspace puts it away.
    int key = tuSystem::sys.scrollKey;
    if (key == tu::kKeyEnter || key == tu::kKeyBackspace) {
      tuDraw::ToggleScrollView();
      waitForRelease = true;  // that key is still down when polling sees keys again
    }
  } else if (waitForRelease) {
    waitForRelease = Held(in.ok) || Held(in.back);
  } else if (Pressed(in.ok)) {
    tuDraw::ToggleScrollView();
  }
}

void ComposeScroll() {
  Label(60, 60, 16, Color(220, 220, 255), "Return shows a chart 1440 pixels tall over a drifting grid.");
  Label(60, 84, 16, Color(220, 220, 255), "Up and Down scroll it slowly, Left and Right a page at a time;");
  Label(60, 108, 16, Color(220, 220, 255), "Return or Backspace puts it away. Keys reach the view, not the page.");
  // A small copy of the chart.
  if (tuDraw::draw.viewSprite) tuDraw::DrawScaledOpaque(260, 140, tuDraw::draw.viewSprite, 0, 0, 640, 1440, 120, 270);
}

void DrawScroll() {
  // The part the view shows, on the small copy.
  int top = 140 + static_cast<int>(tuDraw::draw.scrollPos * 270.0f / 1440.0f);
  Frame(258, top, 382, top + 90, Color(255, 214, 120));
}

void TurnPage(int to) {
  // The page as it is now goes into the Screen sprite; the fade-in draws it over the next page
  // and takes it away in ten steps.
  tuDraw::GrabScreen(1, 0, 0, 640, 480);
  tuDraw::SetFade(nextPattern, 10);
  tuDraw::FadeIn();
  nextPattern = nextPattern % tuDraw::kFadeSpreadLeft + 1;  // kFadeRows .. kFadeSpreadLeft
  page = to;
  pageEntered = true;
  seconds = 0.0f;
}

}  // namespace

void GalleryScene() {
  tuSystem::SystemState& sys = tuSystem::sys;
  BeginFrame();
  if (sys.sceneEntered) {
    page = 0;
    pageEntered = true;
    seconds = 0.0f;
    SetMusic(0);  // the sound page switches music on
    tuDraw::SetFade(tuDraw::kFadeTile, 10);
    tuDraw::FadeIn();
  }
  seconds += sys.frameSeconds;
  if (page == 2) UpdateText();
  if (page == 3) UpdateSound();
  if (page == 4) UpdateScroll();
  if (pageEntered || stale) {
    BeginSheet();
    if (page == 0) ComposeEffects();
    if (page == 1) ComposeShapes();
    if (page == 2) ComposeText();
    if (page == 3) ComposeSound();
    if (page == 4) ComposeScroll();
    char title[80];
    snprintf(title, sizeof title, "Gallery %d/%d: %s", page + 1, kPages, kPageNames[page]);
    Heading(title, "Tab next page   Backspace title   P capture   Esc quits");
    EndSheet();
    // The paragraph is laid out after the sheet: the sheet's text boxes use the same Font sprite.
    if (page == 2 && pageEntered) LayOutParagraph();
    stale = false;
  }
  if (page == 4 && tuDraw::draw.scrollViewOn) {
    tuDraw::Clear();  // the view covers the page; its black parts show the drifting grid
  } else {
    DrawSheet(true);
    if (page == 0) DrawEffects();
    if (page == 1) DrawShapes();
    if (page == 2) DrawText();
    if (page == 3) DrawSound();
    if (page == 4) DrawScroll();
  }
  pageEntered = false;
  if (Pressed(in.next)) {
    EndFrame();  // this frame shows the old page; the grab below is what it showed
    TurnPage((page + 1) % kPages);
    return;
  }
  // Backspace that put the scrolling view away is not also a way back to the title.
  if (Pressed(in.back) && !(page == 4 && waitForRelease)) GoToScene(kTitleScene);
  EndFrame();
}

}  // namespace showcase
