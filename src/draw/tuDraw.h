#pragma once
#include <cstdint>

#include "shell/types.h"

// tuDraw: display, sprites, drawing into the back buffer, text, primitives, effects, frame end.
namespace tuDraw {

constexpr int kMaxSprites = 1024;

// Display, transition and wipe state read by the shell's frame loop and keyboard polling.
struct DrawState {
  int screenWidth = 0, screenHeight = 0;
  int displayDepth = 16;  // asked of a full-screen display; the desktop's depth when windowed
  tu::Rect clipRect;
  tu::Rect presentSourceRect;
  int waitForVBlank = 1;
  // Transitions and the scrolling view
  int fadeStep = 0, fadeDirection = 0, fadePattern = 0, fadeBand = 10;
  int scrollViewOn = 0;
  // Clip-rectangle wipe
  int wipeState = 0, wipeDone = 0, wipeAux = 0;
  tu::Rect wipeSaved;
  int wipeDirection = 0, wipePattern = 0, wipeBand = 0;
  float wipeSpeed = 0.0f;
};
extern DrawState draw;

// ---- Display
int Screen(int width, int height, int memoryMode);
void Release();
void SetClip(int left, int top, int right, int bottom);
void SetVSync(int on);
int DesktopDepth();

// ---- Sprites
int LoadObject(const char* name, int memoryKind);

// ---- Drawing into the back buffer
void Clear();
void Draw(int x, int y, int id, int left, int top, int right, int bottom);
void DrawOpaque(int x, int y, int id, int left, int top, int right, int bottom);

// ---- Text
int EnumFonts();
void FreeFonts();

// ---- Frame end: fade overlay, scrolling view, vertical-blank wait, copy to the window
void Present();

// ---- Clip-rectangle wipe
int StartWipe(int direction, int pattern, float speed, int band);
int StepWipe();
void EndWipe();

}  // namespace tuDraw
