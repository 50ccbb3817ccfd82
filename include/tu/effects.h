#pragma once
// Software effect blitters: per-pixel copies of a sprite onto the back buffer, rotations,
// rectangle fills and filters over areas of the back buffer. Included from draw/tuDraw.h.
//
// They work on 16-bit desktops (5-6-5 or 5-5-5) through the tables built by tuDraw::Screen; on
// any other depth, before tuDraw::Screen, or for a sprite id without a surface they draw
// nothing and return 0. They also return 0 when a surface cannot be locked (a lost surface);
// otherwise 1, also when clipping leaves nothing to draw.
//
// Sprite copies take (x, y, id, left, top, right, bottom) like tuDraw::Draw, followed by their
// own parameters. Every walk is clipped to clipRect, to the back buffer and to the sprite, so
// no member reads or writes outside either surface. A source pixel of value 0 is transparent.
// Components are the 5-bit values of rgbOfPixel unless a member says otherwise.
#include <cstdint>

namespace tuDraw {

// ---- Sprite copies
// 50 % translucency: ((s >> 1) & halfMask) + ((d >> 1) & halfMask).
int DrawHalf(int x, int y, int id, int left, int top, int right, int bottom);
// Per raw channel trunc(alpha * s + (1 - alpha) * d); alpha is held to 0..1.
int DrawAlpha(int x, int y, int id, int left, int top, int right, int bottom, float alpha);
int DrawAlphaRGB(int x, int y, int id, int left, int top, int right, int bottom, float red,
                 float green, float blue);
// Cross-fade through fadeAddTable: level 0 keeps the destination, 31 gives the source.
// Levels are held to 0..31.
int DrawFade(int x, int y, int id, int left, int top, int right, int bottom, int level);
int DrawFadeRGB(int x, int y, int id, int left, int top, int right, int bottom, int redLevel,
                int greenLevel, int blueLevel);
// Additive: min(d + s, 31) per component.
int DrawAdd(int x, int y, int id, int left, int top, int right, int bottom);
// fadeSatTable at level trunc(31 - 31 * amount): 1 is additive, 0 replaces the destination.
int DrawAddLevel(int x, int y, int id, int left, int top, int right, int bottom, float amount);
// Subtractive: max(d - s, 0) per component.
int DrawSub(int x, int y, int id, int left, int top, int right, int bottom);
// Subtractive with the source scaled first by level / 31 (levels held to 0..31): 31 is DrawSub,
// 0 leaves the destination as it is.
int DrawSubLevel(int x, int y, int id, int left, int top, int right, int bottom, int level);
int DrawSubRGB(int x, int y, int id, int left, int top, int right, int bottom, int redLevel,
               int greenLevel, int blueLevel);
// Grey g = avg3Table[r + g + b] of the source, written as (g, g, g).
int DrawGrey(int x, int y, int id, int left, int top, int right, int bottom);
// d = s AND the raw masks of the channels whose flag is not 0.
int DrawMask(int x, int y, int id, int left, int top, int right, int bottom, int red, int green,
             int blue);
// Each pixel becomes the average of its non-transparent 8 neighbours inside the source
// rectangle; with fewer than 2 of them it is copied.
int DrawSoft(int x, int y, int id, int left, int top, int right, int bottom);
// Box average over the non-transparent pixels of the (2 size + 1) square around each pixel,
// inside the source rectangle; size is held to 0..8 (0 copies).
int DrawBlur(int x, int y, int id, int left, int top, int right, int bottom, int size);
// Every component times the factor, truncated and held to 0..31 (negative factors give 0).
int DrawBright(int x, int y, int id, int left, int top, int right, int bottom, float factor);
int DrawBrightRGB(int x, int y, int id, int left, int top, int right, int bottom, float red,
                  float green, float blue);
// Source multiplied per component by the factors (or, with useGrey, its grey first), each
// result held to low..high (5-bit values).
int DrawTint(int x, int y, int id, int left, int top, int right, int bottom, float red,
             float green, float blue, int useGrey, int low, int high);
// The destination faded toward the source (or, with useGrey, toward its grey) through
// fadeAddTable with a level per channel, each result held to low..high (5-bit values).
int DrawTintFade(int x, int y, int id, int left, int top, int right, int bottom, int redLevel,
                 int greenLevel, int blueLevel, int useGrey, int low, int high);
// Swirl around the centre of the copy: a pixel at distance r and angle a from the centre takes
// the source at angle a + amplitude (degrees) * cos(r * frequency + phase), same distance.
int DrawSwirl(int x, int y, int id, int left, int top, int right, int bottom, int amplitude,
              float frequency, float phase);
// Types of DrawStrip: which source edges are taken from the screen size.
constexpr int kStripRight = 0;   // the right edge
constexpr int kStripBottom = 1;  // the bottom edge
constexpr int kStripBoth = 2;    // both
// Keyed copy with the edges of a kStrip... type; any other type draws nothing and returns 1.
int DrawStrip(int x, int y, int id, int left, int top, int right, int bottom, int type);
// fadeSatTable copy at level trunc(31 - 31 * amount) (as DrawAddLevel) whose row r reads the
// source shifted right by offsets[r % count] pixels, wrapping within the source rectangle.
// A null table or count < 1 means no offsets.
int DrawRowOffset(int x, int y, int id, int left, int top, int right, int bottom, float amount,
                  const int* offsets, int count);
// Plain copy of the 16-bit words between the locked surfaces.
int DrawCopy16(int x, int y, int id, int left, int top, int right, int bottom);
// Flags of DrawNoise.
constexpr int kNoiseFromStart = 1;  // read randomTable from its start instead of a rand() position
constexpr int kNoiseDissolve = 2;   // leave the destination alone where n is 0
// Noise: each source pixel is faded toward `color` (a 16-bit pixel value) by level * n / 2,
// n = 0..2 read from randomTable (level held to 0..31); `flags` kNoise... bits.
int DrawNoise(int x, int y, int id, int left, int top, int right, int bottom, int color,
              int level, int flags);

// ---- Rotations into a destination rectangle, about both rectangles' centres. The angle is in
// whole degrees, clockwise on screen; the source pixel of each destination pixel is found in
// fixed point with scale 360 through sinTable. Points outside the source rectangle are skipped.
int DrawRotate(int destLeft, int destTop, int destRight, int destBottom, int angle, int id,
               int left, int top, int right, int bottom);
// The picture scaled by `scale` (> 0; 2 doubles it) as well.
int DrawRotateScaled(int destLeft, int destTop, int destRight, int destBottom, int angle,
                     float scale, int id, int left, int top, int right, int bottom);
// Every non-transparent pixel drawn in `color` (a 16-bit pixel value): a silhouette.
int DrawRotateColor(int destLeft, int destTop, int destRight, int destBottom, int angle,
                    int color, int id, int left, int top, int right, int bottom);
int DrawRotateScaledColor(int destLeft, int destTop, int destRight, int destBottom, int angle,
                          float scale, int color, int id, int left, int top, int right,
                          int bottom);

// ---- Rectangles of the back buffer (left, top, right, bottom), cut to the back buffer
int FillRect(int left, int top, int right, int bottom);  // pixel value 0
// Outline one pixel wide in pixel value 0.
int FrameRect(int left, int top, int right, int bottom);
int FillScreenWhite();
int FillRectWhite(int left, int top, int right, int bottom);
int FillRectValue(int left, int top, int right, int bottom, int value);
// Halves every channel `value` times (held to 0..6: six make any pixel black), within
// clipRect as well.
int DarkenRect(int left, int top, int right, int bottom, int value);

// The fadeAddTable mix of two pixel values at a level 0..31 (as DrawFade: 0 gives
// `destination`, 31 `source`). Touches no surface; 0 on another depth.
int MixPixels(int destination, int source, int level);

// ---- Filters over an area of the back buffer (x, y, width, height), cut to clipRect and the
// back buffer.
// Rising smoke: inner pixels picked by a randomTable pattern (from a rand() position) write
// the average of their four neighbours into the pixel above.
int Smoke(int x, int y, int width, int height);
// The same with flags: fade takes 1 off each component of what rises, drift moves it one
// column left or right as the pattern says, dense treats every inner pixel.
int SmokeFlags(int x, int y, int width, int height, int fade, int drift, int dense);
// Smoke fed from below: before it rises, pattern-picked pixels of the area's bottom row
// become `color` (a 16-bit pixel value, 0 = no feed).
int SmokeFeed(int color, int x, int y, int width, int height);
int SmokeFeedFlags(int color, int x, int y, int width, int height, int fade, int drift,
                   int dense);
// Magnifiers: the middle half of each row is doubled horizontally into the Buffer sprite
// (plain doubling, or with blend a neighbour average between the copies) and drawn back with
// DrawOpaque. MagnifyWide keeps the rows; Magnify also doubles the middle half of the rows.
int MagnifyWide(int x, int y, int width, int height, int blend);
int Magnify(int x, int y, int width, int height, int blend);
// Mosaic of the square (x - r, y - r) .. (x + r, y + r), cut to the screen and clipRect: each
// c x c block, counted from the square's corner, takes the colour of its first pixel.
int Mosaic(int x, int y, int r, int c);
// Every component c becomes 31 - c.
int Invert(int x, int y, int width, int height);
// Relief: every component becomes 16 + c - (the component of the upper-left neighbour), held
// to 0..31; the top row and left column of the area stay.
int Emboss(int x, int y, int width, int height);

}  // namespace tuDraw
