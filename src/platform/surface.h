#pragma once
#include <cstddef>
#include <cstdint>

// Software pixel surfaces in the emulated desktop's format, with the host blitter's rules:
// a source colour key, lock and unlock, a lost flag, rectangle copies that refuse rectangles
// reaching outside either surface, stretch copies and colour fills.
namespace tu::platform {

enum class PixelFormat { Rgb565, Rgb555, Xrgb8888 };

// The desktop's format: 5-6-5 at 16 bits, x8-8-8-8 at 32 (platform/desktop.h).
PixelFormat DesktopPixelFormat();

struct FormatInfo {
  int bitsPerPixel;
  uint32_t redMask, greenMask, blueMask;
};
FormatInfo DescribeFormat(PixelFormat format);
// The SDL pixel format number of the same layout.
uint32_t SdlPixelFormat(PixelFormat format);

// The largest surface: 32767 pixels a side (sizes are kept in 16 bits) and 64 Mi pixels.
constexpr int kMaxSurfaceSide = 32767;
constexpr int64_t kMaxSurfacePixels = 64ll * 1024 * 1024;

// Left, top, right, bottom; right and bottom exclusive.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct Surface;

// A black surface, or null when the size is 0, negative or too large to allocate.
// `systemMemory` only records where the host would have placed it.
Surface* CreateSurface(int width, int height, PixelFormat format, bool systemMemory = true);
Surface* CreateSurface(int width, int height);  // desktop format, system memory
void FreeSurface(Surface* surface);

int SurfaceWidth(const Surface* s);
int SurfaceHeight(const Surface* s);
int SurfacePitch(const Surface* s);
PixelFormat SurfaceFormat(const Surface* s);
bool SurfaceInSystemMemory(const Surface* s);

// Per-pixel opacity of a picture with an alpha channel: one byte a pixel (0 transparent .. 255
// opaque) in rows of the surface's width; null for a surface without one. Keyed copies and
// stretches from a surface with a plane blend each pixel over the destination by it, in the
// destination's own channels, and do not look at the colour key; plain copies ignore it.
// Drawing into such a surface changes its colours, not its plane.
uint8_t* AlphaPlane(Surface* s);
// Gives the surface a plane, every pixel opaque; false when memory for it cannot be had.
bool AddAlphaPlane(Surface* s);

// Source colour key in the surface's own pixel value.
void SetColorKey(Surface* s, uint32_t key);
bool GetColorKey(const Surface* s, uint32_t* key);  // false when none is set

// Direct pixel access. Lock fails on a lost surface. Writes must happen between Lock and Unlock.
// Lock counts as a write and drops the surface's opaque-run index; LockForReading gives the
// pixels for reading only and keeps it. Either is ended by Unlock.
void* Lock(Surface* s, int* pitch);
const void* LockForReading(Surface* s, int* pitch);
void Unlock(Surface* s);
// Single pixels for tools and tests (0 outside the surface).
uint32_t ReadPixel(const Surface* s, int x, int y);
void WritePixel(Surface* s, int x, int y, uint32_t value);

// Loss, as when the host takes video memory away. Restore clears the flag and blackens the surface.
bool IsLost(const Surface* s);
void RestoreSurface(Surface* s);
void MarkSurfaceLost(Surface* s);
// Marks every live surface and the display's primary surface lost.
void MarkAllSurfacesLost();

enum class CopyResult { Ok, Lost, Invalid };

// Copies `src` of `source` to (x, y) of `dest`, skipping colour-keyed pixels when `keyed` (or
// blending by the source's alpha plane, when it has one).
// Both rectangles must lie inside their surfaces and be non-empty, else nothing is drawn.
CopyResult Copy(Surface* dest, int x, int y, Surface* source, const PixelRect& src, bool keyed);
// The same with the source stretched (nearest pixel) to `dst`.
CopyResult StretchCopy(Surface* dest, const PixelRect& dst, Surface* source, const PixelRect& src,
                       bool keyed);
// Fills `rect` (inside the surface) with a pixel value.
CopyResult Fill(Surface* dest, const PixelRect& rect, uint32_t pixel);

// A host colour value (0x00BBGGRR) as the surface's pixel value; -1 gives the top-left pixel.
// Returns all bits set when the surface cannot be read.
uint32_t MatchColor(Surface* s, int32_t colorref);
// The pixel value as a host colour value (channels widened by repeating their top bits).
uint32_t PixelToColorref(PixelFormat format, uint32_t pixel);
// Converts `count` pixels of `format` to 32-bit pixels with an opaque alpha byte on top:
// 0xFFRRGGBB, or 0xFFBBGGRR when `blueHigh`. Channels widen by repeating their top bits.
void RowToRgb32(PixelFormat format, const void* src, uint32_t* dst, int count, bool blueHigh);

}  // namespace tu::platform
