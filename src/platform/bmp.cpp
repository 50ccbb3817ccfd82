// The BMP decoder: checks a file's headers, palette and pixel data against its size before
// SDL's reader sees it, then converts the picture into a surface of the wanted format.
#include "platform/bmp.h"

#include <SDL2/SDL.h>

#include "platform/sdl_picture.h"

#include <cstring>
#include <vector>

namespace tu::platform {

namespace {

uint32_t ReadU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
int32_t ReadI32(const uint8_t* p) { return static_cast<int32_t>(ReadU32(p)); }
uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Checks what SDL's reader would otherwise trust: sizes, depth, compression, palette and
// pixel data all inside the file. `info` points at the info header, `end` past the data.
struct BmpHeader {
  uint32_t headerSize = 0;
  int64_t width = 0, height = 0;
  int bpp = 0;
  uint32_t compression = 0;
  uint32_t colors = 0;
  size_t paletteBytes = 0, maskBytes = 0;
};

bool ParseInfo(const uint8_t* info, size_t avail, BmpHeader& h) {
  if (avail < 12) return false;
  h.headerSize = ReadU32(info);
  if (h.headerSize == 12) {
    h.width = ReadU16(info + 4);
    h.height = static_cast<int16_t>(ReadU16(info + 6));
    h.bpp = ReadU16(info + 10);
  } else if (h.headerSize == 40 || h.headerSize == 52 || h.headerSize == 56 ||
             h.headerSize == 64 || h.headerSize == 108 || h.headerSize == 124) {
    if (avail < 40) return false;
    h.width = ReadI32(info + 4);
    h.height = ReadI32(info + 8);
    h.bpp = ReadU16(info + 14);
    h.compression = ReadU32(info + 16);
    h.colors = ReadU32(info + 32);
  } else {
    return false;
  }
  if (h.headerSize > avail) return false;
  int64_t absH = h.height < 0 ? -h.height : h.height;
  if (h.width <= 0 || h.width > kMaxSurfaceSide || absH == 0 || absH > kMaxSurfaceSide) return false;
  if (h.width * absH > kMaxSurfacePixels) return false;
  switch (h.compression) {
    case 0:  // plain
      if (h.bpp != 1 && h.bpp != 4 && h.bpp != 8 && h.bpp != 16 && h.bpp != 24 && h.bpp != 32)
        return false;
      break;
    case 1:  // run-length, 8 bits
      if (h.bpp != 8 || h.height < 0) return false;
      break;
    case 2:  // run-length, 4 bits
      if (h.bpp != 4 || h.height < 0) return false;
      break;
    case 3:  // bit fields
      if (h.bpp != 16 && h.bpp != 32) return false;
      if (h.headerSize == 40) h.maskBytes = 12;
      break;
    default: return false;
  }
  if (h.bpp <= 8) {
    uint32_t max = 1u << h.bpp;
    if (h.colors == 0) h.colors = max;
    if (h.colors > max) return false;
    h.paletteBytes = static_cast<size_t>(h.colors) * (h.headerSize == 12 ? 3 : 4);
  }
  return true;
}

// Rows of uncompressed data must all be there.
bool PixelsFit(const BmpHeader& h, size_t dataOffset, size_t size) {
  if (dataOffset > size) return false;
  if (h.compression == 1 || h.compression == 2) return dataOffset < size;
  int64_t absH = h.height < 0 ? -h.height : h.height;
  int64_t row = ((h.width * h.bpp + 31) / 32) * 4;
  return static_cast<int64_t>(size - dataOffset) >= row * absH;
}

}  // namespace

Surface* FromSdl(SDL_Surface* loaded, PixelFormat format, bool systemMemory) {
  Surface* s = CreateSurface(loaded->w, loaded->h, format, systemMemory);
  if (!s) return nullptr;
  SDL_SetSurfaceBlendMode(loaded, SDL_BLENDMODE_NONE);
  int pitch = 0;
  void* pixels = Lock(s, &pitch);
  SDL_Surface* view =
      pixels ? SDL_CreateRGBSurfaceWithFormatFrom(pixels, loaded->w, loaded->h,
                                                  DescribeFormat(format).bitsPerPixel, pitch,
                                                  SdlPixelFormat(format))
             : nullptr;
  bool copied = view && SDL_BlitSurface(loaded, nullptr, view, nullptr) == 0;
  SDL_FreeSurface(view);
  Unlock(s);
  if (!copied) {
    FreeSurface(s);
    return nullptr;
  }
  return s;
}

namespace {

Surface* DecodeChecked(const uint8_t* data, size_t size, PixelFormat format, bool systemMemory) {
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return nullptr;
  SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
  if (!loaded) return nullptr;
  Surface* s = FromSdl(loaded, format, systemMemory);
  SDL_FreeSurface(loaded);
  return s;
}

}  // namespace

Surface* DecodeBmp(const uint8_t* data, size_t size, PixelFormat format, bool systemMemory) {
  if (!data || size < 14 + 12 || size > 0x7FFFFFFF) return nullptr;
  if (data[0] != 'B' || data[1] != 'M') return nullptr;
  BmpHeader h;
  if (!ParseInfo(data + 14, size - 14, h)) return nullptr;
  size_t tables = 14 + static_cast<size_t>(h.headerSize) + h.maskBytes + h.paletteBytes;
  if (tables > size) return nullptr;
  size_t offset = ReadU32(data + 10);
  if (offset < 14 + static_cast<size_t>(h.headerSize) || !PixelsFit(h, offset, size))
    return nullptr;
  return DecodeChecked(data, size, format, systemMemory);
}

Surface* DecodeBmpResource(const uint8_t* data, size_t size, PixelFormat format,
                           bool systemMemory) {
  if (!data || size < 12 || size > 0x7FFFFFF0) return nullptr;
  BmpHeader h;
  if (!ParseInfo(data, size, h)) return nullptr;
  size_t offset = 14 + static_cast<size_t>(h.headerSize) + h.maskBytes + h.paletteBytes;
  // Rebuild the file header the resource leaves out.
  std::vector<uint8_t> file(14 + size);
  uint32_t total = static_cast<uint32_t>(file.size());
  uint8_t header[14] = {'B', 'M',
                        static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
                        static_cast<uint8_t>(total >> 16), static_cast<uint8_t>(total >> 24),
                        0, 0, 0, 0,
                        static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8),
                        static_cast<uint8_t>(offset >> 16), static_cast<uint8_t>(offset >> 24)};
  memcpy(file.data(), header, 14);
  memcpy(file.data() + 14, data, size);
  return DecodeBmp(file.data(), file.size(), format, systemMemory);
}

}  // namespace tu::platform
