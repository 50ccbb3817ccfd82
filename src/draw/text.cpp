// Text: the font list, text scopes on the back buffer, formatted text, and the text boxes laid
// out character by character into the Font sprite with Japanese line-end rules.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "base/text.h"
#include "draw/surface_dc.h"
#include "platform/desktop.h"
#include "platform/font.h"

namespace tuDraw {

TextState text;

namespace {

constexpr int kFontSprite = 2;
constexpr int kFontBufferSprite = 3;
constexpr int kScopeBack = 1;
constexpr int kScopeSmooth = 2;

struct Scope {
  tu::raster::DeviceContext dc;
  tu::platform::Surface* surface = nullptr;
  tu::platform::Font* font = nullptr;
  tu::platform::Font* previousFont = nullptr;
};
Scope scope;

tu::platform::Surface* SpriteSurface(int id) { return draw.sprites[id].surface; }

tu::platform::Font* CreateFontFromBlock() {
  const FontDescription& fb = text.fontBlock;
  tu::platform::FontRequest r;
  tu::CopyCut(r.face, sizeof r.face, fb.faceName);
  r.height = fb.height;
  r.weight = fb.weight;
  r.italic = fb.italic != 0;
  r.underline = fb.underline != 0;
  r.escapement = fb.escapement;
  return tu::platform::OpenFont(r);
}

// Takes the surface's device context and selects a font made from the description into it.
void OpenScope(tu::platform::Surface* surface, int kind) {
  scope.font = CreateFontFromBlock();
  scope.surface = surface;
  GetSurfaceDC(surface, scope.dc);
  scope.previousFont = scope.dc.SelectFont(scope.font);
  text.scopeOpen = kind;
}

// The display may have been released under an open scope: its surface is then no longer one
// of the display's, and the context lets go of the pixels without touching them.
bool ScopeSurfaceLive() {
  return scope.surface && (scope.surface == draw.backSurface ||
                           scope.surface == SpriteSurface(kFontBufferSprite));
}

// The scope's context for drawing; detached (drawing nothing) when its surface is gone.
tu::raster::DeviceContext& ScopeDC() {
  if (scope.dc.Attached() && !ScopeSurfaceLive()) scope.dc.Detach();
  return scope.dc;
}

void CloseScope() {
  if (!text.scopeOpen) return;
  scope.dc.SelectFont(scope.previousFont);
  tu::platform::CloseFont(scope.font);
  scope.font = nullptr;
  ReleaseSurfaceDC(ScopeSurfaceLive() ? scope.surface : nullptr, scope.dc);
  scope.surface = nullptr;
  text.scopeOpen = 0;
}

void SetFaceByNumber(int face) {
  if (face == kFaceMincho) tu::CopyCut(text.fontBlock.faceName, sizeof text.fontBlock.faceName,
                             tu::platform::kMinchoFaceName);
  if (face == kFaceGothic) tu::CopyCut(text.fontBlock.faceName, sizeof text.fontBlock.faceName,
                             tu::platform::kGothicFaceName);
}

void Describe(int height, int angle, int weight, int italic, int underline) {
  FontDescription& fb = text.fontBlock;
  text.fontHeight = height;
  fb.height = height;
  fb.width = 0;
  fb.escapement = angle * 10;
  fb.weight = weight == kWeightNormal ? 400 : weight == kWeightBold ? 700 : 0;
  fb.italic = static_cast<uint8_t>(italic);
  fb.underline = static_cast<uint8_t>(underline);
  fb.charSet = 128;
}

// The kind recorded in the list for a character set.
int KindOf(int charSet) {
  return charSet == 128 ? kFontJapanese : charSet == 2 ? kFontSymbol : kFontOther;
}

// Decodes the UTF-8 character at s; returns its length in bytes (1 for a stray byte).
int CharAt(const char* s, uint32_t* cp) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  uint32_t v = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  for (int k = 1; k < len; ++k) {
    unsigned char d = static_cast<unsigned char>(s[k]);
    if ((d & 0xC0) != 0x80) {
      *cp = c;
      return 1;
    }
    v = (v << 6) | (d & 0x3F);
  }
  *cp = v;
  return len;
}

// Characters that may not start a line: they hang past the limit at the end of the line.
bool HangsAtLineEnd(uint32_t cp) {
  switch (cp) {
    case 0x3001: case 0x3002: case 0xFF0C: case 0xFF0E: case 0x30FB:  // 、。，．・
    case 0x2026: case 0x2025: case 0x201D: case 0x2019:                // …‥”’
    case 0xFF08: case 0x300D:                                          // （」
    case ',': case '.': case 0x3000: case ' ':
      return true;
    default:
      return false;
  }
}

// Colour-key black would turn text transparent in the Font sprite.
uint32_t AvoidKeyBlack(uint32_t c) {
  if ((c & 0xFF) < 16 && ((c >> 8) & 0xFF) < 16 && ((c >> 16) & 0xFF) < 16) return 0x101010;
  return c;
}

// Sums the non-zero pixels around every second pixel of every second row of the Font buffer and
// writes their blend with the back buffer into the Font sprite at screen positions.
void ReduceSmooth(int x, int y, const tu::Rect& box) {
  tu::raster::PixelTarget big, out, back;
  bool okBig = LockTarget(SpriteSurface(kFontBufferSprite), &big);
  bool okOut = okBig && LockTarget(SpriteSurface(kFontSprite), &out);
  bool okBack = okOut && LockTarget(draw.backSurface, &back);
  if (okBack) {
    // Five-bit channels on a 16-bit desktop, eight bits otherwise.
    int drop = tu::platform::DesktopDepth() == 16 ? 3 : 0;
    const tu::Rect& c = draw.clipRect;
    int x0 = std::max({box.left, c.left, 0}), x1 = std::min({box.right, c.right, out.width});
    int y0 = std::max({box.top, c.top, 0}), y1 = std::min({box.bottom, c.bottom, out.height});
    for (int oy = y0; oy < y1; ++oy) {
      for (int ox = x0; ox < x1; ++ox) {
        int bx = 2 * (ox - x), by = 2 * (oy - y);
        uint32_t sum[3] = {0, 0, 0};
        int count = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int sx = bx + dx, sy = by + dy;
            if (sx < 0 || sy < 0 || sx >= big.width || sy >= big.height) continue;
            uint32_t p = tu::raster::ReadTargetPixel(big, sx, sy);
            if (p == 0) continue;
            uint32_t col = tu::raster::PixelToColor(big, p);
            for (int k = 0; k < 3; ++k) sum[k] += ((col >> (8 * k)) & 0xFF) >> drop;
            ++count;
          }
        if (count == 0) continue;
        uint32_t under = tu::raster::PixelToColor(back, tu::raster::ReadTargetPixel(back, ox, oy));
        uint32_t result = 0;
        for (int k = 0; k < 3; ++k) {
          uint32_t bg = ((under >> (8 * k)) & 0xFF) >> drop;
          uint32_t v = (sum[k] + bg * static_cast<uint32_t>(9 - count)) / 9;
          result |= (v << drop) << (8 * k);
        }
        uint32_t pixel = tu::raster::ColorToPixel(out, result);
        // Pixel value 0 is the sprite's transparent key: keep black visible.
        if (pixel == 0) pixel = tu::raster::ColorToPixel(out, 0x080808) | 1u;
        tu::raster::WriteTargetPixel(out, ox, oy, pixel);
      }
    }
  }
  if (okBack) tu::platform::Unlock(draw.backSurface);
  if (okOut) tu::platform::Unlock(SpriteSurface(kFontSprite));
  if (okBig) tu::platform::Unlock(SpriteSurface(kFontBufferSprite));
}

