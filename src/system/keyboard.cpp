#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/keyboard.h"
#include "platform/window.h"
#include "system/frame_keys.h"

namespace tuSystem {

int NextKeyState(int state, bool down) {
  if (down) return state == tu::kKeyStateUp ? tu::kKeyStatePressed : tu::kKeyStateHeld;
  return (state == tu::kKeyStatePressed || state == tu::kKeyStateHeld) ? tu::kKeyStateReleased : tu::kKeyStateUp;
}

namespace {
bool RawDown(int vk) {
  bool driven = vk >= 0 && vk < 256 && sys.drivenKeys[vk] != 0;
  return driven ? sys.drivenKeys[vk] == 2 : (tu::platform::KeyDownState(vk) & 0x80) != 0;
}
// Fades, the scrolling view and key capture hide the keys from polling.
bool KeysHidden() { return tuDraw::draw.fadeStep != 0 || tuDraw::draw.scrollViewOn || sys.keyCaptureMode; }
}  // namespace

void GetKey(int vk, int* state) {
  if (!state) return;
  *state = KeysHidden() ? tu::kKeyStateUp : NextKeyState(*state, RawDown(vk));
}

bool KeyDownNow(int vk) { return !KeysHidden() && RawDown(vk); }

void GetKey(int vk, tu::KeyState* state) {
  if (!state) return;
  int s = static_cast<int>(*state);
  GetKey(vk, &s);
  *state = static_cast<tu::KeyState>(s);
}

namespace {
bool ValidKey(int vk) { return vk > 0 && vk < 256; }
constexpr uint8_t kFrameKeyNow = 8;  // the key's own state when the frame was taken
}  // namespace

void NoteKeyMessage(uint32_t message, int vk) {
  if (!ValidKey(vk)) return;
  uint8_t& e = sys.keyEdges[vk];
  if (message == tu::platform::WM_KEYDOWN || message == tu::platform::WM_SYSKEYDOWN) {
    if (!(e & kKeyEdgeHeld)) e |= kKeyEdgeDown | kKeyEdgeHeld;
  } else if (message == tu::platform::WM_KEYUP || message == tu::platform::WM_SYSKEYUP) {
    if (e & kKeyEdgeHeld) e = static_cast<uint8_t>((e & ~kKeyEdgeHeld) | kKeyEdgeUp);
  }
}

void TakeFrameKeys() {
  const bool hidden = KeysHidden();
  for (int vk = 1; vk < 256; ++vk) {
    bool driven = sys.drivenKeys[vk] != 0;
    bool now = driven ? sys.drivenKeys[vk] == 2 : (tu::platform::KeyDownState(vk) & 0x80) != 0;
    bool was = (sys.frameKeys[vk] & kFrameKeyNow) != 0;
    uint8_t& e = sys.keyEdges[vk];
    // A press between the frames counts even when the key is up again by now, and a release
    // even when it is down again.
    bool pressed = (!was && now) || (e & kKeyEdgeDown);
    bool released = ((was || pressed) && !now) || (e & kKeyEdgeUp);
    // A key that is up has no press of its messages pending, whichever message was lost.
    e = now ? (e & kKeyEdgeHeld) : 0;
    uint8_t bits = now ? kFrameKeyNow : 0;
    if (now || pressed) bits |= kFrameKeyDown;
    if (pressed) bits |= kFrameKeyPressed;
    if (released) bits |= kFrameKeyReleased;
    // Hidden keys read up, and a key held through reads pressed afterwards.
    sys.frameKeys[vk] = hidden ? 0 : bits;
  }
}

bool IsKeyPressed(int vk) { return ValidKey(vk) && (sys.frameKeys[vk] & kFrameKeyPressed); }
bool IsKeyDown(int vk) { return ValidKey(vk) && (sys.frameKeys[vk] & kFrameKeyDown); }
bool IsKeyReleased(int vk) { return ValidKey(vk) && (sys.frameKeys[vk] & kFrameKeyReleased); }

tu::KeyState KeyStateOf(int vk) {
  if (IsKeyPressed(vk)) return tu::KeyState::Pressed;
  if (IsKeyReleased(vk)) return tu::KeyState::Released;
  return IsKeyDown(vk) ? tu::KeyState::Held : tu::KeyState::Up;
}

void DriveKey(int vk, int down) {
  if (vk >= 0 && vk < 256) sys.drivenKeys[vk] = down ? 2 : 1;
}

void ReleaseDrivenKeys() {
  for (uint8_t& k : sys.drivenKeys) k = 0;
}

const char* KeyName(int vk) { return tu::platform::KeyNameOf(vk); }

int KeyFromName(const char* name) { return tu::platform::VirtualKeyFromName(name); }

int GetTrigger(const int* codes) {
  if (sys.triggerState == 0 && sys.heldKey == 0 && sys.buttonState == 0) sys.triggerState = 1;
  if (sys.triggerState == 1 && codes) {
    for (const int* c = codes; *c; ++c) {
      if (*c == sys.lastKey || *c == sys.lastButton) {
        sys.triggerCode = *c;
        sys.triggerState = 2;
        break;
      }
    }
  }
  if (sys.triggerState == 2) {
    bool mouse = sys.triggerCode == tu::kMouseLeft || sys.triggerCode == tu::kMouseRight;
    if ((!mouse && sys.lastKey != sys.triggerCode) || (mouse && sys.lastButton != sys.triggerCode))
      sys.triggerState = 0;
    if ((!mouse && sys.heldKey == 0) || (mouse && sys.buttonState == 0)) {
      sys.triggerState = 0;
      sys.lastKey = 0;
      sys.lastButton = 0;
      return sys.triggerCode;
    }
  }
  return 0;
}

}  // namespace tuSystem
