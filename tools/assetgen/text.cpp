#include "text.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace assetgen {

namespace {

constexpr int kRenderSize = 112;  // letters are set large and scaled down for smooth edges

bool FileExists(const std::string& p) {
  struct stat st;
  return !p.empty() && stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The first existing file among `paths`, else fontconfig's match for each pattern in turn.
std::string PickFace(std::initializer_list<const char*> paths, std::initializer_list<const char*> patterns) {
  for (const char* p : paths)
    if (FileExists(p)) return p;
  for (const char* pat : patterns) {
    std::string f = FindFontFile(pat);
    if (FileExists(f)) return f;
  }
  return "";
}

struct Mask {
  int w = 0, h = 0;
  std::vector<float> a;
  float at(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : a[size_t(y) * w + x]; }
  float sample(float x, float y) const {  // bilinear, pixel centres at +0.5
    x -= 0.5f, y -= 0.5f;
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float tx = x - float(ix), ty = y - float(iy);
    float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    float bot = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bot - top) * ty;
  }
};

bool RenderMask(TTF_Font* font, const std::string& text, Mask& m) {
  SDL_Color white{255, 255, 255, 255};
  SDL_Surface* s = TTF_RenderUTF8_Blended(font, text.c_str(), white);
  if (!s) return false;
  SDL_Surface* conv = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(s);
  if (!conv) return false;
  m.w = conv->w, m.h = conv->h;
  m.a.assign(size_t(m.w) * m.h, 0.0f);
  SDL_LockSurface(conv);
  for (int y = 0; y < m.h; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(conv->pixels) + y * conv->pitch);
    for (int x = 0; x < m.w; ++x) m.a[size_t(y) * m.w + x] = float(row[x] >> 24) / 255.0f;
  }
  SDL_UnlockSurface(conv);
  SDL_FreeSurface(conv);
  return true;
}

}  // namespace

std::string FindFontFile(const char* pattern) {
  std::string out;
  FcConfig* cfg = FcInitLoadConfigAndFonts();
  if (!cfg) return out;
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
  if (pat) {
    FcConfigSubstitute(cfg, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* match = FcFontMatch(cfg, pat, &res);
    if (match) {
      FcChar8* file = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        out = reinterpret_cast<const char*>(file);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
  }
  FcConfigDestroy(cfg);
  return out;
}

bool TextSetter::Open() {
  if (TTF_Init() != 0) {
    std::fprintf(stderr, "assetgen: font engine: %s\n", TTF_GetError());
    return false;
  }
  sansPath_ = PickFace({"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"},
                       {"DejaVu Sans:bold", "sans-serif:bold", "IPAGothic"});
  serifPath_ = PickFace({"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"},
                        {"DejaVu Serif:bold", "serif:bold"});
  if (sansPath_.empty()) {
    std::fprintf(stderr, "assetgen: no usable font face found\n");
    return false;
  }
  if (serifPath_.empty()) serifPath_ = sansPath_;
  sans_ = TTF_OpenFont(sansPath_.c_str(), kRenderSize);
  serif_ = TTF_OpenFont(serifPath_.c_str(), kRenderSize);
  if (!sans_) {
    std::fprintf(stderr, "assetgen: cannot open %s: %s\n", sansPath_.c_str(), TTF_GetError());
    return false;
  }
  if (!serif_) serif_ = TTF_OpenFont(sansPath_.c_str(), kRenderSize);
  return serif_ != nullptr;
}

void TextSetter::Close() {
  if (sans_) TTF_CloseFont(static_cast<TTF_Font*>(sans_));
  if (serif_) TTF_CloseFont(static_cast<TTF_Font*>(serif_));
  sans_ = serif_ = nullptr;
  TTF_Quit();
}

bool TextSetter::Fit(Image& img, int l, int t, int r, int b, const std::string& text, const TextStyle& st,
                     bool serif) {
  Mask src;
  if (!RenderMask(static_cast<TTF_Font*>(serif ? serif_ : sans_), text, src)) {
    std::fprintf(stderr, "assetgen: cannot set \"%s\": %s\n", text.c_str(), TTF_GetError());
    return false;
  }
  // Ink box of the rendered line: the letters, not the font's line spacing.
  int il = src.w, it = src.h, ir = -1, ib = -1;
  for (int y = 0; y < src.h; ++y)
    for (int x = 0; x < src.w; ++x)
      if (src.at(x, y) > 0.02f) il = std::min(il, x), ir = std::max(ir, x), it = std::min(it, y), ib = std::max(ib, y);
  if (ir < il) return false;
  float inkW = float(ir - il + 1), inkH = float(ib - it + 1);

  const float ow = st.outlineWidth;
  float boxW = float(r - l) - 2 * ow - 1, boxH = float(b - t) - 2 * ow - 1;
  float sy = boxH / inkH, sx = std::min(boxW / inkW, sy * st.maxStretch);
  if (sx < sy * st.minStretch) sy = sx / st.minStretch;
  float outW = inkW * sx, outH = inkH * sy;
  float ox = float(l) + (float(r - l) - outW) / 2, oy = float(t) + (float(b - t) - outH) / 2;

  // Letter coverage over the rectangle, by 4 x 4 sub-samples of the large rendering.
  int w = r - l, h = b - t;
  std::vector<float> a(size_t(w) * h, 0.0f);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float sum = 0;
      for (int sj = 0; sj < 4; ++sj)
        for (int si = 0; si < 4; ++si) {
          float px = (float(l + x) + (float(si) + 0.5f) / 4 - ox) / sx + float(il);
          float py = (float(t + y) + (float(sj) + 0.5f) / 4 - oy) / sy + float(it);
          sum += src.sample(px, py);
        }
      a[size_t(y) * w + x] = sum / 16.0f;
    }
  // Outline: the letters grown by the outline width.
  int rad = int(std::ceil(ow));
  std::vector<float> o(a.size(), 0.0f);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float m = 0;
      for (int dy = -rad; dy <= rad; ++dy)
        for (int dx = -rad; dx <= rad; ++dx) {
          int xx = x + dx, yy = y + dy;
          if (xx < 0 || yy < 0 || xx >= w || yy >= h) continue;
          float d = std::sqrt(float(dx * dx + dy * dy));
          float fall = std::clamp(ow + 0.5f - d, 0.0f, 1.0f);
          m = std::max(m, a[size_t(yy) * w + xx] * fall);
        }
      o[size_t(y) * w + x] = m;
    }
  for (int y = 0; y < h; ++y) {
    float gy = std::clamp((float(t + y) - oy) / std::max(outH, 1.0f), 0.0f, 1.0f);
    Col fill = Mix(st.top, st.bottom, gy);
    for (int x = 0; x < w; ++x) {
      float ov = o[size_t(y) * w + x], av = a[size_t(y) * w + x];
      if (ov > 0.2f) img.blend(l + x, t + y, st.outline, std::min(1.0f, ov * 1.6f));
      if (av > 0.02f) img.blend(l + x, t + y, fill, av);
    }
  }
  return true;
}

}  // namespace assetgen