void LayOut(int x, int y, int rightLimit, int bottomLimit, const char* str, int style, bool smooth,
            bool drawResult) {
  if (!draw.backSurface || !SpriteSurface(kFontSprite) ||
      (smooth && !SpriteSurface(kFontBufferSprite))) {
    text.textBoxDraws = 1;
    return;
  }
  if (!str) str = "";
  int reopen = text.scopeOpen;
  CloseScope();
  int target = smooth ? kFontBufferSprite : kFontSprite;
  ClearObject(target);
  if (smooth) ClearObject(kFontSprite);
  tu::platform::Font* font = CreateFontFromBlock();
  tu::raster::DeviceContext& dc = scope.dc;
  GetSurfaceDC(SpriteSurface(target), dc);
  dc.SelectFont(font);
  dc.SetBkTransparent(true);
  uint32_t textColor = AvoidKeyBlack(text.textColor);
  uint32_t backColor = AvoidKeyBlack(text.backColor);

  int scale = smooth ? 2 : 1;
  int px = x, py = y;
  int lineHeight = text.fontHeight + (style & kTextLineSpacing);
  tu::Rect* rects = text.charRects;
  rects[0] = {x, y, x, y};
  int n = 0;
  int shiftX = (style & kTextDoubleRight) ? 1 : 0, shiftY = (style & kTextDoubleDown) ? 1 : 0;

  auto drawChar = [&](int cx, int cy, const char* ch) {
    // Screen position to the surface drawn into: the Font buffer holds the box at twice the size.
    int bx = smooth ? 2 * (cx - x) : cx, by = smooth ? 2 * (cy - y) : cy;
    if (style & kTextShadow) {
      dc.SetTextColor(backColor);
      dc.TextOut(bx + scale * (1 + shiftX), by + scale * (1 + shiftY), ch);
    }
    dc.SetTextColor(textColor);
    dc.TextOut(bx, by, ch);
    if (shiftX) dc.TextOut(bx + scale, by, ch);
    if (shiftX && shiftY) dc.TextOut(bx + scale, by + scale, ch);
    if (shiftY) dc.TextOut(bx, by + scale, ch);
  };
  auto extend = [&](const tu::Rect& r) {
    rects[0].left = std::min(rects[0].left, r.left);
    rects[0].top = std::min(rects[0].top, r.top);
    rects[0].right = std::max(rects[0].right, r.right);
    rects[0].bottom = std::max(rects[0].bottom, r.bottom);
  };

  const char* s = str;
  while (*s) {
    uint32_t cp = 0;
    int len = CharAt(s, &cp);
    char ch[8] = {};
    memcpy(ch, s, static_cast<size_t>(len));
    bool newline = cp == '\n';
    int w = 0, h = 0;
    if (!newline && font) {
      tu::platform::MeasureText(font, ch, &w, &h);
      if (smooth) {
        w = (w + 1) / 2;
        h = (h + 1) / 2;
      }
    }
    if (style & kTextShadow) {
      ++w;
      ++h;
    }
    w += shiftX;
    h += shiftY;
    // The list is full: what fits is laid out, the rest is left out.
    if (!newline && n + 1 >= kTextBoxRects) break;
    tu::Rect r{px, py, px + w, py + h};
    bool atLineStart = px == x;
    px += w;
    lineHeight = std::max(lineHeight, h);
    bool overflow = px > rightLimit;
    if (overflow || newline) {
      if (overflow && !newline && (HangsAtLineEnd(cp) || atLineStart)) {
        // Hangs past the limit at the end of this line; a character wider than the whole box
        // stands alone on its line instead of moving down for ever.
        rects[++n] = r;
        drawChar(r.left, r.top, ch);
        extend(r);
        s += len;
      } else if (newline) {
        s += len;
      }
      px = x;
      py += lineHeight;
      if (py + lineHeight >= bottomLimit) break;
      continue;
    }
    rects[++n] = r;
    drawChar(r.left, r.top, ch);
    extend(r);
    s += len;
  }
  text.charCount = n;

  dc.SelectFont(nullptr);
  tu::platform::CloseFont(font);
  ReleaseSurfaceDC(SpriteSurface(target), dc);
  if (smooth) ReduceSmooth(x, y, rects[0]);
  if (text.textBoxDraws && drawResult) {
    const tu::Rect& b = rects[0];
    Draw(b.left, b.top, kFontSprite, b.left, b.top, b.right, b.bottom);
  }
  // Whatever scope was running, text goes on on the back buffer, through a fresh context
  // (default colours, opaque background) and a font made from the description.
  if (reopen) OpenScope(draw.backSurface, kScopeBack);
  text.shownCount = 0;
  text.revealSeconds = 0.0f;
  text.textBoxDraws = 1;
}

