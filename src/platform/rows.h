#pragma once
#include <cstdint>
#include <vector>

#include "platform/surface.h"

// The window framebuffer's row record: which rows of a frame changed since they were last
// sent, and their copy into the window's buffer with every pixel widened to a square block of
// a whole factor, so a scaled window costs only the rows that changed.
namespace tu::platform {

// The window buffer's pixels: the frame's own format, or 32 bits with red or blue on top.
enum class RowTarget { Same, Rgb32, Bgr32 };

class ChangedRows {
 public:
  struct Band {
    int top, rows;  // output rows
  };
  // Frames of width x height in `format` follow; the next Send copies every row. Allocates
  // only when the size or format differs from the last one.
  void Reset(int width, int height, PixelFormat format);
  // The next Send copies every row (the window's buffer was replaced or exposed).
  void SendAll() { all_ = true; }
  bool Matches(int width, int height, PixelFormat format) const {
    return width == width_ && height == height_ && format == format_;
  }
  // Copies the rows of the frame at `pixels` (`pitch` bytes a row) that differ from the last
  // frame sent into `out` (the picture's top-left pixel; `outPitch` bytes a row), each pixel as
  // a factor x factor block. Returns the bands of output rows written, top to bottom, with
  // neighbours merged; allocates nothing.
  const std::vector<Band>& Send(const uint8_t* pixels, int pitch, uint8_t* out, int outPitch,
                                RowTarget target, int factor);

 private:
  int width_ = 0, height_ = 0;
  PixelFormat format_ = PixelFormat::Rgb565;
  bool all_ = true;
  std::vector<uint8_t> kept_;      // the rows last sent
  std::vector<uint32_t> widened_;  // one row at 32 bits before it is widened to blocks
  // 16-bit pixels at 32 bits, all of them: one load a pixel instead of shifts and masks.
  std::vector<uint32_t> table_;
  RowTarget tableTarget_ = RowTarget::Same;
  std::vector<Band> bands_;
};

}  // namespace tu::platform
