// The game's own generator: a seed names one sequence, colours are uniform over their count,
// and the library's rand() is left alone.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game/game_random.h"
#include "game/model.h"

namespace {

TEST(GameRandom, ASeedNamesOneSequence) {
  GameRandom a, b, c;
  SeedRandom(a, 42);
  SeedRandom(b, 42);
  SeedRandom(c, 43);
  int same = 0, differ = 0;
  for (int i = 0; i < 100; ++i) {
    uint32_t x = NextRandom32(a);
    same += x == NextRandom32(b);
    differ += x != NextRandom32(c);
  }
  EXPECT_EQ(same, 100);
  EXPECT_GE(differ, 99);
}

TEST(GameRandom, ColoursAreUniformOverTheirCount) {
  // Counts outside 1..5 are taken as the nearest valid one.
  const struct {
    int count, colours;
  } cases[] = {{4, 4}, {5, 5}, {1, 1}, {0, 1}, {-3, 1}, {9, 5}};
  for (const auto& c : cases) {
    GameRandom r;
    SeedRandom(r, 7);
    constexpr int kDraws = 60000;
    int seen[7] = {};
    for (int i = 0; i < kDraws; ++i) {
      int v = DrawColor(r, c.count);
      ASSERT_GE(v, 1) << c.count;
      ASSERT_LE(v, c.colours) << c.count;
      ++seen[v];
    }
    for (int v = 1; v <= c.colours; ++v)
      EXPECT_NEAR(seen[v], kDraws / c.colours, kDraws / c.colours / 25) << "count " << c.count << ", colour " << v;
  }
}

TEST(GameRandom, LargeRangesStayInRangeAndNoRangeDrawsNothing) {
  GameRandom r, before;
  for (int i = 0; i < 1000; ++i) {
    int v = RandomBelow(r, 0x7FFFFFFF);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 0x7FFFFFFF);
  }
  before = r;
  EXPECT_EQ(RandomBelow(r, 0), 0);
  EXPECT_EQ(r, before);
}

TEST(GameRandom, TheGameDealsFromItsStateAndNotFromRand) {
  game = GameState{};
  SeedRandom(game.random, 5);
  GameRandom copy = game.random;
  srand(11);
  int next = rand();
  srand(11);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(RandomColor(5), DrawColor(copy, 5));
  EXPECT_EQ(rand(), next);
  // A restored state deals the same colours again.
  GameRandom saved = game.random;
  int first = RandomColor(4), second = RandomColor(4);
  game.random = saved;
  EXPECT_EQ(RandomColor(4), first);
  EXPECT_EQ(RandomColor(4), second);
}

}  // namespace
