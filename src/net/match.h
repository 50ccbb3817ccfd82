#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "net/protocol.h"
#include "net/session.h"
#include "net/transport.h"

// An online match between two copies of the game, from the connection to the last game: who is
// talking (versions and rules, refused at once when they differ), both sides' difficulties on
// the versus level screen, each game in a rollback session, and the continue question, whose
// yes on both sides starts the next game with a new seed from the host. The game's scenes and
// the simulator drive it the same way: Poll once a frame outside a game, Step once a step due
// inside one.
namespace net {

enum class MatchPhase : uint8_t {
  Connecting,  // host: waiting for a joiner; joiner: connecting, then waiting for the answer
  Levels,      // talking: each side chooses its difficulty
  Playing,     // a game runs (Step); it ends at a confirmed step (GameOverStep)
  Continue,    // a game is over: each side answers whether to play again
  Ended,       // the match is over: EndReason says why
};

class WatchFeed;

class Match {
 public:
  Match();
  ~Match();  // says goodbye and closes, if not done yet
  Match(const Match&) = delete;
  Match& operator=(const Match&) = delete;

  // Listens on `port` (0: any free one, see Port) on every address, or connects to host:port.
  // False with a message ("port 7000 is taken", "unknown host foo") when that cannot start.
  bool Host(uint16_t port, std::string* error);
  bool Join(const std::string& host, uint16_t port, std::string* error);
  // A match on a transport of the caller's (tests and tools: an end of a FakeLink), on side 0
  // (host) or 1 (joiner). The transport must outlive the match.
  void Use(Transport& transport, int side);

  // The version and rule digest this side says it has (tests: a copy that claims another).
  void SetIdentity(const std::string& version, uint64_t ruleHash);
  // Keep each game's replay (default on); `ownState` as in SessionConfig (two matches in one
  // process).
  void SetRecording(bool on);
  // The host's seeds for its games follow from `seed` (tests and tools: the same games again);
  // by default from the machine's randomness.
  void SetSeed(uint64_t seed) { seedState_ = seed; }
  void SetOwnState(bool on);

  int Side() const { return side_; }
  uint16_t Port() const;  // the port a host listens on
  MatchPhase Phase() const { return phase_; }
  // Why the match ended: the other side's refusal or this side's ("the other copy is version
  // 1.4.0 (rules 9a3c...), this one 1.5.0 (rules 41f0...)"), "connection lost — no result",
  // "out of sync at step N", "the other player left".
  const std::string& EndReason() const { return endReason_; }
  // The other side's version once it said hello ("" before).
  const std::string& OtherVersion() const { return otherVersion_; }
  uint32_t RoundTripMs() const;
  // Watchers (net/watch.h): how many watch now (a host's own count, or the relay's for both
  // players), and what they sent besides their handshake, dropped (host).
  int Watchers() const;
  uint64_t WatcherDatagramsDropped() const;

  // Services the connection outside a game: the hello, the levels, the starts and the answers.
  // `nowMs`: any millisecond clock, the same for the whole match. A host waits for a joiner as
  // long as it is left waiting, or until its transport can take none (its ClosedReason, e.g. a
  // relay's "no room has that code" or "relay stopping", is then the reason); every other phase
  // ends "connection lost — no result" after
  // Session::kTimeoutMs without a word from the other side.
  MatchPhase Poll(uint32_t nowMs);

  // Levels: this side's difficulty (0..2), told to the other side once. The host starts a game
  // when it has both: the live game state is set up for the game's first step and the phase
  // turns to Playing (on the joiner, when the host's start arrives).
  void ChooseLevel(int difficulty);
  int Level(int side) const { return level_[side]; }  // -1 until known

  // Playing: one step due, with this side's action bits (StepInput held of its own player).
  // The phase turns to Continue once the game's outcome is confirmed, or to Ended.
  SessionState Step(uint8_t localHeld, uint32_t nowMs);
  const Session& Game() const { return session_; }
  Session& Game() { return session_; }
  uint32_t GameNumber() const { return start_.game; }
  const Start& LastStart() const { return start_; }
  // The confirmed step after which the game was over (its outcome shown), or kNoStep.
  uint32_t GameOverStep() const { return gameOverStep_; }

  // Continue: this side's answer. Both yes: the host starts the next game (Playing again); a no
  // on either side ends the match ("the other player said no" on the side that said yes).
  void AnswerContinue(bool yes);
  // The other side's answer: -1 not yet, 0 no, 1 yes.
  int OtherAnswer() const { return otherAnswer_; }

  // Leaves: tells the other side (best effort) and closes. The phase turns to Ended.
  void Leave();

 private:
  class Link;
  void Send(const Message& m);
  void SendHello();
  void End(const std::string& reason);
  void Lost();
  void TakeControl(const Message& m);
  void TakeHello(const Hello& h);
  void StartGame(const Start& s, uint32_t nowMs);
  void HostStarts(uint32_t nowMs);
  void Advance(uint32_t nowMs);
  void CheckGameOver();
  void Feed();

  std::unique_ptr<Transport> owned_;
  Transport* transport_ = nullptr;
  std::unique_ptr<Link> link_;
  std::unique_ptr<WatchFeed> feed_;  // the host's feed to its watchers
  Session session_;
  int side_ = 0;
  MatchPhase phase_ = MatchPhase::Ended;
  std::string endReason_ = "no match started";
  std::string version_, otherVersion_;
  uint64_t ruleHash_ = 0;
  bool record_ = true, ownState_ = false;
  bool helloSent_ = false, helloTaken_ = false, otherLeft_ = false;
  int level_[2] = {-1, -1};
  bool levelSent_ = false;
  int myAnswer_ = -1, otherAnswer_ = -1;
  Start start_;                 // the game running or last run (game 0 before the first)
  bool pendingStart_ = false;   // a joiner's next start, taken after the call that read it
  Start nextStart_;
  uint32_t gameOverStep_ = kNoStep;
  GameSnapshot overState_;      // the confirmed state at the game's end
  uint32_t now_ = 0, lastHeardMs_ = 0, lastHelloMs_ = 0, startedMs_ = 0;
  bool clockSet_ = false;
  uint64_t seedState_ = 0;
};

// The live game state set for an online versus game's first step from the host's start: both
// sides call it with the same start and get the same state.
void SetUpOnlineGame(const Start& start);

}  // namespace net
