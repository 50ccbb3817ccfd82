#pragma once
// The game's eight pictures and the review sheet that shows them together.
#include "image.h"
#include "text.h"

namespace assetgen {

struct PictureSet {
  Image block, field, back[4], title, font;  // back: Easy, Normal, Hard, black
};

bool MakePictures(TextSetter& text, PictureSet& out);
// All pictures on one sheet (key colour shown as a chequer, tiles enlarged), with a mock-up of
// a game frame and of the menu composed from them at their screen positions.
Image MakeContactSheet(const PictureSet& p);

// The program's icon, 64 x 64: a piece of the block sheet (the pivot with its marker over the
// two satellites) on the key colour, which stands for transparency.
Image MakeIconArt(const Image& block);

// Tile geometry shared by the picture code: is the point (tile pixel coordinates) inside the
// diamond whose corners touch the middles of the 32 x 32 tile's edges?
inline bool InDiamond(float x, float y) {
  float dx = x - 16.0f, dy = y - 16.0f;
  return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) <= 16.0f;
}

}  // namespace assetgen
