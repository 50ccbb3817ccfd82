#include "net/relay_client.h"

#include <enet/enet.h>

#include <cstring>

#include "net/enet_support.h"
#include "net/protocol.h"
#include "net/relay_protocol.h"

namespace net {
namespace {

constexpr size_t kChannels = kEnetChannels;
// A relay gone without a word (killed, unplugged) is given up within 8 s, so a game through it
// ends "connection lost" within 10.
constexpr enet_uint32 kTimeoutMinimumMs = 4000, kTimeoutMaximumMs = 8000;

class EnetRelayTransport final : public RelayTransport {
 public:
  // role 0 hosts (asks for a room), 1 joins the room of `code`, 2 watches it.
  EnetRelayTransport(ENetHost* host, ENetPeer* peer, int role, const char* code)
      : host_(host), peer_(peer), role_(role), hosting_(role == 0), code_(code) {
    host_->maximumPacketSize = kMaxMessageBytes;
    enet_peer_timeout(peer_, ENET_PEER_TIMEOUT_LIMIT, kTimeoutMinimumMs, kTimeoutMaximumMs);
  }
  ~EnetRelayTransport() override { Close(); }

  const std::string& RoomCode() const override { return code_; }
  bool Paired() const override { return paired_ && !ended_; }
  const std::string& EndReason() const override { return endReason_; }
  // A room is used once: once it ended, no other player can come through it.
  std::string ClosedReason() const override { return ended_ ? endReason_ : std::string(); }

  bool Send(Channel channel, const uint8_t* data, size_t size) override {
    // Only game messages: the relay would drop anything else anyway; a watcher sends nothing.
    if (!Paired() || role_ == 2 || size == 0 || size > kMaxMessageBytes || data == nullptr ||
        data[0] >= kFirstRelayType)
      return false;
    return SendDatagram(peer_, channel, data, size);
  }

  // The host's feed, to the relay, which passes it to every watcher of the room.
  bool SendToWatchers(const uint8_t* data, size_t size) override {
    // Still after the joiner left: the relay keeps a watched room for the feed's end.
    if (!hosting_ || !connected_ || code_.empty() || watchers_ == 0 || size == 0 || size > kMaxMessageBytes ||
        data == nullptr || data[0] < kFirstWatchType || data[0] > kLastWatchType)
      return false;
    return SendDatagram(peer_, Channel::Control, data, size);
  }
  int Watchers() const override { return ended_ ? 0 : watchers_; }
  uint32_t WatchersJoined() const override { return watchersJoined_; }

  void Poll(Event* event) override {
    event->kind = Event::None;
    event->size = 0;
    if (!host_) return;
    ENetEvent e;
    while (enet_host_service(host_, &e, 0) > 0)
      if (Take(e, event)) break;
    bytes_.Take(host_);
  }

  // The other player's round trip is unknown here: twice this side's to the relay stands for it.
  uint32_t RoundTripMs() const override { return Paired() ? 2 * peer_->roundTripTime : 0; }
  uint64_t BytesSent() const override { return bytes_.Sent(host_); }
  uint64_t BytesReceived() const override { return bytes_.Received(host_); }

  void Close() override {
    if (!host_) return;
    if (connected_) {
      // The relay passes the feed on: a host whose room is watched lets it all go first.
      DisconnectWithLinger(host_, peer_, hosting_ && watchers_ > 0 ? kFeedLingerMs : kCloseLingerMs);
    } else {
      enet_peer_reset(peer_);
    }
    bytes_.Take(host_);
    enet_host_destroy(host_);
    host_ = nullptr;
    peer_ = nullptr;
    connected_ = false;
    if (!ended_) End("closed");
  }

 private:
  void End(const char* why) {
    ended_ = true;
    if (endReason_.empty()) endReason_ = why;
  }

  void Ask() {
    RelayMessage m;
    m.type = hosting_ ? RelayType::Open : role_ == 1 ? RelayType::Join : RelayType::Watch;
    m.gameProtocol = kProtocolVersion;
    std::memcpy(m.code, code_.c_str(), hosting_ ? 0 : kRoomCodeLetters);
    uint8_t buf[kMaxRelayMessageBytes];
    size_t n = EncodeRelay(m, buf);
    ENetPacket* packet = enet_packet_create(buf, n, ENET_PACKET_FLAG_RELIABLE);
    if (packet && enet_peer_send(peer_, 0, packet) < 0) enet_packet_destroy(packet);
  }

