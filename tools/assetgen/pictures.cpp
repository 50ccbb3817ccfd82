#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "raster.h"

namespace assetgen {

namespace {

constexpr float kPi = 3.14159265358979f;
const Col kWhite{255, 255, 255};
const Col kBlack{0, 0, 0};

// ---------------------------------------------------------------- block tiles

// Hue of each block colour 1..5: red, amber, green, blue, violet, far apart on the wheel.
Col BlockBase(int c) {
  switch (c) {
    case 1: return Hsv(354, 0.80f, 0.92f);
    case 2: return Hsv(46, 0.88f, 0.97f);
    case 3: return Hsv(132, 0.72f, 0.78f);
    case 4: return Hsv(212, 0.80f, 0.97f);
    default: return Hsv(284, 0.62f, 0.90f);
  }
}

// Distance (in pixels, along the L1 metric) from the tile pixel centre to the diamond's edge,
// and which of the four edges is nearest: 0 upper-left, 1 upper-right, 2 lower-left, 3 lower-right.
struct DiamondPos {
  float edge;
  int side;
  float dx, dy;
};
DiamondPos Locate(int x, int y) {
  float dx = float(x) + 0.5f - 16.0f, dy = float(y) + 0.5f - 16.0f;
  DiamondPos p;
  p.edge = 16.0f - (std::fabs(dx) + std::fabs(dy));
  p.side = (dy < 0 ? 0 : 2) + (dx < 0 ? 0 : 1);
  p.dx = dx, p.dy = dy;
  return p;
}

// A bevelled diamond in `base`: light upper-left, dark lower-right, a dark rim.
void DrawBevel(Image& img, int ox, int oy, Col base, float brighten) {
  base = Mix(base, kWhite, brighten);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      DiamondPos p = Locate(x, y);
      if (p.edge < 0) continue;
      Col c;
      if (p.edge < 1.0f) {
        c = Mix(base, kBlack, 0.55f);
      } else if (p.edge < 5.0f) {
        static const float shade[4] = {0.50f, 0.22f, -0.22f, -0.45f};
        float s = shade[p.side];
        c = s > 0 ? Mix(base, kWhite, s) : Mix(base, kBlack, -s);
      } else {
        // Face: a soft light from the upper left.
        float t = std::clamp((p.dx + p.dy) / 22.0f, -1.0f, 1.0f);
        c = t < 0 ? Mix(base, kWhite, -t * 0.18f) : Mix(base, kBlack, t * 0.16f);
      }
      img.set(ox + x, oy + y, c);
    }
}

// A diagonal glint across the face; `pos` runs from the upper left (-1) to the lower right (1).
void DrawGlint(Image& img, int ox, int oy, float pos, float strength) {
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      DiamondPos p = Locate(x, y);
      if (p.edge < 1.5f) continue;
      float along = (p.dx + p.dy) / 2.0f;  // -8..8 across the diamond
      float d = std::fabs(along - pos * 7.0f);
      float a = std::clamp(1.0f - d / 2.6f, 0.0f, 1.0f) * strength;
      if (a > 0) img.blend(ox + x, oy + y, kWhite, a);
    }
}

void DrawSymbol(Image& img, int ox, int oy, int c, Col base) {
  float cx = float(ox) + 16.0f, cy = float(oy) + 16.0f;
  Col light = Mix(base, kWhite, 0.78f), shadow = Mix(base, kBlack, 0.6f);
  for (int pass = 0; pass < 2; ++pass) {
    float off = pass == 0 ? 1.0f : 0.0f;
    Col col = pass == 0 ? shadow : light;
    float x = cx + off, y = cy + off;
    switch (c) {
      case 1: FillCircle(img, x, y, 5.2f, col); break;
      case 2: FillPolygon(img, {{x, y - 6.0f}, {x + 6.2f, y + 4.8f}, {x - 6.2f, y + 4.8f}}, col); break;
      case 3: FillPolygon(img, {{x - 4.5f, y - 4.5f}, {x + 4.5f, y - 4.5f}, {x + 4.5f, y + 4.5f}, {x - 4.5f, y + 4.5f}}, col); break;
      case 4:
        FillPolygon(img, {{x - 1.9f, y - 6}, {x + 1.9f, y - 6}, {x + 1.9f, y + 6}, {x - 1.9f, y + 6}}, col);
        FillPolygon(img, {{x - 6, y - 1.9f}, {x + 6, y - 1.9f}, {x + 6, y + 1.9f}, {x - 6, y + 1.9f}}, col);
        break;
      default: FillPolygon(img, Star(x, y + 0.5f, 6.8f, 2.9f, 5, 0), col); break;
    }
  }
}

void DrawColourBlock(Image& img, int ox, int oy, int c, int row) {
  Col base = BlockBase(c);
  bool fresh = row == 3;
  DrawBevel(img, ox, oy, base, fresh ? 0.30f : 0.0f);
  DrawSymbol(img, ox, oy, c, fresh ? Mix(base, kWhite, 0.3f) : base);
  if (fresh) {
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        DiamondPos p = Locate(x, y);
        if (p.edge >= 0 && p.edge < 2.0f) img.blend(ox + x, oy + y, kWhite, 0.7f);
      }
  } else {
    DrawGlint(img, ox, oy, -1.0f + float(row), 0.42f);
  }
}

