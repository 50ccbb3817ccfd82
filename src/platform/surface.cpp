// Software surfaces in the desktop format: creation, colour keys, locks, loss, and the copies,
// stretches and fills with the host blitter's rules (keyed copies by an index of opaque runs).
#include "platform/seams.h"
#include "platform/surface.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/desktop.h"
#include "platform/display.h"
#include "platform/row_kernels.h"

namespace tu::platform {

namespace {
struct Run {
  uint16_t start, end;
};
constexpr int kSeekShift = 5;
}  // namespace

struct Surface {
  SDL_Surface* sdl = nullptr;
  uint8_t* pixels = nullptr;  // ours (SDL_PREALLOC), so it survives SDL's run-length encoding
  int width = 0, height = 0, pitch = 0, bytes = 2;
  PixelFormat format = PixelFormat::Rgb565;
  bool systemMemory = true;
  bool lost = false;
  bool keyed = false;
  uint32_t key = 0;
  // Keyed copies of a picture that is never rewritten go by an index of its opaque runs, pixels
  // [start, end) of a row that are not the key, each row's runs closed by a sentinel run that
  // starts and ends past any column. Built at the first keyed copy; a rewrite after that drops
  // it for good (`runLength` false), and keyed copies then choose pixel by pixel.
  bool runLength = true;
  bool indexed = false;
  std::vector<Run> runs;
  // Per row and column block of 2^kSeekShift pixels: the index in `runs` of the row's first run
  // that ends right of the block's left edge. A copy of any part of a wide sheet starts at its
  // own runs instead of walking past the runs to its left.
  std::vector<uint32_t> seek;
  int seekBlocks = 0;
  bool solid = false;  // indexed, and no pixel is the key: keyed copies are plain copies
  // The opacity of each pixel of a picture with an alpha channel (AlphaPlane); empty otherwise.
  std::vector<uint8_t> alpha;
  Surface* prev = nullptr;
  Surface* next = nullptr;
};

namespace {
Surface* liveList = nullptr;
int liveCount = 0;
int failAfter = -1;

SDL_Surface* Wrap(uint8_t* pixels, int width, int height, int bytes, int pitch, PixelFormat f) {
  return SDL_CreateRGBSurfaceWithFormatFrom(pixels, width, height, bytes * 8, pitch,
                                            SdlPixelFormat(f));
}

// The run index pays for pictures that are drawn often and never changed. A surface that is
// written after it was indexed (a text or work sprite) would be re-indexed, with allocation,
// after every write: it loses the index for good and is copied pixel by pixel.
void DropRunLength(Surface* s) {
  s->runLength = false;
  s->indexed = false;
  std::vector<Run>().swap(s->runs);
  std::vector<uint32_t>().swap(s->seek);
}

// Every write goes through here: an indexed surface drops its index first.
struct WriteLock {
  SDL_Surface* s;
  explicit WriteLock(Surface* surface) {
    if (surface->indexed) DropRunLength(surface);
    s = surface->sdl;
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  }
  ~WriteLock() {
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  }
};

inline uint32_t Get(const Surface* s, int x, int y) {
  const uint8_t* row = s->pixels + static_cast<size_t>(y) * s->pitch;
  if (s->bytes == 2) {
    uint16_t v;
    memcpy(&v, row + x * 2, 2);
    return v;
  }
  uint32_t v;
  memcpy(&v, row + x * 4, 4);
  return v;
}

inline void Put(Surface* s, int x, int y, uint32_t v) {
  uint8_t* row = s->pixels + static_cast<size_t>(y) * s->pitch;
  if (s->bytes == 2) {
    uint16_t w = static_cast<uint16_t>(v);
    memcpy(row + x * 2, &w, 2);
  } else {
    memcpy(row + x * 4, &v, 4);
  }
}

// A pixel of one format as the nearest value of another (only tests mix formats).
uint32_t Convert(const Surface* from, const Surface* to, uint32_t v) {
  if (from->format == to->format) return v;
  Uint8 r, g, b;
  SDL_GetRGB(v, from->sdl->format, &r, &g, &b);
  return SDL_MapRGB(to->sdl->format, r, g, b);
}

// Builds the run index of a keyed surface; false (and no index from then on) when memory for
// it cannot be had.
bool IndexRuns(Surface* s) {
  constexpr uint16_t kPast = 0xFFFF;  // beyond the widest surface
  try {
    const int blocks = ((s->width - 1) >> kSeekShift) + 1;
    s->seek.resize(static_cast<size_t>(s->height) * blocks);
    s->seekBlocks = blocks;
    s->runs.clear();
    s->solid = true;
    for (int y = 0; y < s->height; ++y) {
      const size_t first = s->runs.size();
      int x = 0;
      while (x < s->width) {
        while (x < s->width && Get(s, x, y) == s->key) ++x;
        int start = x;
        while (x < s->width && Get(s, x, y) != s->key) ++x;
        if (x > start) s->runs.push_back({static_cast<uint16_t>(start), static_cast<uint16_t>(x)});
      }
      s->solid = s->solid && s->runs.size() == first + 1 && s->runs[first].start == 0 &&
                 s->runs[first].end == s->width;
      s->runs.push_back({kPast, kPast});
      size_t k = first;
      for (int b = 0; b < blocks; ++b) {
        while (s->runs[k].end <= b << kSeekShift) ++k;
        s->seek[static_cast<size_t>(y) * blocks + b] = static_cast<uint32_t>(k);
      }
    }
  } catch (const std::bad_alloc&) {
    DropRunLength(s);
    return false;
  }
  s->indexed = true;
  return true;
}

// Keyed copy by the run index: each row copies the parts of its runs inside the rectangle.
// Everything the loop needs is read into locals first: the pixel stores may alias anything.
template <size_t kBytes>
void CopyRuns(Surface* d, int x, int y, const Surface* s, const PixelRect& r) {
  const int left = r.left, right = r.right;
  const Run* runs = s->runs.data();
  const size_t blocks = static_cast<size_t>(s->seekBlocks);
  const uint32_t* seek = s->seek.data() + static_cast<size_t>(r.top) * blocks + (left >> kSeekShift);
  const ptrdiff_t fromPitch = s->pitch, toPitch = d->pitch;
  const uint8_t* from = s->pixels + static_cast<ptrdiff_t>(r.top) * fromPitch;
  uint8_t* to = d->pixels + static_cast<ptrdiff_t>(y) * toPitch;
  // Source column a lands at byte a * kBytes + shift of the destination row.
  const ptrdiff_t shift = (static_cast<ptrdiff_t>(x) - left) * static_cast<ptrdiff_t>(kBytes);
  for (int n = r.bottom - r.top; n > 0; --n, seek += blocks, from += fromPitch, to += toPitch) {
    const Run* run = runs + *seek;
    while (run->end <= left) ++run;  // the sentinel ends the walk
    for (; run->start < right; ++run) {
      const int a = run->start > left ? run->start : left;
      const int b = run->end < right ? run->end : right;
      rows::CopySpan(to + (static_cast<ptrdiff_t>(a) * kBytes + shift),
                     from + static_cast<ptrdiff_t>(a) * kBytes, static_cast<size_t>(b - a) * kBytes);
    }
  }
}

// Keyed copy of a surface without an index, every pixel compared with the key.
template <class Pixel>
void SelectRows(Surface* d, int x, int y, const Surface* s, const PixelRect& r) {
  const Pixel key = static_cast<Pixel>(s->key);
  const int w = r.right - r.left;
  for (int sy = r.top; sy < r.bottom; ++sy)
    rows::SelectRow(reinterpret_cast<Pixel*>(d->pixels + static_cast<size_t>(y + sy - r.top) * d->pitch) + x,
                    reinterpret_cast<const Pixel*>(s->pixels + static_cast<size_t>(sy) * s->pitch) + r.left,
                    w, key);
}

// The colour channels of a format, for blending one pixel value over another.
struct BlendChannels {
  uint32_t mask[3];
  int shift[3];
};
BlendChannels ChannelsOf(PixelFormat f) {
  FormatInfo i = DescribeFormat(f);
  BlendChannels c{{i.redMask, i.greenMask, i.blueMask}, {}};
  for (int k = 0; k < 3; ++k) c.shift[k] = __builtin_ctz(c.mask[k]);
  return c;
}

// `s` over `d` with opacity a (0..255), channel by channel at the format's own precision,
// rounded to nearest: (s a + d (255 - a)) / 255.
inline uint32_t Blend(uint32_t s, uint32_t d, uint32_t a, const BlendChannels& c) {
  uint32_t out = 0;
  for (int k = 0; k < 3; ++k) {
    const uint32_t sv = (s & c.mask[k]) >> c.shift[k], dv = (d & c.mask[k]) >> c.shift[k];
    out |= ((sv * a + dv * (255 - a) + 127) / 255) << c.shift[k];
  }
  return out;
}

// One source pixel put over the destination by the source's opacity there.
inline void BlendPut(Surface* d, int dx, int dy, const Surface* s, int sx, int sy,
                     const BlendChannels& ch) {
  const uint32_t a = s->alpha[static_cast<size_t>(sy) * s->width + sx];
  if (a == 0) return;
  uint32_t v = Convert(s, d, Get(s, sx, sy));
  if (a != 255) v = Blend(v, Get(d, dx, dy), a, ch);
  Put(d, dx, dy, v);
}

// A copy blended by the source's alpha plane; within one surface the walking direction keeps
// overlapping rows and columns intact, as in SlowCopy.
void BlendCopy(Surface* d, int x, int y, const Surface* s, const PixelRect& r) {
  const BlendChannels ch = ChannelsOf(d->format);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const bool up = d == s && y > r.top;
  const bool left = d == s && y == r.top && x > r.left;
  for (int j0 = 0; j0 < h; ++j0) {
    const int j = up ? h - 1 - j0 : j0;
    for (int i0 = 0; i0 < w; ++i0) {
      const int i = left ? w - 1 - i0 : i0;
      BlendPut(d, x + i, y + j, s, r.left + i, r.top + j, ch);
    }
  }
}

bool Inside(const Surface* s, int64_t l, int64_t t, int64_t r, int64_t b) {
  return l >= 0 && t >= 0 && r <= s->width && b <= s->height && l < r && t < b;
}

// Pixel-by-pixel copy for overlapping copies within one surface and for mixed formats;
// the walking direction keeps overlapping rows and columns intact.
void SlowCopy(Surface* d, int x, int y, Surface* s, const PixelRect& r, bool keyed) {
  int w = r.right - r.left, h = r.bottom - r.top;
  bool up = d == s && y > r.top;
  bool left = d == s && y == r.top && x > r.left;
  for (int j0 = 0; j0 < h; ++j0) {
    int j = up ? h - 1 - j0 : j0;
    for (int i0 = 0; i0 < w; ++i0) {
      int i = left ? w - 1 - i0 : i0;
      uint32_t v = Get(s, r.left + i, r.top + j);
      if (keyed && v == s->key) continue;
      Put(d, x + i, y + j, Convert(s, d, v));
    }
  }
}
}  // namespace

PixelFormat DesktopPixelFormat() {
  return DesktopDepth() == 32 ? PixelFormat::Xrgb8888 : PixelFormat::Rgb565;
}

FormatInfo DescribeFormat(PixelFormat f) {
  switch (f) {
    case PixelFormat::Rgb565: return {16, 0xF800, 0x07E0, 0x001F};
    case PixelFormat::Rgb555: return {16, 0x7C00, 0x03E0, 0x001F};
    case PixelFormat::Xrgb8888: return {32, 0xFF0000, 0xFF00, 0xFF};
  }
  return {16, 0xF800, 0x07E0, 0x001F};
}

Surface* CreateSurface(int width, int height, PixelFormat format, bool systemMemory) {
  if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return nullptr;
  if (static_cast<int64_t>(width) * height > kMaxSurfacePixels) return nullptr;
  if (failAfter == 0) return nullptr;
  if (failAfter > 0) --failAfter;
  int bytes = format == PixelFormat::Xrgb8888 ? 4 : 2;
  int pitch = (width * bytes + 3) & ~3;
  size_t total = static_cast<size_t>(pitch) * height;
  auto* pixels = static_cast<uint8_t*>(aligned_alloc(64, (total + 63) & ~size_t{63}));
  if (!pixels) return nullptr;
  memset(pixels, 0, total);
  SDL_Surface* sdl = Wrap(pixels, width, height, bytes, pitch, format);
  if (!sdl) {
    free(pixels);
    return nullptr;
  }
  auto* s = new (std::nothrow) Surface;
  if (!s) {
    SDL_FreeSurface(sdl);
    free(pixels);
    return nullptr;
  }
  s->sdl = sdl;
  s->pixels = pixels;
  s->width = width;
  s->height = height;
  s->pitch = pitch;
  s->bytes = bytes;
  s->format = format;
  s->systemMemory = systemMemory;
  s->next = liveList;
  if (liveList) liveList->prev = s;
  liveList = s;
  ++liveCount;
  return s;
}

Surface* CreateSurface(int width, int height) {
  return CreateSurface(width, height, DesktopPixelFormat(), true);
}

void FreeSurface(Surface* s) {
  if (!s) return;
  if (s->prev) s->prev->next = s->next;
  if (s->next) s->next->prev = s->prev;
  if (liveList == s) liveList = s->next;
  --liveCount;
  SDL_FreeSurface(s->sdl);
  free(s->pixels);
  delete s;
}

int SurfaceWidth(const Surface* s) { return s ? s->width : 0; }
int SurfaceHeight(const Surface* s) { return s ? s->height : 0; }
int SurfacePitch(const Surface* s) { return s ? s->pitch : 0; }
PixelFormat SurfaceFormat(const Surface* s) { return s ? s->format : DesktopPixelFormat(); }
bool SurfaceInSystemMemory(const Surface* s) { return s && s->systemMemory; }

void SetColorKey(Surface* s, uint32_t key) {
  if (!s) return;
  if (s->bytes == 2) key &= 0xFFFF;
  s->keyed = true;
  s->key = key;
  // Switching the key off first makes SDL choose its blit anew for the new key.
  SDL_SetColorKey(s->sdl, SDL_FALSE, 0);
  SDL_SetColorKey(s->sdl, SDL_TRUE, key);
  s->indexed = false;  // the runs depend on the key: rebuilt at the next keyed copy
}

uint8_t* AlphaPlane(Surface* s) { return s && !s->alpha.empty() ? s->alpha.data() : nullptr; }

bool AddAlphaPlane(Surface* s) {
  if (!s) return false;
  try {
    s->alpha.assign(static_cast<size_t>(s->width) * s->height, 255);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool GetColorKey(const Surface* s, uint32_t* key) {
  if (!s || !s->keyed) return false;
  if (key) *key = s->key;
  return true;
}

const void* LockForReading(Surface* s, int* pitch) {
  if (!s || s->lost) return nullptr;
  if (SDL_MUSTLOCK(s->sdl)) SDL_LockSurface(s->sdl);
  if (pitch) *pitch = s->pitch;
  return s->pixels;
}

void* Lock(Surface* s, int* pitch) {
  if (!s || s->lost) return nullptr;
  if (s->indexed) DropRunLength(s);
  LockForReading(s, pitch);
  return s->pixels;
}

bool HasRunIndex(const Surface* s) { return s && s->indexed; }

void Unlock(Surface* s) {
  if (s && SDL_MUSTLOCK(s->sdl) && s->sdl->locked) SDL_UnlockSurface(s->sdl);
}

uint32_t ReadPixel(const Surface* s, int x, int y) {
  if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
  return Get(s, x, y);
}

void WritePixel(Surface* s, int x, int y, uint32_t value) {
  if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return;
  WriteLock lock(s);
  Put(s, x, y, value);
}

bool IsLost(const Surface* s) { return s && s->lost; }

void RestoreSurface(Surface* s) {
  if (!s) return;
  s->lost = false;
  WriteLock lock(s);
  memset(s->pixels, 0, static_cast<size_t>(s->pitch) * s->height);
}

void MarkSurfaceLost(Surface* s) {
  if (s) s->lost = true;
}

void MarkAllSurfacesLost() {
  for (Surface* s = liveList; s; s = s->next) s->lost = true;
  MarkPrimaryLost();
}

CopyResult Copy(Surface* dest, int x, int y, Surface* source, const PixelRect& r, bool keyed) {
  if (!dest || !source) return CopyResult::Invalid;
  if (dest->lost || source->lost) return CopyResult::Lost;
  if (!Inside(source, r.left, r.top, r.right, r.bottom) ||
      !Inside(dest, x, y, int64_t{x} + r.right - r.left, int64_t{y} + r.bottom - r.top))
    return CopyResult::Invalid;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (keyed && !source->alpha.empty()) {
    WriteLock lock(dest);
    BlendCopy(dest, x, y, source, r);
    return CopyResult::Ok;
  }
  keyed = keyed && source->keyed;
  if (dest == source || dest->format != source->format) {
    WriteLock lock(dest);
    SlowCopy(dest, x, y, source, r, keyed);
    return CopyResult::Ok;
  }
  WriteLock lock(dest);
  const bool wide = dest->bytes == 4;
  if (keyed && source->runLength && (source->indexed || IndexRuns(source))) {
    if (!source->solid) {
      wide ? CopyRuns<4>(dest, x, y, source, r) : CopyRuns<2>(dest, x, y, source, r);
      return CopyResult::Ok;
    }
  } else if (keyed) {
    wide ? SelectRows<uint32_t>(dest, x, y, source, r) : SelectRows<uint16_t>(dest, x, y, source, r);
    return CopyResult::Ok;
  }
  rows::CopyRect(dest->pixels + static_cast<size_t>(y) * dest->pitch + static_cast<size_t>(x) * dest->bytes,
                 dest->pitch,
                 source->pixels + static_cast<size_t>(r.top) * source->pitch +
                     static_cast<size_t>(r.left) * source->bytes,
                 source->pitch, static_cast<size_t>(w) * dest->bytes, h);
  return CopyResult::Ok;
}

CopyResult StretchCopy(Surface* dest, const PixelRect& d, Surface* source, const PixelRect& r,
                       bool keyed) {
  if (!dest || !source) return CopyResult::Invalid;
  if (dest->lost || source->lost) return CopyResult::Lost;
  if (!Inside(source, r.left, r.top, r.right, r.bottom) ||
      !Inside(dest, d.left, d.top, d.right, d.bottom))
    return CopyResult::Invalid;
  int sw = r.right - r.left, sh = r.bottom - r.top;
  int dw = d.right - d.left, dh = d.bottom - d.top;
  if (sw == dw && sh == dh && dest != source) return Copy(dest, d.left, d.top, source, r, keyed);
  const bool blend = keyed && !source->alpha.empty();
  const BlendChannels ch = ChannelsOf(dest->format);
  keyed = keyed && source->keyed;
  // Stretching within one surface reads pixels it may already have written; the host leaves
  // that undefined and so do we, but it never reaches outside the surface.
  WriteLock lock(dest);
  for (int j = 0; j < dh; ++j) {
    int sy = r.top + static_cast<int>(static_cast<int64_t>(j) * sh / dh);
    for (int i = 0; i < dw; ++i) {
      int sx = r.left + static_cast<int>(static_cast<int64_t>(i) * sw / dw);
      if (blend) {
        BlendPut(dest, d.left + i, d.top + j, source, sx, sy, ch);
        continue;
      }
      uint32_t v = Get(source, sx, sy);
      if (keyed && v == source->key) continue;
      Put(dest, d.left + i, d.top + j, Convert(source, dest, v));
    }
  }
  return CopyResult::Ok;
}

CopyResult Fill(Surface* dest, const PixelRect& r, uint32_t pixel) {
  if (!dest) return CopyResult::Invalid;
  if (dest->lost) return CopyResult::Lost;
  if (!Inside(dest, r.left, r.top, r.right, r.bottom)) return CopyResult::Invalid;
  WriteLock lock(dest);
  if (dest->bytes == 2) pixel &= 0xFFFF;
  const uint32_t low = pixel & 0xFF;
  const bool uniform = dest->bytes == 2 ? pixel == low * 0x0101u : pixel == low * 0x01010101u;
  if (!uniform) {
    SDL_Rect rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    SDL_FillRect(dest->sdl, &rect, pixel);
    return CopyResult::Ok;
  }
  // Black, white and the like: every byte is the same, a byte fill, one for whole rows.
  const size_t rowBytes = static_cast<size_t>(r.right - r.left) * dest->bytes;
  uint8_t* to = dest->pixels + static_cast<size_t>(r.top) * dest->pitch +
                static_cast<size_t>(r.left) * dest->bytes;
  if (rowBytes == static_cast<size_t>(dest->pitch)) {
    memset(to, static_cast<int>(low), rowBytes * (r.bottom - r.top));
  } else {
    for (int y = r.top; y < r.bottom; ++y, to += dest->pitch) memset(to, static_cast<int>(low), rowBytes);
  }
  return CopyResult::Ok;
}

uint32_t MatchColor(Surface* s, int32_t colorref) {
  if (!s || s->lost) return 0xFFFFFFFFu;
  if (colorref == -1) {
    uint32_t v = Get(s, 0, 0);
    return s->bytes == 2 ? (v & 0xFFFF) : v;
  }
  uint32_t c = static_cast<uint32_t>(colorref);
  return SDL_MapRGB(s->sdl->format, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

uint32_t PixelToColorref(PixelFormat format, uint32_t pixel) {
  FormatInfo f = DescribeFormat(format);
  auto channel = [pixel](uint32_t mask) {
    int shift = 0;
    while (shift < 32 && !((mask >> shift) & 1)) ++shift;
    uint32_t max = mask >> shift;
    uint32_t v = (pixel & mask) >> shift;
    return max ? (v * 255 + max / 2) / max : 0;
  };
  return channel(f.redMask) | channel(f.greenMask) << 8 | channel(f.blueMask) << 16;
}

namespace {
// Widens 16-bit pixels: `redShift` and `greenBits` tell 5-6-5 from 5-5-5. Plain shifts and
// masks, so the compiler turns the loop into vector code.
template <int redShift, int greenBits, bool blueHigh>
void Widen16(const uint16_t* s, uint32_t* d, int count) {
  constexpr uint32_t greenMask = (1u << greenBits) - 1;
  for (int i = 0; i < count; ++i) {
    uint32_t p = s[i];
    uint32_t r = (p >> redShift) & 31, g = (p >> 5) & greenMask, b = p & 31;
    r = r << 3 | r >> 2;
    g = greenBits == 6 ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
    b = b << 3 | b >> 2;
    d[i] = 0xFF000000u | (blueHigh ? (b << 16 | g << 8 | r) : (r << 16 | g << 8 | b));
  }
}

template <bool blueHigh>
void Widen32(const uint32_t* s, uint32_t* d, int count) {
  for (int i = 0; i < count; ++i) {
    uint32_t p = s[i];
    d[i] = 0xFF000000u | (blueHigh ? ((p & 0xFF) << 16 | (p & 0xFF00) | ((p >> 16) & 0xFF)) : p);
  }
}
}  // namespace

uint32_t SdlPixelFormat(PixelFormat f) {
  switch (f) {
    case PixelFormat::Rgb565: return SDL_PIXELFORMAT_RGB565;
    case PixelFormat::Rgb555: return SDL_PIXELFORMAT_RGB555;
    case PixelFormat::Xrgb8888: return SDL_PIXELFORMAT_RGB888;
  }
  return SDL_PIXELFORMAT_RGB565;
}

void RowToRgb32(PixelFormat format, const void* src, uint32_t* dst, int count, bool blueHigh) {
  auto* s16 = static_cast<const uint16_t*>(src);
  auto* s32 = static_cast<const uint32_t*>(src);
  switch (format) {
    case PixelFormat::Rgb565:
      blueHigh ? Widen16<11, 6, true>(s16, dst, count) : Widen16<11, 6, false>(s16, dst, count);
      break;
    case PixelFormat::Rgb555:
      blueHigh ? Widen16<10, 5, true>(s16, dst, count) : Widen16<10, 5, false>(s16, dst, count);
      break;
    case PixelFormat::Xrgb8888:
      blueHigh ? Widen32<true>(s32, dst, count) : Widen32<false>(s32, dst, count);
      break;
  }
}

void FailSurfaceCreationAfter(int n) { failAfter = n; }
int LiveSurfaceCount() { return liveCount; }

}  // namespace tu::platform
