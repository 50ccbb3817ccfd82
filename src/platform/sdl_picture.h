#pragma once
// Pictures SDL has decoded, put into surfaces: shared by the BMP and PNG decoders.
#include <SDL2/SDL.h>

#include "platform/surface.h"

namespace tu::platform {

// Copies SDL's picture into a new surface of `format` through a view of the surface's pixels:
// the blit converts from whatever depth and palette the file had (colours only, no blending).
// Null when the surface cannot be made.
Surface* FromSdl(SDL_Surface* loaded, PixelFormat format, bool systemMemory);

}  // namespace tu::platform
