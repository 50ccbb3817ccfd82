#pragma once
#include <cstdint>

struct SDL_Window;
union SDL_Event;

// The one main window and its message queue. SDL events become messages of the host's kinds,
// queued together with posted messages; the library's window procedure handles them.
namespace tu::platform {

// Message numbers, as the host numbers them.
enum : uint32_t {
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_ACTIVATEAPP = 0x001C,
  WM_SETCURSOR = 0x0020,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCOMMAND = 0x0112,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_HOTKEY = 0x0312,
  MM_MCINOTIFY = 0x03B9,
};
constexpr uint32_t SC_SCREENSAVE = 0xF140;

struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Packs two signed 16-bit halves the way the host's move and mouse messages do.
inline intptr_t MakeLParam(int low, int high) {
  return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16));
}

struct WindowOptions {
  const char* title = "";
  int width = 640, height = 480;  // client size
  bool topmost = true;
  bool hidden = false;
  // The window opens at the largest whole multiple of the client size whose window, frame
  // included, fits the display's usable area (OpeningFactor in platform/view.h), can be
  // resized and maximised, and F11 or Alt+Enter switch it to desktop fullscreen and back.
  // The library still sees a client area of width x height: presents are scaled to the real
  // one, and mouse and cursor positions are scaled back.
  bool scalable = false;
};

// Initialises video and creates the window (centred; unless scalable, not resizable and
// without maximise). Returns false with a reason in `error` (no display, or the window
// cannot be created). In headless mode nothing is opened and the call succeeds.
bool CreateMainWindow(const WindowOptions& options, const char** error);
void DestroyMainWindow();
bool MainWindowExists();
SDL_Window* MainSdlWindow();  // null in headless mode

// The window's client origin in screen coordinates.
void ClientOrigin(int* x, int* y);
void RaiseMainWindow();
// The client area as the library sees it: the size the window was asked for.
void LogicalClientSize(int* width, int* height);
// The window between its own size and place and desktop fullscreen (scalable windows only).
void ToggleFullscreen();
bool IsFullscreen();
// Desktop fullscreen on or off (scalable windows only); nothing when it already is so.
void SetFullscreen(bool on);
// Whether the window stays above others; without a window, nothing, and false.
void SetAlwaysOnTop(bool on);
bool AlwaysOnTop();

// Takes one message without waiting; false when the queue is empty.
bool PeekMessage(Message* out);
// Blocks until a message is queued (or, in headless mode, returns at once).
void WaitMessage();
void PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
void PostQuitMessage(int code);
// PostMessage for other threads (the audio mixer): the message joins the queue at the next
// PeekMessage and wakes WaitMessage. Never allocates; drops the message if 64 are waiting.
void PostMessageAsync(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
void ClearMessages();

// Cursor: shown or hidden, global position, warping, confinement to a screen rectangle.
// Screen positions inside a scaled window are given as if its client area had the logical
// size at the same origin: every point of the real client area maps into it.
void ShowCursor(bool show);
bool CursorVisible();
void GlobalCursorPos(int* x, int* y);
void SetGlobalCursorPos(int x, int y);
void ConfineCursor(int left, int top, int right, int bottom);
void UnconfineCursor();

// Text input (the input method) on or off for the window; nothing without a window.
void SetTextInput(bool on);

// Other platform services watch raw SDL events (renderer resets, joystick hot-plug).
using EventObserver = void (*)(const SDL_Event& event);
void AddEventObserver(EventObserver observer);

}  // namespace tu::platform
