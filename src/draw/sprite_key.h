#pragma once
#include <tu/tuDraw.h>

namespace tu::draw {
// Gives a freshly filled sprite the colour key of the current setting: the top-left pixel, or
// the set colour matched to the surface's format.
void ApplyColorKeySetting(tuDraw::SpriteObject& e);
}  // namespace tu::draw

namespace tuDraw {
using tu::draw::ApplyColorKeySetting;
}  // namespace tuDraw
