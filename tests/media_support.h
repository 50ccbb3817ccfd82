#pragma once
// PNG and Ogg Vorbis files made in memory for the tests (and the fuzz seeds): pictures written
// with libpng, sounds encoded with libvorbisenc, so no fixture comes from elsewhere.
#include <png.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace media_support {

using Bytes = std::vector<uint8_t>;

namespace detail {
inline void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
inline void Flush(png_structp) {}

// Writes rows of `bytesPerPixel` bytes a pixel, filled by `pixel`, with the header set up by
// `setup`.
inline Bytes WritePng(int w, int h, int bytesPerPixel, const std::function<void(png_structp, png_infop)>& setup,
                      const std::function<void(int, int, uint8_t*)>& pixel) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> row(static_cast<size_t>(w) * bytesPerPixel);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &out, Append, Flush);
    setup(png, info);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) pixel(x, y, row.data() + static_cast<size_t>(x) * bytesPerPixel);
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  } else {
    out.clear();
  }
  png_destroy_write_struct(&png, &info);
  return out;
}
}  // namespace detail

// A true-colour PNG; `argb` gives 0xAARRGGBB of each pixel. With `alpha` false the alpha byte
// is left out (colour type RGB).
inline Bytes MakePng(int w, int h, const std::function<uint32_t(int, int)>& argb, bool alpha = true) {
  const int type = alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
  return detail::WritePng(
      w, h, alpha ? 4 : 3,
      [&](png_structp png, png_infop info) {
        png_set_IHDR(png, info, w, h, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
      },
      [&](int x, int y, uint8_t* p) {
        uint32_t c = argb(x, y);
        p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
        if (alpha) p[3] = uint8_t(c >> 24);
      });
}

// A palette PNG; entries are 0xAARRGGBB, those not opaque go into its transparency chunk.
inline Bytes MakePalettePng(int w, int h, const std::vector<uint32_t>& palette,
                            const std::function<int(int, int)>& index) {
  return detail::WritePng(
      w, h, 1,
      [&](png_structp png, png_infop info) {
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        std::vector<png_color> colors;
        std::vector<png_byte> alphas;
        for (uint32_t c : palette) {
          colors.push_back({png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
          alphas.push_back(png_byte(c >> 24));
        }
        png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
        while (!alphas.empty() && alphas.back() == 255) alphas.pop_back();
        if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
      },
      [&](int x, int y, uint8_t* p) { p[0] = uint8_t(index(x, y)); });
}

}  // namespace media_support
