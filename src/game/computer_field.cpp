// The field model's gravity and erasures, with the rules of the game's settle and erase steps.
#include "game/computer_field.h"

#include <cstring>

namespace computer {

Lattice::Lattice() {
  memset(position, -1, sizeof position);
  for (int l = 16; l >= 0; --l)
    for (int s = 1; s <= 5; ++s)
      if (IsLiveCell(s, l)) position[Index(s, l)] = static_cast<int8_t>(count++);
  for (int l = 16, i = 0; l >= 0; --l)
    for (int s = 1; s <= 5; ++s) {
      if (!IsLiveCell(s, l)) continue;
      cell[i] = static_cast<int16_t>(Index(s, l));
      line[i] = static_cast<int8_t>(l);
      column[i] = static_cast<int8_t>(2 * (s - 1) + (l & 1));
      const Edge edges[4] = {UpperLeft, LowerLeft, UpperRight, LowerRight};
      for (int e = 0; e < 4; ++e) {
        int ns = s + EdgeSlot(l, edges[e]), nl = l + EdgeLine(edges[e]);
        near[i][e] = IsLiveCell(ns, nl) ? position[Index(ns, nl)] : -1;
      }
      upLeft[i] = static_cast<int16_t>(CellOf(s + EdgeSlot(l, UpperLeft), l - 1));
      upRight[i] = static_cast<int16_t>(CellOf(s + EdgeSlot(l, UpperRight), l - 1));
      downLeft[i] = static_cast<int16_t>(CellOf(s + EdgeSlot(l, LowerLeft), l + 1));
      downRight[i] = static_cast<int16_t>(CellOf(s + EdgeSlot(l, LowerRight), l + 1));
      above[i] = static_cast<int16_t>(CellOf(s, l - 2));
      below[i] = static_cast<int16_t>(CellOf(s, l + 2));
      belowAt[i] = static_cast<int8_t>(IsLiveCell(s, l + 2) ? position[Index(s, l + 2)] : -1);
      ++i;
    }
  for (int parity = 0; parity < 2; ++parity)
    for (int o = 1; o <= 4; ++o)
      for (int k = 0; k < 2; ++k) {
        Edge e = SatelliteEdge(o, k);
        satellite[parity][o][k][0] = static_cast<int8_t>(EdgeSlot(parity, e));
        satellite[parity][o][k][1] = static_cast<int8_t>(EdgeLine(e));
      }
}

const Lattice& Cells() {
  static const Lattice lattice;
  return lattice;
}

Board Board::Of(const PlayerState& p) {
  Board b;
  for (int s = 0; s < kSlots; ++s)
    for (int l = 0; l < kLines; ++l) {
      int code = p.cells[s][l];
      b.c[Index(s, l)] = static_cast<uint8_t>(code >= 0 && code <= kGarbage ? code : kWall);
    }
  b.c[kOutside] = kWall;
  b.changed[0] = b.changed[1] = 0;
  // In play the field rests while a piece falls; a grid set from outside need not.
  const Lattice& L = Cells();
  b.loose[0] = b.loose[1] = 0;
  for (int i = 0; i < L.count; ++i)
    if (Falls(b.c[L.cell[i]]) && L.line[i] < 16 && (b.c[L.downLeft[i]] == kEmpty || b.c[L.downRight[i]] == kEmpty))
      Add(b.loose, i);
  return b;
}

// One gravity pass with the rules of the game's settle step, which scans the field from the
// bottom up; true when a block moved. Only loose blocks can move, so only they are visited, in
// the scan's order: a block that moves loosens those above its old cell, later in this pass,
// and is itself loose in the next.
static bool SettlePass(Board& b) {
  const Lattice& L = Cells();
  Positions pass = {b.loose[0], b.loose[1]};
  if (!(pass[0] | pass[1])) return false;
  b.loose[0] = b.loose[1] = 0;
  // The cells blocks moved into in this pass lower-left and lower-right: a block above one of
  // them follows its way.
  Positions wentLeft = {0, 0}, wentRight = {0, 0};
  // Positions added to the pass lie above the one taken: the scan's order holds.
  for (int i = Take(pass); i >= 0; i = Take(pass)) {
    int code = b.c[L.cell[i]];
    if (!Falls(code) || L.line[i] == 16) continue;  // blocks on the bottom line never move
    bool dl = b.c[L.downLeft[i]] == kEmpty, dr = b.c[L.downRight[i]] == kEmpty;
    if (!dl && !dr) continue;
    int to, d;
    if (dl && dr && b.c[L.below[i]] == kEmpty)
      to = L.below[i], d = 1;
    else if (dl && Has(wentLeft, L.belowAt[i]))
      to = L.downLeft[i], d = 2;
    else if (dr && Has(wentRight, L.belowAt[i]))
      to = L.downRight[i], d = 3;
    else if (dl)
      to = L.downLeft[i], d = 2;
    else
      to = L.downRight[i], d = 3;
    b.c[to] = static_cast<uint8_t>(code);
    b.c[L.cell[i]] = kEmpty;
    if (d == 2) Add(wentLeft, L.position[to]);
    if (d == 3) Add(wentRight, L.position[to]);
    Add(b.changed, L.position[to]);
    Add(b.loose, L.position[to]);
    Add(pass, L.near[i][0]);  // upper-left
    Add(pass, L.near[i][2]);  // upper-right
  }
  return true;
}

void Settle(Board& b) {
  while (SettlePass(b)) {
  }
}

int Group(const Board& b, int start, int colour, Positions seen, int16_t* group) {
  const Lattice& L = Cells();
  int16_t stack[kLiveCells];
  int top = 0, n = 0;
  stack[top++] = static_cast<int16_t>(start);
  Add(seen, start);
  while (top > 0) {
    int i = stack[--top];
    if (group) group[n] = static_cast<int16_t>(i);
    ++n;
    for (int e = 0; e < 4; ++e) {
      int j = L.near[i][e];
      if (j < 0 || Has(seen, j) || b.c[L.cell[j]] != colour) continue;
      Add(seen, j);
      stack[top++] = static_cast<int16_t>(j);
    }
  }
  return n;
}

// Erases every group of four or more (each runs through a changed cell); the blocks erased.
static int EraseGroups(Board& b) {
  const Lattice& L = Cells();
  Positions seen = {0, 0};
  int16_t group[kLiveCells];
  int erased = 0;
  for (int i = Take(b.changed); i >= 0; i = Take(b.changed)) {
    int code = b.c[L.cell[i]];
    if (Has(seen, i) || !Colour(code)) continue;
    int n = Group(b, i, code, seen, group);
    if (n < 4) continue;
    for (int k = 0; k < n; ++k) {
      b.c[L.cell[group[k]]] = kEmpty;
      Add(b.loose, L.near[group[k]][0]);  // the blocks above lose their footing
      Add(b.loose, L.near[group[k]][2]);
    }
    erased += n;
  }
  return erased;
}

Outcome Resolve(Board& b) {
  Outcome o;
  for (;;) {
    Settle(b);
    int e = EraseGroups(b);
    if (e == 0) return o;
    o.chain += 1;
    o.erased += e;
    o.garbage += o.chain + (e >= 6 ? 1 : 0) + (e >= 10 ? 1 : 0);
  }
}

bool EntryBlocked(const Board& b) {
  return b.c[Index(3, 0)] != kEmpty || b.c[Index(2, 1)] != kEmpty || b.c[Index(3, 1)] != kEmpty;
}

void DropGarbage(Board& b, int count) {
  if (count <= 0) return;
  int n = count > 5 ? 5 : count;
  for (int i = 0; i < n; ++i)
    if (b.c[Index(kGarbageSlots[i], 0)] == kEmpty) {
      b.c[Index(kGarbageSlots[i], 0)] = kGarbage;
      Add(b.loose, Cells().position[Index(kGarbageSlots[i], 0)]);
    }
  Settle(b);
}

}  // namespace computer
