// Text scopes, the font description, formatted text and the text boxes on the back buffer.
#include <cstring>
#include <map>

#include "draw_support.h"
#include "platform/font.h"

using namespace draw_support;

namespace {

class TextTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(tuDraw::Screen(640, 480, 0), 1);
  }
  void TearDown() override {
    tuDraw::EndText();
    DrawTest::TearDown();
  }
  uint32_t Px(uint32_t colorref) { return tu::platform::MatchColor(tuDraw::draw.backSurface, colorref); }
  // Pixel values inside a rectangle of a surface, with their counts.
  std::map<uint32_t, int> Histogram(tu::platform::Surface* s, const tu::Rect& r) {
    std::map<uint32_t, int> h;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) ++h[tu::platform::ReadPixel(s, x, y)];
    return h;
  }
  int CountNonZero(tu::platform::Surface* s, const tu::Rect& r) {
    int n = 0;
    for (auto& [v, c] : Histogram(s, r)) n += v ? c : 0;
    return n;
  }
  tu::platform::Surface* FontSprite() { return tuDraw::draw.sprites[2].surface; }
  const tu::Rect& CharRect(int i) { return tuDraw::text.charRects[i]; }
  // Width of one full-width character at the current scope's height.
  int WideWidth() {
    tuDraw::TextBoxLayout(0, 0, 600, 400, "あ", 0);
    return CharRect(1).right - CharRect(1).left;
  }
};

TEST_F(TextTest, FontListHoldsInstalledFacesWithTheirKinds) {
  const tuDraw::TextState& t = tuDraw::text;
  ASSERT_GT(t.fontCount, 0);
  ASSERT_LE(t.fontCount, tuDraw::kMaxFonts);
  EXPECT_EQ(t.fontBlockAllocated, 1);
  EXPECT_EQ(t.textBoxDraws, 1);
  bool japanese = false;
  for (int i = 0; i < t.fontCount; ++i) {
    if (strcmp(t.fonts[i].faceName, "IPAGothic") == 0) {
      japanese = true;
      EXPECT_EQ(t.fonts[i].kind, 1);
      EXPECT_EQ(t.fonts[i].charSet, 128);
    }
  }
  EXPECT_TRUE(japanese);
  if (t.fontCount < tuDraw::kMaxFonts) {
    EXPECT_EQ(t.fonts[t.fontCount].kind, -1);
  }
  tuDraw::FreeFonts();
  EXPECT_EQ(t.fontBlockAllocated, 0);
}

TEST_F(TextTest, DisplayReleasedUnderAnOpenScopeIsNotTouchedAgain) {
  tuDraw::BeginText(1, 12, 0, 0, 0, 0);
  tuDraw::Release();
  tuDraw::Text(0, 0, "x");  // the scope's surface is gone: nothing is drawn
  ASSERT_EQ(tuDraw::Screen(640, 480, 0), 1);  // lists the fonts again, ending the stale scope
  EXPECT_EQ(tuDraw::text.scopeOpen, 0);
  tuDraw::PrintAt(0, 0, "ok");
  EXPECT_NE(Back(1, 1), 0u);
}

TEST_F(TextTest, BeginTextFillsTheDescriptionAndFaceTwoKeepsTheLastFace) {
  const tuDraw::FontDescription& fb = tuDraw::text.fontBlock;
  tuDraw::BeginText(0, 20, 90, 1, 1, 0);
  EXPECT_STREQ(fb.faceName, "標準明朝");
  EXPECT_EQ(fb.height, 20);
  EXPECT_EQ(fb.escapement, 900);
  EXPECT_EQ(fb.weight, 700);
  EXPECT_EQ(fb.italic, 1);
  EXPECT_EQ(fb.charSet, 128);
  tuDraw::EndText();
  tuDraw::BeginText(2, 14, 0, 2, 0, 1);
  EXPECT_STREQ(fb.faceName, "標準明朝");
  EXPECT_EQ(fb.weight, 0);
  EXPECT_EQ(fb.underline, 1);
  EXPECT_EQ(tuDraw::text.fontHeight, 14);
  tuDraw::EndText();
  tuDraw::BeginTextFace("DejaVu Sans", 14, 0, 0, 0, 0);
  EXPECT_EQ(fb.charSet, 0) << "taken from the font list";
  tuDraw::EndText();
  tuDraw::BeginTextFace("No Such Face At All", 14, 0, 0, 0, 0);
  EXPECT_EQ(fb.charSet, 128);
  // An unknown face still draws, in the Gothic face.
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  tuDraw::Text(10, 10, "テキスト");
  tuDraw::EndText();
  EXPECT_GT(CountNonZero(tuDraw::draw.backSurface, {10, 10, 120, 30}), 20);
}

