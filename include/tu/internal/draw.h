#pragma once
// tuDraw's own workings: the lookup tables the software effects read, built by Screen, and the
// pixel-format arithmetic behind them. Declared for the library's modules, its tools and its
// tests; a game does not need them. tuDraw.h includes this header at its end.
#include <cstdint>

namespace tuDraw {

struct PixelFormatInfo;

// Lookup tables of the software effects; the 16-bit ones only on a 16-bit desktop.
struct DrawTables {
  int sinTable[450] = {};  // trunc(360 sin(2 pi i / 360)), one and a quarter turns
  int built16 = 0;         // the tables below are filled
  uint8_t rgbOfPixel[65536][3] = {};
  uint16_t fadeAddTable[3 * 32768] = {};  // [channel][level][destination][source]
  uint16_t fadeSatTable[3 * 32768] = {};
  uint16_t subTable[3 * 1024] = {};       // [channel][destination][source]
  uint16_t avg3Table[94] = {};
  uint8_t randomTable[10000] = {};
};
extern DrawTables tables;

// The channel shifts, maxima and masks of a pixel format given by its channel masks.
PixelFormatInfo DescribePixelFormat(uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                                    int bitsPerPixel);

}  // namespace tuDraw
