#include "platform/joystick.h"

#include <SDL2/SDL.h>

#include "platform/headless.h"
#include "platform/seams.h"

namespace tu::platform {
namespace {

constexpr int kSlots = 2;

struct Injected {
  bool present = false;
  JoyReading reading;
};
Injected injected[kSlots];

// Opened devices in connection order; slot i is joystick id i.
SDL_Joystick* opened[kSlots] = {};
bool subsystemUp = false;
bool subsystemFailed = false;

bool EnsureSubsystem() {
  if (subsystemUp) return true;
  if (subsystemFailed) return false;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
    subsystemFailed = true;
    return false;
  }
  subsystemUp = true;
  return true;
}

bool IsOpened(SDL_JoystickID instance) {
  for (SDL_Joystick* j : opened)
    if (j && SDL_JoystickInstanceID(j) == instance) return true;
  return false;
}

// Drops detached pads (later ones move up) and opens newly attached ones at the end.
void Refresh() {
  SDL_JoystickUpdate();
  for (int i = 0; i < kSlots; ++i) {
    if (opened[i] && !SDL_JoystickGetAttached(opened[i])) {
      SDL_JoystickClose(opened[i]);
      opened[i] = nullptr;
    }
  }
  int w = 0;
  for (int i = 0; i < kSlots; ++i)
    if (opened[i]) opened[w++] = opened[i];
  for (int i = w; i < kSlots; ++i) opened[i] = nullptr;
  int count = SDL_NumJoysticks();
  for (int d = 0; d < count && w < kSlots; ++d) {
    if (IsOpened(SDL_JoystickGetDeviceInstanceID(d))) continue;
    if (SDL_Joystick* j = SDL_JoystickOpen(d)) opened[w++] = j;
  }
}

uint32_t Scale(Sint16 axis) { return static_cast<uint32_t>(static_cast<int>(axis) + 32768); }

}  // namespace

bool ReadJoystick(int id, JoyReading* out) {
  if (id < 0 || id >= kSlots || !out) return false;
  if (Headless()) {
    if (!injected[id].present) return false;
    *out = injected[id].reading;
    return true;
  }
  if (!EnsureSubsystem()) return false;
  Refresh();
  SDL_Joystick* j = opened[id];
  if (!j) return false;
  JoyReading r;
  r.x = SDL_JoystickNumAxes(j) > 0 ? Scale(SDL_JoystickGetAxis(j, 0)) : 32767;
  r.y = SDL_JoystickNumAxes(j) > 1 ? Scale(SDL_JoystickGetAxis(j, 1)) : 32767;
  int buttons = SDL_JoystickNumButtons(j);
  for (int b = 0; b < buttons && b < 32; ++b)
    if (SDL_JoystickGetButton(j, b)) r.buttons |= 1u << b;
  *out = r;
  return true;
}

void RescanJoysticks() {
  if (Headless() || !EnsureSubsystem()) return;
  Refresh();
}

void CloseJoysticks() {
  for (SDL_Joystick*& j : opened) {
    if (j) SDL_JoystickClose(j);
    j = nullptr;
  }
  if (subsystemUp) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  subsystemUp = false;
}

void InjectJoystick(int id, bool present, uint32_t x, uint32_t y, uint32_t buttons) {
  if (id < 0 || id >= kSlots) return;
  injected[id].present = present;
  injected[id].reading = {x, y, buttons};
}

}  // namespace tu::platform
