#pragma once
// Two sessions' messages in one process on virtual time: each message is delayed by half the
// round trip plus jitter; on the input channel some are lost and a late one is dropped once a
// newer one came (sequenced); the control channel keeps its order and loses nothing. A cut link
// delivers nothing more. Room is kept from the start: carrying a message allocates nothing.
#include <cstdint>
#include <vector>

#include "net/session.h"

namespace net_test {

struct Conditions {
  uint32_t roundTripMs = 100, jitterMs = 20;
  uint32_t lossPercent = 5;
  uint64_t seed = 1;
};

class Link {
 public:
  explicit Link(const Conditions& c) : c_(c), random_(c.seed * 0x9E3779B97F4A7C15ull + 1) {
    for (End& e : ends_) {
      e.link = this;
      e.queue.reserve(kRoom);
    }
    ends_[1].side = 1;
  }
  net::MessageLink& EndOf(int side) { return ends_[side]; }
  void SetNow(uint32_t ms) { now_ = ms; }
  void Cut() { cut_ = true; }
  uint32_t Sent() const { return sent_; }

 private:
  static constexpr size_t kRoom = 1024;
  struct Pending {
    uint32_t at, seq;
    net::Channel channel;
    net::Message m;
  };
  struct End : net::MessageLink {
    Link* link = nullptr;
    int side = 0;
    std::vector<Pending> queue;  // messages on their way to this end
    uint32_t lastSeq = 0, lastControlAt = 0;
    void Send(net::Channel channel, const net::Message& m) override { link->Carry(1 - side, channel, m); }
    bool Receive(net::Message* m, bool*) override { return link->Deliver(side, m); }
  };

  uint32_t Next() {
    random_ ^= random_ << 13, random_ ^= random_ >> 7, random_ ^= random_ << 17;
    return static_cast<uint32_t>(random_ >> 11);
  }
  void Carry(int to, net::Channel channel, const net::Message& m) {
    ++sent_;
    End& e = ends_[to];
    if (cut_ || e.queue.size() >= kRoom) return;
    if (channel == net::Channel::Inputs && Next() % 100 < c_.lossPercent) return;
    int32_t jitter = c_.jitterMs ? static_cast<int32_t>(Next() % (2 * c_.jitterMs + 1)) - static_cast<int32_t>(c_.jitterMs) : 0;
    int32_t delay = static_cast<int32_t>(c_.roundTripMs / 2) + jitter;
    uint32_t at = now_ + static_cast<uint32_t>(delay < 0 ? 0 : delay);
    if (channel == net::Channel::Control) {
      if (at < e.lastControlAt) at = e.lastControlAt;
      e.lastControlAt = at;
    }
    e.queue.push_back({at, ++seq_, channel, m});
  }
  bool Deliver(int side, net::Message* m) {
    End& e = ends_[side];
    if (cut_) return false;
    for (;;) {
      size_t best = e.queue.size();
      for (size_t i = 0; i < e.queue.size(); ++i)
        if (e.queue[i].at <= now_ && (best == e.queue.size() || e.queue[i].at < e.queue[best].at)) best = i;
      if (best == e.queue.size()) return false;
      Pending p = e.queue[best];
      e.queue.erase(e.queue.begin() + static_cast<long>(best));
      if (p.channel == net::Channel::Inputs) {
        if (p.seq < e.lastSeq) continue;  // older than one delivered: dropped
        e.lastSeq = p.seq;
      }
      *m = p.m;
      return true;
    }
  }

  Conditions c_;
  uint64_t random_;
  End ends_[2];
  uint32_t now_ = 0, seq_ = 0, sent_ = 0;
  bool cut_ = false;
};

// A seeded pattern of held actions: each action is taken up and let go at random, never the
// pause.
class Keys {
 public:
  explicit Keys(uint32_t seed) : mix_(seed * 2654435761u + 7) {}
  uint8_t Next() {
    mix_ = mix_ * 1103515245u + 12345u;
    if (((mix_ >> 16) & 7) == 0) held_ = static_cast<uint8_t>((mix_ >> 20) & 0x3F);
    return held_;
  }

 private:
  uint32_t mix_;
  uint8_t held_ = 0;
};

}  // namespace net_test
