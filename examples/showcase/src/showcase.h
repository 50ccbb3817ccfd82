#pragma once
// The showcase: a title, a small scrolling shooter and a gallery of the library's facilities,
// built only on the installed tu package.
#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include <cstdint>

namespace showcase {

// Scene numbers of the frame loop.
constexpr int kTitleScene = 1, kPlayScene = 2, kGalleryScene = 3;

// Sprite ids of the picture pack's entries and sound ids of the sound pack's; 0 (sprites) or
// -1 (sounds) where loading failed: the showcase runs on without them.
struct Pictures {
  int ship, enemy, shots, blast, stars, nebula, emblem, photo, curtain;
};
struct Sounds {
  int laser, boom, chime, blip, whoosh, music;  // music is streamed from the pack
};
extern Pictures pic;
extern Sounds sfx;
extern bool midiReady;  // theme.mid is there to play

// The controls of one frame as key states (tu::kKeyState...): the keyboard and the first
// joystick together.
struct Controls {
  int left, right, up, down;
  int fire;     // X, Space or button 1
  int bomb;     // Z or button 2
  int ok;       // Return, X or button 1
  int back;     // Backspace or button 2
  int next;     // Tab or button 3: the gallery's next page
  int capture;  // P or button 4
};
extern Controls in;
// Letter keys a page reads besides the controls (M, ...): their own key state.
int LetterState(char letter);
bool Pressed(int state);  // the first frame of a press
bool Held(int state);     // pressed or held

// Every scene begins and ends its frame with these: the first polls the controls and writes a
// capture asked for in the frame before (the picture as it was presented); the second draws
// the frame meter and the capture notice, refills the streamed music and presents.
void BeginFrame();
void EndFrame();
// A tile fade-out into another scene; that scene fades in when it is entered.
void GoToScene(int scene);
// The user's files: best score, captures, in the user's own folder (made at start-up).
void OpenUserFolder();
// The full path of a file there; null when the folder could not be made.
const char* UserFile(const char* name);
int BestScore();
void KeepBestScore(int score);

// Drawing helpers over the library.
uint32_t Color(int r, int g, int b);  // a host colour value 0x00BBGGRR
int Pixel(int r, int g, int b);       // a pixel value of the back buffer's format
void Label(int x, int y, int height, uint32_t color, const char* text);  // one text scope
void Heading(const char* title, const char* keys);  // the gallery's and the game's top line
void Frame(int left, int top, int right, int bottom, uint32_t color);  // a hollow rectangle

// The unchanging part of a scene's picture (headings, labels, backdrops) is drawn once, when it
// changes, and copied every frame: text costs far more to draw than a copy of the screen.
// BeginSheet clears the back buffer to compose on; EndSheet keeps it in a sprite and clears the
// back buffer again; DrawSheet copies it, opaque or with black left transparent.
void BeginSheet();
void EndSheet();
void DrawSheet(bool opaque);
void FillCurtain();  // the curtain picture into the Screen sprite, for pattern fades

void LoadAssets();
void TitleScene();
void PlayScene();
void GalleryScene();

// The showcase driving itself without a display: a scripted key sequence through every
// scene, a capture of each; returns the process exit code.
int Autoplay(const tuSystem::Program& program);

}  // namespace showcase
