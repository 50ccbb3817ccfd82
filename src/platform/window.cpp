#include "platform/seams.h"
#include "platform/window.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dialog.h"
#include "platform/frametimes.h"
#include "platform/headless.h"
#include "platform/instance.h"
#include "platform/keyboard.h"
#include "platform/view.h"

namespace tu::platform {
namespace {
SDL_Window* window = nullptr;
bool headlessWindow = false;
bool closeSeen = false;
bool scalable = false;
int logicalWidth = 640, logicalHeight = 480;
// The last confinement asked for, in logical screen coordinates: set again when the window's
// size changes, since its real rectangle moves with the picture.
bool confined = false;
int confineRect[4] = {};
// The message queue: a ring over storage made once, so posting and taking messages never
// allocates in play. Only a burst beyond its size (no normal frame comes near) makes it grow.
class MessageRing {
 public:
  MessageRing() : slots_(1024) {}
  bool empty() const { return count_ == 0; }
  const Message& front() const { return slots_[head_]; }
  void pop_front() {
    head_ = (head_ + 1) % slots_.size();
    --count_;
  }
  void push_back(const Message& m) {
    if (count_ == slots_.size()) Grow();
    slots_[(head_ + count_) % slots_.size()] = m;
    ++count_;
  }
  void clear() { head_ = count_ = 0; }

