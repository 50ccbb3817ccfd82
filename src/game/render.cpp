// Drawing of the game: numbers, each player's field, piece and coming pieces, the labels.
#include <utility>

#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/model.h"
#include "game/output.h"
#include "game/settings.h"

namespace {

constexpr int kDigitLeft[10] = {140, 161, 178, 197, 215, 236, 254, 273, 292, 311};
constexpr int kDigitRight[10] = {158, 176, 196, 215, 235, 253, 272, 291, 310, 330};

void DrawDigit(int x, int y, int d) { gameout::Draw(x, y, assets.fontSprite, kDigitLeft[d], 139, kDigitRight[d], 162); }

void DrawTile(int x, int y, int code, int row) {
  gameout::Draw(x, y, assets.blockSprite, 32 * code, 32 * row, 32 * code + 32, 32 * row + 32);
}

struct PlayerLayout {
  int chainTensX, chainTensY, chainUnitsX, chainUnitsY, chainLabelX, chainLabelY;
  int scoreLabelX, scoreNumberX;
  int next[6][2];
};

constexpr PlayerLayout kLayout[2] = {
    {239, 181, 256, 181, 266, 207, 214, 209, {{151, 66}, {135, 82}, {167, 82}, {54, 63}, {38, 79}, {70, 79}}},
    {242, 303, 259, 303, 269, 329, 311, 306, {{423, 66}, {407, 82}, {439, 82}, {520, 63}, {504, 79}, {536, 79}}},
};

// Tabs on top of each player's coming-piece boxes: the next piece, then the one after.
constexpr int kNextTabs[2][2][2] = {{{137, 39}, {40, 36}}, {{409, 39}, {506, 36}}};
constexpr int kNextTabSource[2][4] = {{262, 459, 322, 479}, {262, 482, 322, 502}};

// Announced garbage: marks from block.bmp's column 7 in the strip between the coming-piece boxes
// and the top of the field frame (the largest reaches onto its rim), from the field's left edge
// to its right.
struct MarkArt {
  int top, size, y;
};
constexpr MarkArt kFiveRowsMark{64, 15, 121}, kRowMark{32, 13, 122}, kSingleMark{0, 11, 123};
constexpr int kMarkLeft = 7 * 32, kMarkGap = 2;

void DrawGarbageMarks(int pl) {
  const PlayerState& p = game.player[pl];
  if (p.garbageIn <= 0) return;
  GarbageMarks m = MarksFor(p.garbageIn);
  int x = CellX(pl, 1, 0), right = CellX(pl, 5, 0) + 32;
  const std::pair<int, MarkArt> kinds[3] = {{m.fiveRows, kFiveRowsMark}, {m.rows, kRowMark}, {m.singles, kSingleMark}};
  for (const auto& [count, art] : kinds)
    for (int i = 0; i < count; ++i) {
      // More than the strip holds (only from a count set from outside) is cut at its end.
      if (x + art.size > right) return;
      gameout::Draw(x, art.y, assets.blockSprite, kMarkLeft, art.top, kMarkLeft + art.size, art.top + art.size);
      x += art.size + kMarkGap;
    }
}

void DrawNextLabels(int pl) {
  for (int k = 0; k < 2; ++k) {
    const int* src = kNextTabSource[k];
    gameout::Draw(kNextTabs[pl][k][0], kNextTabs[pl][k][1], assets.fontSprite, src[0], src[1], src[2], src[3]);
  }
}

// The pause menu under a pause picture at (x, 234): a plate cut to its height, the highlight bar
// under the item at the cursor, then the two items.
constexpr int kPauseMenuTop = 274;
struct PauseItem {
  int dx, y, left, top, right, bottom;
};
constexpr PauseItem kPauseItems[2] = {{24, 278, 0, 482, 112, 503}, {5, 300, 0, 459, 150, 480}};

void DrawPauseMenu(int x) {
  int font = assets.fontSprite;
  // The plate: its top edge with the first rows of the inside, six more slices of the inside,
  // and the top edge once more as the bottom.
  gameout::Draw(x, kPauseMenuTop, font, 0, 632, 160, 640);
  for (int i = 0; i < 6; ++i) gameout::Draw(x, kPauseMenuTop + 8 + 7 * i, font, 0, 633, 160, 640);
  gameout::Draw(x, kPauseMenuTop + 50, font, 0, 632, 160, 633);
  int cursor = game.levelCursor[1];
  if (cursor >= 0 && cursor < 2) {
    const PauseItem& it = kPauseItems[cursor];
    gameout::Draw(x + it.dx, it.y, font, 0, 552, it.right - it.left, 573);
  }
  for (const PauseItem& it : kPauseItems) gameout::Draw(x + it.dx, it.y, font, it.left, it.top, it.right, it.bottom);
}

}  // namespace

