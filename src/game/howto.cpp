// The HOW TO PLAY page: each move with a picture of blocks and the keys that make it.
#include <cstdio>

#include <tu/tuDraw.h>

#include "game/assets.h"
#include "game/model.h"
#include "game/output.h"
#include "game/pages.h"
#include "game/settings.h"

namespace {

constexpr uint32_t kTitleColor = 0x5AC6F6, kKeyColor = 0xFFFFFF, kTextColor = 0xDCD2C8;
constexpr int kRowTop = 58, kRowHeight = 57;
constexpr int kTextLeft = 196;

// The tile of block code `code` (row 0 of the shimmer) with its top-left corner at (x, y).
void Tile(int x, int y, int code) {
  gameout::Draw(x, y, assets.blockSprite, 32 * code, 0, 32 * code + 32, 32);
}

// A piece as it enters: the pivot (with its marker) above, the satellites below left and right.
void Piece(int x, int y, const int colors[3]) {
  Tile(x + 16, y, colors[0]);
  Tile(x + 16, y, 8);
  Tile(x, y + 16, colors[1]);
  Tile(x + 32, y + 16, colors[2]);
}

void Arrow(int x, int y, const char* arrow) { PageText(x, y, x + 30, y + 30, arrow, kKeyColor, tuDraw::kAlignCentre, 22); }

// A piece key of both players: "Left  (2P: A)".
void Keys(char* out, size_t size, int k1, int k2) {
  snprintf(out, size, "%s / %s   (2P: %s / %s)", PageKeyName(PieceKey(0, k1)), PageKeyName(PieceKey(0, k2)),
           PageKeyName(PieceKey(1, k1)), PageKeyName(PieceKey(1, k2)));
}

void Row(int index, const char* title, const char* keys, const char* text) {
  int y = kRowTop + kRowHeight * index;
  PageText(kTextLeft, y + 4, 632, y + 22, title, kTitleColor, tuDraw::kAlignLeft, 15);
  int w = 0;
  tuDraw::BeginTextFace("DejaVu Sans", 15, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::MeasureText(title, &w, nullptr);
  tuDraw::EndText();
  PageText(kTextLeft + w + 14, y + 5, 632, y + 22, keys, kKeyColor, tuDraw::kAlignLeft, 13);
  PageText(kTextLeft, y + 24, 632, y + 56, text, kTextColor, tuDraw::kAlignLeft, 12);
}

}  // namespace

void HowToPage() {
  PageFrame(0, 710, 340, 751);
  const int piece[3] = {1, 2, 3};
  char keys[96];
  int y = kRowTop;

  Piece(72, y, piece);
  Arrow(28, y + 8, "\xE2\x86\x90");   // left arrow
  Arrow(148, y + 8, "\xE2\x86\x92");  // right arrow
  Keys(keys, sizeof keys, 0, 1);
  Row(0, "MOVE", keys, "Moves the piece one block left or right; held, it keeps moving.");

  y += kRowHeight;
  Piece(72, y, piece);
  Arrow(148, y + 8, "\xE2\x86\x93");  // down arrow
  snprintf(keys, sizeof keys, "%s   (2P: %s)", PageKeyName(PieceKey(0, 2)), PageKeyName(PieceKey(1, 2)));
  Row(1, "FALL FASTER", keys, "The piece drops while the key is held and is set where it lands.");

  y += kRowHeight;
  Piece(72, y, piece);
  Arrow(28, y + 8, "\xE2\x86\xBB");   // clockwise
  Arrow(148, y + 8, "\xE2\x86\xBA");  // anticlockwise
  Keys(keys, sizeof keys, 3, 4);
  Row(2, "TURN", keys, "Turns the three blocks around the marked one, clockwise or anticlockwise.");

  y += kRowHeight;
  // The way left is shut on the piece's line; below the block in the way it is open.
  Tile(56, y, kGarbage);
  Piece(72, y, piece);
  Arrow(26, y + 26, "\xE2\x86\x99");  // down and left
  Keys(keys, sizeof keys, 0, 1);
  Row(3, "SLIDE", keys,
      "Hold a move key against a block above the way: as the piece falls it slides half a block "
      "down and under the overhang.");

  y += kRowHeight;
  Tile(40, y + 20, 4);
  Tile(56, y + 4, 4);
  Tile(72, y + 20, 4);
  Tile(88, y + 4, 4);
  Tile(104, y + 20, 6);
  Row(4, "CHAINS", "",
      "Four or more touching blocks of one colour vanish. Blocks that fall into new groups chain: "
      "every step scores more.");

  y += kRowHeight;
  Tile(40, y + 8, kGarbage);
  Tile(72, y + 8, kGarbage);
  gameout::Draw(120, y + 4, assets.blockSprite, 224, 0, 235, 11);
  gameout::Draw(136, y + 3, assets.blockSprite, 224, 32, 237, 45);
  gameout::Draw(154, y + 2, assets.blockSprite, 224, 64, 239, 79);
  Row(5, "GARBAGE", "",
      "Chains send grey blocks to the other field; marks above it show what will fall. Grey "
      "blocks take colours as they land.");

  y += kRowHeight;
  snprintf(keys, sizeof keys, "%s   (2P: %s)", PageKeyName(BoundKey(0, kActPause)), PageKeyName(BoundKey(1, kActPause)));
  Row(6, "PAUSE", keys, "Pauses both players; the first field to fill up loses.");
}
