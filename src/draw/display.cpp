// Display set-up and take-down: primary surface, back buffer, internal sprites, pixel format,
// effect tables; then the services above the display start through a hook of theirs.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "base/text.h"
#include "draw/hooks.h"
#include "platform/desktop.h"
#include "platform/display.h"
#include "platform/surface.h"
#include "platform/window.h"

namespace {
void (*displayUpHook)() = nullptr;
}  // namespace

namespace tu::draw {
void SetDisplayUpHook(void (*hook)()) { displayUpHook = hook; }
}  // namespace tu::draw

namespace tuDraw {

DrawState draw;
DrawTables tables;

namespace {
const char kContext[] = "tuDraw::Screen";

void ResetEntry(SpriteObject& e) {
  e.surface = nullptr;
  e.name[0] = 0;
  e.fromPack = 0;
  e.memoryKind = kVideoMemory;
  e.colorKey = 0;
  e.width = e.height = 0;
}

// Trailing zero bits, bounded so that an empty mask ends the count.
Channel DescribeChannel(uint32_t mask) {
  Channel c;
  c.mask = mask;
  uint32_t m = mask;
  int shift = 0;
  while (shift < 32 && m != 0 && (m & 1) == 0) {
    m >>= 1;
    ++shift;
  }
  c.shift = static_cast<uint16_t>(mask ? shift : 0);
  c.max = mask ? (mask >> shift) : 0;
  c.shift5 = static_cast<uint16_t>(c.max == 63 ? c.shift + 1 : c.shift);
  return c;
}

void BuildSinTable() {
  for (int i = 0; i < 450; ++i)
    tables.sinTable[i] = static_cast<int>(360.0 * std::sin(2.0 * tuSystem::kPi * i / 360.0));
}

void Build16BitTables() {
  const PixelFormatInfo& f = draw.pixelFormat;
  const Channel* channels[3] = {&f.red, &f.green, &f.blue};
  memset(tables.rgbOfPixel, 0, sizeof tables.rgbOfPixel);
  for (uint32_t r = 0; r <= f.red.max; ++r)
    for (uint32_t g = 0; g <= f.green.max; ++g)
      for (uint32_t b = 0; b <= f.blue.max; ++b) {
        uint32_t index = (r << f.red.shift) + (g << f.green.shift) + b;
        if (index >= 65536) continue;
        tables.rgbOfPixel[index][0] = static_cast<uint8_t>(f.red.max == 63 ? r >> 1 : r);
        tables.rgbOfPixel[index][1] = static_cast<uint8_t>(f.green.max == 63 ? g >> 1 : g);
        tables.rgbOfPixel[index][2] = static_cast<uint8_t>(f.blue.max == 63 ? b >> 1 : b);
      }
  for (int c = 0; c < 3; ++c) {
    int sh = channels[c]->shift5;
    for (int z = 0; z < 32; ++z)
      for (int q = 0; q < 32; ++q)
        for (int s = 0; s < 32; ++s) {
          int i = c * 32768 + z * 1024 + q * 32 + s;
          int add = std::max(q - z, 0) + std::max(z + s - 31, 0);
          int sat = std::min(std::max(q - z, 0) + s, 31);
          tables.fadeAddTable[i] = static_cast<uint16_t>(add << sh);
          tables.fadeSatTable[i] = static_cast<uint16_t>(sat << sh);
        }
    for (int q = 0; q < 32; ++q)
      for (int s = 0; s < 32; ++s)
        tables.subTable[c * 1024 + q * 32 + s] = static_cast<uint16_t>(std::max(q - s, 0) << sh);
  }
  for (int n = 0; n < 94; ++n) tables.avg3Table[n] = static_cast<uint16_t>(n / 3);
  for (int i = 0; i < 10000; ++i) tables.randomTable[i] = static_cast<uint8_t>(rand() % 3);
  tables.built16 = 1;
}

void Clear16BitTables() {
  if (!tables.built16) return;
  memset(tables.rgbOfPixel, 0, sizeof tables.rgbOfPixel);
  memset(tables.fadeAddTable, 0, sizeof tables.fadeAddTable);
  memset(tables.fadeSatTable, 0, sizeof tables.fadeSatTable);
  memset(tables.subTable, 0, sizeof tables.subTable);
  memset(tables.avg3Table, 0, sizeof tables.avg3Table);
  memset(tables.randomTable, 0, sizeof tables.randomTable);
  tables.built16 = 0;
}

// The emulated desktop takes any of its own depths; a full-screen mode of another depth fails.
bool SetDisplayMode(int depth) { return tu::platform::SetDisplayModeDepth(depth); }

bool MakeInternalSprite(int id, const char* name, int width, int height, bool systemMemory) {
  tu::platform::Surface* s =
      tu::platform::CreateSurface(width, height, tu::platform::DesktopPixelFormat(), systemMemory);
  if (!s) return false;
  tu::platform::SetColorKey(s, tu::platform::MatchColor(s, 0));
  SpriteObject& e = draw.sprites[id];
  e.surface = s;
  tu::CopyCut(e.name, sizeof e.name, name);
  e.fromPack = 0;
  e.memoryKind = kVideoMemory;
  e.colorKey = 0;
  e.width = static_cast<uint16_t>(width);
  e.height = static_cast<uint16_t>(height);
  return true;
}
}  // namespace

PixelFormatInfo DescribePixelFormat(uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                                    int bitsPerPixel) {
  PixelFormatInfo f;
  f.bitsPerPixel = bitsPerPixel;
  f.red = DescribeChannel(redMask);
  f.green = DescribeChannel(greenMask);
  f.blue = DescribeChannel(blueMask);
  f.halfMask = ((f.red.max >> 1) << f.red.shift) | ((f.green.max >> 1) << f.green.shift) |
               ((f.blue.max >> 1) << f.blue.shift);
  f.fullMask = (f.red.max << f.red.shift) | (f.green.max << f.green.shift) |
               (f.blue.max << f.blue.shift);
  return f;
}

int Screen(int width, int height, int memoryMode) {
  if (width == kWindowSize) {
    width = tuSystem::sys.windowWidth;
    height = tuSystem::sys.windowHeight;
  }
  if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide) {
    char message[160];
    snprintf(message, sizeof message,
             "cannot make a screen of %d x %d pixels: width and height must be 1 to %d (the "
             "display stays as it was)",
             width, height, kMaxScreenSide);
    return tuSystem::Error(kContext, message, 0);
  }
  // A second set-up replaces the first instead of leaking its surfaces.
  Release();
  draw.backSurface = nullptr;
  tuSystem::sys.errorFlag = 0;
  // The window shows the whole back buffer: another size than the window's becomes its size.
  tu::platform::SetLogicalClientSize(width, height);
  tuSystem::sys.windowWidth = width;
  tuSystem::sys.windowHeight = height;
  draw.screenWidth = width;
  draw.screenHeight = height;
  SetClip(0, 0, width, height);

