// Switches of the window a game may turn while it runs: staying on top, fullscreen, scaling.
#include <tu/tuSystem.h>

#include "platform/view.h"
#include "platform/window.h"

namespace tuSystem {

int SetWindowOnTop(int on) {
  if (on)
    sys.configFlags &= ~kConfigNotTopmost;
  else
    sys.configFlags |= kConfigNotTopmost;
  tu::platform::SetAlwaysOnTop(on != 0);
  return WindowOnTop();
}

// The window's own flag once it exists (a window manager may refuse), else the choice recorded.
int WindowOnTop() {
  if (tu::platform::MainSdlWindow()) return tu::platform::AlwaysOnTop() ? 1 : 0;
  return (sys.configFlags & kConfigNotTopmost) ? 0 : 1;
}

int SetFullScreen(int on) {
  tu::platform::SetFullscreen(on != 0);
  return FullScreen();
}

int FullScreen() { return tu::platform::IsFullscreen() ? 1 : 0; }

int SetScaling(int mode) {
  tu::platform::SetFillView(mode == kScaleFill);
  return Scaling();
}

int Scaling() { return tu::platform::FillView() ? kScaleFill : kScaleWhole; }

}  // namespace tuSystem