 private:
  void Grow() {
    std::vector<Message> bigger(slots_.size() * 2);
    for (size_t i = 0; i < count_; ++i) bigger[i] = slots_[(head_ + i) % slots_.size()];
    slots_.swap(bigger);
    head_ = 0;
  }
  std::vector<Message> slots_;
  size_t head_ = 0, count_ = 0;
};
MessageRing queue;
int headlessCursorX = 0, headlessCursorY = 0;
int headlessOriginX = 0, headlessOriginY = 0;
bool cursorVisible = true;
EventObserver observers[8];
int observerCount = 0;

// The picture's place in the window, in real pixels, and the real pixels per window unit
// (above 1 on high-density displays, where window sizes are given in points).
struct Mapping {
  View view;
  double xScale = 1.0, yScale = 1.0;
};

Mapping CurrentMapping() {
  Mapping m;
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  int pw = w, ph = h;
  SDL_GetWindowSizeInPixels(window, &pw, &ph);
  if (w > 0 && h > 0) {
    m.xScale = static_cast<double>(pw) / w;
    m.yScale = static_cast<double>(ph) / h;
  }
  m.view = FitView(logicalWidth, logicalHeight, pw, ph, FillView());
  return m;
}

// A window position as a client position of the logical area; clamped into it when asked.
void WindowToClient(int wx, int wy, bool clamp, int* cx, int* cy) {
  if (!scalable) {
    *cx = wx;
    *cy = wy;
    return;
  }
  Mapping m = CurrentMapping();
  int x = RealToLogical(static_cast<int>(wx * m.xScale), m.view.x, m.view.w, logicalWidth);
  int y = RealToLogical(static_cast<int>(wy * m.yScale), m.view.y, m.view.h, logicalHeight);
  if (clamp) {
    x = x < 0 ? 0 : (x >= logicalWidth ? logicalWidth - 1 : x);
    y = y < 0 ? 0 : (y >= logicalHeight ? logicalHeight - 1 : y);
  }
  *cx = x;
  *cy = y;
}

// A logical client edge (or, with `centre`, the middle of a logical pixel) as a window position.
void ClientToWindow(int cx, int cy, bool centre, int* wx, int* wy) {
  if (!scalable) {
    *wx = cx;
    *wy = cy;
    return;
  }
  Mapping m = CurrentMapping();
  int half = centre ? 1 : 0;
  // In half pixels, so a logical pixel's middle is exact.
  int rx = LogicalToReal(2 * cx + half, 2 * m.view.x, m.view.w, logicalWidth) / 2;
  int ry = LogicalToReal(2 * cy + half, 2 * m.view.y, m.view.h, logicalHeight) / 2;
  *wx = static_cast<int>(rx / m.xScale);
  *wy = static_cast<int>(ry / m.yScale);
}

void ApplyConfinement() {
  if (!window || !confined) return;
  int ox, oy, left, top, right, bottom;
  SDL_GetWindowPosition(window, &ox, &oy);
  ClientToWindow(confineRect[0] - ox, confineRect[1] - oy, false, &left, &top);
  ClientToWindow(confineRect[2] - ox, confineRect[3] - oy, false, &right, &bottom);
  SDL_Rect r{left, top, right - left, bottom - top};
  SDL_SetWindowMouseRect(window, &r);
}

// F11 and Alt+Enter switch a scalable window to fullscreen and back when the key is let go,
// so the switch, which moves the window and may move the keyboard focus, comes with no key
// held: after a focus change SDL takes a key still held for a new press.
SDL_Keycode fullscreenKey = 0;  // pressed, switches on its release

void WatchFullscreenKeys(const SDL_KeyboardEvent& k) {
  if (!scalable) return;
  const SDL_Keycode key = k.keysym.sym;
  if (k.type == SDL_KEYDOWN) {
    const bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
    if (!k.repeat && (key == SDLK_F11 || (enter && (k.keysym.mod & KMOD_ALT))))
      fullscreenKey = key;
  } else if (fullscreenKey != 0 && key == fullscreenKey) {
    fullscreenKey = 0;
    ToggleFullscreen();
  }
}

void PostMouse(uint32_t message, int wx, int wy) {
  int x, y;
  WindowToClient(wx, wy, true, &x, &y);
  PostMessage(message, 0, MakeLParam(x, y));
}

void Translate(const SDL_Event& e) {
  for (int i = 0; i < observerCount; ++i) observers[i](e);
  switch (e.type) {
    case SDL_QUIT:  // Ctrl+C in a terminal, or the session asking us to leave
      if (!closeSeen) PostMessage(WM_CLOSE);
      closeSeen = true;
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          if (!closeSeen) PostMessage(WM_CLOSE);
          closeSeen = true;
          break;
        case SDL_WINDOWEVENT_MOVED:
          PostMessage(WM_MOVE, 0, MakeLParam(e.window.data1, e.window.data2));
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: PostMessage(WM_ACTIVATEAPP, 1, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: PostMessage(WM_ACTIVATEAPP, 0, 0); break;
        case SDL_WINDOWEVENT_ENTER: PostMessage(WM_SETCURSOR, 0, 1); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: ApplyConfinement(); break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      WatchFullscreenKeys(e.key);
      int vk = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
      if (vk == 0) break;
      // Alt combinations and F10 are system keys, as the host delivers them.
      bool sys = (e.key.keysym.mod & KMOD_ALT) || vk == 18 || vk == 121;
      uint32_t msg = e.type == SDL_KEYDOWN ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                           : (sys ? WM_SYSKEYUP : WM_KEYUP);
      PostMessage(msg, static_cast<uintptr_t>(vk), 0);
      break;
    }
    case SDL_MOUSEMOTION: PostMouse(WM_MOUSEMOVE, e.motion.x, e.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      bool left = e.button.button == SDL_BUTTON_LEFT;
      if (!left && e.button.button != SDL_BUTTON_RIGHT) break;
      uint32_t msg;
      if (e.type == SDL_MOUSEBUTTONUP)
        msg = left ? WM_LBUTTONUP : WM_RBUTTONUP;
      else if (e.button.clicks == 2)
        msg = left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
      else
        msg = left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
      PostMouse(msg, e.button.x, e.button.y);
      break;
    }
    default: break;
  }
}

// Messages posted from other threads, waiting for the main thread to queue them.
std::mutex asyncLock;
Message asyncMessages[64];
int asyncCount = 0;

void DrainAsync() {
  std::lock_guard<std::mutex> hold(asyncLock);
  for (int i = 0; i < asyncCount; ++i) queue.push_back(asyncMessages[i]);
  asyncCount = 0;
}

// A window manager tells the frame it puts around the window only after the window is shown.
// Waits a little for it (none comes without a window manager), then gives the window the
// factor that fits with that frame, centred in the usable area, if it is not the one it opened
// with, which allowed for a frame of usual size.
void FitOpeningSize(int width, int height, const SDL_Rect& usable, int factor) {
  int top = 0, left = 0, bottom = 0, right = 0;
  const Uint32 until = SDL_GetTicks() + 250;
  for (;;) {
    SDL_PumpEvents();  // takes the window manager's news; the events stay queued
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0) return;
    if (top > 0 || left > 0 || bottom > 0 || right > 0) break;
    if (SDL_TICKS_PASSED(SDL_GetTicks(), until)) return;
    SDL_Delay(5);
  }
  const int fitting = OpeningFactor(width, height, usable.w, usable.h, left + right, top + bottom);
  if (fitting == factor) return;
  const int w = width * fitting, h = height * fitting;
  SDL_SetWindowSize(window, w, h);
  SDL_SetWindowPosition(window, usable.x + (usable.w - w - left - right) / 2 + left,
                        usable.y + (usable.h - h - top - bottom) / 2 + top);
}

void Pump() {
  DrainAsync();
  if (TakeRaiseRequest()) RaiseMainWindow();
  if (window) {
    SDL_Event e;
    while (queue.empty() && SDL_PollEvent(&e)) Translate(e);
  }
  // Every event is taken and the key states are fresh: a frame step may follow.
  if (queue.empty()) NoteEventPump();
}
}  // namespace

