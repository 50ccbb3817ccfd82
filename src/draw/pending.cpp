// Placeholder definitions of the display routines the shell and the game call, until the
// graphics modules provide them: the display is sized, nothing is drawn or shown.
#include "draw/tuDraw.h"
#include "shell/tuSystem.h"

namespace tuDraw {

DrawState draw;

int Screen(int width, int height, int /*memoryMode*/) {
  tuSystem::sys.errorFlag = 0;
  if (width == -1) {
    width = tuSystem::sys.windowWidth;
    height = tuSystem::sys.windowHeight;
  }
  draw.screenWidth = width;
  draw.screenHeight = height;
  SetClip(0, 0, width, height);
  draw.presentSourceRect = {0, 0, width, height};
  tuSystem::sys.clientRect = {tuSystem::sys.clientX, tuSystem::sys.clientY,
                              tuSystem::sys.clientX + width, tuSystem::sys.clientY + height};
  tuSystem::ResetWaits();
  tuSystem::sys.keyCaptureMode = 0;
  tuSystem::sys.heldKey = 0;
  tuSystem::sys.sysKeyMode = 0;
  return 1;
}
void Release() {}
void SetClip(int left, int top, int right, int bottom) { draw.clipRect = {left, top, right, bottom}; }
void SetVSync(int on) { draw.waitForVBlank = on; }
int DesktopDepth() { return 16; }
int LoadObject(const char*, int) { return 0; }
void Clear() {}
void Draw(int, int, int, int, int, int, int) {}
void DrawOpaque(int, int, int, int, int, int, int) {}
void Present() {}
int StartWipe(int, int, float, int) { return 0; }
int StepWipe() { return 0; }
void EndWipe() {}
int EnumFonts() { return 0; }
void FreeFonts() {}

}  // namespace tuDraw
