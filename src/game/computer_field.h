// The computer player's model of a field: the lattice's cells and neighbours worked out once,
// a compact board, and the game's gravity and erasures on it, fast enough to judge thousands of
// places a piece.
#pragma once

#include <cstdint>

#include "game/model.h"

namespace computer {

constexpr int kCells = kSlots * kLines;
constexpr int kOutside = kCells;  // one cell more, always wall: every place outside the storage
constexpr int Index(int slot, int line) { return slot * kLines + line; }
constexpr bool Stored(int slot, int line) { return slot >= 0 && slot < kSlots && line >= 0 && line < kLines; }
constexpr int CellOf(int slot, int line) { return Stored(slot, line) ? Index(slot, line) : kOutside; }

inline bool Colour(int code) { return code >= 1 && code <= 5; }
inline bool Falls(int code) { return Colour(code) || code == kGarbage; }

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
  Lattice();
};
// The one lattice, made on first use.
const Lattice& Cells();

// Sets of lattice positions, one bit each.
using Positions = uint64_t[2];
inline void Add(Positions set, int position) {
  if (position >= 0) set[position >> 6] |= uint64_t{1} << (position & 63);
}
inline bool Has(const Positions set, int position) {
  return position >= 0 && ((set[position >> 6] >> (position & 63)) & 1) != 0;
}
// Takes the lowest position out of the set; -1 when it is empty.
inline int Take(Positions set) {
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
  static Board Of(const PlayerState& p);
};

struct Outcome {
  int chain = 0, erased = 0, garbage = 0;
};

// Gravity until the field rests.
void Settle(Board& b);
// Size of the group of `colour` through lattice position `start` (which holds `colour`); marks
// the group in `seen` and lists its lattice positions in `group` when given.
int Group(const Board& b, int start, int colour, Positions seen, int16_t* group);
// Gravity and erasures until the field rests, as after a piece is set.
Outcome Resolve(Board& b);
// Whether the cells a new piece enters are taken.
bool EntryBlocked(const Board& b);
// Announced garbage as it enters at the next spawn, in blocks of no colour yet.
void DropGarbage(Board& b, int count);

}  // namespace computer
