#pragma once
#include <cstdint>
#include <string>

#include "game/output.h"
#include "game/playback.h"
#include "game/snapshot.h"
#include "net/protocol.h"
#include "net/transport.h"

// One online versus game between two sides (side 0 the host, player 1; side 1 the joiner,
// player 2) with rollback: each side runs its steps at once on its own input (read now, played
// D steps later) and a prediction of the other's (the last one known); when the other's real
// input differs from the prediction the session goes back to the state before that step and
// runs the steps again, nothing drawn or played. Steps whose inputs are both known are
// confirmed; every 30th confirmed step's digest is compared with the other side's.
namespace net {

// Where the session's messages go and come from. TransportLink puts them on a Transport;
// a test may carry them itself.
class MessageLink {
 public:
  virtual ~MessageLink() = default;
  virtual void Send(Channel channel, const Message& m) = 0;
  // The next message received, false when there is none. A link that is gone sets `lost`.
  virtual bool Receive(Message* m, bool* lost) = 0;
};

// Messages encoded on a transport; a datagram that does not decode is dropped and counted.
class TransportLink : public MessageLink {
 public:
  explicit TransportLink(Transport& t) : transport_(t) {}
  void Send(Channel channel, const Message& m) override;
  bool Receive(Message* m, bool* lost) override;
  int Refused() const { return refused_; }

 private:
  Transport& transport_;
  int refused_ = 0, nextTold_ = 1;
};

struct SessionConfig {
  int side = 0;          // 0 host (player 1), 1 joiner (player 2)
  uint32_t game = 1;     // the game number both sides' messages carry
  int inputDelay = 2;    // 2..5 steps
  bool record = true;    // the game's recorder keeps this side's confirmed inputs
  // Two sessions in one process (tests, tools): the live game state is this side's only while
  // it steps; the session keeps its state in a GameSnapshot between its calls and puts it in
  // place (Restore) before stepping, and takes it back (Snapshot) after.
  bool ownState = false;
};

enum class SessionState : uint8_t {
  Playing,
  Stalled,  // too far ahead of the last confirmed step: no step taken
  Waiting,  // no input from the other side for 0.75 s: the caller shows "waiting"
  Ended,    // see EndReason
};

struct SessionStats {
  uint32_t rollbacks = 0, stepsRunAgain = 0, deepest = 0;
  uint32_t checksumsCompared = 0, messagesRefused = 0;
};

class Session {
 public:
  static constexpr int kSnapshots = 10;        // states kept: the last steps before the current one
  static constexpr int kMaxAhead = 8;          // steps run past the last confirmed one at most
  static constexpr int kChecksumEvery = 30;    // confirmed steps between digests
  static constexpr uint32_t kWaitingMs = 750;  // without the other's input before "waiting"
  static constexpr uint32_t kTimeoutMs = 10000;

  // Starts from the live game state, set up by the caller for the game's first step (scene,
  // mode, difficulties, generator, the players at their first phase): both sides must start
  // from the same. A session plays one game: the next game starts it again. False with a
  // message for a bad configuration. `nowMs` here and in Step: any millisecond clock (it may
  // wrap), the same for the whole game.
  bool Start(const SessionConfig& c, MessageLink& link, uint32_t nowMs, std::string* error);

  // One step due: receives the other side's messages, runs the steps again that a corrected
  // prediction changed, then takes this step with `localHeld` (the local player's action bits)
  // scheduled for D steps on, and sends this side's inputs. No step is taken while stalled,
  // waiting or ended (the local input of such a call is dropped). Gives the state after it.
  SessionState Step(uint8_t localHeld, uint32_t nowMs);

  // Everything of Step but the step: receives, runs steps again, confirms and sends this side's
  // inputs again (the other side may have missed the last ones). For a side that takes no step
  // (its game is over, or a tool ends at a step) while the other side still confirms.
  SessionState Poll(uint32_t nowMs);

  SessionState State() const { return state_; }
  // Why the session ended: "out of sync at step N" or "connection lost — no result".
  const std::string& EndReason() const { return endReason_; }
  // Seconds since the other side's last new input (what a "waiting" notice shows).
  double WaitingSeconds(uint32_t nowMs) const;
  // The pace's hint: extra ms to wait before each step while this side runs ahead of the other
  // (0..kMaxExtraMs), so that the two drift back together.
  static constexpr int kMaxExtraMs = 3;
  int ExtraMsPerStep() const;

