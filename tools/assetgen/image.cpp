#include "image.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

namespace assetgen {

Col Mix(Col a, Col b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Col Scale(Col a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Col FromHex(uint32_t rgb) {
  return {float((rgb >> 16) & 255), float((rgb >> 8) & 255), float(rgb & 255)};
}
static uint8_t Clamp8(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return uint8_t(std::lround(v));
}
Rgb ToRgb(Col c) { return {Clamp8(c.r), Clamp8(c.g), Clamp8(c.b)}; }
Col ToCol(Rgb c) { return {float(c.r), float(c.g), float(c.b)}; }

Col Hsv(float h, float s, float v) {
  h = std::fmod(h, 360.0f);
  if (h < 0) h += 360.0f;
  float c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0f, 2.0f) - 1)), m = v - c;
  float r = 0, g = 0, b = 0;
  if (h < 60) r = c, g = x;
  else if (h < 120) r = x, g = c;
  else if (h < 180) g = c, b = x;
  else if (h < 240) g = x, b = c;
  else if (h < 300) r = x, b = c;
  else r = c, b = x;
  return {(r + m) * 255, (g + m) * 255, (b + m) * 255};
}

void Image::blend(int x, int y, Col c, float a) {
  if (!inside(x, y) || !(a > 0.0f)) return;
  if (a > 1.0f) a = 1.0f;
  Rgb& p = at(x, y);
  Rgb out = ToRgb(Mix(ToCol(p), c, a));
  // On a 16-bit (5-6-5) display these colours all become the key and turn transparent: a faint
  // touch on the key stays key, anything else is lifted to the darkest colour that survives.
  if (out.r < 8 && out.g < 4 && out.b < 8) out = (p == kKey && a < 0.5f) ? kKey : Rgb{8, 8, 8};
  p = out;
}

void Image::fillRect(int l, int t, int r, int b, Col c) {
  for (int y = std::max(t, 0); y < std::min(b, h); ++y)
    for (int x = std::max(l, 0); x < std::min(r, w); ++x) set(x, y, c);
}

void Image::clearRect(int l, int t, int r, int b) {
  for (int y = std::max(t, 0); y < std::min(b, h); ++y)
    for (int x = std::max(l, 0); x < std::min(r, w); ++x) at(x, y) = kKey;
}

void Image::blit(const Image& src, int x, int y, bool keyed) {
  blitRect(src, 0, 0, src.w, src.h, x, y, keyed);
}

void Image::blitRect(const Image& src, int sl, int st, int sr, int sb, int x, int y, bool keyed) {
  for (int sy = st; sy < sb; ++sy)
    for (int sx = sl; sx < sr; ++sx) {
      if (!src.inside(sx, sy)) continue;
      int dx = x + sx - sl, dy = y + sy - st;
      if (!inside(dx, dy)) continue;
      const Rgb& p = src.at(sx, sy);
      if (keyed && p == kKey) continue;
      at(dx, dy) = p;
    }
}

Image Image::scaled(int f) const {
  Image out(w * f, h * f);
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x) out.at(x, y) = at(x / f, y / f);
  return out;
}

static void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
static void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
static void Put32Be(std::vector<uint8_t>& v, uint32_t x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(uint8_t(x >> s));
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  // Written beside the target and renamed, so an interrupted run never leaves a cut file.
  const std::string tmp = path + ".part";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    std::remove(tmp.c_str());
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
  }
  return ok;
}

bool MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "assetgen: cannot create folder %s\n", part.c_str());
        return false;
      }
    }
  }
  return true;
}

bool WriteBmp(const std::string& path, const Image& img) {
  const uint32_t stride = (uint32_t(img.w) * 3 + 3) & ~3u;
  const uint32_t dataSize = stride * uint32_t(img.h);
  std::vector<uint8_t> v;
  v.reserve(54 + dataSize);
  v.push_back('B');
  v.push_back('M');
  Put32(v, 54 + dataSize);
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);  // BITMAPINFOHEADER
  Put32(v, uint32_t(img.w));
  Put32(v, uint32_t(img.h));  // positive height: bottom-up rows
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);  // no compression
  Put32(v, dataSize);
  Put32(v, 2835);  // 72 dpi
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (int y = img.h - 1; y >= 0; --y) {
    for (int x = 0; x < img.w; ++x) {
      const Rgb& p = img.at(x, y);
      v.push_back(p.b);
      v.push_back(p.g);
      v.push_back(p.r);
    }
    for (uint32_t pad = uint32_t(img.w) * 3; pad < stride; ++pad) v.push_back(0);
  }
  return WriteFileBytes(path, v);
}

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 255] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t n) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < n; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

