#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Addresses of online play as a player types and reads them.
namespace online {

constexpr uint16_t kDefaultPort = 7370;

// A port as typed: digits only, 0..65535 (`allowZero` false: 1..65535). False with a message.
bool ParsePort(const std::string& text, bool allowZero, uint16_t* port, std::string* error);
// "host:port" (a name or a dotted IPv4 address, then a port 1..65535); the port may be left out
// ("host"), which gives kDefaultPort. False with a message that names what is wrong.
bool ParseHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* error);
// What a player gave to join: a host's address, played directly, or a relay room's code.
struct JoinTarget {
  bool roomCode = false;
  std::string host;  // an address: its host and port
  uint16_t port = 0;
  std::string code;  // a room code: six upper-case letters
};
// A room code when `text` is six letters of the codes' alphabet (either case, spaces and dashes
// ignored) and has no digit, '.' or ':' (a host of such a name is typed with its port);
// otherwise host[:port] as ParseHostPort reads it. False with ParseHostPort's message.
bool ParseJoinTarget(const std::string& text, JoinTarget* out, std::string* error);
// A room code as it is read aloud: its letters apart, in two groups of three ("A C D  E F G").
std::string SpacedCode(const std::string& code);

// The character a key adds to an address being typed, 0 for none: letters (lower case),
// digits and the keypad's, '.', '-', and ':' (the ';' key, shifted or not).
char AddressChar(int vk);
// This machine's IPv4 addresses: those of its interfaces that are up, loopback last.
std::vector<std::string> LocalAddresses();

}  // namespace online
