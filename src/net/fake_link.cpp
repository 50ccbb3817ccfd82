// Two transports joined in one process, with virtual time. Datagrams in flight live in a pool
// sized at construction; sending, delivering and dropping only move slots between lists.
#include <cstdio>
#include <cstring>
#include <vector>

#include "net/protocol.h"
#include "net/transport.h"

namespace net {
namespace {

constexpr size_t kInFlight = 4096;       // datagrams on the way in both directions at most
constexpr uint32_t kOverheadBytes = 32;  // what the wire adds to each datagram, for the byte counts
constexpr int kEnds = 2 + 2 * kMaxWatchers;  // the host, the joiner and watchers (the last ones refused)

// SplitMix64: small, fast, and the same sequence everywhere for a seed.
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double p) { return p > 0 && Unit() < p; }
  // Uniform in [0, n).
  uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }

 private:
  uint64_t state_;
};

struct Datagram {
  uint64_t deliverAt = 0;
  uint64_t order = 0;     // sending order, breaks ties between equal times
  uint32_t sequence = 0;  // per direction on the input channel
  uint8_t to = 0, from = 0;
  bool goodbye = false;   // the other end closed: the receiver sees Disconnected
  Channel channel = Channel::Control;
  uint16_t size = 0;
  uint8_t data[sizeof(Event::data)] = {};
};

class FakeEnd;

struct LinkState {
  explicit LinkState(const LinkConditions& c);
  bool Queue(int from, int to, Channel channel, const uint8_t* data, size_t size, bool goodbye);
  void Put(int from, int to, Channel channel, const uint8_t* data, size_t size, bool goodbye, uint64_t at);
  bool Next(int side, Event* event);
  // The host's end takes a watcher's datagram: its handshake, or one dropped.
  void FromWatcher(const Datagram& d);
  void Release(size_t activeIndex);

  LinkConditions conditions;
  Generator generator;
  uint64_t now = 0;
  uint64_t order = 0;
  std::vector<Datagram> pool;
  std::vector<uint16_t> freeSlots;
  std::vector<uint16_t> active;
  struct Side {
    bool greeted = false;   // Connected has been given
    bool open = true;       // can send and receive
    bool toldGone = false;  // Disconnected has been given
    uint64_t lastControlAt = 0;  // control datagrams arrive in order: never before the last one
    uint32_t nextSequence = 0;   // of this side's next input datagram
    bool anyInput = false;       // an input datagram has been delivered to this side
    uint32_t newestInput = 0;    // its sequence
    uint64_t sent = 0, received = 0;
    enum : uint8_t { New, Watching, Refused } watch = New;  // a watcher's end, as the host sees it
  } side[kEnds];
  FakeLinkCounts counts;
  std::unique_ptr<FakeEnd> ends[kEnds];
  int endsMade = 2;
  int watchers = 0;
  uint32_t watchersJoined = 0;
  uint64_t watcherDropped = 0;
};

