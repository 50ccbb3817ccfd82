#pragma once
#include <cstdint>

// The game's own random generator. Its whole state is one number kept in the game's state, so
// a saved and restored game deals the same colours again; the library's effects keep drawing
// from the C library's generator and never disturb it.
struct GameRandom {
  uint64_t state = 0x853C49E6748FEA9Bull;
};

// Starts the sequence that `seed` names; the same seed gives the same sequence.
void SeedRandom(GameRandom& r, uint32_t seed);
// The next 32 random bits.
uint32_t NextRandom32(GameRandom& r);
// A number 0..n-1, every one equally likely (n >= 1; below 1 gives 0 and draws nothing).
int RandomBelow(GameRandom& r, int n);
// A block colour 1..colorCount; a count outside 1..5 is taken as the nearest valid one.
int DrawColor(GameRandom& r, int colorCount);
