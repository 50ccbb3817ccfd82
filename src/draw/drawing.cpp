// Drawing sprites into the back buffer or into other sprites, clipped to clipRect, and the
// row-by-row effect draws built on them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/surface.h"

namespace tuDraw {

namespace {
inline tu::platform::Surface* SurfaceOf(int id) {
  return static_cast<unsigned>(id) < static_cast<unsigned>(kMaxSprites) ? draw.sprites[id].surface
                                                                        : nullptr;
}

// Clips a copy of (left, top, right, bottom) to (x, y) against clipRect: right, bottom, left,
// top in that order. False when nothing is left; an empty rectangle still counts as a copy.
inline bool Clip(int& x, int& y, int& left, int& top, int& right, int& bottom) {
  // 64-bit sums: wild coordinates from a caller clip to nothing instead of overflowing.
  const tu::Rect& c = draw.clipRect;
  int64_t l = left, t = top, r = right, b = bottom, px = x, py = y;
  if (px + (r - l) > c.right) r -= px + (r - l) - c.right;
  if (py + (b - t) > c.bottom) b -= py + (b - t) - c.bottom;
  if (px < c.left) {
    l += c.left - px;
    px = c.left;
  }
  if (py < c.top) {
    t += c.top - py;
    py = c.top;
  }
  if (r < l || b < t) return false;
  x = static_cast<int>(px), y = static_cast<int>(py);
  left = static_cast<int>(l), top = static_cast<int>(t);
  right = static_cast<int>(r), bottom = static_cast<int>(b);
  return true;
}

inline void Blit(tu::platform::Surface* dest, int x, int y, int id, int left, int top, int right,
                 int bottom, bool keyed) {
  if (static_cast<unsigned>(id) >= static_cast<unsigned>(kMaxSprites)) return;
  if (!Clip(x, y, left, top, right, bottom)) return;
  tu::platform::CopyResult r =
      tu::platform::Copy(dest, x, y, draw.sprites[id].surface, {left, top, right, bottom}, keyed);
  if (r == tu::platform::CopyResult::Lost) Restore();
}

void Scaled(int x, int y, int id, int left, int top, int right, int bottom, int width, int height,
            bool keyed) {
  tu::platform::Surface* src = SurfaceOf(id);
  if (static_cast<unsigned>(id) >= static_cast<unsigned>(kMaxSprites)) return;
  if (draw.canStretch) {
    tu::platform::CopyResult r = tu::platform::StretchCopy(draw.backSurface, {x, y, x + width, y + height},
                                                   src, {left, top, right, bottom}, keyed);
    if (r == tu::platform::CopyResult::Lost) Restore();
    return;
  }
  // Without a stretching blitter the picture is stretched into the Buffer sprite first.
  tu::platform::StretchCopy(draw.sprites[0].surface, {0, 0, width, height}, src,
                        {left, top, right, bottom}, false);
  if (keyed)
    Draw(x, y, 0, 0, 0, width, height);
  else
    DrawOpaque(x, y, 0, 0, 0, width, height);
}

inline int WaveShift(int amplitude, int q, float phase) {
  return static_cast<int>(amplitude * std::cos((q + static_cast<int>(phase)) * tuSystem::kPi / 360.0));
}

inline void AdvancePhase(float& phase, float speed) {
  phase += speed * tuSystem::sys.frameSeconds;
  if (phase >= 360.0f) phase -= 360.0f;
}

// One axis of a mirrored copy of [first, last) to `at`: the offsets k in [from, to) whose
// destination at + k lies in [clipLo, clipHi) and whose source (first + k, or last - 1 - k when
// flipped) lies in [0, srcSize). 64-bit, so any int arguments give an exact, short range.
struct MirrorSpan {
  int64_t from, to;
};
MirrorSpan CutMirrorSpan(int64_t at, int64_t first, int64_t last, bool flip, int64_t clipLo,
                         int64_t clipHi, int64_t srcSize) {
  int64_t from = std::max<int64_t>(0, clipLo - at), to = std::min(last - first, clipHi - at);
  if (flip) {
    from = std::max(from, last - srcSize);
    to = std::min(to, last);
  } else {
    from = std::max(from, -first);
    to = std::min(to, srcSize - first);
  }
  return {from, to};
}

// Keeps a scroll offset within [0, size).
inline void WrapInto(float& v, int size) {
  v = std::fmod(v, static_cast<float>(size));
  if (v < 0.0f) v += static_cast<float>(size);
  if (v >= static_cast<float>(size)) v = 0.0f;
}
}  // namespace

void Clear() {
  tu::platform::Fill(draw.backSurface, {0, 0, draw.screenWidth, draw.screenHeight}, 0);
}

void ClearObject(int id) {
  tu::platform::Surface* s = SurfaceOf(id);
  if (!s) return;
  tu::platform::Fill(s, {0, 0, draw.sprites[id].width, draw.sprites[id].height}, 0);
}

void Draw(int x, int y, int id, int left, int top, int right, int bottom) {
  Blit(draw.backSurface, x, y, id, left, top, right, bottom, true);
}

void DrawOpaque(int x, int y, int id, int left, int top, int right, int bottom) {
  Blit(draw.backSurface, x, y, id, left, top, right, bottom, false);
}

void DrawTo(int destId, int x, int y, int id, int left, int top, int right, int bottom) {
  Blit(SurfaceOf(destId), x, y, id, left, top, right, bottom, true);
}

void DrawToOpaque(int destId, int x, int y, int id, int left, int top, int right, int bottom) {
  Blit(SurfaceOf(destId), x, y, id, left, top, right, bottom, false);
}

void DrawScaled(int x, int y, int id, int left, int top, int right, int bottom, int width,
                int height) {
  Scaled(x, y, id, left, top, right, bottom, width, height, true);
}

void DrawScaledOpaque(int x, int y, int id, int left, int top, int right, int bottom, int width,
                      int height) {
  Scaled(x, y, id, left, top, right, bottom, width, height, false);
}

void DrawWave(int x, int y, int amplitude, int period, float speed, int id, int left, int top,
              int right, int bottom, int alternate) {
  static float phase = 0.0f;
  static int sign = 1;
  for (int r = top; r < bottom; ++r) {
    int q = period != 0 ? r / period : r;
    int s = WaveShift(amplitude, q, phase);
    if (alternate) {
      s *= sign;
      sign = -sign;
    }
    Draw(x + s, y + r - top, id, left, r, right, r + 1);
  }
  AdvancePhase(phase, speed);
}

void DrawTiled(float speedX, float speedY, int id, int left, int top, int right, int bottom) {
  static float offsetX = 0.0f, offsetY = 0.0f;
  int tw = right - left, th = bottom - top;
  if (tw <= 0 || th <= 0) return;
  for (int i = 0; i <= draw.screenWidth / tw + 1; ++i)
    for (int j = 0; j <= draw.screenHeight / th + 1; ++j)
      Draw(i * tw + static_cast<int>(offsetX), j * th + static_cast<int>(offsetY), id, left, top,
           right, bottom);
  offsetX += speedX * tuSystem::sys.frameSeconds;
  offsetY += speedY * tuSystem::sys.frameSeconds;
  if (offsetX < -tw) offsetX += tw;
  if (offsetX > 0) offsetX -= tw;
  if (offsetY < -th) offsetY += th;
  if (offsetY > 0) offsetY -= th;
}

void DrawWaveScroll(int x, int y, int amplitude, int period, float waveSpeed, float scrollSpeed,
                    int id, int left, int top, int right, int bottom) {
  static float phase = 0.0f, scroll = 0.0f;
  int h = bottom - top;
  if (h <= 0) return;
  for (int r = top; r < bottom; ++r) {
    int row = static_cast<int>(scroll) + r;
    if (row >= bottom) row = top + (row - bottom) + 1;
    int q = period != 0 ? r / period : r;
    Draw(x + WaveShift(amplitude, q, phase), y + r, id, left, row, right, row + 1);
  }
  AdvancePhase(phase, waveSpeed);
  scroll -= scrollSpeed * tuSystem::sys.frameSeconds;
  WrapInto(scroll, h);
}

void DrawWaveColumns(int topY, int bottomY, int amplitude, int period, float waveSpeed,
                     float scrollSpeed, int id, int left, int top, int right, int bottom) {
  static float phase = 0.0f, scroll = 0.0f;
  int w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) return;
  for (int k = 0; topY + k < bottomY; ++k) {
    int src = k % h + static_cast<int>(scroll);
    if (src >= h) src -= h;
    int row = top + src;
    int q = period != 0 ? k / period : k;
    int s = WaveShift(amplitude, q, phase) - amplitude;
    for (int x = s; x < draw.screenWidth; x += w) Draw(x, topY + k, id, left, row, right, row + 1);
  }
  AdvancePhase(phase, waveSpeed);
  scroll -= scrollSpeed * tuSystem::sys.frameSeconds;
  WrapInto(scroll, h);
}

