// The relay: its messages and room codes; in one process on 127.0.0.1, rooms opened and joined
// by code, datagrams passed both ways, refusals, garbage dropped and counted, rooms ended by a
// leaving player, by time or by the relay's stop, and a whole online match through it; then the
// program itself. Every wait is a poll loop with a deadline of a few seconds.
#include <arpa/inet.h>
#include <enet/enet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/enet_support.h"
#include "net/match.h"
#include "net/relay.h"
#include "net/relay_client.h"

using namespace net;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

Bytes Encoded(const RelayMessage& m) {
  uint8_t buf[kMaxRelayMessageBytes];
  size_t n = EncodeRelay(m, buf);
  return Bytes(buf, buf + n);
}

TEST(RelayProtocol, MessagesGoBothWaysAndAnythingElseIsRefusedWithAReason) {
  RelayMessage open, join, code, paired, ended, refused, watch, watchers;
  open.type = RelayType::Open, open.gameProtocol = 0x1234;
  join.type = RelayType::Join, join.gameProtocol = 7, std::strcpy(join.code, "ACDEFG");
  code.type = RelayType::Code, std::strcpy(code.code, "YYXWTR");
  paired.type = RelayType::Paired, paired.role = 1;
  ended.type = RelayType::Ended, ended.ended = RelayEnd::RelayStopping;
  refused.type = RelayType::Refused, refused.refused = RelayRefusal::TooManyWatchers;
  watch.type = RelayType::Watch, watch.gameProtocol = 1, std::strcpy(watch.code, "XWTRYY");
  watchers.type = RelayType::Watchers, watchers.watchers = 8, watchers.watchersJoined = 0x01020304;
  for (const RelayMessage& m : {open, join, code, paired, ended, refused, watch, watchers}) {
    Bytes b = Encoded(m);
    ASSERT_FALSE(b.empty()) << int(m.type);
    RelayMessage back;
    const char* why = nullptr;
    ASSERT_TRUE(DecodeRelay(b.data(), b.size(), &back, &why)) << why;
    EXPECT_EQ(Encoded(back), b);
  }
  EXPECT_EQ(Encoded(open), (Bytes{0x40, 1, 0x34, 0x12}));
  EXPECT_EQ(Encoded(watchers), (Bytes{0x47, 8, 4, 3, 2, 1}));
  watchers.watchers = 9;
  EXPECT_TRUE(Encoded(watchers).empty());

  struct Bad {
    Bytes data;
    const char* why;
  } bad[] = {
      {{}, "empty datagram"},
      {{0x05, 1, 2}, "unknown relay type 0x05"},  // a game message is never a relay one
      {{0x48}, "unknown relay type 0x48"},
      {{0x40, 1, 1}, "truncated relay message"},
      {{0x43, 0, 0}, "trailing bytes"},
      {{0x41, 'A', 'C', 'D', 'E', 'F', 'O'}, "room code not of the alphabet"},
      {{0x41, 'a', 'c', 'd', 'e', 'f', 'g'}, "room code not of the alphabet"},  // lower case only when typed
      {{0x43, 3}, "Paired: role not 0, 1 or 2"},
      {{0x44, 5}, "Ended: unknown reason"},
      {{0x45, 0xFF}, "Refused: unknown reason"},
      {{0x45, 6}, "Refused: unknown reason"},
      {{0x46, 1, 1, 0, 'A', 'C', 'D', 'E', 'F'}, "truncated relay message"},
      {{0x46, 1, 1, 0, 'A', 'C', 'D', 'E', 'F', '8'}, "room code not of the alphabet"},
      {{0x47, 9, 0, 0, 0, 0}, "Watchers: more than 8"},
      {{0x47, 1, 0, 0, 0}, "truncated relay message"},
  };
  for (const Bad& b : bad) {
    RelayMessage m;
    const char* why = nullptr;
    EXPECT_FALSE(DecodeRelay(b.data.data(), b.data.size(), &m, &why));
    EXPECT_STREQ(why, b.why);
  }
  RelayMessage badCode = join;
  badCode.code[2] = 'I';
  EXPECT_TRUE(Encoded(badCode).empty());
}