  draw.hardwareDevice = 0;
  if (!tu::platform::OpenDisplay()) return tuSystem::Error(kContext, "DirectDrawが使用できません", 0);
  draw.displayOpen = 1;
  bool systemMemory = !(memoryMode == kScreenVideoMemory || memoryMode == kScreenMixedMemory);

  if (tuSystem::sys.fullScreen) {
    bool ok = SetDisplayMode(draw.displayDepth);
    if (!ok && draw.fallbackDepth1 != 0) {
      draw.displayDepth = draw.fallbackDepth1;
      ok = SetDisplayMode(draw.displayDepth);
      if (!ok && draw.fallbackDepth2 != 0) {
        draw.displayDepth = draw.fallbackDepth2;
        ok = SetDisplayMode(draw.displayDepth);
      }
    }
    if (!ok) return tuSystem::Error(kContext, "解像度が変更できません", 0);
  } else {
    draw.displayDepth = DesktopDepth();
  }

  tu::platform::PixelFormat format = tu::platform::DesktopPixelFormat();
  if (!tu::platform::CreatePrimary(width, height, format))
    return tuSystem::Error(kContext, "表画面が生成できません", 0);
  draw.backSurface = tu::platform::CreateSurface(width, height, format, systemMemory);
  if (!draw.backSurface) return tuSystem::Error(kContext, "裏画面が生成できません", 0);

