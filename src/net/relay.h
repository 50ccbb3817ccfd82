#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "net/relay_protocol.h"

// The relay server's core: players who cannot reach each other directly both connect out to it
// on ENet. A host asks for a room and is given a code; a joiner gives that code; the relay pairs
// them and passes each one's datagrams to the other on the same channel with the same
// reliability, reading only their first byte and size (a game message: type below 0x40, at most
// kMaxMessageBytes). Up to 8 watchers may come into a room with its code: the host's watch feed
// (types kFirstWatchType..kLastWatchType) goes to all of them, the players are told how many
// watch, and a room's watchers are told when it ends. A room ends when one of its players leaves, when its host waits alone too
// long, or when nothing is sent for too long; its code is not given out again for a while. Each
// address has limits (rooms, connections, packets and bytes a second) so one client cannot
// starve the others; what passes a limit, and every datagram that is not a game message, is
// dropped and counted. It runs on one thread, driven by Poll.
namespace net {

struct RelayLimits {
  int roomsPerAddress = 8;
  int clientsPerAddress = 32;
  uint32_t packetsPerSecond = 1000;  // UDP datagrams, ENet's own included; a second's worth may come at once
  uint32_t bytesPerSecond = 256 * 1024;
};

struct RelayConfig {
  uint16_t port = kRelayDefaultPort;  // 0: any free one (see Relay::Port)
  std::string bindAddress;            // "" every address; tests use "127.0.0.1"
  int maxRooms = 1000;                // the clients taken are twice this and a few more (ENet: 4095 at most)
  uint32_t aloneMs = 10 * 60 * 1000;  // a host waits this long for its joiner
  uint32_t idleMs = 30 * 60 * 1000;   // a paired room where nothing is sent for this long ends (players
                                      // may sit on the level screen; a dead client is found by ENet in 10 s)
  uint32_t codeReuseMs = 30 * 60 * 1000;  // an ended room's code is not given out again for this long
  uint32_t batchUs = 500;             // datagrams are taken and passed on in batches this far apart
  uint64_t seed = 0;                  // of the room codes (tests); 0: the kernel's secure generator
  RelayLimits perAddress;
  FILE* log = stderr;                 // one line per room event; null: none
};

struct RelayCounts {
  uint64_t roomsOpened = 0, roomsEnded = 0, refused = 0;
  uint64_t forwarded = 0, forwardedBytes = 0;
  uint64_t garbage = 0;     // datagrams that were no ENet datagram for a peer, nor a game message or a
                            // fitting relay message
  uint64_t overLimit = 0;   // UDP datagrams dropped at an address's packet or byte limit
  uint64_t turnedAway = 0;  // connections refused: the relay or the address had as many as it takes
  uint64_t watcherDropped = 0;  // what watchers sent after their request (they send nothing)
  int roomsOpen = 0, clients = 0;
};

// The room codes in use and lately used. Codes are drawn at random among those neither in use
// nor ended less than `reuseMs` ago: from the kernel's secure generator, or with a seed (tests)
// from splitmix64, the same codes for the same seed.
class RoomCodes {
 public:
  RoomCodes(uint64_t seed, uint32_t reuseMs);
  ~RoomCodes();
  // A fresh code (its number, see RoomCodeText), now in use; false only when every code is taken.
  bool Issue(uint32_t nowMs, uint32_t* code);
  // The code's room ended at `nowMs`: it rests for reuseMs before it can be drawn again.
  void Release(uint32_t code, uint32_t nowMs);
  bool InUse(uint32_t code) const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

class Relay {
 public:
  explicit Relay(const RelayConfig& config);
  ~Relay();  // stops, if not done yet
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  // Opens the UDP port; false with a message ("cannot listen on UDP port 7380 (is it taken?)").
  bool Start(std::string* error);
  uint16_t Port() const;
  // Services the network: waits up to `timeoutMs` for something to arrive (and at least until
  // batchUs since the last service), then handles all that came, forwards, and ends the rooms
  // whose time is up. Poll(0) does not wait.
  void Poll(int timeoutMs);
  // The clean stop: every room is told "relay stopping", every client is disconnected (waited
  // for half a second at most; one that has not answered by then is let go without a word more,
  // its goodbye already on its way), and the port is closed.
  void Stop();
  RelayCounts Counts() const;
  // Whether a room with this (upper-case) code is open now.
  bool RoomOpen(const std::string& code) const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace net
