#pragma once
// PNG and Ogg Vorbis files made in memory for the tests (and the fuzz seeds): pictures written
// with libpng, sounds encoded with libvorbisenc, so no fixture comes from elsewhere.
#include <png.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
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

// An Ogg Vorbis file of interleaved 16-bit samples (`channels` of them a frame) at `rate` Hz,
// encoded at quality `quality` (-0.1..1).
inline Bytes MakeOgg(int channels, int rate, const std::vector<int16_t>& samples, float quality = 0.3f) {
  Bytes out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 12345);
  ogg_page page;
  auto write = [&](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  ogg_packet head, comments, books;
  vorbis_analysis_headerout(&vd, &vc, &head, &comments, &books);
  ogg_stream_packetin(&os, &head);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &books);
  while (ogg_stream_flush(&os, &page)) write(page);
  const size_t frames = samples.size() / static_cast<size_t>(channels);
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t n = std::min<size_t>(4096, frames - done);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
          buffer[c][i] = samples[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) {
          write(page);
          if (ogg_page_eos(&page)) ended = true;
        }
      }
    }
    if (n == 0 && !ended) {
      while (ogg_stream_flush(&os, &page)) write(page);
      ended = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

// Decodes an Ogg Vorbis file with the decoder's own file interface: the samples a player of
// the file must give, interleaved 16-bit.
inline std::vector<int16_t> DecodeOggFile(const char* path) {
  std::vector<int16_t> out;
  OggVorbis_File vf;
  if (ov_fopen(path, &vf) != 0) return out;
  char block[8192];
  int section = 0;
  for (;;) {
    long n = ov_read(&vf, block, sizeof block, 0, 2, 1, &section);
    if (n <= 0) break;
    const int16_t* s = reinterpret_cast<const int16_t*>(block);
    out.insert(out.end(), s, s + n / 2);
  }
  ov_clear(&vf);
  return out;
}

}  // namespace media_support
