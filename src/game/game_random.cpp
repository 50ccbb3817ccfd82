#include "game/game_random.h"

#include <tu/random.h>

namespace {

constexpr uint64_t kGamma = 0x9E3779B97F4A7C15ull;  // the library generator's step

tu::Random Load(const GameRandom& r) { return tu::Random(static_cast<uint64_t>(r.state[1]) << 32 | r.state[0]); }

void Store(GameRandom& r, const tu::Random& g) {
  r.state[0] = static_cast<uint32_t>(g.state);
  r.state[1] = static_cast<uint32_t>(g.state >> 32);
}

}  // namespace

void SeedRandom(GameRandom& r, uint32_t seed) {
  // The count starts at the scrambled seed, so that near seeds start far apart.
  tu::Random scramble((seed ^ 0x6A09E667F3BCC909ull) - kGamma);
  Store(r, tu::Random(scramble.Next64()));
}

uint32_t NextRandom32(GameRandom& r) {
  tu::Random g = Load(r);
  uint32_t x = g.Next();
  Store(r, g);
  return x;
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
