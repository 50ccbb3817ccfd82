// Gravity passes over the lattice, the glide that animates them, and the colouring of garbage.
#include <cstdlib>

#include <tu/tuSystem.h>

#include "game/model.h"
#include "game/output.h"
#include "game/assets.h"

namespace {

bool Moves(int code) { return (code >= 1 && code <= 5) || code == kGarbage; }

int DirAt(const PlayerState& p, int slot, int line) { return InStorage(slot, line) ? p.moveDir[slot][line] : 0; }

void MoveBlock(PlayerState& p, int slot, int line, int toSlot, int toLine, int dx, int dy, int dir) {
  p.offsetX[toSlot][toLine] = dx;
  p.offsetY[toSlot][toLine] = dy;
  p.moveDir[toSlot][toLine] = dir;
  p.cells[toSlot][toLine] = p.cells[slot][line];
  p.cells[slot][line] = kEmpty;
  p.stepFlag = 1;
}

// Cells of the settle and glide scans: slots 0..5, slot 5 on even lines only.
template <class Fn>
void ForScanCells(int fromLine, Fn fn) {
  for (int line = fromLine; line >= 0; --line)
    for (int slot = 0; slot <= 5; ++slot)
      if (slot < 5 || (line & 1) == 0) fn(slot, line);
}

}  // namespace

void PhaseSettle(int pl) {
  PlayerState& p = game.player[pl];
  ForLiveCells(0, 16, [&](int s, int l) { p.tileFrame[s][l] = p.shimmerFrame; });
  p.stepFlag = 0;
  ForScanCells(16, [&](int slot, int line) {
    if (!Moves(p.cells[slot][line])) return;
    int dlSlot = slot + EdgeSlot(line, LowerLeft), drSlot = slot + EdgeSlot(line, LowerRight);
    bool dl = !Occupied(p, dlSlot, line + 1);
    bool dr = !Occupied(p, drSlot, line + 1);
    bool b = !Occupied(p, slot, line + 2);
    int dirB = DirAt(p, slot, line + 2);
    bool top = line < 16;  // blocks on the bottom line never move
    if (dl && dr && b) {
      if (top) MoveBlock(p, slot, line, slot, line + 2, 0, 32, 1);
    } else if (dl && dirB == 2) {
      if (top) MoveBlock(p, slot, line, dlSlot, line + 1, -16, 16, 2);
    } else if (dr && dirB == 3) {
      if (top) MoveBlock(p, slot, line, drSlot, line + 1, 16, 16, 3);
    } else if (dl) {
      if (top) MoveBlock(p, slot, line, dlSlot, line + 1, -16, 16, 2);
    } else if (dr && top) {
      MoveBlock(p, slot, line, drSlot, line + 1, 16, 16, 3);
    }
  });
  if (p.stepFlag) {
    p.phase = kPhaseGlide;
    p.animCounter = 32;
    p.stepFlag = 0;
  } else if (p.garbageFalling) {
    p.phase = kPhaseColorGarbage;
  } else {
    p.phase = kPhaseMatch;
    p.stepFlag = 0;
  }
}

void PhaseGlide(int pl) {
  PlayerState& p = game.player[pl];
  p.stepFlag = 0;
  if (GameClock() - p.animTime > 3u) {
    p.animCounter -= 4;
    if (p.garbageFalling) p.animCounter -= 4;
    int c = p.animCounter;
    bool landed = c <= 0;
    ForScanCells(17, [&](int slot, int line) {
      switch (p.moveDir[slot][line]) {
        case 1:
          p.offsetY[slot][line] = c;
          if (landed && (Occupied(p, slot, line + 2) || line == 16)) gameout::Play(assets.slideSetSound);
          break;
        case 2:
          p.offsetX[slot][line] = static_cast<int>(c * -0.5);
          p.offsetY[slot][line] = static_cast<int>(c * 0.5);
          if (landed && Occupied(p, slot + EdgeSlot(line, LowerLeft), line + 1) &&
              (Occupied(p, slot - 1, line + 2) || line == 16))
            gameout::Play(assets.slideSetSound);
          break;
        case 3:
          p.offsetX[slot][line] = p.offsetY[slot][line] = static_cast<int>(c * 0.5);
          if (landed && Occupied(p, slot + EdgeSlot(line, LowerRight), line + 1) &&
              (Occupied(p, slot + 1, line + 2) || line == 16))
            gameout::Play(assets.slideSetSound);
          break;
        default:
          break;
      }
    });
    p.animTime = GameClock();
    if (landed) {
      for (int s = 0; s < kSlots; ++s)
        for (int l = 0; l < kLines; ++l) p.moveDir[s][l] = p.offsetX[s][l] = p.offsetY[s][l] = 0;
      p.stepFlag = 1;
    }
  }
  if (p.stepFlag) p.phase = kPhaseSettle;
}

void PhaseColorGarbage(int pl) {
  PlayerState& p = game.player[pl];
  ForScanCells(17, [&](int slot, int line) {
    if (p.cells[slot][line] != kGarbage) return;
    for (int attempt = 1; attempt <= 19; ++attempt) {
      int color = RandomColor(p.colorCount);
      p.cells[slot][line] = color;
      for (auto& row : game.groupMarks)
        for (int& m : row) m = 0;
      if (CountGroup(pl, slot, line, color, 1) < 4) break;
      // Every draw completed a group: the last colour stays, so the block is never lost.
      if (attempt < 19) p.cells[slot][line] = kEmpty;
    }
  });
  p.phase = kPhaseSpawn;
  p.garbageFalling = 0;
  if (p.cells[3][0] != 0 || p.cells[2][1] != 0 || p.cells[3][1] != 0) p.gameOver = 1;
}
