// Drawing on the back buffer through its device context: pixels, lines, rectangles, polygons,
// curves and inversion. Each call takes the context, draws and gives it back.
#include <vector>

#include <tu/tuDraw.h>

#include "draw/surface_dc.h"

namespace tu::draw {

bool LockTarget(tu::platform::Surface* surface, tu::raster::PixelTarget* target) {
  if (!surface || !target) return false;
  int pitch = 0;
  void* pixels = tu::platform::Lock(surface, &pitch);
  if (!pixels) return false;
  tu::platform::FormatInfo f = tu::platform::DescribeFormat(tu::platform::SurfaceFormat(surface));
  target->pixels = pixels;
  target->width = tu::platform::SurfaceWidth(surface);
  target->height = tu::platform::SurfaceHeight(surface);
  target->pitch = pitch;
  target->bitsPerPixel = f.bitsPerPixel;
  target->redMask = f.redMask;
  target->greenMask = f.greenMask;
  target->blueMask = f.blueMask;
  return true;
}

bool GetSurfaceDC(tu::platform::Surface* surface, tu::raster::DeviceContext& dc) {
  // A fresh context: default colours, opaque background, no font.
  dc = tu::raster::DeviceContext{};
  tu::raster::PixelTarget t;
  if (!LockTarget(surface, &t)) return false;
  dc.Attach(t);
  return true;
}

void ReleaseSurfaceDC(tu::platform::Surface* surface, tu::raster::DeviceContext& dc) {
  if (dc.Attached() && surface) tu::platform::Unlock(surface);
  dc.Detach();
}

}  // namespace tu::draw

namespace tuDraw {

namespace {

// The context of one primitive call on the back buffer.
struct BackDC {
  tu::raster::DeviceContext dc;
  BackDC() { GetSurfaceDC(draw.backSurface, dc); }
  ~BackDC() { ReleaseSurfaceDC(draw.backSurface, dc); }
};

// The points in the device context's type. Shapes of up to kInline points (every shape a frame
// is likely to draw) stay on the stack, so drawing them allocates nothing.
class DcPoints {
 public:
  DcPoints(const Point* points, int count) {
    if (count > kInline) heap_.resize(static_cast<size_t>(count));
    tu::raster::DcPoint* out = data();
    for (int i = 0; i < count; ++i) out[i] = {points[i].x, points[i].y};
  }
  tu::raster::DcPoint* data() { return heap_.empty() ? inline_ : heap_.data(); }

 private:
  static constexpr int kInline = 256;
  tu::raster::DcPoint inline_[kInline];
  std::vector<tu::raster::DcPoint> heap_;
};

}  // namespace

void GetPixel(int x, int y, int* red, int* green, int* blue) {
  BackDC b;
  uint32_t c = b.dc.GetPixel(x, y);  // all bits set outside, as the host reports
  if (red) *red = static_cast<int>(c & 0xFF);
  if (green) *green = static_cast<int>((c >> 8) & 0xFF);
  if (blue) *blue = static_cast<int>((c >> 16) & 0xFF);
}

void SetPixel(int x, int y, uint32_t color) {
  BackDC b;
  b.dc.SetPixel(x, y, color);
}

void Line(int x1, int y1, int x2, int y2, uint32_t color, int width) {
  BackDC b;
  b.dc.SetPen(color, width);
  b.dc.MoveTo(x1, y1);
  b.dc.LineTo(x2, y2);
}

void Rect(int left, int top, int right, int bottom, uint32_t fill, uint32_t edge, int width) {
  BackDC b;
  b.dc.SetPen(edge, width);
  b.dc.SetBrush(tu::raster::BrushKind::Solid, fill);
  b.dc.Rectangle(left, top, right, bottom);
}

void Bezier(const Point* points, int count, uint32_t color, int width) {
  if (!points || count <= 0) return;
  BackDC b;
  b.dc.SetPen(color, width);
  DcPoints p(points, count);
  b.dc.PolyBezier(p.data(), count);
}

void Polygon(const Point* points, int count, uint32_t color, uint32_t background, int width,
             int hatch) {
  if (!points || count <= 0) return;
  BackDC b;
  b.dc.SetPen(color, width);
  b.dc.SetBrush(hatch ? tu::raster::BrushKind::DiagCross : tu::raster::BrushKind::Null, color);
  if (hatch == kHatchTransparent)
    b.dc.SetBkTransparent(true);
  else
    b.dc.SetBkColor(background);
  DcPoints p(points, count);
  b.dc.Polygon(p.data(), count);
}

void InvertRect(int left, int top, int right, int bottom) {
  BackDC b;
  b.dc.InvertRect(left, top, right, bottom);
}

void FrameRect(int left, int top, int right, int bottom, uint32_t color, int width) {
  BackDC b;
  b.dc.SetPen(color, width);
  b.dc.SetBrush(tu::raster::BrushKind::Null, 0);
  b.dc.Rectangle(left, top, right, bottom);
}

void FillPolygon(const Point* points, int count, uint32_t color) {
  if (!points || count <= 0) return;
  BackDC b;
  // The one-pixel edge in the fill colour covers the edge pixels the span fill leaves out.
  b.dc.SetPen(color, 1);
  b.dc.SetBrush(tu::raster::BrushKind::Solid, color);
  DcPoints p(points, count);
  b.dc.Polygon(p.data(), count);
}

void Ellipse(int left, int top, int right, int bottom, uint32_t color, int width) {
  BackDC b;
  b.dc.SetPen(color, width);
  b.dc.SetBrush(tu::raster::BrushKind::Null, 0);
  b.dc.Ellipse(left, top, right, bottom);
}

void FillEllipse(int left, int top, int right, int bottom, uint32_t color) {
  BackDC b;
  b.dc.SetPen(0, 1, true);
  b.dc.SetBrush(tu::raster::BrushKind::Solid, color);
  b.dc.Ellipse(left, top, right, bottom);
}

// A circle is the ellipse of the square box around its centre pixel (in 64 bits: a centre near
// the end of int must not wrap).
void Circle(int x, int y, int radius, uint32_t color, int width) {
  if (radius < 0) return;
  BackDC b;
  b.dc.SetPen(color, width);
  b.dc.SetBrush(tu::raster::BrushKind::Null, 0);
  b.dc.Ellipse(int64_t{x} - radius, int64_t{y} - radius, int64_t{x} + radius + 1,
               int64_t{y} + radius + 1);
}

void FillCircle(int x, int y, int radius, uint32_t color) {
  if (radius < 0) return;
  BackDC b;
  b.dc.SetPen(0, 1, true);
  b.dc.SetBrush(tu::raster::BrushKind::Solid, color);
  b.dc.Ellipse(int64_t{x} - radius, int64_t{y} - radius, int64_t{x} + radius + 1,
               int64_t{y} + radius + 1);
}

}  // namespace tuDraw
