// Placeholder for the frames-per-second meter until text drawing exists.
#include "shell/tuSystem.h"

namespace tuSystem {
void DrawFps() {}
}  // namespace tuSystem