void DrawStretchRows(int x, int y, int band, int id, int left, int top, int right, int bottom) {
  if (band < 1) band = 1;
  for (int r = top; r < bottom; ++r) {
    int src = top + (r - top) / band * band;
    Draw(x, y + r - top, id, left, src, right, src + 1);
  }
}

void DrawScanlines(int x, int y, int step, int id, int left, int top, int right, int bottom) {
  if (step > 0) {
    for (int64_t r = static_cast<int64_t>(top) + step; r < bottom; r += step)
      Draw(x, y + static_cast<int>(r) - top, id, left, static_cast<int>(r), right,
           static_cast<int>(r) + 1);
  } else if (step < 0) {
    int64_t span = -static_cast<int64_t>(step);
    auto gap = [span] { return static_cast<int64_t>(rand()) % span + 1; };
    for (int64_t r = top + gap(); r < bottom; r += gap())
      Draw(x, y + static_cast<int>(r) - top, id, left, static_cast<int>(r), right,
           static_cast<int>(r) + 1);
  }
}

void DrawJitter(int x, int y, int jitter, int id, int left, int top, int right, int bottom) {
  if (jitter <= 0) {
    Draw(x, y, id, left, top, right, bottom);
    return;
  }
  if (jitter > 1 << 20) jitter = 1 << 20;
  for (int r = top; r < bottom; ++r)
    Draw(x + rand() % (2 * jitter) - jitter, y + r - top, id, left, r, right, r + 1);
}

