#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/input.h"
#include "game/snapshot.h"
#include "net/protocol.h"
#include "net/transport.h"

// Watching an online versus game: a spectator sees the game from the players' confirmed inputs
// only, never a prediction. The host (side 0) feeds its watchers, on the reliable channel and
// through the relay when there is one: each game's start, both players' confirmed inputs as runs
// of unchanged input, the digests the players compare, the game's end (GameOverStep) and the
// match's. A watcher who comes in mid-game is sent a catch-up: the confirmed state at the newest
// step the feed has reached (a GameSnapshot in chunks), then the inputs and digests of every
// earlier step, so that it goes on from that state at once and still keeps the whole game's
// replay. Watchers send nothing but their first message.
//
// The watcher shows the game about one second (kLagSteps) behind the newest confirmed step it
// has; further behind (just come, a hiccup) it takes 2 steps a frame until it is back; out of
// steps, it waits. It checks its state against every digest the players compared: a difference
// ends watching "out of sync at step N". Its replay (the game's replay format, the same steps as
// the players') goes to the replays folder as theirs do.
namespace net {

enum class WatchPhase : uint8_t {
  Connecting,  // reaching the host or the relay, or waiting for the host's first word
  Waiting,     // connected; no game has started yet
  Playing,     // a game runs: call Advance each frame and draw the live state
  GameOver,    // the game is over (its outcome stands in the live state); the next may start
  Ended,       // watching is over: EndReason says why
};

// The outcome of a game that is over, as the live state holds it.
struct WatchOutcome {
  int score[2] = {};
  int winner = 0;  // 1 or 2, 0 for none
};

class Watcher {
 public:
  static constexpr uint32_t kLagSteps = 60;       // steps shown behind the newest confirmed one
  static constexpr uint32_t kCatchUpSlack = 8;    // behind the lag by more: 2 steps a frame
  static constexpr uint32_t kTimeoutMs = 10000;   // silence from the host before "connection lost"

  Watcher();
  ~Watcher();  // closes, if not done yet
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // Watches the room `code` of the relay at relay:port, or the host listening at host:port (the
  // port its players join on). False with a message when that cannot start ("unknown host x",
  // "not a room code: ..."); what the host or the relay answers comes by Poll.
  bool WatchOnRelay(const std::string& relay, uint16_t port, const std::string& code, std::string* error);
  bool WatchAt(const std::string& host, uint16_t port, std::string* error);
  // Watches over a transport of the caller's (tests, tools: FakeLink::AddWatcher); it must
  // outlive the watcher.
  void Use(Transport& transport);
  // Two sessions and watchers in one process: the watcher keeps its game state between its calls
  // (as SessionConfig::ownState) instead of in the live state.
  void SetOwnState(bool on) { ownState_ = on; }
  // Never runs past this many steps of a game (the simulator stops at its --frames).
  void SetStopAt(uint32_t steps) { stopAt_ = steps; }
  // Keep each game's replay in the replays folder (ReplaysFolderInUse; default on).
  void SetSaving(bool on) { saving_ = on; }

  // Once a frame (any millisecond clock, the same throughout): takes what the host sent.
  WatchPhase Poll(uint32_t nowMs);
  // Then: runs the steps due this frame on the live game state (0, 1 or 2; as a local game, with
  // its sounds at normal speed; the second step of a frame that catches up plays none) and
  // gives how many ran. The caller draws the live state afterwards as for a local game.
  int Advance(uint32_t nowMs);

  WatchPhase Phase() const { return phase_; }
  // "the game is over" (the match ended after its last game), "connection lost — no result",
  // "out of sync at step N", the host's or relay's refusal ("the game has 8 watchers already",
  // "no room has that code"), "the game is version X (rules ...), this copy Y: ...".
  const std::string& EndReason() const { return endReason_; }

  uint32_t GameNumber() const { return start_.game; }  // 0 before the first
  const Start& LastStart() const { return start_; }
  uint32_t CurrentStep() const { return current_; }    // steps of the game run (shown)
  uint32_t KnownSteps() const { return static_cast<uint32_t>(inputs_.size()); }
  uint32_t StepsBehind() const { return KnownSteps() > current_ ? KnownSteps() - current_ : 0; }
  uint32_t GameOverStep() const { return overStep_; }  // kNoStep until the host told it
  // GameOver: the game's outcome (the live state's at GameOverStep).
  WatchOutcome Outcome() const { return outcome_; }
  // The game's replay as far as it has run: the replay file's text (the date line is this
  // copy's). Empty before a game.
  std::string ReplayText() const;
  // Feed messages that were not for this watcher's game or came out of place, dropped.
  uint32_t Dropped() const { return dropped_; }
  // The state kept between calls (SetOwnState).
  const GameSnapshot& KeptState() const { return kept_; }

  // Stops watching: the phase turns to Ended ("you left"), the connection is closed.
  void Leave();

 private:
  struct Catch;
  static StepInput Source(uint32_t step, void* context);
  void Take(const Message& m, uint32_t nowMs);
  void TakeGame(const WatchGame& g);
  void TakeChunk(const Chunk& c);
  void TakeRuns(const Runs& r);
  void TakeDigest(const Checksum& d);
  void TakeOver(const Over& o);
  void RunStep();
  void Check(uint32_t steps, uint64_t digest);
  void Finish();
  void Save();
  void End(const std::string& reason);

  std::unique_ptr<Transport> owned_;
  Transport* transport_ = nullptr;
  bool ownState_ = false, saving_ = true;
  uint32_t stopAt_ = kNoStep;
  WatchPhase phase_ = WatchPhase::Ended;
  std::string endReason_ = "not watching";
  bool connected_ = false, sentWatch_ = false, synced_ = false, closed_ = false, saved_ = false;
  bool clockSet_ = false;
  uint32_t lastHeardMs_ = 0;
  std::string closeReason_, lostReason_;

  Start start_;
  uint32_t base_ = 0;      // the step the game was taken up at (0, or a catch-up's snapshot)
  uint32_t current_ = 0;   // steps run
  uint32_t overStep_ = kNoStep;
  std::vector<uint16_t> inputs_;          // both players' confirmed inputs by step (player 2 high)
  std::vector<std::pair<uint32_t, uint64_t>> theirs_;  // the host's digests, by step
  std::vector<uint64_t> mine_;            // this copy's replay digest after each step from base_
  WatchOutcome outcome_;
  std::unique_ptr<Catch> catch_;          // a catch-up being received
  GameSnapshot kept_;
  uint32_t dropped_ = 0, nextTold_ = 1;
};

}  // namespace net
