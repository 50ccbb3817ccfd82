// The online messages: each type goes through Encode and Decode unchanged, and every malformed
// datagram is refused with its reason.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/protocol.h"

using namespace net;

namespace {

std::vector<Message> OneOfEach() {
  std::vector<Message> all(8);
  all[0].type = MessageType::Hello;
  all[0].hello.ruleHash = 0x0123456789ABCDEFull;
  std::strcpy(all[0].hello.gameVersion, "1.4.0 with a version of 32 chars");
  all[1].type = MessageType::Refuse;
  std::strcpy(all[1].refuse.reason, "busy");
  all[2].type = MessageType::Level;
  all[2].level.difficulty = 3;
  all[3].type = MessageType::Start;
  all[3].start = {7, 0xFEDCBA9876543210ull, 5, {3, 1}};
  all[4].type = MessageType::Inputs;
  all[4].inputs.game = 2;
  all[4].inputs.firstStep = kNoStep - 64;
  all[4].inputs.count = 64;
  for (int i = 0; i < 64; ++i) all[4].inputs.held[i] = static_cast<uint8_t>(i * 2);
  all[4].inputs.ackStep = 99;
  all[5].type = MessageType::Checksum;
  all[5].checksum = {3, 600, 0xAABBCCDDEEFF0011ull};
  all[6].type = MessageType::Continue;
  all[6].cont = {4, 1};
  all[7].type = MessageType::Bye;
  all[7].bye.reason = 200;
  return all;
}

TEST(NetProtocol, EveryTypeRoundTrips) {
  for (const Message& m : OneOfEach()) {
    uint8_t bytes[kMaxMessageBytes];
    size_t n = Encode(m, bytes);
    ASSERT_GT(n, 0u) << int(m.type);
    Message back;
    const char* why = nullptr;
    ASSERT_TRUE(Decode(bytes, n, &back, &why)) << int(m.type) << ": " << why;
    uint8_t again[kMaxMessageBytes];
    ASSERT_EQ(Encode(back, again), n);
    EXPECT_EQ(std::memcmp(bytes, again, n), 0) << int(m.type);
  }
  // Little-endian, type first.
  Message c;
  c.type = MessageType::Continue;
  c.cont = {0x04030201, 1};
  uint8_t bytes[kMaxMessageBytes];
  ASSERT_EQ(Encode(c, bytes), 6u);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 6), (std::vector<uint8_t>{7, 1, 2, 3, 4, 1}));
}

TEST(NetProtocol, BadDatagramsAreRefusedWithTheirReason) {
  std::vector<Message> all = OneOfEach();
  auto encoded = [&](int i) {
    uint8_t b[kMaxMessageBytes];
    size_t n = Encode(all[i], b);
    return std::vector<uint8_t>(b, b + n);
  };
  std::vector<uint8_t> hello = encoded(0), start = encoded(3), inputs = encoded(4);
  // Offsets: Start's input delay is byte 13; Inputs' count is byte 9, its held bytes from 10.
  auto with = [](std::vector<uint8_t> v, size_t at, uint8_t value) {
    v[at] = value;
    return v;
  };
  std::vector<uint8_t> trailing = encoded(7);
  trailing.push_back(0);
  std::vector<uint8_t> wrap = inputs;
  wrap[5] = 0xC1;  // first step kNoStep - 62: 64 steps run past the last
  struct Case {
    std::vector<uint8_t> bytes;
    const char* why;
  } cases[] = {
      {{}, "empty datagram"},
      {{9}, "unknown type 9"},
      {{0}, "unknown type 0"},
      {std::vector<uint8_t>(hello.begin(), hello.end() - 1), "truncated Hello"},
      {with(hello, 3, 33), "Hello: version longer than 32 characters"},
      {with(hello, 4, 0x7F), "Hello: version not printable"},
      {{2, 65}, "Refuse: reason longer than 64 characters"},
      {{2, 2, 'o', '\n'}, "Refuse: reason not printable"},
      {{3, 4}, "Level: difficulty out of range"},
      {{3}, "truncated Level"},
      {with(start, 1, 0), "Start: game 0"},
      {with(start, 13, 1), "Start: input delay out of range"},
      {with(start, 13, 6), "Start: input delay out of range"},
      {with(start, 15, 4), "Start: difficulty out of range"},
      {std::vector<uint8_t>(start.begin(), start.begin() + 10), "truncated Start"},
      {with(inputs, 9, 0), "Inputs: count 0"},
      {with(inputs, 9, 65), "Inputs: count over 64"},
      {with(inputs, 10 + 63, 0x80), "Inputs: unknown action bits"},
      {wrap, "Inputs: steps run past the last"},
      {std::vector<uint8_t>(inputs.begin(), inputs.end() - 4), "truncated Inputs"},
      {{6, 1, 0, 0, 0}, "truncated Checksum"},
      {{7, 1, 0, 0, 0, 2}, "Continue: answer not 0 or 1"},
      {trailing, "trailing bytes"},
  };
  for (const Case& c : cases) {
    Message m;
    const char* why = nullptr;
    // A copy of exactly the datagram's size, so that a read past it shows under the sanitizers.
    std::vector<uint8_t> exact(c.bytes);
    EXPECT_FALSE(Decode(exact.data(), exact.size(), &m, &why)) << c.why;
    EXPECT_STREQ(why, c.why);
  }
}

TEST(NetProtocol, EncodeRefusesFieldsOutOfRange) {
  std::vector<Message> all = OneOfEach();
  uint8_t b[kMaxMessageBytes];
  all[0].hello.gameVersion[32] = 'x';  // no terminator within 32 characters
  EXPECT_EQ(Encode(all[0], b), 0u);
  all[3].start.game = 0;
  EXPECT_EQ(Encode(all[3], b), 0u);
  all[4].inputs.held[0] = 0x80;
  EXPECT_EQ(Encode(all[4], b), 0u);
  all[6].cont.yes = 2;
  EXPECT_EQ(Encode(all[6], b), 0u);
  Message unknown;
  unknown.type = static_cast<MessageType>(42);
  EXPECT_EQ(Encode(unknown, b), 0u);
}

}  // namespace
