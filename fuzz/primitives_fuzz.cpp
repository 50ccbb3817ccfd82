// Lines, rectangles, polygons, curves, ellipses and inversions of the device context with any int
// coordinates, pens and brushes, and the library's line and mirrored copy with any rectangle:
// every call ends at once and stays inside its surface, and each line of moderate length draws
// exactly the pixels of a plain step-by-step walk of the whole, unclipped line.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "raster/dc.h"
#include "platform/surface.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  bool More() const { return size > 0; }
  uint8_t Byte() {
    if (!size) return 0;
    --size;
    return *data++;
  }
  int32_t Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{Byte()} << (8 * i);
    return static_cast<int32_t>(v);
  }
  // Near the buffer, within 16 bits, or anywhere in int.
  int Coord() {
    switch (Byte() & 3) {
      case 0:
      case 1: return int{Byte()} - 64;
      case 2: return static_cast<int16_t>(Byte() | Byte() << 8);
      default: return Int();
    }
  }
  int Pen() { return (Byte() & 7) == 7 ? Int() : Byte() % 24; }
};

// A 16- or 32-bit buffer with a context on it.
struct Buffer {
  std::vector<uint32_t> pixels;
  tu::raster::PixelTarget target;
  tu::raster::DeviceContext dc;
  Buffer(int w, int h, int bits) : pixels(static_cast<size_t>(w) * h) {
    target.pixels = pixels.data();
    target.width = w;
    target.height = h;
    target.bitsPerPixel = bits;
    target.pitch = w * bits / 8;
    if (bits == 32) target.redMask = 0xFF0000, target.greenMask = 0xFF00, target.blueMask = 0xFF;
    dc.Attach(target);
  }
  bool On(int x, int y) const {
    return tu::raster::ReadTargetPixel(target, x, y) != 0;
  }
};

// The line as the context's walk draws it without any clipping: every step of the error walk
// from (x1, y1) to (x2, y2), the end point only for wide pens, each point stamped with the
// pen's disc pixel by pixel.
std::vector<bool> WalkedLine(int w, int h, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                             int pen) {
  std::vector<bool> on(static_cast<size_t>(w) * h);
  auto stamp = [&](int64_t x, int64_t y) {
    const int lo = -(pen / 2), even = pen % 2 == 0 ? 1 : 0;
    for (int dy = lo; dy < lo + pen; ++dy)
      for (int dx = lo; dx < lo + pen; ++dx) {
        const int64_t xx = 2 * dx + even, yy = 2 * dy + even;
        if (pen > 1 && xx * xx + yy * yy > int64_t{pen} * pen) continue;
        if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h)
          on[static_cast<size_t>((y + dy) * w + x + dx)] = true;
      }
  };
  const int64_t dx = std::llabs(x2 - x1), dy = -std::llabs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int64_t err = dx + dy, x = x1, y = y1;
  for (;;) {
    const bool end = x == x2 && y == y2;
    if (end && pen <= 1) break;
    stamp(x, y);
    if (end) break;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
  return on;
}

void CheckLine(int w, int h, int bits, int x1, int y1, int x2, int y2, int pen) {
  // Lines short enough to walk and stamp quickly are compared; longer ones only have to end.
  const int tip = std::clamp(pen, 1, tu::raster::kMaxPenWidth);
  const int64_t steps = std::max(std::llabs(int64_t{x2} - x1), std::llabs(int64_t{y2} - y1));
  if ((steps + 1) * tip * tip > (int64_t{1} << 18)) return;
  Buffer b(w, h, bits);
  b.dc.SetPen(0xFFFFFF, pen);
  b.dc.MoveTo(x1, y1);
  b.dc.LineTo(x2, y2);
  const std::vector<bool> want = WalkedLine(w, h, x1, y1, x2, y2, tip);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (b.On(x, y) != want[static_cast<size_t>(y) * w + x]) {
        fprintf(stderr, "line (%d, %d) to (%d, %d) pen %d on %dx%d: pixel (%d, %d) differs\n",
                x1, y1, x2, y2, pen, w, h, x, y);
        abort();
      }
}