TEST_F(TextTest, PrintAtIsWhiteOnDarkBlueAndFormattedTextAligns) {
  tuDraw::PrintFormat(0, 0, "%d fps", 60);  // then measured at the same place, below
  EXPECT_EQ(tuDraw::text.scopeOpen, 0);
  auto h = Histogram(tuDraw::draw.backSurface, {0, 0, 40, 12});
  EXPECT_GT(h[Px(0x800000)], 100);
  EXPECT_GT(h[Px(0xFFFFFF)], 10);
  EXPECT_EQ(Back(0, 12), 0u) << "the cell is 12 pixels high";

  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  EXPECT_EQ(tuDraw::TextRect(100, 100, 300, 200, "right", 3), 0);
  EXPECT_EQ(CountNonZero(tuDraw::draw.backSurface, {100, 100, 300, 200}), 0);
  EXPECT_EQ(tuDraw::TextRect(100, 100, 300, 200, "right", 2), 16);
  EXPECT_EQ(CountNonZero(tuDraw::draw.backSurface, {100, 100, 250, 200}), 0);
  EXPECT_GT(CountNonZero(tuDraw::draw.backSurface, {250, 100, 300, 200}), 0);
  tuDraw::Clear();
  int one = tuDraw::MeasureTextRect(0, 20, 400, 100, "word");
  EXPECT_EQ(one, 16);
  EXPECT_EQ(tuDraw::MeasureTextRect(0, 20, 40, 100, "word word word"), 3 * one);
  EXPECT_EQ(CountNonZero(tuDraw::draw.backSurface, {0, 20, 100, 100}), 0) << "measuring draws nothing";
  tuDraw::EndText();
  EXPECT_EQ(tuDraw::text.scopeOpen, 0);
}

TEST_F(TextTest, FullStopHangsAtTheLineEndWhileOtherCharactersMoveDown) {
  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  int w = WideWidth();
  ASSERT_GT(w, 8);
  int limit = 2 * w + w / 2;
  tuDraw::TextBox(0, 0, limit, 400, "ああ。", 0);
  ASSERT_EQ(tuDraw::text.charCount, 3);
  EXPECT_EQ(CharRect(3).left, 2 * w);
  EXPECT_EQ(CharRect(3).top, 0);
  EXPECT_EQ(CharRect(0).right, 3 * w) << "the hanging character is part of the box";
  tuDraw::TextBox(0, 0, limit, 400, "あああ", 0);
  ASSERT_EQ(tuDraw::text.charCount, 3);
  EXPECT_EQ(CharRect(3).left, 0);
  EXPECT_EQ(CharRect(3).top, 16);
  // A newline starts the next line and takes no rectangle; the style's low byte spaces lines.
  tuDraw::TextBox(0, 0, 600, 400, "あ\nい", 4);
  ASSERT_EQ(tuDraw::text.charCount, 2);
  EXPECT_EQ(CharRect(2).top, 20);
  EXPECT_EQ(tuDraw::text.scopeOpen, 1) << "the scope is re-opened on the back buffer";
  tuDraw::EndText();
}

