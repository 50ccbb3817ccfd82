#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include "platform/window.h"
#include "system/frame_keys.h"

namespace tuSystem {

using namespace tu::platform;

namespace {
int Low16(intptr_t l) { return static_cast<int16_t>(static_cast<uint32_t>(l) & 0xFFFF); }
int High16(intptr_t l) { return static_cast<int16_t>((static_cast<uint32_t>(l) >> 16) & 0xFFFF); }
int ULow16(intptr_t l) { return static_cast<int>(static_cast<uint32_t>(l) & 0xFFFF); }
int UHigh16(intptr_t l) { return static_cast<int>((static_cast<uint32_t>(l) >> 16) & 0xFFFF); }

int DisplayWidth() { return tuDraw::draw.screenWidth ? tuDraw::draw.screenWidth : sys.windowWidth; }
int DisplayHeight() {
  return tuDraw::draw.screenHeight ? tuDraw::draw.screenHeight : sys.windowHeight;
}

void ShowCursorIfHidden() {
  if (!sys.cursorShown) {
    tu::platform::ShowCursor(true);
    sys.cursorShown = 1;
  }
}
}  // namespace

void KeyDownHandler(int vk) {
  if (tuDraw::draw.scrollViewOn) {
    sys.scrollKey = vk;
  } else {
    sys.heldKey = vk;
    sys.lastKey = vk;
  }
  if (vk == tu::kKeyEscape && CurrentProgram().escapeQuits) Exit();
}

void ClipCursorToClient() {
  if (sys.fullScreen)
    tu::platform::ConfineCursor(0, 0, DisplayWidth(), DisplayHeight());
  else
    tu::platform::ConfineCursor(sys.clientX, sys.clientY, sys.clientX + DisplayWidth(),
                            sys.clientY + DisplayHeight());
  sys.cursorClipped = 1;
}

void UnclipCursor() {
  tu::platform::UnconfineCursor();
  sys.cursorClipped = 0;
}

int CursorClipped() { return sys.cursorClipped; }

intptr_t WndProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  int code = static_cast<int>(wParam);
  NoteKeyMessage(message, code);
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_MOVE:
      sys.clientX = Low16(lParam);
      sys.clientY = High16(lParam);
      sys.clientRect = {sys.clientX, sys.clientY, sys.clientX + DisplayWidth(),
                        sys.clientY + DisplayHeight()};
      if (sys.cursorClipEnabled) ClipCursorToClient();
      return 0;
    case WM_CLOSE:
      if (sys.closeState == 0) sys.closeState = 1;
      if (sys.closeState < 2) Exit();
      DestroyMainWindow();
      WndProc(WM_DESTROY, 0, 0);  // the host sends destroy from inside the destruction
      return 0;
    case WM_ACTIVATEAPP:
      if (wParam == 0) {
        sys.isActive = 0;
        ShowCursorIfHidden();
        if (sys.cursorClipEnabled) UnclipCursor();
      } else if (!sys.dialogMode) {
        sys.isActive = 1;
        ResetFrameTime();
        if (sys.cursorClipEnabled) ClipCursorToClient();
        OnActivate(1);
      }
      return 0;
    case WM_SETCURSOR:
      if (sys.fullScreen && !sys.messageBoxUp) {
        tu::platform::ShowCursor(false);
        return 1;
      }
      return 0;
    case WM_KEYDOWN:
      if (sys.keyCaptureMode == 0)
        KeyDownHandler(code);
      else
        sys.capturedKey = code;
      return 0;
    case WM_KEYUP:  // a release with Alt held comes as a system key-up and is not seen here
      if (sys.heldKey == code) sys.heldKey = 0;
      if (sys.scrollKey == code) sys.scrollKey = 0;
      if (sys.capturedKey == code) sys.capturedKey = 0;
      if (code == tu::kKeyShift) sys.shiftToggle = !sys.shiftToggle;
      if (code == sys.watchedKey) ++sys.watchedKeyReleases;
      return 0;
    case WM_SYSKEYDOWN:
      if (sys.sysKeyMode == 0 || (sys.sysKeyMode == 2 && code == tu::kKeyAlt)) return 0;
      return WndProc(WM_KEYDOWN, wParam, lParam);
    case WM_SYSCOMMAND:
      return 0;  // the screen saver request is refused; nothing else arrives here
    case WM_MOUSEMOVE:
      sys.mouseX = ULow16(lParam);
      sys.mouseY = UHigh16(lParam);
      return 0;
    case WM_LBUTTONDOWN:
      if (sys.keyCaptureMode == 0) {
        sys.leftHeld = sys.leftPressed = sys.leftLatch = 1;
        sys.buttonState = tu::kMouseLeft;
        sys.lastButton = tu::kMouseLeft;
      } else {
        sys.capturedClick = 1;
      }
      return 0;
    case WM_LBUTTONUP:
      sys.leftHeld = 0;
      if (sys.buttonState == tu::kMouseLeft) sys.buttonState = 0;
      sys.capturedClick = 0;
      return 0;
    case WM_LBUTTONDBLCLK:
      if (sys.keyCaptureMode == 0) sys.leftDoubleClick = 1;
      return 0;
    case WM_RBUTTONDOWN:
      if (sys.keyCaptureMode == 0) {
        sys.rightHeld = sys.rightPressed = sys.rightLatch = 1;
        sys.buttonState = tu::kMouseRight;
        sys.lastButton = tu::kMouseRight;
      }
      return 0;
    case WM_RBUTTONUP:
      sys.rightHeld = 0;
      if (sys.buttonState == tu::kMouseRight) sys.buttonState = 0;
      return 0;
    case WM_RBUTTONDBLCLK:
      if (sys.keyCaptureMode == 0) sys.rightDoubleClick = 1;
      if (sys.cursorClipEnabled) {
        if (sys.cursorClipped)
          UnclipCursor();
        else
          ClipCursorToClient();
      }
      return 0;
    case WM_HOTKEY:
      if (sys.keyCaptureMode == 0) {
        if (wParam == 0xBF01) KeyDownHandler(tu::kKeyPrintScreen);
        if (wParam == 0xBF02) KeyDownHandler(257);
      }
      return 0;
    case MM_MCINOTIFY:
      tuSound::MidiNotifyMessage(static_cast<int>(wParam));
      return 0;
    default:
      return 0;
  }
}

}  // namespace tuSystem
