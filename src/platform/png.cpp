// The PNG decoder: checks the size the file declares, lets the host's image library decode it,
// and puts the colours into a surface and the transparency into the surface's alpha plane.
#include "platform/png.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <cstring>

#include "platform/sdl_picture.h"

namespace tu::platform {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t ReadBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// The size in the header chunk, which must come first: refused before the decoder allocates
// anything of it.
bool SizeAcceptable(const uint8_t* data, size_t size) {
  if (size < 8 + 8 + 13 || ReadBe32(data + 8) != 13 || memcmp(data + 12, "IHDR", 4) != 0)
    return false;
  const uint32_t w = ReadBe32(data + 16), h = ReadBe32(data + 20);
  return w > 0 && h > 0 && w <= static_cast<uint32_t>(kMaxSurfaceSide) &&
         h <= static_cast<uint32_t>(kMaxSurfaceSide) &&
         static_cast<int64_t>(w) * h <= kMaxSurfacePixels;
}

// Every chunk lies whole inside the file, up to and with the closing IEND chunk. The decoder
// reads a chunk by its stated length whatever the file holds: an optional chunk running past
// the end is read again and again as damaged, for as long as the length says.
bool ChunksFit(const uint8_t* data, size_t size) {
  size_t at = 8;
  while (size - at >= 12) {
    const uint32_t length = ReadBe32(data + at);
    if (length > 0x7FFFFFFFu || length > size - at - 12) return false;
    const bool end = memcmp(data + at + 4, "IEND", 4) == 0;
    at += 12 + static_cast<size_t>(length);
    if (end) return true;
  }
  return false;
}

bool StartDecoder() {
  static const bool started = (IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) != 0;
  return started;
}

// Whether the decoded picture has any transparency: an alpha channel, a colour key (a single
// transparent palette entry or colour), or palette entries that are not opaque.
bool Transparent(SDL_Surface* s) {
  if (SDL_ISPIXELFORMAT_ALPHA(s->format->format) || SDL_HasColorKey(s)) return true;
  const SDL_Palette* p = s->format->palette;
  if (p)
    for (int i = 0; i < p->ncolors; ++i)
      if (p->colors[i].a != 255) return true;
  return false;
}

// The opacity of every pixel, from the picture converted to 8-bit channels with alpha (a colour
// key becomes transparent pixels in the conversion).
bool FillAlpha(Surface* s, SDL_Surface* decoded) {
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
  if (!argb) return false;
  bool ok = AddAlphaPlane(s) && SDL_LockSurface(argb) == 0;
  if (ok) {
    uint8_t* plane = AlphaPlane(s);
    const int w = argb->w;
    for (int y = 0; y < argb->h; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch;
      for (int x = 0; x < w; ++x) {
        uint32_t v;
        memcpy(&v, row + x * 4, 4);
        plane[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v >> 24);
      }
    }
    SDL_UnlockSurface(argb);
  }
  SDL_FreeSurface(argb);
  return ok;
}

}  // namespace

bool IsPng(const uint8_t* data, size_t size) {
  return data && size >= sizeof kSignature && memcmp(data, kSignature, sizeof kSignature) == 0;
}

Surface* DecodePng(const uint8_t* data, size_t size, PixelFormat format, bool systemMemory) {
  if (!IsPng(data, size) || size > 0x7FFFFFFF || !SizeAcceptable(data, size) ||
      !ChunksFit(data, size) || !StartDecoder())
    return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return nullptr;
  SDL_Surface* decoded = IMG_LoadPNG_RW(rw);
  SDL_RWclose(rw);
  if (!decoded) return nullptr;
  Surface* s = nullptr;
  if (decoded->w <= kMaxSurfaceSide && decoded->h <= kMaxSurfaceSide) {
    const bool transparent = Transparent(decoded);
    // The colours first, as they are whatever their opacity (the copy neither blends nor skips
    // keyed pixels); then the opacity, for which the colour key still counts.
    uint32_t key = 0;
    const bool keyed = SDL_GetColorKey(decoded, &key) == 0;
    SDL_SetColorKey(decoded, SDL_FALSE, 0);
    s = FromSdl(decoded, format, systemMemory);
    if (keyed) SDL_SetColorKey(decoded, SDL_TRUE, key);
    if (s && transparent && !FillAlpha(s, decoded)) {
      FreeSurface(s);
      s = nullptr;
    }
  }
  SDL_FreeSurface(decoded);
  return s;
}

}  // namespace tu::platform
