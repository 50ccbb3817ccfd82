// The review pictures the generator writes beside the build: valid PNG files (checked chunk by
// chunk, with their checksums) of the sizes they claim.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assets_support.h"

namespace {

uint32_t Be32(const std::vector<uint8_t>& v, size_t at) {
  return uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 | uint32_t(v[at + 2]) << 8 | v[at + 3];
}

uint32_t BitwiseCrc(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

// Checks the file and returns its width and height (0 x 0 when anything is wrong), and its
// scanlines (each led by its filter byte) when asked. Colour type 2 is RGB, 6 is RGBA.
void CheckPng(const std::string& path, int& w, int& h, int colourType = 2, std::vector<uint8_t>* rows = nullptr) {
  const size_t channels = colourType == 6 ? 4 : 3;
  w = h = 0;
  std::vector<uint8_t> v;
  ASSERT_TRUE(asset_files::ReadAll(path, v)) << path;
  const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_GE(v.size(), 8u);
  ASSERT_TRUE(std::equal(sig, sig + 8, v.begin())) << path;
  std::vector<uint8_t> z;
  bool end = false;
  int width = 0, height = 0;
  for (size_t at = 8; at + 12 <= v.size() && !end;) {
    uint32_t len = Be32(v, at);
    ASSERT_LE(at + 12 + len, v.size()) << path;
    std::string type(v.begin() + long(at) + 4, v.begin() + long(at) + 8);
    ASSERT_EQ(BitwiseCrc(&v[at + 4], len + 4), Be32(v, at + 8 + len)) << path << " chunk " << type;
    const uint8_t* body = &v[at + 8];
    if (type == "IHDR") {
      width = int(Be32(v, at + 8)), height = int(Be32(v, at + 12));
      EXPECT_EQ(body[8], 8);  // bits per channel
      EXPECT_EQ(body[9], colourType);
    } else if (type == "IDAT") {
      z.insert(z.end(), body, body + len);
    } else if (type == "IEND") {
      end = true;
    }
    at += 12 + len;
  }
  ASSERT_TRUE(end) << path;
  // zlib stream of stored blocks: inflate it by hand.
  ASSERT_GE(z.size(), 6u);
  EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);
  std::vector<uint8_t> raw;
  size_t at = 2;
  for (bool last = false; !last;) {
    ASSERT_LE(at + 5, z.size());
    last = z[at] & 1;
    ASSERT_EQ((z[at] >> 1) & 3, 0) << "not a stored block";
    uint16_t len = uint16_t(z[at + 1] | z[at + 2] << 8), nlen = uint16_t(z[at + 3] | z[at + 4] << 8);
    ASSERT_EQ(uint16_t(~len), nlen);
    ASSERT_LE(at + 5 + len, z.size());
    raw.insert(raw.end(), z.begin() + long(at) + 5, z.begin() + long(at) + 5 + len);
    at += 5 + len;
  }
  ASSERT_EQ(at + 4, z.size());
  uint32_t a = 1, b = 0;
  for (uint8_t x : raw) a = (a + x) % 65521, b = (b + a) % 65521;
  EXPECT_EQ((b << 16 | a), Be32(z, at));
  ASSERT_EQ(raw.size(), size_t(height) * (size_t(width) * channels + 1)) << path;
  for (int y = 0; y < height; ++y) ASSERT_LE(raw[size_t(y) * (size_t(width) * channels + 1)], 4) << "filter of row " << y;
  w = width, h = height;
  if (rows) *rows = std::move(raw);
}

TEST(ReviewPictures, ContactSheetAndWaveformsAreValidPngs) {
  const std::string dir = QUORBISTANE_ASSET_REVIEW_DIR;
  int w, h;
  CheckPng(dir + "/contact-sheet.png", w, h);
  // Big enough for the tiles enlarged four times and the whole-screen pictures beside them.
  EXPECT_GE(w, 320 * 4 + 640);
  EXPECT_GE(h, 480 * 4);
  for (const char* s : {"eBGM", "nBGM", "hBGM", "bBGM", "vsBGM", "RANK", "RANK2", "sliset", "set", "erase",
                        "BUTTON", "BUTTONK"}) {
    CheckPng(dir + "/sounds/" + s + ".png", w, h);
    EXPECT_GT(w, 0) << s;
    EXPECT_GT(h, 0) << s;
  }
}

// The desktop icons: square RGBA pictures of the theme's sizes, the piece opaque in the middle
// of its upper block and the corners clear, so the desktop's background shows around it.
TEST(ReviewPictures, IconsHaveTheThemeSizesAndATransparentGround) {
  for (int size : {48, 64, 128, 256}) {
    const std::string s = std::to_string(size);
    const std::string path = std::string(QUORBISTANE_ICON_DIR) + "/hicolor/" + s + "x" + s + "/apps/quorbistane.png";
    int w, h;
    std::vector<uint8_t> rows;
    CheckPng(path, w, h, 6, &rows);
    ASSERT_EQ(w, size) << path;
    ASSERT_EQ(h, size) << path;
    auto alpha = [&](int x, int y) { return rows[size_t(y) * (size_t(w) * 4 + 1) + 1 + size_t(x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0) << path;
    EXPECT_EQ(alpha(w - 1, h - 1), 0) << path;
    EXPECT_EQ(alpha(w / 2, h * 3 / 8), 255) << path;
  }
}

}  // namespace
