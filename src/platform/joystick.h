#pragma once
#include <cstdint>

// Joysticks 0 and 1, in the order they were connected: raw positions scaled to 0..65535
// (centre near 32767) and up to 32 buttons as a bit mask. Pads plugged in or out while the
// program runs are seen by the next read.
namespace tu::platform {

struct JoyReading {
  uint32_t x = 0, y = 0;
  uint32_t buttons = 0;  // bit n-1 = button n held
};

// False when the joystick is absent (the read fails).
bool ReadJoystick(int id, JoyReading* out);
// Re-scans the connected devices (the host's configuration-changed notice).
void RescanJoysticks();
// Closes every opened device.
void CloseJoysticks();

}  // namespace tu::platform
