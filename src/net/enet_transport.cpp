// The transport on ENet over UDP: channel 0 reliable and in order, channel 1 unreliable and
// sequenced (ENet drops a plain unreliable packet older than the newest one on its channel).
#include <enet/enet.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "net/enet_support.h"
#include "net/protocol.h"
#include "net/transport.h"

namespace net {
namespace {

constexpr size_t kChannels = kEnetChannels;
constexpr size_t kMaxDatagram = sizeof(Event::data);
// A peer that has answered nothing for this long is given up (ENet's own default is 30 s). The
// session and the match give a silent side up at 10 s and say why; the transport's limit lies
// beyond theirs, so that a side gone says so at the same time whatever the round trip was.
constexpr enet_uint32 kTimeoutMinimumMs = 12000, kTimeoutMaximumMs = 15000;

// ENet allocates a few small blocks for every datagram: the packet and its data, the command
// queued to send or received, the acknowledgement. Those come from a fixed pool of blocks, so that
// a connection allocates nothing once it is up; larger blocks (the host, its peers) and any block
// past the pool's last one come from malloc. Blocks are told apart by their address.
class BlockPool {
 public:
  static constexpr size_t kBlock = 384, kBlocks = 1024;

  void* Take(size_t size) {
    if (size <= kBlock) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (free_) {
        Free* f = free_;
        free_ = f->next;
        return f;
      }
      if (used_ < kBlocks) return store_ + kBlock * used_++;
    }
    return std::malloc(size ? size : 1);
  }
  void Give(void* p) {
    if (!p) return;
    auto* b = static_cast<unsigned char*>(p);
    if (b < store_ || b >= store_ + sizeof store_) {
      std::free(p);
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto* f = static_cast<Free*>(p);
    f->next = free_;
    free_ = f;
  }

 private:
  struct Free {
    Free* next;
  };
  std::mutex mutex_;
  Free* free_ = nullptr;
  size_t used_ = 0;  // blocks handed out at least once
  alignas(std::max_align_t) unsigned char store_[kBlock * kBlocks];
};

BlockPool& Pool() {
  static BlockPool* pool = new BlockPool;  // kept to the end: ENet may free after exit handlers
  return *pool;
}
void* PoolMalloc(size_t size) { return Pool().Take(size); }
void PoolFree(void* p) { Pool().Give(p); }

}  // namespace

bool StartEnet(std::string* error) {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    ENetCallbacks callbacks = {PoolMalloc, PoolFree, nullptr};
    ready = enet_initialize_with_callbacks(ENET_VERSION, &callbacks) == 0;
    if (ready) std::atexit(enet_deinitialize);
  });
  if (!ready && error) *error = "cannot start the network library";
  return ready;
}

ENetPeer* ConnectOut(const std::string& host, uint16_t port, const char* what, ENetHost** local, std::string* error) {
  if (!StartEnet(error)) return nullptr;
  std::string name = std::string(what) + (*what ? " " : "") + host;
  if (port == 0) {
    if (error) *error = "no port given for " + name;
    return nullptr;
  }
  ENetAddress address;
  if (host.empty() || enet_address_set_host(&address, host.c_str()) != 0) {
    if (error) *error = "unknown host '" + host + "'";
    return nullptr;
  }
  address.port = port;
  *local = enet_host_create(nullptr, 1, kEnetChannels, 0, 0);
  if (!*local) {
    if (error) *error = "cannot open a UDP socket";
    return nullptr;
  }
  ENetPeer* peer = enet_host_connect(*local, &address, kEnetChannels, 0);
  if (!peer) {
    enet_host_destroy(*local);
    *local = nullptr;
    if (error) *error = "cannot connect to " + name + ":" + std::to_string(port);
  }
  return peer;
}

