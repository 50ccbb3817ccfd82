#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A connection to the other copy of the game: datagrams on two channels, one reliable and in
// order (control messages), one unreliable and sequenced (inputs: a late one is dropped, never
// delivered after a newer one). The real one runs on ENet over UDP; a fake one joins two
// sessions in one process with virtual time and seeded delay, jitter, loss, duplication and
// reordering, for tests and tools. Nothing here allocates per datagram once connected.
namespace net {

enum class Channel : uint8_t { Control = 0, Inputs = 1 };

struct Event {
  enum Kind : uint8_t { None, Connected, Received, Disconnected } kind = None;
  Channel channel = Channel::Control;
  size_t size = 0;
  uint8_t data[256] = {};  // the datagram (Received); longer ones are dropped by the transport
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Queues a datagram; false when there is no connection or it is too long.
  virtual bool Send(Channel channel, const uint8_t* data, size_t size) = 0;
  // Services the connection and gives the next event (kind None when there is none).
  virtual void Poll(Event* event) = 0;
  // The smoothed round trip in ms (0 before it is known).
  virtual uint32_t RoundTripMs() const = 0;
  // Bytes sent and received so far (datagram payloads and the transport's own overhead).
  virtual uint64_t BytesSent() const = 0;
  virtual uint64_t BytesReceived() const = 0;
  // Says goodbye (best effort) and closes.
  virtual void Close() = 0;
  // Why no connection can ever come through this transport again, "" while one may (a host on
  // ENet takes another joiner after one left). A match's host waiting for a joiner ends on it.
  virtual std::string ClosedReason() const { return {}; }

  // ---- A host's watchers (see net/watch.h). A host's transport (ENet, relayed, fake) takes up
  // to kMaxWatchers beside its player: each says so in its first datagram (a Watch message), so
  // a watcher is never taken for the player, and everything a watcher sends after it is dropped
  // and counted. A joiner's transport has none.
  // Queues a datagram of the watch feed (reliable, in order) for every watcher; false for none.
  virtual bool SendToWatchers(const uint8_t* data, size_t size) {
    (void)data, (void)size;
    return false;
  }
  // Watchers there now, and how many joined so far (it moves at each join: the host then sends
  // the catch-up).
  virtual int Watchers() const { return 0; }
  virtual uint32_t WatchersJoined() const { return 0; }
  // Datagrams watchers sent besides their handshake, dropped.
  virtual uint64_t WatcherDatagramsDropped() const { return 0; }
};

// ENet on UDP. Host listens on `port` (0: any free one, told by BoundPort) on every address and
// takes one peer; a datagram from any other address is dropped. Join connects to host:port.
// Null with a message on failure (port taken, unknown host, ...).
std::unique_ptr<Transport> HostOn(uint16_t port, std::string* error);
std::unique_ptr<Transport> JoinTo(const std::string& host, uint16_t port, std::string* error);
uint16_t BoundPort(const Transport& hosted);

// Two ends joined in one process. Time is virtual: it moves only by Advance. Each datagram is
// delayed by half the round trip plus jitter, and lost, duplicated or reordered by chance, from
// the seed. The reliable channel is never lost (the real one resends), only delayed.
struct LinkConditions {
  uint32_t roundTripMs = 0;
  uint32_t jitterMs = 0;  // each way, uniform in +-jitter
  double loss = 0.0, duplicate = 0.0, reorder = 0.0;  // chances per datagram on the input channel
  uint64_t seed = 1;
};
// What the fake link did to the datagrams so far, for tests and tools.
struct FakeLinkCounts {
  uint64_t lost = 0, duplicated = 0, reordered = 0;  // chosen by chance on the input channel
  uint64_t late = 0;        // dropped at the receiver: older than the newest input delivered
  uint64_t overflowed = 0;  // refused because the link already held its most in flight
};
class FakeLink {
 public:
  explicit FakeLink(const LinkConditions& c);
  ~FakeLink();
  Transport& End(int side);  // 0 the host, 1 the joiner; both connected from the start
  // A watcher's end, joined to the host's (up to 16 in all: a 9th and later are refused by the
  // host's end as a real host refuses them). It says who it is by its first datagram.
  Transport& AddWatcher();
  void Advance(uint32_t ms);
  uint32_t Now() const;
  // Cuts the link: both ends see Disconnected at their next poll.
  void Cut();
  FakeLinkCounts Counts() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace net
