// The device context's pixels and shapes: colour conversion for the target's channel masks,
// lines with the host's end-point rule and wide round-ended pens, rectangles, polygons, Bezier
// curves, hatch brushes, inversion and stretching. Text is in dc_text.cpp.
#include "raster/dc.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tu::raster {

namespace {

struct Chan {
  int shift, bits;
};
Chan ChanOf(uint32_t mask) {
  if (!mask) return {0, 0};
  return {std::countr_zero(mask), std::popcount(mask)};
}

uint32_t Narrow(uint32_t v8, Chan c) {
  if (c.bits == 0) return 0;
  return (v8 >> (8 - c.bits)) << c.shift;
}

uint32_t Widen(uint32_t pixel, uint32_t mask, Chan c) {
  if (c.bits == 0) return 0;
  uint32_t max = (1u << c.bits) - 1;
  uint32_t v = (pixel & mask) >> c.shift;
  // Scaled so that full intensity is 255, rounded to the nearest step.
  return (v * 255 + max / 2) / max;
}

inline uint32_t R(uint32_t c) { return c & 0xFF; }
inline uint32_t G(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t B(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

}  // namespace

uint32_t ColorToPixel(const PixelTarget& t, uint32_t c) {
  return Narrow(R(c), ChanOf(t.redMask)) | Narrow(G(c), ChanOf(t.greenMask)) |
         Narrow(B(c), ChanOf(t.blueMask));
}

uint32_t PixelToColor(const PixelTarget& t, uint32_t p) {
  return Rgb(Widen(p, t.redMask, ChanOf(t.redMask)), Widen(p, t.greenMask, ChanOf(t.greenMask)),
             Widen(p, t.blueMask, ChanOf(t.blueMask)));
}

uint32_t ReadTargetPixel(const PixelTarget& t, int x, int y) {
  if (!t.pixels || x < 0 || y < 0 || x >= t.width || y >= t.height) return 0;
  const uint8_t* row = static_cast<const uint8_t*>(t.pixels) + static_cast<std::ptrdiff_t>(y) * t.pitch;
  if (t.bitsPerPixel == 16) return reinterpret_cast<const uint16_t*>(row)[x];
  return reinterpret_cast<const uint32_t*>(row)[x];
}

void WriteTargetPixel(const PixelTarget& t, int x, int y, uint32_t p) {
  if (!t.pixels || x < 0 || y < 0 || x >= t.width || y >= t.height) return;
  uint8_t* row = static_cast<uint8_t*>(t.pixels) + static_cast<std::ptrdiff_t>(y) * t.pitch;
  if (t.bitsPerPixel == 16)
    reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(p);
  else
    reinterpret_cast<uint32_t*>(row)[x] = p;
}

// ---- Binding and state

void DeviceContext::Attach(const PixelTarget& target) {
  target_ = target;
  if (target_.bitsPerPixel != 16 && target_.bitsPerPixel != 32) target_.pixels = nullptr;
  clip_ = {0, 0, target_.pixels ? target_.width : 0, target_.pixels ? target_.height : 0};
}

void DeviceContext::Detach() {
  target_ = PixelTarget{};
  target_.pixels = nullptr;
  clip_ = {};
}

uint32_t DeviceContext::SetTextColor(uint32_t color) {
  uint32_t old = textColor_;
  textColor_ = color & 0xFFFFFF;
  return old;
}
uint32_t DeviceContext::SetBkColor(uint32_t color) {
  uint32_t old = bkColor_;
  bkColor_ = color & 0xFFFFFF;
  return old;
}
void DeviceContext::SetBkTransparent(bool transparent) { bkTransparent_ = transparent; }

void DeviceContext::SetPen(uint32_t color, int width, bool null) {
  penColor_ = color & 0xFFFFFF;
  penWidth_ = std::clamp(width, 1, kMaxPenWidth);
  penNull_ = null;
}
void DeviceContext::SetBrush(BrushKind kind, uint32_t color) {
  brushKind_ = kind;
  brushColor_ = color & 0xFFFFFF;
}
platform::Font* DeviceContext::SelectFont(platform::Font* font) {
  platform::Font* old = font_;
  font_ = font;
  return old;
}

// ---- Pixels

inline void DeviceContext::Plot(int x, int y, uint32_t pixel) {
  if (x < clip_.left || y < clip_.top || x >= clip_.right || y >= clip_.bottom) return;
  WriteTargetPixel(target_, x, y, pixel);
}

uint32_t DeviceContext::SetPixel(int x, int y, uint32_t color) {
  if (!Attached() || x < 0 || y < 0 || x >= target_.width || y >= target_.height)
    return kInvalidColor;
  uint32_t p = ColorToPixel(target_, color);
  WriteTargetPixel(target_, x, y, p);
  return PixelToColor(target_, p);
}

uint32_t DeviceContext::GetPixel(int x, int y) const {
  if (!Attached() || x < 0 || y < 0 || x >= target_.width || y >= target_.height)
    return kInvalidColor;
  return PixelToColor(target_, ReadTargetPixel(target_, x, y));
}

// ---- Lines

namespace {

using Wide = __int128;

// a / b for a >= 0 and b > 0, in 64 bits whenever both fit, as for any line on the surface.
int64_t Quotient(Wide a, Wide b) {
  constexpr Wide kMax = INT64_MAX;
  if (a <= kMax && b <= kMax) return static_cast<int64_t>(a) / static_cast<int64_t>(b);
  return static_cast<int64_t>(a / b);
}

// The points of a segment's error walk (StrokeSegment) in closed form: step k (0..n) lies k
// pixels along the major axis and floor((2mk + n) / 2n) along the minor one, n >= m being the
// two extents. Both coordinates move monotonically with k, so the steps inside a rectangle
// are one range of k that a few divisions find: no walk to the edge, whatever the end points.
struct Walk {
  int64_t x1, y1;
  int sx, sy;
  bool xMajor;
  int64_t n, m;

  Walk(int ax, int ay, int bx, int by) : x1(ax), y1(ay) {
    int64_t dx = int64_t{bx} - ax, dy = int64_t{by} - ay;
    sx = ax < bx ? 1 : -1;
    sy = ay < by ? 1 : -1;
    dx = dx < 0 ? -dx : dx;
    dy = dy < 0 ? -dy : dy;
    xMajor = dx >= dy;
    n = xMajor ? dx : dy;
    m = xMajor ? dy : dx;
  }

  int64_t Minor(int64_t k) const {
    return n == 0 ? 0 : Quotient(Wide{2} * m * k + n, Wide{2} * n);
  }

  // Narrows the steps [k0, k1) to those whose point lies in [left, right) x [top, bottom).
  void Clip(int64_t left, int64_t top, int64_t right, int64_t bottom, int64_t& k0,
            int64_t& k1) const {
    auto major = [&](int64_t c1, int s, int64_t lo, int64_t hi) {
      if (s > 0) {
        k0 = std::max(k0, lo - c1);
        k1 = std::min(k1, hi - c1);
      } else {
        k0 = std::max(k0, c1 - hi + 1);
        k1 = std::min(k1, c1 - lo + 1);
      }
    };
    auto minor = [&](int64_t c1, int s, int64_t lo, int64_t hi) {
      // The minor offsets allowed, low..high, within 0..m that the walk covers.
      int64_t low = std::max<int64_t>(s > 0 ? lo - c1 : c1 - hi + 1, 0);
      int64_t high = std::min(s > 0 ? hi - 1 - c1 : c1 - lo, m);
      if (low > high) {
        k1 = k0;
        return;
      }
      auto ceilDiv = [](Wide a, Wide b) { return Quotient(a + b - 1, b); };
      if (low > 0) k0 = std::max(k0, ceilDiv(Wide{2} * n * low - n, Wide{2} * m));
      if (high < m) k1 = std::min(k1, ceilDiv(Wide{2} * n * high + n, Wide{2} * m));
    };
    if (xMajor) {
      major(x1, sx, left, right);
      minor(y1, sy, top, bottom);
    } else {
      major(y1, sy, top, bottom);
      minor(x1, sx, left, right);
    }
  }
};

// The walk steps along x when 2·err >= -b and along y when 2·err <= a (a = |dx|, b = |dy|,
// err starting at a - b). Started at any step k from the closed form, where
// err = (a - b) + a·(y steps) - b·(x steps), which stays within a few times the extents.
struct WalkState {
  int64_t x, y, err, a, b;
  int sx, sy;

  WalkState(const Walk& w, int64_t k) : sx(w.sx), sy(w.sy) {
    a = w.xMajor ? w.n : w.m;
    b = w.xMajor ? w.m : w.n;
    const int64_t minor = w.Minor(k);
    const int64_t xSteps = w.xMajor ? k : minor, ySteps = w.xMajor ? minor : k;
    err = static_cast<int64_t>(Wide{a} - b + Wide{a} * ySteps - Wide{b} * xSteps);
    x = w.x1 + sx * xSteps;
    y = w.y1 + sy * ySteps;
  }

  void Step() {
    const int64_t e2 = 2 * err;
    if (e2 >= -b) {
      err -= b;
      x += sx;
    }
    if (e2 <= a) {
      err += a;
      y += sy;
    }
  }
};

// A wide pen's round tip, row by row from its top row, -(width / 2): the columns first..last
// around the point. The tip is a disc of the pen's width: the pixels (dx, dy) from -(w / 2) on
// with (2dx + e)^2 + (2dy + e)^2 <= w^2, e being 1 for even widths (whose centre lies between
// pixels). Each of its rows is one run of columns.
struct TipRow {
  int first, last;
};

void MakeTip(int w, TipRow* tip) {
  const int lo = -(w / 2), even = (w % 2 == 0) ? 1 : 0;
  for (int row = 0; row < w; ++row) {
    const int yy = 2 * (lo + row) + even, room = w * w - yy * yy;  // never negative
    int q = static_cast<int>(std::sqrt(static_cast<double>(room)));
    while (q * q > room) --q;
    while ((q + 1) * (q + 1) <= room) ++q;
    tip[row] = {(-q - even + 1) >> 1, (q - even) >> 1};  // |2dx + e| <= q
  }
}

// Writes `count` steps of a one-pixel walk from `at`, every one of them inside the target (the
// walk was clipped to it), straight into the rows.
template <class Pixel>
void TracePixels(const PixelTarget& t, const WalkState& at, int64_t count, uint32_t pixel) {
  auto* base = static_cast<uint8_t*>(t.pixels);
  const Pixel value = static_cast<Pixel>(pixel);
  const int64_t stepX = at.sx * static_cast<int64_t>(sizeof(Pixel)), stepY = at.sy * int64_t{t.pitch};
  int64_t offset = at.y * t.pitch + at.x * static_cast<int64_t>(sizeof(Pixel));
  if (at.a == 0 || at.b == 0 || at.a == at.b) {
    // Straight and diagonal lines make the same move at every step.
    const int64_t step = (at.a ? stepX : 0) + (at.b ? stepY : 0);
    for (int64_t i = 0; i < count; ++i, offset += step) *reinterpret_cast<Pixel*>(base + offset) = value;
    return;
  }
  int64_t err = at.err;
  for (int64_t i = 0; i < count; ++i) {
    *reinterpret_cast<Pixel*>(base + offset) = value;
    const int64_t e2 = 2 * err;
    if (e2 >= -at.b) {
      err -= at.b;
      offset += stepX;
    }
    if (e2 <= at.a) {
      err += at.a;
      offset += stepY;
    }
  }
}

}  // namespace

// The segment's walk from (x1, y1) to (x2, y2), leaving out (x2, y2) unless `lastPoint`. Only
// the steps whose pixels can show are walked: one-pixel pens those inside the clip, wide pens
// those within the tip's reach of it.
void DeviceContext::StrokeSegment(int x1, int y1, int x2, int y2, bool lastPoint) {
  const Walk w(x1, y1, x2, y2);
  const int64_t steps = w.n + (lastPoint ? 1 : 0);
  const uint32_t pixel = ColorToPixel(target_, penColor_);
  if (penWidth_ <= 1) {
    int64_t k0 = 0, k1 = steps;
    w.Clip(clip_.left, clip_.top, clip_.right, clip_.bottom, k0, k1);
    if (k0 >= k1) return;
    if (target_.bitsPerPixel == 16)
      TracePixels<uint16_t>(target_, WalkState(w, k0), k1 - k0, pixel);
    else
      TracePixels<uint32_t>(target_, WalkState(w, k0), k1 - k0, pixel);
    return;
  }
  // Wide pens: the union of the tips of all points, gathered as one run of columns per row
  // (the tips of neighbouring points overlap, so each row's union is a single run), band by
  // band of rows so that the runs fit on the stack, then filled.
  constexpr int kBand = 128;
  const int lo = -(penWidth_ / 2), reach = penWidth_ / 2;
  TipRow tip[kMaxPenWidth];
  bool tipReady = false;
  for (int top = clip_.top; top < clip_.bottom; top += kBand) {
    const int bottom = std::min(top + kBand, clip_.bottom);
    int64_t k0 = 0, k1 = steps;
    w.Clip(int64_t{clip_.left} - reach, int64_t{top} - reach, int64_t{clip_.right} + reach,
           int64_t{bottom} + reach, k0, k1);
    if (k0 >= k1) continue;
    if (!tipReady) {
      MakeTip(penWidth_, tip);
      tipReady = true;
    }
    int first[kBand], last[kBand];
    std::fill(first, first + (bottom - top), INT_MAX);
    std::fill(last, last + (bottom - top), INT_MIN);
    for (WalkState at(w, k0); k0 < k1; ++k0, at.Step()) {
      const int x = static_cast<int>(at.x), tipTop = static_cast<int>(at.y) + lo;
      const int r0 = std::max(0, top - tipTop), r1 = std::min(penWidth_, bottom - tipTop);
      for (int r = r0; r < r1; ++r) {
        const int row = tipTop + r - top;
        first[row] = std::min(first[row], x + tip[r].first);
        last[row] = std::max(last[row], x + tip[r].last);
      }
    }
    for (int row = 0; row < bottom - top; ++row) {
      const int from = std::max(first[row], clip_.left), to = std::min(last[row], clip_.right - 1);
      for (int x = from; x <= to; ++x) WriteTargetPixel(target_, x, top + row, pixel);
    }
  }
}

void DeviceContext::MoveTo(int x, int y) {
  curX_ = x;
  curY_ = y;
}

void DeviceContext::LineTo(int x, int y) {
  if (Attached() && !penNull_) StrokeSegment(curX_, curY_, x, y, penWidth_ > 1);
  curX_ = x;
  curY_ = y;
}

// ---- Filled shapes

void DeviceContext::BrushPixel(int x, int y) {
  switch (brushKind_) {
    case BrushKind::Null:
      return;
    case BrushKind::Solid:
      Plot(x, y, ColorToPixel(target_, brushColor_));
      return;
    default: {
      // The host's 8 x 8 hatch patterns, aligned to the surface's origin: one byte a row,
      // the leftmost pixel in the top bit.
      static constexpr uint8_t kHatch[6][8] = {
          {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},  // horizontal
          {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
          {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal
          {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal
          {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},  // cross
          {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
      };
      const int style = static_cast<int>(brushKind_) - static_cast<int>(BrushKind::Horizontal);
      const bool line = (kHatch[style][y & 7] << (x & 7)) & 0x80;
      if (line)
        Plot(x, y, ColorToPixel(target_, brushColor_));
      else if (!bkTransparent_)
        Plot(x, y, ColorToPixel(target_, bkColor_));
      return;
    }
  }
}

void DeviceContext::Rectangle(int left, int top, int right, int bottom) {
  if (!Attached()) return;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (int64_t{right} - left < 1 || int64_t{bottom} - top < 1) return;
  if (penNull_) {
    // Without an edge the filled area is one pixel smaller each way.
    --right;
    --bottom;
  }
  if (brushKind_ != BrushKind::Null) {
    int y0 = std::max(top, clip_.top), y1 = std::min(bottom, clip_.bottom);
    int x0 = std::max(left, clip_.left), x1 = std::min(right, clip_.right);
    if (brushKind_ == BrushKind::Solid) {
      uint32_t p = ColorToPixel(target_, brushColor_);
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) WriteTargetPixel(target_, x, y, p);
    } else {
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) BrushPixel(x, y);
    }
  }
  if (penNull_) return;
  int r = right - 1, b = bottom - 1;
  if (penWidth_ <= 1) {
    uint32_t p = ColorToPixel(target_, penColor_);
    for (int x = std::max(left, clip_.left); x <= std::min(r, clip_.right - 1); ++x) {
      Plot(x, top, p);
      Plot(x, b, p);
    }
    for (int y = std::max(top, clip_.top); y <= std::min(b, clip_.bottom - 1); ++y) {
      Plot(left, y, p);
      Plot(r, y, p);
    }
  } else {
    StrokeSegment(left, top, r, top, true);
    StrokeSegment(r, top, r, b, true);
    StrokeSegment(r, b, left, b, true);
    StrokeSegment(left, b, left, top, true);
  }
}

void DeviceContext::FillSpans(const DcPoint* pts, int n) {
  int ymin = pts[0].y, ymax = pts[0].y;
  for (int i = 1; i < n; ++i) {
    ymin = std::min(ymin, pts[i].y);
    ymax = std::max(ymax, pts[i].y);
  }
  ymin = std::max(ymin, clip_.top);
  ymax = std::min(ymax, clip_.bottom);
  // One crossing per edge at most; polygons of up to 64 edges need no heap.
  double inlineXs[64];
  std::vector<double> heapXs;
  if (n > 64) heapXs.resize(static_cast<size_t>(n));
  double* xs = n > 64 ? heapXs.data() : inlineXs;
  for (int y = ymin; y < ymax; ++y) {
    int crossings = 0;
    for (int i = 0; i < n; ++i) {
      const DcPoint& a = pts[i];
      const DcPoint& b = pts[(i + 1) % n];
      if (a.y == b.y) continue;
      int lo = std::min(a.y, b.y), hi = std::max(a.y, b.y);
      // Half-open in y: the bottom row of an edge belongs to the next one.
      if (y < lo || y >= hi) continue;
      xs[crossings++] = a.x + static_cast<double>(int64_t{y} - a.y) *
                                  (static_cast<double>(b.x) - a.x) /
                                  (static_cast<double>(b.y) - a.y);
    }
    std::sort(xs, xs + crossings);
    for (int k = 0; k + 1 < crossings; k += 2) {
      // Clamped in floating point first: an edge far off the surface is outside int.
      int x0 = static_cast<int>(std::max(std::ceil(xs[k]), static_cast<double>(clip_.left)));
      int x1 = static_cast<int>(std::min(std::ceil(xs[k + 1]), static_cast<double>(clip_.right)));
      for (int x = x0; x < x1; ++x) BrushPixel(x, y);
    }
  }
}

bool DeviceContext::Polygon(const DcPoint* points, int count) {
  if (!Attached() || !points || count < 2) return false;
  if (brushKind_ != BrushKind::Null && count >= 3) FillSpans(points, count);
  if (!penNull_) {
    for (int i = 0; i < count; ++i) {
      const DcPoint& a = points[i];
      const DcPoint& b = points[(i + 1) % count];
      StrokeSegment(a.x, a.y, b.x, b.y, penWidth_ > 1);
    }
  }
  return true;
}

bool DeviceContext::PolyBezier(const DcPoint* p, int count) {
  if (!Attached() || !p || count < 4 || (count - 1) % 3 != 0) return false;
  if (penNull_) return true;
  bool wide = penWidth_ > 1;
  int px = p[0].x, py = p[0].y;
  for (int s = 0; s + 3 < count; s += 3) {
    const DcPoint &a = p[s], &b = p[s + 1], &c = p[s + 2], &d = p[s + 3];
    auto dist = [](const DcPoint& from, const DcPoint& to) {
      return std::hypot(static_cast<double>(to.x) - from.x, static_cast<double>(to.y) - from.y);
    };
    double len = dist(a, b) + dist(b, c) + dist(c, d);
    int steps = static_cast<int>(std::clamp(len / 3.0, 1.0, 512.0));
    for (int i = 1; i <= steps; ++i) {
      double t = static_cast<double>(i) / steps, u = 1.0 - t;
      double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
      // Within the control points' hull, so within int but for rounding at the very ends.
      auto round = [](double v) {
        return static_cast<int>(std::clamp(std::round(v), double{INT_MIN}, double{INT_MAX}));
      };
      int x = round(w0 * a.x + w1 * b.x + w2 * c.x + w3 * d.x);
      int y = round(w0 * a.y + w1 * b.y + w2 * c.y + w3 * d.y);
      if (x == px && y == py) continue;
      StrokeSegment(px, py, x, y, wide);
      px = x;
      py = y;
    }
  }
  curX_ = px;
  curY_ = py;
  return true;
}

namespace {

// The ellipse inscribed in a box W x H pixels wide, in half pixels from the box's centre: a
// pixel whose centre lies u half pixels right of the centre and v below it is inside when
// u^2 H^2 + v^2 W^2 <= W^2 H^2. Integers throughout, so the shape is exactly symmetric; boxes
// too large for that in 128 bits are measured in floating point.
struct EllipseRows {
  int64_t w, h;

  // The largest u of the row v that is inside, with the parity of the box's pixel centres
  // (u = 2x + 1 - (left + right) has the parity of w + 1); -1 when the row has no pixel inside.
  int64_t HalfSpan(int64_t v) const {
    if (v < 0) v = -v;
    if (v > h) return -1;
    int64_t u;
    if (w <= (int64_t{1} << 30) && h <= (int64_t{1} << 30)) {
      const Wide h2 = Wide{h} * h, room = Wide{w} * w * (h2 - Wide{v} * v);
      u = static_cast<int64_t>(std::sqrt(static_cast<long double>(room) / static_cast<long double>(h2)));
      while (u > 0 && Wide{u} * u * h2 > room) --u;
      while (Wide{u + 1} * (u + 1) * h2 <= room) ++u;
    } else {
      const long double q = static_cast<long double>(v) / h;
      u = static_cast<int64_t>(w * std::sqrt(std::max(0.0L, 1.0L - q * q)));
    }
    if (((u ^ (w + 1)) & 1) != 0) --u;
    return u;
  }
};

}  // namespace

void DeviceContext::FillRow(int y, int64_t from, int64_t to, bool pen) {
  from = std::max<int64_t>(from, clip_.left);
  to = std::min<int64_t>(to, int64_t{clip_.right} - 1);
  if (from > to) return;
  if (pen || brushKind_ == BrushKind::Solid) {
    const uint32_t p = ColorToPixel(target_, pen ? penColor_ : brushColor_);
    for (int64_t x = from; x <= to; ++x) WriteTargetPixel(target_, static_cast<int>(x), y, p);
  } else {
    for (int64_t x = from; x <= to; ++x) BrushPixel(static_cast<int>(x), y);
  }
}

void DeviceContext::Ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  if (!Attached()) return;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const EllipseRows outer{right - left, bottom - top};
  if (outer.w < 1 || outer.h < 1) return;
  const bool pen = !penNull_, brush = brushKind_ != BrushKind::Null;
  // The pen's ring is what the ellipse of the box shrunk by the pen's width leaves.
  const int64_t p = pen ? penWidth_ : 0;
  const EllipseRows inner{outer.w - 2 * p, outer.h - 2 * p};
  const bool hasInner = inner.w >= 1 && inner.h >= 1;
  const int64_t sumX = left + right, sumY = top + bottom;
  const int64_t y0 = std::max<int64_t>(top, clip_.top), y1 = std::min<int64_t>(bottom, clip_.bottom);
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t v = 2 * y + 1 - sumY;
    const int64_t uo = outer.HalfSpan(v);
    if (uo < 0) continue;
    const int64_t xo0 = (-uo - 1 + sumX) / 2, xo1 = (uo - 1 + sumX) / 2;
    const int64_t ui = hasInner ? inner.HalfSpan(v) : -1;
    const int row = static_cast<int>(y);
    if (ui < 0) {
      // No inside left on this row: the pen takes it all, or the brush without a pen.
      if (pen || brush) FillRow(row, xo0, xo1, pen);
      continue;
    }
    const int64_t xi0 = (-ui - 1 + sumX) / 2, xi1 = (ui - 1 + sumX) / 2;
    if (pen) {
      FillRow(row, xo0, xi0 - 1, true);
      FillRow(row, xi1 + 1, xo1, true);
    }
    if (brush) FillRow(row, xi0, xi1, false);
  }
}

void DeviceContext::InvertRect(int left, int top, int right, int bottom) {
  if (!Attached()) return;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  uint32_t all = target_.redMask | target_.greenMask | target_.blueMask;
  int y0 = std::max(top, clip_.top), y1 = std::min(bottom, clip_.bottom);
  int x0 = std::max(left, clip_.left), x1 = std::min(right, clip_.right);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      WriteTargetPixel(target_, x, y, ReadTargetPixel(target_, x, y) ^ all);
}

namespace {

// The destination offsets [lo, hi) along one axis of a stretch copy that land inside the clip
// [clipLo, clipHi) and take a sample inside the source surface [0, srcSize). Offset i of a
// destination of dstLen takes sample floor(i * srcLen / dstLen) of the source, counted from its
// far end when mirrored. Sides may span the whole int range: 64-bit, unsigned where multiplied.
struct Span {
  int64_t lo = 0, hi = 0;
};
int64_t Sample(int64_t i, int64_t srcLen, int64_t dstLen) {
  return static_cast<int64_t>(static_cast<uint64_t>(i) * static_cast<uint64_t>(srcLen) /
                              static_cast<uint64_t>(dstLen));
}
Span StretchSpan(int64_t d0, int64_t dstLen, int clipLo, int clipHi, int64_t s0, int64_t srcLen,
                 int srcSize, bool mirror) {
  // The source offsets inside the surface, then the unmirrored samples that reach them.
  const int64_t kLo = std::max<int64_t>(0, -s0), kHi = std::min<int64_t>(srcLen, srcSize - s0);
  if (kLo >= kHi) return {};
  const int64_t a = mirror ? srcLen - kHi : kLo, b = mirror ? srcLen - kLo : kHi;
  // The first offset whose sample reaches v: ceil(v * dstLen / srcLen).
  auto first = [&](int64_t v) {
    return static_cast<int64_t>((static_cast<uint64_t>(v) * static_cast<uint64_t>(dstLen) +
                                 static_cast<uint64_t>(srcLen) - 1) /
                                static_cast<uint64_t>(srcLen));
  };
  Span s;
  s.lo = std::max({first(a), int64_t{clipLo} - d0, int64_t{0}});
  s.hi = std::min({first(b), int64_t{clipHi} - d0, dstLen});
  if (s.hi < s.lo) s.hi = s.lo;
  return s;
}

}  // namespace

bool DeviceContext::StretchFrom(const DcRect& dst, const PixelTarget& source, const DcRect& src) {
  if (!Attached() || !source.pixels) return false;
  const int64_t dw = int64_t{dst.right} - dst.left, dh = int64_t{dst.bottom} - dst.top;
  const int64_t sw = int64_t{src.right} - src.left, sh = int64_t{src.bottom} - src.top;
  if (!dw || !dh || !sw || !sh) return false;
  const bool mirrorX = (dw < 0) != (sw < 0), mirrorY = (dh < 0) != (sh < 0);
  const int64_t adw = std::abs(dw), adh = std::abs(dh), asw = std::abs(sw), ash = std::abs(sh);
  const int64_t dx0 = std::min(dst.left, dst.right), dy0 = std::min(dst.top, dst.bottom);
  const int64_t sx0 = std::min(src.left, src.right), sy0 = std::min(src.top, src.bottom);
  // Only the destination pixels inside the clip whose samples lie inside the source are walked.
  const Span cols = StretchSpan(dx0, adw, clip_.left, clip_.right, sx0, asw, source.width, mirrorX);
  const Span rows = StretchSpan(dy0, adh, clip_.top, clip_.bottom, sy0, ash, source.height, mirrorY);
  const bool sameFormat = source.bitsPerPixel == target_.bitsPerPixel &&
                          source.redMask == target_.redMask && source.greenMask == target_.greenMask &&
                          source.blueMask == target_.blueMask;
  for (int64_t j = rows.lo; j < rows.hi; ++j) {
    const int64_t sj = Sample(j, ash, adh);
    const int y = static_cast<int>(dy0 + j), sy = static_cast<int>(sy0 + (mirrorY ? ash - 1 - sj : sj));
    for (int64_t i = cols.lo; i < cols.hi; ++i) {
      const int64_t si = Sample(i, asw, adw);
      const int x = static_cast<int>(dx0 + i), sx = static_cast<int>(sx0 + (mirrorX ? asw - 1 - si : si));
      uint32_t p = ReadTargetPixel(source, sx, sy);
      if (!sameFormat) p = ColorToPixel(target_, PixelToColor(source, p));
      WriteTargetPixel(target_, x, y, p);
    }
  }
  return true;
}

}  // namespace tu::raster
