// Software sprite copies onto the back buffer: translucent, additive, subtractive, grey, masked,
// softened, brightened, tinted, swirled and noisy copies. Per-pixel rules are table look-ups,
// shifts and masks; the float members precompute their tables per call where they can.
#include <cmath>
#include <cstdlib>

#include <tu/tuSystem.h>

#include "draw/effects_frame.h"

namespace tuDraw {

using fx::CopyFrame;
using fx::ForLayout;
using fx::Parts;
using fx::Compose;
using fx::Rgb;

namespace {

// One 32 x 32 table per channel, indexed [destination][source] and holding the result already
// shifted into place: a level's slice of fadeAddTable or fadeSatTable, or subTable. Eight pixels
// at a time the same rules are worked out on the components, as the tables were built: with
// z the channel's level, q the destination's component and s the source's,
//   fadeAddTable: max(q - z, 0) + max(z + s - 31, 0)
//   fadeSatTable: min(max(q - z, 0) + s, 31)
//   subTable:     max(q - s, 0)
enum class Rule { FadeAdd, FadeSat, Sub };

template <class P, Rule kRule>
struct Mixer {
  const uint16_t* t[3];
  int16_t z[3];
  // Index destination << 5 | source of each channel, formed with as few shifts as possible.
  uint16_t operator()(uint16_t source, uint16_t destination) const {
    const uint32_t s = source, d = destination;
    return static_cast<uint16_t>(t[0][((d >> (P::kRed - 5)) & 0x3E0) | ((s >> P::kRed) & 31)] |
                                 t[1][((d >> (P::kGreen - 5)) & 0x3E0) | ((s >> P::kGreen) & 31)] |
                                 t[2][((d << 5) & 0x3E0) | (s & 31)]);
  }
  static fx::Words16 Floor0(fx::Words16 v) { return v > 0 ? v : 0; }
  fx::Words16 Channel(fx::Words16 q, fx::Words16 s, int16_t level) const {
    if constexpr (kRule == Rule::FadeAdd) return Floor0(q - level) + Floor0(s + int16_t(level - 31));
    if constexpr (kRule == Rule::FadeSat) {
      const fx::Words16 v = Floor0(q - level) + s;
      return v < 31 ? v : 31;
    }
    return Floor0(q - s);
  }
  fx::Words Vec(fx::Words s, fx::Words d) const {
    return P::Put(Channel(P::R(d), P::R(s), z[0]), Channel(P::G(d), P::G(s), z[1]),
                  Channel(P::B(d), P::B(s), z[2]));
  }
};

// A slice of a [channel][level][destination][source] table, one level per channel.
template <Rule kRule, class P>
Mixer<P, kRule> Levels(P, const uint16_t* table, int red, int green, int blue) {
  const int l[3] = {fx::ClampLevel(red), fx::ClampLevel(green), fx::ClampLevel(blue)};
  return {{table + l[0] * 1024, table + 32768 + l[1] * 1024, table + 65536 + l[2] * 1024},
          {int16_t(l[0]), int16_t(l[1]), int16_t(l[2])}};
}
template <class P>
Mixer<P, Rule::FadeAdd> FadeAdd(P p, int red, int green, int blue) {
  return Levels<Rule::FadeAdd>(p, tables.fadeAddTable, red, green, blue);
}
template <class P>
Mixer<P, Rule::FadeSat> FadeSat(P p, int level) {
  return Levels<Rule::FadeSat>(p, tables.fadeSatTable, level, level, level);
}

// The source itself, or ANDed with a mask.
struct Plain {
  uint16_t mask = 0xFFFF;
  uint16_t operator()(uint16_t s, uint16_t) const { return static_cast<uint16_t>(s & mask); }
  fx::Words Vec(fx::Words s, fx::Words) const { return s & mask; }
};

inline float Unit(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }  // NaN gives 0

// Component times factor, truncated and held to 0..31: one 32-entry table per channel.
struct ScaleTable {
  uint8_t v[32];
  explicit ScaleTable(float factor, int low = 0, int high = 31) {
    low = fx::ClampLevel(low);
    high = std::clamp(high, low, 31);
    for (int c = 0; c < 32; ++c) {
      float p = c * factor;
      int r = p > 0.0f ? (p < 31.0f ? static_cast<int>(p) : 31) : 0;  // NaN gives 0
      v[c] = static_cast<uint8_t>(std::clamp(r, low, high));
    }
  }
};

// floor(n / count) for n < 2^16 and count >= 1, by multiplication.
struct Reciprocals {
  uint64_t r[290];
  Reciprocals() {
    r[0] = 0;
    for (int n = 1; n < 290; ++n) r[n] = ((uint64_t(1) << 32) + n - 1) / n;
  }
  uint32_t Div(uint32_t sum, int count) const { return uint32_t((sum * r[count]) >> 32); }
};
const Reciprocals reciprocals;

int SubScaled(int x, int y, int id, int left, int top, int right, int bottom, const int lv[3]) {
  // Source component c scaled to c * level / 31 before the subtraction.
  uint8_t scaled[3][32];
  for (int ch = 0; ch < 3; ++ch) {
    int l = fx::ClampLevel(lv[ch]);
    for (int c = 0; c < 32; ++c) scaled[ch][c] = static_cast<uint8_t>(c * l / 31);
  }
  const uint16_t* t = tables.subTable;
  return ForLayout([&](auto p) {
    return fx::CopyPixels(x, y, id, left, top, right, bottom, [&](uint16_t s, uint16_t d) {
      return static_cast<uint16_t>(t[p.R(d) * 32 + scaled[0][p.R(s)]] |
                                   t[1024 + p.G(d) * 32 + scaled[1][p.G(s)]] |
                                   t[2048 + p.B(d) * 32 + scaled[2][p.B(s)]]);
    });
  });
}

int Alpha(int x, int y, int id, int left, int top, int right, int bottom, float r, float g,
          float b) {
  const PixelFormatInfo& pf = draw.pixelFormat;
  const Channel* ch[3] = {&pf.red, &pf.green, &pf.blue};
  const float a[3] = {Unit(r), Unit(g), Unit(b)};
  return fx::CopyPixels(x, y, id, left, top, right, bottom, [&](uint16_t s, uint16_t d) {
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
      float sv = static_cast<float>((s >> ch[c]->shift) & ch[c]->max);
      float dv = static_cast<float>((d >> ch[c]->shift) & ch[c]->max);
      uint32_t v = static_cast<uint32_t>(a[c] * sv + (1.0f - a[c]) * dv);
      out |= std::min(v, ch[c]->max) << ch[c]->shift;
    }
    return static_cast<uint16_t>(out);
  });
}

int Bright(int x, int y, int id, int left, int top, int right, int bottom, float r, float g,
           float b) {
  const ScaleTable tr(r), tg(g), tb(b);
  return ForLayout([&](auto p) {
    return fx::CopyPixels(x, y, id, left, top, right, bottom, [&](uint16_t s, uint16_t) {
      return p.Put(tr.v[p.R(s)], tg.v[p.G(s)], tb.v[p.B(s)]);
    });
  });
}

}  // namespace

