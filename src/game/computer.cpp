// The computer player: a search over the places a piece can reach, a model of the field's
// gravity and erasures to judge them, and a hand on the keys that steers the piece there.
#include "game/computer.h"

#include <cstring>
#include <initializer_list>

#include <tu/tuSystem.h>

#include "game/model.h"
#include "game/settings.h"

namespace {

// ---------------------------------------------------------------- levels

struct Level {
  int lookahead;  // pieces searched: 1 the piece in play, 2 also the next one
  int beam;       // places of the piece in play searched further with the next one
  int potential;  // looks for chains that one more block would set off
  int mistake;    // per mille of pieces put on any place within reach, without thought
  int noise;      // spread of the random amount added to each place's worth
  int reactMs, gapMs, dropMs;  // before the first press of a piece, between presses, before the drop
  // What a field is worth:
  int height;     // per block, times its height
  int centre;     // times the square of the centre's rise above the safe line
  int hole;       // per empty cell covered on both upper edges
  int pair, triple;  // per group of two and of three blocks of one colour
  int erase;      // per block erased by the piece
  int chain;      // times the square of the chain set off by the piece, from two steps on
  int garbage;    // per garbage block the piece earns
  int setUp;      // times the square of the longest chain one more block would set off
};

constexpr Level kLevels[kComputerLevels] = {
    // look beam pot mistake noise react gap drop | height centre hole pair triple erase chain garbage setUp
    {1, 0, 0, 220, 400, 520, 300, 420, 2, 40, 10, 4, 6, 30, 0, 0, 0},
    {1, 0, 0, 50, 60, 300, 170, 160, 4, 80, 40, 14, 30, 14, 40, 10, 0},
    {2, 6, 0, 20, 30, 160, 110, 80, 4, 110, 60, 16, 36, 4, 130, 40, 0},
    {2, 12, 1, 0, 0, 0, 0, 0, 4, 120, 70, 18, 40, 2, 160, 50, 90},
};

constexpr int kLost = -1000000000;
constexpr int kSafeLine = 8;  // the centre may rise to this line without worry

// ---------------------------------------------------------------- the field model

constexpr int kCells = kSlots * kLines;
constexpr int kOutside = kCells;  // one cell more, always wall: every place outside the storage
constexpr int Index(int slot, int line) { return slot * kLines + line; }
constexpr bool Stored(int slot, int line) { return slot >= 0 && slot < kSlots && line >= 0 && line < kLines; }
constexpr int CellOf(int slot, int line) { return Stored(slot, line) ? Index(slot, line) : kOutside; }

bool Colour(int code) { return code >= 1 && code <= 5; }
bool Falls(int code) { return Colour(code) || code == kGarbage; }

// The live cells in the settle scan order (lines 16 up to 0, slots 1..5) with their neighbours,
// and the satellites' offsets, worked out once.
struct Lattice {
  int count = 0;
  int16_t cell[kLiveCells];
  int8_t line[kLiveCells], column[kLiveCells];  // column: 0..8 across, half a block apart
  int16_t near[kLiveCells][4];  // lattice positions of the live edge neighbours, -1 for none
  int16_t upLeft[kLiveCells], upRight[kLiveCells], downLeft[kLiveCells], downRight[kLiveCells];
  int16_t above[kLiveCells], below[kLiveCells];  // two lines up and down in the same slot
  int8_t belowAt[kLiveCells];    // lattice position of `below`, -1 for none
  int8_t position[kCells + 1];   // lattice position of each stored cell, -1 for none
  int8_t satellite[2][5][2][2];  // [line parity][orientation][k] = (slot, line) offset
  Lattice() {
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
};
const Lattice lattice;
const Lattice& Cells() { return lattice; }

// Sets of lattice positions, one bit each.
using Positions = uint64_t[2];
void Add(Positions set, int position) {
  if (position >= 0) set[position >> 6] |= uint64_t{1} << (position & 63);
}
bool Has(const Positions set, int position) {
  return position >= 0 && ((set[position >> 6] >> (position & 63)) & 1) != 0;
}
// Takes the lowest position out of the set; -1 when it is empty.
int Take(Positions set) {
  for (int w = 0; w < 2; ++w)
    if (set[w]) {
      int i = w * 64 + __builtin_ctzll(set[w]);
      set[w] &= set[w] - 1;
      return i;
    }
  return -1;
}

struct Board {
  uint8_t c[kCells + 1];
  // Cells whose block was set or moved since the last erasure: only groups through them can have
  // grown to four.
  Positions changed;
  // Lattice positions of the blocks that may have lost their footing: the only ones gravity
  // looks at, since every other block rests.
  Positions loose;
  // The player's grid; a code no rule writes reads as wall.
  static Board Of(const PlayerState& p) {
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
};

// One gravity pass with the rules of the game's settle step, which scans the field from the
// bottom up; true when a block moved. Only loose blocks can move, so only they are visited, in
// the scan's order: a block that moves loosens those above its old cell, later in this pass,
// and is itself loose in the next.
bool SettlePass(Board& b) {
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

// Size of the group of `colour` through lattice position `start` (which holds `colour`); marks
// the group in `seen` and lists its lattice positions in `group` when given.
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
int EraseGroups(Board& b) {
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

struct Outcome {
  int chain = 0, erased = 0, garbage = 0;
};

// Gravity and erasures until the field rests, as after a piece is set.
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

// Announced garbage as it enters at the next spawn, in blocks of no colour yet.
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

// ---------------------------------------------------------------- piece moves

// A state of the piece, as one number: its orientation's plane of 128 and, in it, the pivot's
// cell index (slot * kLines + line). A move across is a step of kLines, a fall of 2, half a block
// down of 1; a turn changes the plane.
constexpr int kPlane = 128;
constexpr int kStates = 4 * kPlane;
static_assert(kCells <= kPlane, "a plane holds every stored cell");

struct Piece {
  int slot, line, orientation;
};
int StateOf(const Piece& p) { return (p.orientation - 1) * kPlane + Index(p.slot, p.line); }
Piece PieceOf(int s) { return {s % kPlane / kLines, s % kPlane % kLines, s / kPlane + 1}; }

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

// The piece keys in the order they are polled, and the two slides, made with the move keys held.
enum Action { kMoveLeft, kMoveRight, kDrop, kTurnCw, kTurnCcw, kSlideLeft, kSlideRight, kActions };

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

// A place where the piece is set; kStates and above: set after a kick, at state id - kStates.
Piece LockOf(int id) { return PieceOf(id >= kStates ? id - kStates : id); }

// Every state the piece can reach from `start` by key presses, breadth first: how it was reached
// and where it can be set (a place reached both ways is listed once, without the kick).
struct Reach {
  int16_t parent[2 * kStates];
  int8_t action[2 * kStates];
  uint8_t seen[2 * kStates];
  int16_t locks[2 * kStates];
  int lockCount = 0;
  void Search(const Board& b, const Piece& start) {
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
  // Whether `id` is among the places where the piece can be set.
  bool Locks(int id) const {
    for (int i = 0; i < lockCount; ++i)
      if (locks[i] == id) return true;
    return false;
  }
};

// The places where the piece can be set, as Reach finds them, without the ways there: the states
// it can reach are flooded a key press at a time over whole planes at once. Where the pivot's
// cell is empty (in every state reached, and at the start unless a kick left the piece over
// blocks) a turn's test of the satellites is the new state's being free.
struct Places {
  int16_t locks[2 * kStates];
  int lockCount = 0;
  void Search(const Board& b, const Piece& start, Reach& fallback) {
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
};

// The board after the piece is set at `at` (a satellite above the field is lost, as in play).
void SetPiece(Board& b, const Piece& at, const int colours[3]) {
  const int16_t* c = shapes.cell[StateOf(at)];
  for (int i = 0; i < 3; ++i)
    if (c[i] != kOutside) {
      b.c[c[i]] = static_cast<uint8_t>(colours[i]);
      Add(b.changed, Cells().position[c[i]]);
      Add(b.loose, Cells().position[c[i]]);
    }
}

// ---------------------------------------------------------------- judging a field

uint32_t NextRandom(uint32_t& x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

// The topmost occupied line over the entry cells' three half-block columns (17 when empty).
int CentreTop(const Board& b) {
  const Lattice& L = Cells();
  int top = 17;
  for (int i = 0; i < L.count; ++i)
    if (L.column[i] >= 3 && L.column[i] <= 5 && b.c[L.cell[i]] != kEmpty && L.line[i] < top) top = L.line[i];
  return top;
}

// The longest chain that one more block of some colour, set on a free resting place open from
// above, would set off (0 when none would erase anything).
int LongestTrigger(const Board& b) {
  const Lattice& L = Cells();
  int best = 0;
  for (int i = 0; i < L.count; ++i) {
    int cell = L.cell[i], l = L.line[i];
    if (b.c[cell] != kEmpty) continue;
    // It rests there, and a falling block can come to it.
    bool rests = l == 16 || (b.c[L.downLeft[i]] != kEmpty && b.c[L.downRight[i]] != kEmpty);
    if (!rests || (l >= 2 && b.c[L.above[i]] != kEmpty) || (b.c[L.upLeft[i]] != kEmpty && b.c[L.upRight[i]] != kEmpty))
      continue;
    int tried = 0;
    for (int e = 0; e < 4; ++e) {
      int j = L.near[i][e];
      if (j < 0 || !Colour(b.c[L.cell[j]])) continue;
      int colour = b.c[L.cell[j]];
      if (tried & (1 << colour)) continue;
      tried |= 1 << colour;
      Board t = b;
      t.c[cell] = static_cast<uint8_t>(colour);
      Add(t.changed, i);
      Add(t.loose, i);
      Positions seen = {0, 0};
      if (Group(t, i, colour, seen, nullptr) < 4) continue;
      Outcome o = Resolve(t);
      if (o.chain > best) best = o.chain;
    }
  }
  return best;
}

// What a resting field is worth to its player.
int Worth(const Board& b, const Level& lv) {
  if (EntryBlocked(b)) return kLost;
  const Lattice& L = Cells();
  int score = 0, centreTop = 17;
  Positions seen = {0, 0};
  for (int i = 0; i < L.count; ++i) {
    int code = b.c[L.cell[i]], l = L.line[i];
    if (code == kEmpty) {
      if (l > 0 && b.c[L.upLeft[i]] != kEmpty && b.c[L.upRight[i]] != kEmpty) score -= lv.hole;
      continue;
    }
    score -= lv.height * (17 - l);
    if (L.column[i] >= 3 && L.column[i] <= 5 && l < centreTop) centreTop = l;
    if (!Colour(code) || Has(seen, i)) continue;
    int n = Group(b, i, code, seen, nullptr);
    if (n == 2) score += lv.pair;
    if (n == 3) score += lv.triple;
  }
  int rise = kSafeLine - centreTop;
  if (rise > 0) score -= lv.centre * rise * rise;
  return score;
}

// What a field's readiness for a chain is worth: the dearest part of judging it, so it is added
// only to the most promising fields.
int SetUpWorth(const Board& b, const Level& lv) {
  int k = LongestTrigger(b);
  return k >= 2 ? lv.setUp * k * k : 0;
}

// What the piece's own erasures are worth, more so when the field or the other field is high.
int Gain(const Outcome& o, const Level& lv, int danger, int attack) {
  int chainPart = o.chain >= 2 ? lv.chain * o.chain * o.chain : 0;
  return lv.erase * o.erased * (1 + danger) + chainPart + lv.garbage * o.garbage * (1 + attack);
}

// Places that leave the same field with the same gain are one choice: each field is judged once.
// A set of the fields met, by a digest of their cells and gain, each checked cell by cell.
class FieldSet {
 public:
  void Clear() {
    if (++round_ == 0) {
      memset(slot_, 0, sizeof slot_);
      round_ = 1;
    }
    count_ = 0;
  }
  // The number under which an equal field was noted since Clear, else -1 after noting this one
  // under the next number (0, 1, ...).
  int Note(const Board& b, int gain) {
    if (count_ >= kEntries) return -1;  // more places than ever met in play: judged each
    uint64_t h = 0x9E3779B97F4A7C15ull * static_cast<uint32_t>(gain + 1);
    for (int i = 0; i < kCells; i += 8) {
      uint64_t w = 0;
      memcpy(&w, b.c + i, i + 8 <= kCells ? 8 : kCells - i);
      h += (w ^ kMix[i / 8 % 4]) * (0xFF51AFD7ED558CCDull + 2 * static_cast<uint64_t>(i));
    }
    h ^= h >> 31;
    uint32_t key = static_cast<uint32_t>(h >> 32);
    for (uint32_t at = static_cast<uint32_t>(h) & (kTable - 1);; at = (at + 1) & (kTable - 1)) {
      Slot& t = slot_[at];
      if (t.round != round_) {
        t = {key, round_, static_cast<int16_t>(count_)};
        memcpy(cells_[count_], b.c, kCells);
        gain_[count_] = gain;
        ++count_;
        return -1;
      }
      if (t.key == key && gain_[t.entry] == gain && memcmp(cells_[t.entry], b.c, kCells) == 0) return t.entry;
    }
  }

 private:
  static constexpr int kEntries = 512, kTable = 1024;  // the table at most half full
  static constexpr uint64_t kMix[4] = {0x2545F4914F6CDD1Dull, 0x9FB21C651E98DF25ull, 0xC2B2AE3D27D4EB4Full,
                                       0x165667B19E3779F9ull};
  struct Slot {
    uint32_t key;
    uint16_t round;
    int16_t entry;
  };
  Slot slot_[kTable] = {};
  uint16_t round_ = 0;
  uint8_t cells_[kEntries][kCells];
  int gain_[kEntries];
  int count_ = 0;
};

struct Option {
  Piece at;
  Board after;
  int gain;   // what its own erasures earn
  int score;  // gain and the worth of what follows
  int noise;  // the random part of the score
  int ways;   // places that leave this field
};

Reach reachSlow;  // for the few starts a flood does not cover

constexpr int kSetUpKept = 3;  // fields after the next piece judged for their chains as well

// The best worth of the next piece over every place it can reach on `b`.
int BestNext(const Board& b, const int colours[3], const Level& lv, int danger, int attack, Places& reach,
             FieldSet& fields) {
  if (EntryBlocked(b)) return kLost;
  reach.Search(b, {3, 0, 1}, reachSlow);
  fields.Clear();
  int best = kLost;
  // The best few by the plain worth, kept in order (value and field).
  int keptValue[kSetUpKept];
  Board kept[kSetUpKept];
  int keptCount = 0;
  for (int i = 0; i < reach.lockCount; ++i) {
    Board t = b;
    SetPiece(t, LockOf(reach.locks[i]), colours);
    int gain = Gain(Resolve(t), lv, danger, attack);
    if (fields.Note(t, gain) >= 0) continue;  // judged already
    int w = Worth(t, lv);
    if (w == kLost) continue;
    int v = w + gain;
    if (v > best) best = v;
    if (!lv.potential) continue;
    int at = keptCount < kSetUpKept ? keptCount++ : kSetUpKept;
    while (at > 0 && keptValue[at - 1] < v) {
      if (at < kSetUpKept) keptValue[at] = keptValue[at - 1], kept[at] = kept[at - 1];
      --at;
    }
    if (at < kSetUpKept) keptValue[at] = v, kept[at] = t;
  }
  for (int i = 0; i < keptCount; ++i) {
    int v = keptValue[i] + SetUpWorth(kept[i], lv);
    if (v > best) best = v;
  }
  return best;
}

// Search scratch, kept out of the frame's stack.
Places reachFirst, reachNext;
FieldSet firstFields, nextFields;
Option options[2 * kStates];

}  // namespace

Placement ChoosePlacement(int pl, int level) {
  Placement out;
  if (pl < 0 || pl > 1) return out;
  if (level < 0) level = 0;
  if (level >= kComputerLevels) level = kComputerLevels - 1;
  const Level& lv = kLevels[level];
  const PlayerState& p = game.player[pl];
  const PlayerState& other = game.player[1 - pl];
  ComputerState& cs = game.computer[pl];
  Piece start{p.pieceSlot, p.pieceLine, PieceOrientation(p)};
  if (start.orientation == 0 || start.slot < 0 || start.slot >= kSlots || start.line < 0 || start.line >= kLines)
    return out;

  Board b = Board::Of(p);
  // A high field makes erasing now worth more; a high field on the other side makes garbage so.
  int danger = CentreTop(b) < kSafeLine - 2 ? 2 : 0;
  int attack = 0;
  if (game.gameMode != kModeOnePlayer && CentreTop(Board::Of(other)) < kSafeLine - 2) attack = 2;

  reachFirst.Search(b, start, reachSlow);
  firstFields.Clear();
  int n = 0;
  for (int i = 0; i < reachFirst.lockCount; ++i) {
    Option& op = options[n];
    op.at = LockOf(reachFirst.locks[i]);
    op.after = b;
    SetPiece(op.after, op.at, p.pieceColor);
    op.gain = Gain(Resolve(op.after), lv, danger, attack);
    int twin = firstFields.Note(op.after, op.gain);
    int noise = lv.noise > 0 ? static_cast<int>(NextRandom(cs.rng) % (2 * lv.noise + 1)) - lv.noise : 0;
    if (twin >= 0) {
      // The same field as a place met before: of the two, the one that needs no slide, so no
      // wait for the fall timer, is kept. Judged as each place would be on its own, the field
      // keeps the best of their random parts, and a plain mistake falls on it as often as on
      // all of them.
      Option& first = options[twin];
      bool slides = (op.at.line ^ start.line) & 1;
      if (!slides && ((first.at.line ^ start.line) & 1)) first.at = op.at;
      if (noise > first.noise && first.score != kLost) first.score += noise - first.noise, first.noise = noise;
      first.ways += 1;
      continue;
    }
    ++n;
    int w = Worth(op.after, lv);
    op.score = w == kLost ? kLost : w + op.gain + noise;
    op.noise = noise;
    op.ways = 1;
  }
  if (n == 0) return out;

  int chosen = 0;
  if (lv.mistake > 0 && static_cast<int>(NextRandom(cs.rng) % 1000) < lv.mistake) {
    // A plain mistake: any place within reach that does not lose at once.
    int alive = 0;
    for (int i = 0; i < n; ++i) alive += options[i].score != kLost ? options[i].ways : 0;
    int pick = alive > 0 ? static_cast<int>(NextRandom(cs.rng) % static_cast<uint32_t>(alive)) : 0;
    for (int i = 0; i < n && pick >= 0; ++i)
      if (options[i].score != kLost && (pick -= options[i].ways) < 0) chosen = i;
  } else {
    if (lv.lookahead >= 2) {
      // The best places so far, each judged again by the best place of the next piece after it.
      int order[2 * kStates];
      for (int i = 0; i < n; ++i) order[i] = i;
      int keep = n < lv.beam ? n : lv.beam;
      for (int i = 0; i < keep; ++i)
        for (int j = i + 1; j < n; ++j)
          if (options[order[j]].score > options[order[i]].score) {
            int t = order[i];
            order[i] = order[j];
            order[j] = t;
          }
      for (int k = 0; k < keep; ++k) {
        Option& op = options[order[k]];
        if (op.score == kLost) continue;
        Board next = op.after;
        DropGarbage(next, p.garbageIn);
        int second = BestNext(next, p.next, lv, danger, attack, reachNext, nextFields);
        // Losing with the next piece is still better than losing with this one.
        op.score = second == kLost ? kLost + 1 : op.gain + second;
      }
      for (int k = keep; k < n; ++k) options[order[k]].score = kLost;
    }
    for (int i = 1; i < n; ++i)
      if (options[i].score > options[chosen].score) chosen = i;
  }
  out.slot = options[chosen].at.slot;
  out.line = options[chosen].at.line;
  out.orientation = options[chosen].at.orientation;
  out.valid = 1;
  return out;
}

namespace {

Reach reachSteer;

// The next press on the way from `from` to `target` (where the piece is set), or -1 when the
// target is out of reach; `onlyDrops` tells that nothing but falling remains.
int NextAction(const Board& b, const Piece& from, const Piece& target, bool* onlyDrops) {
  reachSteer.Search(b, from);
  int t = StateOf(target);
  if (!reachSteer.Locks(t)) {
    t += kStates;  // set where a kick leaves it
    if (!reachSteer.Locks(t)) return -1;
  }
  int first = -1;
  *onlyDrops = true;
  for (int s = t; reachSteer.parent[s] >= 0; s = reachSteer.parent[s]) {
    first = reachSteer.action[s];
    if (first != kDrop) *onlyDrops = false;
  }
  return first < 0 ? kDrop : first;
}

// The state of the key that makes `action` (a slide's is its move key).
int KeyState(int pl, int action) {
  const GameKeys& k = game.keys;
  switch (action) {
    case kSlideLeft:
    case kMoveLeft: return k.left[pl];
    case kMoveRight:
    case kSlideRight: return k.right[pl];
    case kDrop: return k.drop[pl];
    case kTurnCw: return k.turnCw[pl];
    default: return k.turnCcw[pl];
  }
}

uint32_t Jitter(ComputerState& cs, int ms) {
  if (ms <= 0) return 0;
  // A human hand: between three quarters and one and a quarter of the level's pace.
  return static_cast<uint32_t>(ms * 3 / 4 + static_cast<int>(NextRandom(cs.rng) % static_cast<uint32_t>(ms / 2 + 1)));
}

bool Before(uint32_t now, uint32_t tick) { return static_cast<int32_t>(now - tick) < 0; }

// A fresh generator for a new game, from what the game has drawn for it: the same seed and the
// same play give the same computer.
uint32_t SeedFor(int pl, int level) {
  uint32_t h = 2166136261u ^ static_cast<uint32_t>(pl * 7 + level);
  for (const PlayerState& p : game.player) {
    for (int c : p.pieceColor) h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
    for (int c : p.next) h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
  }
  return h ? h : 1u;
}

// A slide's move key goes down at most this long before the timed step, so that its first
// repeated move (more than 150 ms after the press) comes at least a long frame after the step.
constexpr int kSlideLead = 110;

// The keys for a slide: its move key held so that the fall timer runs out while the key is held
// and before the key's first repeated move; the slide then takes the timed step's place.
int SlideKeys(int pl, const Level& lv, int action, uint32_t now) {
  const PlayerState& p = game.player[pl];
  ComputerState& cs = game.computer[pl];
  int bit = 1 << (action == kSlideLeft ? kMoveLeft : kMoveRight);
  uint32_t due = p.fallTime + static_cast<uint32_t>(p.fallInterval) + 1;  // the timed step's first tick
  int state = KeyState(pl, action);
  // Held: kept while the step comes before the repeat, else let go to press again in time.
  if (state == 1 || state == 3) return static_cast<int32_t>(due - p.repeatTime) <= kSlideLead ? bit : 0;
  if (state != 0 || Before(now, cs.nextPress) || static_cast<int32_t>(due - now) > kSlideLead) return 0;
  cs.nextPress = now + Jitter(cs, lv.gapMs);
  return bit;
}

// The keys (bit k for PieceKey(pl, k)) the computer holds in this frame.
int Steer(int pl, int level, uint32_t now) {
  if (pl < 0 || pl > 1 || level < 0 || level >= kComputerLevels) return 0;
  const Level& lv = kLevels[level];
  const PlayerState& p = game.player[pl];
  ComputerState& cs = game.computer[pl];
  if (p.phase == kPhaseInit || p.phase == kPhaseWipeIn) {
    cs = ComputerState{};
    cs.rng = SeedFor(pl, level);
    return 0;
  }
  if (p.phase == kPhasePaused) return 0;
  if (p.phase != kPhaseControl) {
    cs.planned = cs.aligned = cs.dropping = 0;
    return 0;
  }
  Piece at{p.pieceSlot, p.pieceLine, PieceOrientation(p)};
  if (!cs.planned) {
    Placement t = ChoosePlacement(pl, level);
    cs.planned = 1;
    cs.replans = 0;
    cs.slot = t.slot, cs.line = t.line, cs.orientation = t.valid ? t.orientation : 0;
    cs.nextPress = now + Jitter(cs, lv.reactMs);
    cs.decisions += 1;
  }
  if (cs.dropping) return 1 << kDrop;
  if (cs.orientation == 0 || at.orientation == 0) return 0;  // nothing to steer: gravity sets it
  // A move key down since the last frame may be held for a slide, whatever the pace.
  bool moveKeyDown = ((KeyState(pl, kMoveLeft) | KeyState(pl, kMoveRight)) & 1) != 0;
  if (Before(now, cs.nextPress) && !moveKeyDown) return 0;

  Board b = Board::Of(p);
  bool onlyDrops = false;
  int action = NextAction(b, at, {cs.slot, cs.line, cs.orientation}, &onlyDrops);
  if (action < 0) {
    // The piece fell past its way (time ran on while the keys were slow): choose again once from
    // where it is, else let it fall.
    if (cs.replans > 0) return 1 << kDrop;
    Placement t = ChoosePlacement(pl, level);
    cs.replans += 1;
    cs.slot = t.slot, cs.line = t.line, cs.orientation = t.valid ? t.orientation : 0;
    return 0;
  }
  if (action == kSlideLeft || action == kSlideRight) return SlideKeys(pl, lv, action, now);
  if (Before(now, cs.nextPress)) return 0;
  if (onlyDrops) {
    // In place: a moment's look, then drop held down to the end, so the piece falls fast and is
    // set as soon as it is blocked.
    if (!cs.aligned && lv.dropMs > 0) {
      cs.aligned = 1;
      cs.nextPress = now + Jitter(cs, lv.dropMs);
      return 0;
    }
    cs.dropping = 1;
    return 1 << kDrop;
  }
  // Let the key come up first, so the press counts.
  if (KeyState(pl, action) != tu::kKeyStateUp) return 0;
  cs.nextPress = now + Jitter(cs, lv.gapMs);
  return 1 << action;
}

}  // namespace

void ComputerKeys(uint32_t now) {
  for (int pl = 0; pl < 2; ++pl) {
    int level = game.computerLevel[pl];
    if (level < 0) continue;
    if (level >= kComputerLevels) level = kComputerLevels - 1;
    int held = Steer(pl, level, now);
    // Whatever keys the player's actions are bound to: the rules poll those.
    for (int k = 0; k < 5; ++k) tuSystem::DriveKey(PieceKey(pl, k), (held >> k) & 1);
  }
}

void ReleaseComputerKeys() { tuSystem::ReleaseDrivenKeys(); }