  // Handles one ENet event; true when it becomes the caller's event.
  bool Take(const ENetEvent& e, Event* event) {
    switch (e.type) {
      case ENET_EVENT_TYPE_CONNECT:
        connected_ = reached_ = true;
        Ask();
        return false;
      case ENET_EVENT_TYPE_RECEIVE: {
        bool ours = TakeDatagram(e.channelID, e.packet->data, e.packet->dataLength, event);
        enet_packet_destroy(e.packet);
        return ours;
      }
      case ENET_EVENT_TYPE_DISCONNECT: {
        connected_ = false;
        if (ended_) return false;  // already told, with the relay's reason
        End(reached_ ? "connection to the relay lost" : "cannot reach the relay");
        event->kind = Event::Disconnected;
        return true;
      }
      default:
        return false;
    }
  }

  bool TakeDatagram(uint8_t channel, const uint8_t* data, size_t size, Event* event) {
    if (ended_ || size == 0 || channel >= kChannels) return false;
    if (data[0] < kFirstRelayType) {
      if (!paired_ || size > sizeof event->data) return false;
      event->kind = Event::Received;
      event->channel = static_cast<Channel>(channel);
      event->size = size;
      std::memcpy(event->data, data, size);
      return true;
    }
    RelayMessage m;
    if (!DecodeRelay(data, size, &m, nullptr)) return false;
    switch (m.type) {
      case RelayType::Code:
        if (hosting_ && code_.empty()) code_ = m.code;
        return false;
      case RelayType::Paired:
        if (paired_ || m.role != role_) return false;
        paired_ = true;
        event->kind = Event::Connected;
        return true;
      case RelayType::Watchers:
        if (role_ == 2) return false;
        watchers_ = m.watchers;
        watchersJoined_ = m.watchersJoined;
        return false;
      case RelayType::Ended:
        End(RelayEndText(m.ended));
        event->kind = Event::Disconnected;
        return true;
      case RelayType::Refused:
        End(RelayRefusalText(m.refused));
        event->kind = Event::Disconnected;
        return true;
      default:
        return false;
    }
  }


  ENetHost* host_;
  ENetPeer* peer_;
  int role_;
  bool hosting_;
  int watchers_ = 0;
  uint32_t watchersJoined_ = 0;
  std::string code_, endReason_;
  bool connected_ = false, paired_ = false, ended_ = false;
  bool reached_ = false;  // the relay answered once: a loss after it is no failure to reach it
  EnetBytes bytes_;
};

std::unique_ptr<RelayTransport> Connect(const std::string& relay, uint16_t port, int role, const char* code,
                                        std::string* error) {
  ENetHost* local = nullptr;
  ENetPeer* peer = ConnectOut(relay, port, "the relay", &local, error);
  if (!peer) return nullptr;
  return std::make_unique<EnetRelayTransport>(local, peer, role, code ? code : "");
}

std::unique_ptr<RelayTransport> ToRoom(const std::string& relay, uint16_t port, int role, const std::string& code,
                                       std::string* error) {
  char canonical[kRoomCodeLetters + 1];
  if (!ParseRoomCode(code, canonical)) {
    if (error) *error = "not a room code: six letters, without B, I, L, O, Q, S, U, V, Z";
    return nullptr;
  }
  return Connect(relay, port, role, canonical, error);
}

}  // namespace

std::unique_ptr<RelayTransport> HostOnRelay(const std::string& relay, uint16_t port, std::string* error) {
  return Connect(relay, port, 0, nullptr, error);
}

std::unique_ptr<RelayTransport> JoinOnRelay(const std::string& relay, uint16_t port, const std::string& code,
                                            std::string* error) {
  return ToRoom(relay, port, 1, code, error);
}

std::unique_ptr<RelayTransport> WatchRoomOnRelay(const std::string& relay, uint16_t port, const std::string& code,
                                                 std::string* error) {
  return ToRoom(relay, port, 2, code, error);
}

}  // namespace net
