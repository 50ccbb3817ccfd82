#include "draw_support.h"
#include "platform/bmp.h"
#include "platform/seams.h"

using namespace draw_support;
using tu::platform::CopyResult;
using tu::platform::PixelFormat;

namespace {

class Surfaces : public DrawTest {
 public:
  tu::platform::Surface* Make(int w, int h, PixelFormat f) {
    tu::platform::Surface* s = tu::platform::CreateSurface(w, h, f, true);
    made.push_back(s);
    return s;
  }
  void TearDown() override {
    for (auto* s : made) tu::platform::FreeSurface(s);
    DrawTest::TearDown();
  }
  std::vector<tu::platform::Surface*> made;
};

// A 4 x 2 source: row 0 = key, 1, 2, 3; row 1 = 4, key, 6, 7 (key = 0).
tu::platform::Surface* Pattern(Surfaces* t, PixelFormat f) {
  tu::platform::Surface* s = t->Make(4, 2, f);
  uint32_t v[8] = {0, 1, 2, 3, 4, 0, 6, 7};
  for (int i = 0; i < 8; ++i) tu::platform::WritePixel(s, i % 4, i / 4, v[i] * 0x0101);
  tu::platform::SetColorKey(s, 0);
  return s;
}

TEST_F(Surfaces, KeyedAndOpaqueCopiesPixelByPixelIn16And32Bits) {
  for (PixelFormat f : {PixelFormat::Rgb565, PixelFormat::Xrgb8888}) {
    SCOPED_TRACE(int(f));
    tu::platform::Surface* src = Pattern(this, f);
    tu::platform::Surface* dst = Make(6, 4, f);
    tu::platform::Fill(dst, {0, 0, 6, 4}, 0x0909);
    ASSERT_EQ(tu::platform::Copy(dst, 1, 1, src, {0, 0, 4, 2}, true), CopyResult::Ok);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 1, 1), 0x0909u);  // keyed: background shows
    EXPECT_EQ(tu::platform::ReadPixel(dst, 2, 1), 0x0101u);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 4, 1), 0x0303u);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 2, 2), 0x0909u);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 4, 2), 0x0707u);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 0, 0), 0x0909u);  // untouched outside
    EXPECT_EQ(tu::platform::ReadPixel(dst, 5, 3), 0x0909u);
    ASSERT_EQ(tu::platform::Copy(dst, 1, 1, src, {0, 0, 4, 2}, false), CopyResult::Ok);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 1, 1), 0u);  // opaque: the key colour is copied
    EXPECT_EQ(tu::platform::ReadPixel(dst, 2, 2), 0u);
    EXPECT_EQ(tu::platform::ReadPixel(dst, 3, 2), 0x0606u);
  }
}

TEST_F(Surfaces, CopiesReachingOutsideEitherSurfaceOrEmptyAreRefusedWhole) {
  tu::platform::Surface* src = Pattern(this, PixelFormat::Rgb565);
  tu::platform::Surface* dst = Make(4, 4, PixelFormat::Rgb565);
  tu::platform::Fill(dst, {0, 0, 4, 4}, 0x1234);
  EXPECT_EQ(tu::platform::Copy(dst, 1, 0, src, {0, 0, 4, 2}, false), CopyResult::Invalid);  // right
  EXPECT_EQ(tu::platform::Copy(dst, -1, 0, src, {0, 0, 2, 2}, false), CopyResult::Invalid);
  EXPECT_EQ(tu::platform::Copy(dst, 0, 3, src, {0, 0, 2, 2}, false), CopyResult::Invalid);  // bottom
  EXPECT_EQ(tu::platform::Copy(dst, 0, 0, src, {2, 0, 5, 2}, false), CopyResult::Invalid);  // source
  EXPECT_EQ(tu::platform::Copy(dst, 0, 0, src, {0, -1, 2, 1}, true), CopyResult::Invalid);
  EXPECT_EQ(tu::platform::Copy(dst, 0, 0, src, {1, 0, 1, 2}, false), CopyResult::Invalid);  // empty
  EXPECT_EQ(tu::platform::Copy(dst, 0, 0, nullptr, {0, 0, 1, 1}, false), CopyResult::Invalid);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(tu::platform::ReadPixel(dst, x, y), 0x1234u);
  EXPECT_EQ(tu::platform::Fill(dst, {2, 2, 5, 4}, 0), CopyResult::Invalid);
  EXPECT_EQ(tu::platform::StretchCopy(dst, {0, 0, 5, 4}, src, {0, 0, 4, 2}, false), CopyResult::Invalid);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 3, 3), 0x1234u);
}

