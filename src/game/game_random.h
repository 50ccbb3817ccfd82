#pragma once
#include <cstdint>

// The game's random numbers: the library's generator (tu::Random), its count kept in the game's
// state as two 32-bit words (which the simulator's state table can name). A saved and restored
// game deals the same colours again; the library's effects keep drawing from the C library's
// rand() and never disturb it.
struct GameRandom {
  uint32_t state[2] = {0x748FEA9Bu, 0x853C49E6u};  // a 64-bit count: low word, high word
  bool operator==(const GameRandom&) const = default;
};

// Starts the sequence that `seed` names; the same seed gives the same sequence.
void SeedRandom(GameRandom& r, uint32_t seed);
// The next 32 random bits.
uint32_t NextRandom32(GameRandom& r);
// A number 0..n-1, every one equally likely (n >= 1; below 1 gives 0 and draws nothing).
int RandomBelow(GameRandom& r, int n);
// A block colour 1..colorCount; a count outside 1..5 is taken as the nearest valid one.
int DrawColor(GameRandom& r, int colorCount);