// The lattice's outline of one cell and a dot at its centre: the empty field's look. It is
// drawn into the field frame, under the piece, never as a tile over it.
void DrawCellOutline(Image& img, int ox, int oy) {
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      DiamondPos p = Locate(x, y);
      if (p.edge >= 0 && p.edge < 1.0f) img.set(ox + x, oy + y, Col{46, 54, 86});
    }
  img.set(ox + 15, oy + 15, Col{40, 46, 72});
  img.set(ox + 16, oy + 16, Col{40, 46, 72});
}

// Three frames of a burst: a flash, a breaking star, scattered sparks.
void DrawErasing(Image& img, int ox, int oy, int frame) {
  auto clip = [](float x, float y) { return InDiamond(x, y); };
  float cx = float(ox) + 16, cy = float(oy) + 16;
  if (frame == 0) {
    DrawBevel(img, ox, oy, Col{255, 236, 170}, 0.45f);
    FillCircle(img, cx, cy, 7.0f, kWhite, 0.9f);
  } else if (frame == 1) {
    std::vector<Pt> star = Star(cx, cy, 15.0f, 5.0f, 8, 22.5f);
    FillRegion(img, ox, oy, ox + 32, oy + 32,
               [&](float x, float y) { return clip(x - float(ox), y - float(oy)) && InPolygon(star, x, y); },
               Col{255, 200, 90});
    FillCircle(img, cx, cy, 6.0f, Col{255, 250, 220});
    FillRing(img, cx, cy, 9.5f, 11.0f, Col{255, 255, 255}, 0.7f);
  } else {
    Rand rnd(77);
    for (int i = 0; i < 9; ++i) {
      float ang = float(i) * 2 * kPi / 9 + rnd.sym() * 0.3f;
      float rr = 8.0f + rnd.unit() * 4.0f;
      float sx = cx + std::cos(ang) * rr, sy = cy + std::sin(ang) * rr;
      if (!clip(sx - float(ox), sy - float(oy))) continue;
      FillPolygon(img, Star(sx, sy, 3.0f, 0.9f, 4, 0), Col{255, 240, 160});
    }
    FillRing(img, cx, cy, 12.5f, 13.6f, Col{255, 220, 150}, 0.55f);
    FillCircle(img, cx, cy, 2.0f, Col{255, 255, 230}, 0.8f);
  }
  // Nothing of the burst may leave the diamond.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (Locate(x, y).edge < 0) img.at(ox + x, oy + y) = kKey;
}

// The pivot marker: a ring with a dot, pulsing with the shimmer, transparent elsewhere.
void DrawPivotMarker(Image& img, int ox, int oy, int frame) {
  float cx = float(ox) + 16, cy = float(oy) + 16, r = 4.6f + float(frame) * 0.9f;
  FillRing(img, cx, cy, r - 0.6f, r + 2.2f, Col{20, 20, 36});
  FillRing(img, cx, cy, r, r + 1.5f, Col{255, 255, 255});
  FillCircle(img, cx, cy, 1.8f, Col{20, 20, 36});
  FillCircle(img, cx, cy, 1.2f, Col{255, 255, 255});
}

void DrawGarbage(Image& img, int ox, int oy, int row) {
  Col base{128, 124, 118};
  DrawBevel(img, ox, oy, base, row == 3 ? 0.25f : 0.0f);
  // Grain of the stone and one crack, the same in every frame.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      DiamondPos p = Locate(x, y);
      if (p.edge < 5.0f) continue;
      float n = ValueNoise(float(x), float(y), 3.0f, 19) - 0.5f;
      img.blend(ox + x, oy + y, n > 0 ? kWhite : kBlack, std::fabs(n) * 0.35f);
    }
  Col crack{60, 56, 52};
  DrawLine(img, {float(ox) + 10, float(oy) + 12}, {float(ox) + 15, float(oy) + 16}, 1.1f, crack);
  DrawLine(img, {float(ox) + 15, float(oy) + 16}, {float(ox) + 14, float(oy) + 21}, 1.1f, crack);
  DrawLine(img, {float(ox) + 15, float(oy) + 16}, {float(ox) + 21, float(oy) + 17}, 1.0f, crack);
  if (row < 3) DrawGlint(img, ox, oy, -1.0f + float(row), 0.15f);
}

// A small bevelled diamond `size` pixels across (odd), for the marks of announced garbage:
// a dark rim, the upper-left half lit, the lower-right half shaded.
void DrawMarkDiamond(Image& img, int ox, int oy, int size, Col base) {
  float half = float(size) / 2.0f;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = float(x) + 0.5f - half, dy = float(y) + 0.5f - half;
      float edge = half - (std::fabs(dx) + std::fabs(dy));
      if (edge < 0) continue;
      Col c;
      if (edge < 1.0f)
        c = Mix(base, kBlack, 0.65f);
      else if (edge < 2.5f)
        c = dx + dy < 0 ? Mix(base, kWhite, 0.45f) : Mix(base, kBlack, 0.35f);
      else
        c = base;
      img.set(ox + x, oy + y, c);
    }
}

