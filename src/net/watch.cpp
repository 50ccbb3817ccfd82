// A watcher: the host's feed taken in order, the game run from its confirmed inputs a second
// behind, each compared digest checked, and the game's replay written from its inputs.
#include "net/watch.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "game/game.h"
#include "game/model.h"
#include "game/output.h"
#include "game/playback.h"
#include "game/replay.h"
#include "net/match.h"
#include "net/relay_client.h"

namespace net {

namespace {
constexpr const char* kLost = "connection lost — no result";
// A game longer than this (19 hours) is not followed: it would only fill the memory.
constexpr size_t kMaxSteps = size_t{1} << 22;
constexpr uint32_t kReplayCheckEvery = 60;

uint32_t Since(uint32_t now, uint32_t then) {
  int32_t d = static_cast<int32_t>(now - then);
  return d > 0 ? static_cast<uint32_t>(d) : 0;
}

std::string Identity(const char* version, uint64_t rules) {
  char hash[24];
  snprintf(hash, sizeof hash, "%016" PRIx64, rules);
  return std::string("version ") + version + " (rules " + hash + ")";
}
}  // namespace

// A catch-up being received: its header, and the snapshot's bytes so far.
struct Watcher::Catch {
  WatchGame game;
  std::vector<uint8_t> bytes;
  uint16_t next = 0;
};

Watcher::Watcher() {
  inputs_.reserve(4 * 60 * 60);
  mine_.reserve(4 * 60 * 60);
}

Watcher::~Watcher() { Leave(); }

bool Watcher::WatchAt(const std::string& host, uint16_t port, std::string* error) {
  std::unique_ptr<Transport> t = JoinTo(host, port, error);
  if (!t) return false;
  owned_ = std::move(t);
  Use(*owned_);
  return true;
}

bool Watcher::WatchOnRelay(const std::string& relay, uint16_t port, const std::string& code, std::string* error) {
  std::unique_ptr<RelayTransport> t = WatchRoomOnRelay(relay, port, code, error);
  if (!t) return false;
  owned_ = std::move(t);
  Use(*owned_);
  return true;
}

void Watcher::Use(Transport& transport) {
  transport_ = &transport;
  phase_ = WatchPhase::Connecting;
  endReason_.clear();
  connected_ = sentWatch_ = synced_ = closed_ = saved_ = clockSet_ = false;
  closeReason_.clear();
  lostReason_.clear();
  start_ = Start{};
  base_ = current_ = 0;
  overStep_ = kNoStep;
  inputs_.clear();
  theirs_.clear();
  mine_.clear();
  outcome_ = WatchOutcome{};
  catch_.reset();
  dropped_ = 0;
}

void Watcher::End(const std::string& reason) {
  if (phase_ == WatchPhase::Ended) return;
  Save();  // as the players keep theirs: a game cut short keeps what was seen of it
  phase_ = WatchPhase::Ended;
  endReason_ = reason;
  catch_.reset();
}

void Watcher::Leave() {
  End("you left");
  if (transport_) transport_->Close();
  transport_ = nullptr;
  owned_.reset();
}

WatchPhase Watcher::Poll(uint32_t nowMs) {
  if (phase_ == WatchPhase::Ended || !transport_) return phase_;
  if (!clockSet_) {
    clockSet_ = true;
    lastHeardMs_ = nowMs;
  }
  bool lost = false;
  Event e;
  while (phase_ != WatchPhase::Ended && !lost) {
    transport_->Poll(&e);
    if (e.kind == Event::None) break;
    switch (e.kind) {
      case Event::Connected:
        connected_ = true;
        if (!sentWatch_) {
          // Who is watching, first: a host never takes a watcher for its player. Through a relay
          // the relay's own request said so, and this is not sent.
          Message m;
          m.type = MessageType::Watch;
          snprintf(m.watch.gameVersion, sizeof m.watch.gameVersion, "%s", GameVersion());
          m.watch.ruleHash = RuleTableHash();
          uint8_t buf[kMaxMessageBytes];
          size_t n = Encode(m, buf);
          transport_->Send(Channel::Control, buf, n);
          sentWatch_ = true;
        }
        break;
      case Event::Received: {
        lastHeardMs_ = nowMs;
        Message m;
        const char* why = nullptr;
        if (Decode(e.data, e.size, &m, &why)) {
          Take(m, nowMs);
        } else {
          ++dropped_;
          if (dropped_ >= nextTold_) {
            fprintf(stderr, "quorbistane: dropped a datagram that is no message of the feed (%s); %u so far\n", why,
                    dropped_);
            nextTold_ *= 10;
          }
        }
        break;
      }
      case Event::Disconnected: lost = true; break;
      default: break;
    }
  }
  if (phase_ == WatchPhase::Ended) return phase_;
  if (lost && !closed_) {
    std::string why = transport_->ClosedReason();
    std::string reason = phase_ == WatchPhase::Connecting && !why.empty() ? why
                         : why.empty()                                    ? kLost
                                                                          : "connection lost (" + why + ") — no result";
    if (phase_ != WatchPhase::Playing) {
      End(reason);
      return phase_;
    }
    // What was confirmed is shown to its last step, then the reason.
    closed_ = true;
    lostReason_ = reason;
  }
  if (phase_ == WatchPhase::Connecting && Since(nowMs, lastHeardMs_) >= kTimeoutMs) {
    End(connected_ ? "no answer from the host" : "cannot reach the host");
    return phase_;
  }
  // The host said the match is over: what was sent is played out first.
  if (closed_ && (phase_ != WatchPhase::Playing || current_ >= KnownSteps() || current_ >= stopAt_)) {
    bool over = phase_ == WatchPhase::GameOver || phase_ == WatchPhase::Waiting || phase_ == WatchPhase::Connecting;
    End(over                 ? "the game is over"
        : !lostReason_.empty() ? lostReason_
                               : "the game ended without a result (" + closeReason_ + ")");
  }
  return phase_;
}

void Watcher::Take(const Message& m, uint32_t) {
  switch (m.type) {
    case MessageType::Refuse: End(m.refuse.reason); break;
    case MessageType::WatchGame: TakeGame(m.watchGame); break;
    case MessageType::Chunk: TakeChunk(m.chunk); break;
    case MessageType::Runs: TakeRuns(m.runs); break;
    case MessageType::Digest: TakeDigest(m.digest); break;
    case MessageType::Over: TakeOver(m.over); break;
    case MessageType::Close:
      closed_ = true;
      closeReason_ = m.close.reason;
      break;
    default: ++dropped_; break;  // the players' own messages are never for a watcher
  }
}

void Watcher::TakeGame(const WatchGame& g) {
  if (g.protocol != kProtocolVersion || std::strcmp(g.gameVersion, GameVersion()) != 0 || g.ruleHash != RuleTableHash()) {
    End("the game is " + Identity(g.gameVersion, g.ruleHash) + ", this copy " +
        Identity(GameVersion(), RuleTableHash()) + ": it cannot be watched");
    return;
  }
  const uint32_t game = g.start.game;
  if (game == 0) {
    if (phase_ == WatchPhase::Connecting) phase_ = WatchPhase::Waiting;
    return;
  }
  // Another watcher's catch-up of this game, or an old one: this watcher has it all.
  if ((synced_ || catch_) && game <= start_.game) return;
  if (g.chunks > 0 && g.snapshotBytes != sizeof(GameSnapshot)) {
    End("the host's game state is of another build (" + std::to_string(g.snapshotBytes) + " bytes, here " +
        std::to_string(sizeof(GameSnapshot)) + ")");
    return;
  }
  if (synced_) Save();  // the game before, if its end was not seen
  start_ = g.start;
  base_ = current_ = g.from;
  overStep_ = g.overStep;
  inputs_.clear();
  theirs_.clear();
  mine_.clear();
  outcome_ = WatchOutcome{};
  saved_ = false;
  catch_.reset();
  synced_ = false;
  if (g.chunks == 0) {
    SetUpOnlineGame(start_);
    if (ownState_) Snapshot(kept_);
    synced_ = true;
    phase_ = WatchPhase::Playing;
    return;
  }
  catch_ = std::make_unique<Catch>();
  catch_->game = g;
  catch_->bytes.reserve(g.snapshotBytes);
}

void Watcher::TakeChunk(const Chunk& c) {
  if (!catch_) return;  // another watcher's catch-up
  Catch& k = *catch_;
  if (c.game != k.game.start.game || c.count != k.game.chunks || c.index != k.next) {
    End("the catch-up came out of order (chunk " + std::to_string(c.index) + " of game " + std::to_string(c.game) +
        " where chunk " + std::to_string(k.next) + " of game " + std::to_string(k.game.start.game) + " was due)");
    return;
  }
  if (k.bytes.size() + c.size > k.game.snapshotBytes) {
    End("the catch-up's snapshot is longer than it said");
    return;
  }
  k.bytes.insert(k.bytes.end(), c.data, c.data + c.size);
  if (++k.next < k.game.chunks) return;
  if (k.bytes.size() != sizeof(GameSnapshot)) {
    End("the catch-up's snapshot is shorter than it said");
    return;
  }
  GameSnapshot s;
  std::memcpy(static_cast<void*>(&s), k.bytes.data(), sizeof s);
  if (::Checksum(s) != k.game.digest) {
    End("the catch-up's snapshot does not match its digest");
    return;
  }
  if (ownState_)
    kept_ = s;
  else
    Restore(s);
  catch_.reset();
  synced_ = true;
  phase_ = WatchPhase::Playing;
  if (overStep_ != kNoStep) {
    // Come between games: the outcome stands already.
    const GameState& g = s.game;
    outcome_.score[0] = g.player[0].score;
    outcome_.score[1] = g.player[1].score;
    outcome_.winner = g.player[0].gameOver != g.player[1].gameOver ? (g.player[0].gameOver ? 2 : 1) : 0;
  }
}

void Watcher::TakeRuns(const Runs& r) {
  // Before its catch-up a watcher lets the feed pass; after it, a feed of another game is dropped.
  if (!synced_ || r.game != start_.game) {
    if (synced_) ++dropped_;
    return;
  }
  uint32_t step = r.firstStep;
  for (int i = 0; i < r.count; ++i) {
    const Run& run = r.run[i];
    uint16_t v = static_cast<uint16_t>(run.held[0] | run.held[1] << 8);
    uint32_t end = step + run.length;
    if (step > inputs_.size()) {
      End("the feed skipped from step " + std::to_string(inputs_.size()) + " to step " + std::to_string(step));
      return;
    }
    if (end > kMaxSteps) {
      End("the game is too long to watch");
      return;
    }
    for (; step < end; ++step)
      if (step == inputs_.size()) inputs_.push_back(v);  // an earlier step again: known already
  }
  // The game is over with its last step: the catch-up of a game that ended shows it at once.
  if (phase_ == WatchPhase::Playing && overStep_ != kNoStep && current_ == overStep_ && base_ == overStep_ &&
      inputs_.size() >= overStep_)
    Finish();
}

void Watcher::TakeDigest(const Checksum& d) {
  if (!synced_ || d.game != start_.game) {
    if (synced_) ++dropped_;
    return;
  }
  auto at = std::lower_bound(theirs_.begin(), theirs_.end(), std::make_pair(d.step, uint64_t{0}));
  if (at != theirs_.end() && at->first == d.step) return;  // sent again for another watcher
  theirs_.insert(at, {d.step, d.digest});
  if (d.step > base_ && d.step <= current_) Check(d.step, d.digest);
}

void Watcher::TakeOver(const Over& o) {
  if (!synced_ || o.game != start_.game || overStep_ != kNoStep) {
    if (synced_ && o.game != start_.game) ++dropped_;
    return;
  }
  overStep_ = o.step;
  // A catch-up taken at what turned out to be the game's last step: no step is left to run, so
  // the end stands at once.
  if (phase_ == WatchPhase::Playing && current_ == overStep_ && base_ == overStep_ && inputs_.size() >= overStep_)
    Finish();
}

void Watcher::Check(uint32_t steps, uint64_t digest) {
  if (steps <= base_ || steps - base_ > mine_.size()) return;
  if (mine_[steps - base_ - 1] != digest) End("out of sync at step " + std::to_string(steps));
}

StepInput Watcher::Source(uint32_t, void* context) {
  const Watcher& w = *static_cast<const Watcher*>(context);
  uint16_t v = w.inputs_[w.current_];
  StepInput in;
  in.held[0] = static_cast<uint8_t>(v & 0xFF);
  in.held[1] = static_cast<uint8_t>(v >> 8);
  return in;
}

void Watcher::RunStep() {
  GameStep();
  ++current_;
  mine_.push_back(ReplayDigest());
  auto at = std::lower_bound(theirs_.begin(), theirs_.end(), std::make_pair(current_, uint64_t{0}));
  if (at != theirs_.end() && at->first == current_) Check(current_, at->second);
}

int Watcher::Advance(uint32_t) {
  if (phase_ != WatchPhase::Playing || !synced_) return 0;
  uint32_t known = KnownSteps();
  uint32_t end = known;
  if (overStep_ != kNoStep && overStep_ < end) end = overStep_;
  if (stopAt_ < end) end = stopAt_;
  // A second behind the newest step, but the game's last steps (its end, the match's, the
  // caller's) are played out.
  bool last = closed_ || (overStep_ != kNoStep && known >= overStep_) || known >= stopAt_;
  uint32_t target = last ? end : std::min(end, known > kLagSteps ? known - kLagSteps : 0);
  if (target <= current_) return 0;
  int n = target - current_ > kCatchUpSlack ? 2 : 1;
  if (ownState_) Restore(kept_);
  gameout::Output saved = gameout::output;
  UseInputSource(&Watcher::Source, this);
  SetRecordMode(RecordMode::Off);  // the watcher writes its replay itself, from the inputs
  int ran = 0;
  for (; ran < n && phase_ == WatchPhase::Playing; ++ran) {
    // Catching up, a frame's second step plays no sound: a game heard twice as fast helps nobody.
    if (ran == 1) gameout::output.sound = false;
    RunStep();
  }
  gameout::output = saved;
  if (phase_ == WatchPhase::Playing && overStep_ != kNoStep && current_ == overStep_) Finish();
  if (ownState_) Snapshot(kept_);
  UseInputSource(nullptr, nullptr);
  SetRecordMode(RecordMode::Played);
  return ran;
}

// The game's last step was run: its outcome stands, and its replay is kept.
void Watcher::Finish() {
  const PlayerState* p = game.player;
  if (ownState_ && current_ == base_) {
    const PlayerState* k = kept_.game.player;
    p = k;
  }
  outcome_.score[0] = p[0].score;
  outcome_.score[1] = p[1].score;
  outcome_.winner = p[0].gameOver != p[1].gameOver ? (p[0].gameOver ? 2 : 1) : 0;
  phase_ = WatchPhase::GameOver;
  Save();
}

namespace {
ReplayHeader HeaderOf(const Start& s) {
  ReplayHeader h;
  h.format = kReplayFormat;
  h.gameVersion = GameVersion();
  h.ruleHash = RuleTableHash();
  h.seed = s.seed;
  h.clockMs = kReplayCadenceClock;
  h.clockStart = 0;
  h.mode = kModeVersus;
  h.difficulty[0] = s.difficulty[0];
  h.difficulty[1] = s.difficulty[1];
  h.computer[0] = h.computer[1] = -1;
  time_t t = time(nullptr);
  struct tm tm {};
  localtime_r(&t, &tm);
  char date[32];
  strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &tm);
  h.date = date;
  return h;
}
}  // namespace