int DrawNumber(int x, int y, int value) {
  int digits[5] = {value / 10000, (value / 1000) % 10, (value / 100) % 10, (value / 10) % 10, value % 10};
  int advance = 0;
  for (int d : digits) {
    // Values outside 0..99 999 would index past the glyph table; show the nearest digit.
    if (d < 0) d = 0;
    if (d > 9) d = 9;
    DrawDigit(x + advance, y, d);
    advance += kDigitRight[d] - kDigitLeft[d];
  }
  return 1;
}

void DrawPlayer(int pl, uint32_t now) {
  const PlayerState& p = game.player[pl];
  const PlayerLayout& L = kLayout[pl];
  // A count of 0 is no chain: the round starts with chainTime 0, which a tick just past the
  // wrap (or a clock started at 0) would otherwise read as a chain shown a moment ago.
  if (p.chainShown > 0 && now - p.chainTime <= 3000u) {
    if (p.chainShown >= 10) DrawDigit(L.chainTensX, L.chainTensY, 1);
    int units = p.chainShown % 10;
    if (units < 0) units = -units;
    DrawDigit(L.chainUnitsX, L.chainUnitsY, units);
    gameout::Draw(L.chainLabelX, L.chainLabelY, assets.fontSprite, 258, 169, 355, 186);
  }
  if (pl == 0) gameout::Draw(0, 0, assets.fieldSprite, 0, 0, 640, 480);

  int row = p.shimmerFrame;
  DrawTile(CellX(pl, p.pieceSlot, p.pieceLine), CellY(p.pieceLine), p.pieceColor[0], row);
  if (p.pieceColor[0] != 0) DrawTile(CellX(pl, p.pieceSlot, p.pieceLine), CellY(p.pieceLine), 8, row);
  for (int k = 0; k < 2; ++k) {
    int s = p.pieceSlot + p.satellite[k][0], l = p.pieceLine + p.satellite[k][1];
    DrawTile(CellX(pl, s, l), CellY(l), p.pieceColor[k + 1], row);
  }

  if (pl == 0 && settings.fpsMeter) gameout::DrawFps();

  gameout::Draw(L.scoreLabelX, 16, assets.fontSprite, 244, 56, 324, 75);
  DrawNumber(L.scoreNumberX, 40, p.score);

  ForLiveCells(0, 16, [&](int slot, int line) {
    DrawTile(CellX(pl, slot, line) - p.offsetX[slot][line], CellY(line) - p.offsetY[slot][line],
             p.cells[slot][line], p.tileFrame[slot][line]);
  });

  for (int k = 0; k < 6; ++k) DrawTile(L.next[k][0], L.next[k][1], p.next[k], 0);
}

GarbageMarks MarksFor(int announced) {
  int blocks = GarbageToFall(announced);
  return {blocks / 25, blocks % 25 / 5, blocks % 5};
}

void DrawLabels() {
  int font = assets.fontSprite;
  gameout::Draw(4, 135, font, 0, 416, 61, 457);
  bool versus = game.gameMode != 0;
  if (game.gameMode == kModeComputer)
    gameout::Draw(544, 135, font, 190, 597, 274, 638);
  else if (versus)
    gameout::Draw(544, 135, font, 78, 416, 142, 457);
  // In the one-player game player 2's counter only collects what player 1 sends: no field takes it.
  for (int pl = 0; pl < (versus ? 2 : 1); ++pl) {
    DrawNextLabels(pl);
    DrawGarbageMarks(pl);
  }
  bool pause[2] = {game.player[0].phase == kPhasePaused, versus && game.player[1].phase == kPhasePaused};
  if (pause[0]) gameout::Draw(77, 234, font, 0, 594, 160, 632);
  if (pause[1]) gameout::Draw(371, 234, font, 0, 594, 160, 632);
  if (pause[0]) DrawPauseMenu(77);
  if (pause[1]) DrawPauseMenu(371);
}