TEST_F(Surfaces, OverlappingCopyWithinOneSurfaceKeepsTheSource) {
  tu::platform::Surface* s = Make(5, 5, PixelFormat::Rgb565);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) tu::platform::WritePixel(s, x, y, uint32_t(y * 10 + x + 1));
  ASSERT_EQ(tu::platform::Copy(s, 1, 1, s, {0, 0, 4, 4}, false), CopyResult::Ok);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(tu::platform::ReadPixel(s, x + 1, y + 1), uint32_t(y * 10 + x + 1));
}

TEST_F(Surfaces, KeyedSourceRewrittenAfterACopyCopiesItsNewPixels) {
  // Keyed sources are run-length encoded for copying; writes must reach the next copy.
  tu::platform::Surface* src = Pattern(this, PixelFormat::Rgb565);
  tu::platform::Surface* dst = Make(4, 2, PixelFormat::Rgb565);
  ASSERT_EQ(tu::platform::Copy(dst, 0, 0, src, {0, 0, 4, 2}, true), CopyResult::Ok);
  EXPECT_EQ(tu::platform::ReadPixel(src, 1, 0), 0x0101u);
  tu::platform::WritePixel(src, 1, 0, 0);
  tu::platform::WritePixel(src, 0, 0, 0x5555);
  tu::platform::Fill(dst, {0, 0, 4, 2}, 0x2222);
  ASSERT_EQ(tu::platform::Copy(dst, 0, 0, src, {0, 0, 4, 2}, true), CopyResult::Ok);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 0, 0), 0x5555u);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 1, 0), 0x2222u);
  tu::platform::Fill(src, {0, 0, 4, 2}, 0x0707);
  ASSERT_EQ(tu::platform::Copy(dst, 0, 0, src, {0, 0, 4, 2}, true), CopyResult::Ok);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 1, 1), 0x0707u);
}

