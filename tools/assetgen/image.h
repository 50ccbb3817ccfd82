#pragma once
// Pictures in memory, the shapes the generator draws with, and the BMP and PNG writers.
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Floating colour used while shading; converted with rounding and clamping.
struct Col {
  float r = 0, g = 0, b = 0;
};
Col Mix(Col a, Col b, float t);
Col Scale(Col a, float k);
Col FromHex(uint32_t rgb);
Rgb ToRgb(Col c);
Col ToCol(Rgb c);
// Colour from hue (degrees), saturation and value, all 0..1 except the hue.
Col Hsv(float hueDeg, float sat, float val);

// The key colour of every picture: drawn pixels never take it.
constexpr Rgb kKey{0, 0, 0};

struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> px;
  Image() = default;
  Image(int width, int height, Rgb fill = kKey) : w(width), h(height), px(size_t(width) * height, fill) {}
  Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
  const Rgb& at(int x, int y) const { return px[size_t(y) * w + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  // Blends `c` over the pixel with coverage `a` (0..1). A result that a 16-bit display would
  // turn into the key is either left as key (a faint touch on key) or lifted to RGB(8, 8, 8).
  void blend(int x, int y, Col c, float a);
  void set(int x, int y, Col c) { blend(x, y, c, 1.0f); }
  void fillRect(int l, int t, int r, int b, Col c);
  void clearRect(int l, int t, int r, int b);  // back to key black
  // Copies `src` at (x, y); key pixels of `src` are skipped when `keyed` is set.
  void blit(const Image& src, int x, int y, bool keyed);
  void blitRect(const Image& src, int sl, int st, int sr, int sb, int x, int y, bool keyed);
  Image scaled(int factor) const;  // nearest neighbour, integer factor
};

// A picture with coverage: red, green, blue and alpha bytes a pixel, not premultiplied.
struct RgbaImage {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
};
// `src` resampled to w x h by area averaging, its key pixels transparent.
RgbaImage ResampleKeyed(const Image& src, int w, int h);

// 24-bit bottom-up BMP, the format the library's picture loader reads.
bool WriteBmp(const std::string& path, const Image& img);
// Truecolour PNG with stored (uncompressed) deflate blocks: no compression library needed.
bool WritePng(const std::string& path, const Image& img);
bool WritePng(const std::string& path, const RgbaImage& img);  // with alpha
std::vector<uint8_t> EncodePng(const Image& img);
uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t n);

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool MakeDirs(const std::string& path);

}  // namespace assetgen
