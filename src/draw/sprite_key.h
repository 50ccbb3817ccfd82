#pragma once
#include <tu/tuDraw.h>

namespace tuDraw {
// Gives a freshly filled sprite the colour key of the current setting: the top-left pixel, or
// the set colour matched to the surface's format.
void ApplyColorKeySetting(SpriteObject& e);
}  // namespace tuDraw
