#include "platform/rows.h"

#include <cstring>

namespace tu::platform {
namespace {

// Each of `count` pixels written `factor` times side by side.
template <typename Pixel>
void Widen(const Pixel* src, Pixel* dst, int count, int factor) {
  switch (factor) {
    case 2:
      for (int x = 0; x < count; ++x) dst[2 * x] = dst[2 * x + 1] = src[x];
      break;
    case 3:
      for (int x = 0; x < count; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
      break;
    default:
      for (int x = 0; x < count; ++x)
        for (int j = 0; j < factor; ++j) dst[x * factor + j] = src[x];
      break;
  }
}

// Each of `count` 16-bit pixels looked up in `table` and written `factor` times.
void WidenThrough(const uint32_t* table, const uint16_t* src, uint32_t* dst, int count,
                  int factor) {
  switch (factor) {
    case 1:
      for (int x = 0; x < count; ++x) dst[x] = table[src[x]];
      break;
    case 2:
      for (int x = 0; x < count; ++x) dst[2 * x] = dst[2 * x + 1] = table[src[x]];
      break;
    default:
      for (int x = 0; x < count; ++x) {
        const uint32_t v = table[src[x]];
        for (int j = 0; j < factor; ++j) dst[x * factor + j] = v;
      }
      break;
  }
}

}  // namespace

void ChangedRows::Reset(int width, int height, PixelFormat format) {
  const size_t bytes = static_cast<size_t>(DescribeFormat(format).bitsPerPixel / 8);
  if (!Matches(width, height, format)) {
    kept_.assign(static_cast<size_t>(width) * height * bytes, 0);
    widened_.assign(static_cast<size_t>(width), 0);
    if (format != format_) table_.clear();
    bands_.clear();
    bands_.reserve(static_cast<size_t>(height));
    width_ = width;
    height_ = height;
    format_ = format;
  }
  all_ = true;
}

const std::vector<ChangedRows::Band>& ChangedRows::Send(const uint8_t* pixels, int pitch,
                                                        uint8_t* out, int outPitch,
                                                        RowTarget target, int factor) {
  bands_.clear();
  if (factor < 1) return bands_;
  const int bytes = DescribeFormat(format_).bitsPerPixel / 8;
  const size_t rowBytes = static_cast<size_t>(width_) * bytes;
  const int outBytes = target == RowTarget::Same ? bytes : 4;
  const size_t outRowBytes = static_cast<size_t>(width_) * factor * outBytes;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * pitch;
    uint8_t* kept = kept_.data() + y * rowBytes;
    if (!all_ && std::memcmp(row, kept, rowBytes) == 0) continue;
    std::memcpy(kept, row, rowBytes);
    uint8_t* first = out + static_cast<size_t>(y) * factor * outPitch;
    if (target == RowTarget::Same) {
      if (factor == 1)
        std::memcpy(first, row, rowBytes);
      else if (bytes == 2)
        Widen(reinterpret_cast<const uint16_t*>(row), reinterpret_cast<uint16_t*>(first), width_,
              factor);
      else
        Widen(reinterpret_cast<const uint32_t*>(row), reinterpret_cast<uint32_t*>(first), width_,
              factor);
    } else if (bytes == 2) {
      if (table_.empty() || tableTarget_ != target) {
        // Built once per format and target, outside play: every value through the converter.
        table_.resize(65536);
        for (uint32_t v = 0; v < 65536; ++v) {
          const uint16_t pixel = static_cast<uint16_t>(v);
          RowToRgb32(format_, &pixel, &table_[v], 1, target == RowTarget::Bgr32);
        }
        tableTarget_ = target;
      }
      WidenThrough(table_.data(), reinterpret_cast<const uint16_t*>(row),
                   reinterpret_cast<uint32_t*>(first), width_, factor);
    } else {
      const bool blueHigh = target == RowTarget::Bgr32;
      if (factor == 1) {
        RowToRgb32(format_, row, reinterpret_cast<uint32_t*>(first), width_, blueHigh);
      } else {
        RowToRgb32(format_, row, widened_.data(), width_, blueHigh);
        Widen(widened_.data(), reinterpret_cast<uint32_t*>(first), width_, factor);
      }
    }
    for (int j = 1; j < factor; ++j)
      std::memcpy(first + static_cast<size_t>(j) * outPitch, first, outRowBytes);
    const int top = y * factor;
    if (!bands_.empty() && bands_.back().top + bands_.back().rows == top)
      bands_.back().rows += factor;
    else
      bands_.push_back({top, factor});
  }
  all_ = false;
  return bands_;
}

}  // namespace tu::platform