TEST(RelayProtocol, TypedCodesAreReadInEitherCaseAndCodesAreNumbered) {
  struct Case {
    const char* typed;
    const char* code;  // null: refused
  } cases[] = {
      {"acdefg", "ACDEFG"}, {"ACD-EFG", "ACDEFG"}, {" kmn prt ", "KMNPRT"}, {"ACDEF", nullptr},
      {"ACDEFGH", nullptr}, {"ACDEF0", nullptr},   {"ACDEFO", nullptr},     {"ACDEFB", nullptr},
      {"", nullptr},        {"ACDEF\xC3", nullptr},
  };
  for (const Case& c : cases) {
    char out[kRoomCodeLetters + 1] = "unset";
    EXPECT_EQ(ParseRoomCode(c.typed, out), c.code != nullptr) << c.typed;
    if (c.code) {
      EXPECT_STREQ(out, c.code);
    }
  }
  for (uint32_t index : {0u, 1u, 12345u, kRoomCodeCount - 1}) {
    char text[kRoomCodeLetters + 1];
    RoomCodeText(index, text);
    uint32_t back = 0;
    ASSERT_TRUE(RoomCodeIndex(text, &back)) << text;
    EXPECT_EQ(back, index);
  }
  char last[kRoomCodeLetters + 1];
  RoomCodeText(kRoomCodeCount - 1, last);
  EXPECT_STREQ(last, "YYYYYY");
}

// Two generators of the same seed draw the same first code: once that code's room has ended,
// the second one passes it over until its rest is over.
TEST(RelayRoomCodes, AnEndedRoomsCodeIsNotGivenOutAgainSoon) {
  uint32_t first = 0, code = 0;
  RoomCodes a(42, 1000);
  ASSERT_TRUE(a.Issue(0, &first));
  EXPECT_TRUE(a.InUse(first));
  for (uint32_t endedAt : {0u, 500u}) {
    RoomCodes b(42, 1000);
    b.Release(first, endedAt);
    ASSERT_TRUE(b.Issue(999, &code));
    EXPECT_NE(code, first) << "resting since " << endedAt;
  }
  RoomCodes c(42, 1000);
  c.Release(first, 0);
  ASSERT_TRUE(c.Issue(1000, &code));
  EXPECT_EQ(code, first) << "its rest is over";
  uint32_t next = 0;
  ASSERT_TRUE(c.Issue(1000, &next));
  EXPECT_NE(next, first) << "a code in use is never given twice";
}

// ---- In one process --------------------------------------------------------------------------

struct End {
  std::unique_ptr<RelayTransport> t;
  std::vector<Event> events;
  bool Saw(Event::Kind kind) const {
    for (const Event& e : events)
      if (e.kind == kind) return true;
    return false;
  }
  std::vector<Bytes> Received() const {
    std::vector<Bytes> out;
    for (const Event& e : events)
      if (e.kind == Event::Received) out.emplace_back(e.data, e.data + e.size);
    return out;
  }
};

// A bare ENet client that sends the relay whatever it is told to.
struct Raw {
  ENetHost* host = nullptr;
  ENetPeer* peer = nullptr;
  bool connected = false, disconnected = false;
  std::vector<Bytes> got;
  explicit Raw(uint16_t port) {
    host = enet_host_create(nullptr, 1, 2, 0, 0);
    ENetAddress a;
    enet_address_set_host_ip(&a, "127.0.0.1");
    a.port = port;
    peer = enet_host_connect(host, &a, 2, 0);
  }
  ~Raw() { enet_host_destroy(host); }
  void Service() {
    ENetEvent e;
    while (enet_host_service(host, &e, 0) > 0) {
      if (e.type == ENET_EVENT_TYPE_CONNECT) connected = true;
      if (e.type == ENET_EVENT_TYPE_DISCONNECT) disconnected = true;
      if (e.type == ENET_EVENT_TYPE_RECEIVE) {
        got.emplace_back(e.packet->data, e.packet->data + e.packet->dataLength);
        enet_packet_destroy(e.packet);
      }
    }
  }
  void Send(const Bytes& b, uint8_t channel = 0) {
    enet_peer_send(peer, channel, enet_packet_create(b.data(), b.size(), channel == 0 ? ENET_PACKET_FLAG_RELIABLE : 0));
  }
};

class RelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(StartEnet(&error)) << error;
    Begin(RelayConfig());
  }
  void Begin(RelayConfig c, uint16_t port = 0) {
    c.port = port;
    c.bindAddress = "127.0.0.1";
    c.seed = 7;
    c.log = nullptr;
    relay = std::make_unique<Relay>(c);
    std::string error;
    ASSERT_TRUE(relay->Start(&error)) << error;
  }
  End Host() {
    std::string error;
    End e{HostOnRelay("127.0.0.1", relay->Port(), &error), {}};
    EXPECT_TRUE(e.t) << error;
    return e;
  }
  End Join(const std::string& code) {
    std::string error;
    End e{JoinOnRelay("127.0.0.1", relay->Port(), code, &error), {}};
    EXPECT_TRUE(e.t) << error;
    return e;
  }
  // Polls the relay, the ends and the bare clients until `done`; false after three seconds.
  bool Until(std::vector<End*> ends, const std::function<bool()>& done, std::vector<Raw*> raws = {}) {
    for (auto deadline = Clock::now() + std::chrono::seconds(3); Clock::now() < deadline;) {
      if (relay) relay->Poll(0);
      for (End* e : ends) {
        for (Event ev; e->t->Poll(&ev), ev.kind != Event::None;) e->events.push_back(ev);
      }
      for (Raw* r : raws) r->Service();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  void Pair(End& host, End& joiner, bool lowerCase) {
    ASSERT_TRUE(Until({&host}, [&] { return !host.t->RoomCode().empty(); }));
    std::string code = host.t->RoomCode();
    EXPECT_TRUE(relay->RoomOpen(code));
    for (char& c : code)
      if (lowerCase) c = static_cast<char>(c - 'A' + 'a');
    joiner = Join(code);
    ASSERT_TRUE(Until({&host, &joiner}, [&] { return host.t->Paired() && joiner.t->Paired(); }));
    EXPECT_TRUE(host.Saw(Event::Connected));
    EXPECT_TRUE(joiner.Saw(Event::Connected));
  }

  std::unique_ptr<Relay> relay;
};

TEST_F(RelayTest, AJoinerGivesTheHostsCodeAndDatagramsGoBothWaysOnBothChannels) {
  for (bool lowerCase : {false, true}) {
    SCOPED_TRACE(lowerCase);
    End host = Host(), joiner;
    ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, lowerCase));
    EXPECT_EQ(joiner.t->RoomCode(), host.t->RoomCode());
    const Bytes control = {1, 2, 3}, input = {5, 9};
    for (End* from : {&host, &joiner}) {
      End* to = from == &host ? &joiner : &host;
      ASSERT_TRUE(from->t->Send(Channel::Control, control.data(), control.size()));
      ASSERT_TRUE(from->t->Send(Channel::Inputs, input.data(), input.size()));
      ASSERT_TRUE(Until({&host, &joiner}, [&] { return to->Received().size() == 2; }));
      EXPECT_EQ(to->Received(), (std::vector<Bytes>{control, input}));
      EXPECT_EQ(to->events.back().channel, Channel::Inputs);
    }
    // The game's side cannot send the relay's messages or what is too long.
    const Bytes relayOwn = {0x44, 0};
    EXPECT_FALSE(host.t->Send(Channel::Control, relayOwn.data(), relayOwn.size()));
    Bytes tooLong(kMaxMessageBytes + 1, 1);
    EXPECT_FALSE(host.t->Send(Channel::Control, tooLong.data(), tooLong.size()));
    EXPECT_GT(host.t->RoundTripMs() + 1, 0u);
  }
  EXPECT_EQ(relay->Counts().forwarded, 8u);
  EXPECT_EQ(relay->Counts().garbage, 0u);
}

