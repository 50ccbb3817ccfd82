#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "net/transport.h"

// A connection to the other player through a relay server: both sides connect out to the relay,
// the host asks for a room and shows its code, the joiner gives that code. Once the relay has
// paired them it is a Transport like any other: Connected when paired, Received for the other
// player's datagrams (the relay's own messages are never passed on), Disconnected when the room
// ends, the relay refuses, or the relay is gone (EndReason says which).
namespace net {

class RelayTransport : public Transport {
 public:
  // The room's code, six upper-case letters: the host's once the relay gave it ("" before), the
  // joiner's as given.
  virtual const std::string& RoomCode() const = 0;
  virtual bool Paired() const = 0;
  // "" while all is well; else why it ended ("no room has that code", "the other player left",
  // "relay stopping", "connection to the relay lost", "cannot reach the relay").
  virtual const std::string& EndReason() const = 0;
};

// Connects to the relay at relay:port and asks for a room (HostOnRelay) or for the room of
// `code` (JoinOnRelay: letters of either case, spaces and dashes ignored). Null with a message
// when that cannot start (unknown host, not a room code); what the relay answers comes by Poll.
std::unique_ptr<RelayTransport> HostOnRelay(const std::string& relay, uint16_t port, std::string* error);
std::unique_ptr<RelayTransport> JoinOnRelay(const std::string& relay, uint16_t port, const std::string& code,
                                            std::string* error);
// A watcher of the room `code` (net/watch.h): Connected once the relay took it, Received for the
// host's watch feed; it sends nothing. A room with 8 watchers refuses ("the game has 8 watchers
// already"). A host's transport takes the feed (SendToWatchers) and tells the count the relay
// gives both players (Watchers).
std::unique_ptr<RelayTransport> WatchRoomOnRelay(const std::string& relay, uint16_t port, const std::string& code,
                                                 std::string* error);

}  // namespace net
