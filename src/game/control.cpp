// Steering the falling piece: turns, moves, slides, falls and setting it into the field.
#include <algorithm>

#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/input.h"
#include "game/model.h"
#include "game/output.h"
#include "game/settings.h"

namespace {

// Satellite edges of the four orientations: 1 pivot on top, 2 pivot right, 3 pivot at the
// bottom, 4 pivot left.
constexpr Edge kOrientation[5][2] = {
    {LowerLeft, LowerRight},  // unused
    {LowerLeft, LowerRight},
    {UpperLeft, LowerLeft},
    {UpperRight, UpperLeft},
    {LowerRight, UpperRight},
};

struct Block {
  int slot, line;
};

void PieceBlocks(const PlayerState& p, Block out[3]) {
  out[0] = {p.pieceSlot, p.pieceLine};
  for (int k = 0; k < 2; ++k) out[k + 1] = {p.pieceSlot + p.satellite[k][0], p.pieceLine + p.satellite[k][1]};
}

bool SatellitesBlocked(const PlayerState& p) {
  for (int k = 0; k < 2; ++k)
    if (Occupied(p, p.pieceSlot + p.satellite[k][0], p.pieceLine + p.satellite[k][1])) return true;
  return false;
}

// Turns the piece one step (dir +1 clockwise, -1 anticlockwise), with the blocked-turn rules.
void Turn(PlayerState& p, int dir) {
  int from = PieceOrientation(p);
  if (from == 0) return;
  int to = (from - 1 + dir + 4) % 4 + 1;
  SetOrientation(p, to);
  if (!SatellitesBlocked(p)) return;
  if (from == 1) {
    // At the top line a turn out of the entry shape is kept with a satellite above the field.
    if (p.pieceLine != 0) SetOrientation(p, from);
  } else if (from == 3) {
    // Kick: one block height up, without testing the new place. Near the top it may not lift
    // any block more than half a block above the field: there the turn is refused instead.
    int top = p.pieceLine - 2;
    for (int k = 0; k < 2; ++k) top = std::min(top, p.pieceLine - 2 + p.satellite[k][1]);
    if (top < -1) {
      SetOrientation(p, from);
      return;
    }
    p.pieceLine -= 2;
    p.stepFlag = 0;
  } else {
    SetOrientation(p, from);
  }
}

bool ColumnFree(const PlayerState& p, const Block b[3], int dslot) {
  for (int i = 0; i < 3; ++i)
    if (Occupied(p, b[i].slot + dslot, b[i].line)) return false;
  return true;
}

void SetPiece(PlayerState& p, const Block b[3], uint32_t now) {
  for (int i = 0; i < 3; ++i) {
    // A satellite left above the field by a turn at the top line has no cell: it is dropped.
    if (!InStorage(b[i].slot, b[i].line)) continue;
    p.cells[b[i].slot][b[i].line] = p.pieceColor[i];
  }
  for (int i = 0; i < 3; ++i) {
    if (!InStorage(b[i].slot, b[i].line)) continue;
    p.tileFrame[b[i].slot][b[i].line] = 3;
    p.justSet[b[i].slot][b[i].line] = 1;
  }
  for (int& c : p.pieceColor) c = 0;
  p.setTime = now;
  gameout::Play(assets.setSound);
  p.phase = kPhaseSetFlash;
}

}  // namespace

int PieceOrientation(const PlayerState& p) {
  for (int o = 1; o <= 4; ++o) {
    Edge e = kOrientation[o][0];
    if (p.satellite[0][0] == EdgeSlot(p.pieceLine, e) && p.satellite[0][1] == EdgeLine(e)) return o;
  }
  return 0;
}

Edge SatelliteEdge(int orientation, int k) { return kOrientation[orientation][k]; }

void SetOrientation(PlayerState& p, int o) {
  for (int k = 0; k < 2; ++k) {
    Edge e = kOrientation[o][k];
    p.satellite[k][0] = EdgeSlot(p.pieceLine, e);
    p.satellite[k][1] = EdgeLine(e);
  }
}

void PhaseControl(int pl, uint32_t now) {
  PlayerState& p = game.player[pl];
  GameKeys& k = game.keys;
  PollAction(pl, kActLeft, &k.left[pl]);
  PollAction(pl, kActRight, &k.right[pl]);
  PollAction(pl, kActDown, &k.drop[pl]);
  PollAction(pl, kActTurnCw, &k.turnCw[pl]);
  PollAction(pl, kActTurnCcw, &k.turnCcw[pl]);
  int left = k.left[pl], right = k.right[pl], drop = k.drop[pl];

  if (k.turnCw[pl] == tu::kKeyStatePressed)
    Turn(p, +1);
  else if (k.turnCcw[pl] == tu::kKeyStatePressed)
    Turn(p, -1);

  Block b[3];
  PieceBlocks(p, b);
  bool even = (p.pieceLine & 1) == 0;
  if (left == tu::kKeyStatePressed || (left == tu::kKeyStateHeld && now - p.repeatTime > 150u)) {
    p.repeatTime = now;
    if (ColumnFree(p, b, -1)) p.pieceSlot -= 1;
  } else if (right == tu::kKeyStatePressed || (right == tu::kKeyStateHeld && now - p.repeatTime > 150u)) {
    p.repeatTime = now;
    if (ColumnFree(p, b, +1)) p.pieceSlot += 1;
  } else if (left == tu::kKeyStateHeld && even) {
    // Half a block down and to the left, under an overhang that stops a plain move.
    bool underFree = !Occupied(p, b[0].slot - 1, b[0].line + 1) && !Occupied(p, b[1].slot, b[1].line + 1) &&
                     !Occupied(p, b[2].slot, b[2].line + 1);
    if (!ColumnFree(p, b, -1) && underFree && now - p.fallTime > static_cast<uint32_t>(p.fallInterval) &&
        p.pieceSlot > 1) {
      p.pieceLine += 1;
      p.pieceSlot -= 1;
      p.satellite[0][0] += 1;
      p.satellite[1][0] += 1;
      if (p.stepFlag) p.fallTime = now;
    }
  } else if (right == tu::kKeyStateHeld && even) {
    bool underFree = !Occupied(p, b[0].slot, b[0].line + 1) && !Occupied(p, b[1].slot + 1, b[1].line + 1) &&
                     !Occupied(p, b[2].slot + 1, b[2].line + 1);
    if (!ColumnFree(p, b, +1) && underFree && now - p.fallTime > static_cast<uint32_t>(p.fallInterval) &&
        p.pieceSlot < 5) {
      p.pieceLine += 1;
      p.satellite[0][0] += 1;
      p.satellite[1][0] += 1;
      if (p.stepFlag) p.fallTime = now;
    }
  }

  if (drop == tu::kKeyStatePressed || (drop == tu::kKeyStateHeld && now - p.dropTime > 20u) ||
      now - p.fallTime > static_cast<uint32_t>(p.fallInterval)) {
    PieceBlocks(p, b);
    bool below = true;
    for (const Block& x : b)
      if (Occupied(p, x.slot, x.line + 2)) below = false;
    if (below) {
      p.pieceLine += 2;
      p.dropTime = now;
      if (p.stepFlag) p.fallTime = now;
    } else if (now - p.fallTime > static_cast<uint32_t>(p.lockDelay) || drop == tu::kKeyStateHeld) {
      SetPiece(p, b, now);
    }
  }
}
