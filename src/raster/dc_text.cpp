// The device context's text: single lines through the platform's fonts, plain or turned by
// the font's escapement, and formatted text in a box (alignment, word breaks, clipping).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "raster/dc.h"

namespace tu::raster {

namespace {

inline uint32_t R(uint32_t c) { return c & 0xFF; }
inline uint32_t G(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t B(uint32_t c) { return (c >> 16) & 0xFF; }

inline uint32_t Mix(uint32_t from, uint32_t to, uint32_t a) {
  return (R(from) * (255 - a) + R(to) * a + 127) / 255 |
         ((G(from) * (255 - a) + G(to) * a + 127) / 255) << 8 |
         ((B(from) * (255 - a) + B(to) * a + 127) / 255) << 16;
}

// Decodes one UTF-8 character at s[i] (bounded by n); returns its code point, advances i.
uint32_t NextCodePoint(const char* s, int n, int* i) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  int k = 1;
  for (; k < len && *i + k < n; ++k) {
    unsigned char d = static_cast<unsigned char>(s[*i + k]);
    if ((d & 0xC0) != 0x80) break;
    cp = (cp << 6) | (d & 0x3F);
  }
  *i += k;
  return cp;
}

// Scripts written without spaces may break between any two characters.
bool BreaksAnywhere(uint32_t cp) { return cp >= 0x2E80; }

}  // namespace

bool DeviceContext::TextExtent(const char* utf8, int* width, int* height) {
  if (!font_ || !utf8) {
    if (width) *width = 0;
    if (height) *height = 0;
    return false;
  }
  return platform::MeasureText(font_, utf8, width, height);
}

bool DeviceContext::TextOut(int x, int y, const char* utf8) {
  if (!utf8) return false;
  return TextOutBytes(x, y, utf8, static_cast<int>(strlen(utf8)));
}

bool DeviceContext::TextOutBytes(int x, int y, const char* utf8, int bytes) {
  if (!Attached() || !font_ || bytes <= 0) return false;
  // The renderer takes a terminated string: short lines are copied on the stack.
  char small[256];
  std::string large;
  const char* line = small;
  if (bytes < static_cast<int>(sizeof small)) {
    memcpy(small, utf8, static_cast<size_t>(bytes));
    small[bytes] = 0;
  } else {
    large.assign(utf8, static_cast<size_t>(bytes));
    line = large.c_str();
  }
  platform::Coverage cov;
  if (!platform::RenderCoverage(font_, line, &cov)) return false;
  uint32_t fgPixel = ColorToPixel(target_, textColor_);
  uint32_t bkPixel = ColorToPixel(target_, bkColor_);
  int esc = platform::FontEscapement(font_);
  auto put = [&](int dx, int dy, uint8_t a) {
    if (dx < clip_.left || dy < clip_.top || dx >= clip_.right || dy >= clip_.bottom) return;
    if (a == 255) {
      WriteTargetPixel(target_, dx, dy, fgPixel);
    } else if (a == 0) {
      if (!bkTransparent_) WriteTargetPixel(target_, dx, dy, bkPixel);
    } else {
      uint32_t under =
          bkTransparent_ ? PixelToColor(target_, ReadTargetPixel(target_, dx, dy)) : bkColor_;
      WriteTargetPixel(target_, dx, dy, ColorToPixel(target_, Mix(under, textColor_, a)));
    }
  };
  if (esc % 3600 == 0) {
    for (int j = 0; j < cov.height; ++j)
      for (int i = 0; i < cov.width; ++i) put(x + i, y + j, cov.pixels[j * cov.pitch + i]);
    return true;
  }
  // Turned text: every target pixel of the turned cell samples the upright picture.
  double th = esc / 10.0 * 3.14159265358979323846 / 180.0;
  double c = std::cos(th), s = std::sin(th);
  double cx[4] = {0, cov.width * c, cov.width * c + cov.height * s, cov.height * s};
  double cy[4] = {0, -cov.width * s, -cov.width * s + cov.height * c, cov.height * c};
  int minX = static_cast<int>(std::floor(*std::min_element(cx, cx + 4))) + x;
  int maxX = static_cast<int>(std::ceil(*std::max_element(cx, cx + 4))) + x;
  int minY = static_cast<int>(std::floor(*std::min_element(cy, cy + 4))) + y;
  int maxY = static_cast<int>(std::ceil(*std::max_element(cy, cy + 4))) + y;
  for (int dy = std::max(minY, clip_.top); dy <= std::min(maxY, clip_.bottom - 1); ++dy) {
    for (int dx = std::max(minX, clip_.left); dx <= std::min(maxX, clip_.right - 1); ++dx) {
      double ox = dx - x + 0.5, oy = dy - y + 0.5;
      double u = ox * c - oy * s, v = ox * s + oy * c;
      int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
      if (iu < 0 || iv < 0 || iu >= cov.width || iv >= cov.height) continue;
      put(dx, dy, cov.pixels[iv * cov.pitch + iu]);
    }
  }
  return true;
}

int DeviceContext::DrawText(const char* utf8, DcRect* rect, int flags) {
  if (!font_ || !utf8 || !rect) return 0;
  int n = static_cast<int>(strlen(utf8));
  int lineHeight = platform::FontCellHeight(font_);
  int boxWidth = rect->right - rect->left;
  struct Line {
    int start, bytes, width;
  };
  std::vector<Line> lines;
  std::string buf;
  auto widthOf = [&](int start, int bytes) {
    buf.assign(utf8 + start, static_cast<size_t>(bytes));
    int w = 0;
    if (bytes > 0) platform::MeasureText(font_, buf.c_str(), &w, nullptr);
    return w;
  };
  int pos = 0;
  for (;;) {
    int end = pos;
    while (end < n && utf8[end] != '\n') ++end;
    int paraEnd = end;
    if (paraEnd > pos && utf8[paraEnd - 1] == '\r') --paraEnd;
    int at = pos;
    do {
      int bytes = paraEnd - at;
      if ((flags & kDtWordBreak) && bytes > 0) {
        buf.assign(utf8 + at, static_cast<size_t>(bytes));
        int fit = platform::FitText(font_, buf.c_str(), std::max(boxWidth, 0), nullptr);
        if (fit < bytes) {
          // Break at the last place before the overflow where a line may end: before a space,
          // or beside a character of a script written without spaces.
          int breakAt = -1, i = 0;
          uint32_t prev = 0;
          while (i <= fit && i < bytes) {
            int here = i;
            uint32_t cp = NextCodePoint(utf8 + at, bytes, &i);
            if (here > 0 && (cp == ' ' || BreaksAnywhere(cp) || BreaksAnywhere(prev)))
              breakAt = here;
            if (here > 0 && prev == ' ' && cp != ' ') breakAt = std::max(breakAt, here);
            prev = cp;
          }
          if (breakAt <= 0) {
            // One word wider than the box: cut it where it overflows (at least one character).
            int one = 0;
            NextCodePoint(utf8 + at, bytes, &one);
            breakAt = std::max(fit, one);
          }
          bytes = breakAt;
        }
      }
      int lineBytes = bytes;
      while (lineBytes > 0 && utf8[at + lineBytes - 1] == ' ' && (flags & kDtWordBreak))
        --lineBytes;
      lines.push_back({at, lineBytes, widthOf(at, lineBytes)});
      at += bytes;
      if (flags & kDtWordBreak)
        while (at < paraEnd && utf8[at] == ' ') ++at;
    } while (at < paraEnd);
    if (end >= n) break;
    pos = end + 1;
  }
  int maxWidth = 0;
  for (const Line& l : lines) maxWidth = std::max(maxWidth, l.width);
  int total = static_cast<int>(lines.size()) * lineHeight;
  if (flags & kDtCalcRect) {
    if (lines.size() > 1 && (flags & kDtWordBreak))
      rect->right = std::max(rect->right, rect->left + maxWidth);
    else
      rect->right = rect->left + maxWidth;
    rect->bottom = rect->top + total;
    return total;
  }
  if (!Attached()) return total;
  DcRect saved = clip_;
  if (!(flags & kDtNoClip)) {
    clip_.left = std::max(clip_.left, rect->left);
    clip_.top = std::max(clip_.top, rect->top);
    clip_.right = std::min(clip_.right, rect->right);
    clip_.bottom = std::min(clip_.bottom, rect->bottom);
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    int x = rect->left;
    if (flags & kDtCenter)
      x = rect->left + (boxWidth - l.width) / 2;
    else if (flags & kDtRight)
      x = rect->right - l.width;
    TextOutBytes(x, rect->top + static_cast<int>(i) * lineHeight, utf8 + l.start, l.bytes);
  }
  clip_ = saved;
  return total;
}

}  // namespace tu::raster
