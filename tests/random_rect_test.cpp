// The explicit-state random generator and the rectangle tests of the public headers.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include <tu/random.h>
#include <tu/types.h>

namespace {

TEST(Random, SplitMixSequenceIsFixedBySeedAndCopiesReplayIt) {
  // The published splitmix64 outputs of seed 0: the sequence is the same on every machine.
  tu::Random r(0);
  EXPECT_EQ(r.Next64(), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(r.Next64(), 0x6E789E6AA1B965F4ull);
  tu::Random a(12345), b(12345), c(12346);
  for (int i = 0; i < 100; ++i) a.Next();
  tu::Random snapshot = a;  // the whole state is the struct
  std::vector<int> fromA, fromSnapshot;
  for (int i = 0; i < 50; ++i) {
    fromA.push_back(a.Range(-3, 3));
    fromSnapshot.push_back(snapshot.Range(-3, 3));
  }
  EXPECT_EQ(fromA, fromSnapshot);
  int same = 0;
  for (int i = 0; i < 64; ++i) same += b.Next() == c.Next();
  EXPECT_LT(same, 2) << "neighbouring seeds give unrelated sequences";
  snapshot.Seed(12345);
  EXPECT_EQ(snapshot.state, 12345u);
}

TEST(Random, BelowAndRangeStayInBoundsAndCoverThemEvenly) {
  tu::Random r(7);
  int counts[6] = {};
  for (int i = 0; i < 60000; ++i) {
    int v = r.Below(6);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 6);
    ++counts[v];
  }
  for (int c : counts) EXPECT_NEAR(c, 10000, 500);
  EXPECT_EQ(r.Below(0), 0);
  EXPECT_EQ(r.Below(-5), 0);
  bool low = false, high = false;
  for (int i = 0; i < 1000; ++i) {
    int v = r.Range(5, -2);  // ends in either order
    ASSERT_GE(v, -2);
    ASSERT_LE(v, 5);
    low = low || v == -2;
    high = high || v == 5;
  }
  EXPECT_TRUE(low && high) << "both ends are drawn";
  EXPECT_EQ(r.Range(9, 9), 9);
  // The widest range does not overflow: both signs come up.
  bool negative = false, positive = false;
  for (int i = 0; i < 64; ++i) {
    int v = r.Range(INT_MIN, INT_MAX);
    negative = negative || v < 0;
    positive = positive || v > 0;
  }
  EXPECT_TRUE(negative && positive);
}

TEST(Rects, OverlapNeedsASharedPixelAndContainsExcludesRightAndBottom) {
  const tu::Rect a{0, 0, 10, 10};
  struct Case {
    tu::Rect b;
    bool overlaps;
  } cases[] = {
      {{5, 5, 15, 15}, true},    // corner
      {{2, 2, 4, 4}, true},      // inside
      {{-5, -5, 20, 20}, true},  // around
      {{10, 0, 20, 10}, false},  // touches the right edge
      {{0, 10, 10, 20}, false},  // touches the bottom edge
      {{9, 9, 10, 10}, true},    // the last pixel
      {{3, 3, 3, 8}, false},     // empty
      {{8, 3, 2, 8}, false},     // turned inside out
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tu::Overlaps(a, c.b), c.overlaps) << c.b.left << "," << c.b.top;
    EXPECT_EQ(tu::Overlaps(c.b, a), c.overlaps) << "symmetric";
  }
  EXPECT_TRUE(tu::Contains(a, 0, 0));
  EXPECT_TRUE(tu::Contains(a, 9, 9));
  EXPECT_FALSE(tu::Contains(a, 10, 5));
  EXPECT_FALSE(tu::Contains(a, 5, 10));
  EXPECT_FALSE(tu::Contains(a, -1, 5));
  static_assert(tu::Overlaps({0, 0, 2, 2}, {1, 1, 3, 3}), "usable in constant expressions");
}

}  // namespace