// Column 7 (the wall code, never drawn in a field): the marks of garbage announced to a player.
// A block of stone for each block to come, a larger amber mark for a whole row of five, and a
// red one with a white star for five rows.
void DrawGarbageMarks(Image& img) {
  const int ox = 7 * 32;
  DrawMarkDiamond(img, ox, 0, 11, Col{156, 152, 146});
  DrawMarkDiamond(img, ox, 32, 13, Col{240, 150, 40});
  DrawMarkDiamond(img, ox, 64, 15, Col{214, 36, 56});
  FillPolygon(img, Star(float(ox) + 7.5f, 64 + 7.5f, 4.2f, 1.7f, 4, 0), kWhite);
}

Image MakeBlock() {
  Image img(320, 128);
  DrawGarbageMarks(img);
  for (int row = 0; row < 4; ++row) {
    int oy = row * 32;
    // Column 0, the empty cell, stays key colour: the field is drawn after the piece, so any
    // pixel of it would show over the piece. The lattice is in the field frame instead.
    for (int c = 1; c <= 5; ++c) DrawColourBlock(img, c * 32, oy, c, row);
    DrawErasing(img, 6 * 32, oy, row == 3 ? 0 : row);
    DrawPivotMarker(img, 8 * 32, oy, row == 3 ? 0 : row);
    DrawGarbage(img, 9 * 32, oy, row);
  }
  return img;
}

// ---------------------------------------------------------------- the word and digit sheet

struct Word {
  int l, t, r, b;
  const char* text;
  TextStyle style;
  bool onBar = false;  // a menu item: the highlight bar is drawn behind it at the same size
};

// Room left between a menu item's letters and the ends and edges of the highlight bar behind it.
constexpr int kBarMarginX = 10, kBarMarginY = 2;

TextStyle Style(uint32_t top, uint32_t bottom, uint32_t outline, float width) {
  TextStyle s;
  s.top = FromHex(top), s.bottom = FromHex(bottom), s.outline = FromHex(outline);
  s.outlineWidth = width;
  return s;
}

// The bar under the item at the cursor. It is cut from its left edge at many widths and from
// its top at three heights, so it is uniform along x and has no bottom border.
void DrawHighlightBar(Image& img) {
  const int l = 0, t = 552, r = 360, b = 594;
  for (int y = t; y < b; ++y) {
    float v = float(y - t) / float(b - t - 1);
    Col c = Mix(Col{86, 130, 226}, Col{34, 52, 128}, v);
    for (int x = l; x < r; ++x) {
      Col p = c;
      if (((x + y) / 3) % 4 == 0) p = Mix(p, kWhite, 0.06f);
      if (y == t) p = Col{176, 208, 255};
      if (x < 4) p = Mix(Col{255, 214, 110}, Col{230, 150, 40}, v);
      img.set(x, y, p);
    }
  }
}

void Bevel(Image& img, int l, int t, int r, int b, int width, Col light, Col dark);