int DrawHalf(int x, int y, int id, int left, int top, int right, int bottom) {
  struct Half {
    uint16_t half;
    uint16_t operator()(uint16_t s, uint16_t d) const {
      return static_cast<uint16_t>(((s >> 1) & half) + ((d >> 1) & half));
    }
    fx::Words Vec(fx::Words s, fx::Words d) const { return ((s >> 1) & half) + ((d >> 1) & half); }
  };
  return fx::CopyPixels(x, y, id, left, top, right, bottom,
                        Half{static_cast<uint16_t>(draw.pixelFormat.halfMask)});
}

int DrawAlpha(int x, int y, int id, int left, int top, int right, int bottom, float alpha) {
  return Alpha(x, y, id, left, top, right, bottom, alpha, alpha, alpha);
}

int DrawAlphaRGB(int x, int y, int id, int left, int top, int right, int bottom, float red,
                 float green, float blue) {
  return Alpha(x, y, id, left, top, right, bottom, red, green, blue);
}

int DrawFade(int x, int y, int id, int left, int top, int right, int bottom, int level) {
  return DrawFadeRGB(x, y, id, left, top, right, bottom, level, level, level);
}

int DrawFadeRGB(int x, int y, int id, int left, int top, int right, int bottom, int redLevel,
                int greenLevel, int blueLevel) {
  return ForLayout([&](auto p) {
    return fx::CopyPixels(x, y, id, left, top, right, bottom,
                          FadeAdd(p, redLevel, greenLevel, blueLevel));
  });
}