  uint32_t CurrentStep() const { return step_; }      // the next step to run
  uint32_t ConfirmedSteps() const { return confirmed_; }  // steps 0..n-1 are confirmed
  // The replay digest after `steps` confirmed steps, while still kept (the last 16); false
  // otherwise.
  bool ConfirmedDigest(uint32_t steps, uint64_t* digest) const;
  // Both players' inputs (player 1's, player 2's) of a confirmed step while the input ring still
  // holds it (the last 2 kMaxAhead confirmed steps); false otherwise.
  bool ConfirmedInputs(uint32_t step, uint8_t held[2]) const;
  // The state after `steps` confirmed steps while it is kept (the last kSnapshots steps run);
  // false otherwise.
  bool ConfirmedState(uint32_t steps, GameSnapshot* out) const;
  // The first confirmed step after which the game's outcome was decided (its result begun), or
  // kNoStep: the same on both sides.
  uint32_t GameOverStep() const { return gameOverStep_; }
  // Whether both sides' digests of the state at GameOverStep were compared and agree.
  bool GameOverChecked() const { return gameOverStep_ != kNoStep && lastCompared_ >= gameOverStep_; }
  // Whether the other side's inputs show it has confirmed `steps` steps: it has run them and
  // has this side's inputs of them. A side may leave after that without costing the other its
  // result.
  bool OtherConfirmed(uint32_t steps) const {
    return remoteAck_ != kNoStep && remoteAck_ + 1 >= steps &&
           remoteNext_ >= steps + static_cast<uint32_t>(config_.inputDelay);
  }
  const SessionStats& Stats() const { return stats_; }
  int Side() const { return config_.side; }
  // This side's state between its calls (ownState), e.g. for a test to change it.
  GameSnapshot& KeptState() { return live_; }

 private:
  static constexpr int kInputRing = 128;  // inputs kept per player (a power of two)
  static constexpr int kDigestRing = 16;
  static constexpr int kChecks = 8;

  static StepInput Source(uint32_t step, void* context);
  bool Update(uint32_t nowMs);
  void Receive(uint32_t nowMs);
  void TakeInputs(const Inputs& in, uint32_t nowMs);
  void TakeChecksum(const Checksum& c);
  void RunStep(uint32_t s);
  void RollBack();
  void Confirm();
  void Compare();
  void SendInputs();
  void End(const std::string& reason);
  void Enter();
  void Leave();

  SessionConfig config_;
  MessageLink* link_ = nullptr;
  SessionState state_ = SessionState::Ended;
  std::string endReason_ = "no game started";

  uint32_t step_ = 0;           // next step to run
  uint32_t confirmed_ = 0;      // steps confirmed
  uint32_t localNext_ = 0;      // local inputs known for steps < localNext_
  uint32_t remoteNext_ = 0;     // remote inputs known for steps < remoteNext_
  uint32_t remoteAck_ = kNoStep;  // the last local step the other side has
  uint32_t rollbackFrom_ = kNoStep;
  uint32_t running_ = 0;        // the step the game is running
  gameout::Output savedOutput_;
  uint8_t local_[kInputRing] = {};
  uint8_t remote_[kInputRing] = {};
  uint8_t used_[kInputRing] = {};  // the remote input each step was run with

  GameSnapshot ring_[kSnapshots];  // the state before step s at s % kSnapshots
  RecordMark marks_[kSnapshots];
  uint64_t digests_[kDigestRing] = {};  // after step s (steps s+1) at s % kDigestRing
  bool over_[kDigestRing] = {};         // the game's outcome decided after step s
  uint32_t gameOverStep_ = kNoStep;
  uint32_t lastCompared_ = 0;  // the latest step whose digests agreed
  GameSnapshot live_;

  struct Check {
    uint32_t steps = 0;
    uint64_t digest = 0;
  };
  Check mine_[kChecks], theirs_[kChecks];
  int mineCount_ = 0, theirsCount_ = 0;

  uint32_t lastMessageMs_ = 0, lastInputMs_ = 0;
  bool saved_ = false;  // the game's recording is written
  SessionStats stats_;
};

}  // namespace net