void DrawRoll(int x, int y, int forward, float speed, int id, int left, int top, int right,
              int bottom) {
  static float phase = 0.0f;
  // Source rows run from 0 to n - 1 whatever `top` is.
  int n = bottom - top;
  if (n <= 0) return;
  if (n == 1) {
    DrawOpaque(x, y, id, left, 0, right, 1);
    return;
  }
  int end = 0;
  for (int i = 0; i < n; ++i) {
    int to = static_cast<int>(n / 2.0 + n / 2.0 * std::cos((phase + i) * 2.0 * tuSystem::kPi / (n - 1)));
    for (; end < to; ++end) DrawOpaque(x, y + end, id, left, i, right, i + 1);
  }
  phase += (forward ? speed : -speed) * tuSystem::sys.frameSeconds;
  WrapInto(phase, n);
}

// Destination pixel (x + i, y + j) takes source pixel (left + i, or right - 1 - i mirrored
// left-right; top + j, or bottom - 1 - j mirrored top-bottom); pixels of value 0 are skipped.
// The rectangle is cut to clipRect, the back buffer and the sprite once, up front, so a wild
// rectangle costs no more than its visible part.
void DrawMirror(int x, int y, int mode, int id, int left, int top, int right, int bottom) {
  tu::platform::Surface* src = SurfaceOf(id);
  tu::platform::Surface* dst = draw.backSurface;
  if (!src || !dst || tu::platform::SurfaceFormat(src) != tu::platform::SurfaceFormat(dst)) return;
  const tu::Rect& c = draw.clipRect;
  const bool flipX = mode & kMirrorX, flipY = mode & kMirrorY;
  const MirrorSpan cols = CutMirrorSpan(x, left, right, flipX, std::max(c.left, 0),
                                        std::min(c.right, tu::platform::SurfaceWidth(dst)),
                                        tu::platform::SurfaceWidth(src));
  const MirrorSpan rows = CutMirrorSpan(y, top, bottom, flipY, std::max(c.top, 0),
                                        std::min(c.bottom, tu::platform::SurfaceHeight(dst)),
                                        tu::platform::SurfaceHeight(src));
  if (cols.from >= cols.to || rows.from >= rows.to) return;
  // Reading keeps the sprite's opaque-run index; a lost surface fails here, silently.
  int srcPitch = 0, dstPitch = 0;
  auto* from = static_cast<const uint8_t*>(tu::platform::LockForReading(src, &srcPitch));
  if (!from) return;
  auto* to = static_cast<uint8_t*>(tu::platform::Lock(dst, &dstPitch));
  if (!to) {
    tu::platform::Unlock(src);
    return;
  }
  auto copy = [&](auto pixel) {
    using Pixel = decltype(pixel);
    for (int64_t j = rows.from; j < rows.to; ++j) {
      const int64_t sy = flipY ? int64_t{bottom} - 1 - j : top + j;
      const auto* s = reinterpret_cast<const Pixel*>(from + sy * srcPitch);
      auto* d = reinterpret_cast<Pixel*>(to + (y + j) * dstPitch);
      for (int64_t i = cols.from; i < cols.to; ++i) {
        const Pixel v = s[flipX ? int64_t{right} - 1 - i : left + i];
        if (v != 0) d[x + i] = v;
      }
    }
  };
  if (tu::platform::DescribeFormat(tu::platform::SurfaceFormat(src)).bitsPerPixel == 16)
    copy(uint16_t{});
  else
    copy(uint32_t{});
  tu::platform::Unlock(src);
  tu::platform::Unlock(dst);
}

}  // namespace tuDraw