bool MakeFont(TextSetter& ts, Image& img) {
  img = Image(360, 904);
  DrawHighlightBar(img);
  // The pause picture sits on a small dark plate so it reads over a busy field.
  img.fillRect(0, 594, 160, 632, Col{18, 22, 52});
  for (int x = 0; x < 160; ++x) img.set(x, 594, Col{140, 170, 240}), img.set(x, 631, Col{140, 170, 240});
  for (int y = 594; y < 632; ++y) img.set(0, y, Col{140, 170, 240}), img.set(159, y, Col{140, 170, 240});

  const TextStyle menu = Style(0xFFFBE6, 0xF6C65A, 0x1E1438, 2.5f);
  const TextStyle easy = Style(0xE6FFE6, 0x5AD27A, 0x0E2A16, 2.5f);
  const TextStyle normal = Style(0xE6F0FF, 0x649CFF, 0x0E1636, 2.5f);
  const TextStyle hard = Style(0xFFE8E0, 0xFF6E50, 0x360E0A, 2.5f);
  const TextStyle back = Style(0xF4F4F4, 0xA8B0C0, 0x1A1A24, 2.5f);
  const TextStyle p1 = Style(0xFFE0E0, 0xFF5A5A, 0x2E0A0A, 2.5f);
  const TextStyle p2 = Style(0xE0EAFF, 0x5A8CFF, 0x0A1230, 2.5f);
  const TextStyle cpu = Style(0xF0FFE0, 0x9CD23C, 0x14240A, 2.5f);
  const TextStyle label = Style(0xFFF2C8, 0xFFBE50, 0x24160A, 1.5f);
  const TextStyle chain = Style(0xFFFFC8, 0xFF9E28, 0x2A1200, 1.5f);
  const TextStyle over = Style(0xFFE0E0, 0xE62828, 0x280000, 3.0f);
  const TextStyle win = Style(0xFFFBD0, 0xFFC020, 0x2A1A00, 3.0f);
  const TextStyle lose = Style(0xE0E8FF, 0x6E82B4, 0x0E1224, 3.0f);
  const TextStyle ask = Style(0xFFFFFF, 0x78DCFF, 0x0A1A2E, 2.5f);
  const TextStyle yesno = Style(0xFFFFFF, 0xCFE8FF, 0x0A1A2E, 1.5f);
  const TextStyle pause = Style(0xFFFFFF, 0xB4C8FF, 0x0A0E28, 2.0f);
  TextStyle digit = Style(0xFFFFFF, 0xA0DCFF, 0x0A1432, 1.5f);
  digit.minStretch = 0.5f;

  const Word words[] = {
      {0, 0, 356, 41, "1 PLAYER GAME", menu, true},
      {0, 46, 232, 84, "VERSUS", menu, true},
      {0, 90, 289, 137, "QUIT GAME", menu, true},
      {0, 340, 320, 381, "VS COMPUTER", menu, true},
      {0, 381, 236, 416, "OPTIONS", menu, true},
      {0, 143, 133, 181, "EASY", easy, true},
      {0, 192, 217, 230, "NORMAL", normal, true},
      {0, 242, 144, 280, "HARD", hard, true},
      {0, 416, 61, 457, "1P", p1},
      {78, 416, 142, 457, "2P", p2},
      {190, 597, 274, 638, "CPU", cpu},
      {159, 416, 298, 457, "BACK", back, true},
      {258, 169, 355, 186, "CHAIN", chain},
      {244, 56, 324, 75, "SCORE", label},
      {0, 295, 303, 333, "GAME OVER", over},
      {220, 192, 354, 230, "WIN!", win},
      {176, 241, 355, 279, "LOSE", lose},
      {0, 505, 296, 546, "CONTINUE?", ask},
      {164, 462, 210, 483, "YES", yesno},
      {219, 462, 255, 483, "NO", yesno},
      {4, 597, 156, 629, "PAUSE", pause},
  };
  for (const Word& w : words) {
    int mx = w.onBar ? kBarMarginX : 0, my = w.onBar ? kBarMarginY : 0;
    if (!ts.Fit(img, w.l + mx, w.t + my, w.r - mx, w.b - my, w.text, w.style)) return false;
  }
  // The pause menu's items, as small as the continue question's answers, clear of the ends of
  // the bar cut at their width.
  const Word pauseItems[] = {
      {0, 459, 150, 480, "RETURN TO TITLE", yesno},
      {0, 482, 112, 503, "CONTINUE", yesno},
  };
  for (const Word& w : pauseItems)
    if (!ts.Fit(img, w.l + kBarMarginX, w.t, w.r - kBarMarginX, w.b, w.text, w.style)) return false;
  // The pause menu's plate, cut at any height: its top row is the edge, the rows below the inside
  // with its sides; the menu draws the top, the inside as often as it needs, and the top row again
  // as the bottom edge.
  img.fillRect(0, 632, 160, 640, Col{18, 22, 52});
  for (int x = 0; x < 160; ++x) img.set(x, 632, Col{140, 170, 240});
  for (int y = 632; y < 640; ++y) img.set(0, y, Col{140, 170, 240}), img.set(159, y, Col{140, 170, 240});
  // Tabs over the coming-piece boxes: a plate of their own, so they read over any background.
  const Word tabs[] = {{262, 459, 322, 479, "NEXT", label}, {262, 482, 322, 502, "NEXT 2", label}};
  for (const Word& w : tabs) {
    img.fillRect(w.l, w.t, w.r, w.b, Col{18, 22, 52});
    Bevel(img, w.l, w.t, w.r, w.b, 1, Col{156, 176, 230}, Col{46, 56, 104});
    if (!ts.Fit(img, w.l + 3, w.t + 2, w.r - 3, w.b - 1, w.text, w.style)) return false;
  }

  // The title menu's small items (options, records, replays, how to play: four abreast on the
  // title's panel), the pages' headings, the hidden level's name, and the game-over screen's
  // news of a record.
  const TextStyle hidden = Style(0xF8E6FF, 0xB46EFF, 0x1E0A36, 2.5f);
  const Word pages[] = {
      {0, 836, 96, 857, "OPTIONS", yesno, true},
      {0, 642, 104, 663, "RECORDS", yesno, true},
      {130, 642, 262, 663, "HOW TO PLAY", yesno, true},
      {110, 836, 214, 857, "REPLAYS", yesno, true},
      {0, 666, 260, 707, "RECORDS", menu},
      {0, 710, 340, 751, "HOW TO PLAY", menu},
      {0, 860, 260, 901, "REPLAYS", menu},
      {0, 754, 300, 792, "NEW RECORD!", win},
      {0, 796, 150, 834, "HIDDEN", hidden},
  };
  for (const Word& w : pages) {
    int mx = w.onBar ? kBarMarginX : 0;
    if (!ts.Fit(img, w.l + mx, w.t, w.r - mx, w.b, w.text, w.style)) return false;
  }

  static const int left[10] = {140, 161, 178, 197, 215, 236, 254, 273, 292, 311};
  static const int right[10] = {158, 176, 196, 215, 235, 253, 272, 291, 310, 330};
  for (int d = 0; d < 10; ++d) {
    char s[2] = {char('0' + d), 0};
    if (!ts.Fit(img, left[d], 139, right[d], 162, s, digit)) return false;
  }
  return true;
}