class FakeEnd final : public Transport {
 public:
  FakeEnd(LinkState* s, int side) : s_(s), side_(side) {}
  bool Send(Channel channel, const uint8_t* data, size_t size) override {
    if (!s_->side[side_].open || size > sizeof(Event::data) || (data == nullptr && size > 0)) return false;
    if (channel != Channel::Control && channel != Channel::Inputs) return false;
    return s_->Queue(side_, Other(), channel, data, size, false);
  }
  bool SendToWatchers(const uint8_t* data, size_t size) override {
    if (side_ != 0 || !s_->side[0].open || size > sizeof(Event::data)) return false;
    bool any = false;
    for (int w = 2; w < s_->endsMade; ++w) {
      LinkState::Side& them = s_->side[w];
      if (them.watch != LinkState::Side::Watching || !them.open) continue;
      any = s_->Queue(0, w, Channel::Control, data, size, false) || any;
    }
    return any;
  }
  int Watchers() const override { return side_ == 0 ? s_->watchers : 0; }
  uint32_t WatchersJoined() const override { return side_ == 0 ? s_->watchersJoined : 0; }
  uint64_t WatcherDatagramsDropped() const override { return side_ == 0 ? s_->watcherDropped : 0; }
  void Poll(Event* event) override {
    event->kind = Event::None;
    event->size = 0;
    LinkState::Side& me = s_->side[side_];
    if (!me.greeted) {
      me.greeted = true;
      event->kind = Event::Connected;
      return;
    }
    if (!me.open) {
      if (!me.toldGone) {
        me.toldGone = true;
        event->kind = Event::Disconnected;
      }
      return;
    }
    s_->Next(side_, event);
  }
  uint32_t RoundTripMs() const override { return s_->conditions.roundTripMs; }
  uint64_t BytesSent() const override { return s_->side[side_].sent; }
  uint64_t BytesReceived() const override { return s_->side[side_].received; }
  void Close() override {
    LinkState::Side& me = s_->side[side_];
    if (!me.open) return;
    s_->Queue(side_, Other(), Channel::Control, nullptr, 0, true);
    if (side_ == 0)  // the host's watchers are told too
      for (int w = 2; w < s_->endsMade; ++w)
        if (s_->side[w].watch == LinkState::Side::Watching) s_->Queue(0, w, Channel::Control, nullptr, 0, true);
    me.open = false;
    me.toldGone = true;  // the end that closes is told nothing more
  }

 private:
  int Other() const { return side_ == 1 ? 0 : side_ == 0 ? 1 : 0; }
  LinkState* s_;
  int side_;
};

LinkState::LinkState(const LinkConditions& c) : conditions(c), generator(c.seed), pool(kInFlight) {
  freeSlots.reserve(kInFlight);
  active.reserve(kInFlight);
  for (size_t i = kInFlight; i-- > 0;) freeSlots.push_back(static_cast<uint16_t>(i));
  for (int i = 0; i < 2; ++i) ends[i] = std::make_unique<FakeEnd>(this, i);
}

bool LinkState::Queue(int from, int to, Channel channel, const uint8_t* data, size_t size, bool goodbye) {
  if (freeSlots.empty()) {
    ++counts.overflowed;
    return false;
  }
  side[from].sent += size + kOverheadBytes;
  uint32_t half = conditions.roundTripMs / 2, jitter = conditions.jitterMs;
  auto delay = [&] {
    int64_t d = int64_t{half} + (jitter ? int64_t{generator.Below(2 * jitter + 1)} - jitter : 0);
    return static_cast<uint64_t>(d < 0 ? 0 : d);
  };
  if (channel == Channel::Control) {
    uint64_t at = now + delay();
    Side& link = side[from];
    if (at < link.lastControlAt) at = link.lastControlAt;
    link.lastControlAt = at;
    Put(from, to, channel, data, size, goodbye, at);
    return true;
  }
  // The input channel: each datagram may be lost, sent twice, or held back so later ones pass it.
  bool lost = generator.Chance(conditions.loss);
  bool twice = generator.Chance(conditions.duplicate);
  bool late = generator.Chance(conditions.reorder);
  uint64_t at = now + delay();
  if (late) at += 1 + half / 2 + jitter * 2 + generator.Below(half + 16);
  if (lost) {
    ++counts.lost;
    ++side[from].nextSequence;
    return true;
  }
  if (late) ++counts.reordered;
  Put(from, to, channel, data, size, false, at);
  if (twice) {
    if (freeSlots.empty()) {
      ++counts.overflowed;
    } else {
      ++counts.duplicated;
      side[from].sent += size + kOverheadBytes;
      --side[from].nextSequence;  // the copy carries the same sequence
      Put(from, to, channel, data, size, false, now + delay());
    }
  }
  return true;
}

void LinkState::Put(int from, int to, Channel channel, const uint8_t* data, size_t size, bool goodbye, uint64_t at) {
  uint16_t slot = freeSlots.back();
  freeSlots.pop_back();
  Datagram& d = pool[slot];
  d.deliverAt = at;
  d.order = order++;
  d.to = static_cast<uint8_t>(to);
  d.from = static_cast<uint8_t>(from);
  d.goodbye = goodbye;
  d.channel = channel;
  d.size = static_cast<uint16_t>(size);
  if (size) std::memcpy(d.data, data, size);
  d.sequence = channel == Channel::Inputs ? side[from].nextSequence++ : 0;
  active.push_back(slot);
}

