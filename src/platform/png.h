#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/surface.h"

// PNG pictures as surfaces, decoded by the host's image library.
namespace tu::platform {

// Whether the bytes begin with the PNG file signature.
bool IsPng(const uint8_t* data, size_t size);

// Decodes a PNG file image into a new surface of `format`. A picture with transparency (an
// alpha channel, or a transparent palette entry or colour) gets an alpha plane (AlphaPlane);
// one without has none and is drawn like a BMP picture. Null for anything malformed, and,
// before the decoder sees them, for files whose chunks do not all lie inside them and for
// pictures larger than a surface may be.
Surface* DecodePng(const uint8_t* data, size_t size, PixelFormat format, bool systemMemory);

}  // namespace tu::platform
