// An online match: the hello, the levels, the games and the continue question around the
// rollback session.
#include "net/match.h"

#include "net/watch_feed.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <random>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/game.h"
#include "game/model.h"
#include "game/playback.h"

namespace net {

namespace {
constexpr const char* kLost = "connection lost — no result";

// A match's end as its watchers are told it: the host's own words ("you left") turned into the
// players' (the host is player 1).
std::string ToWatchers(const std::string& reason) {
  static const char* const kTurned[][2] = {{"you left", "player 1 left"},
                                           {"the other player left", "player 2 left"},
                                           {"you said no", "player 1 said no"},
                                           {"the other player said no", "player 2 said no"}};
  for (const auto& t : kTurned)
    if (reason == t[0]) return t[1];
  return reason;
}

constexpr uint32_t kHelloAgainMs = 250;

uint32_t Since(uint32_t now, uint32_t then) {
  int32_t d = static_cast<int32_t>(now - then);
  return d > 0 ? static_cast<uint32_t>(d) : 0;
}

uint64_t Mix64(uint64_t* s) {
  uint64_t z = (*s += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string Identity(const char* version, uint64_t rules) {
  char hash[24];
  snprintf(hash, sizeof hash, "%016" PRIx64, rules);
  return std::string("version ") + version + " (rules " + hash + ")";
}
}  // namespace

// Between the transport and the session: the messages of a running game go to the session, the
// match's own (hello, levels, starts, answers) are taken here, whichever call reads them.
class Match::Link : public MessageLink {
 public:
  Link(Match& match, Transport& t) : match_(match), inner_(t) {}
  void Send(Channel channel, const Message& m) override { inner_.Send(channel, m); }
  bool Receive(Message* m, bool* lost) override {
    while (inner_.Receive(m, lost)) {
      match_.lastHeardMs_ = match_.now_;
      switch (m->type) {
        case MessageType::Inputs:
        case MessageType::Checksum: return true;
        case MessageType::Bye:
          match_.otherLeft_ = true;
          return true;
        default: match_.TakeControl(*m); break;
      }
    }
    return false;
  }
  int Refused() const { return inner_.Refused(); }

 private:
  Match& match_;
  TransportLink inner_;
};

Match::Match() {
  version_ = GameVersion();
  ruleHash_ = RuleTableHash();
  std::random_device device;
  seedState_ = (static_cast<uint64_t>(device()) << 32) ^ device() ^
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

Match::~Match() { Leave(); }

void Match::Use(Transport& transport, int side) {
  transport_ = &transport;
  link_ = std::make_unique<Link>(*this, transport);
  side_ = side == 1 ? 1 : 0;
  // The host feeds the watchers; a joiner has none.
  feed_.reset();
  if (side_ == 0) feed_ = std::make_unique<WatchFeed>(transport, &version_, &ruleHash_);
  phase_ = MatchPhase::Connecting;
  endReason_.clear();
  otherVersion_.clear();
  helloSent_ = helloTaken_ = clockSet_ = otherLeft_ = pendingStart_ = false;
  level_[0] = level_[1] = -1;
  levelSent_ = false;
  myAnswer_ = otherAnswer_ = -1;
  start_ = Start{};
  gameOverStep_ = kNoStep;
}

bool Match::Host(uint16_t port, std::string* error) {
  owned_ = HostOn(port, error);
  if (!owned_) return false;
  Use(*owned_, 0);
  return true;
}

bool Match::Join(const std::string& host, uint16_t port, std::string* error) {
  owned_ = JoinTo(host, port, error);
  if (!owned_) return false;
  Use(*owned_, 1);
  return true;
}

void Match::SetIdentity(const std::string& version, uint64_t ruleHash) {
  version_ = version.substr(0, sizeof(Hello::gameVersion) - 1);
  ruleHash_ = ruleHash;
}
void Match::SetRecording(bool on) { record_ = on; }
void Match::SetOwnState(bool on) { ownState_ = on; }

uint16_t Match::Port() const { return owned_ ? BoundPort(*owned_) : 0; }
uint32_t Match::RoundTripMs() const { return transport_ ? transport_->RoundTripMs() : 0; }
int Match::Watchers() const { return transport_ ? transport_->Watchers() : 0; }
uint64_t Match::WatcherDatagramsDropped() const { return transport_ ? transport_->WatcherDatagramsDropped() : 0; }

void Match::Feed() {
  if (feed_ && phase_ != MatchPhase::Ended)
    feed_->Update(session_, phase_ == MatchPhase::Continue ? &overState_ : nullptr, gameOverStep_);
}

void Match::Send(const Message& m) {
  if (link_) link_->Send(Channel::Control, m);
}

void Match::End(const std::string& reason) {
  if (phase_ == MatchPhase::Ended) return;
  phase_ = MatchPhase::Ended;
  endReason_ = reason;
  // A lost link whose transport knows the cause (the relay stopping) names it.
  std::string closed = transport_ ? transport_->ClosedReason() : std::string();
  if (reason == kLost && !closed.empty()) endReason_ = "connection lost (" + closed + ") — no result";
  if (feed_) feed_->Close(start_.game != 0 ? &session_ : nullptr, ToWatchers(endReason_));
}

void Match::Leave() {
  if (transport_ && phase_ != MatchPhase::Ended) End("you left");
  if (transport_) {
    Message bye;
    bye.type = MessageType::Bye;
    Send(bye);
    transport_->Close();
  }
  transport_ = nullptr;
  link_.reset();
  feed_.reset();
  owned_.reset();
}

void Match::SendHello() {
  Message m;
  m.type = MessageType::Hello;
  snprintf(m.hello.gameVersion, sizeof m.hello.gameVersion, "%s", version_.c_str());
  m.hello.ruleHash = ruleHash_;
  Send(m);
}

// The other side's hello: both sides check it, so both name both versions when they differ.
void Match::TakeHello(const Hello& h) {
  if (helloTaken_ || phase_ != MatchPhase::Connecting) return;
  helloTaken_ = true;
  otherVersion_ = h.gameVersion;
  if (side_ == 0) SendHello();  // the host answers the joiner's
  if (h.protocol != kProtocolVersion || otherVersion_ != version_ || h.ruleHash != ruleHash_) {
    std::string theirs = h.protocol != kProtocolVersion
                             ? "protocol " + std::to_string(h.protocol) + ", " + Identity(h.gameVersion, h.ruleHash)
                             : Identity(h.gameVersion, h.ruleHash);
    std::string mine = h.protocol != kProtocolVersion
                           ? "protocol " + std::to_string(kProtocolVersion) + ", " + Identity(version_.c_str(), ruleHash_)
                           : Identity(version_.c_str(), ruleHash_);
    Message refuse;
    refuse.type = MessageType::Refuse;
    snprintf(refuse.refuse.reason, sizeof refuse.refuse.reason, "%s", "versions differ");
    Send(refuse);
    End("the other copy is " + theirs + ", this one " + mine + ": they cannot play together");
    return;
  }
  phase_ = MatchPhase::Levels;
}

void Match::TakeControl(const Message& m) {
  switch (m.type) {
    case MessageType::Hello: TakeHello(m.hello); break;
    case MessageType::Refuse:
      // A refusal this side did not see coming (its own check names both versions first).
      End(std::string("the other copy refused the game: ") + m.refuse.reason);
      break;
    case MessageType::Level:
      if (m.level.difficulty <= 2) level_[1 - side_] = m.level.difficulty;
      break;
    case MessageType::Start:
      // Only a joiner takes a start: the first game's from the levels, the next one's after a
      // yes. It is acted on after the session's call that read it.
      if (side_ == 1 && m.start.game == start_.game + 1) {
        pendingStart_ = true;
        nextStart_ = m.start;
      }
      break;
    case MessageType::Continue:
      if (m.cont.game == start_.game && otherAnswer_ < 0) otherAnswer_ = m.cont.yes ? 1 : 0;
      break;
    default: break;
  }
}

MatchPhase Match::Poll(uint32_t nowMs) {
  now_ = nowMs;
  if (!clockSet_) {
    clockSet_ = true;
    lastHeardMs_ = lastHelloMs_ = nowMs;
    startedMs_ = nowMs;
  }
  if (phase_ == MatchPhase::Ended && feed_ && transport_ && transport_->WatchersJoined() > 0) {
    // Over, a host with watchers still serves its connection until it leaves: the feed's last
    // messages may need sending again on a lossy link. What comes in is no longer read.
    Event e;
    do transport_->Poll(&e);
    while (e.kind != Event::None);
    return phase_;
  }
  if (phase_ == MatchPhase::Ended || !link_) return phase_;
  if (phase_ == MatchPhase::Playing || phase_ == MatchPhase::Continue) {
    // The session goes on being served: the other side may still need this side's last inputs
    // to confirm the end of the game.
    if (session_.State() != SessionState::Ended) session_.Poll(nowMs);
  } else {
    Message m;
    bool lost = false;
    while (phase_ != MatchPhase::Ended && link_->Receive(&m, &lost)) {
      if (m.type == MessageType::Bye) End("the other player left");
    }
    if (lost) Lost();
  }
  if (phase_ == MatchPhase::Connecting && side_ == 1 && phase_ != MatchPhase::Ended) {
    if (!helloSent_ || Since(nowMs, lastHelloMs_) >= kHelloAgainMs) {
      // Sent again until answered: a hello sent before the connection was up is not queued.
      SendHello();
      helloSent_ = true;
      lastHelloMs_ = nowMs;
    }
    if (Since(nowMs, startedMs_) >= Session::kTimeoutMs) End("no answer from the host");
  }
  Advance(nowMs);
  Feed();
  return phase_;
}

// The link went down. A host still waiting for its player goes on waiting for another, unless
// its transport can take no other (a relay's room that ended): then the transport's reason ends it.
void Match::Lost() {
  std::string closed = transport_ ? transport_->ClosedReason() : std::string();
  if (phase_ == MatchPhase::Connecting && !closed.empty()) {
    End(closed);
    return;
  }
  if (phase_ == MatchPhase::Connecting && side_ == 0) {
    helloTaken_ = false;
    otherVersion_.clear();
    return;
  }
  if (phase_ == MatchPhase::Connecting) {
    End("no answer from the host");
    return;
  }
  End(kLost);
}

void Match::ChooseLevel(int difficulty) {
  if (phase_ != MatchPhase::Levels || levelSent_ || difficulty < 0 || difficulty > 2) return;
  level_[side_] = difficulty;
  levelSent_ = true;
  Message m;
  m.type = MessageType::Level;
  m.level.difficulty = static_cast<uint8_t>(difficulty);
  Send(m);
  Advance(now_);
}

// The host's start of a game: a fresh seed, the input delay from the round trip measured now
// (half of it in steps, 2 to 5), both difficulties.
void Match::HostStarts(uint32_t nowMs) {
  Start s;
  s.game = start_.game + 1;
  s.seed = Mix64(&seedState_);
  int delay = 2 + static_cast<int>(RoundTripMs() / 2 / 17);
  s.inputDelay = static_cast<uint8_t>(delay > 5 ? 5 : delay);
  s.difficulty[0] = static_cast<uint8_t>(level_[0]);
  s.difficulty[1] = static_cast<uint8_t>(level_[1]);
  Message m;
  m.type = MessageType::Start;
  m.start = s;
  Send(m);
  StartGame(s, nowMs);
}

void Match::StartGame(const Start& s, uint32_t nowMs) {
  start_ = s;
  level_[0] = s.difficulty[0];
  level_[1] = s.difficulty[1];
  myAnswer_ = otherAnswer_ = -1;
  gameOverStep_ = kNoStep;
  otherLeft_ = false;
  SetUpOnlineGame(s);
  if (feed_) feed_->GameStarts(s);
  SessionConfig c;
  c.side = side_;
  c.game = s.game;
  c.inputDelay = s.inputDelay;
  c.record = record_;
  c.ownState = ownState_;
  std::string error;
  if (!session_.Start(c, *link_, nowMs, &error)) {
    End("the game cannot start: " + error);
    return;
  }
  phase_ = MatchPhase::Playing;
}

// What the messages taken and the answers given lead to.
void Match::Advance(uint32_t nowMs) {
  if (phase_ == MatchPhase::Ended) return;
  if (otherLeft_ && phase_ != MatchPhase::Playing) {
    // Told no before the goodbye: the answer is the reason.
    End(otherAnswer_ == 0 ? "the other player said no" : "the other player left");
    return;
  }
  if (phase_ == MatchPhase::Playing || phase_ == MatchPhase::Continue) {
    if (session_.State() == SessionState::Ended) {
      End(otherAnswer_ == 0 ? "the other player said no" : session_.EndReason());
      return;
    }
  }
  if (phase_ == MatchPhase::Playing) CheckGameOver();
  if (phase_ == MatchPhase::Levels && side_ == 0 && level_[0] >= 0 && level_[1] >= 0) HostStarts(nowMs);
  if (phase_ == MatchPhase::Continue) {
    if (otherAnswer_ == 0) {
      End("the other player said no");
      return;
    }
    if (side_ == 0 && myAnswer_ == 1 && otherAnswer_ == 1) HostStarts(nowMs);
  }
  bool startable = phase_ == MatchPhase::Levels || (phase_ == MatchPhase::Continue && myAnswer_ == 1);
  if (pendingStart_ && startable) {
    pendingStart_ = false;
    StartGame(nextStart_, nowMs);
  }
}

// The game is over once the step that decided it is confirmed and both sides' digests of it
// agree; the state shown is then that confirmed one, not a prediction past it.
void Match::CheckGameOver() {
  if (!session_.GameOverChecked()) return;
  gameOverStep_ = session_.GameOverStep();
  if (session_.ConfirmedState(gameOverStep_, &overState_)) {
    if (ownState_)
      session_.KeptState() = overState_;
    else
      Restore(overState_);
  }
  phase_ = MatchPhase::Continue;
}

SessionState Match::Step(uint8_t localHeld, uint32_t nowMs) {
  now_ = nowMs;
  if (phase_ != MatchPhase::Playing) return session_.State();
  // Past the decided step no step is taken: the session only waits for the digests to agree.
  SessionState s = session_.GameOverStep() == kNoStep ? session_.Step(localHeld, nowMs) : session_.Poll(nowMs);
  Advance(nowMs);
  Feed();
  return s;
}

void Match::AnswerContinue(bool yes) {
  if (phase_ != MatchPhase::Continue || myAnswer_ >= 0) return;
  myAnswer_ = yes ? 1 : 0;
  Message m;
  m.type = MessageType::Continue;
  m.cont.game = start_.game;
  m.cont.yes = yes ? 1 : 0;
  Send(m);
  if (!yes) {
    End("you said no");
    return;
  }
  Advance(now_);
}

void SetUpOnlineGame(const Start& s) {
  ResetGame();
  // Both sides' games start at the same clock, whatever their machines' clocks say.
  game.clock = 0;
  for (PlayerState& p : game.player) p.fallTime = 0;
  game.resultTime = 0;
  tuSystem::sys.sceneNo = 1;
  tuDraw::draw.clipRect = {0, 0, 640, 480};
  game.gameMode = kModeVersus;
  game.difficulty[0] = s.difficulty[0];
  game.difficulty[1] = s.difficulty[1];
  game.computerLevel[0] = game.computerLevel[1] = -1;
  game.clockMs = kCadenceClock;
  game.random.state[0] = static_cast<uint32_t>(s.seed);
  game.random.state[1] = static_cast<uint32_t>(s.seed >> 32);
  game.player[0].phase = game.player[1].phase = kPhaseInit;
}

}  // namespace net