void LinkState::Release(size_t activeIndex) {
  freeSlots.push_back(active[activeIndex]);
  active[activeIndex] = active.back();
  active.pop_back();
}

bool LinkState::Next(int to, Event* event) {
  Side& me = side[to];
  for (;;) {
    size_t best = active.size();
    for (size_t i = 0; i < active.size(); ++i) {
      const Datagram& d = pool[active[i]];
      if (d.to != to || d.deliverAt > now) continue;
      if (best == active.size()) {
        best = i;
        continue;
      }
      const Datagram& b = pool[active[best]];
      if (d.deliverAt < b.deliverAt || (d.deliverAt == b.deliverAt && d.order < b.order)) best = i;
    }
    if (best == active.size()) return false;
    const Datagram& d = pool[active[best]];
    if (to == 0 && d.from >= 2) {  // a watcher's: taken by the host's end itself
      Datagram copy = d;
      Release(best);
      FromWatcher(copy);
      continue;
    }
    if (d.goodbye) {
      Release(best);
      me.open = false;
      me.toldGone = true;
      event->kind = Event::Disconnected;
      return true;
    }
    if (d.channel == Channel::Inputs) {
      // Sequenced: one older than the newest already delivered is dropped, as the real one does.
      if (me.anyInput && static_cast<int32_t>(d.sequence - me.newestInput) < 0) {
        ++counts.late;
        Release(best);
        continue;
      }
      me.anyInput = true;
      me.newestInput = d.sequence;
    }
    me.received += d.size + kOverheadBytes;
    event->kind = Event::Received;
    event->channel = d.channel;
    event->size = d.size;
    std::memcpy(event->data, d.data, d.size);
    Release(best);
    return true;
  }
}

void LinkState::FromWatcher(const Datagram& d) {
  Side& w = side[d.from];
  if (d.goodbye) {
    if (w.watch == Side::Watching) --watchers;
    w.watch = Side::Refused;
    return;
  }
  if (w.watch == Side::Watching || w.watch == Side::Refused) {
    ++watcherDropped;  // a watcher sends nothing after its handshake
    return;
  }
  if (d.size == 0 || d.data[0] != static_cast<uint8_t>(MessageType::Watch) || watchers >= kMaxWatchers) {
    w.watch = Side::Refused;
    Message refuse;
    refuse.type = MessageType::Refuse;
    snprintf(refuse.refuse.reason, sizeof refuse.refuse.reason, "%s",
             watchers >= kMaxWatchers ? kTooManyWatchers : "a watcher says so first");
    uint8_t buf[kMaxMessageBytes];
    size_t n = Encode(refuse, buf);
    Queue(0, d.from, Channel::Control, buf, n, false);
    Queue(0, d.from, Channel::Control, nullptr, 0, true);
    return;
  }
  w.watch = Side::Watching;
  ++watchers;
  ++watchersJoined;
}

}  // namespace

struct FakeLink::State : LinkState {
  using LinkState::LinkState;
};

FakeLink::FakeLink(const LinkConditions& c) : state_(std::make_unique<State>(c)) {}
FakeLink::~FakeLink() = default;

Transport& FakeLink::End(int side) { return *state_->ends[side == 0 ? 0 : 1]; }

Transport& FakeLink::AddWatcher() {
  LinkState& s = *state_;
  int w = s.endsMade < kEnds ? s.endsMade++ : kEnds - 1;
  if (!s.ends[w]) s.ends[w] = std::make_unique<FakeEnd>(&s, w);
  return *s.ends[w];
}

void FakeLink::Advance(uint32_t ms) { state_->now += ms; }

uint32_t FakeLink::Now() const { return static_cast<uint32_t>(state_->now); }

void FakeLink::Cut() {
  for (auto& s : state_->side) s.open = false;
  while (!state_->active.empty()) state_->Release(state_->active.size() - 1);
}

FakeLinkCounts FakeLink::Counts() const { return state_->counts; }

}  // namespace net
