#pragma once
// tuSystem's own workings: the pieces of start-up, the frame step and the window procedure that
// the entry point and the loop run by themselves. Declared for the library's modules, its tools
// and its tests; a game does not call them (Main and Start run them in order). tuSystem.h
// includes this header at its end.
#include <cstdint>

namespace tuSystem {

// ---- Start-up pieces, in the order Start runs them
void Init();                           // every field of sys to its start value
int CheckInstance(const char* title);  // 1 when no other copy holds the title's lock
void SetIme(int on);                   // the input method on (1) or off (0) for the window
void OnActivate(int reason);           // an empty hook: 0 before the loop, 1 on each re-activation
// The frame step alone (Turn runs it when the queue is empty).
void FrameStep();

// ---- Window procedure: the window's messages as the loop dispatches them
intptr_t WndProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
void KeyDownHandler(int vk);
void ClipCursorToClient();
void UnclipCursor();
int CursorClipped();

// ---- Timing the loop keeps
uint32_t UpdateFrameTime();  // the frame step's stopwatch reading (sys.frameSeconds)
void ResetWaits();           // every slot to WAIT_NEVER (display set-up)

}  // namespace tuSystem
