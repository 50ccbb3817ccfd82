#include "game/game_random.h"

namespace {
constexpr uint64_t kGamma = 0x9E3779B97F4A7C15ull;

// A 64-bit mix with full avalanche: consecutive states give unrelated outputs.
uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
}  // namespace

void SeedRandom(GameRandom& r, uint32_t seed) { r.state = Mix(seed ^ 0x6A09E667F3BCC909ull); }

uint32_t NextRandom32(GameRandom& r) {
  r.state += kGamma;
  return static_cast<uint32_t>(Mix(r.state) >> 32);
}

int RandomBelow(GameRandom& r, int n) {
  if (n < 1) return 0;
  const uint32_t range = static_cast<uint32_t>(n);
  // Multiply-and-shift, drawing again in the few cases that would favour the low numbers.
  uint64_t m = static_cast<uint64_t>(NextRandom32(r)) * range;
  uint32_t low = static_cast<uint32_t>(m);
  if (low < range) {
    const uint32_t threshold = (0u - range) % range;
    while (low < threshold) {
      m = static_cast<uint64_t>(NextRandom32(r)) * range;
      low = static_cast<uint32_t>(m);
    }
  }
  return static_cast<int>(m >> 32);
}

int DrawColor(GameRandom& r, int colorCount) {
  if (colorCount < 1) colorCount = 1;
  if (colorCount > 5) colorCount = 5;
  return RandomBelow(r, colorCount) + 1;
}
