#pragma once
#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <string>

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

// Says goodbye to a connected peer after what was queued for it (a last message) has gone, waiting
// a fifth of a second at most for the answer (a peer that is gone costs that much); then gone.
void DisconnectWithLinger(ENetHost* host, ENetPeer* peer);

}  // namespace net
