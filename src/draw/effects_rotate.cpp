// Rotated (and scaled) copies of a sprite into a destination rectangle of the back buffer.
// Every destination pixel looks up its source point in fixed point with scale 360 through
// sinTable; the walk is cut to clipRect and the back buffer, and points outside the source
// rectangle or the sprite are skipped, so neither surface is touched outside its bounds.
#include <cmath>

#include "draw/effects_frame.h"

namespace tuDraw {

namespace {

// Larger rectangles would overflow the fixed-point sums; they draw nothing.
constexpr int64_t kMaxSide = 1 << 20;
constexpr int64_t kMaxCoordinate = 1 << 24;
constexpr int64_t kUnit = 65536;           // scale factor in 16.16
constexpr int64_t kDivisor = 720 * kUnit;  // doubled coordinates, sinTable scale 360

bool Sane(int64_t l, int64_t t, int64_t r, int64_t b) {
  return r - l <= kMaxSide && b - t <= kMaxSide && std::llabs(l) <= kMaxCoordinate &&
         std::llabs(t) <= kMaxCoordinate && std::llabs(r) <= kMaxCoordinate &&
         std::llabs(b) <= kMaxCoordinate;
}

int Rotate(int dl, int dt, int dr, int db, int angle, float scale, bool paint, int color, int id,
           int left, int top, int right, int bottom) {
  if (!fx::Ready()) return 0;
  tu::platform::Surface* sprite = fx::SpriteSurface(id);
  if (!sprite) return 0;
  if (!(scale >= 1.0f / 64) || !std::isfinite(scale)) return 1;
  if (!Sane(dl, dt, dr, db) || !Sane(left, top, right, bottom)) return 1;

  const tu::Rect bounds = fx::DestBounds();
  const tu::Rect dst{std::max(dl, bounds.left), std::max(dt, bounds.top),
                     std::min(dr, bounds.right), std::min(db, bounds.bottom)};
  const tu::Rect src{std::max(left, 0), std::max(top, 0),
                     std::min(right, tu::platform::SurfaceWidth(sprite)),
                     std::min(bottom, tu::platform::SurfaceHeight(sprite))};
  if (dst.right <= dst.left || dst.bottom <= dst.top || src.right <= src.left ||
      src.bottom <= src.top)
    return 1;

  const int a = (angle % 360 + 360) % 360;
  const int64_t k = std::llround(kUnit / double(scale));
  const int64_t cs = tables.sinTable[a + 90] * k, sn = tables.sinTable[a] * k;
  const int64_t dw = int64_t(dr) - dl, dh = int64_t(db) - dt;
  const int64_t sw = int64_t(right) - left, sh = int64_t(bottom) - top;

  // Doubled offsets of pixel centres from the destination centre (u2, v2) map to doubled
  // offsets from the source centre: x = u cos + v sin, y = v cos - u sin (divided by the
  // scale); the source pixel is then floor((offset + size) / 2). Numerators are kept non-negative with a bias so that the
  // division is a plain unsigned one.
  auto numX = [&](int64_t u2, int64_t v2) { return u2 * cs + v2 * sn + sw * 360 * kUnit; };
  auto numY = [&](int64_t u2, int64_t v2) { return v2 * cs - u2 * sn + sh * 360 * kUnit; };
  const int64_t u0 = 2 * (int64_t(dst.left) - dl) + 1 - dw, u1 = u0 + 2 * (dst.right - dst.left - 1);
  const int64_t v0 = 2 * (int64_t(dst.top) - dt) + 1 - dh, v1 = v0 + 2 * (dst.bottom - dst.top - 1);
  int64_t low = 0;
  for (int64_t u : {u0, u1})
    for (int64_t v : {v0, v1}) low = std::min({low, numX(u, v), numY(u, v)});
  const int64_t biasSteps = -low / kDivisor + 1, bias = biasSteps * kDivisor;
  // Source indices relative to (left, top) that are allowed.
  const int64_t minX = src.left - int64_t(left), maxX = src.right - int64_t(left);
  const int64_t minY = src.top - int64_t(top), maxY = src.bottom - int64_t(top);

  fx::SourcePixels sp;
  fx::Pixels dp;
  if (!fx::LockPixels(sprite, sp)) return 0;
  if (!fx::LockPixels(draw.backSurface, dp)) {
    tu::platform::Unlock(sprite);
    return 0;
  }
  const uint16_t* origin = sp.base + int64_t(top) * sp.pitch + left;
  const uint16_t ink = static_cast<uint16_t>(color);
  // Along a row the numerators grow by 2 cos and -2 sin. The walk divides once per row and
  // then steps in 32.32 fixed point: exact for the quarter turns and for power-of-two scales,
  // otherwise off by far less than a pixel over any row.
  auto fixed = [](int64_t n) {  // n / kDivisor in 32.32, rounded down
    int64_t q = n / kDivisor, r = n % kDivisor;
    if (r < 0) r += kDivisor, --q;
    return q * (int64_t(1) << 32) + (r << 32) / kDivisor;
  };
  const int64_t stepX = fixed(2 * cs), stepY = fixed(-2 * sn);
  const uint64_t spanX = uint64_t(maxX - minX), spanY = uint64_t(maxY - minY);
  const int64_t pitch = sp.pitch;
  for (int py = dst.top; py < dst.bottom; ++py) {
    const int64_t v2 = v0 + 2 * (int64_t(py) - dst.top);
    int64_t posX = fixed(numX(u0, v2) + bias) - (biasSteps << 32);
    int64_t posY = fixed(numY(u0, v2) + bias) - (biasSteps << 32);
    uint16_t* d = dp.Row(py);
    for (int px = dst.left; px < dst.right; ++px, posX += stepX, posY += stepY) {
      const int64_t ix = posX >> 32, iy = posY >> 32;
      // One unsigned comparison per axis checks both ends of the range.
      if (uint64_t(ix - minX) < spanX && uint64_t(iy - minY) < spanY)
        if (uint16_t v = origin[iy * pitch + ix]) d[px] = paint ? ink : v;
    }
  }
  tu::platform::Unlock(sprite);
  tu::platform::Unlock(draw.backSurface);
  return 1;
}

}  // namespace

int DrawRotate(int destLeft, int destTop, int destRight, int destBottom, int angle, int id,
               int left, int top, int right, int bottom) {
  return Rotate(destLeft, destTop, destRight, destBottom, angle, 1.0f, false, 0, id, left, top,
                right, bottom);
}

int DrawRotateScaled(int destLeft, int destTop, int destRight, int destBottom, int angle,
                     float scale, int id, int left, int top, int right, int bottom) {
  return Rotate(destLeft, destTop, destRight, destBottom, angle, scale, false, 0, id, left, top,
                right, bottom);
}

int DrawRotateColor(int destLeft, int destTop, int destRight, int destBottom, int angle,
                    int color, int id, int left, int top, int right, int bottom) {
  return Rotate(destLeft, destTop, destRight, destBottom, angle, 1.0f, true, color, id, left, top,
                right, bottom);
}

int DrawRotateScaledColor(int destLeft, int destTop, int destRight, int destBottom, int angle,
                          float scale, int color, int id, int left, int top, int right,
                          int bottom) {
  return Rotate(destLeft, destTop, destRight, destBottom, angle, scale, true, color, id, left,
                top, right, bottom);
}

}  // namespace tuDraw
