#pragma once
// Shared set-up of the graphics tests: BMP images built in memory, a scratch program folder,
// and a headless display torn down after each test.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "headless.h"
#include "platform/desktop.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/seams.h"
#include "platform/surface.h"

namespace draw_support {

inline void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = uint8_t(x), v[at + 1] = uint8_t(x >> 8);
}
inline void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// A BMP file of 16 (5-5-5), 24 or 32 bits; `rgb` gives 0xRRGGBB of each pixel.
inline std::vector<uint8_t> MakeBmp(int w, int h, int bpp, const std::function<uint32_t(int, int)>& rgb,
                                    bool topDown = false) {
  int row = ((w * bpp + 31) / 32) * 4;
  std::vector<uint8_t> v(54 + size_t(row) * h, 0);
  v[0] = 'B', v[1] = 'M';
  Put32(v, 2, uint32_t(v.size()));
  Put32(v, 10, 54);
  Put32(v, 14, 40);
  Put32(v, 18, uint32_t(w));
  Put32(v, 22, uint32_t(topDown ? -h : h));
  Put16(v, 26, 1);
  Put16(v, 28, uint32_t(bpp));
  for (int y = 0; y < h; ++y) {
    int fileRow = topDown ? y : h - 1 - y;
    size_t at = 54 + size_t(fileRow) * row;
    for (int x = 0; x < w; ++x) {
      uint32_t c = rgb(x, y);
      uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
      if (bpp == 16) {
        Put16(v, at + x * 2, (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
      } else {
        size_t p = at + x * (bpp / 8);
        v[p] = uint8_t(b), v[p + 1] = uint8_t(g), v[p + 2] = uint8_t(r);
      }
    }
  }
  return v;
}

// A palette BMP of 1, 4 or 8 bits; `index` gives each pixel's palette entry.
inline std::vector<uint8_t> MakeIndexedBmp(int w, int h, int bpp, const std::vector<uint32_t>& palette,
                                           const std::function<int(int, int)>& index) {
  int row = ((w * bpp + 31) / 32) * 4;
  size_t off = 54 + palette.size() * 4;
  std::vector<uint8_t> v(off + size_t(row) * h, 0);
  v[0] = 'B', v[1] = 'M';
  Put32(v, 2, uint32_t(v.size()));
  Put32(v, 10, uint32_t(off));
  Put32(v, 14, 40);
  Put32(v, 18, uint32_t(w));
  Put32(v, 22, uint32_t(h));
  Put16(v, 26, 1);
  Put16(v, 28, uint32_t(bpp));
  Put32(v, 46, uint32_t(palette.size()));
  for (size_t i = 0; i < palette.size(); ++i) Put32(v, 54 + i * 4, palette[i]);
  for (int y = 0; y < h; ++y) {
    size_t at = off + size_t(h - 1 - y) * row;
    for (int x = 0; x < w; ++x) {
      int bit = x * bpp;
      v[at + bit / 8] |= uint8_t(index(x, y) << (8 - bpp - bit % 8));
    }
  }
  return v;
}

// 0xRRGGBB to the host's 0x00BBGGRR.
constexpr int Ref(uint32_t rgb) {
  return int(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

// Headless library with a scratch program folder; the display is released afterwards.
class DrawTest : public testing_support::HeadlessTest {
 protected:
  std::string folder;

  void SetUp() override {
    HeadlessTest::SetUp();
    tuSystem::sys.fullScreen = 0;
    tu::platform::SetDesktopDepth(16);
    char tmpl[] = "/tmp/quorbistane_draw_XXXXXX";
    folder = std::string(mkdtemp(tmpl)) + "/";
    std::filesystem::create_directories(folder + "BMP");
    tu::platform::SetExeFolderOverride(folder);
  }
  void TearDown() override {
    tuDraw::Release();
    tu::platform::FailSurfaceCreationAfter(-1);
    tu::platform::ClearResources();
    tu::platform::SetExeFolderOverride("");
    tu::platform::SetDesktopDepth(16);
    std::filesystem::remove_all(folder);
  }

  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen((folder + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }

  size_t Boxes() const { return tu::platform::RecordedBoxes().size(); }
  std::string LastBox() const {
    return tu::platform::RecordedBoxes().empty() ? "" : tu::platform::RecordedBoxes().back().text;
  }

  uint32_t Back(int x, int y) const { return tu::platform::ReadPixel(tuDraw::draw.backSurface, x, y); }
  uint32_t Pixel(int id, int x, int y) const {
    return tu::platform::ReadPixel(tuDraw::draw.sprites[id].surface, x, y);
  }
  // Fills the whole back buffer with one pixel value.
  void FillBack(uint32_t v) {
    tu::platform::Fill(tuDraw::draw.backSurface, {0, 0, tuDraw::draw.screenWidth, tuDraw::draw.screenHeight}, v);
  }
};

}  // namespace draw_support