  if (memoryMode == kScreenMixedMemory) systemMemory = true;
  if (!MakeInternalSprite(0, "内部用１", width, height, systemMemory))
    return tuSystem::Error(kContext, "Bufferスプライトが生成できません", 0);
  if (!MakeInternalSprite(1, "内部用２", width, height, systemMemory))
    return tuSystem::Error(kContext, "Screenスプライトが生成できません", 0);
  if (!MakeInternalSprite(2, "内部用３", width, height, true))
    return tuSystem::Error(kContext, "Fontスプライトが生成できません", 0);
  if (!MakeInternalSprite(3, "内部用４", width, height, true))
    return tuSystem::Error(kContext, "Fontバッファスプライトが生成できません", 0);

  // The software blitter stretches.
  draw.canStretch = 1;

  tu::platform::FormatInfo info = tu::platform::DescribeFormat(tu::platform::SurfaceFormat(draw.backSurface));
  draw.pixelFormat =
      DescribePixelFormat(info.redMask, info.greenMask, info.blueMask, info.bitsPerPixel);
  const PixelFormatInfo& f = draw.pixelFormat;
  if (f.red.mask == 0 || f.green.mask == 0 || f.blue.mask == 0)
    return tuSystem::Error(kContext, "ピクセル情報が取得できません", 0);

  BuildSinTable();
  if (DesktopDepth() == 16)
    Build16BitTables();
  else
    Clear16BitTables();

  for (int i = kFirstFreeSprite; i < kMaxSprites; ++i) ResetEntry(draw.sprites[i]);
  draw.fadeTileSprite = 0;
  draw.viewSprite = 0;
  draw.viewTileSprite = 0;

  draw.presentSourceRect = {0, 0, width, height};
  tuSystem::SystemState& sys = tuSystem::sys;
  sys.clientRect = {sys.clientX, sys.clientY, sys.clientX + width, sys.clientY + height};

  tuSystem::ResetWaits();
  sys.keyCaptureMode = 0;
  sys.heldKey = 0;
  sys.sysKeyMode = 0;
  EnumFonts();
  if (displayUpHook) displayUpHook();
  return 1;
}

void Release() {
  if (draw.displayOpen) {
    for (SpriteObject& e : draw.sprites) {
      if (!e.surface) continue;
      tu::platform::FreeSurface(e.surface);
      ResetEntry(e);
    }
    tu::platform::FreeSurface(draw.backSurface);
    draw.backSurface = nullptr;
    tu::platform::CloseDisplay();
    draw.displayOpen = 0;
  }
  // A full-screen mode gives the desktop its own depth back.
  tu::platform::RestoreDisplayMode();
}

int PixelOf(int red, int green, int blue) {
  uint32_t c = tu::Rgb(red, green, blue);
  auto part = [](const Channel& ch, int v) {
    int bits = std::popcount(ch.max);
    return bits == 0 || bits > 8 ? 0u : (static_cast<uint32_t>(v) >> (8 - bits)) << ch.shift;
  };
  const PixelFormatInfo& f = draw.pixelFormat;
  return static_cast<int>(part(f.red, tu::RedOf(c)) | part(f.green, tu::GreenOf(c)) |
                          part(f.blue, tu::BlueOf(c)));
}

void SetDepths(int depth, int fallback1, int fallback2) {
  draw.displayDepth = depth;
  draw.fallbackDepth1 = fallback1;
  draw.fallbackDepth2 = fallback2;
}

void SetClip(int left, int top, int right, int bottom) { draw.clipRect = {left, top, right, bottom}; }
void SetVSync(int on) { draw.waitForVBlank = on; }
int DesktopDepth() { return tu::platform::DesktopDepth(); }

}  // namespace tuDraw