// ---------------------------------------------------------------- the field frame

void Bevel(Image& img, int l, int t, int r, int b, int width, Col light, Col dark) {
  for (int i = 0; i < width; ++i) {
    for (int x = l + i; x < r - i; ++x) img.set(x, t + i, light), img.set(x, b - 1 - i, dark);
    for (int y = t + i; y < b - i; ++y) img.set(l + i, y, light), img.set(r - 1 - i, y, dark);
  }
}

void Panel(Image& img, int l, int t, int r, int b, Col top, Col bottom) {
  for (int y = t; y < b; ++y) {
    Col c = Mix(top, bottom, float(y - t) / float(std::max(1, b - t - 1)));
    for (int x = l; x < r; ++x) img.set(x, y, c);
  }
}

// The game's field geometry: the tile of (slot, line) in field p has its top-left corner at
// x = kFieldOrigin[p] + 32 slot (+ 16 on odd lines), y = kLineTop + 16 line; slots 1..5 on even
// lines, 1..4 on odd ones, lines 0..16. The cells span 160 pixels across, from line -1 (where a
// satellite can show) to the bottom of line 16.
constexpr int kFieldOrigin[2] = {47, 336};
constexpr int kLineTop = 157;
constexpr int kCellsTop = kLineTop - 16, kCellsBottom = kLineTop + 16 * 16 + 32;

// The chain displays, tens digit to the label's end, of player 1 and player 2. They are drawn
// before the frame, so the frame leaves them transparent: each sits in a window of its own.
constexpr int kChainRect[2][4] = {{239, 181, 363, 224}, {242, 303, 366, 346}};

// The edge of an opening in the console, two pixels wide around the interior (l, t, r, b): a
// bright line outside and a shadow inside, on the sides asked for.
void SunkenEdge(Image& img, int l, int t, int r, int b, bool sides, Col line, Col shade) {
  int reach = sides ? 2 : 0;  // without sides, the rows end where the neighbours' sides begin
  for (int x = l - reach; x < r + reach; ++x) img.set(x, t - 2, line), img.set(x, b + 1, line);
  for (int x = l - reach / 2; x < r + reach / 2; ++x) img.set(x, t - 1, shade), img.set(x, b, Mix(shade, line, 0.35f));
  if (!sides) return;
  for (int y = t - 2; y < b + 2; ++y) img.set(l - 2, y, line), img.set(r + 1, y, line);
  for (int y = t - 1; y < b + 1; ++y) img.set(l - 1, y, shade), img.set(r, y, Mix(shade, line, 0.35f));
}

// A small diamond cut into the console: shadow on its upper left, light on its lower right.
void EngravedDiamond(Image& img, int cx, int cy, int radius, Col shade, Col lit) {
  for (int y = cy - radius; y <= cy + radius; ++y)
    for (int x = cx - radius; x <= cx + radius; ++x) {
      float d = std::fabs(float(x - cx)) + std::fabs(float(y - cy));
      if (d > float(radius) || d < float(radius) - 1.5f) continue;
      img.set(x, y, (x - cx) + (y - cy) < 0 ? shade : lit);
    }
}