TEST_F(RelayTest, UnknownCodesFullRoomsAndOtherVersionsAreRefusedWithAReason) {
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  std::string code = host.t->RoomCode();
  std::string other = code == "ACDEFG" ? "ACDEFH" : "ACDEFG";
  End unknown = Join(other), third = Join(code);
  RelayMessage wrongGame;
  wrongGame.type = RelayType::Join;
  wrongGame.gameProtocol = kProtocolVersion + 1;
  End lonely = Host();
  ASSERT_TRUE(Until({&lonely}, [&] { return !lonely.t->RoomCode().empty(); }));
  std::strcpy(wrongGame.code, lonely.t->RoomCode().c_str());
  RelayMessage wrongRelay = wrongGame;
  wrongRelay.relayProtocol = kRelayProtocolVersion + 1;
  Raw badGame(relay->Port()), badRelay(relay->Port()), notAsking(relay->Port());
  ASSERT_TRUE(Until({}, [&] { return badGame.connected && badRelay.connected && notAsking.connected; },
                    {&badGame, &badRelay, &notAsking}));
  badGame.Send(Encoded(wrongGame));
  badRelay.Send(Encoded(wrongRelay));
  notAsking.Send({1, 2, 3});
  ASSERT_TRUE(Until({&unknown, &third, &lonely}, [&] {
    return unknown.Saw(Event::Disconnected) && third.Saw(Event::Disconnected) && badGame.disconnected &&
           badRelay.disconnected && notAsking.disconnected;
  }, {&badGame, &badRelay, &notAsking}));
  EXPECT_EQ(unknown.t->EndReason(), "no room has that code");
  EXPECT_EQ(third.t->EndReason(), "the room is full");
  for (Raw* r : {&badGame, &badRelay}) EXPECT_EQ(r->got, (std::vector<Bytes>{{0x45, 2}}));
  EXPECT_EQ(notAsking.got, (std::vector<Bytes>{{0x45, 4}}));
  EXPECT_FALSE(lonely.Saw(Event::Connected)) << "a refused joiner does not pair";
  EXPECT_EQ(relay->Counts().refused, 5u);
  EXPECT_TRUE(host.t->Paired());
}

// A joiner that sends what is no game message: each datagram is dropped and counted, and the
// host gets only the good one that follows.
TEST_F(RelayTest, GarbageAndOversizedDatagramsAreDroppedAndCounted) {
  End host = Host();
  ASSERT_TRUE(Until({&host}, [&] { return !host.t->RoomCode().empty(); }));
  Raw joiner(relay->Port());
  RelayMessage join;
  join.type = RelayType::Join;
  join.gameProtocol = kProtocolVersion;
  std::strcpy(join.code, host.t->RoomCode().c_str());
  ASSERT_TRUE(Until({&host}, [&] { return joiner.connected; }, {&joiner}));
  joiner.Send(Encoded(join));
  ASSERT_TRUE(Until({&host}, [&] { return host.t->Paired() && !joiner.got.empty(); }, {&joiner}));
  const std::vector<Bytes> garbage = {{}, {0x40, 1, 0, 0}, {0x44, 0}, {0x80, 1}, {0xFF}, Bytes(kMaxMessageBytes + 1, 5),
                                      Bytes(900, 3)};
  for (uint8_t channel : {0, 1})
    for (const Bytes& g : garbage) joiner.Send(g, channel);
  joiner.Send({5, 42}, 0);
  ASSERT_TRUE(Until({&host}, [&] { return !host.Received().empty(); }, {&joiner}));
  EXPECT_EQ(host.Received(), (std::vector<Bytes>{{5, 42}}));
  EXPECT_EQ(relay->Counts().garbage, 2 * garbage.size());
  EXPECT_EQ(relay->Counts().forwarded, 1u);
  EXPECT_TRUE(host.t->Paired());
}

