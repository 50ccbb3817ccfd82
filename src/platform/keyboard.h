#pragma once
#include <SDL2/SDL_keycode.h>

// Per-key down state by Windows virtual-key code; the library keeps those codes as its key codes.
// In headless mode the state is injected (platform/seams.h).
namespace tu::platform {

// 0x80 when the key is down (on the keyboard, or held by a game pad: platform/gamepad.h),
// else 0. Codes outside 0..255 read as up.
int KeyDownState(int vk);

// Virtual-key code for an SDL key (0 when the key has no code).
int VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode);
// SDL scancode for a virtual-key code (SDL_SCANCODE_UNKNOWN when none).
SDL_Scancode ScancodeFromVirtualKey(int vk);

// SDL's name of the key a virtual-key code stands for ("Left", "Q", "Keypad 4", "Left Shift"),
// the same on every keyboard layout; "" for codes without a key of their own (the generic
// Shift, Ctrl and Alt codes, which stand for either side) and codes the platform does not map.
const char* KeyNameOf(int vk);
// The virtual-key code of a key name SDL knows, in any case ("left", "Q", "keypad 4"); one
// side's modifier gives that side's code. 0 for names SDL does not know or keys without a code.
int VirtualKeyFromName(const char* name);

}  // namespace tu::platform