bool CollectFace(const tu::platform::FaceInfo& face, void*) {
  if (text.fontCount >= kMaxFonts) return false;
  FontEntry& e = text.fonts[text.fontCount++];
  tu::CopyCut(e.faceName, sizeof e.faceName, face.family);
  e.kind = KindOf(face.charSet);
  e.charSet = static_cast<uint8_t>(face.charSet);
  return true;
}

}  // namespace

int EnumFonts() {
  CloseScope();
  text.fontBlock = FontDescription{};
  text.fontBlockAllocated = 1;
  for (FontEntry& e : text.fonts) e = FontEntry{};
  text.fontCount = 0;
  tu::platform::ListFaces(CollectFace, nullptr);
  text.textBoxDraws = 1;
  return 1;
}

void FreeFonts() {
  CloseScope();
  text.fontBlock = FontDescription{};
  text.fontBlockAllocated = 0;
  tu::platform::ForgetFontFiles();
}

void BeginText(int face, int height, int angle, int weight, int italic, int underline) {
  // A scope left open is ended first, so its surface is not held twice.
  CloseScope();
  SetFaceByNumber(face);
  Describe(height, angle, weight, italic, underline);
  OpenScope(draw.backSurface, kScopeBack);
}

void BeginTextFace(const char* faceName, int height, int angle, int weight, int italic,
                   int underline) {
  CloseScope();
  tu::CopyCut(text.fontBlock.faceName, sizeof text.fontBlock.faceName, faceName ? faceName : "");
  Describe(height, angle, weight, italic, underline);
  for (int i = 0; i < text.fontCount; ++i) {
    if (strcmp(text.fonts[i].faceName, text.fontBlock.faceName) == 0) {
      text.fontBlock.charSet = text.fonts[i].charSet;
      break;
    }
  }
  OpenScope(draw.backSurface, kScopeBack);
}