TEST_F(RelayTest, ARoomEndsWhenOnePlayerLeavesAndItsCodeIsNotGivenOutAgain) {
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  std::string code = host.t->RoomCode();
  const Bytes bye = {8, 0};
  ASSERT_TRUE(joiner.t->Send(Channel::Control, bye.data(), bye.size()));
  std::thread leaving([&] { joiner.t->Close(); });  // its goodbye waits for the relay's answer
  bool ended = Until({&host}, [&] { return host.Saw(Event::Disconnected); });
  leaving.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(host.Received(), (std::vector<Bytes>{bye})) << "the last message comes before the end";
  EXPECT_EQ(host.t->EndReason(), "the other player left");
  EXPECT_FALSE(host.t->Paired());
  EXPECT_FALSE(relay->RoomOpen(code));
  End late = Join(code);
  ASSERT_TRUE(Until({&late}, [&] { return late.Saw(Event::Disconnected); }));
  EXPECT_EQ(late.t->EndReason(), "no room has that code");
  std::vector<End> more;
  for (int i = 0; i < 7; ++i) {  // the address's limit is 8 rooms
    more.push_back(Host());
    ASSERT_TRUE(Until({&more.back()}, [&] { return !more.back().t->RoomCode().empty(); }));
    EXPECT_NE(more.back().t->RoomCode(), code);
  }
  EXPECT_EQ(relay->Counts().roomsEnded, 1u);
}

// A host left alone, an address past its rooms, and the relay's stop in a game.
TEST_F(RelayTest, RoomsEndByTimeByLimitsAndByTheRelaysStop) {
  RelayConfig c;
  c.aloneMs = 300;
  c.perAddress.roomsPerAddress = 2;
  Begin(c);
  End alone = Host();
  ASSERT_TRUE(Until({&alone}, [&] { return alone.Saw(Event::Disconnected); }));
  EXPECT_EQ(alone.t->EndReason(), "nobody joined in time");

  c.aloneMs = RelayConfig().aloneMs;
  Begin(c);
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  End second = Host(), third = Host();
  ASSERT_TRUE(Until({&second, &third}, [&] { return !second.t->RoomCode().empty() && third.Saw(Event::Disconnected); }));
  EXPECT_EQ(third.t->EndReason(), "the relay has no room to spare");

  // The stop waits a moment for the clients' answers: the players are served meanwhile; `second`
  // is not, as a busy client may not be, and still reads the relay's reason afterwards.
  uint16_t port = relay->Port();
  auto stopAt = Clock::now();
  std::unique_ptr<Relay> stopping = std::move(relay);
  std::thread stop([&] { stopping->Stop(); });
  bool told = Until({&host, &joiner}, [&] { return host.Saw(Event::Disconnected) && joiner.Saw(Event::Disconnected); });
  stop.join();
  ASSERT_TRUE(told);
  ASSERT_TRUE(Until({&second}, [&] { return second.Saw(Event::Disconnected); }));
  EXPECT_LT(Clock::now() - stopAt, std::chrono::seconds(2));
  for (End* e : {&host, &joiner, &second}) EXPECT_EQ(e->t->EndReason(), "relay stopping");

  // A relay started again on the same port takes new rooms at once.
  Begin(RelayConfig(), port);
  End again = Host();
  EXPECT_TRUE(Until({&again}, [&] { return !again.t->RoomCode().empty(); }));
}