bool CreateMainWindow(const WindowOptions& o, const char** error) {
  static const char* none = "";
  if (error) *error = none;
  closeSeen = false;
  if (Headless()) {
    headlessWindow = true;
    if (!o.hidden) PostMessage(WM_ACTIVATEAPP, 1, 0);
    return true;
  }
  const char* requested = getenv("SDL_VIDEODRIVER");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = "no display available (video initialisation failed)";
    return false;
  }
  // Without a display SDL falls back to drivers that show nothing; a player would see no window.
  const char* driver = SDL_GetCurrentVideoDriver();
  if ((!requested || !*requested) && driver &&
      (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy"))) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (error) *error = "no display available (set DISPLAY or WAYLAND_DISPLAY)";
    return false;
  }
  Uint32 flags = o.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (o.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  scalable = o.scalable;
  fullscreenKey = 0;
  logicalWidth = o.width;
  logicalHeight = o.height;
  confined = false;
  int factor = 1;
  SDL_Rect usable{};
  const bool fitted = scalable && SDL_GetDisplayUsableBounds(0, &usable) == 0;
  if (scalable) flags |= SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (fitted)
    factor = OpeningFactor(o.width, o.height, usable.w, usable.h, kFrameAllowanceWidth,
                           kFrameAllowanceHeight);
  window = SDL_CreateWindow(o.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                            o.width * factor, o.height * factor, flags);
  if (!window) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (error) *error = "the window cannot be created";
    return false;
  }
  if (scalable) SDL_SetWindowMinimumSize(window, o.width / 2, o.height / 2);
  if (fitted && !o.hidden) FitOpeningSize(o.width, o.height, usable, factor);
  SDL_StopTextInput();  // no input method: keys arrive as keys
  if (!o.hidden) {
    int x, y;
    SDL_GetWindowPosition(window, &x, &y);
    PostMessage(WM_MOVE, 0, MakeLParam(x, y));
    PostMessage(WM_ACTIVATEAPP, 1, 0);
  }
  return true;
}

void DestroyMainWindow() {
  if (window) {
    SDL_DestroyWindow(window);
    window = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  headlessWindow = false;
}

bool MainWindowExists() { return window != nullptr || headlessWindow; }
SDL_Window* MainSdlWindow() { return window; }

void ClientOrigin(int* x, int* y) {
  if (window) {
    SDL_GetWindowPosition(window, x, y);
  } else {
    *x = headlessOriginX;
    *y = headlessOriginY;
  }
}

void LogicalClientSize(int* width, int* height) {
  *width = logicalWidth;
  *height = logicalHeight;
}

void ToggleFullscreen() {
  if (!window || !scalable) return;
  Uint32 to = IsFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP;
  if (SDL_SetWindowFullscreen(window, to) != 0)
    fprintf(stderr, "%s: cannot switch %s fullscreen: %s\n", ProgramName(), to ? "to" : "from",
            SDL_GetError());
}

bool IsFullscreen() {
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
}

void SetFullscreen(bool on) {
  if (IsFullscreen() != on) ToggleFullscreen();
}

void SetAlwaysOnTop(bool on) {
  if (window) SDL_SetWindowAlwaysOnTop(window, on ? SDL_TRUE : SDL_FALSE);
}

bool AlwaysOnTop() { return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_ALWAYS_ON_TOP) != 0; }

