#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/surface.h"

// BMP pictures as surfaces.
namespace tu::platform {

// Decodes a BMP file image (1, 4, 8, 16, 24, 32 bits, bottom-up or top-down, uncompressed,
// bit fields or run-length) into a new surface of `format`. Null for anything malformed.
Surface* DecodeBmp(const uint8_t* data, size_t size, PixelFormat format, bool systemMemory);
// The same for a resource image: the bitmap without its 14-byte file header.
Surface* DecodeBmpResource(const uint8_t* data, size_t size, PixelFormat format, bool systemMemory);

}  // namespace tu::platform