// An address sending far more than its share is cut to its limit, and what passes is no ENet
// datagram for a peer: every one is counted; the other room goes on.
TEST_F(RelayTest, AFloodingAddressIsHeldToItsLimit) {
  RelayConfig c;
  c.perAddress.packetsPerSecond = 200;
  Begin(c);
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  int sock = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  inet_pton(AF_INET, "127.0.0.2", &from.sin_addr);  // another address than the players'
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  to.sin_port = htons(relay->Port());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
  uint8_t junk[64] = {0xAB};
  for (int i = 0; i < 1000; ++i) {
    sendto(sock, junk, sizeof junk, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (i % 50 == 49) relay->Poll(0);  // the socket's buffer holds only so many
  }
  close(sock);
  const Bytes input = {5, 1};
  ASSERT_TRUE(joiner.t->Send(Channel::Inputs, input.data(), input.size()));
  ASSERT_TRUE(Until({&host, &joiner}, [&] { return !host.Received().empty(); }));
  EXPECT_GE(relay->Counts().overLimit, 700u);
  EXPECT_EQ(relay->Counts().overLimit + relay->Counts().garbage, 1000u) << "the rest is no ENet datagram";
  EXPECT_TRUE(host.t->Paired());
}

// A whole online match over the relay: the hello reaches the level screen on both sides.
TEST_F(RelayTest, AnOnlineMatchReachesItsLevelScreenThroughTheRelay) {
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  Match m[2];
  m[0].Use(*host.t, 0);
  m[1].Use(*joiner.t, 1);
  auto start = Clock::now();
  auto ms = [&] {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  };
  bool levels = false;
  while (!levels && Clock::now() - start < std::chrono::seconds(3)) {
    relay->Poll(0);
    MatchPhase host = m[0].Poll(ms()), joiner = m[1].Poll(ms());
    levels = host == MatchPhase::Levels && joiner == MatchPhase::Levels;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(levels) << m[0].EndReason() << " / " << m[1].EndReason();
  EXPECT_GT(relay->Counts().forwarded, 1u);
}

// A watcher by the room's code: both players are told the count; the host's feed reaches the
// watcher and never the joiner; the joiner's feed and a watcher's datagrams are dropped and
// counted; a ninth watcher is refused; the room's end is told to its watchers.
TEST_F(RelayTest, WatchersTakeTheHostsFeedAndSendNothing) {
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  std::string error;
  std::vector<End> watchers;
  for (int i = 0; i < 8; ++i) {
    watchers.push_back({WatchRoomOnRelay("127.0.0.1", relay->Port(), host.t->RoomCode(), &error), {}});
    ASSERT_TRUE(watchers.back().t) << error;
  }
  std::vector<End*> all = {&host, &joiner};
  for (End& w : watchers) all.push_back(&w);
  ASSERT_TRUE(Until(all, [&] { return host.t->Watchers() == 8 && joiner.t->Watchers() == 8; }));
  EXPECT_EQ(host.t->WatchersJoined(), 8u);
  for (End& w : watchers) EXPECT_TRUE(w.Saw(Event::Connected));
  End ninth{WatchRoomOnRelay("127.0.0.1", relay->Port(), host.t->RoomCode(), &error), {}};
  all.push_back(&ninth);
  ASSERT_TRUE(Until(all, [&] { return ninth.Saw(Event::Disconnected); }));
  EXPECT_EQ(ninth.t->EndReason(), "the game has 8 watchers already");

  const Bytes feed = {static_cast<uint8_t>(MessageType::Digest), 1, 0, 0, 0, 30, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes game = {1, 2, 3};
  EXPECT_FALSE(watchers[0].t->Send(Channel::Control, game.data(), game.size())) << "a watcher sends nothing";
  ASSERT_TRUE(host.t->SendToWatchers(feed.data(), feed.size()));
  ASSERT_TRUE(host.t->Send(Channel::Control, game.data(), game.size()));
  ASSERT_TRUE(joiner.t->Send(Channel::Control, feed.data(), feed.size()));  // not the joiner's to send
  ASSERT_TRUE(Until(all, [&] {
    for (End& w : watchers)
      if (w.Received().size() != 1) return false;
    return joiner.Received().size() == 1;
  }));
  EXPECT_EQ(watchers[7].Received()[0], feed);
  EXPECT_EQ(joiner.Received()[0], game);
  EXPECT_TRUE(host.Received().empty());
  EXPECT_GE(relay->Counts().garbage, 1u);

  // A bare client that watches, then talks: dropped and counted.
  Raw sly(relay->Port());
  ASSERT_TRUE(Until(all, [&] { return sly.connected; }, {&sly}));
  RelayMessage watch;
  watch.type = RelayType::Watch;
  watch.gameProtocol = kProtocolVersion;
  std::memcpy(watch.code, host.t->RoomCode().c_str(), kRoomCodeLetters);
  watchers[0].t->Close();
  ASSERT_TRUE(Until(all, [&] { return host.t->Watchers() == 7; }));
  sly.Send(Encoded(watch));
  ASSERT_TRUE(Until(all, [&] { return host.t->Watchers() == 8; }, {&sly}));
  sly.Send({5, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}, 1);
  sly.Send(game);
  ASSERT_TRUE(Until(all, [&] { return relay->Counts().watcherDropped == 2; }, {&sly}));
  EXPECT_EQ(joiner.Received().size(), 1u);

  host.t->Close();
  ASSERT_TRUE(Until(all, [&] { return watchers[7].Saw(Event::Disconnected); }, {&sly}));
  EXPECT_EQ(watchers[7].t->EndReason(), "the other player left");
}

// A watched room outlives its joiner: the host is told, its feed's end still reaches the
// watchers, nobody else may join, and the host's leaving ends the room for the watchers.
TEST_F(RelayTest, AWatchedRoomOutlivesItsJoinerForTheHostsLastFeed) {
  End host = Host(), joiner;
  ASSERT_NO_FATAL_FAILURE(Pair(host, joiner, false));
  std::string error;
  End watcher{WatchRoomOnRelay("127.0.0.1", relay->Port(), host.t->RoomCode(), &error), {}};
  ASSERT_TRUE(Until({&host, &joiner, &watcher}, [&] { return host.t->Watchers() == 1; }));
  joiner.t->Close();
  ASSERT_TRUE(Until({&host, &watcher}, [&] { return host.Saw(Event::Disconnected); }));
  EXPECT_EQ(host.t->EndReason(), "the other player left");
  const Bytes close = {static_cast<uint8_t>(MessageType::Close), 'b', 'y', 'e'};
  const Bytes bye = {static_cast<uint8_t>(MessageType::Bye)};
  EXPECT_FALSE(host.t->Send(Channel::Control, bye.data(), bye.size())) << "the room has no joiner";
  ASSERT_TRUE(host.t->SendToWatchers(close.data(), close.size()));
  ASSERT_TRUE(Until({&host, &watcher}, [&] { return watcher.Received().size() == 1; }));
  EXPECT_EQ(watcher.Received()[0], close);
  EXPECT_FALSE(watcher.Saw(Event::Disconnected));

  End late = Join(host.t->RoomCode());
  ASSERT_TRUE(Until({&host, &watcher, &late}, [&] { return late.Saw(Event::Disconnected); }));
  EXPECT_EQ(late.t->EndReason(), "the room is full");
  host.t->Close();
  ASSERT_TRUE(Until({&watcher}, [&] { return watcher.Saw(Event::Disconnected); }));
  EXPECT_EQ(watcher.t->EndReason(), "the other player left");
  EXPECT_FALSE(relay->RoomOpen(host.t->RoomCode()));
}

TEST(RelayClient, BadArgumentsComeWithAMessage) {
  std::string error;
  EXPECT_FALSE(JoinOnRelay("127.0.0.1", 7380, "ABCDEF", &error));
  EXPECT_NE(error.find("not a room code"), std::string::npos) << error;
  EXPECT_FALSE(HostOnRelay("", 7380, &error));
  EXPECT_NE(error.find("unknown host"), std::string::npos) << error;
  EXPECT_FALSE(HostOnRelay("127.0.0.1", 0, &error));
}

}  // namespace

namespace {

// The program: its command line, and a game in a room ended by SIGTERM on both sides, with one
// log line per room event.
TEST(RelayProgram, ItsCommandLineAndItsStopBySignal) {
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* says;
  } cases[] = {
      {{"--help"}, 0, "--max-rooms N"},
      {{"--version"}, 0, "quorbistane-relay "},
      {{"--port", "70000"}, 2, "--port must be a number from 0 to 65535, not '70000'"},
      {{"--max-rooms", "0"}, 2, "--max-rooms must be"},
      {{"--bind", "localhost", "--port", "0"}, 1, "not an IPv4 address"},
      {{"--frobnicate"}, 2, "unknown argument"},
  };
  for (const Case& c : cases) {
    std::string command = QUORBISTANE_RELAY;
    for (const std::string& a : c.args) command += " " + a;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    ASSERT_TRUE(p);
    std::string text;
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    int status = pclose(p);
    EXPECT_EQ(WEXITSTATUS(status), c.exit) << command;
    EXPECT_NE(text.find(c.says), std::string::npos) << command << "\n" << text;
  }

  int out[2], err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    execl(QUORBISTANE_RELAY, QUORBISTANE_RELAY, "--bind", "127.0.0.1", "--port", "0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  auto readSome = [](int fd, std::string* text, int ms) {
    pollfd p = {fd, POLLIN, 0};
    char buf[512];
    ssize_t n = poll(&p, 1, ms) > 0 ? read(fd, buf, sizeof buf) : 0;
    if (n > 0) text->append(buf, static_cast<size_t>(n));
    return n > 0;
  };
  std::string said, logged;
  for (auto deadline = Clock::now() + std::chrono::seconds(3); said.find('\n') == std::string::npos && Clock::now() < deadline;)
    readSome(out[0], &said, 100);
  ASSERT_EQ(said.rfind("listening on 127.0.0.1:", 0), 0u) << said;
  uint16_t port = static_cast<uint16_t>(atoi(said.c_str() + said.rfind(':') + 1));
  std::string error;
  std::vector<End> ends;
  ends.push_back({HostOnRelay("127.0.0.1", port, &error), {}});
  auto serve = [&](const std::function<bool()>& done) {
    for (auto deadline = Clock::now() + std::chrono::seconds(3); Clock::now() < deadline;) {
      for (End& e : ends)
        for (Event ev; e.t->Poll(&ev), ev.kind != Event::None;) e.events.push_back(ev);
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  };
  ASSERT_TRUE(serve([&] { return !ends[0].t->RoomCode().empty(); }));
  ends.push_back({JoinOnRelay("127.0.0.1", port, ends[0].t->RoomCode(), &error), {}});
  ASSERT_TRUE(serve([&] { return ends[0].t->Paired() && ends[1].t->Paired(); }));
  kill(pid, SIGTERM);
  EXPECT_TRUE(serve([&] { return ends[0].Saw(Event::Disconnected) && ends[1].Saw(Event::Disconnected); }));
  for (End& e : ends) EXPECT_EQ(e.t->EndReason(), "relay stopping");
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  while (readSome(err[0], &logged, 100)) {
  }
  close(out[0]);
  close(err[0]);
  std::string code = ends[0].t->RoomCode();
  for (std::string line : {"room " + code + " opened by 127.0.0.1", "room " + code + " joined by 127.0.0.1",
                           "room " + code + " ended: relay stopping"})
    EXPECT_NE(logged.find(line), std::string::npos) << line << "\n" << logged;
}

}  // namespace