int DrawAdd(int x, int y, int id, int left, int top, int right, int bottom) {
  return ForLayout([&](auto p) {
    return fx::CopyPixels(x, y, id, left, top, right, bottom, FadeSat(p, 0));
  });
}

int DrawAddLevel(int x, int y, int id, int left, int top, int right, int bottom, float amount) {
  const int level = fx::LevelOf(amount);
  return ForLayout([&](auto p) {
    return fx::CopyPixels(x, y, id, left, top, right, bottom, FadeSat(p, level));
  });
}

int DrawSub(int x, int y, int id, int left, int top, int right, int bottom) {
  const uint16_t* t = tables.subTable;
  return ForLayout([&](auto p) {
    return fx::CopyPixels(x, y, id, left, top, right, bottom,
                          Mixer<decltype(p), Rule::Sub>{{t, t + 1024, t + 2048}, {0, 0, 0}});
  });
}

int DrawSubLevel(int x, int y, int id, int left, int top, int right, int bottom, int level) {
  const int lv[3] = {level, level, level};
  return SubScaled(x, y, id, left, top, right, bottom, lv);
}

int DrawSubRGB(int x, int y, int id, int left, int top, int right, int bottom, int redLevel,
               int greenLevel, int blueLevel) {
  const int lv[3] = {redLevel, greenLevel, blueLevel};
  return SubScaled(x, y, id, left, top, right, bottom, lv);
}

int DrawGrey(int x, int y, int id, int left, int top, int right, int bottom) {
  return ForLayout([&](auto p) {
    using P = decltype(p);
    struct Grey {
      uint16_t grey[32];
      uint16_t operator()(uint16_t s, uint16_t) const { return grey[P::Grey(s)]; }
      // avg3Table holds n / 3; for n up to 93, n * 171 >> 9 is the same and stays in 16 bits.
      fx::Words Vec(fx::Words s, fx::Words) const {
        const fx::Words g = fx::Words(P::R(s) + P::G(s) + P::B(s)) * 171 >> 9;
        return P::Put(fx::Words16(g), fx::Words16(g), fx::Words16(g));
      }
    } rule;
    for (unsigned g = 0; g < 32; ++g) rule.grey[g] = p.Put(g, g, g);
    return fx::CopyPixels(x, y, id, left, top, right, bottom, rule);
  });
}

int DrawMask(int x, int y, int id, int left, int top, int right, int bottom, int red, int green,
             int blue) {
  const PixelFormatInfo& pf = draw.pixelFormat;
  const uint16_t mask = static_cast<uint16_t>((red ? pf.red.mask : 0) | (green ? pf.green.mask : 0) |
                                              (blue ? pf.blue.mask : 0));
  return fx::CopyPixels(x, y, id, left, top, right, bottom, Plain{mask});
}

int DrawSoft(int x, int y, int id, int left, int top, int right, int bottom) {
  return fx::CopyRows(x, y, id, left, top, right, bottom,
                      [](const CopyFrame& f, const uint16_t* s, uint16_t* d, int j) {
    const int py = f.sy + j;
    const bool up = py > f.source.top, down = py + 1 < f.source.bottom;
    const int pitch = f.src.pitch;
    for (int i = 0; i < f.w; ++i) {
      if (!s[i]) continue;
      const int px = f.sx + i;
      const bool lt = px > f.source.left, rt = px + 1 < f.source.right;
      uint32_t sum[3] = {0, 0, 0};
      int count = 0;
      auto take = [&](uint16_t v) {
        if (!v) return;
        const uint8_t* c = Rgb(v);
        sum[0] += c[0], sum[1] += c[1], sum[2] += c[2];
        ++count;
      };
      const uint16_t* p = s + i;
      if (up) {
        if (lt) take(p[-pitch - 1]);
        take(p[-pitch]);
        if (rt) take(p[-pitch + 1]);
      }
      if (lt) take(p[-1]);
      if (rt) take(p[1]);
      if (down) {
        if (lt) take(p[pitch - 1]);
        take(p[pitch]);
        if (rt) take(p[pitch + 1]);
      }
      d[i] = count < 2 ? s[i]
                       : Compose(reciprocals.Div(sum[0], count), reciprocals.Div(sum[1], count),
                                 reciprocals.Div(sum[2], count));
    }
  });
}

