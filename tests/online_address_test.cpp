// Addresses as a player types them for online play: host:port, the keys that type them, and
// this machine's own addresses as the HOST page lists them.
#include <gtest/gtest.h>

#include <tu/keys.h>

#include "online/address.h"
#include "online/online.h"

namespace {

TEST(OnlineAddress, HostAndPortAreTakenApartAndEveryMistakeIsNamed) {
  struct Case {
    const char* text;
    const char* host;  // null: refused
    uint16_t port;
    const char* why;
  };
  const Case cases[] = {
      {"127.0.0.1:7371", "127.0.0.1", 7371, nullptr},
      {"game-host.lan:65535", "game-host.lan", 65535, nullptr},
      {"localhost", "localhost", online::kDefaultPort, nullptr},
      {"", nullptr, 0, "no address"},
      {"host:", nullptr, 0, "'' is not a port"},
      {"host:65536", nullptr, 0, "'65536' is not a port (1 to 65535)"},
      {"host:0", nullptr, 0, "'0' is not a port"},
      {"host:+80", nullptr, 0, "an address has letters"},
      {"host:1:2", nullptr, 0, "more than one ':'"},
      {":80", nullptr, 0, "does not name a host"},
      {"-host:80", nullptr, 0, "does not name a host"},
      {"a..b:80", nullptr, 0, "does not name a host"},
      {"host name:80", nullptr, 0, "an address has letters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string host = "unchanged", error;
    uint16_t port = 1;
    bool ok = online::ParseHostPort(c.text, &host, &port, &error);
    ASSERT_EQ(ok, c.host != nullptr) << error;
    if (ok) {
      EXPECT_EQ(host, c.host);
      EXPECT_EQ(port, c.port);
    } else {
      EXPECT_NE(error.find(c.why), std::string::npos) << error;
      EXPECT_EQ(host, "unchanged");
    }
  }
  std::string host, error;
  uint16_t port = 0;
  EXPECT_FALSE(online::ParseHostPort(std::string(58, 'a') + ":80", &host, &port, &error));  // 61 long
  uint16_t p = 5;
  EXPECT_TRUE(online::ParsePort("0", true, &p, &error));
  EXPECT_EQ(p, 0);
  EXPECT_FALSE(online::ParsePort("123456", true, &p, &error));
}

// The JOIN page and --join take an address or a room code: a code is six letters of the
// codes' alphabet and nothing that only an address has; anything else is an address.
TEST(OnlineAddress, TheJoinPageTellsARoomCodeFromAnAddress) {
  struct Case {
    const char* text;
    const char* code;  // a room code: it, upper case
    const char* host;  // an address: its host (port below); both null: refused
    uint16_t port;
  };
  const Case cases[] = {
      {"ACDEFG", "ACDEFG", nullptr, 0},
      {"acdefg", "ACDEFG", nullptr, 0},
      {"acd-efg", "ACDEFG", nullptr, 0},
      {" hjk mnp ", "HJKMNP", nullptr, 0},
      {"acdefg:7370", nullptr, "acdefg", 7370},  // a host of a code's letters, with its port
      {"acdefg.lan", nullptr, "acdefg.lan", online::kDefaultPort},
      {"abcdef", nullptr, "abcdef", online::kDefaultPort},  // B is no code's letter
      {"acdef", nullptr, "acdef", online::kDefaultPort},    // five letters
      {"acdefgh", nullptr, "acdefgh", online::kDefaultPort},
      {"10.0.0.2:7371", nullptr, "10.0.0.2", 7371},
      {"", nullptr, nullptr, 0},
      {"host:0", nullptr, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    online::JoinTarget t;
    std::string error;
    bool ok = online::ParseJoinTarget(c.text, &t, &error);
    ASSERT_EQ(ok, c.code || c.host) << error;
    if (!ok) continue;
    EXPECT_EQ(t.roomCode, c.code != nullptr);
    EXPECT_EQ(t.code, c.code ? c.code : "");
    EXPECT_EQ(t.host, c.host ? c.host : "");
    EXPECT_EQ(t.port, c.port);
  }
  EXPECT_EQ(online::SpacedCode("ACDEFG"), "A C D   E F G");
}

TEST(OnlineAddress, KeysTypeLettersDigitsDotsDashesAndTheColonOnly) {
  const std::pair<int, char> keys[] = {
      {tu::kKeyA, 'a'},          {tu::kKeyZ, 'z'},        {tu::kKey0, '0'},      {tu::kKeyPad7, '7'},
      {tu::kKeyPeriod, '.'},     {tu::kKeyPadPeriod, '.'}, {tu::kKeyMinus, '-'}, {tu::kKeySemicolon, ':'},
      {tu::kKeySpace, 0},        {tu::kKeySlash, 0},      {tu::kKeyEnter, 0},    {tu::kKeyBackspace, 0},
      {tu::kKeyComma, 0},        {tu::kKeyLeft, 0},
  };
  for (const auto& [vk, c] : keys) EXPECT_EQ(online::AddressChar(vk), c) << vk;
}

TEST(OnlineAddress, TheMachinesAddressesEndWithTheLoopback) {
  std::vector<std::string> a = online::LocalAddresses();
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a.back().rfind("127.", 0), 0u) << a.back();
  for (size_t i = 0; i + 1 < a.size(); ++i) {
    if (a[i].rfind("127.", 0) == 0) {
      EXPECT_EQ(a[i + 1].rfind("127.", 0), 0u) << "loopback before " << a[i + 1];
    }
  }
}

// The end of a match is told in lines that fit the page: broken at spaces, a word longer than a
// line cut, nothing lost.
TEST(OnlineText, LongReasonsAreBrokenAtSpacesAndLoseNothing) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"you left", {"you left"}},
      {"the other copy is version 9.9.9, this one 0.1.0", {"the other copy", "is version", "9.9.9, this", "one 0.1.0"}},
      {"abcdefghijklmnop qr", {"abcdefghijklmn", "op qr"}},
      {"", {}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(online::WrapText(text, 14), lines) << text;
}

}  // namespace
