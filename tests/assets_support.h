#pragma once
// Readers for the generated pictures and sounds, independent of the library's loaders, so the
// tests can look at exact pixel values and samples.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace asset_files {

inline std::string Dir() { return QUORBISTANE_ASSET_DIR; }
inline std::string PathOf(const std::string& name) { return Dir() + "/" + name; }

inline bool ReadAll(const std::string& path, std::vector<uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

inline uint32_t U32(const std::vector<uint8_t>& v, size_t at) {
  return at + 4 > v.size() ? 0 : uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}
inline uint16_t U16(const std::vector<uint8_t>& v, size_t at) {
  return at + 2 > v.size() ? 0 : uint16_t(v[at] | v[at + 1] << 8);
}

struct Pixel {
  uint8_t r = 0, g = 0, b = 0;
  bool key() const { return r == 0 && g == 0 && b == 0; }
  float luma() const { return 0.299f * r + 0.587f * g + 0.114f * b; }
};

struct Picture {
  int w = 0, h = 0;
  std::vector<Pixel> px;
  const Pixel& at(int x, int y) const { return px[size_t(y) * w + x]; }
};

// Uncompressed 24-bit BMP, either row order; false for anything else.
inline bool ReadBmp(const std::string& name, Picture& p) {
  std::vector<uint8_t> v;
  if (!ReadAll(PathOf(name), v) || v.size() < 54 || v[0] != 'B' || v[1] != 'M') return false;
  uint32_t off = U32(v, 10);
  int32_t w = int32_t(U32(v, 18)), h = int32_t(U32(v, 22));
  if (U16(v, 28) != 24 || U32(v, 30) != 0 || w <= 0 || h == 0) return false;
  bool bottomUp = h > 0;
  if (h < 0) h = -h;
  size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  if (off + stride * size_t(h) > v.size()) return false;
  p.w = w, p.h = h;
  p.px.assign(size_t(w) * h, {});
  for (int y = 0; y < h; ++y) {
    size_t row = off + stride * size_t(bottomUp ? h - 1 - y : y);
    for (int x = 0; x < w; ++x) p.px[size_t(y) * w + x] = {v[row + 3 * x + 2], v[row + 3 * x + 1], v[row + 3 * x]};
  }
  return true;
}

struct Wave {
  int channels = 0, rate = 0, bits = 0, format = 0;
  std::vector<int16_t> samples;  // interleaved
  double seconds() const { return channels && rate ? double(samples.size()) / channels / rate : 0; }
};

// RIFF WAVE with a PCM "fmt " chunk and a "data" chunk, chunks in any order.
inline bool ReadWav(const std::string& name, Wave& w) {
  std::vector<uint8_t> v;
  if (!ReadAll(PathOf(name), v) || v.size() < 12) return false;
  if (std::string(v.begin(), v.begin() + 4) != "RIFF" || std::string(v.begin() + 8, v.begin() + 12) != "WAVE") return false;
  bool fmt = false, data = false;
  for (size_t at = 12; at + 8 <= v.size();) {
    std::string id(v.begin() + long(at), v.begin() + long(at) + 4);
    uint32_t size = U32(v, at + 4);
    size_t body = at + 8;
    if (body + size > v.size()) return false;
    if (id == "fmt " && size >= 16) {
      w.format = U16(v, body), w.channels = U16(v, body + 2), w.rate = int(U32(v, body + 4)), w.bits = U16(v, body + 14);
      fmt = true;
    } else if (id == "data") {
      w.samples.resize(size / 2);
      for (size_t i = 0; i < w.samples.size(); ++i) w.samples[i] = int16_t(U16(v, body + 2 * i));
      data = true;
    }
    at = body + size + (size & 1);
  }
  return fmt && data && w.format == 1 && w.bits == 16;
}

inline double Db(double linear) { return 20.0 * std::log10(std::max(linear, 1e-12)); }

inline double PeakDb(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX) {
  int peak = 0;
  for (size_t i = from; i < std::min(to, s.size()); ++i) peak = std::max(peak, std::abs(int(s[i])));
  return Db(peak / 32768.0);
}

inline double RmsDb(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, s.size());
  if (from >= to) return -240.0;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
  return Db(std::sqrt(sum / double(to - from)) / 32768.0);
}

}  // namespace asset_files
