// The UDP transport on 127.0.0.1: connecting, a datagram each way on both channels, refusing
// what is too long, a second caller and an unknown host, and closing. Every wait is a poll loop
// with a deadline of a few seconds.
#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "net/transport.h"

using namespace net;

namespace {

// Polls every end until `want` of kind `kind` reaches `of` (whose other events are kept in
// `*got`); false after three seconds.
bool WaitFor(Transport& of, Event::Kind kind, std::initializer_list<Transport*> others, Event* got) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < deadline) {
    Event e;
    for (Transport* t : others) t->Poll(&e);
    of.Poll(got);
    if (got->kind == kind) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

TEST(NetEnet, TwoEndsOnLoopbackTalkOnBothChannelsAndSeeTheCloseOfTheOther) {
  std::string error;
  std::unique_ptr<Transport> host = HostOn(0, &error);
  ASSERT_TRUE(host) << error;
  uint16_t port = BoundPort(*host);
  ASSERT_NE(port, 0);
  std::unique_ptr<Transport> join = JoinTo("127.0.0.1", port, &error);
  ASSERT_TRUE(join) << error;
  EXPECT_EQ(BoundPort(*join), 0);
  Event e;
  ASSERT_TRUE(WaitFor(*join, Event::Connected, {host.get()}, &e));
  ASSERT_TRUE(WaitFor(*host, Event::Connected, {join.get()}, &e));

  const uint8_t control[] = {1, 2, 3}, input[] = {9};
  for (Transport* from : {host.get(), join.get()}) {
    Transport* to = from == host.get() ? join.get() : host.get();
    ASSERT_TRUE(from->Send(Channel::Control, control, sizeof control));
    ASSERT_TRUE(WaitFor(*to, Event::Received, {from}, &e));
    EXPECT_EQ(e.channel, Channel::Control);
    ASSERT_EQ(e.size, sizeof control);
    EXPECT_EQ(std::memcmp(e.data, control, sizeof control), 0);
    ASSERT_TRUE(from->Send(Channel::Inputs, input, sizeof input));
    ASSERT_TRUE(WaitFor(*to, Event::Received, {from}, &e));
    EXPECT_EQ(e.channel, Channel::Inputs);
    EXPECT_EQ(e.size, 1u);
    EXPECT_EQ(e.data[0], 9);
  }
  uint8_t big[300] = {};
  EXPECT_FALSE(host->Send(Channel::Control, big, sizeof big));
  EXPECT_GT(host->BytesSent(), 0u);
  EXPECT_GT(join->BytesReceived(), 0u);

  // A second caller is turned away while the first plays on.
  std::unique_ptr<Transport> third = JoinTo("127.0.0.1", port, &error);
  ASSERT_TRUE(third) << error;
  EXPECT_TRUE(WaitFor(*third, Event::Disconnected, {host.get(), join.get()}, &e));
  EXPECT_TRUE(host->Send(Channel::Control, control, sizeof control));

  join->Close();
  EXPECT_FALSE(join->Send(Channel::Control, control, sizeof control));
  EXPECT_TRUE(WaitFor(*host, Event::Disconnected, {}, &e));
  EXPECT_FALSE(host->Send(Channel::Control, control, sizeof control));
}

TEST(NetEnet, FailuresComeWithAMessage) {
  std::string error;
  EXPECT_FALSE(JoinTo("", 7000, &error));  // no name that needs a name server: tests stay on loopback
  EXPECT_NE(error.find("unknown host"), std::string::npos) << error;
  EXPECT_FALSE(JoinTo("127.0.0.1", 0, &error));
  EXPECT_NE(error.find("no port"), std::string::npos) << error;
  std::unique_ptr<Transport> host = HostOn(0, &error);
  ASSERT_TRUE(host) << error;
  error.clear();
  EXPECT_FALSE(HostOn(BoundPort(*host), &error));
  EXPECT_NE(error.find("cannot listen"), std::string::npos) << error;
}

}  // namespace

// A side that closes while the other is not served (a busy frame): its last message still
// arrives, not dropped by a disconnection that comes with it.
TEST(NetEnet, TheLastMessageBeforeACloseReachesASideThatWasBusy) {
  std::string error;
  std::unique_ptr<Transport> host = HostOn(0, &error);
  ASSERT_TRUE(host) << error;
  std::unique_ptr<Transport> join = JoinTo("127.0.0.1", BoundPort(*host), &error);
  ASSERT_TRUE(join) << error;
  Event e;
  ASSERT_TRUE(WaitFor(*join, Event::Connected, {host.get()}, &e));
  ASSERT_TRUE(WaitFor(*host, Event::Connected, {join.get()}, &e));
  const uint8_t bye[] = {8, 0};
  ASSERT_TRUE(host->Send(Channel::Control, bye, sizeof bye));
  host->Close();
  ASSERT_TRUE(WaitFor(*join, Event::Received, {}, &e));
  EXPECT_EQ(e.size, sizeof bye);
}