TEST_F(TextTest, ACharacterEndingExactlyOnTheRightLimitStaysOnItsLine) {
  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  int w = WideWidth();
  tuDraw::TextBoxLayout(10, 0, 10 + 2 * w, 400, "ああ", 0);
  ASSERT_EQ(tuDraw::text.charCount, 2);
  EXPECT_EQ(CharRect(2).left, 10 + w);
  EXPECT_EQ(CharRect(2).top, 0);
  tuDraw::TextBoxLayout(10, 0, 10 + 2 * w - 1, 400, "ああ", 0);
  ASSERT_EQ(tuDraw::text.charCount, 2);
  EXPECT_EQ(CharRect(2).left, 10);
  EXPECT_EQ(CharRect(2).top, 16);
  tuDraw::EndText();
}

TEST_F(TextTest, BottomLimitStopsTheLayoutAndTheListNeverOverflows) {
  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  int w = WideWidth();
  // Two characters a line; the third line would reach the bottom limit of 40.
  tuDraw::TextBox(0, 0, 2 * w + 1, 40, "ああああああ", 0);
  EXPECT_EQ(tuDraw::text.charCount, 4);
  EXPECT_EQ(CharRect(0).bottom, 32);
  tuDraw::TextBox(0, 0, 2 * w + 1, 48, "ああああああ", 0);
  EXPECT_EQ(tuDraw::text.charCount, 4) << "a line that would end on the bottom limit reaches it";

  std::string longText(5000, 'a');
  tuDraw::TextBoxLayout(0, 0, 1 << 30, 1 << 30, longText.c_str(), 0);
  EXPECT_EQ(tuDraw::text.charCount, tuDraw::kTextBoxRects - 1);

  // A character wider than the box stands on its own line instead of moving down for ever.
  tuDraw::TextBoxLayout(0, 0, 4, 1 << 30, "あい", 0);
  ASSERT_EQ(tuDraw::text.charCount, 2);
  EXPECT_EQ(CharRect(2).top, 16);
  tuDraw::EndText();
}

TEST_F(TextTest, NearBlackColoursAreLiftedAboveTheTransparentKey) {
  tuDraw::BeginText(1, 24, 0, 0, 0, 0);
  tuDraw::SetTextColors(0x00000A, 0, 1);  // red 10
  tuDraw::TextBox(0, 0, 600, 400, "■", 0);
  auto h = Histogram(FontSprite(), CharRect(0));
  uint32_t lifted = tu::platform::MatchColor(FontSprite(), 0x101010);
  EXPECT_GT(h[lifted], 50);
  EXPECT_EQ(h.size(), 2u) << "only the key and the text colour";
  tuDraw::SetTextColors(0x000010, 0, 1);  // red 16 stays
  tuDraw::TextBox(0, 0, 600, 400, "■", 0);
  h = Histogram(FontSprite(), CharRect(0));
  EXPECT_GT(h[tu::platform::MatchColor(FontSprite(), 0x000010)], 50);
  EXPECT_EQ(h[lifted], 0);
  // The box was drawn to the back buffer; the layout-only form does not draw.
  EXPECT_GT(CountNonZero(tuDraw::draw.backSurface, CharRect(0)), 50);
  tuDraw::Clear();
  tuDraw::TextBoxLayout(0, 0, 600, 400, "■", 0);
  EXPECT_EQ(CountNonZero(tuDraw::draw.backSurface, {0, 0, 100, 100}), 0);
  EXPECT_EQ(tuDraw::text.textBoxDraws, 1);
  tuDraw::EndText();
}

TEST_F(TextTest, ShadowAndDoubleStrikeWidenTheCharacterCells) {
  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0xFF0000, 1);
  int w = WideWidth();
  tuDraw::TextBox(0, 0, 600, 400, "あ", 0x100 | 0x200 | 0x400);
  EXPECT_EQ(CharRect(1).right - CharRect(1).left, w + 2);
  EXPECT_EQ(CharRect(1).bottom - CharRect(1).top, 16 + 2);
  auto h = Histogram(FontSprite(), CharRect(0));
  EXPECT_GT(h[tu::platform::MatchColor(FontSprite(), 0xFF0000)], 0) << "shadow in the background colour";
  tuDraw::EndText();
}