int DrawBlur(int x, int y, int id, int left, int top, int right, int bottom, int size) {
  const int r = std::clamp(size, 0, 8);
  return fx::CopyRows(x, y, id, left, top, right, bottom,
                      [r](const CopyFrame& f, const uint16_t* s, uint16_t* d, int j) {
    const int py = f.sy + j;
    const int y0 = std::max(py - r, f.source.top) - py, y1 = std::min(py + r + 1, f.source.bottom) - py;
    const int pitch = f.src.pitch;
    for (int i = 0; i < f.w; ++i) {
      if (!s[i]) continue;
      const int px = f.sx + i;
      const int x0 = std::max(px - r, f.source.left) - px, x1 = std::min(px + r + 1, f.source.right) - px;
      uint32_t sum[3] = {0, 0, 0};
      int count = 0;
      for (int v = y0; v < y1; ++v) {
        const uint16_t* row = s + i + static_cast<ptrdiff_t>(v) * pitch;
        for (int u = x0; u < x1; ++u) {
          if (uint16_t p = row[u]) {
            const uint8_t* c = Rgb(p);
            sum[0] += c[0], sum[1] += c[1], sum[2] += c[2];
            ++count;
          }
        }
      }
      d[i] = Compose(reciprocals.Div(sum[0], count), reciprocals.Div(sum[1], count),
                     reciprocals.Div(sum[2], count));
    }
  });
}

int DrawBright(int x, int y, int id, int left, int top, int right, int bottom, float factor) {
  return Bright(x, y, id, left, top, right, bottom, factor, factor, factor);
}

int DrawBrightRGB(int x, int y, int id, int left, int top, int right, int bottom, float red,
                  float green, float blue) {
  return Bright(x, y, id, left, top, right, bottom, red, green, blue);
}

int DrawTint(int x, int y, int id, int left, int top, int right, int bottom, float red,
             float green, float blue, int useGrey, int low, int high) {
  const ScaleTable tr(red, low, high), tg(green, low, high), tb(blue, low, high);
  return ForLayout([&](auto p) {
    if (useGrey)
      return fx::CopyPixels(x, y, id, left, top, right, bottom, [&](uint16_t s, uint16_t) {
        const unsigned g = p.Grey(s);
        return p.Put(tr.v[g], tg.v[g], tb.v[g]);
      });
    return fx::CopyPixels(x, y, id, left, top, right, bottom, [&](uint16_t s, uint16_t) {
      return p.Put(tr.v[p.R(s)], tg.v[p.G(s)], tb.v[p.B(s)]);
    });
  });
}

int DrawTintFade(int x, int y, int id, int left, int top, int right, int bottom, int redLevel,
                 int greenLevel, int blueLevel, int useGrey, int low, int high) {
  // The fade, then each result held to low..high: the held value is found with the mixed
  // pixel's own components.
  uint8_t hold[32];
  const int lo = fx::ClampLevel(low), hi = std::clamp(high, lo, 31);
  for (int c = 0; c < 32; ++c) hold[c] = static_cast<uint8_t>(std::clamp(c, lo, hi));
  return ForLayout([&](auto p) {
    const auto mix = FadeAdd(p, redLevel, greenLevel, blueLevel);
    auto held = [&](uint16_t v) { return p.Put(hold[p.R(v)], hold[p.G(v)], hold[p.B(v)]); };
    if (useGrey)
      return fx::CopyPixels(x, y, id, left, top, right, bottom, [&](uint16_t s, uint16_t d) {
        const unsigned g = p.Grey(s);
        return held(mix(p.Put(g, g, g), d));
      });
    return fx::CopyPixels(x, y, id, left, top, right, bottom,
                          [&](uint16_t s, uint16_t d) { return held(mix(s, d)); });
  });
}