// Copies of random rectangles of a sheet, keyed and opaque, and fills of random rectangles
// match a pixel-by-pixel reference in 16 and 32 bits: on a sheet of key runs and pixel runs of
// every length (the keyed copy's run index, entered at any column), after the key changes,
// after the sheet was rewritten (keyed copies pixel by pixel), and on a sheet without a key
// pixel; whole rows of surfaces of one width are copied and filled as one block.
TEST_F(Surfaces, CopiesAndFillsOfAnyPartMatchAPixelByPixelReference) {
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  for (PixelFormat f : {PixelFormat::Rgb565, PixelFormat::Xrgb8888}) {
    const int W = 150, H = 24;
    const uint32_t fill = f == PixelFormat::Rgb565 ? 0x0F0Fu : 0x0F0F0F0Fu;
    tu::platform::Surface* dst = Make(W, H, f);
    for (bool solid : {false, true}) {
      SCOPED_TRACE(testing::Message() << "format " << int(f) << (solid ? " solid" : " runs"));
      tu::platform::Surface* sheet = Make(W, H, f);
      // Rows of alternating runs of 1 to 80 pixels: values 1..3, or 0..3 between the runs.
      for (int y = 0; y < H; ++y)
        for (int x = 0, run = 0; x < W; ++run) {
          for (int n = 1 + next() % 80; n > 0 && x < W; --n, ++x)
            tu::platform::WritePixel(sheet, x, y, solid || run % 2 ? 1 + next() % 3 : next() % 4);
        }
      auto check = [&](uint32_t key, bool keyed) {
        int l = next() % W, t = next() % H;
        int r = l + 1 + next() % (W - l), b = t + 1 + next() % (H - t);
        int x = next() % (W - (r - l) + 1), y = next() % (H - (b - t) + 1);
        if (next() % 8 == 0) l = x = 0, r = W;  // whole rows
        tu::platform::Fill(dst, {0, 0, W, H}, fill);
        ASSERT_EQ(tu::platform::Copy(dst, x, y, sheet, {l, t, r, b}, keyed), CopyResult::Ok);
        for (int j = 0; j < H; ++j)
          for (int i = 0; i < W; ++i) {
            bool in = i >= x && i < x + r - l && j >= y && j < y + b - t;
            uint32_t v = in ? tu::platform::ReadPixel(sheet, i - x + l, j - y + t) : key;
            uint32_t want = in && (!keyed || v != key) ? v : fill;
            ASSERT_EQ(tu::platform::ReadPixel(dst, i, j), want)
                << "key " << key << (keyed ? " keyed" : " opaque") << " at " << i << "," << j
                << " of " << l << "," << t << "," << r << "," << b << " to " << x << "," << y;
          }
      };
      // Keys 0 and 2 on the picture as written; 1 and 3 after a rewrite.
      for (uint32_t key : {0u, 2u, 1u, 3u}) {
        if (key == 1) tu::platform::WritePixel(sheet, 0, 0, tu::platform::ReadPixel(sheet, 0, 0));
        tu::platform::SetColorKey(sheet, key);
        for (int round = 0; round < 150; ++round) {
          check(key, true);
          check(key, false);
        }
        EXPECT_EQ(tu::platform::HasRunIndex(sheet), key == 0 || key == 2);
      }
    }
    for (int round = 0; round < 300; ++round) {
      int l = next() % W, t = next() % H;
      int r = l + 1 + next() % (W - l), b = t + 1 + next() % (H - t);
      if (round % 4 == 0) l = 0, r = W;
      const uint32_t values[] = {0u, 0xFFFFFFFFu, 0x1234u, 0x12341234u, 0xABABu};
      uint32_t v = values[next() % 5], want = f == PixelFormat::Rgb565 ? v & 0xFFFF : v;
      tu::platform::Fill(dst, {0, 0, W, H}, fill);
      ASSERT_EQ(tu::platform::Fill(dst, {l, t, r, b}, v), CopyResult::Ok);
      for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i)
          ASSERT_EQ(tu::platform::ReadPixel(dst, i, j), i >= l && i < r && j >= t && j < b ? want : fill)
              << "fill " << v << " at " << i << "," << j;
    }
  }
}

TEST_F(Surfaces, StretchCopyTakesTheNearestPixelAndHonoursTheKey) {
  tu::platform::Surface* src = Pattern(this, PixelFormat::Rgb565);
  tu::platform::Surface* dst = Make(8, 4, PixelFormat::Rgb565);
  tu::platform::Fill(dst, {0, 0, 8, 4}, 0x0909);
  ASSERT_EQ(tu::platform::StretchCopy(dst, {0, 0, 8, 4}, src, {0, 0, 4, 2}, true), CopyResult::Ok);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 0, 0), 0x0909u);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 3, 1), 0x0101u);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 7, 3), 0x0707u);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 2, 3), 0x0909u);
  ASSERT_EQ(tu::platform::StretchCopy(dst, {0, 0, 2, 1}, src, {0, 0, 4, 2}, false), CopyResult::Ok);
  EXPECT_EQ(tu::platform::ReadPixel(dst, 1, 0), 0x0202u);
}

TEST_F(Surfaces, ColourMatchingTruncatesChannelsAndMinusOneReadsTheCorner) {
  tu::platform::Surface* s16 = Make(2, 2, PixelFormat::Rgb565);
  tu::platform::Surface* s15 = Make(2, 2, PixelFormat::Rgb555);
  tu::platform::Surface* s32 = Make(2, 2, PixelFormat::Xrgb8888);
  EXPECT_EQ(tu::platform::MatchColor(s16, Ref(0xFFFFFF)), 0xFFFFu);
  EXPECT_EQ(tu::platform::MatchColor(s16, Ref(0x0F0703)), 0x0820u);  // 15>>3, 7>>2, 3>>3
  EXPECT_EQ(tu::platform::MatchColor(s15, Ref(0xFFFFFF)), 0x7FFFu);
  EXPECT_EQ(tu::platform::MatchColor(s32, Ref(0x123456)), 0x123456u);
  tu::platform::WritePixel(s16, 0, 0, 0xBEEF);
  tu::platform::WritePixel(s32, 0, 0, 0xABCDEF);
  EXPECT_EQ(tu::platform::MatchColor(s16, -1), 0xBEEFu);
  EXPECT_EQ(tu::platform::MatchColor(s32, -1), 0xABCDEFu);
  tu::platform::MarkSurfaceLost(s16);
  EXPECT_EQ(tu::platform::MatchColor(s16, 0), 0xFFFFFFFFu);
}