void RaiseMainWindow() {
  if (!window) return;
  SDL_ShowWindow(window);
  SDL_RestoreWindow(window);
  SDL_RaiseWindow(window);
}

bool PeekMessage(Message* out) {
  Pump();
  if (queue.empty()) return false;
  *out = queue.front();
  queue.pop_front();
  return true;
}

void WaitMessage() {
  if (!queue.empty() || !window) return;
  // Wake once a second to answer a second instance's request to come to the front: rarer
  // wakes keep an inactive game off the processor.
  SDL_WaitEventTimeout(nullptr, 1000);
}

void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  queue.push_back({message, wParam, lParam});
}

void PostMessageAsync(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> hold(asyncLock);
    if (asyncCount == 64) return;
    asyncMessages[asyncCount++] = {message, wParam, lParam};
  }
  if (SDL_WasInit(SDL_INIT_EVENTS)) {
    SDL_Event wake{};
    wake.type = SDL_USEREVENT;
    SDL_PushEvent(&wake);
  }
}

void PostQuitMessage(int code) { PostMessage(WM_QUIT, static_cast<uintptr_t>(code), 0); }
void ClearMessages() {
  queue.clear();
  std::lock_guard<std::mutex> hold(asyncLock);
  asyncCount = 0;
}

void ShowCursor(bool show) {
  cursorVisible = show;
  if (window) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}
bool CursorVisible() { return cursorVisible; }

void SetTextInput(bool on) {
  if (!window) return;
  if (on)
    SDL_StartTextInput();
  else
    SDL_StopTextInput();
}

void GlobalCursorPos(int* x, int* y) {
  if (window) {
    int gx, gy, ox, oy, w, h;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(window, &ox, &oy);
    SDL_GetWindowSize(window, &w, &h);
    // Every point of the real client area lands inside the logical one; points outside it
    // stay outside.
    bool inside = gx >= ox && gx < ox + w && gy >= oy && gy < oy + h;
    int cx, cy;
    WindowToClient(gx - ox, gy - oy, inside, &cx, &cy);
    *x = ox + cx;
    *y = oy + cy;
  } else {
    *x = headlessCursorX;
    *y = headlessCursorY;
  }
}

void SetGlobalCursorPos(int x, int y) {
  if (window) {
    int ox, oy, wx, wy;
    SDL_GetWindowPosition(window, &ox, &oy);
    ClientToWindow(x - ox, y - oy, true, &wx, &wy);
    SDL_WarpMouseGlobal(ox + wx, oy + wy);
  } else {
    headlessCursorX = x, headlessCursorY = y;
  }
}

void ConfineCursor(int left, int top, int right, int bottom) {
  if (!window) return;
  confined = true;
  confineRect[0] = left, confineRect[1] = top, confineRect[2] = right, confineRect[3] = bottom;
  ApplyConfinement();
}

void UnconfineCursor() {
  confined = false;
  if (window) SDL_SetWindowMouseRect(window, nullptr);
}

void AddEventObserver(EventObserver observer) {
  for (int i = 0; i < observerCount; ++i)
    if (observers[i] == observer) return;
  if (observerCount < 8) observers[observerCount++] = observer;
}

void SetHeadlessCursorPos(int x, int y) { headlessCursorX = x, headlessCursorY = y; }
void SetHeadlessWindowOrigin(int x, int y) { headlessOriginX = x, headlessOriginY = y; }

}  // namespace tu::platform
