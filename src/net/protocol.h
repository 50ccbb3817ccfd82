#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The messages two copies of the game exchange in an online versus game, and their encoding.
// Every message is one datagram: a type byte, then its fields in little-endian order. Decoding
// checks every length and range and refuses anything else with a message; it never reads past
// the data it is given.
namespace net {

constexpr uint16_t kProtocolVersion = 1;
// Inputs carried in one Inputs message at most: the sender's unacknowledged ones, newest last.
constexpr int kMaxInputsPerMessage = 64;
// No message is longer (the Inputs message with all its inputs fits well under it).
constexpr size_t kMaxMessageBytes = 256;
constexpr uint32_t kNoStep = 0xFFFFFFFFu;

enum class MessageType : uint8_t {
  Hello = 1,     // joiner to host, and host's answer: who is talking
  Refuse = 2,    // the other side cannot play with this one (versions, rules, busy)
  Level = 3,     // a side's difficulty on the versus level screen, once chosen
  Start = 4,     // host: a game starts
  Inputs = 5,    // a side's held actions for a run of steps
  Checksum = 6,  // a side's digest of a confirmed step
  Continue = 7,  // a side's answer to the continue question
  Bye = 8,       // the side leaves
  // The watch feed (see net/watch.h): a watcher's handshake, and what the host sends its
  // watchers. Their types are kFirstWatchType..kLastWatchType, so that a relay tells the feed
  // from the game's own messages by the first byte alone.
  Watch = 9,       // watcher to host: who is watching (its first and only message)
  WatchGame = 10,  // host: a game starts (from step 0), or a catch-up of the one running
  Chunk = 11,      // host: a piece of a catch-up's snapshot
  Runs = 12,       // host: both players' confirmed inputs, as runs of unchanged input
  Digest = 13,     // host: the digest the players compared at a confirmed step
  Over = 14,       // host: the confirmed step after which the game was over
  Close = 15,      // host: the match is over (or the host left)
};
constexpr uint8_t kFirstWatchType = 9, kLastWatchType = 15;
// The most watchers a host takes, and the most runs and snapshot bytes one message carries.
constexpr int kMaxWatchers = 8;
constexpr int kMaxRunsPerMessage = 60;
constexpr int kMaxChunkBytes = 240;
constexpr const char* kTooManyWatchers = "the game has 8 watchers already";

struct Hello {
  uint16_t protocol = kProtocolVersion;
  char gameVersion[33] = {};  // printable ASCII, NUL-terminated, at most 32 characters
  uint64_t ruleHash = 0;
};
struct Refuse {
  char reason[65] = {};  // printable ASCII, NUL-terminated
};
struct Level {
  uint8_t difficulty = 0;  // 0..3
};
struct Start {
  uint32_t game = 0;        // the session's game number, from 1
  uint64_t seed = 0;        // the game generator's state at the start
  uint8_t inputDelay = 2;   // 2..5 steps, the host's choice for this game
  uint8_t difficulty[2] = {};  // of the host (player 1) and the joiner (player 2)
};
struct Inputs {
  uint32_t game = 0;
  uint32_t firstStep = 0;  // the step of held[0]
  uint8_t count = 0;       // 1..kMaxInputsPerMessage
  uint8_t held[kMaxInputsPerMessage] = {};  // action bits (the game's StepInput of one player)
  uint32_t ackStep = kNoStep;  // the last step of the other side's inputs the sender has
};
struct Checksum {
  uint32_t game = 0;
  uint32_t step = 0;
  uint64_t digest = 0;
};
struct Continue {
  uint32_t game = 0;
  uint8_t yes = 0;
};
struct Bye {
  uint8_t reason = 0;
};

// Watch has Hello's fields. WatchGame: the host's identity, the game's start, and where the feed
// goes on from: `from` 0 for a new game; for a catch-up the confirmed step of the snapshot that
// follows in `chunks` Chunks (its digest `digest`, see Checksum(GameSnapshot)), then the runs of
// steps 0..from-1 and the digests so far. Game 0: no game has started yet.
struct WatchGame {
  uint16_t protocol = kProtocolVersion;
  char gameVersion[33] = {};
  uint64_t ruleHash = 0;
  Start start = {0, 0, 0, {0, 0}};  // start.game 0: none yet (the other fields then 0)
  uint32_t from = 0;
  uint32_t overStep = kNoStep;  // the game was over after this step already (a catch-up)
  uint16_t chunks = 0;          // 0 for a new game; 1..1000 for a catch-up
  uint32_t snapshotBytes = 0;
  uint64_t digest = 0;
};
struct Chunk {
  uint32_t game = 0;
  uint16_t index = 0, count = 0;  // index < count
  uint8_t size = 0;               // 1..kMaxChunkBytes
  uint8_t data[kMaxChunkBytes] = {};
};
struct Run {
  uint8_t held[2] = {};  // players 1 and 2
  uint16_t length = 1;   // 1..65535 steps
};
struct Runs {
  uint32_t game = 0;
  uint32_t firstStep = 0;
  uint8_t count = 0;  // 1..kMaxRunsPerMessage
  Run run[kMaxRunsPerMessage];
};
struct Over {
  uint32_t game = 0;
  uint32_t step = 0;
};

struct Message {
  MessageType type = MessageType::Bye;
  Hello hello;
  Refuse refuse;
  Level level;
  Start start;
  Inputs inputs;
  Checksum checksum;
  Continue cont;
  Bye bye;
  Hello watch;  // Watch
  WatchGame watchGame;
  Chunk chunk;
  Runs runs;
  Checksum digest;  // Digest
  Over over;
  Refuse close;  // Close: the match's end as the host told it
};

// Writes `m` into `out` (room for kMaxMessageBytes); returns its length, 0 when a field is out
// of range (nothing valid is ever written from a bad message).
size_t Encode(const Message& m, uint8_t* out);
// Reads one datagram; false with a short reason ("Inputs: count 0", "unknown type 9",
// "truncated Start") for anything that is not exactly one well-formed message.
bool Decode(const uint8_t* data, size_t size, Message* out, const char** why);

}  // namespace net
