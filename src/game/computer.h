#pragma once
#include <cstdint>

// The computer player. It plays a field only through that player's five piece keys: once per
// piece it chooses where the piece is to be set, then each frame it holds the keys that bring the
// piece there, at the pace of its level, and the rules of piece control do everything else.

constexpr int kComputerLevels = 4;  // Easy, Normal, Hard and the hidden level

// Once per frame of the game scene, before the rules poll the keys: the keys of every field a
// computer plays (`game.computerLevel`) are set for this frame. Other keys stay the keyboard's.
void ComputerKeys(uint32_t now);
// Gives every player's piece keys back to the keyboard.
void ReleaseComputerKeys();

// Where a piece is to be set: its pivot and orientation 1..4 when it locks. `valid` is 0 when the
// piece cannot be steered (it is in no known shape).
struct Placement {
  int slot = 0, line = 0, orientation = 0;
  int valid = 0;
};

// The place a computer of `level` (0..3) chooses for player `pl`'s piece in play, from what that
// player sees: his field, his piece and the next one, the garbage announced to him and the other
// field. Draws on the computer's own generator; changes nothing else.
Placement ChoosePlacement(int pl, int level);
