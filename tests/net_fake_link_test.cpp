// The fake link: delay, sequencing of the input channel, order of the control channel, chance
// figures near the conditions asked for, and cutting.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "net/transport.h"

using namespace net;

namespace {

bool SendNumber(Transport& t, Channel c, uint32_t n) {
  uint8_t b[4];
  std::memcpy(b, &n, 4);
  return t.Send(c, b, 4);
}

uint32_t NumberOf(const Event& e) {
  uint32_t n = 0;
  std::memcpy(&n, e.data, 4);
  return n;
}

// Everything `t` has to give now, after its Connected.
std::vector<Event> Drain(Transport& t) {
  std::vector<Event> got;
  Event e;
  for (t.Poll(&e); e.kind != Event::None; t.Poll(&e))
    if (e.kind != Event::Connected) got.push_back(e);
  return got;
}

TEST(NetFakeLink, WithoutLossEverythingArrivesAfterHalfTheRoundTripInOrder) {
  FakeLink link({.roundTripMs = 80});
  for (uint32_t i = 0; i < 5; ++i) {
    ASSERT_TRUE(SendNumber(link.End(0), Channel::Inputs, i));
    ASSERT_TRUE(SendNumber(link.End(1), Channel::Control, 100 + i));
  }
  link.Advance(39);
  EXPECT_TRUE(Drain(link.End(1)).empty());
  EXPECT_TRUE(Drain(link.End(0)).empty());
  link.Advance(1);
  std::vector<Event> a = Drain(link.End(1)), b = Drain(link.End(0));
  ASSERT_EQ(a.size(), 5u);
  ASSERT_EQ(b.size(), 5u);
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(a[i].channel, Channel::Inputs);
    EXPECT_EQ(NumberOf(a[i]), i);
    EXPECT_EQ(b[i].channel, Channel::Control);
    EXPECT_EQ(NumberOf(b[i]), 100 + i);
  }
  EXPECT_EQ(link.End(0).RoundTripMs(), 80u);
  EXPECT_GT(link.End(0).BytesSent(), 20u);
  EXPECT_EQ(link.End(0).BytesSent(), link.End(1).BytesReceived());
}

TEST(NetFakeLink, ChancesComeNearTheConditionsAndInputsStaySequenced) {
  FakeLink link({.roundTripMs = 60, .jitterMs = 0, .loss = 0.05, .duplicate = 0.01, .reorder = 0.01, .seed = 7});
  const uint32_t kSent = 10000;
  std::vector<int> seen(kSent, 0);
  int64_t newest = -1;
  uint32_t control = 0, copies = 0, older = 0;
  for (uint32_t i = 0; i < kSent; ++i) {
    ASSERT_TRUE(SendNumber(link.End(0), Channel::Inputs, i));
    if (i % 10 == 0) {
      ASSERT_TRUE(SendNumber(link.End(0), Channel::Control, i / 10));
    }
    link.Advance(1);
    if (i == kSent - 1) link.Advance(1000);
    for (const Event& e : Drain(link.End(1))) {
      uint32_t n = NumberOf(e);
      if (e.channel == Channel::Control) {
        EXPECT_EQ(n, control++);
        continue;
      }
      if (static_cast<int64_t>(n) < newest) ++older;
      newest = std::max<int64_t>(newest, n);
      if (seen[n]++) ++copies;
    }
  }
  EXPECT_EQ(control, kSent / 10);  // the control channel loses nothing
  EXPECT_EQ(older, 0u);
  FakeLinkCounts c = link.Counts();
  EXPECT_NEAR(double(c.lost), 500, 100);
  EXPECT_NEAR(double(c.duplicated), 95, 45);
  EXPECT_NEAR(double(c.reordered), 95, 45);
  EXPECT_GE(c.late, c.reordered * 9 / 10);  // a held-back datagram is passed, then dropped
  EXPECT_EQ(c.overflowed, 0u);
  uint32_t distinct = 0;
  for (int s : seen) distinct += s > 0;
  EXPECT_NEAR(double(distinct), kSent - c.lost - c.reordered, 10);
  EXPECT_GT(copies, 0u);
}

TEST(NetFakeLink, CutAndCloseAreSeenAsDisconnected) {
  FakeLink link({.roundTripMs = 20});
  Event e;
  link.End(0).Poll(&e);
  EXPECT_EQ(e.kind, Event::Connected);
  SendNumber(link.End(0), Channel::Control, 1);
  link.Cut();
  link.Advance(100);
  for (int side = 0; side < 2; ++side) {
    std::vector<Event> got = Drain(link.End(side));
    ASSERT_EQ(got.size(), 1u) << side;  // what was in flight is gone with the link
    EXPECT_EQ(got[0].kind, Event::Disconnected);
    EXPECT_FALSE(SendNumber(link.End(side), Channel::Control, 2));
  }

  FakeLink other({.roundTripMs = 20});
  SendNumber(other.End(1), Channel::Control, 5);
  other.End(1).Close();
  EXPECT_FALSE(SendNumber(other.End(1), Channel::Inputs, 6));
  other.Advance(10);
  std::vector<Event> got = Drain(other.End(0));
  ASSERT_EQ(got.size(), 2u);  // what was sent before the goodbye still arrives first
  EXPECT_EQ(got[0].kind, Event::Received);
  EXPECT_EQ(got[1].kind, Event::Disconnected);
  EXPECT_TRUE(Drain(other.End(1)).empty());
}

TEST(NetFakeLink, RefusesBeyondItsCapacityAndCountsIt) {
  FakeLink link({.roundTripMs = 100});
  uint8_t big[300] = {};
  EXPECT_FALSE(link.End(0).Send(Channel::Control, big, sizeof big));
  uint32_t accepted = 0;
  for (uint32_t i = 0; i < 5000; ++i) accepted += SendNumber(link.End(0), Channel::Control, i);
  EXPECT_EQ(accepted, 4096u);
  EXPECT_EQ(link.Counts().overflowed, 5000u - 4096u);
  link.Advance(50);
  EXPECT_EQ(Drain(link.End(1)).size(), 4096u);
  EXPECT_TRUE(SendNumber(link.End(0), Channel::Control, 1));  // the slots are free again
}

}  // namespace
