#pragma once
#include <cstdint>

#include "platform/font.h"

// A device context on a locked pixel buffer: colours, background mode, text, and a small
// rasteriser with the host's pixel rules (a line leaves out its end point, a rectangle leaves
// out its right and bottom edges, hatch brushes are aligned to the surface's origin).
// Colours are host colour values 0x00BBGGRR.
namespace tu::raster {

// A locked pixel buffer of 16 or 32 bits per pixel with its channel masks.
struct PixelTarget {
  void* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;  // pitch in bytes
  int bitsPerPixel = 16;
  uint32_t redMask = 0xF800, greenMask = 0x07E0, blueMask = 0x001F;
};

// The host colour value as a pixel value of the target's format, and back (channels widened
// to 0..255 with rounding).
uint32_t ColorToPixel(const PixelTarget& t, uint32_t colorref);
uint32_t PixelToColor(const PixelTarget& t, uint32_t pixel);
uint32_t ReadTargetPixel(const PixelTarget& t, int x, int y);  // 0 outside
void WriteTargetPixel(const PixelTarget& t, int x, int y, uint32_t pixel);

constexpr uint32_t kInvalidColor = 0xFFFFFFFFu;

struct DcPoint {
  int x = 0, y = 0;
};
struct DcRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Hatched brushes draw the host's 8 x 8 patterns in the brush colour, their gaps in the
// background colour unless the background is transparent.
enum class BrushKind {
  Null,
  Solid,
  Horizontal,
  Vertical,
  ForwardDiagonal,   // lines falling to the right
  BackwardDiagonal,  // lines rising to the right
  Cross,
  DiagCross,
};

// Wider pens draw this wide: the cost of a wide line grows with the square of its width.
constexpr int kMaxPenWidth = 256;

// Formatted-text flags.
constexpr int kDtLeft = 0x0;
constexpr int kDtCenter = 0x1;
constexpr int kDtRight = 0x2;
constexpr int kDtWordBreak = 0x10;
constexpr int kDtNoClip = 0x100;
constexpr int kDtCalcRect = 0x400;
constexpr int kDtNoPrefix = 0x800;

class DeviceContext {
 public:
  // Binds the context to a buffer; drawing outside the buffer is clipped. A context without
  // a buffer draws nothing and reads kInvalidColor.
  void Attach(const PixelTarget& target);
  void Detach();
  bool Attached() const { return target_.pixels != nullptr; }
  const PixelTarget& Target() const { return target_; }

  // ---- State
  uint32_t SetTextColor(uint32_t color);
  uint32_t SetBkColor(uint32_t color);
  void SetBkTransparent(bool transparent);
  uint32_t TextColor() const { return textColor_; }
  uint32_t BkColor() const { return bkColor_; }
  bool BkTransparent() const { return bkTransparent_; }
  // A pen of width 0 or 1 draws one pixel wide, at most kMaxPenWidth; `null` draws no outline.
  void SetPen(uint32_t color, int width, bool null = false);
  void SetBrush(BrushKind kind, uint32_t color);
  platform::Font* SelectFont(platform::Font* font);  // returns the previous font
  platform::Font* SelectedFont() const { return font_; }

  // ---- Pixels and shapes
  uint32_t SetPixel(int x, int y, uint32_t color);  // the colour set, or kInvalidColor outside
  uint32_t GetPixel(int x, int y) const;           // kInvalidColor outside
  void MoveTo(int x, int y);
  // From the current position to (x, y), without (x, y) itself for one-pixel pens; wide pens
  // have round ends. The current position becomes (x, y).
  void LineTo(int x, int y);
  // Brush inside, pen on the edge; the edge runs on left..right-1, top..bottom-1.
  void Rectangle(int left, int top, int right, int bottom);
  // Closed polygon: brush inside (alternate filling), pen around. Fewer than 2 points: nothing.
  bool Polygon(const DcPoint* points, int count);
  // Cubic curves through 1 + 3n points; any other count draws nothing and returns false.
  bool PolyBezier(const DcPoint* points, int count);
  // The ellipse inscribed in the box (right and bottom exclusive; the ends may come in either
  // order): the pixels whose centres lie on or inside it. The pen draws a ring of its width
  // along the inside of the edge, the brush fills what the ring leaves (all of it without a
  // pen). Symmetric about the box's centre lines; a box of no width or height draws nothing.
  void Ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom);
  void InvertRect(int left, int top, int right, int bottom);
  // Copies `src` of `source` into `dst`, nearest pixel, mirrored for negative sizes. Any
  // rectangles are taken: only pixels inside both surfaces are read and written. False for an
  // empty rectangle or without a target.
  bool StretchFrom(const DcRect& dst, const PixelTarget& source, const DcRect& src);

  // ---- Text (UTF-8). The reference point is the top-left corner of the text cell.
  bool TextOut(int x, int y, const char* utf8);
  bool TextExtent(const char* utf8, int* width, int* height);
  // Lines in `rect` by the kDt* flags. Returns the height of the text, 0 when nothing fits or
  // no font is selected. With kDtCalcRect nothing is drawn and `rect` takes the text's extent.
  int DrawText(const char* utf8, DcRect* rect, int flags);

 private:
  void Plot(int x, int y, uint32_t pixel);
  // Any int end points: the segment is clipped before it is walked.
  void StrokeSegment(int x1, int y1, int x2, int y2, bool lastPoint);
  void FillSpans(const DcPoint* points, int count);
  void FillRow(int y, int64_t from, int64_t to, bool pen);
  void BrushPixel(int x, int y);
  bool TextOutBytes(int x, int y, const char* utf8, int bytes);

  PixelTarget target_;
  DcRect clip_{};
  uint32_t textColor_ = 0, bkColor_ = 0xFFFFFF;
  bool bkTransparent_ = false;
  uint32_t penColor_ = 0;
  int penWidth_ = 1;
  bool penNull_ = false;
  BrushKind brushKind_ = BrushKind::Solid;
  uint32_t brushColor_ = 0xFFFFFF;
  platform::Font* font_ = nullptr;
  int curX_ = 0, curY_ = 0;
};

}  // namespace tu::raster
