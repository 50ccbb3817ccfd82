// The places a piece can reach and be set on a field model, by the key presses of piece control
// (moves, falls, turns with their kicks, and slides under an overhang).
#pragma once

#include <cstdint>

#include "game/computer_field.h"

namespace computer {

// A state of the piece, as one number: its orientation's plane of 128 and, in it, the pivot's
// cell index (slot * kLines + line). A move across is a step of kLines, a fall of 2, half a block
// down of 1; a turn changes the plane.
constexpr int kPlane = 128;
constexpr int kStates = 4 * kPlane;
static_assert(kCells <= kPlane, "a plane holds every stored cell");

struct Piece {
  int slot, line, orientation;
};
inline int StateOf(const Piece& p) { return (p.orientation - 1) * kPlane + Index(p.slot, p.line); }
inline Piece PieceOf(int s) { return {s % kPlane / kLines, s % kPlane % kLines, s / kPlane + 1}; }

// The piece keys in the order they are polled, and the two slides, made with the move keys held.
enum Action { kMoveLeft, kMoveRight, kDrop, kTurnCw, kTurnCcw, kSlideLeft, kSlideRight, kActions };

// A place where the piece is set; kStates and above: set after a kick, at state id - kStates.
inline Piece LockOf(int id) { return PieceOf(id >= kStates ? id - kStates : id); }

// Every state the piece can reach from `start` by key presses, breadth first: how it was reached
// and where it can be set (a place reached both ways is listed once, without the kick).
struct Reach {
  int16_t parent[2 * kStates];
  int8_t action[2 * kStates];
  uint8_t seen[2 * kStates];
  int16_t locks[2 * kStates];
  int lockCount = 0;
  void Search(const Board& b, const Piece& start);
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
  void Search(const Board& b, const Piece& start, Reach& fallback);
};

// The board after the piece is set at `at` (a satellite above the field is lost, as in play).
void SetPiece(Board& b, const Piece& at, const int colours[3]);

}  // namespace computer