TEST_F(Surfaces, LossRefusesUseUntilRestoredAndRestoreBlackens) {
  tu::platform::Surface* a = Make(2, 2, PixelFormat::Rgb565);
  tu::platform::Surface* b = Make(2, 2, PixelFormat::Rgb565);
  tu::platform::Fill(a, {0, 0, 2, 2}, 0x1111);
  tu::platform::MarkAllSurfacesLost();
  EXPECT_TRUE(tu::platform::IsLost(a));
  EXPECT_TRUE(tu::platform::IsLost(b));
  EXPECT_EQ(tu::platform::Copy(b, 0, 0, a, {0, 0, 1, 1}, false), CopyResult::Lost);
  EXPECT_EQ(tu::platform::Fill(b, {0, 0, 1, 1}, 1), CopyResult::Lost);
  EXPECT_EQ(tu::platform::Lock(a, nullptr), nullptr);
  tu::platform::RestoreSurface(a);
  EXPECT_FALSE(tu::platform::IsLost(a));
  EXPECT_EQ(tu::platform::ReadPixel(a, 1, 1), 0u);
  EXPECT_EQ(tu::platform::Copy(b, 0, 0, a, {0, 0, 1, 1}, false), CopyResult::Lost);  // b still lost
}

TEST_F(Surfaces, SizesOfZeroNegativeOrTooLargeAreRefused) {
  EXPECT_EQ(tu::platform::CreateSurface(0, 10), nullptr);
  EXPECT_EQ(tu::platform::CreateSurface(10, -1), nullptr);
  EXPECT_EQ(tu::platform::CreateSurface(40000, 2), nullptr);
  EXPECT_EQ(tu::platform::CreateSurface(30000, 30000), nullptr);
}

// Every depth and row order decodes to the same pixels.
TEST_F(Surfaces, BmpOfEveryDepthAndRowOrderDecodes) {
  auto colour = [](int x, int y) -> uint32_t { return x == 0 ? 0xF80000 : (y == 0 ? 0x00FC00 : 0x0000F8); };
  std::vector<std::vector<uint8_t>> files = {
      MakeBmp(3, 2, 16, colour), MakeBmp(3, 2, 24, colour), MakeBmp(3, 2, 32, colour),
      MakeBmp(3, 2, 24, colour, true), MakeBmp(3, 2, 32, colour, true),
      MakeIndexedBmp(3, 2, 8, {0xF80000, 0x00FC00, 0x0000F8}, [](int x, int y) { return x == 0 ? 0 : (y == 0 ? 1 : 2); }),
      MakeIndexedBmp(3, 2, 4, {0xF80000, 0x00FC00, 0x0000F8}, [](int x, int y) { return x == 0 ? 0 : (y == 0 ? 1 : 2); }),
  };
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    tu::platform::Surface* s = tu::platform::DecodeBmp(files[i].data(), files[i].size(), PixelFormat::Rgb565, true);
    ASSERT_NE(s, nullptr);
    made.push_back(s);
    EXPECT_EQ(tu::platform::SurfaceWidth(s), 3);
    EXPECT_EQ(tu::platform::SurfaceHeight(s), 2);
    EXPECT_EQ(tu::platform::ReadPixel(s, 0, 1), 0xF800u);
    EXPECT_EQ(tu::platform::ReadPixel(s, 1, 0), 0x07E0u);  // 5-bit channels widen to full
    EXPECT_EQ(tu::platform::ReadPixel(s, 2, 1), 0x001Fu);
  }
  auto mono = MakeIndexedBmp(9, 1, 1, {0x000000, 0xFFFFFF}, [](int x, int) { return x & 1; });
  tu::platform::Surface* m = tu::platform::DecodeBmp(mono.data(), mono.size(), PixelFormat::Xrgb8888, true);
  ASSERT_NE(m, nullptr);
  made.push_back(m);
  EXPECT_EQ(tu::platform::ReadPixel(m, 0, 0), 0u);
  EXPECT_EQ(tu::platform::ReadPixel(m, 8, 0), 0u);
  EXPECT_EQ(tu::platform::ReadPixel(m, 7, 0), 0xFFFFFFu);
}

