// The blocks' shimmer: a step of the game, before the field is drawn.
#include "game/model.h"

void AdvanceShimmer(int pl, uint32_t now) {
  PlayerState& p = game.player[pl];
  if (now - p.shimmerTime <= 330u) return;
  p.shimmerFrame = (p.shimmerFrame + 1) % 3;
  // Settled blocks shimmer in step; the freshly set look (row 3) and erasing blocks stay.
  for (int slot = 1; slot <= 5; ++slot)
    for (int line = 0; line < kLines; ++line) {
      if (slot == 5 && (line & 1)) continue;
      int code = p.cells[slot][line];
      if (p.tileFrame[slot][line] <= 2 && code >= 1 && code <= 5) p.tileFrame[slot][line] = p.shimmerFrame;
    }
  p.shimmerTime = now;
}
