#pragma once
#include <string>

// What the ENet users of this folder share (the transport, the relay and its client).
namespace net {

// Starts ENet once per process, with its small blocks taken from a fixed pool; false with a
// message when it cannot start.
bool StartEnet(std::string* error);

}  // namespace net
