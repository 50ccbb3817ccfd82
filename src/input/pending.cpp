// Placeholder until joystick support exists: no joystick is ever found.
#include "shell/tuSystem.h"

namespace tuSystem {
void InitJoystick() {}
}  // namespace tuSystem
