// The host's feed to its watchers: the game's start, its confirmed inputs as runs, its digests,
// its end, the match's end, and a catch-up for each watcher who comes.
#include "net/watch_feed.h"

#include <cstdio>
#include <cstring>

namespace net {

namespace {
// Reason texts go out as printable ASCII: a run of other bytes (a dash of UTF-8) becomes one '-'.
void PrintableInto(const std::string& text, char* out, size_t room) {
  size_t n = 0;
  bool dash = false;
  for (char ch : text) {
    if (n + 1 >= room) break;
    bool printable = ch >= 0x20 && ch <= 0x7E;
    if (printable) {
      out[n++] = ch;
      dash = false;
    } else if (!dash) {
      out[n++] = '-';
      dash = true;
    }
  }
  out[n] = '\0';
}
}  // namespace

WatchFeed::WatchFeed(Transport& t, const std::string* version, const uint64_t* ruleHash)
    : t_(t), version_(version), ruleHash_(ruleHash), joined_(t.WatchersJoined()) {
  // An hour of steps and digests: a game's steps allocate nothing up to it.
  inputs_.reserve(60 * 60 * 60);
  digests_.reserve(60 * 60 * 60 / Session::kChecksumEvery);
}

void WatchFeed::Send(const Message& m) {
  uint8_t buf[kMaxMessageBytes];
  size_t n = Encode(m, buf);
  if (n > 0) t_.SendToWatchers(buf, n);
}

void WatchFeed::Identity(WatchGame* g) const {
  g->protocol = kProtocolVersion;
  snprintf(g->gameVersion, sizeof g->gameVersion, "%s", version_->c_str());
  g->ruleHash = *ruleHash_;
}

void WatchFeed::GameStarts(const Start& s) {
  if (closed_) return;
  start_ = s;
  inputs_.clear();
  digests_.clear();
  sent_ = checked_ = 0;
  overStep_ = kNoStep;
  broken_ = false;
  Message m;
  m.type = MessageType::WatchGame;
  Identity(&m.watchGame);
  m.watchGame.start = s;
  Send(m);
}

// The steps confirmed since the last call, up to the game's end, and the digests compared of them.
void WatchFeed::Collect(const Session& session) {
  uint32_t end = session.ConfirmedSteps();
  uint32_t over = session.GameOverStep();
  if (over != kNoStep && over < end) end = over;
  while (inputs_.size() < end && !broken_) {
    uint8_t held[2];
    if (!session.ConfirmedInputs(static_cast<uint32_t>(inputs_.size()), held)) {
      // Only if the match was not called for many steps: the watchers cannot go on.
      fprintf(stderr, "quorbistane: the watchers' feed lost step %zu\n", inputs_.size());
      broken_ = true;
      break;
    }
    inputs_.push_back(static_cast<uint16_t>(held[0] | held[1] << 8));
  }
  for (uint32_t c = checked_ + 1; c <= inputs_.size(); ++c) {
    if (c % Session::kChecksumEvery != 0 && c != over) continue;
    uint64_t digest = 0;
    if (!session.ConfirmedDigest(c, &digest)) continue;
    digests_.emplace_back(c, digest);
    Message m;
    m.type = MessageType::Digest;
    m.digest = {start_.game, c, digest};
    Send(m);
  }
  checked_ = static_cast<uint32_t>(inputs_.size());
}

void WatchFeed::SendRuns(uint32_t from, uint32_t to) {
  Message m;
  m.type = MessageType::Runs;
  Runs& r = m.runs;
  r.game = start_.game;
  r.count = 0;
  r.firstStep = from;
  for (uint32_t s = from; s < to;) {
    uint16_t v = inputs_[s];
    uint32_t length = 1;
    while (s + length < to && inputs_[s + length] == v && length < 0xFFFF) ++length;
    Run& run = r.run[r.count++];
    run.held[0] = static_cast<uint8_t>(v & 0xFF);
    run.held[1] = static_cast<uint8_t>(v >> 8);
    run.length = static_cast<uint16_t>(length);
    s += length;
    if (r.count == kMaxRunsPerMessage || s == to) {
      Send(m);
      r.firstStep = s;
      r.count = 0;
    }
  }
}

void WatchFeed::Flush() {
  if (sent_ < inputs_.size()) SendRuns(sent_, static_cast<uint32_t>(inputs_.size()));
  sent_ = static_cast<uint32_t>(inputs_.size());
}

void WatchFeed::Update(const Session& session, const GameSnapshot* overState, uint32_t overStep) {
  if (closed_) return;
  if (start_.game != 0) Collect(session);
  Flush();  // at once: the players may leave right after their last step
  if (overState && overStep_ == kNoStep && start_.game != 0 && overStep == inputs_.size()) {
    Flush();
    overStep_ = overStep;
    Message m;
    m.type = MessageType::Over;
    m.over = {start_.game, overStep};
    Send(m);
  }
  uint32_t joined = t_.WatchersJoined();
  if (joined != joined_) {
    joined_ = joined;
    CatchUp(session, overState);
  }
}

// A watcher came: the game as far as the feed went, for the newcomer; the others know it all
// and let it pass. Sent in one go on the reliable channel, so no other message comes between.
void WatchFeed::CatchUp(const Session& session, const GameSnapshot* overState) {
  Message m;
  m.type = MessageType::WatchGame;
  WatchGame& g = m.watchGame;
  Identity(&g);
  if (start_.game == 0 || broken_) {
    Send(m);  // the identity alone: no game yet
    return;
  }
  Flush();
  uint32_t from = sent_;
  GameSnapshot snapshot;
  if (overStep_ != kNoStep && overState) {
    snapshot = *overState;
  } else if (!session.ConfirmedState(from, &snapshot)) {
    fprintf(stderr, "quorbistane: no catch-up for a watcher: the state at step %u is not kept\n", from);
    return;
  }
  g.start = start_;
  g.from = from;
  g.overStep = overStep_;
  g.snapshotBytes = sizeof snapshot;
  g.chunks = static_cast<uint16_t>((sizeof snapshot + kMaxChunkBytes - 1) / kMaxChunkBytes);
  g.digest = ::Checksum(snapshot);
  Send(m);
  Message c;
  c.type = MessageType::Chunk;
  c.chunk.game = start_.game;
  c.chunk.count = g.chunks;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&snapshot);
  for (uint32_t at = 0, i = 0; at < sizeof snapshot; at += kMaxChunkBytes, ++i) {
    size_t n = sizeof snapshot - at < kMaxChunkBytes ? sizeof snapshot - at : kMaxChunkBytes;
    c.chunk.index = static_cast<uint16_t>(i);
    c.chunk.size = static_cast<uint8_t>(n);
    std::memcpy(c.chunk.data, bytes + at, n);
    Send(c);
  }
  SendRuns(0, from);
  for (const auto& [step, digest] : digests_) {
    Message d;
    d.type = MessageType::Digest;
    d.digest = {start_.game, step, digest};
    Send(d);
  }
}

void WatchFeed::Close(const Session* session, const std::string& reason) {
  if (closed_) return;
  if (session && start_.game != 0) Collect(*session);
  Flush();
  Message m;
  m.type = MessageType::Close;
  PrintableInto(reason, m.close.reason, sizeof m.close.reason);
  Send(m);
  closed_ = true;
}

}  // namespace net