static void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
  Put32Be(out, uint32_t(body.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  Put32Be(out, Crc32(out.data() + start, out.size() - start));
}

// A PNG of raw scanlines (each row with its filter byte 0 first), `channels` bytes a pixel.
static std::vector<uint8_t> EncodeScanlines(int w, int h, int channels, const std::vector<uint8_t>& raw) {
  // zlib stream of stored blocks (at most 65535 bytes each).
  std::vector<uint8_t> z{0x78, 0x01};
  size_t pos = 0;
  do {
    size_t len = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + len == raw.size();
    z.push_back(last ? 1 : 0);
    Put16(z, uint32_t(len));
    Put16(z, uint32_t(~len & 0xFFFF));
    z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + len));
    pos += len;
  } while (pos < raw.size());
  Put32Be(z, Adler32(raw.data(), raw.size()));

  std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  Put32Be(ihdr, uint32_t(w));
  Put32Be(ihdr, uint32_t(h));
  // 8 bits a channel, truecolour (2) or truecolour with alpha (6), deflate, no interlace.
  ihdr.insert(ihdr.end(), {8, uint8_t(channels == 4 ? 6 : 2), 0, 0, 0});
  PutChunk(out, "IHDR", ihdr);
  PutChunk(out, "IDAT", z);
  PutChunk(out, "IEND", {});
  return out;
}

std::vector<uint8_t> EncodePng(const Image& img) {
  std::vector<uint8_t> raw;
  raw.reserve(size_t(img.h) * (size_t(img.w) * 3 + 1));
  for (int y = 0; y < img.h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < img.w; ++x) {
      const Rgb& p = img.at(x, y);
      raw.push_back(p.r);
      raw.push_back(p.g);
      raw.push_back(p.b);
    }
  }
  return EncodeScanlines(img.w, img.h, 3, raw);
}

bool WritePng(const std::string& path, const Image& img) { return WriteFileBytes(path, EncodePng(img)); }

bool WritePng(const std::string& path, const RgbaImage& img) {
  std::vector<uint8_t> raw;
  raw.reserve(size_t(img.h) * (size_t(img.w) * 4 + 1));
  for (int y = 0; y < img.h; ++y) {
    raw.push_back(0);
    auto row = img.px.begin() + long(size_t(y) * size_t(img.w) * 4);
    raw.insert(raw.end(), row, row + img.w * 4);
  }
  return WriteFileBytes(path, EncodeScanlines(img.w, img.h, 4, raw));
}

RgbaImage ResampleKeyed(const Image& src, int w, int h) {
  RgbaImage out{w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 4)};
  const double sx = double(src.w) / w, sy = double(src.h) / h;
  // Each output pixel averages the source area it covers, weighting partly covered source
  // pixels by their share; key pixels count as transparent and lend no colour.
  for (int oy = 0; oy < h; ++oy)
    for (int ox = 0; ox < w; ++ox) {
      const double x0 = ox * sx, x1 = (ox + 1) * sx, y0 = oy * sy, y1 = (oy + 1) * sy;
      double r = 0, g = 0, b = 0, a = 0, area = 0;
      for (int y = int(y0); y < src.h && y < y1; ++y)
        for (int x = int(x0); x < src.w && x < x1; ++x) {
          double wt = (std::min(x1, x + 1.0) - std::max(x0, double(x))) *
                      (std::min(y1, y + 1.0) - std::max(y0, double(y)));
          area += wt;
          const Rgb& p = src.at(x, y);
          if (p == kKey) continue;
          a += wt, r += p.r * wt, g += p.g * wt, b += p.b * wt;
        }
      uint8_t* d = &out.px[(size_t(oy) * size_t(w) + size_t(ox)) * 4];
      if (a > 0) {
        d[0] = uint8_t(std::lround(r / a));
        d[1] = uint8_t(std::lround(g / a));
        d[2] = uint8_t(std::lround(b / a));
      }
      d[3] = uint8_t(std::lround(255.0 * a / area));
    }
  return out;
}

}  // namespace assetgen
