// Rectangle fills of the back buffer and filters over areas of it: darkening, rising smoke,
// magnifiers, mosaic, inversion and relief. Areas are cut to clipRect and the back buffer
// before anything is read or written.
#include <cstdlib>
#include <cstring>

#include "draw/effects_frame.h"

namespace tuDraw {

using fx::Compose;
using fx::Rgb;

namespace {

// A rectangle cut to the back buffer, filled through the surface's colour fill.
int Fill(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t value) {
  if (!fx::Ready()) return 0;
  tu::platform::Surface* back = draw.backSurface;
  tu::platform::PixelRect r{int(std::max<int64_t>(left, 0)), int(std::max<int64_t>(top, 0)),
                        int(std::min<int64_t>(right, tu::platform::SurfaceWidth(back))),
                        int(std::min<int64_t>(bottom, tu::platform::SurfaceHeight(back)))};
  if (r.right <= r.left || r.bottom <= r.top) return 1;
  return tu::platform::Fill(back, r, value) == tu::platform::CopyResult::Lost ? 0 : 1;
}

// Locks the back buffer for an area filter; false (with `result` set) when there is nothing
// to do or the lock fails.
bool BeginArea(const tu::Rect& a, fx::Pixels& p, int& result) {
  if (a.right <= a.left || a.bottom <= a.top) {
    result = 1;
    return false;
  }
  if (!fx::LockPixels(draw.backSurface, p)) {
    result = 0;
    return false;
  }
  return true;
}

int SmokeArea(int color, int x, int y, int width, int height, int fade, int drift, int dense) {
  if (!fx::Ready()) return 0;
  const tu::Rect a = fx::AreaBounds(x, y, width, height);
  fx::Pixels p;
  int result = 1;
  if (!BeginArea(a, p, result)) return result;
  const uint8_t* pattern = tables.randomTable;
  int k = rand() % 10000;
  auto next = [&] {
    int n = pattern[k];
    if (++k == 10000) k = 0;
    return n;
  };
  if (color != 0) {
    uint16_t* row = p.Row(a.bottom - 1);
    for (int i = a.left; i < a.right; ++i)
      if (next() == 0) row[i] = static_cast<uint16_t>(color);
  }
  const uint16_t* sub = tables.subTable;
  fx::ForLayout([&](auto parts) {
    using P = decltype(parts);
    // The components of a pixel spread over one word, ten bits apart, so that four of them
    // add up without carries and the sums shift right by 2 together.
    auto spread = [](uint16_t v) { return P::R(v) << 20 | P::G(v) << 10 | P::B(v); };
    constexpr uint32_t kFields = 31u << 20 | 31u << 10 | 31u;
    for (int j = a.top + 1; j + 1 < a.bottom; ++j) {
      uint16_t* row = p.Row(j);
      uint16_t* up = p.Row(j - 1);
      const uint16_t* down = p.Row(j + 1);
      for (int i = a.left + 1; i + 1 < a.right; ++i) {
        const int n = next();
        if (!dense && n != 0) continue;
        const uint32_t avg =
            ((spread(up[i]) + spread(down[i]) + spread(row[i - 1]) + spread(row[i + 1])) >> 2) &
            kFields;
        const unsigned r = avg >> 20, g = (avg >> 10) & 31, b = avg & 31;
        const int to = drift ? i + n - 1 : i;
        up[to] = fade ? static_cast<uint16_t>(sub[r * 32 + 1] | sub[1024 + g * 32 + 1] |
                                              sub[2048 + b * 32 + 1])
                      : P::Put(r, g, b);
      }
    }
    return 1;
  });
  tu::platform::Unlock(draw.backSurface);
  return 1;
}

// Doubles the middle half of rows of the area into the Buffer sprite and draws them back.
int MagnifyArea(int x, int y, int width, int height, int blend, bool rowsToo) {
  if (!fx::Ready()) return 0;
  tu::platform::Surface* buffer = fx::SpriteSurface(0);
  if (!buffer) return 0;
  tu::Rect a = fx::AreaBounds(x, y, width, height);
  a.right = std::min(a.right, a.left + tu::platform::SurfaceWidth(buffer));
  a.bottom = std::min(a.bottom, a.top + tu::platform::SurfaceHeight(buffer));
  fx::Pixels back, buf;
  int result = 1;
  if (!BeginArea(a, back, result)) return result;
  if (!fx::LockPixels(buffer, buf)) {
    tu::platform::Unlock(draw.backSurface);
    return 0;
  }
  const int w = a.right - a.left, h = a.bottom - a.top;
  const uint16_t half = static_cast<uint16_t>(draw.pixelFormat.halfMask);
  const int firstCol = a.left + w / 4, lastCol = a.right - 1;
  for (int r = 0; r < h; ++r) {
    const uint16_t* s = back.Row(rowsToo ? a.top + h / 4 + r / 2 : a.top + r);
    uint16_t* d = buf.Row(r);
    for (int i = 0; i < w; ++i) {
      const int col = firstCol + i / 2;
      if (blend && (i & 1)) {
        const uint16_t u = s[col], v = s[std::min(col + 1, lastCol)];
        d[i] = static_cast<uint16_t>(((u >> 1) & half) + ((v >> 1) & half));
      } else {
        d[i] = s[col];
      }
    }
  }
  tu::platform::Unlock(buffer);
  tu::platform::Unlock(draw.backSurface);
  for (int r = 0; r < h; ++r) DrawOpaque(a.left, a.top + r, 0, 0, r, w, r + 1);
  return 1;
}

}  // namespace

int FillRect(int left, int top, int right, int bottom) { return Fill(left, top, right, bottom, 0); }

int FrameRect(int left, int top, int right, int bottom) {
  if (!fx::Ready()) return 0;
  if (right <= left || bottom <= top) return 1;
  int64_t l = left, t = top, r = right, b = bottom;
  int ok = Fill(l, t, r, t + 1, 0);
  ok &= Fill(l, b - 1, r, b, 0);
  ok &= Fill(l, t, l + 1, b, 0);
  ok &= Fill(r - 1, t, r, b, 0);
  return ok;
}

int FillScreenWhite() {
  return Fill(0, 0, draw.screenWidth, draw.screenHeight, draw.pixelFormat.fullMask);
}

int FillRectWhite(int left, int top, int right, int bottom) {
  return Fill(left, top, right, bottom, draw.pixelFormat.fullMask);
}

int FillRectValue(int left, int top, int right, int bottom, int value) {
  return Fill(left, top, right, bottom, static_cast<uint16_t>(value));
}

int DarkenRect(int left, int top, int right, int bottom, int value) {
  if (!fx::Ready()) return 0;
  const tu::Rect a = fx::AreaBounds(left, top, int(std::clamp<int64_t>(int64_t(right) - left, 0, INT32_MAX)),
                                    int(std::clamp<int64_t>(int64_t(bottom) - top, 0, INT32_MAX)));
  const int times = std::clamp(value, 0, 6);
  if (times == 0) return 1;
  fx::Pixels p;
  int result = 1;
  if (!BeginArea(a, p, result)) return result;
  const uint16_t half = static_cast<uint16_t>(draw.pixelFormat.halfMask);
  for (int j = a.top; j < a.bottom; ++j) {
    uint16_t* row = p.Row(j);
    for (int i = a.left; i < a.right; ++i) {
      uint16_t v = row[i];
      for (int n = 0; n < times; ++n) v = (v >> 1) & half;
      row[i] = v;
    }
  }
  tu::platform::Unlock(draw.backSurface);
  return 1;
}

int Smoke(int x, int y, int width, int height) { return SmokeArea(0, x, y, width, height, 0, 0, 0); }

int SmokeFlags(int x, int y, int width, int height, int fade, int drift, int dense) {
  return SmokeArea(0, x, y, width, height, fade, drift, dense);
}

int SmokeFeed(int color, int x, int y, int width, int height) {
  return SmokeArea(color, x, y, width, height, 0, 0, 0);
}

int SmokeFeedFlags(int color, int x, int y, int width, int height, int fade, int drift,
                   int dense) {
  return SmokeArea(color, x, y, width, height, fade, drift, dense);
}

int MagnifyWide(int x, int y, int width, int height, int blend) {
  return MagnifyArea(x, y, width, height, blend, false);
}

int Magnify(int x, int y, int width, int height, int blend) {
  return MagnifyArea(x, y, width, height, blend, true);
}

int Mosaic(int x, int y, int r, int c) {
  if (!fx::Ready()) return 0;
  if (r <= 0 || c <= 0) return 1;
  const int64_t x0 = int64_t(x) - r, y0 = int64_t(y) - r, side = 2 * int64_t(r);
  const tu::Rect b = fx::DestBounds();
  tu::Rect a{int(std::max<int64_t>(x0, b.left)), int(std::max<int64_t>(y0, b.top)),
             int(std::min<int64_t>(x0 + side, b.right)), int(std::min<int64_t>(y0 + side, b.bottom))};
  fx::Pixels p;
  int result = 1;
  if (!BeginArea(a, p, result)) return result;
  // Blocks are counted from the square's corner, so cutting the square never shifts them. The
  // band's first row is filled block by block (each block's first pixel is read before its
  // block is written) and copied to the band's other rows.
  const size_t rowBytes = size_t(a.right - a.left) * sizeof(uint16_t);
  for (int64_t by = y0 + (a.top - y0) / c * c; by < a.bottom; by += c) {
    const int top = int(std::max<int64_t>(by, a.top)), bottom = int(std::min<int64_t>(by + c, a.bottom));
    uint16_t* first = p.Row(top);
    for (int64_t bx = x0 + (a.left - x0) / c * c; bx < a.right; bx += c) {
      const int left = int(std::max<int64_t>(bx, a.left)), right = int(std::min<int64_t>(bx + c, a.right));
      std::fill(first + left, first + right, first[left]);
    }
    for (int j = top + 1; j < bottom; ++j) std::memcpy(p.Row(j) + a.left, first + a.left, rowBytes);
  }
  tu::platform::Unlock(draw.backSurface);
  return 1;
}

int Invert(int x, int y, int width, int height) {
  if (!fx::Ready()) return 0;
  const tu::Rect a = fx::AreaBounds(x, y, width, height);
  fx::Pixels p;
  int result = 1;
  if (!BeginArea(a, p, result)) return result;
  for (int j = a.top; j < a.bottom; ++j) {
    uint16_t* row = p.Row(j);
    for (int i = a.left; i < a.right; ++i) {
      const uint8_t* c = Rgb(row[i]);
      row[i] = Compose(31 - c[0], 31 - c[1], 31 - c[2]);
    }
  }
  tu::platform::Unlock(draw.backSurface);
  return 1;
}

int Emboss(int x, int y, int width, int height) {
  if (!fx::Ready()) return 0;
  const tu::Rect a = fx::AreaBounds(x, y, width, height);
  fx::Pixels p;
  int result = 1;
  if (!BeginArea(a, p, result)) return result;
  // Bottom-up and right to left, so every pixel reads an upper-left neighbour not yet changed.
  for (int j = a.bottom - 1; j > a.top; --j) {
    uint16_t* row = p.Row(j);
    const uint16_t* above = p.Row(j - 1);
    for (int i = a.right - 1; i > a.left; --i) {
      const uint8_t* c = Rgb(row[i]);
      const uint8_t* n = Rgb(above[i - 1]);
      row[i] = Compose(std::clamp(16 + c[0] - n[0], 0, 31), std::clamp(16 + c[1] - n[1], 0, 31),
                       std::clamp(16 + c[2] - n[2], 0, 31));
    }
  }
  tu::platform::Unlock(draw.backSurface);
  return 1;
}

}  // namespace tuDraw
