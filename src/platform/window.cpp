#include "platform/window.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/headless.h"
#include "platform/instance.h"
#include "platform/keyboard.h"

namespace platform {
namespace {
SDL_Window* window = nullptr;
bool headlessWindow = false;
bool closeSeen = false;
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
        default: break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      int vk = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
      if (vk == 0) break;
      // Alt combinations and F10 are system keys, as the host delivers them.
      bool sys = (e.key.keysym.mod & KMOD_ALT) || vk == 18 || vk == 121;
      uint32_t msg = e.type == SDL_KEYDOWN ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                           : (sys ? WM_SYSKEYUP : WM_KEYUP);
      PostMessage(msg, static_cast<uintptr_t>(vk), 0);
      break;
    }
    case SDL_MOUSEMOTION: PostMessage(WM_MOUSEMOVE, 0, MakeLParam(e.motion.x, e.motion.y)); break;
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
      PostMessage(msg, 0, MakeLParam(e.button.x, e.button.y));
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

void Pump() {
  DrainAsync();
  if (TakeRaiseRequest()) RaiseMainWindow();
  if (!window) return;
  SDL_Event e;
  while (queue.empty() && SDL_PollEvent(&e)) Translate(e);
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
  window = SDL_CreateWindow(o.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, o.width,
                            o.height, flags);
  if (!window) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (error) *error = "the window cannot be created";
    return false;
  }
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
  // Wake now and then to answer a second instance's request to come to the front.
  SDL_WaitEventTimeout(nullptr, 250);
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

void GlobalCursorPos(int* x, int* y) {
  if (window) {
    SDL_GetGlobalMouseState(x, y);
  } else {
    *x = headlessCursorX;
    *y = headlessCursorY;
  }
}

void SetGlobalCursorPos(int x, int y) {
  if (window)
    SDL_WarpMouseGlobal(x, y);
  else
    headlessCursorX = x, headlessCursorY = y;
}

void ConfineCursor(int left, int top, int right, int bottom) {
  if (!window) return;
  int ox, oy;
  SDL_GetWindowPosition(window, &ox, &oy);
  SDL_Rect r{left - ox, top - oy, right - left, bottom - top};
  SDL_SetWindowMouseRect(window, &r);
}

void UnconfineCursor() {
  if (window) SDL_SetWindowMouseRect(window, nullptr);
}

void AddEventObserver(EventObserver observer) {
  for (int i = 0; i < observerCount; ++i)
    if (observers[i] == observer) return;
  if (observerCount < 8) observers[observerCount++] = observer;
}

void SetHeadlessCursorPos(int x, int y) { headlessCursorX = x, headlessCursorY = y; }
void SetHeadlessWindowOrigin(int x, int y) { headlessOriginX = x, headlessOriginY = y; }

}  // namespace platform
