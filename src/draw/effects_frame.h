#pragma once
// The frame shared by the software effects: the 16-bit check, clipping of a sprite copy to
// clipRect, the back buffer and the sprite, locking, and the walk over rows and pixels.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include <tu/tuDraw.h>

#include "platform/surface.h"

namespace tu::draw::fx {

using namespace ::tuDraw;


inline bool Is16Bit(const tu::platform::Surface* s) {
  return s && (tu::platform::SurfaceFormat(s) == tu::platform::PixelFormat::Rgb565 ||
               tu::platform::SurfaceFormat(s) == tu::platform::PixelFormat::Rgb555);
}

// The effects need the 16-bit tables and a 16-bit back buffer.
inline bool Ready() {
  return tables.built16 && tuDraw::draw.pixelFormat.bitsPerPixel == 16 && Is16Bit(tuDraw::draw.backSurface);
}

inline tu::platform::Surface* SpriteSurface(int id) {
  if (static_cast<unsigned>(id) >= static_cast<unsigned>(kMaxSprites)) return nullptr;
  tu::platform::Surface* s = tuDraw::draw.sprites[id].surface;
  return Is16Bit(s) ? s : nullptr;
}

// clipRect cut to the back buffer.
inline tu::Rect DestBounds() {
  const tu::Rect& c = tuDraw::draw.clipRect;
  return {std::max(c.left, 0), std::max(c.top, 0),
          std::min(c.right, tu::platform::SurfaceWidth(tuDraw::draw.backSurface)),
          std::min(c.bottom, tu::platform::SurfaceHeight(tuDraw::draw.backSurface))};
}

// An area (x, y, width, height) cut to clipRect and the back buffer; empty when nothing is left.
inline tu::Rect AreaBounds(int x, int y, int width, int height) {
  tu::Rect b = DestBounds();
  int64_t r = int64_t(x) + std::max(width, 0), btm = int64_t(y) + std::max(height, 0);
  tu::Rect a{std::max(x, b.left), std::max(y, b.top), int(std::min<int64_t>(r, b.right)),
             int(std::min<int64_t>(btm, b.bottom))};
  if (a.right < a.left) a.right = a.left;
  if (a.bottom < a.top) a.bottom = a.top;
  return a;
}

// A locked 16-bit surface; pitch in pixels. Sources are locked for reading only, which keeps
// a sprite's opaque-run index for its later keyed draws.
template <class Pixel>
struct LockedPixels {
  tu::platform::Surface* surface = nullptr;
  Pixel* base = nullptr;
  int pitch = 0;
  Pixel* Row(int y) const { return base + static_cast<ptrdiff_t>(y) * pitch; }
};
using Pixels = LockedPixels<uint16_t>;
using SourcePixels = LockedPixels<const uint16_t>;

inline bool LockPixels(tu::platform::Surface* s, Pixels& p) {
  int pitchBytes = 0;
  void* base = tu::platform::Lock(s, &pitchBytes);
  if (!base) return false;
  p = {s, static_cast<uint16_t*>(base), pitchBytes / 2};
  return true;
}

inline bool LockPixels(tu::platform::Surface* s, SourcePixels& p) {
  int pitchBytes = 0;
  const void* base = tu::platform::LockForReading(s, &pitchBytes);
  if (!base) return false;
  p = {s, static_cast<const uint16_t*>(base), pitchBytes / 2};
  return true;
}

// A clipped sprite copy: w x h pixels from (sx, sy) of the sprite to (dx, dy) of the back
// buffer. `source` is the source rectangle cut to the sprite (neighbourhood rules stay in it).
struct CopyFrame {
  int dx = 0, dy = 0, sx = 0, sy = 0, w = 0, h = 0;
  tu::Rect source;
  SourcePixels src;
  Pixels dst;
};

// Clips as tuDraw::Draw does (right, bottom, left, top against clipRect), then to the back
// buffer and to the sprite. False when nothing is left.
inline bool ClipCopy(int x, int y, const tu::Rect& src, int spriteW, int spriteH, CopyFrame& f) {
  int64_t dx = x, dy = y, sx = src.left, sy = src.top;
  int64_t w = int64_t(src.right) - src.left, h = int64_t(src.bottom) - src.top;
  auto cut = [&](const tu::Rect& c) {
    if (dx + w > c.right) w = c.right - dx;
    if (dy + h > c.bottom) h = c.bottom - dy;
    if (dx < c.left) {
      w -= c.left - dx;
      sx += c.left - dx;
      dx = c.left;
    }
    if (dy < c.top) {
      h -= c.top - dy;
      sy += c.top - dy;
      dy = c.top;
    }
  };
  cut(tuDraw::draw.clipRect);
  cut({0, 0, tu::platform::SurfaceWidth(tuDraw::draw.backSurface), tu::platform::SurfaceHeight(tuDraw::draw.backSurface)});
  // The sprite bounds the source the same way, moving the destination along.
  if (sx < 0) {
    w += sx;
    dx -= sx;
    sx = 0;
  }
  if (sy < 0) {
    h += sy;
    dy -= sy;
    sy = 0;
  }
  if (sx + w > spriteW) w = spriteW - sx;
  if (sy + h > spriteH) h = spriteH - sy;
  if (w <= 0 || h <= 0) return false;
  f.dx = int(dx), f.dy = int(dy), f.sx = int(sx), f.sy = int(sy), f.w = int(w), f.h = int(h);
  f.source = {std::max(src.left, 0), std::max(src.top, 0), std::min(src.right, spriteW),
              std::min(src.bottom, spriteH)};
  return true;
}

// The common frame: check, clip, lock sprite then back buffer, hand every row to
// rowRule(frame, srcRow, dstRow, row), unlock. srcRow and dstRow point at the row's first
// clipped pixel; row counts from 0.
template <class RowRule>
int CopyRows(int x, int y, int id, int left, int top, int right, int bottom, RowRule&& rowRule) {
  if (!Ready()) return 0;
  tu::platform::Surface* sprite = SpriteSurface(id);
  if (!sprite) return 0;
  CopyFrame f;
  if (!ClipCopy(x, y, {left, top, right, bottom}, tu::platform::SurfaceWidth(sprite),
                tu::platform::SurfaceHeight(sprite), f))
    return 1;
  if (!LockPixels(sprite, f.src)) return 0;
  if (!LockPixels(tuDraw::draw.backSurface, f.dst)) {
    tu::platform::Unlock(sprite);
    return 0;
  }
  for (int j = 0; j < f.h; ++j) rowRule(f, f.src.Row(f.sy + j) + f.sx, f.dst.Row(f.dy + j) + f.dx, j);
  tu::platform::Unlock(sprite);
  tu::platform::Unlock(tuDraw::draw.backSurface);
  return 1;
}

// Eight pixels at a time, in whatever vector registers the target has (plain scalar code where
// it has none); Words16 is the same with signed lanes, for arithmetic on components.
using Words [[gnu::vector_size(16)]] = uint16_t;
using Words16 [[gnu::vector_size(16)]] = int16_t;
constexpr int kWords = 8;

// The common frame with a per-pixel rule(s, d) -> new d, called for non-zero s only. A rule
// with a vector form rule.Vec(s, d) for eight pixels runs on whole vectors of each row, the
// zero pixels of the source keeping the destination, and pixel by pixel on the rest.
template <class PixelRule>
int CopyPixels(int x, int y, int id, int left, int top, int right, int bottom, PixelRule&& rule) {
  return CopyRows(x, y, id, left, top, right, bottom,
                  [&](const CopyFrame& f, const uint16_t* s, uint16_t* d, int) {
                    // A local copy of the rule stays in registers: the compiler cannot prove
                    // that the pixel stores leave the caller's copy alone.
                    const auto local = rule;
                    const int w = f.w;
                    int i = 0;
                    if constexpr (requires(Words v) { local.Vec(v, v); }) {
                      for (; i + kWords <= w; i += kWords) {
                        Words a, b;
                        std::memcpy(&a, s + i, sizeof a);
                        std::memcpy(&b, d + i, sizeof b);
                        const Words out = a == 0 ? b : local.Vec(a, b);
                        std::memcpy(d + i, &out, sizeof out);
                      }
                    }
                    for (; i < w; ++i)
                      if (uint16_t v = s[i]) d[i] = local(v, d[i]);
                  });
}

// 5-bit components and their placement.
inline const uint8_t* Rgb(uint16_t p) { return tables.rgbOfPixel[p]; }
inline uint16_t Compose(int r, int g, int b) {
  const PixelFormatInfo& pf = tuDraw::draw.pixelFormat;
  return static_cast<uint16_t>((r << pf.red.shift5) | (g << pf.green.shift5) |
                               (b << pf.blue.shift5));
}

// Components are taken apart and put together with the five-bit shifts (the values
// rgbOfPixel holds), fixed at compile time for the two 16-bit layouts, so that the hot loops
// touch only the few kilobytes of table they use.
template <int RS, int GS>
struct Parts {
  static constexpr int kRed = RS, kGreen = GS;
  static unsigned R(uint16_t p) { return (p >> RS) & 31u; }
  static unsigned G(uint16_t p) { return (p >> GS) & 31u; }
  static unsigned B(uint16_t p) { return p & 31u; }
  static uint16_t Put(unsigned r, unsigned g, unsigned b) {
    return static_cast<uint16_t>(r << RS | g << GS | b);
  }
  // The grey of a pixel, avg3Table[r + g + b].
  static unsigned Grey(uint16_t p) { return tables.avg3Table[R(p) + G(p) + B(p)]; }
  // The same for eight pixels, components in signed lanes.
  static Words16 R(Words p) { return Words16((p >> RS) & 31); }
  static Words16 G(Words p) { return Words16((p >> GS) & 31); }
  static Words16 B(Words p) { return Words16(p & 31); }
  static Words Put(Words16 r, Words16 g, Words16 b) {
    return Words(r) << RS | Words(g) << GS | Words(b);
  }
};

// Runs body(Parts<...>{}) for the back buffer's layout: 5-6-5 or 5-5-5, blue lowest.
template <class Body>
int ForLayout(Body&& body) {
  const PixelFormatInfo& pf = tuDraw::draw.pixelFormat;
  if (pf.blue.shift5 == 0 && pf.red.shift5 == 11 && pf.green.shift5 == 6) return body(Parts<11, 6>{});
  if (pf.blue.shift5 == 0 && pf.red.shift5 == 10 && pf.green.shift5 == 5) return body(Parts<10, 5>{});
  return 0;
}

inline int ClampLevel(int level) { return std::clamp(level, 0, 31); }
// trunc(31 - 31 * amount), held to 0..31.
inline int LevelOf(float amount) {
  float v = 31.0f - 31.0f * amount;
  if (!(v > 0.0f)) return 0;  // also NaN
  return v >= 31.0f ? 31 : static_cast<int>(v);
}

}  // namespace tu::draw::fx

namespace tuDraw {
namespace fx = tu::draw::fx;
}  // namespace tuDraw
