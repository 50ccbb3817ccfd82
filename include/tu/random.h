#pragma once
#include <cstdint>

namespace tu {

// A small random generator whose whole state is one 64-bit number, for games that must replay
// or snapshot their randomness: copy the struct and the copy draws the same numbers. The
// algorithm is splitmix64: the state advances by a fixed odd constant and is scrambled into the
// output, so the period is 2^64 draws and the same seed always gives the same sequence, on any
// machine. It is not for cryptography.
struct Random {
  uint64_t state = 0;

  constexpr Random() = default;
  // Starts the sequence of `seed`; every seed, 0 included, is a good one.
  constexpr explicit Random(uint64_t seed) : state(seed) {}
  constexpr void Seed(uint64_t seed) { state = seed; }

  // The next 64 random bits.
  constexpr uint64_t Next64() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // The next 32 random bits.
  constexpr uint32_t Next() { return static_cast<uint32_t>(Next64() >> 32); }
  // A number in 0..n-1, every one equally likely; 0 (drawing nothing) when n <= 0.
  constexpr int Below(int n) {
    return n <= 0 ? 0 : static_cast<int>(Uniform(static_cast<uint64_t>(n)));
  }
  // A number in a..b, both ends included, every one equally likely; the ends may come in
  // either order.
  constexpr int Range(int a, int b) {
    if (a > b) {
      int t = a;
      a = b;
      b = t;
    }
    uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(b) - a) + 1;
    return static_cast<int>(static_cast<int64_t>(a) + static_cast<int64_t>(Uniform(span)));
  }

 private:
  // 0..n-1 without bias: draws that fall in the incomplete last round of n are drawn again
  // (fewer than one in 2^32 for any int range).
  constexpr uint64_t Uniform(uint64_t n) {
    const uint64_t reject = (0 - n) % n;  // 2^64 mod n
    for (;;) {
      uint64_t x = Next64();
      if (x >= reject) return x % n;
    }
  }
};

}  // namespace tu