void SetTextColors(uint32_t textColor, uint32_t backColor, int transparent) {
  ScopeDC().SetTextColor(textColor);
  ScopeDC().SetBkColor(backColor);
  ScopeDC().SetBkTransparent(transparent != 0);
  text.textColor = textColor;
  text.backColor = backColor;
}

void Text(int x, int y, const char* str) {
  if (str) ScopeDC().TextOut(x, y, str);
}

int TextRect(int left, int top, int right, int bottom, const char* str, int align) {
  if (!str || align < kAlignLeft || align > kAlignRight) return 0;
  int flags = tu::raster::kDtNoPrefix | tu::raster::kDtWordBreak |
              (align == kAlignCentre  ? tu::raster::kDtCenter
               : align == kAlignRight ? tu::raster::kDtRight
                                      : 0);
  tu::raster::DcRect r{left, top, right, bottom};
  return ScopeDC().DrawText(str, &r, flags);
}

int MeasureTextRect(int left, int top, int right, int bottom, const char* str) {
  if (!str) return 0;
  tu::raster::DcRect r{left, top, right, bottom};
  return ScopeDC().DrawText(str, &r,
                           tu::raster::kDtNoPrefix | tu::raster::kDtCalcRect | tu::raster::kDtWordBreak);
}

void EndText() { CloseScope(); }

void PrintAt(int x, int y, const char* str) {
  BeginText(1, 12, 0, 0, 0, 0);
  SetTextColors(0xFFFFFF, 0x800000, 0);
  Text(x, y, str);
  EndText();
}

void PrintFormat(int x, int y, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  tu::FormatCut(line, sizeof line, format ? format : "", args);
  va_end(args);
  PrintAt(x, y, line);
}

