// Copies of the back buffer: into a sprite, and into a 24-bit BMP file.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "base/text.h"
#include "draw/surface_dc.h"

namespace tuDraw {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void GrabScreen(int id, int left, int top, int right, int bottom) {
  if (static_cast<unsigned>(id) >= static_cast<unsigned>(kMaxSprites)) return;
  tu::platform::Surface* dest = draw.sprites[id].surface;
  if (!dest || !draw.backSurface) return;
  tu::platform::CopyResult r =
      tu::platform::Copy(dest, 0, 0, draw.backSurface, {left, top, right, bottom}, false);
  if (r == tu::platform::CopyResult::Lost) Restore();
}

int SaveScreen(const char* fileName, int width, int height) {
  tu::raster::PixelTarget t;
  if (!LockTarget(draw.backSurface, &t)) return 0;
  // Never read past the back buffer: the saved area is clamped to it.
  width = std::clamp(width, 0, t.width);
  height = std::clamp(height, 0, t.height);
  int depth = DesktopDepth();
  int written = 0;
  if ((depth == 16 || depth == 32) && fileName) {
    char path[512];
    tu::JoinCut(path, sizeof path, fileName[0] == '/' ? "" : tuSystem::GetPath(0), fileName, "");
    FILE* f = fopen(path, "wb");
    if (f) {
      uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
      uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
      uint8_t header[58] = {};
      header[0] = 'B';
      header[1] = 'M';
      Put32(header + 2, 58 + imageBytes);
      Put32(header + 10, 58);
      Put32(header + 14, 40);
      Put32(header + 18, static_cast<uint32_t>(width));
      Put32(header + 22, static_cast<uint32_t>(height));
      Put16(header + 26, 1);
      Put16(header + 28, 24);
      Put32(header + 34, imageBytes);
      Put32(header + 38, 2834);
      Put32(header + 42, 2834);
      bool ok = fwrite(header, 1, sizeof header, f) == sizeof header;
      const PixelFormatInfo& pf = draw.pixelFormat;
      std::vector<uint8_t> row(rowBytes, 0);
      for (int y = height - 1; y >= 0; --y) {
        const uint8_t* src = static_cast<const uint8_t*>(t.pixels) + static_cast<size_t>(y) * t.pitch;
        for (int x = 0; x < width; ++x) {
          uint8_t* out = row.data() + x * 3;
          if (t.bitsPerPixel == 16) {
            uint16_t p = reinterpret_cast<const uint16_t*>(src)[x];
            // Five bits a channel, shifted up: white is 248, 248, 248.
            uint32_t r = (p & pf.red.mask) >> pf.red.shift;
            uint32_t g = (p & pf.green.mask) >> pf.green.shift;
            uint32_t b = (p & pf.blue.mask) >> pf.blue.shift;
            if (pf.red.max == 63) r >>= 1;
            if (pf.green.max == 63) g >>= 1;
            if (pf.blue.max == 63) b >>= 1;
            out[0] = static_cast<uint8_t>(b << 3);
            out[1] = static_cast<uint8_t>(g << 3);
            out[2] = static_cast<uint8_t>(r << 3);
          } else {
            uint32_t p = reinterpret_cast<const uint32_t*>(src)[x];
            out[0] = static_cast<uint8_t>(p >> pf.blue.shift);
            out[1] = static_cast<uint8_t>(p >> pf.green.shift);
            out[2] = static_cast<uint8_t>(p >> pf.red.shift);
          }
        }
        ok = ok && fwrite(row.data(), 1, rowBytes, f) == rowBytes;
      }
      written = (fclose(f) == 0 && ok) ? 1 : 0;
    }
  }
  tu::platform::Unlock(draw.backSurface);
  return written;
}

}  // namespace tuDraw
