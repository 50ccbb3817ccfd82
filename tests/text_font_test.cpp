// Faces, font resolution and text through the device context, with the installed fonts.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "raster/dc.h"
#include "platform/font.h"
#include "platform/seams.h"

namespace {

using tu::raster::DcRect;
using tu::raster::DeviceContext;
using tu::platform::FontRequest;
using tu::raster::PixelTarget;

std::string RealName(const char* path) {
  char buf[PATH_MAX];
  return realpath(path, buf) ? std::string(buf) : std::string(path);
}

FontRequest Request(const char* face, int height) {
  FontRequest r;
  strncpy(r.face, face, sizeof r.face - 1);
  r.height = height;
  return r;
}

struct Canvas {
  std::vector<uint16_t> data;
  PixelTarget target;
  DeviceContext dc;
  Canvas(int w, int h) : data(static_cast<size_t>(w) * h) {
    target.pixels = data.data();
    target.width = w;
    target.height = h;
    target.pitch = w * 2;
    dc.Attach(target);
  }
  // Bounding box of pixels of the exact colour; false when none.
  bool Bounds(uint32_t color, DcRect* r) const {
    bool any = false;
    uint32_t pixel = tu::raster::ColorToPixel(target, color);
    *r = {1 << 30, 1 << 30, -1, -1};
    for (int y = 0; y < target.height; ++y)
      for (int x = 0; x < target.width; ++x)
        if (tu::raster::ReadTargetPixel(target, x, y) == pixel) {
          any = true;
          r->left = std::min(r->left, x);
          r->top = std::min(r->top, y);
          r->right = std::max(r->right, x + 1);
          r->bottom = std::max(r->bottom, y + 1);
        }
    return any;
  }
};

TEST(Fonts, FaceListIsSortedReportsJapaneseCoverageAndStopsOnRequest) {
  std::vector<tu::platform::FaceInfo> faces;
  int calls = tu::platform::ListFaces(
      [](const tu::platform::FaceInfo& f, void* user) {
        static_cast<std::vector<tu::platform::FaceInfo>*>(user)->push_back(f);
        return true;
      },
      &faces);
  ASSERT_GT(calls, 0);
  EXPECT_EQ(calls, static_cast<int>(faces.size()));
  bool gothic = false;
  for (size_t i = 0; i < faces.size(); ++i) {
    EXPECT_LE(strlen(faces[i].family), 31u);
    if (i > 0) {
      EXPECT_LT(strcmp(faces[i - 1].family, faces[i].family), 0) << "sorted, unique";
    }
    if (strcmp(faces[i].family, "IPAGothic") == 0) {
      gothic = true;
      EXPECT_EQ(faces[i].charSet, tu::platform::kCharSetJapanese);
    }
    if (strcmp(faces[i].family, "DejaVu Sans") == 0) {
      EXPECT_EQ(faces[i].charSet, tu::platform::kCharSetAnsi);
    }
  }
  EXPECT_TRUE(gothic) << "the scripts install the Japanese faces";
  int stopAfter = 0;
  EXPECT_EQ(tu::platform::ListFaces(
                [](const tu::platform::FaceInfo&, void* user) { return ++*static_cast<int*>(user) < 2; },
                &stopAfter),
            2);
}

TEST(Fonts, StandardNamesResolveToMinchoAndGothicAndUnknownNamesFallBack) {
  char mincho[512], gothic[512], unknown[512], dejavu[512], empty[512];
  ASSERT_TRUE(tu::platform::ResolveFace("標準明朝", mincho, sizeof mincho));
  ASSERT_TRUE(tu::platform::ResolveFace("標準ゴシック", gothic, sizeof gothic));
  ASSERT_TRUE(tu::platform::ResolveFace("No Such Face 42", unknown, sizeof unknown));
  ASSERT_TRUE(tu::platform::ResolveFace("", empty, sizeof empty));
  ASSERT_TRUE(tu::platform::ResolveFace("DejaVu Sans", dejavu, sizeof dejavu));
  // The distribution's alternatives links point at the installed faces.
  EXPECT_NE(RealName(mincho).find("ipam"), std::string::npos) << mincho;
  EXPECT_NE(RealName(gothic).find("ipag"), std::string::npos) << gothic;
  EXPECT_STREQ(unknown, gothic);
  EXPECT_STREQ(empty, gothic);
  EXPECT_NE(std::string(dejavu).find("DejaVuSans"), std::string::npos) << dejavu;
}

TEST(Fonts, WithoutJapaneseFacesEveryNameFallsBackToAnInstalledFaceThatDraws) {
  const char* latinOnly = "/usr/share/fonts/truetype/dejavu";
  if (access(latinOnly, R_OK) != 0) GTEST_SKIP() << "no DejaVu faces here";
  tu::platform::RestrictFontsTo(latinOnly);
  char gothic[512] = {}, mincho[512] = {}, unknown[512] = {};
  bool found = tu::platform::ResolveFace("標準ゴシック", gothic, sizeof gothic) &&
               tu::platform::ResolveFace("標準明朝", mincho, sizeof mincho) &&
               tu::platform::ResolveFace("IPAGothic", unknown, sizeof unknown);
  tu::platform::Font* f = tu::platform::OpenFont(Request("標準ゴシック", 16));
  Canvas c(200, 40);
  c.dc.SelectFont(f);
  c.dc.SetTextColor(0xFFFFFF);
  c.dc.SetBkTransparent(true);
  bool drawn = c.dc.TextOut(0, 0, "テスト ABC");
  DcRect ink;
  bool inked = c.Bounds(0xFFFFFF, &ink);
  tu::platform::CloseFont(f);
  tu::platform::RestrictFontsTo(nullptr);
  ASSERT_TRUE(found);
  EXPECT_NE(std::string(gothic).find("dejavu"), std::string::npos) << gothic;
  EXPECT_NE(std::string(mincho).find("dejavu"), std::string::npos) << mincho;
  EXPECT_STREQ(unknown, gothic);
  EXPECT_TRUE(drawn);
  EXPECT_TRUE(inked);
  char back[512];
  ASSERT_TRUE(tu::platform::ResolveFace("標準ゴシック", back, sizeof back));
  EXPECT_NE(RealName(back).find("ipag"), std::string::npos) << "the system's faces are back";
}

TEST(Fonts, HeightIsTheCellHeightAndEqualRequestsShareOneFont) {
  for (const char* face : {"標準ゴシック", "DejaVu Sans"}) {
    tu::platform::Font* f = tu::platform::OpenFont(Request(face, 24));
    ASSERT_NE(f, nullptr) << face;
    EXPECT_LE(tu::platform::FontCellHeight(f), 24) << face;
    EXPECT_GE(tu::platform::FontCellHeight(f), 21) << face;
    tu::platform::Font* again = tu::platform::OpenFont(Request(face, 24));
    EXPECT_EQ(again, f);
    FontRequest bold = Request(face, 24);
    bold.weight = 700;
    tu::platform::Font* b = tu::platform::OpenFont(bold);
    EXPECT_NE(b, f);
    int wn = 0, wb = 0;
    tu::platform::MeasureText(f, "Wide", &wn, nullptr);
    tu::platform::MeasureText(b, "Wide", &wb, nullptr);
    EXPECT_GE(wb, wn);
    tu::platform::CloseFont(f);
    tu::platform::CloseFont(again);
    tu::platform::CloseFont(b);
  }
  // The character height form: the em square is the height.
  tu::platform::Font* em = tu::platform::OpenFont(Request("標準ゴシック", -20));
  ASSERT_NE(em, nullptr);
  EXPECT_GE(tu::platform::FontCellHeight(em), 20);
  tu::platform::CloseFont(em);
}

TEST(Fonts, RepeatedLinesAreKeptPerFontAndText) {
  tu::platform::Font* small = tu::platform::OpenFont(Request("標準ゴシック", 12));
  tu::platform::Font* large = tu::platform::OpenFont(Request("標準ゴシック", 24));
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  tu::platform::Coverage a, b, c, d;
  ASSERT_TRUE(tu::platform::RenderCoverage(small, "60.0 fps", &a));
  std::vector<uint8_t> first(a.pixels, a.pixels + a.width * a.height);
  ASSERT_TRUE(tu::platform::RenderCoverage(large, "60.0 fps", &b));
  EXPECT_GT(b.height, a.height);
  ASSERT_TRUE(tu::platform::RenderCoverage(small, "59.5 fps", &c));
  ASSERT_TRUE(tu::platform::RenderCoverage(small, "60.0 fps", &d));
  EXPECT_EQ(d.pixels, a.pixels) << "served from the kept line";
  EXPECT_EQ(std::vector<uint8_t>(d.pixels, d.pixels + d.width * d.height), first);
  // Every slot replaced by other lines: the line is rendered again, the same.
  for (int i = 0; i < 20; ++i) tu::platform::RenderCoverage(small, std::to_string(i).c_str(), &c);
  ASSERT_TRUE(tu::platform::RenderCoverage(small, "60.0 fps", &d));
  EXPECT_EQ(std::vector<uint8_t>(d.pixels, d.pixels + d.width * d.height), first);
  EXPECT_FALSE(tu::platform::RenderCoverage(small, "", &d));
  EXPECT_FALSE(tu::platform::RenderCoverage(nullptr, "x", &d));
  tu::platform::CloseFont(small);
  tu::platform::CloseFont(large);
}

TEST(DcText, OpaqueTextFillsItsCellAndTransparentTextKeepsTheBackground) {
  tu::platform::Font* f = tu::platform::OpenFont(Request("標準ゴシック", 16));
  ASSERT_NE(f, nullptr);
  Canvas c(200, 40);
  c.dc.SelectFont(f);
  c.dc.SetTextColor(0xFFFFFF);
  c.dc.SetBkColor(0x800000);
  c.dc.SetBkTransparent(false);
  int w = 0, h = 0;
  ASSERT_TRUE(c.dc.TextExtent("テスト 60.0 fps", &w, &h));
  EXPECT_GT(w, 60);
  EXPECT_EQ(h, tu::platform::FontCellHeight(f));
  ASSERT_TRUE(c.dc.TextOut(10, 5, "テスト 60.0 fps"));
  DcRect bk, fg;
  ASSERT_TRUE(c.Bounds(0x800000, &bk));
  EXPECT_EQ(bk.left, 10);
  EXPECT_EQ(bk.top, 5);
  EXPECT_LE(bk.right, 10 + w);
  EXPECT_EQ(bk.bottom, 5 + h);
  ASSERT_TRUE(c.Bounds(0xFFFFFF, &fg));
  EXPECT_GE(fg.left, 10);
  EXPECT_LE(fg.right, 10 + w);

  Canvas t(200, 40);
  t.dc.SelectFont(f);
  t.dc.SetTextColor(0x00FF00);
  t.dc.SetBkColor(0x800000);
  t.dc.SetBkTransparent(true);
  t.dc.TextOut(0, 0, "ABC");
  EXPECT_FALSE(t.Bounds(0x800000, &bk));
  EXPECT_TRUE(t.Bounds(0x00FF00, &fg));
  EXPECT_FALSE(t.dc.TextOut(0, 0, ""));
  tu::platform::CloseFont(f);
}

TEST(DcText, TurnedTextRunsUpwardsAtNinetyDegrees) {
  FontRequest r = Request("標準ゴシック", 16);
  r.escapement = 900;
  tu::platform::Font* f = tu::platform::OpenFont(r);
  ASSERT_NE(f, nullptr);
  Canvas c(60, 120);
  c.dc.SelectFont(f);
  c.dc.SetTextColor(0xFFFFFF);
  c.dc.SetBkTransparent(true);
  c.dc.TextOut(10, 100, "HHHH");
  DcRect fg;
  ASSERT_TRUE(c.Bounds(0xFFFFFF, &fg));
  EXPECT_GT(fg.bottom - fg.top, fg.right - fg.left) << "taller than wide";
  EXPECT_LE(fg.bottom, 101);
  EXPECT_GE(fg.left, 10);
  tu::platform::CloseFont(f);
}

TEST(DcText, FormattedTextBreaksWordsAlignsAndMeasures) {
  tu::platform::Font* f = tu::platform::OpenFont(Request("標準ゴシック", 12));
  ASSERT_NE(f, nullptr);
  int lh = tu::platform::FontCellHeight(f);
  int word = 0;
  tu::platform::MeasureText(f, "word", &word, nullptr);
  Canvas c(200, 100);
  c.dc.SelectFont(f);
  // Room for two words a line: three lines for five words.
  int width = word * 2 + word / 2;
  DcRect r{0, 0, width, 100};
  EXPECT_EQ(c.dc.DrawText("word word word word word", &r, tu::raster::kDtWordBreak |
                                                              tu::raster::kDtCalcRect),
            3 * lh);
  EXPECT_EQ(r.bottom, 3 * lh);
  EXPECT_LE(r.right, width);
  // Japanese text breaks between characters; a newline always breaks.
  DcRect j{0, 0, 40, 100};
  EXPECT_GE(c.dc.DrawText("あいうえおかきくけこ", &j, tu::raster::kDtWordBreak |
                                                              tu::raster::kDtCalcRect),
            2 * lh);
  DcRect n{0, 0, 200, 100};
  EXPECT_EQ(c.dc.DrawText("a\nb", &n, tu::raster::kDtCalcRect), 2 * lh);
  // Without word breaks one line widens the measured rectangle.
  DcRect one{0, 0, 10, 10};
  c.dc.DrawText("word word", &one, tu::raster::kDtCalcRect);
  EXPECT_GT(one.right, 10);
  // Right alignment puts the ink at the right edge; the rectangle clips.
  c.dc.SetTextColor(0xFFFFFF);
  c.dc.SetBkTransparent(true);
  DcRect box{20, 10, 180, 60};
  c.dc.DrawText("word", &box, tu::raster::kDtRight | tu::raster::kDtWordBreak);
  DcRect fg;
  ASSERT_TRUE(c.Bounds(0xFFFFFF, &fg));
  EXPECT_GT(fg.left, 180 - word - 2);
  EXPECT_LE(fg.right, 180);
  Canvas clip(100, 40);
  clip.dc.SelectFont(f);
  clip.dc.SetTextColor(0xFFFFFF);
  clip.dc.SetBkTransparent(true);
  DcRect small{0, 0, 12, 40};
  clip.dc.DrawText("WWWWWWWW", &small, 0);
  ASSERT_TRUE(clip.Bounds(0xFFFFFF, &fg));
  EXPECT_LE(fg.right, 12);
  tu::platform::CloseFont(f);
}

}  // namespace