Image MakeField() {
  Image img(640, 480);
  const Col light{156, 176, 230}, dark{46, 56, 104}, plate{18, 20, 42}, plate2{10, 12, 28};
  const Col metal{44, 52, 96}, metal2{28, 32, 66}, shade{14, 16, 34}, outline{20, 20, 30};
  const Col edge = Mix(light, dark, 0.25f);
  // One raised console around both fields and the column between them.
  const int cl = 72, ct = kCellsTop - 7, cr = 535, cb = kCellsBottom + 7;
  img.fillRect(cl, ct, cr, cb, outline);
  Bevel(img, cl + 1, ct + 1, cr - 1, cb - 1, 3, light, dark);
  Panel(img, cl + 4, ct + 4, cr - 4, cb - 4, metal, metal2);
  // The two wells with the lattice of cells drawn in, each with a sunken edge. Player 1's right
  // edge lies on the cells' last two columns, which only the tips of the blocks in slot 5
  // reach: the column beside it belongs to the chain display.
  for (int p = 0; p < 2; ++p) {
    int l = kFieldOrigin[p] + 32, r = l + 160;
    if (p == 0) r -= 2;
    Panel(img, l, kCellsTop, r, kCellsBottom, plate, plate2);
    for (int line = 0; line <= 16; ++line)
      for (int slot = 1; slot <= (line % 2 ? 4 : 5); ++slot)
        DrawCellOutline(img, kFieldOrigin[p] + 32 * slot + (line % 2 ? 16 : 0), kLineTop + 16 * line);
    SunkenEdge(img, l, kCellsTop, r, kCellsBottom, true, edge, shade);
  }
  // The column between the wells: a window for each chain display, its sides the wells' edges.
  const int wl = kFieldOrigin[0] + 32 + 160, wr = kFieldOrigin[1] + 32 - 2;
  int below = kCellsTop;
  for (const auto& c : kChainRect) {
    int t = c[1] - 3, b = c[3] + 3;
    // A mark in the middle of the plate above the window.
    EngravedDiamond(img, (wl + wr) / 2, (below + t - 2) / 2, 6, shade, Mix(metal, light, 0.45f));
    img.clearRect(wl, t, wr, b);
    SunkenEdge(img, wl, t, wr, b, false, edge, shade);
    below = b + 2;
  }
  EngravedDiamond(img, (wl + wr) / 2, (below + kCellsBottom) / 2, 6, shade, Mix(metal, light, 0.45f));
  // Coming-piece boxes: the next piece and the one after, for each player.
  const int boxes[4][2] = {{135, 66}, {38, 63}, {407, 66}, {504, 63}};
  for (int i = 0; i < 4; ++i) {
    int l = boxes[i][0] - 4, t = boxes[i][1] - 4, r = boxes[i][0] + 68, b = boxes[i][1] + 52;
    Panel(img, l, t, r, b, plate, plate2);
    Bevel(img, l - 3, t - 3, r + 3, b + 3, 3, i % 2 == 0 ? light : Mix(light, dark, 0.4f), dark);
  }
  // Score plate: player 1's label and number on the left half, player 2's on the right.
  Panel(img, 205, 10, 401, 68, plate, plate2);
  Bevel(img, 202, 7, 404, 71, 3, light, dark);
  for (int y = 14; y < 64; ++y) img.set(302, y, dark), img.set(303, y, Mix(light, dark, 0.5f));
  return img;
}

// ---------------------------------------------------------------- backgrounds and title

Image MakeEasyBack() {
  Image img(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float v = float(y) / 479.0f;
      Col c = Mix(Col{112, 160, 196}, Col{160, 204, 184}, v);
      float n = ValueNoise(float(x), float(y), 90.0f, 3) * 0.6f + ValueNoise(float(x), float(y), 36.0f, 4) * 0.4f;
      c = Mix(c, Col{236, 244, 240}, std::max(0.0f, n - 0.5f) * 0.5f);
      img.set(x, y, c);
    }
  Rand rnd(11);
  for (int i = 0; i < 26; ++i) {
    float x = rnd.unit() * 640, y = rnd.unit() * 480, r = 10 + rnd.unit() * 30;
    FillCircle(img, x, y, r, Col{250, 252, 240}, 0.10f + rnd.unit() * 0.08f);
  }
  return img;
}

Image MakeNormalBack() {
  Image img(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float v = float(y) / 479.0f;
      Col c = Mix(Col{52, 66, 140}, Col{150, 84, 140}, v);
      // A faint diamond lattice, the game's own motif.
      float u = std::fmod(float(x + y) + 1000.0f, 48.0f), w = std::fmod(float(x - y) + 1000.0f, 48.0f);
      if (u < 2.0f || w < 2.0f) c = Mix(c, kWhite, 0.16f);
      float n = ValueNoise(float(x), float(y), 60.0f, 5);
      c = Mix(c, Col{255, 200, 230}, n * 0.16f);
      img.set(x, y, c);
    }
  return img;
}

Image MakeHardBack() {
  Image img(640, 480);
  const float cx = 320, cy = -60;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float v = float(y) / 479.0f;
      Col c = Mix(Col{110, 18, 24}, Col{232, 112, 30}, v);
      float ang = std::atan2(float(y) - cy, float(x) - cx);
      float ray = std::sin(ang * 18.0f);
      c = ray > 0 ? Mix(c, Col{255, 190, 90}, 0.22f * ray) : Mix(c, Col{40, 0, 10}, -0.18f * ray);
      float n = ValueNoise(float(x), float(y), 70.0f, 7) * 0.6f + ValueNoise(float(x), float(y), 23.0f, 8) * 0.4f;
      c = Mix(c, Col{60, 0, 10}, (1.0f - n) * 0.18f);
      img.set(x, y, c);
    }
  // Embers rising through the rays.
  Rand rnd(29);
  for (int i = 0; i < 70; ++i) {
    float x = rnd.unit() * 640, y = rnd.unit() * 480, r = 1.2f + rnd.unit() * 2.2f;
    FillCircle(img, x, y, r * 3.0f, Col{255, 170, 60}, 0.12f);
    FillCircle(img, x, y, r, Col{255, 240, 190}, 0.75f);
  }
  return img;
}