bool SendDatagram(ENetPeer* peer, Channel channel, const uint8_t* data, size_t size) {
  if (channel != Channel::Control && channel != Channel::Inputs) return false;
  ENetPacket* packet = enet_packet_create(data, size, channel == Channel::Control ? ENET_PACKET_FLAG_RELIABLE : 0);
  if (!packet) return false;
  if (enet_peer_send(peer, static_cast<enet_uint8>(channel), packet) < 0) {
    enet_packet_destroy(packet);
    return false;
  }
  return true;
}

void DisconnectWithLinger(ENetHost* host, ENetPeer* peer, int lingerMs) {
  enet_peer_disconnect_later(peer, 0);
  ENetEvent e;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(lingerMs);
  bool gone = false;
  while (!gone && std::chrono::steady_clock::now() < until) {
    int got = enet_host_service(host, &e, 5);
    if (got > 0 && e.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(e.packet);
    gone = got < 0 || (got > 0 && e.type == ENET_EVENT_TYPE_DISCONNECT && e.peer == peer);
  }
  // A side that has not answered by then is let go without a disconnection: sent now, it would
  // reach a busy side together with the unread last messages, and ENet drops what it has not
  // handed over yet when it takes a disconnection. Those messages are on their way already.
  if (!gone) enet_peer_reset(peer);
}

namespace {

class EnetTransport final : public Transport {
 public:
  EnetTransport(ENetHost* host, bool hosting) : host_(host), hosting_(hosting) {
    host_->maximumPacketSize = kMaxDatagram;
  }
  ~EnetTransport() override { Close(); }

  void SetPeer(ENetPeer* peer) {
    peer_ = peer;
    enet_peer_timeout(peer_, ENET_PEER_TIMEOUT_LIMIT, kTimeoutMinimumMs, kTimeoutMaximumMs);
  }

  bool Send(Channel channel, const uint8_t* data, size_t size) override {
    if (!connected_ || size > kMaxDatagram || (data == nullptr && size > 0)) return false;
    return SendDatagram(peer_, channel, data, size);
  }

  bool SendToWatchers(const uint8_t* data, size_t size) override {
    if (!host_ || size > kMaxDatagram || data == nullptr) return false;
    bool any = false;
    for (ENetPeer* w : watchers_)
      if (w) any = SendDatagram(w, Channel::Control, data, size) || any;
    return any;
  }
  int Watchers() const override {
    int n = 0;
    for (ENetPeer* w : watchers_) n += w != nullptr;
    return n;
  }
  uint32_t WatchersJoined() const override { return watchersJoined_; }
  uint64_t WatcherDatagramsDropped() const override { return watcherDropped_; }

  void Poll(Event* event) override {
    event->kind = Event::None;
    event->size = 0;
    if (!host_) return;
    if (stashed_) {  // the first datagram of a player who came after a watcher took the first place
      *event = stash_;
      stashed_ = false;
      return;
    }
    ExpirePending();
    ENetEvent e;
    // enet_host_service hands out one event per call and keeps the rest for the next one; the
    // loop only goes on past events that are not given to the caller.
    while (enet_host_service(host_, &e, 0) > 0) {
      if (Take(e, event)) break;
    }
    bytes_.Take(host_);
  }

  uint32_t RoundTripMs() const override { return connected_ ? peer_->roundTripTime : 0; }
  uint64_t BytesSent() const override { return bytes_.Sent(host_); }
  uint64_t BytesReceived() const override { return bytes_.Received(host_); }

  void Close() override {
    if (!host_) return;
    // The watchers are let go after what was queued for them (the match's end).
    for (ENetPeer*& w : watchers_)
      if (w) enet_peer_disconnect_later(w, 0);
    for (Pending& p : pending_)
      if (p.peer) enet_peer_disconnect_now(p.peer, 0);
    if (peer_ && connected_) {
      DisconnectWithLinger(host_, peer_, kCloseLingerMs);
      if (Watchers() > 0) Linger();
    } else if (peer_) {
      enet_peer_disconnect_now(peer_, 0);
      if (Watchers() > 0) Linger();
    } else if (Watchers() > 0) {
      Linger();
    }
    bytes_.Take(host_);
    enet_host_destroy(host_);
    host_ = nullptr;
    peer_ = nullptr;
    connected_ = false;
  }

  uint16_t Port() const { return host_ ? host_->address.port : 0; }

 private:
  // A caller besides the player: a watcher must say so in its first datagram within this long.
  static constexpr uint32_t kHandshakeMs = 1000;
  struct Pending {
    ENetPeer* peer = nullptr;
    std::chrono::steady_clock::time_point since;
  };

  // A host's goodbye to its watchers: until each has taken the feed's end and gone, kFeedLingerMs
  // at most.
  void Linger() {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFeedLingerMs);
    ENetEvent e;
    while (std::chrono::steady_clock::now() < until && Watchers() > 0) {
      int got = enet_host_service(host_, &e, 5);
      if (got < 0) break;
      if (got > 0 && e.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(e.packet);
      if (got > 0 && e.type == ENET_EVENT_TYPE_DISCONNECT) Forget(e.peer);
    }
  }

  void ExpirePending() {
    auto now = std::chrono::steady_clock::now();
    for (Pending& p : pending_)
      if (p.peer && now - p.since >= std::chrono::milliseconds(kHandshakeMs)) {
        enet_peer_disconnect_now(p.peer, 0);
        p.peer = nullptr;
      }
  }

  bool AddPending(ENetPeer* peer) {
    for (Pending& p : pending_)
      if (!p.peer) {
        p.peer = peer;
        p.since = std::chrono::steady_clock::now();
        return true;
      }
    return false;
  }

  // A watcher or a caller not yet known, gone.
  void Forget(ENetPeer* peer) {
    for (ENetPeer*& w : watchers_)
      if (w == peer) w = nullptr;
    for (Pending& p : pending_)
      if (p.peer == peer) p.peer = nullptr;
  }

  bool IsWatcher(const ENetPeer* peer) const {
    for (ENetPeer* w : watchers_)
      if (w == peer) return true;
    return false;
  }

  // A caller's first datagram is a watcher's handshake: it watches, or is told why not.
  void TakeWatcher(ENetPeer* peer) {
    for (ENetPeer*& w : watchers_)
      if (!w) {
        w = peer;
        ++watchersJoined_;
        enet_peer_timeout(peer, ENET_PEER_TIMEOUT_LIMIT, kTimeoutMinimumMs, kTimeoutMaximumMs);
        return;
      }
    uint8_t refuse[2 + 64];
    size_t n = strlen(kTooManyWatchers);
    refuse[0] = static_cast<uint8_t>(MessageType::Refuse);
    refuse[1] = static_cast<uint8_t>(n);
    std::memcpy(refuse + 2, kTooManyWatchers, n);
    SendDatagram(peer, Channel::Control, refuse, 2 + n);
    enet_peer_disconnect_later(peer, 0);
  }

  static bool WatchHandshake(const ENetPacket* p) {
    return p->dataLength > 0 && p->data[0] == static_cast<uint8_t>(MessageType::Watch);
  }

  void Give(const ENetEvent& e, Event* event) {
    event->kind = Event::Received;
    event->channel = static_cast<Channel>(e.channelID);
    event->size = e.packet->dataLength;
    std::memcpy(event->data, e.packet->data, e.packet->dataLength);
  }

  // Handles one ENet event; true when it becomes the caller's event. A host's first caller is
  // taken for its player (Connected) until its first datagram says it watches; later callers
  // are watchers if they say so within kHandshakeMs, and else turned away, unless the player's
  // place is still free or held by a caller who has said nothing yet.
  bool Take(const ENetEvent& e, Event* event) {
    switch (e.type) {
      case ENET_EVENT_TYPE_CONNECT:
        if (!hosting_) {
          connected_ = true;
          event->kind = Event::Connected;
          return true;
        }
        if (!peer_) {
          SetPeer(e.peer);
          connected_ = true;
          confirmed_ = false;
          event->kind = Event::Connected;
          return true;
        }
        if (!AddPending(e.peer)) enet_peer_disconnect_now(e.peer, 0);
        return false;
      case ENET_EVENT_TYPE_RECEIVE: {
        ENetPacket* packet = e.packet;
        bool fits = e.channelID < kChannels && packet->dataLength <= kMaxDatagram;
        bool ours = false;
        if (e.peer == peer_ && connected_) {
          if (hosting_ && !confirmed_ && WatchHandshake(packet)) {
            // The first caller watches after all: the player's place is free again.
            peer_ = nullptr;
            connected_ = false;
            TakeWatcher(e.peer);
          } else if (fits) {
            confirmed_ = true;
            Give(e, event);
            ours = true;
          }
        } else if (IsWatcher(e.peer)) {
          ++watcherDropped_;  // a watcher sends nothing after its handshake
        } else if (hosting_) {
          Forget(e.peer);
          if (WatchHandshake(packet)) {
            TakeWatcher(e.peer);
          } else if (fits && (!peer_ || !confirmed_)) {
            // The player, where a silent first caller held the place: that one waits as a
            // caller not yet known.
            if (peer_) AddPending(peer_);
            bool told = peer_ != nullptr;
            SetPeer(e.peer);
            connected_ = confirmed_ = true;
            Give(e, event);
            if (!told) {  // Connected first, then this datagram
              stash_ = *event;
              stashed_ = true;
              *event = Event{};
              event->kind = Event::Connected;
            }
            ours = true;
          } else {
            enet_peer_disconnect_now(e.peer, 0);  // the host plays with one peer only
          }
        }
        enet_packet_destroy(packet);
        return ours;
      }
      case ENET_EVENT_TYPE_DISCONNECT:
        if (e.peer != peer_) {
          Forget(e.peer);
          return false;
        }
        connected_ = false;
        peer_ = nullptr;
        event->kind = Event::Disconnected;
        return true;
      default:
        return false;
    }
  }

  ENetHost* host_;
  ENetPeer* peer_ = nullptr;
  bool hosting_;
  bool connected_ = false;
  bool confirmed_ = true;  // the player has sent a datagram that is no watcher's
  ENetPeer* watchers_[kMaxWatchers] = {};
  Pending pending_[kMaxWatchers + 1];
  uint32_t watchersJoined_ = 0;
  uint64_t watcherDropped_ = 0;
  Event stash_;
  bool stashed_ = false;
  EnetBytes bytes_;

  friend uint16_t net::BoundPort(const Transport& hosted);
};

}  // namespace

std::unique_ptr<Transport> HostOn(uint16_t port, std::string* error) {
  if (!StartEnet(error)) return nullptr;
  ENetAddress address;
  address.host = ENET_HOST_ANY;
  address.port = port;
  // The player, its watchers, and room for one more caller, so that it is told no instead of
  // left waiting.
  ENetHost* host = enet_host_create(&address, 2 + kMaxWatchers, kChannels, 0, 0);
  if (!host) {
    if (error) *error = "cannot listen on UDP port " + std::to_string(port) + " (is it taken?)";
    return nullptr;
  }
  return std::make_unique<EnetTransport>(host, true);
}

std::unique_ptr<Transport> JoinTo(const std::string& host, uint16_t port, std::string* error) {
  ENetHost* local = nullptr;
  ENetPeer* peer = ConnectOut(host, port, "", &local, error);
  if (!peer) return nullptr;
  auto transport = std::make_unique<EnetTransport>(local, false);
  transport->SetPeer(peer);
  return transport;
}

uint16_t BoundPort(const Transport& hosted) {
  auto* enet = dynamic_cast<const EnetTransport*>(&hosted);
  return enet && enet->hosting_ ? enet->Port() : 0;
}

}  // namespace net