void TextBox(int x, int y, int rightLimit, int bottomLimit, const char* str, int style) {
  LayOut(x, y, rightLimit, bottomLimit, str, style, false, true);
}

void TextBoxLayout(int x, int y, int rightLimit, int bottomLimit, const char* str, int style) {
  text.textBoxDraws = 0;
  LayOut(x, y, rightLimit, bottomLimit, str, style, false, false);
}

void TextBoxSmooth(int x, int y, int rightLimit, int bottomLimit, const char* str, int style) {
  LayOut(x, y, rightLimit, bottomLimit, str, style, true, true);
}

void TextBoxSmoothLayout(int x, int y, int rightLimit, int bottomLimit, const char* str,
                         int style) {
  text.textBoxDraws = 0;
  LayOut(x, y, rightLimit, bottomLimit, str, style, true, false);
}

void BeginSmoothText(int face, int height) {
  CloseScope();
  SetFaceByNumber(face);
  Describe(height * 2, 0, 0, 0, 0);
  text.fontHeight = height;
  OpenScope(SpriteSurface(kFontBufferSprite), kScopeSmooth);
}

void BeginSmoothTextFace(const char* faceName, int height) {
  CloseScope();
  tu::CopyCut(text.fontBlock.faceName, sizeof text.fontBlock.faceName, faceName ? faceName : "");
  Describe(height * 2, 0, 0, 0, 0);
  text.fontHeight = height;
  OpenScope(SpriteSurface(kFontBufferSprite), kScopeSmooth);
}

void EndSmoothText() { CloseScope(); }

int LoadFont(const char* fileName) {
  const char* context = "tuDraw::LoadFont";
  static_assert(kMaxFontFiles == tu::platform::kMaxFontFiles);
  if (!fileName || !fileName[0]) return tuSystem::Error(context, "フォントファイル名がありません", 0);
  if (strlen(fileName) > kMaxNameLength)
    return tuSystem::Error(context, "ファイル名が長すぎます", 0);
  std::string path = std::string(tuSystem::GetPath(0)) + fileName;
  switch (tu::platform::AddFontFile(fileName, path.c_str())) {
    case tu::platform::FontFileResult::Added:
      return 1;
    case tu::platform::FontFileResult::TableFull:
      return tuSystem::Error(context, "フォント数が多過ぎます", 0);
    default: {
      char message[128];
      snprintf(message, sizeof message, "フォントファイルを読み込めません (%s)", fileName);
      return tuSystem::Error(context, message, 0);
    }
  }
}

int MeasureText(const char* str, int* width, int* height) {
  int w = 0, h = 0;
  bool ok = text.scopeOpen && str && tu::platform::MeasureText(scope.font, str, &w, &h);
  if (!ok) w = h = 0;
  if (ok && text.scopeOpen == kScopeSmooth) {
    w = (w + 1) / 2;
    h = (h + 1) / 2;
  }
  if (width) *width = w;
  if (height) *height = h;
  return ok ? 1 : 0;
}

int RevealText(float secondsPerChar) {
  int n = text.charCount;
  if (secondsPerChar != 0.0f && text.shownCount <= n + 1) {
    for (int i = 1; i <= text.shownCount - 1 && i <= n; ++i) {
      const tu::Rect& r = text.charRects[i];
      Draw(r.left, r.top, kFontSprite, r.left, r.top, r.right, r.bottom);
    }
  } else {
    const tu::Rect& b = text.charRects[0];
    Draw(b.left, b.top, kFontSprite, b.left, b.top, b.right, b.bottom);
    text.shownCount = n + 2;
  }
  if (text.shownCount > n + 1) return 1;
  text.revealSeconds += tuSystem::sys.frameSeconds;
  if (!(secondsPerChar > text.revealSeconds)) {
    if (text.shownCount <= n + 1) ++text.shownCount;
    text.revealSeconds = 0.0f;
  }
  return 0;
}

}  // namespace tuDraw