std::vector<tu::raster::DcPoint> Points(Reader& in, int count) {
  std::vector<tu::raster::DcPoint> p(static_cast<size_t>(count));
  for (auto& q : p) q = {in.Coord(), in.Coord()};
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  static const int sprite = [] {
    int id = tuDraw::CreateObject(32, 32, 2);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        tu::platform::WritePixel(tuDraw::draw.sprites[id].surface, x, y, uint32_t(x * y % 7));
    return id;
  }();
  Reader in{data, size};
  // Up to 160 rows: taller than the bands in which wide lines are gathered.
  const int w = 1 + in.Byte() % 64, h = 1 + in.Byte() % 160, bits = in.Byte() & 1 ? 32 : 16;
  Buffer b(w, h, bits);
  for (int op = 0; op < 64 && in.More(); ++op) {
    switch (in.Byte() % 9) {
      case 0: {
        int x1 = in.Coord(), y1 = in.Coord(), x2 = in.Coord(), y2 = in.Coord(), pen = in.Pen();
        b.dc.SetPen(in.Byte(), pen);
        b.dc.MoveTo(x1, y1);
        b.dc.LineTo(x2, y2);
        CheckLine(w, h, bits, x1, y1, x2, y2, pen);
        break;
      }
      case 1: {
        int l = in.Coord(), t = in.Coord(), r = in.Coord(), btm = in.Coord(), pen = in.Pen();
        b.dc.SetPen(0x00FF00, pen, in.Byte() & 1);
        b.dc.SetBrush(static_cast<tu::raster::BrushKind>(in.Byte() % 8), 0x0000FF);
        b.dc.Rectangle(l, t, r, btm);
        break;
      }
      case 2: {
        int pen = in.Pen();
        b.dc.SetPen(0xFF0000, pen, in.Byte() & 1);
        b.dc.SetBrush(static_cast<tu::raster::BrushKind>(in.Byte() % 8), 0xFFFF00);
        std::vector<tu::raster::DcPoint> p = Points(in, in.Byte() % 9);
        b.dc.Polygon(p.data(), static_cast<int>(p.size()));
        break;
      }
      case 3: {
        b.dc.SetPen(0x00FFFF, in.Pen());
        std::vector<tu::raster::DcPoint> p = Points(in, in.Byte() % 11);
        b.dc.PolyBezier(p.data(), static_cast<int>(p.size()));
        break;
      }
      case 4: {
        int l = in.Coord(), t = in.Coord(), r = in.Coord(), btm = in.Coord();
        b.dc.InvertRect(l, t, r, btm);
        break;
      }
      case 5:
        b.dc.SetBkTransparent(in.Byte() & 1);
        b.dc.SetBkColor(static_cast<uint32_t>(in.Int()));
        b.dc.SetPixel(in.Coord(), in.Coord(), static_cast<uint32_t>(in.Int()));
        break;
      case 6: {
        int x1 = in.Coord(), y1 = in.Coord(), x2 = in.Coord(), y2 = in.Coord(), pen = in.Pen();
        tuDraw::Line(x1, y1, x2, y2, 0xFFFFFF, pen);
        break;
      }
      case 8: {
        int l = in.Coord(), t = in.Coord(), r = in.Coord(), btm = in.Coord(), pen = in.Pen();
        b.dc.SetPen(0xFF00FF, pen, in.Byte() & 1);
        b.dc.SetBrush(static_cast<tu::raster::BrushKind>(in.Byte() % 8), 0x00FFFF);
        b.dc.Ellipse(l, t, r, btm);
        tuDraw::FillCircle(in.Coord(), in.Coord(), in.Coord(), 0xFFFFFF);
        break;
      }
      default: {
        int x = in.Coord(), y = in.Coord(), mode = in.Byte();
        int l = in.Coord(), t = in.Coord(), r = in.Coord(), btm = in.Coord();
        tuDraw::DrawMirror(x, y, mode, sprite, l, t, r, btm);
        break;
      }
    }
  }
  fuzz::ForgetBoxes();
  return 0;
}
