#pragma once

// The emulated desktop's pixel depth: 16 (5-6-5) by default, 32 (x8-8-8-8) as a setting for
// tools and tests of the 32-bit paths. Every surface of the library takes this format.
namespace tu::platform {

// The depth in bits; tools and tests set it with SetDesktopDepth (platform/seams.h).
int DesktopDepth();

// A full-screen display mode of `bits` (16 or 32; false for any other depth). The depth the
// desktop had before the first mode change is kept until RestoreDisplayMode puts it back.
bool SetDisplayModeDepth(int bits);
void RestoreDisplayMode();

}  // namespace tu::platform