TEST_F(TextTest, RevealTextShowsOneMoreCharacterPerIntervalThenTheWholeBox) {
  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  tuDraw::TextBoxLayout(0, 0, 600, 400, "■■■", 0);
  ASSERT_EQ(tuDraw::text.charCount, 3);
  tuSystem::sys.frameSeconds = 0.1f;
  std::vector<int> results;
  std::vector<int> visible;  // characters visible after each call
  for (int call = 0; call < 8; ++call) {
    tuDraw::Clear();
    results.push_back(tuDraw::RevealText(0.1f));
    int n = 0;
    for (int i = 1; i <= 3; ++i) n += CountNonZero(tuDraw::draw.backSurface, CharRect(i)) > 0;
    visible.push_back(n);
  }
  EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(visible, (std::vector<int>{0, 0, 1, 2, 3, 3, 3, 3}));
  // Slower than one interval a frame: the count waits for the accumulated time.
  tuDraw::TextBoxLayout(0, 0, 600, 400, "■■■", 0);
  tuSystem::sys.frameSeconds = 0.05f;
  for (int call = 0; call < 4; ++call) tuDraw::RevealText(0.1f);
  EXPECT_EQ(tuDraw::text.shownCount, 2);
  // 0 shows everything at once.
  tuDraw::TextBoxLayout(0, 0, 600, 400, "■■■", 0);
  tuDraw::Clear();
  EXPECT_EQ(tuDraw::RevealText(0.0f), 1);
  for (int i = 1; i <= 3; ++i) EXPECT_GT(CountNonZero(tuDraw::draw.backSurface, CharRect(i)), 0);
  tuDraw::EndText();
}

TEST_F(TextTest, SmoothTextBoxBlendsReducedGlyphsOverTheBackground) {
  FillBack(Px(0x0000FF));
  tuDraw::BeginSmoothText(1, 16);
  EXPECT_EQ(tuDraw::text.fontBlock.height, 32);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  tuDraw::TextBoxSmooth(20, 20, 300, 200, "あいう", 0);
  ASSERT_EQ(tuDraw::text.charCount, 3);
  EXPECT_NEAR(CharRect(1).right - CharRect(1).left, 16, 1);
  auto h = Histogram(tuDraw::draw.backSurface, CharRect(0));
  int red = h[Px(0x0000FF)], bright = 0, between = 0;
  for (auto& [v, c] : h) {
    uint32_t green = (tu::platform::PixelToColorref(tu::platform::PixelFormat::Rgb565, v) >> 8) & 0xFF;
    if (green >= 128) bright += c;
    if (green > 0 && green < 128) between += c;
  }
  EXPECT_GT(red, 0);
  EXPECT_GT(bright, 20) << "white text over red";
  EXPECT_GT(between, 20) << "edges are blended with the background";
  // The box hands the scope on to the back buffer with a fresh context: black on opaque white.
  EXPECT_EQ(tuDraw::text.scopeOpen, 1);
  tuDraw::Text(0, 300, "■");
  h = Histogram(tuDraw::draw.backSurface, {0, 300, 64, 340});
  EXPECT_GT(h[Px(0xFFFFFF)], 20);
  EXPECT_GT(h[Px(0x000000)], 20);
  tuDraw::EndSmoothText();
  EXPECT_EQ(tuDraw::text.scopeOpen, 0);
}

}  // namespace

