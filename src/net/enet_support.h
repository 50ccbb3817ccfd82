#pragma once
#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/transport.h"

// What the ENet users of this folder share (the transport, the relay and its client).
namespace net {

// Starts ENet once per process, with its small blocks taken from a fixed pool; false with a
// message when it cannot start.
bool StartEnet(std::string* error);

// Both channels of every connection: control (reliable, in order) and inputs (sequenced).
constexpr size_t kEnetChannels = 2;

// Starts a connection out to host:port on a local host of one peer; null with a message
// ("unknown host 'x'", "cannot connect to the relay x:7380") when it cannot start. `what` names
// the other end in that message ("" for none). The caller owns `*local` once this succeeds.
ENetPeer* ConnectOut(const std::string& host, uint16_t port, const char* what, ENetHost** local, std::string* error);

// Queues a datagram to `peer` on `channel` with that channel's reliability (control reliable,
// inputs not); false for another channel or when ENet refuses it.
bool SendDatagram(ENetPeer* peer, Channel channel, const uint8_t* data, size_t size);

// A host's bytes sent and received so far: ENet's 32-bit counts moved into 64-bit ones (Take)
// before they can wrap.
struct EnetBytes {
  uint64_t sent = 0, received = 0;
  void Take(ENetHost* host) {
    if (!host) return;
    sent += host->totalSentData;
    received += host->totalReceivedData;
    host->totalSentData = host->totalReceivedData = 0;
  }
  uint64_t Sent(const ENetHost* host) const { return sent + (host ? host->totalSentData : 0); }
  uint64_t Received(const ENetHost* host) const { return received + (host ? host->totalReceivedData : 0); }
};

// Says goodbye to a connected peer after what was queued for it (a last message) has gone, waiting
// `lingerMs` at most for the answer (a peer that is gone costs that much); a peer that has not
// answered by then reads the last messages later and finds the connection gone by its timeout.
// A player waits kCloseLingerMs; a host with watchers kFeedLingerMs, since its feed's last
// messages (the game's last steps and its end) may need sending again on a lossy link, and cut
// off they would leave the watchers without the game's end (on a link losing one datagram or
// answer in five, 2 s were not always enough for two resends).
constexpr int kCloseLingerMs = 200, kFeedLingerMs = 4000;
void DisconnectWithLinger(ENetHost* host, ENetPeer* peer, int lingerMs);

}  // namespace net
