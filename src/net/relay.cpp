#include "net/relay.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <poll.h>
#include <sys/random.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "net/enet_support.h"
#include "net/protocol.h"

namespace net {
namespace {

constexpr size_t kChannels = kEnetChannels;
// Peers that answer nothing for this long are given up, as in the game's own transport.
constexpr enet_uint32 kTimeoutMinimumMs = 5000, kTimeoutMaximumMs = 10000;
constexpr int kStopLingerMs = 500;
// A client that has asked for nothing this long after connecting is sent away.
constexpr uint32_t kAskWithinMs = 10000;
constexpr uint32_t kHousekeepingMs = 100;
// A watched room whose joiner left lives this long for the host's last feed (its leaving ends
// it sooner), so the watchers see the game to where the players confirmed it.
constexpr uint32_t kLastFeedMs = 10000;
// ENet takes no longer packet (longer ones are dropped before they reach the relay): a datagram
// a bit longer than a game message is still seen, and counted, here.
constexpr size_t kEnetMaxPacket = 1024;
constexpr size_t kEnetMaxWaiting = 64 * 1024;
// Addresses followed for their limits at once; a new one past them is dropped until quiet ones
// are forgotten (each second).
constexpr size_t kMaxAddresses = 65536;
constexpr size_t kMaxResting = 1u << 20;  // codes resting; past it the oldest may come back sooner
constexpr int kMaxEventsPerPoll = 8192;
constexpr int kTimersMs = 10;
constexpr int kReceiveBuffer = 4 * 1024 * 1024;

uint32_t NowMs() {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

uint64_t Mix64(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

uint64_t MachineSeed() {
  uint64_t seed = 0;
  if (getrandom(&seed, sizeof seed, 0) != static_cast<ssize_t>(sizeof seed) || seed == 0)
    seed = std::chrono::steady_clock::now().time_since_epoch().count() ^ 0x5DEECE66DULL;
  return seed;
}

std::string AddressText(uint32_t host) {
  char text[INET_ADDRSTRLEN] = "?";
  in_addr a;
  a.s_addr = host;
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

}  // namespace

// ---- Room codes ------------------------------------------------------------------------------

struct RoomCodes::State {
  bool seeded;
  uint64_t random;
  uint32_t reuseMs;
  std::unordered_set<uint32_t> inUse;
  std::unordered_map<uint32_t, uint32_t> resting;    // code -> when its room ended
  std::deque<std::pair<uint32_t, uint32_t>> order;  // the same, oldest first

  bool Free(uint32_t code) const { return !inUse.count(code) && !resting.count(code); }
  // Unseeded, from the kernel's secure generator: the codes so far tell nothing of the next.
  uint64_t Draw() {
    uint64_t v = 0;
    if (seeded || getrandom(&v, sizeof v, 0) != static_cast<ssize_t>(sizeof v)) return Mix64(&random);
    return v;
  }
  void Forget(uint32_t nowMs) {
    while (!order.empty() && (nowMs - order.front().second >= reuseMs || order.size() > kMaxResting)) {
      auto it = resting.find(order.front().first);
      if (it != resting.end() && it->second == order.front().second) resting.erase(it);
      order.pop_front();
    }
  }
};

RoomCodes::RoomCodes(uint64_t seed, uint32_t reuseMs)
    : s_(new State{seed != 0, seed ? seed : MachineSeed(), reuseMs, {}, {}, {}}) {}
RoomCodes::~RoomCodes() = default;

bool RoomCodes::Issue(uint32_t nowMs, uint32_t* code) {
  s_->Forget(nowMs);
  uint32_t pick = 0;
  bool found = false;
  for (int tries = 0; tries < 64 && !found; ++tries) {
    pick = static_cast<uint32_t>(s_->Draw() % kRoomCodeCount);
    found = s_->Free(pick);
  }
  // Only when nearly every code is taken: the next free one after the last draw.
  for (uint32_t step = 0; !found && step < kRoomCodeCount; ++step) {
    pick = (pick + 1) % kRoomCodeCount;
    found = s_->Free(pick);
  }
  if (!found) return false;
  s_->inUse.insert(pick);
  *code = pick;
  return true;
}

void RoomCodes::Release(uint32_t code, uint32_t nowMs) {
  s_->inUse.erase(code);
  s_->resting[code] = nowMs;
  s_->order.emplace_back(code, nowMs);
  s_->Forget(nowMs);
}

bool RoomCodes::InUse(uint32_t code) const { return s_->inUse.count(code) != 0; }

// ---- The relay -------------------------------------------------------------------------------

struct Relay::State {
  struct Client {
    ENetPeer* peer = nullptr;  // null: the slot is free (or the peer was turned away)
    uint32_t address = 0;      // IPv4, network order
    uint32_t connectedMs = 0;
    int room = -1, role = -1;
    bool leaving = false;      // told to go: what it still sends is dropped
  };
  struct Room {
    bool open = false;
    uint32_t code = 0;
    char text[kRoomCodeLetters + 1] = {};
    uint16_t gameProtocol = 0;
    int player[2] = {-1, -1};  // client slots of the host and the joiner
    int watcher[kMaxRelayWatchers] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int watchers = 0;
    uint32_t watchersJoined = 0;
    bool joinerGone = false;  // the joiner left while watched: only the host's feed goes on
    uint32_t openedMs = 0, lastMs = 0, joinerGoneMs = 0;
    uint64_t datagrams = 0, bytes = 0, dropped = 0;
  };
  struct Address {
    int rooms = 0, clients = 0;
    double packets = 0, bytes = 0;  // what may still come now (token buckets, a second deep)
    uint32_t lastMs = 0;
  };

  explicit State(const RelayConfig& c) : config(c), codes(c.seed, c.codeReuseMs) {}

  RelayConfig config;
  RoomCodes codes;
  ENetHost* host = nullptr;
  std::vector<Client> clients;
  std::vector<Room> rooms;
  std::vector<int> freeRooms;
  std::unordered_map<uint32_t, int> byCode;
  std::unordered_map<uint32_t, Address> addresses;
  RelayCounts counts;
  uint32_t lastHousekeepingMs = 0, lastForgetMs = 0;
  std::chrono::steady_clock::time_point lastService;

  static thread_local State* current;  // the relay being polled, for the receive hook

  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The receive hook: every UDP datagram is charged to its address before ENet reads it, and
  // one that is no ENet datagram for a peer of this address (or a connection request) is
  // dropped and counted here, where ENet would drop it without a word.
  static int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent*) {
    State* s = current;
    if (!s) return 0;
    if (!s->Charge(host->receivedAddress.host, host->receivedDataLength)) return 1;
    if (ForAPeer(host)) return 0;
    ++s->counts.garbage;
    return 1;
  }

  static bool ForAPeer(const ENetHost* host) {
    if (host->receivedDataLength < sizeof(ENetProtocolHeader)) return false;
    unsigned word = unsigned{host->receivedData[0]} << 8 | host->receivedData[1];
    if (word & ENET_PROTOCOL_HEADER_FLAG_COMPRESSED) return false;  // nobody here compresses
    unsigned id = word & ~unsigned{ENET_PROTOCOL_HEADER_FLAG_MASK | ENET_PROTOCOL_HEADER_SESSION_MASK};
    if (id == ENET_PROTOCOL_MAXIMUM_PEER_ID) return true;  // a connection request
    if (id >= host->peerCount) return false;
    const ENetPeer& peer = host->peers[id];
    return peer.state != ENET_PEER_STATE_DISCONNECTED && peer.state != ENET_PEER_STATE_ZOMBIE &&
           peer.address.host == host->receivedAddress.host && peer.address.port == host->receivedAddress.port;
  }

  bool Charge(uint32_t ip, size_t size) {
    uint32_t now = NowMs();
    auto it = addresses.find(ip);
    if (it == addresses.end()) {
      if (addresses.size() >= kMaxAddresses) {
        ++counts.overLimit;
        return false;
      }
      Address fresh;
      fresh.packets = config.perAddress.packetsPerSecond;
      fresh.bytes = config.perAddress.bytesPerSecond;
      fresh.lastMs = now;
      it = addresses.emplace(ip, fresh).first;
    }
    Address& a = it->second;
    double seconds = static_cast<double>(now - a.lastMs) / 1000.0;
    a.lastMs = now;
    a.packets = std::min<double>(a.packets + seconds * config.perAddress.packetsPerSecond,
                                 config.perAddress.packetsPerSecond);
    a.bytes = std::min<double>(a.bytes + seconds * config.perAddress.bytesPerSecond, config.perAddress.bytesPerSecond);
    if (a.packets < 1 || a.bytes < static_cast<double>(size)) {
      ++counts.overLimit;
      return false;
    }
    a.packets -= 1;
    a.bytes -= static_cast<double>(size);
    return true;
  }

  Address& AddressOf(const Client& c) { return addresses[c.address]; }

  void SendRelay(Client& c, const RelayMessage& m) {
    uint8_t buf[kMaxRelayMessageBytes];
    size_t n = EncodeRelay(m, buf);
    ENetPacket* p = n ? enet_packet_create(buf, n, ENET_PACKET_FLAG_RELIABLE) : nullptr;
    if (p && enet_peer_send(c.peer, 0, p) < 0) enet_packet_destroy(p);
  }

  // Tells a client to go: what was queued for it goes first, then the goodbye.
  void SendAway(Client& c) {
    c.leaving = true;
    c.room = -1;
    c.role = -1;
    enet_peer_disconnect_later(c.peer, 0);
  }

  void Refuse(Client& c, RelayRefusal why) {
    RelayMessage m;
    m.type = RelayType::Refused;
    m.refused = why;
    SendRelay(c, m);
    SendAway(c);
    ++counts.refused;
    Log("refused %s: %s", AddressText(c.address).c_str(), RelayRefusalText(why));
  }

  void Open(int slot, const RelayMessage& m) {
    Client& c = clients[slot];
    if (m.relayProtocol != kRelayProtocolVersion) return Refuse(c, RelayRefusal::BadVersion);
    Address& a = AddressOf(c);
    if (freeRooms.empty() || a.rooms >= config.perAddress.roomsPerAddress)
      return Refuse(c, RelayRefusal::TooManyRooms);
    uint32_t now = NowMs(), code = 0;
    if (!codes.Issue(now, &code)) return Refuse(c, RelayRefusal::TooManyRooms);
    int r = freeRooms.back();
    freeRooms.pop_back();
    Room& room = rooms[r];
    room = Room();
    room.open = true;
    room.code = code;
    RoomCodeText(code, room.text);
    room.gameProtocol = m.gameProtocol;
    room.player[0] = slot;
    room.openedMs = room.lastMs = now;
    byCode[code] = r;
    c.room = r;
    c.role = 0;
    ++a.rooms;
    ++counts.roomsOpened;
    ++counts.roomsOpen;
    RelayMessage answer;
    answer.type = RelayType::Code;
    std::memcpy(answer.code, room.text, sizeof room.text);
    SendRelay(c, answer);
    Log("room %s opened by %s (game protocol %u)", room.text, AddressText(c.address).c_str(),
        unsigned{m.gameProtocol});
  }

  void Join(int slot, const RelayMessage& m) {
    Client& c = clients[slot];
    if (m.relayProtocol != kRelayProtocolVersion) return Refuse(c, RelayRefusal::BadVersion);
    uint32_t code = 0;
    RoomCodeIndex(m.code, &code);  // the decoder let only codes of the alphabet through
    auto it = byCode.find(code);
    if (it == byCode.end()) return Refuse(c, RelayRefusal::UnknownCode);
    Room& room = rooms[it->second];
    if (room.player[1] >= 0 || room.joinerGone) return Refuse(c, RelayRefusal::RoomFull);
    if (room.gameProtocol != m.gameProtocol) return Refuse(c, RelayRefusal::BadVersion);
    room.player[1] = slot;
    room.lastMs = NowMs();
    c.room = it->second;
    c.role = 1;
    for (int role = 0; role < 2; ++role) {
      RelayMessage paired;
      paired.type = RelayType::Paired;
      paired.role = static_cast<uint8_t>(role);
      SendRelay(clients[room.player[role]], paired);
    }
    if (room.watchers > 0) TellWatchers(room);
    Log("room %s joined by %s", room.text, AddressText(c.address).c_str());
  }

  // The players are told how many watch (and how many came so far: the host sends each newcomer
  // the game so far).
  void TellWatchers(Room& room) {
    RelayMessage m;
    m.type = RelayType::Watchers;
    m.watchers = static_cast<uint8_t>(room.watchers);
    m.watchersJoined = room.watchersJoined;
    for (int slot : room.player)
      if (slot >= 0 && !clients[slot].leaving) SendRelay(clients[slot], m);
  }

  void Watch(int slot, const RelayMessage& m) {
    Client& c = clients[slot];
    if (m.relayProtocol != kRelayProtocolVersion) return Refuse(c, RelayRefusal::BadVersion);
    uint32_t code = 0;
    RoomCodeIndex(m.code, &code);
    auto it = byCode.find(code);
    if (it == byCode.end()) return Refuse(c, RelayRefusal::UnknownCode);
    Room& room = rooms[it->second];
    if (room.gameProtocol != m.gameProtocol) return Refuse(c, RelayRefusal::BadVersion);
    if (room.watchers >= static_cast<int>(kMaxRelayWatchers)) return Refuse(c, RelayRefusal::TooManyWatchers);
    for (int& w : room.watcher)
      if (w < 0) {
        w = slot;
        break;
      }
    ++room.watchers;
    ++room.watchersJoined;
    c.room = it->second;
    c.role = 2;
    RelayMessage paired;
    paired.type = RelayType::Paired;
    paired.role = 2;
    SendRelay(c, paired);
    TellWatchers(room);
    Log("room %s watched by %s (%d watching)", room.text, AddressText(c.address).c_str(), room.watchers);
  }

  void Unwatch(Client& c, int slot) {
    Room& room = rooms[c.room];
    for (int& w : room.watcher)
      if (w == slot) {
        w = -1;
        --room.watchers;
      }
    c.room = -1;
    c.role = -1;
    TellWatchers(room);
  }

  // The joiner of a watched room left: the host is told but stays, so that the end of its feed
  // (the last confirmed inputs, the match's end) still reaches the watchers.
  void JoinerLeft(Room& room) {
    room.player[1] = -1;
    room.joinerGone = true;
    room.joinerGoneMs = NowMs();
    Client& host = clients[room.player[0]];  // a host's leaving ends the room at once
    if (host.peer && !host.leaving) {
      RelayMessage m;
      m.type = RelayType::Ended;
      m.ended = RelayEnd::OtherLeft;
      SendRelay(host, m);
    }
    Log("room %s: the joiner left; the host's feed goes on to %d watching", room.text, room.watchers);
  }

  // Ends a room: each player still there (but `gone`) is told why and sent away.
  void End(int r, RelayEnd why, int gone) {
    Room& room = rooms[r];
    if (!room.open) return;
    uint32_t now = NowMs();
    auto tell = [&](int& slot, bool forget) {
      if (slot < 0) return;
      Client& c = clients[slot];
      if (slot != gone && c.peer && !c.leaving) {
        RelayMessage m;
        m.type = RelayType::Ended;
        m.ended = why;
        SendRelay(c, m);
        SendAway(c);
      }
      c.room = -1;
      c.role = -1;
      if (forget) slot = -1;
    };
    for (int& slot : room.player) tell(slot, false);
    for (int& slot : room.watcher) tell(slot, true);
    room.watchers = 0;
    room.joinerGone = false;
    Address& a = addresses[room.player[0] >= 0 ? clients[room.player[0]].address : 0];
    if (a.rooms > 0) --a.rooms;
    codes.Release(room.code, now);
    byCode.erase(room.code);
    Log("room %s ended: %s (%llu datagrams, %llu bytes, %llu dropped, %.1f s)", room.text, RelayEndText(why),
        static_cast<unsigned long long>(room.datagrams), static_cast<unsigned long long>(room.bytes),
        static_cast<unsigned long long>(room.dropped), static_cast<double>(now - room.openedMs) / 1000.0);
    room.open = false;
    freeRooms.push_back(r);
    ++counts.roomsEnded;
    --counts.roomsOpen;
  }

  void Connect(ENetPeer* peer) {
    int slot = static_cast<int>(peer - host->peers);
    uint32_t ip = peer->address.host;
    Address& a = addresses[ip];
    if (a.clients >= config.perAddress.clientsPerAddress) {
      ++counts.turnedAway;
      enet_peer_disconnect_now(peer, 0);
      return;
    }
    ++a.clients;
    Client& c = clients[slot];
    c = Client();
    c.peer = peer;
    c.address = ip;
    c.connectedMs = NowMs();
    enet_peer_timeout(peer, ENET_PEER_TIMEOUT_LIMIT, kTimeoutMinimumMs, kTimeoutMaximumMs);
    // ENet's throttle drops unreliable datagrams when the round trip swells (a busy moment is
    // enough): the relay passes on all it was given, and tells the client to send all too.
    // The game's inputs are few and small; each one also carries those not yet acknowledged.
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_ACCELERATION, 0);
    ++counts.clients;
  }

  void Disconnect(ENetPeer* peer) {
    int slot = static_cast<int>(peer - host->peers);
    Client& c = clients[slot];
    if (c.peer != peer) return;  // turned away at its connection
    if (c.room >= 0 && c.role == 2) {
      Unwatch(c, slot);  // a watcher's leaving ends nothing
    } else if (c.room >= 0) {
      Room& room = rooms[c.room];
      if (c.role == 1 && room.watchers > 0) JoinerLeft(room);
      else End(c.room, room.player[1] >= 0 || room.joinerGone ? RelayEnd::OtherLeft : RelayEnd::HostLeft, slot);
    }
    Address& a = AddressOf(c);
    if (a.clients > 0) --a.clients;
    c = Client();
    --counts.clients;
  }

  void Receive(ENetPeer* peer, uint8_t channel, ENetPacket* packet) {
    int slot = static_cast<int>(peer - host->peers);
    Client& c = clients[slot];
    const uint8_t* data = packet->data;
    size_t size = packet->dataLength;
    if (c.peer != peer || c.leaving) {
      enet_packet_destroy(packet);
      return;
    }
    if (c.room < 0) {
      RelayMessage m;
      if (channel == 0 && DecodeRelay(data, size, &m, nullptr) && m.type == RelayType::Open) {
        Open(slot, m);
      } else if (channel == 0 && DecodeRelay(data, size, &m, nullptr) && m.type == RelayType::Join) {
        Join(slot, m);
      } else if (channel == 0 && DecodeRelay(data, size, &m, nullptr) && m.type == RelayType::Watch) {
        Watch(slot, m);
      } else {
        ++counts.garbage;
        Refuse(c, RelayRefusal::BadRequest);
      }
      enet_packet_destroy(packet);
      return;
    }
    Room& room = rooms[c.room];
    if (c.role == 2) {  // a watcher says nothing after its request
      ++counts.watcherDropped;
      ++room.dropped;
      enet_packet_destroy(packet);
      return;
    }
    bool game = size >= 1 && size <= kMaxMessageBytes && data[0] < kFirstRelayType && channel < kChannels;
    bool feed = game && data[0] >= kFirstWatchType && data[0] <= kLastWatchType;
    if (feed) {
      // The host's feed: to every watcher of the room, the same packet; none is the joiner's.
      if (c.role != 0) {
        ++counts.garbage;
        ++room.dropped;
      } else {
        for (int w : room.watcher) {
          if (w < 0 || clients[w].leaving) continue;
          if (enet_peer_send(clients[w].peer, channel, packet) == 0) {
            ++counts.forwarded;
            counts.forwardedBytes += size;
          } else {
            ++room.dropped;
          }
        }
        room.lastMs = NowMs();
      }
      if (packet->referenceCount == 0) enet_packet_destroy(packet);
      return;
    }
    int other = room.player[1 - c.role];
    if (!game || other < 0) {
      if (!game || !room.joinerGone) ++counts.garbage;  // not the host's last words to its joiner
      ++room.dropped;
      enet_packet_destroy(packet);
      return;
    }
    // The packet itself goes on, with its flags: the same reliability, no copy.
    if (enet_peer_send(clients[other].peer, channel, packet) == 0) {
      ++room.datagrams;
      room.bytes += size;
      room.lastMs = NowMs();
      ++counts.forwarded;
      counts.forwardedBytes += size;
    } else {
      ++room.dropped;
    }
    if (packet->referenceCount == 0) enet_packet_destroy(packet);
  }

  void Housekeep(uint32_t now) {
    if (now - lastHousekeepingMs < kHousekeepingMs) return;
    lastHousekeepingMs = now;
    for (size_t r = 0; r < rooms.size(); ++r) {
      Room& room = rooms[r];
      if (!room.open) continue;
      if (room.joinerGone) {
        if (room.watchers == 0 || now - room.joinerGoneMs >= kLastFeedMs) End(static_cast<int>(r), RelayEnd::OtherLeft, -1);
      } else if (room.player[1] < 0 && now - room.openedMs >= config.aloneMs)
        End(static_cast<int>(r), RelayEnd::Alone, -1);
      else if (room.player[1] >= 0 && now - room.lastMs >= config.idleMs)
        End(static_cast<int>(r), RelayEnd::Idle, -1);
    }
    for (Client& c : clients)
      if (c.peer && c.room < 0 && !c.leaving && now - c.connectedMs >= kAskWithinMs) Refuse(c, RelayRefusal::BadRequest);
    if (now - lastForgetMs >= 1000) {
      lastForgetMs = now;
      for (auto it = addresses.begin(); it != addresses.end();) {
        const Address& a = it->second;
        if (a.clients == 0 && a.rooms == 0 && now - a.lastMs >= 2000) it = addresses.erase(it);
        else ++it;
      }
    }
  }

  void Handle(const ENetEvent& e) {
    switch (e.type) {
      case ENET_EVENT_TYPE_CONNECT: Connect(e.peer); break;
      case ENET_EVENT_TYPE_DISCONNECT: Disconnect(e.peer); break;
      case ENET_EVENT_TYPE_RECEIVE: Receive(e.peer, e.channelID, e.packet); break;
      default: break;
    }
  }
};

thread_local Relay::State* Relay::State::current = nullptr;

void Relay::State::Log(const char* format, ...) {
  if (!config.log) return;
  char line[256];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  fprintf(config.log, "quorbistane-relay: %s\n", line);
  fflush(config.log);
}

Relay::Relay(const RelayConfig& config) : s_(new State(config)) {}
Relay::~Relay() { Stop(); }

bool Relay::Start(std::string* error) {
  if (s_->host) return true;
  if (!StartEnet(error)) return false;
  RelayConfig& c = s_->config;
  if (c.maxRooms < 1) c.maxRooms = 1;
  size_t peers = std::min<size_t>(2 * static_cast<size_t>(c.maxRooms) + 32, ENET_PROTOCOL_MAXIMUM_PEER_ID);
  if (c.maxRooms > static_cast<int>(peers / 2)) c.maxRooms = static_cast<int>(peers / 2);
  ENetAddress address;
  address.host = ENET_HOST_ANY;
  address.port = c.port;
  if (!c.bindAddress.empty() && enet_address_set_host_ip(&address, c.bindAddress.c_str()) != 0) {
    if (error) *error = "not an IPv4 address: '" + c.bindAddress + "'";
    return false;
  }
  s_->host = enet_host_create(&address, peers, kChannels, 0, 0);
  if (!s_->host) {
    if (error) *error = "cannot listen on UDP port " + std::to_string(c.port) + " (is it taken?)";
    return false;
  }
  ENetHost* h = s_->host;
  h->maximumPacketSize = kEnetMaxPacket;
  h->maximumWaitingData = kEnetMaxWaiting;
  h->duplicatePeers = static_cast<size_t>(std::max(1, c.perAddress.clientsPerAddress));
  h->intercept = State::Intercept;
  // A batch's datagrams wait in the socket: room for a few milliseconds of many rooms (the
  // kernel may give less, up to its own maximum).
  enet_socket_set_option(h->socket, ENET_SOCKOPT_RCVBUF, kReceiveBuffer);
  enet_socket_set_option(h->socket, ENET_SOCKOPT_SNDBUF, kReceiveBuffer);
  s_->clients.assign(peers, State::Client());
  s_->rooms.assign(static_cast<size_t>(c.maxRooms), State::Room());
  s_->freeRooms.clear();
  s_->byCode.clear();
  for (int r = c.maxRooms; r-- > 0;) s_->freeRooms.push_back(r);
  s_->lastHousekeepingMs = s_->lastForgetMs = NowMs();
  return true;
}

uint16_t Relay::Port() const { return s_->host ? s_->host->address.port : 0; }

void Relay::Poll(int timeoutMs) {
  State& s = *s_;
  if (!s.host) return;
  // Every service of ENet walks all its peers (a few times): served once per datagram, a relay
  // of many rooms would spend its time walking. So the datagrams are taken in batches, at most
  // one every batchUs: those that came meanwhile wait in the socket's buffer, and each batch
  // costs its walks once.
  if (timeoutMs > 0) {
    auto since = std::chrono::steady_clock::now() - s.lastService;
    auto batch = std::chrono::microseconds(s.config.batchUs);
    if (since < batch) std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        batch - since, std::chrono::milliseconds(timeoutMs)));
    // ENet's own timers (resends, pings, timeouts) want a service now and then even when
    // nothing comes.
    pollfd fd = {s.host->socket, POLLIN, 0};
    ::poll(&fd, 1, std::min(timeoutMs, kTimersMs));
  }
  s.lastService = std::chrono::steady_clock::now();
  State::current = &s;
  ENetEvent e;
  int got = enet_host_service(s.host, &e, 0);
  for (int n = 0; got > 0 && n < kMaxEventsPerPoll; ++n) {
    s.Handle(e);
    got = enet_host_check_events(s.host, &e);
  }
  if (got > 0) s.Handle(e);
  State::current = nullptr;
  s.Housekeep(NowMs());
  enet_host_flush(s.host);
}