TEST_F(Surfaces, MalformedBmpIsRefusedWithoutReadingPastTheData) {
  auto good = MakeBmp(5, 3, 24, [](int x, int y) { return uint32_t(x * 40 + y); });
  // Every truncation, header or pixels, fails cleanly.
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + n);  // exact size, so ASan sees over-reads
    EXPECT_EQ(tu::platform::DecodeBmp(cut.data(), cut.size(), PixelFormat::Rgb565, true), nullptr) << n;
  }
  auto patched = [&](size_t at, uint32_t value, bool wide = true) {
    auto v = good;
    if (wide) Put32(v, at, value); else Put16(v, at, value);
    return tu::platform::DecodeBmp(v.data(), v.size(), PixelFormat::Rgb565, true);
  };
  EXPECT_EQ(patched(18, 0), nullptr);            // zero width
  EXPECT_EQ(patched(18, uint32_t(-5)), nullptr); // negative width
  EXPECT_EQ(patched(22, 0), nullptr);            // zero height
  EXPECT_EQ(patched(18, 100000), nullptr);       // absurd width
  EXPECT_EQ(patched(22, 0x7FFFFFFF), nullptr);   // absurd height
  EXPECT_EQ(patched(30, 4), nullptr);            // embedded JPEG: unknown to us
  EXPECT_EQ(patched(30, 99), nullptr);           // unknown compression
  EXPECT_EQ(patched(28, 7, false), nullptr);     // odd depth
  EXPECT_EQ(patched(10, 0x7FFFFFF0), nullptr);   // pixel data beyond the end
  EXPECT_EQ(patched(14, 41), nullptr);           // unknown header size
  EXPECT_EQ(patched(0, 0x4D42 + 1, false), nullptr);  // signature
  auto pal = MakeIndexedBmp(2, 2, 8, {0, 0xFFFFFF}, [](int, int) { return 1; });
  Put32(pal, 46, 300);  // more colours than 8 bits hold
  EXPECT_EQ(tu::platform::DecodeBmp(pal.data(), pal.size(), PixelFormat::Rgb565, true), nullptr);
  pal.insert(pal.begin() + 54 + 8, 298 * 4, 0);  // even with all of them in the file
  Put32(pal, 10, 54 + 300 * 4);
  Put32(pal, 2, uint32_t(pal.size()));
  EXPECT_EQ(tu::platform::DecodeBmp(pal.data(), pal.size(), PixelFormat::Rgb565, true), nullptr);
}

// 3 x 2, 8-bit run-length: bottom row blue x3, top row red then green x2.
std::vector<uint8_t> Rle8() {
  auto v = MakeIndexedBmp(3, 2, 8, {0xF80000, 0x00FC00, 0x0000F8}, [](int, int) { return 0; });
  std::vector<uint8_t> data = {3, 2, 0, 0, 1, 0, 2, 1, 0, 0, 0, 1};
  v.resize(54 + 12);
  v.insert(v.end(), data.begin(), data.end());
  Put32(v, 2, uint32_t(v.size()));
  Put32(v, 30, 1);
  Put32(v, 34, uint32_t(data.size()));
  return v;
}