Image MakeBlackBack() {
  Image img(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float v = float(y) / 479.0f;
      Col c = Mix(Col{8, 8, 16}, Col{16, 10, 28}, v);
      float n = ValueNoise(float(x), float(y), 120.0f, 9) * ValueNoise(float(x), float(y), 40.0f, 10);
      c = Mix(c, Col{70, 30, 110}, n * 0.45f);
      img.set(x, y, c);
    }
  Rand rnd(23);
  for (int i = 0; i < 220; ++i) {
    int x = int(rnd.unit() * 640), y = int(rnd.unit() * 480);
    float b = 0.25f + rnd.unit() * 0.6f;
    img.blend(x, y, Col{230, 230, 255}, b);
    if (b > 0.7f) {
      img.blend(x + 1, y, Col{200, 200, 255}, b * 0.35f);
      img.blend(x - 1, y, Col{200, 200, 255}, b * 0.35f);
      img.blend(x, y + 1, Col{200, 200, 255}, b * 0.35f);
      img.blend(x, y - 1, Col{200, 200, 255}, b * 0.35f);
    }
  }
  return img;
}

bool MakeTitle(TextSetter& ts, const Image& block, Image& img) {
  img = Image(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      Col c = Mix(Col{14, 18, 50}, Col{34, 20, 62}, float(y) / 479.0f);
      float n = ValueNoise(float(x), float(y), 80.0f, 31);
      img.set(x, y, Mix(c, Col{60, 70, 140}, n * 0.25f));
    }
  // The lattice motif: a wave of blocks across the top, fading towards the edges.
  Image band(640, 140);
  for (int line = 0; line < 7; ++line)
    for (int slot = -1; slot < 21; ++slot) {
      int x = slot * 32 + (line % 2 ? 16 : 0), y = line * 16;
      float wave = std::sin(float(x) / 640.0f * 2 * kPi * 1.5f) * 1.8f + 3.5f;
      if (float(line) > wave + 1.6f || float(line) < wave - 2.2f) continue;
      int colour = 1 + ((slot * 3 + line * 2 + 40) % 5);
      band.blitRect(block, colour * 32, ((slot + line) % 3) * 32, colour * 32 + 32,
                    ((slot + line) % 3) * 32 + 32, x, y, true);
    }
  for (int y = 0; y < band.h; ++y)
    for (int x = 0; x < band.w; ++x) {
      if (band.at(x, y) == kKey) continue;
      float edge = std::min(float(x), float(639 - x)) / 160.0f;
      float a = std::clamp(edge, 0.15f, 1.0f) * 0.85f;
      img.blend(x, y + 14, ToCol(band.at(x, y)), a);
    }
  // Calm panel where the menu is drawn (x 123..500, y 234..425).
  for (int y = 228; y < 436; ++y)
    for (int x = 100; x < 540; ++x) {
      float ex = std::min(float(x - 100), float(539 - x)) / 24.0f;
      float ey = std::min(float(y - 228), float(435 - y)) / 24.0f;
      float a = std::clamp(std::min(ex, ey), 0.0f, 1.0f) * 0.55f;
      img.blend(x, y, Col{8, 10, 30}, a);
    }
  TextStyle title = Style(0xFFF6D2, 0xF0A832, 0x1A0C30, 4.0f);
  title.maxStretch = 1.15f;
  // A soft shadow under the title, then the title itself.
  TextStyle shadow = Style(0x06060C, 0x06060C, 0x06060C, 4.0f);
  shadow.maxStretch = 1.15f;
  Image shade(640, 480);
  if (!ts.Fit(shade, 44, 130, 604, 220, "Quorbistane", shadow, true)) return false;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (!(shade.at(x, y) == kKey)) img.blend(x + 4, y + 5, Col{4, 4, 10}, 0.6f);
  if (!ts.Fit(img, 44, 130, 604, 220, "Quorbistane", title, true)) return false;
  TextStyle help = Style(0xC8D2F0, 0x8C9AC8, 0x0A0C1E, 1.0f);
  help.maxStretch = 1.0f;
  return ts.Fit(img, 130, 446, 510, 466, "1P  \u2191 \u2193 X      2P  W S J      Esc  quit", help);
}

// ---------------------------------------------------------------- review sheet

void Checker(Image& img, int l, int t, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool odd = ((x / 8) + (y / 8)) % 2;
      img.at(l + x, t + y) = odd ? Rgb{96, 96, 104} : Rgb{64, 64, 72};
    }
}

void Place(Image& sheet, const Image& pic, int x, int y, int scale) {
  Image s = scale > 1 ? pic.scaled(scale) : pic;
  Checker(sheet, x, y, s.w, s.h);
  sheet.blit(s, x, y, true);
}

