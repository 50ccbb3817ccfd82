// Piece control on the field model: one key press at a time for the ways there, and a flood over
// whole planes of states at once for the places alone.
#include "game/computer_moves.h"

#include <cstring>
#include <initializer_list>

namespace computer {
namespace {

// The three cells (pivot, satellites) of every state, kOutside for a block outside the storage.
struct Shapes {
  int16_t cell[kStates][3];
  Shapes() {
    const Lattice& L = Cells();
    for (int s = 0; s < kStates; ++s) {
      Piece p = PieceOf(s);
      if (s % kPlane >= kCells) {
        cell[s][0] = cell[s][1] = cell[s][2] = kOutside;
        continue;
      }
      const auto& sat = L.satellite[p.line & 1][p.orientation];
      cell[s][0] = static_cast<int16_t>(CellOf(p.slot, p.line));
      for (int k = 0; k < 2; ++k) cell[s][k + 1] = static_cast<int16_t>(CellOf(p.slot + sat[k][0], p.line + sat[k][1]));
    }
  }
};
const Shapes shapes;

// A plane of states, one bit each. Down(d) has bit i where this has bit i + d: the state d
// cells on (a satellite's cell beside its pivot's, the place a move comes from). A block a line
// above or below the storage falls on line 17 of a slot, always wall.
struct Wide {
  uint64_t w[2];
  void Set(int i) { w[i >> 6] |= uint64_t{1} << (i & 63); }
  bool Has(int i) const { return (w[i >> 6] >> (i & 63)) & 1; }
  Wide operator&(const Wide& o) const { return {{w[0] & o.w[0], w[1] & o.w[1]}}; }
  Wide operator|(const Wide& o) const { return {{w[0] | o.w[0], w[1] | o.w[1]}}; }
  Wide operator~() const { return {{~w[0], ~w[1]}}; }
  bool operator!=(const Wide& o) const { return w[0] != o.w[0] || w[1] != o.w[1]; }
  Wide Down(int d) const {
    if (d == 0) return *this;
    if (d > 0) {
      if (d >= 64) return {{w[1] >> (d - 64), 0}};
      return {{(w[0] >> d) | (w[1] << (64 - d)), w[1] >> d}};
    }
    d = -d;
    if (d >= 64) return {{0, w[0] << (d - 64)}};
    return {{w[0] << d, (w[1] << d) | (w[0] >> (64 - d))}};
  }
};

// Cells (pivot places) by line and slot, for the moves' conditions.
struct PlaneMasks {
  Wide even{}, line0{}, fromLine2{}, toLine15{}, fromLine16{}, fromSlot2{}, toSlot4{};
  PlaneMasks() {
    for (int i = 0; i < kCells; ++i) {
      int slot = i / kLines, line = i % kLines;
      if (!(line & 1)) even.Set(i);
      if (line == 0) line0.Set(i);
      if (line >= 2) fromLine2.Set(i);
      if (line <= 15) toLine15.Set(i);
      if (line >= 16) fromLine16.Set(i);
      if (slot >= 2) fromSlot2.Set(i);
      if (slot <= 4) toSlot4.Set(i);
    }
  }
};
const PlaneMasks masks;

// The states whose three cells are all empty, worked out a plane at a time: the empty cells,
// shifted by each satellite's offset, on the lines of each parity.
struct FreeStates {
  Wide plane[4];
  explicit FreeStates(const Board& b) {
    const Lattice& L = Cells();
    Wide empty = {{0, 0}}, parity[2] = {{{0, 0}}, {{0, 0}}};
    for (int i = 0; i < kCells; ++i) {
      if (b.c[i] == kEmpty) empty.Set(i);
      parity[(i % kLines) & 1].Set(i);
    }
    for (int o = 1; o <= 4; ++o) {
      plane[o - 1] = {{0, 0}};
      for (int p = 0; p < 2; ++p) {
        Wide f = empty & parity[p];
        for (int k = 0; k < 2; ++k) f = f & empty.Down(L.satellite[p][o][k][0] * kLines + L.satellite[p][o][k][1]);
        plane[o - 1] = plane[o - 1] | f;
      }
    }
  }
  bool operator()(int s) const { return plane[s / kPlane].Has(s % kPlane); }
};

enum Result { kNoChange, kMoved, kLocked, kKicked };

// One key press from state `s` under the rules of piece control, with time left out: a drop press
// falls one step or, blocked, sets the piece; a slide comes when the fall timer runs out with its
// key held. A kick (a blocked turn out of the pivot-at-the-bottom shape lifts the piece a block,
// untested) leaves the piece to fall straight down with drop held: `to` is where it is then set.
// Moves test the cells of the state one slot across, falls those two lines down, and a slide
// those half a block down and across: every block's lower neighbour on that side.
Result Apply(const Board& b, const FreeStates& free, int s, int action, int* to) {
  int line = s % kPlane % kLines, slot = s % kPlane / kLines;
  switch (action) {
    case kMoveLeft:
    case kMoveRight: {
      int t = s + (action == kMoveLeft ? -kLines : kLines);
      if (!free(t)) return kNoChange;
      *to = t;
      return kMoved;
    }
    case kSlideLeft:
    case kSlideRight: {
      // Only where a plain move is stopped, from an even line (a piece slides at most once).
      bool left = action == kSlideLeft;
      if ((line & 1) || (left ? slot <= 1 : slot >= 5)) return kNoChange;
      if (free(s + (left ? -kLines : kLines))) return kNoChange;
      int t = s + 1 + (left ? -kLines : 0);
      if (!free(t)) return kNoChange;
      *to = t;
      return kMoved;
    }
    case kDrop:
      if (line + 2 >= kLines || !free(s + 2)) return kLocked;
      *to = s + 2;
      return kMoved;
    default: {
      int o = s / kPlane + 1;
      int turned = (o - 1 + (action == kTurnCw ? 1 : -1) + 4) % 4 + 1;
      int t = s + (turned - o) * kPlane;
      // A turn tests the satellites' new cells alone (as a free state tells, where the pivot's
      // cell is empty). At the top line a turn out of the entry shape is kept with a satellite
      // above the field.
      const int16_t* c = shapes.cell[t];
      bool turns = free(s) ? free(t) : b.c[c[1]] == kEmpty && b.c[c[2]] == kEmpty;
      if (turns || (o == 1 && line == 0)) {
        *to = t;
        return kMoved;
      }
      // Both turns out of the pivot-at-the-bottom shape have a satellite above the pivot: a
      // block height up, no block may end more than half a block above the field.
      if (o != 3 || line < 2) return kNoChange;
      t -= 2;
      while (t % kPlane % kLines + 2 < kLines && free(t + 2)) t += 2;
      *to = t;
      return kKicked;
    }
  }
}

}  // namespace

void Reach::Search(const Board& b, const Piece& start) {
  const FreeStates free(b);
  memset(seen, 0, sizeof seen);
  lockCount = 0;
  int16_t queue[kStates];
  int head = 0, tail = 0;
  int s0 = StateOf(start);
  seen[s0] = 1;
  parent[s0] = -1;
  action[s0] = -1;
  queue[tail++] = static_cast<int16_t>(s0);
  int kicks = 0;
  while (head < tail) {
    int s = queue[head++];
    for (int a = 0; a < kActions; ++a) {
      int t;
      Result r = Apply(b, free, s, a, &t);
      if (r == kLocked) {
        locks[lockCount++] = static_cast<int16_t>(s);
        continue;
      }
      if (r == kNoChange) continue;
      if (r == kKicked) t += kStates;
      if (seen[t]) continue;
      seen[t] = 1;
      parent[t] = static_cast<int16_t>(s);
      action[t] = static_cast<int8_t>(a);
      if (r == kKicked)
        ++kicks;
      else
        queue[tail++] = static_cast<int16_t>(t);
    }
  }
  if (kicks == 0) return;
  for (int t = kStates; t < 2 * kStates; ++t)
    if (seen[t] && !seen[t - kStates]) locks[lockCount++] = static_cast<int16_t>(t);
}

void Places::Search(const Board& b, const Piece& start, Reach& fallback) {
  const FreeStates free(b);
  int s0 = StateOf(start);
  if (!free(s0)) {
    fallback.Search(b, start);
    lockCount = fallback.lockCount;
    memcpy(locks, fallback.locks, sizeof locks[0] * static_cast<size_t>(lockCount));
    return;
  }
  const PlaneMasks& m = masks;
  const Wide* f = free.plane;
  Wide reach[4] = {};
  reach[s0 / kPlane].Set(s0 % kPlane);
  for (bool grew = true; grew;) {
    grew = false;
    for (int o = 0; o < 4; ++o) {
      const Wide r = reach[o];
      Wide add = r.Down(kLines) | r.Down(-kLines) | (r & m.toLine15).Down(-2);
      // Slides: from an even line where a move that way is stopped.
      add = add | (r & m.even & m.fromSlot2 & ~f[o].Down(-kLines)).Down(kLines - 1);
      add = add | (r & m.even & m.toSlot4 & ~f[o].Down(kLines)).Down(-1);
      Wide next = r | (add & f[o]);
      if (next != r) grew = true;
      reach[o] = next;
      // Turns, and out of the entry shape at the top line whatever blocks them.
      Wide keep = o == 0 ? m.line0 : Wide{{0, 0}};
      for (int to : {(o + 1) % 4, (o + 3) % 4}) {
        Wide turned = reach[to] | (next & (f[to] | keep));
        if (turned != reach[to]) grew = true;
        reach[to] = turned;
      }
    }
  }
  lockCount = 0;
  for (int o = 0; o < 4; ++o) {
    Wide set = reach[o] & (m.fromLine16 | ~f[o].Down(2));
    for (int w = 0; w < 2; ++w)
      for (uint64_t bits = set.w[w]; bits; bits &= bits - 1)
        locks[lockCount++] = static_cast<int16_t>(o * kPlane + w * 64 + __builtin_ctzll(bits));
  }
  // Kicks: turns out of the pivot-at-the-bottom shape that are blocked, from line 2 down; each
  // place once, and only where no other way leads.
  Wide kicked[4] = {};
  for (int to : {3, 1}) {
    Wide from = reach[2] & m.fromLine2 & ~f[to];
    for (int w = 0; w < 2; ++w)
      for (uint64_t bits = from.w[w]; bits; bits &= bits - 1) {
        int t = to * kPlane + w * 64 + __builtin_ctzll(bits) - 2;
        while (t % kPlane % kLines + 2 < kLines && free(t + 2)) t += 2;
        if (reach[to].Has(t % kPlane) || kicked[to].Has(t % kPlane)) continue;
        kicked[to].Set(t % kPlane);
        locks[lockCount++] = static_cast<int16_t>(kStates + t);
      }
  }
}

void SetPiece(Board& b, const Piece& at, const int colours[3]) {
  const int16_t* c = shapes.cell[StateOf(at)];
  for (int i = 0; i < 3; ++i)
    if (c[i] != kOutside) {
      b.c[c[i]] = static_cast<uint8_t>(colours[i]);
      Add(b.changed, Cells().position[c[i]]);
      Add(b.loose, Cells().position[c[i]]);
    }
}

}  // namespace computer
