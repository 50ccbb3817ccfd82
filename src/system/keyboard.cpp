#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/keyboard.h"

namespace tuSystem {

void GetKey(int vk, int* state) {
  if (!state) return;
  bool driven = vk >= 0 && vk < 256 && sys.drivenKeys[vk] != 0;
  bool down = driven ? sys.drivenKeys[vk] == 2 : (tu::platform::KeyDownState(vk) & 0x80) != 0;
  if (down)
    *state = *state == tu::kKeyStateUp ? tu::kKeyStatePressed : tu::kKeyStateHeld;
  else
    *state = (*state == tu::kKeyStatePressed || *state == tu::kKeyStateHeld) ? tu::kKeyStateReleased
                                                                             : tu::kKeyStateUp;
  // Fades, the scrolling view and key capture hide the keys from polling.
  if (tuDraw::draw.fadeStep != 0 || tuDraw::draw.scrollViewOn || sys.keyCaptureMode)
    *state = tu::kKeyStateUp;
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