// A game frame as the game composes it: background, frame, blocks, words and numbers.
Image MockGame(const PictureSet& p) {
  Image f = p.back[2];
  auto draw = [&](const Image& src, int x, int y, int l, int t, int r, int b) { f.blitRect(src, l, t, r, b, x, y, true); };
  auto tile = [&](int c, int row, int x, int y) { draw(p.block, x, y, c * 32, row * 32, c * 32 + 32, row * 32 + 32); };
  static const int left[10] = {140, 161, 178, 197, 215, 236, 254, 273, 292, 311};
  static const int right[10] = {158, 176, 196, 215, 235, 253, 272, 291, 310, 330};
  auto number = [&](int x, int y, int v) {
    int div = 10000, adv = 0;
    for (int i = 0; i < 5; ++i, div /= 10) {
      int d = (v / div) % 10;
      draw(p.font, x + adv, y, left[d], 139, right[d], 162);
      adv += right[d] - left[d];
    }
  };
  draw(p.font, 239, 181, left[1], 139, right[1], 162);
  draw(p.font, 256, 181, left[2], 139, right[2], 162);
  draw(p.font, 266, 207, 258, 169, 355, 186);
  draw(p.font, 259, 303, left[3], 139, right[3], 162);
  draw(p.font, 269, 329, 258, 169, 355, 186);
  draw(p.field, 0, 0, 0, 0, 640, 480);
  for (int pl = 0; pl < 2; ++pl) {
    int fx = pl == 0 ? 47 : 336;
    for (int line = 0; line <= 16; ++line)
      for (int slot = 1; slot <= (line % 2 ? 4 : 5); ++slot) {
        int code = 0;
        if (line >= 11) code = 1 + (slot * 7 + line * 3 + pl) % 5;
        if (line == 10 && slot == 2) code = 9;
        if (line == 12 && slot == 3) code = 6;
        int row = code == 6 ? 1 : (line == 16 && slot == 1 ? 3 : line % 3);
        tile(code, row, fx + 32 * slot + (line % 2 ? 16 : 0), 157 + 16 * line);
      }
    int px = fx + 96, py = 157 + 32;
    tile(3, 0, px, py);
    tile(8, 0, px, py);
    tile(1, 0, px - 16, py + 16);
    tile(4, 0, px + 16, py + 16);
    draw(p.font, pl == 0 ? 214 : 311, 16, 244, 56, 324, 75);
    number(pl == 0 ? 209 : 306, 40, pl == 0 ? 4780 : 12039);
    int nx = pl == 0 ? 135 : 407, ax = pl == 0 ? 38 : 504;
    tile(2, 0, nx + 16, 66), tile(5, 0, nx, 82), tile(2, 0, nx + 32, 82);
    tile(4, 0, ax + 16, 63), tile(1, 0, ax, 79), tile(3, 0, ax + 32, 79);
    draw(p.font, nx + 2, 39, 262, 459, 322, 479);
    draw(p.font, ax + 2, 36, 262, 482, 322, 502);
  }
  // Garbage announced to player 2: a row of five and three single blocks.
  draw(p.block, 368, 122, 224, 32, 237, 45);
  for (int i = 0; i < 3; ++i) draw(p.block, 383 + 13 * i, 123, 224, 0, 235, 11);
  draw(p.font, 4, 135, 0, 416, 61, 457);
  draw(p.font, 544, 135, 78, 416, 142, 457);
  draw(p.font, 371, 234, 0, 594, 160, 632);
  return f;
}

Image MockMenu(const PictureSet& p) {
  Image f = p.title;
  auto draw = [&](int x, int y, int l, int t, int r, int b) { f.blitRect(p.font, l, t, r, b, x, y, true); };
  draw(142, 240, 0, 552, 356, 593);
  draw(142, 240, 0, 0, 356, 41);
  draw(204, 287, 0, 46, 232, 84);
  draw(160, 332, 0, 340, 320, 381);
  draw(175, 378, 0, 90, 289, 137);
  return f;
}

}  // namespace

bool MakePictures(TextSetter& ts, PictureSet& out) {
  out.block = MakeBlock();
  out.field = MakeField();
  out.back[0] = MakeEasyBack();
  out.back[1] = MakeNormalBack();
  out.back[2] = MakeHardBack();
  out.back[3] = MakeBlackBack();
  if (!MakeTitle(ts, out.block, out.title)) return false;
  return MakeFont(ts, out.font);
}

Image MakeIconArt(const Image& block) {
  Image art(64, 64);
  // Tiles of the sheet's first row: colour c at column c, the pivot marker at column 8.
  auto tile = [&](int column, int x, int y) { art.blitRect(block, column * 32, 0, column * 32 + 32, 32, x, y, true); };
  tile(1, 0, 24);
  tile(4, 32, 24);
  tile(3, 16, 8);
  tile(8, 16, 8);
  return art;
}

Image MakeContactSheet(const PictureSet& p) {
  // Tiles x4 and the word sheet x1 on top; the word sheet x2 down the left; the whole-screen
  // pictures and the two mock-ups in two columns on the right.
  Image sheet(2140, 2800, Rgb{30, 30, 36});
  Place(sheet, p.block, 40, 40, 4);
  Place(sheet, p.font, 1360, 40, 1);
  Place(sheet, p.font, 40, 720, 2);
  Place(sheet, p.field, 800, 720, 1);
  Place(sheet, p.title, 1460, 720, 1);
  Place(sheet, MockGame(p), 800, 1240, 1);
  Place(sheet, MockMenu(p), 1460, 1240, 1);
  Place(sheet, p.back[0], 800, 1760, 1);
  Place(sheet, p.back[1], 1460, 1760, 1);
  Place(sheet, p.back[2], 800, 2280, 1);
  Place(sheet, p.back[3], 1460, 2280, 1);
  return sheet;
}

}  // namespace assetgen
