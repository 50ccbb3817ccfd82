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
};

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
};

// Writes `m` into `out` (room for kMaxMessageBytes); returns its length, 0 when a field is out
// of range (nothing valid is ever written from a bad message).
size_t Encode(const Message& m, uint8_t* out);
// Reads one datagram; false with a short reason ("Inputs: count 0", "unknown type 9",
// "truncated Start") for anything that is not exactly one well-formed message.
bool Decode(const uint8_t* data, size_t size, Message* out, const char** why);

}  // namespace net