namespace {

class FontFileTest : public TextTest {
 protected:
  void TearDown() override {
    tu::platform::ForgetFontFiles();
    TextTest::TearDown();
  }
  // Copies an installed Latin face beside the program; false when there is none.
  bool CopyInstalledFace(const char* face, const std::string& to) {
    char path[512] = {};
    if (!tu::platform::ResolveFace(face, path, sizeof path) || !strstr(path, "DejaVuSans"))
      return false;
    std::filesystem::create_directories(std::filesystem::path(folder + to).parent_path());
    std::filesystem::copy_file(path, folder + to);
    return true;
  }
  int WidthIn(const char* face, const char* text) {
    tuDraw::BeginTextFace(face, 20, 0, tuDraw::kWeightNormal, 0, 0);
    int w = 0, h = 0;
    EXPECT_EQ(tuDraw::MeasureText(text, &w, &h), 1);
    tuDraw::EndText();
    return w;
  }
};

TEST_F(FontFileTest, AFontFileBesideTheProgramIsAFaceByItsNameAndMeasuresItsText) {
  if (!CopyInstalledFace("DejaVu Sans", "fonts/my.ttf")) GTEST_SKIP() << "no DejaVu face here";
  const char* line = "Hello, measured world";
  const int gothic = WidthIn("fonts/my.ttf", line);  // not loaded yet: the fallback face
  ASSERT_EQ(tuDraw::LoadFont("fonts/my.ttf"), 1);
  const int fromFile = WidthIn("fonts/my.ttf", line);
  EXPECT_EQ(fromFile, WidthIn("DejaVu Sans", line)) << "the file's own face";
  EXPECT_NE(fromFile, gothic);
  EXPECT_EQ(Boxes(), 0u);

  // Measured as Text draws: the advance and the line height, in screen pixels.
  tuDraw::BeginTextFace("fonts/my.ttf", 20, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0, 1);
  int w = 0, h = 0;
  ASSERT_EQ(tuDraw::MeasureText("MM", &w, &h), 1);
  int one = 0;
  tuDraw::MeasureText("M", &one, nullptr);
  EXPECT_EQ(w, 2 * one);
  EXPECT_GT(h, 10);
  EXPECT_LE(h, 20);
  tuDraw::Text(100, 100, "MM");
  tuDraw::EndText();
  tu::Rect cell{100, 100, 100 + w, 100 + h};
  EXPECT_GT(CountNonZero(tuDraw::draw.backSurface, cell), 20);
  EXPECT_EQ(CountNonZero(tuDraw::draw.backSurface, {0, 0, 640, 100}), 0) << "nothing above the cell";
  // A smooth scope draws its doubled font at the size asked for.
  tuDraw::BeginSmoothTextFace("fonts/my.ttf", 20);
  int sw = 0, sh = 0;
  tuDraw::MeasureText("MM", &sw, &sh);
  tuDraw::EndSmoothText();
  EXPECT_NEAR(sw, w, 2);
  EXPECT_NEAR(sh, h, 2);
  // Outside a scope there is no font to measure with.
  EXPECT_EQ(tuDraw::MeasureText("MM", &w, &h), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST_F(FontFileTest, FilesThatAreNotFontsAreReportedByNameAndChangeNothing) {
  WriteFile("BMP/notafont.ttf", MakeBmp(4, 4, 24, [](int, int) { return 0xFFFFFFu; }));
  struct Case {
    const char* name;
    const char* report;
  } cases[] = {
      {"BMP/notafont.ttf", "BMP/notafont.ttf"},
      {"fonts/missing.ttf", "fonts/missing.ttf"},
      {"fonts/a-name-of-thirty-one-chars.ttf", "長すぎます"},
  };
  for (const Case& c : cases) {
    size_t before = Boxes();
    EXPECT_EQ(tuDraw::LoadFont(c.name), 0) << c.name;
    EXPECT_EQ(Boxes(), before + 1) << c.name;
    EXPECT_NE(LastBox().find(c.report), std::string::npos) << LastBox();
    EXPECT_NE(LastBox().find("tuDraw::LoadFont"), std::string::npos) << LastBox();
  }
  // The failed name still resolves to an installed face: text goes on.
  EXPECT_GT(WidthIn("BMP/notafont.ttf", "abc"), 0);
}

}  // namespace