int DrawSwirl(int x, int y, int id, int left, int top, int right, int bottom, int amplitude,
              float frequency, float phase) {
  const double cx = (double(left) + right - 1) / 2, cy = (double(top) + bottom - 1) / 2;
  const double twist = amplitude * tuSystem::kPi / 180.0;
  return fx::CopyRows(x, y, id, left, top, right, bottom,
                      [&](const CopyFrame& f, const uint16_t*, uint16_t* d, int j) {
    const double dy = f.sy + j - cy;
    for (int i = 0; i < f.w; ++i) {
      const double dx = f.sx + i - cx;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double a = std::atan2(dy, dx) + twist * std::cos(r * frequency + phase);
      const double sx = std::floor(cx + r * std::cos(a) + 0.5), sy = std::floor(cy + r * std::sin(a) + 0.5);
      if (!(sx >= f.source.left && sx < f.source.right && sy >= f.source.top && sy < f.source.bottom))
        continue;
      if (uint16_t v = f.src.Row(int(sy))[int(sx)]) d[i] = v;
    }
  });
}

int DrawStrip(int x, int y, int id, int left, int top, int right, int bottom, int type) {
  if (!fx::Ready()) return 0;
  if (type < kStripRight || type > kStripBoth) return 1;
  if (type != kStripBottom) right = draw.screenWidth;
  if (type != kStripRight) bottom = draw.screenHeight;
  return fx::CopyPixels(x, y, id, left, top, right, bottom, Plain{});
}

int DrawRowOffset(int x, int y, int id, int left, int top, int right, int bottom, float amount,
                  const int* offsets, int count) {
  const int level = fx::LevelOf(amount);
  if (!offsets || count < 1) {
    offsets = nullptr;
    count = 1;
  }
  return ForLayout([&](auto p) {
    const auto mix = FadeSat(p, level);
    return fx::CopyRows(x, y, id, left, top, right, bottom,
                        [&](const CopyFrame& f, const uint16_t* s, uint16_t* d, int j) {
      const int64_t width = f.source.right - f.source.left;
      const int64_t shift = offsets ? offsets[(f.sy + j - int64_t(top)) % count] : 0;
      const uint16_t* row = s - f.sx;
      int64_t u = ((f.sx - f.source.left - shift) % width + width) % width;
      for (int i = 0; i < f.w; ++i) {
        if (uint16_t v = row[f.source.left + u]) d[i] = mix(v, d[i]);
        if (++u == width) u = 0;
      }
    });
  });
}

int DrawCopy16(int x, int y, int id, int left, int top, int right, int bottom) {
  return fx::CopyPixels(x, y, id, left, top, right, bottom, Plain{});
}

int DrawNoise(int x, int y, int id, int left, int top, int right, int bottom, int color,
              int level, int flags) {
  // Level by n: none, half, all.
  const int l = fx::ClampLevel(level);
  const uint16_t paint = static_cast<uint16_t>(color);
  const bool dissolve = flags & kNoiseDissolve;
  int k = (flags & kNoiseFromStart) ? 0 : rand() % 10000;
  return ForLayout([&](auto p) {
    const decltype(FadeAdd(p, 0, 0, 0)) mix[3] = {FadeAdd(p, 0, 0, 0), FadeAdd(p, l / 2, l / 2, l / 2),
                                                  FadeAdd(p, l, l, l)};
    return fx::CopyRows(x, y, id, left, top, right, bottom,
                        [&](const CopyFrame& f, const uint16_t* s, uint16_t* d, int) {
      for (int i = 0; i < f.w; ++i) {
        const int n = tables.randomTable[k];
        if (++k == 10000) k = 0;
        if (!s[i] || (dissolve && n == 0)) continue;
        d[i] = mix[n](paint, s[i]);
      }
    });
  });
}

int MixPixels(int destination, int source, int level) {
  if (!fx::Ready()) return 0;
  return ForLayout([&](auto p) -> int {
    return FadeAdd(p, level, level, level)(static_cast<uint16_t>(source),
                                           static_cast<uint16_t>(destination));
  });
}

}  // namespace tuDraw
