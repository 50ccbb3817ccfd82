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
// The character a key adds to an address being typed, 0 for none: letters (lower case),
// digits and the keypad's, '.', '-', and ':' (the ';' key, shifted or not).
char AddressChar(int vk);
// This machine's IPv4 addresses: those of its interfaces that are up, loopback last.
std::vector<std::string> LocalAddresses();

}  // namespace online