// The replay the game's recorder writes for the same steps: the inputs' changes as events, the
// digest every 60 steps (the game's own where this watcher ran the step, the players' before it
// came), and the end line at the step reached (a game over ends its recording before that
// step's check).
std::string Watcher::ReplayText() const {
  if (start_.game == 0 || !synced_) return {};
  ReplayWriter w;
  w.Begin(HeaderOf(start_));
  const uint32_t steps = std::min<uint32_t>(current_, KnownSteps());
  const bool over = overStep_ != kNoStep && steps == overStep_;
  uint16_t last = 0;
  for (uint32_t s = 0; s < steps; ++s) {
    uint16_t v = inputs_[s];
    if (v != last) {
      for (int pl = 0; pl < 2; ++pl)
        for (int a = 0; a < kReplayActions; ++a) {
          bool was = (last >> (8 * pl + a)) & 1, now = (v >> (8 * pl + a)) & 1;
          if (was != now) w.Event({s, static_cast<uint8_t>(pl), static_cast<uint8_t>(a), now});
        }
      last = v;
    }
    uint32_t c = s + 1;
    if (c % kReplayCheckEvery != 0 || (over && c == steps)) continue;
    if (c > base_ && c - base_ <= mine_.size()) {
      w.Check(c, mine_[c - base_ - 1]);
    } else {
      auto at = std::lower_bound(theirs_.begin(), theirs_.end(), std::make_pair(c, uint64_t{0}));
      if (at != theirs_.end() && at->first == c) w.Check(c, at->second);
    }
  }
  const GameState& g = ownState_ ? kept_.game : game;
  ReplayEnd e;
  e.present = true;
  e.steps = steps;
  e.score[0] = g.player[0].score;
  e.score[1] = g.player[1].score;
  if (g.player[0].gameOver != g.player[1].gameOver) e.winner = g.player[0].gameOver ? 2 : 1;
  w.End(e);
  return w.Text();
}

void Watcher::Save() {
  if (!saving_ || saved_ || !synced_ || start_.game == 0 || current_ == 0) return;
  saved_ = true;
  const std::string& folder = ReplaysFolderInUse();
  if (folder.empty()) return;
  std::string path, error;
  if (!SaveReplay(folder, HeaderOf(start_), ReplayText(), &path, &error))
    fprintf(stderr, "quorbistane: the watched game's replay is not kept: %s\n", error.c_str());
}

}  // namespace net