void Relay::Stop() {
  State& s = *s_;
  if (!s.host) return;
  for (size_t r = 0; r < s.rooms.size(); ++r)
    if (s.rooms[r].open) s.End(static_cast<int>(r), RelayEnd::RelayStopping, -1);
  for (State::Client& c : s.clients)
    if (c.peer && !c.leaving) s.SendAway(c);
  // The goodbyes are waited for a moment; whoever has not answered is dropped without one more.
  State::current = &s;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopLingerMs);
  ENetEvent e;
  while (s.counts.clients > 0 && std::chrono::steady_clock::now() < until) {
    int got = enet_host_service(s.host, &e, 5);
    if (got < 0) break;
    if (got > 0) s.Handle(e);
  }
  State::current = nullptr;
  // Whoever has not answered is let go without a word more: a disconnection sent now would
  // reach a busy client together with the unread "relay stopping", and ENet drops what it has
  // not yet handed over when it takes a disconnection. The goodbye already sent says it all.
  for (State::Client& c : s.clients) {
    if (c.peer) enet_peer_reset(c.peer);
    c = State::Client();
  }
  s.counts.clients = 0;
  s.addresses.clear();
  enet_host_flush(s.host);
  enet_host_destroy(s.host);
  s.host = nullptr;
  s.Log("stopped: %llu rooms opened, %llu datagrams forwarded, %llu garbage, %llu over limits, %llu refused",
        static_cast<unsigned long long>(s.counts.roomsOpened), static_cast<unsigned long long>(s.counts.forwarded),
        static_cast<unsigned long long>(s.counts.garbage), static_cast<unsigned long long>(s.counts.overLimit),
        static_cast<unsigned long long>(s.counts.refused));
}

RelayCounts Relay::Counts() const { return s_->counts; }

bool Relay::RoomOpen(const std::string& code) const {
  uint32_t index = 0;
  return RoomCodeIndex(code.c_str(), &index) && s_->byCode.count(index) != 0;
}

}  // namespace net
