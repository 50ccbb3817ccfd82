#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The relay's own messages, between a client and the relay server, on the reliable channel.
// Their type bytes (0x40..0x4F) are never a game message's (those are below 0x40), so the relay
// tells the two apart by the first byte alone and never reads a game message further. Decoding is
// strict: every length and range is checked, nothing is read past the data, and anything else is
// refused with a short reason.
//
// Layout after the type byte (integers little-endian):
//   Open     u8 relay protocol, u16 game protocol          client: give me a room
//   Code     6 letters                                     relay: your room's code
//   Join     u8 relay protocol, u16 game protocol, 6 letters   client: put me in this room
//   Paired   u8 role (0 host, 1 joiner)                    relay: the other player is here
//   Ended    u8 reason (RelayEnd)                          relay: the room is over
//   Refused  u8 reason (RelayRefusal)                      relay: no room for you
//   Watch    u8 relay protocol, u16 game protocol, 6 letters   client: let me watch this room
//   Watchers u8 count (0..8), u32 joins so far              relay to the players: who watches
//
// A watcher is paired with role 2. What the room's host sends with a watch feed type
// (kFirstWatchType..kLastWatchType, net/protocol.h) goes to every watcher of the room, never to
// the joiner; what a watcher sends is dropped and counted.
namespace net {

constexpr uint8_t kRelayProtocolVersion = 1;
constexpr uint16_t kRelayDefaultPort = 7380;
// The first type byte of the relay's range; every game message's type is below it.
constexpr uint8_t kFirstRelayType = 0x40, kLastRelayType = 0x4F;
constexpr size_t kRoomCodeLetters = 6;
constexpr size_t kMaxRelayMessageBytes = 16;

enum class RelayType : uint8_t {
  Open = 0x40,
  Code = 0x41,
  Join = 0x42,
  Paired = 0x43,
  Ended = 0x44,
  Refused = 0x45,
  Watch = 0x46,
  Watchers = 0x47,
};
constexpr uint8_t kMaxRelayWatchers = 8;

enum class RelayEnd : uint8_t {
  OtherLeft = 0,     // the other player left or was lost
  HostLeft = 1,      // the room's host left before anyone joined
  Alone = 2,         // nobody joined in time
  Idle = 3,          // nothing was said for too long
  RelayStopping = 4,  // the relay is shutting down
};
enum class RelayRefusal : uint8_t {
  UnknownCode = 0,     // no open room has that code
  RoomFull = 1,        // the room already has its two players
  BadVersion = 2,      // another relay or game protocol than the room's
  TooManyRooms = 3,    // the relay, or this address, has as many rooms as it takes
  BadRequest = 4,      // the client sent something else than Open, Join or Watch
  TooManyWatchers = 5,  // the room has kMaxRelayWatchers watchers already
};
constexpr uint8_t kLastRelayEnd = 4, kLastRelayRefusal = 5;

// A short text for a reason, for logs and for the player ("the room code is unknown").
const char* RelayEndText(RelayEnd reason);
const char* RelayRefusalText(RelayRefusal reason);

struct RelayMessage {
  RelayType type = RelayType::Open;
  uint8_t relayProtocol = kRelayProtocolVersion;  // Open, Join
  uint16_t gameProtocol = 0;                      // Open, Join
  char code[kRoomCodeLetters + 1] = {};           // Code, Join, Watch: upper-case letters of the alphabet
  uint8_t role = 0;                               // Paired: 0 host, 1 joiner, 2 watcher
  uint8_t watchers = 0;                           // Watchers: how many watch now
  uint32_t watchersJoined = 0;                    // Watchers: how many joined the room so far
  RelayEnd ended = RelayEnd::OtherLeft;
  RelayRefusal refused = RelayRefusal::UnknownCode;
};

// Writes `m` into `out` (room for kMaxRelayMessageBytes); its length, 0 when a field is out of
// range (a code not of the alphabet, a role or reason unknown).
size_t EncodeRelay(const RelayMessage& m, uint8_t* out);
// Reads one datagram; false with a short reason for anything but exactly one relay message.
bool DecodeRelay(const uint8_t* data, size_t size, RelayMessage* out, const char** why);

// Room codes: six letters of an alphabet without the letters easily mistaken for a digit or
// for each other (B 8, I 1, L 1, O 0, Q O, S 5, U V, V U, Z 2), 17 letters in all.
extern const char kRoomCodeAlphabet[];
constexpr uint32_t kRoomCodeCount = 17u * 17 * 17 * 17 * 17 * 17;  // 24,137,569
// Reads a code typed by a player: six letters of the alphabet in either case, with spaces or
// dashes around or between them ignored; writes it upper-case into `out` (7 bytes). False when
// it is not one.
bool ParseRoomCode(const std::string& text, char out[kRoomCodeLetters + 1]);
// A code's number (0..kRoomCodeCount-1) and back; the code must already be canonical.
bool RoomCodeIndex(const char* code, uint32_t* index);
void RoomCodeText(uint32_t index, char out[kRoomCodeLetters + 1]);

}  // namespace net
