// Groups of four or more: finding, scoring and erasing them, chains and the garbage they earn.
#include <tu/tuSystem.h>

#include "game/model.h"
#include "game/output.h"
#include "game/assets.h"

int CountGroup(int pl, int slot, int line, int color, int mark) {
  const PlayerState& p = game.player[pl];
  if (!IsLiveCell(slot, line)) return 0;
  if (p.cells[slot][line] != color || game.groupMarks[slot][line] != 0) return 0;
  game.groupMarks[slot][line] = mark;
  int n = 1;
  if (line & 1) {
    n += CountGroup(pl, slot, line + 1, color, mark);
    n += CountGroup(pl, slot + 1, line + 1, color, mark);
    n += CountGroup(pl, slot, line - 1, color, mark);
    n += CountGroup(pl, slot + 1, line - 1, color, mark);
  } else {
    if (line > 0) {
      if (slot > 1) n += CountGroup(pl, slot - 1, line - 1, color, mark);
      if (slot < 5) n += CountGroup(pl, slot, line - 1, color, mark);
    }
    if (slot > 1) n += CountGroup(pl, slot - 1, line + 1, color, mark);
    if (slot < 5) n += CountGroup(pl, slot, line + 1, color, mark);
  }
  return n;
}

namespace {

// Match scan order: slots 5 down to 1, lines 0 to 16 within a slot.
template <class Fn>
void ForMatchCells(Fn fn) {
  for (int slot = 5; slot >= 1; --slot)
    for (int line = 0; line <= 16; ++line)
      if (slot < 5 || (line & 1) == 0) fn(slot, line);
}

}  // namespace

void PhaseMatch(int pl) {
  PlayerState& p = game.player[pl];
  p.stepFlag = 0;
  for (int slot = 1; slot <= 5; ++slot)
    for (int line = 0; line < kLines; ++line) game.groupMarks[slot][line] = 0;
  for (uint8_t& f : p.eraseFlag) f = 0;
  game.groupNo = 0;
  ForMatchCells([&](int slot, int line) {
    int code = p.cells[slot][line];
    if (game.groupMarks[slot][line] != 0 || code < 1 || code > 5) return;
    game.groupNo += 1;
    int n = CountGroup(pl, slot, line, code, game.groupNo);
    if (n >= 4) {
      p.stepFlag = 1;
      p.eraseFlag[game.groupNo] = 1;
      p.score += n * 10 * (p.chain + 1);
      if (p.score > kScoreMax) p.score = kScoreMax;
    }
  });
  if (!p.stepFlag) {
    p.phase = kPhaseSpawn;
    return;
  }
  p.erasedCount = 0;
  ForMatchCells([&](int slot, int line) {
    int mark = game.groupMarks[slot][line];
    if (mark > 0 && mark < kEraseFlags && p.eraseFlag[mark]) {
      p.cells[slot][line] = kErasing;
      p.tileFrame[slot][line] = 0;
      p.erasedCount += 1;
    }
  });
  p.phase = kPhaseErase;
  p.chain += 1;
  p.garbageOut += p.chain;
  if (p.erasedCount >= 6) p.garbageOut += 1;
  if (p.erasedCount >= 10) p.garbageOut += 1;
  if (p.chain > p.maxChain) p.maxChain = p.chain;
  if (p.chain > 1) {
    p.chainTime = GameClock();
    p.chainShown = p.chain;
  }
  gameout::Play(assets.eraseSound);
}

void PhaseErase(int pl, uint32_t now) {
  PlayerState& p = game.player[pl];
  p.stepFlag = 0;
  if (now - p.eraseTime > 170u) {
    ForLiveCells(0, 16, [&](int slot, int line) {
      if (p.cells[slot][line] != kErasing) return;
      if (++p.tileFrame[slot][line] >= 3) {
        p.cells[slot][line] = kEmpty;
        p.tileFrame[slot][line] = p.shimmerFrame;
        p.stepFlag = 1;
      }
    });
    p.eraseTime = now;
  }
  if (p.stepFlag) p.phase = kPhaseSettle;
}
