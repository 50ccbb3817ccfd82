#include "online/address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <tu/keys.h>

#include "game/settings.h"

namespace online {

bool ParsePort(const std::string& text, bool allowZero, uint16_t* port, std::string* error) {
  bool digits = !text.empty() && text.size() <= 5;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  long v = digits ? std::stol(text) : -1;
  if (v < (allowZero ? 0 : 1) || v > 65535) {
    *error = "'" + text + "' is not a port (" + (allowZero ? "0" : "1") + " to 65535)";
    return false;
  }
  *port = static_cast<uint16_t>(v);
  return true;
}

bool ParseHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* error) {
  if (text.empty()) {
    *error = "no address: type host:port";
    return false;
  }
  if (!AddressCharsValid(text)) {
    *error = "an address has letters, digits, '.', '-' and ':' only, 60 at most";
    return false;
  }
  size_t colon = text.find(':');
  if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
    *error = "'" + text + "' has more than one ':'";
    return false;
  }
  std::string name = text.substr(0, colon);
  if (name.empty() || name.front() == '.' || name.front() == '-' || name.back() == '.' || name.back() == '-' ||
      name.find("..") != std::string::npos) {
    *error = "'" + text + "' does not name a host";
    return false;
  }
  uint16_t p = kDefaultPort;
  if (colon != std::string::npos && !ParsePort(text.substr(colon + 1), false, &p, error)) return false;
  *host = name;
  *port = p;
  return true;
}

char AddressChar(int vk) {
  if (vk >= tu::kKeyA && vk <= tu::kKeyZ) return static_cast<char>('a' + (vk - tu::kKeyA));
  if (vk >= tu::kKey0 && vk <= tu::kKey9) return static_cast<char>(vk);
  if (vk >= tu::kKeyPad0 && vk <= tu::kKeyPad9) return static_cast<char>('0' + (vk - tu::kKeyPad0));
  if (vk == tu::kKeyPeriod || vk == tu::kKeyPadPeriod) return '.';
  if (vk == tu::kKeyMinus || vk == tu::kKeyPadMinus) return '-';
  if (vk == tu::kKeySemicolon) return ':';
  return 0;
}

std::vector<std::string> LocalAddresses() {
  std::vector<std::string> out, loopback;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return {"127.0.0.1"};
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP)) continue;
    char text[INET_ADDRSTRLEN] = {};
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
    if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
    std::vector<std::string>& to = (a->ifa_flags & IFF_LOOPBACK) ? loopback : out;
    bool seen = false;
    for (const std::string& s : to) seen = seen || s == text;
    if (!seen) to.push_back(text);
  }
  freeifaddrs(list);
  if (loopback.empty()) loopback.push_back("127.0.0.1");
  out.insert(out.end(), loopback.begin(), loopback.end());
  return out;
}

}  // namespace online