TEST_F(Surfaces, RunLengthBmpDecodesAndMutatedFilesNeverCrash) {
  auto rle = Rle8();
  tu::platform::Surface* s = tu::platform::DecodeBmp(rle.data(), rle.size(), PixelFormat::Rgb565, true);
  ASSERT_NE(s, nullptr);
  made.push_back(s);
  EXPECT_EQ(tu::platform::ReadPixel(s, 0, 0), 0xF800u);
  EXPECT_EQ(tu::platform::ReadPixel(s, 2, 0), 0x07E0u);
  EXPECT_EQ(tu::platform::ReadPixel(s, 1, 1), 0x001Fu);
  // Random byte changes in headers, tables and data: a surface or null, never a fault.
  std::vector<std::vector<uint8_t>> seeds = {
      rle, MakeBmp(5, 3, 24, [](int x, int y) { return uint32_t(x * 50 + y); }),
      MakeIndexedBmp(6, 2, 4, {0, 0xFFFFFF, 0x808080}, [](int x, int) { return x % 3; }),
      MakeBmp(4, 2, 16, [](int x, int) { return uint32_t(x) << 20; }, true)};
  srand(7);
  for (int round = 0; round < 3000; ++round) {
    auto v = seeds[round % seeds.size()];
    int changes = rand() % 4 + 1;
    for (int c = 0; c < changes; ++c) v[rand() % v.size()] = uint8_t(rand());
    if (round % 7 == 0) v.resize(rand() % v.size());
    tu::platform::Surface* m = tu::platform::DecodeBmp(v.data(), v.size(), PixelFormat::Rgb565, true);
    if (m) {
      EXPECT_GT(tu::platform::SurfaceWidth(m), 0);
      tu::platform::FreeSurface(m);
    }
  }
}

TEST_F(Surfaces, ResourceBitmapWithoutFileHeaderDecodes) {
  auto file = MakeBmp(2, 2, 24, [](int x, int) { return x ? 0xFFFFFFu : 0u; });
  std::vector<uint8_t> res(file.begin() + 14, file.end());
  tu::platform::Surface* s = tu::platform::DecodeBmpResource(res.data(), res.size(), PixelFormat::Rgb565, true);
  ASSERT_NE(s, nullptr);
  made.push_back(s);
  EXPECT_EQ(tu::platform::ReadPixel(s, 1, 1), 0xFFFFu);
  EXPECT_EQ(tu::platform::DecodeBmpResource(res.data(), 20, PixelFormat::Rgb565, true), nullptr);
}

}  // namespace

// The window's 32-bit pixels must show the colours the rest of the library reports for a pixel
// value (within the rounding of widening by repeated bits), in both byte orders, for every
// 16-bit value; black and white stay exact.
TEST(PixelRows, WideningToThirtyTwoBitsKeepsTheColourOfEveryPixelValue) {
  auto near = [](uint32_t got, uint32_t r, uint32_t g, uint32_t b, bool blueHigh) {
    uint32_t want[3] = {blueHigh ? b : r, g, blueHigh ? r : b};
    uint32_t have[3] = {(got >> 16) & 0xFF, (got >> 8) & 0xFF, got & 0xFF};
    for (int i = 0; i < 3; ++i)
      if (have[i] + 1 < want[i] || have[i] > want[i] + 1) return false;
    return (got >> 24) == 0xFF;
  };
  for (PixelFormat f : {PixelFormat::Rgb565, PixelFormat::Rgb555}) {
    std::vector<uint16_t> src(65536);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint16_t>(i);
    std::vector<uint32_t> rgb(src.size()), bgr(src.size());
    tu::platform::RowToRgb32(f, src.data(), rgb.data(), 65536, false);
    tu::platform::RowToRgb32(f, src.data(), bgr.data(), 65536, true);
    uint32_t pixelMask = f == PixelFormat::Rgb565 ? 0xFFFF : 0x7FFF;
    for (uint32_t v = 0; v < 65536; ++v) {
      uint32_t c = tu::platform::PixelToColorref(f, v & pixelMask);  // 0x00BBGGRR
      uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
      ASSERT_TRUE(near(rgb[v], r, g, b, false)) << "pixel " << v << " gave " << std::hex << rgb[v];
      ASSERT_TRUE(near(bgr[v], r, g, b, true)) << "pixel " << v << " gave " << std::hex << bgr[v];
    }
    EXPECT_EQ(rgb[0], 0xFF000000u);
    EXPECT_EQ(rgb[pixelMask], 0xFFFFFFFFu);
  }
  const uint32_t wide[3] = {0x00123456, 0xFFABCDEF, 0x00000000};
  uint32_t out[3];
  tu::platform::RowToRgb32(PixelFormat::Xrgb8888, wide, out, 3, false);
  EXPECT_EQ(out[0], 0xFF123456u);
  EXPECT_EQ(out[1], 0xFFABCDEFu);
  tu::platform::RowToRgb32(PixelFormat::Xrgb8888, wide, out, 3, true);
  EXPECT_EQ(out[0], 0xFF563412u);
  EXPECT_EQ(out[2], 0xFF000000u);
}
