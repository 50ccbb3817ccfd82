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
      {{16}, "unknown type 16"},
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

// The watch feed's messages: each goes through unchanged at its limits, and each field out of its
// range, a length that does not fit or a truncation is refused with its reason.
TEST(NetProtocol, WatchFeedMessagesRoundTripAndBadOnesAreRefused) {
  std::vector<Message> all(7);
  all[0].type = MessageType::Watch;
  std::strcpy(all[0].watch.gameVersion, "1.5.0");
  all[0].watch.ruleHash = 42;
  all[1].type = MessageType::WatchGame;
  std::strcpy(all[1].watchGame.gameVersion, "1.5.0");
  all[1].watchGame.start = {3, 0x1122334455667788ull, 4, {2, 0}};
  all[1].watchGame.from = 1234;
  all[1].watchGame.overStep = 1234;
  all[1].watchGame.chunks = 32;
  all[1].watchGame.snapshotBytes = 31 * kMaxChunkBytes + 1;
  all[1].watchGame.digest = 0xDEADBEEFull;
  all[2].type = MessageType::Chunk;
  all[2].chunk = {3, 31, 32, kMaxChunkBytes, {}};
  all[2].chunk.data[kMaxChunkBytes - 1] = 0xFF;
  all[3].type = MessageType::Runs;
  all[3].runs.game = 3;
  all[3].runs.firstStep = 100;
  all[3].runs.count = kMaxRunsPerMessage;
  for (int i = 0; i < kMaxRunsPerMessage; ++i) all[3].runs.run[i] = {{static_cast<uint8_t>(i), 0x7F}, 0xFFFF};
  all[4].type = MessageType::Digest;
  all[4].digest = {3, 30, 99};
  all[5].type = MessageType::Over;
  all[5].over = {3, 1234};
  all[6].type = MessageType::Close;
  std::strcpy(all[6].close.reason, "the other player said no");
  std::vector<std::vector<uint8_t>> bytes;
  for (const Message& m : all) {
    uint8_t b[kMaxMessageBytes];
    size_t n = Encode(m, b);
    ASSERT_GT(n, 0u) << int(m.type);
    Message back;
    const char* why = nullptr;
    ASSERT_TRUE(Decode(b, n, &back, &why)) << int(m.type) << ": " << why;
    uint8_t again[kMaxMessageBytes];
    ASSERT_EQ(Encode(back, again), n);
    EXPECT_EQ(std::memcmp(b, again, n), 0) << int(m.type);
    bytes.emplace_back(b, b + n);
  }
  // No game yet: the identity alone, every other field 0.
  Message none;
  none.type = MessageType::WatchGame;
  uint8_t b[kMaxMessageBytes];
  ASSERT_GT(Encode(none, b), 0u);

  auto with = [](std::vector<uint8_t> v, size_t at, uint8_t value) {
    v[at] = value;
    return v;
  };
  const std::vector<uint8_t>&game = bytes[1], &chunk = bytes[2], &runs = bytes[3];
  // WatchGame after "1.5.0": rules at 9, game at 17, seed 21, delay 29, difficulties 30 and 31,
  // from 32, over 36, chunks 40, bytes 42, digest 46.
  struct Case {
    std::vector<uint8_t> bytes;
    const char* why;
  } cases[] = {
      {std::vector<uint8_t>(bytes[0].begin(), bytes[0].end() - 1), "truncated Watch"},
      {with(game, 29, 6), "WatchGame: input delay out of range"},
      {with(game, 31, 4), "WatchGame: difficulty out of range"},
      {with(game, 40, 31), "WatchGame: snapshot size does not fit its chunks"},
      {with(with(game, 40, 0xE9), 41, 0x03), "WatchGame: too many chunks"},
      {with(game, 36, 0), "WatchGame: over step is not the snapshot's"},
      {with(game, 17, 0), "WatchGame: fields of no game"},
      {with(with(game, 40, 0), 41, 0), "WatchGame: a new game has no snapshot"},
      {std::vector<uint8_t>(game.begin(), game.end() - 1), "truncated WatchGame"},
      {with(chunk, 5, 32), "Chunk: index out of range"},
      {with(chunk, 9, 0), "Chunk: size out of range"},
      {with(chunk, 9, kMaxChunkBytes + 1), "Chunk: size out of range"},
      {std::vector<uint8_t>(chunk.begin(), chunk.end() - 1), "truncated Chunk"},
      {with(runs, 9, 0), "Runs: count out of range"},
      {with(runs, 9, kMaxRunsPerMessage + 1), "Runs: count out of range"},
      {with(with(runs, 12, 0), 13, 0), "Runs: run of no step"},
      {with(runs, 10, 0x80), "Runs: unknown action bits"},
      {with(with(runs, 7, 0xFF), 8, 0xFF), "Runs: steps run past the last"},
      {std::vector<uint8_t>(runs.begin(), runs.end() - 2), "truncated Runs"},
      {with(bytes[4], 5, 0), "Digest: step 0"},
      {with(with(bytes[5], 5, 0), 6, 0), "Over: step out of range"},
      {{15, 1, 0x80}, "Close: reason not printable"},
  };
  for (const Case& c : cases) {
    Message m;
    const char* why = nullptr;
    EXPECT_FALSE(Decode(c.bytes.data(), c.bytes.size(), &m, &why)) << c.why;
    EXPECT_STREQ(why, c.why);
  }
}
