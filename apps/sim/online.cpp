// The simulator's online run: connect, choose the level, play the script's keys step by step on
// real time, confirm the last step, and leave only once the other side has confirmed it too.
#include "online.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>


#include "base/text.h"
#include "game/input.h"
#include "game/model.h"
#include "game/snapshot.h"
#include "net/match.h"
#include "net/relay_client.h"
#include "net/watch.h"
#include "platform/seams.h"

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using net::MatchPhase;
using net::SessionState;

constexpr double kStepMs = 1000.0 / 60.0;
// A side that has its result waits this long at most for the other to confirm it too.
constexpr uint32_t kGoodbyeMs = 3000;
// Behind the pace by more than this, the time is let go rather than caught up in a burst.
constexpr double kMostLateMs = 100.0;

void Say(const std::string& text) { fprintf(stderr, "quorbistane-sim: %s\n", text.c_str()); }

// The status of a match or game that ended, its reason said.
int Ended(const std::string& reason) {
  Say(reason);
  if (reason.rfind("out of sync", 0) == 0) return kExitOutOfSync;
  if (reason.find("cannot play together") != std::string::npos || reason.find("refused") != std::string::npos ||
      reason.find("another version") != std::string::npos || reason.find("cannot be watched") != std::string::npos ||
      reason == net::kTooManyWatchers)
    return kExitRefused;
  return kExitNoResult;
}

class Run {
 public:
  uint32_t Now() const {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
  }
  double NowExact() const { return std::chrono::duration<double, std::milli>(Clock::now() - start_).count(); }

  // "waiting" on standard error while the other side is silent, once a second at most.
  void NoteWaiting(const net::Session& s) {
    uint32_t now = Now();
    if (noted_ && now - lastNoteMs_ < 1000) return;
    noted_ = true;
    lastNoteMs_ = now;
    fprintf(stderr, "quorbistane-sim: waiting for the other player… %ld s\n", lround(s.WaitingSeconds(now)));
  }

 private:
  Clock::time_point start_ = Clock::now();
  bool noted_ = false;
  uint32_t lastNoteMs_ = 0;
};

}  // namespace

bool ParseHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* why) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    *why = "'" + tu::Printable(text) + "' has no :PORT";
    return false;
  }
  std::string name = text.substr(0, colon);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  else if (name.find(':') != std::string::npos) {
    *why = "an IPv6 address goes in brackets: [ADDRESS]:PORT";
    return false;
  }
  if (name.empty()) {
    *why = "'" + tu::Printable(text) + "' has no host before the port";
    return false;
  }
  for (char c : name)
    if (c <= ' ' || c > '~' || c == '/' || c == '[' || c == ']') {
      *why = "'" + tu::Printable(name) + "' is not a host name or address";
      return false;
    }
  long long n = 0;
  if (!tu::ParseInteger(text.c_str() + colon + 1, 1, 65535, &n)) {
    *why = "the port must be a number from 1 to 65535, not '" + tu::Printable(text.substr(colon + 1)) + "'";
    return false;
  }
  *host = name;
  *port = static_cast<uint16_t>(n);
  return true;
}

int PlayOnline(const OnlineRun& run, const Script& script, OnlineResult* result) {
  // Declared before the match, which uses it to the end.
  std::unique_ptr<net::RelayTransport> relayed;
  net::Match match;
  std::string error;
  if (!run.relay.empty()) {
    relayed = run.host ? net::HostOnRelay(run.relay, run.relayPort, &error)
                       : net::JoinOnRelay(run.relay, run.relayPort, run.code, &error);
    if (!relayed) {
      Say(error);
      return 1;
    }
    match.Use(*relayed, run.host ? 0 : 1);
  } else if (run.host ? !match.Host(run.port, &error) : !match.Join(run.address, run.port, &error)) {
    Say(error);
    return 1;
  } else if (run.host) {
    printf("listening on port %u\n", static_cast<unsigned>(match.Port()));
    fflush(stdout);
  }
  bool codeShown = false;
  Run r;

  // The connection and the versus level screen: this side's level is the option's.
  bool chosen = false;
  for (;;) {
    MatchPhase phase = match.Poll(r.Now());
    if (relayed && run.host && !codeShown && !relayed->RoomCode().empty()) {
      printf("room %s\n", relayed->RoomCode().c_str());
      fflush(stdout);
      codeShown = true;
    }
    if (phase == MatchPhase::Playing) break;
    if (phase == MatchPhase::Ended || phase == MatchPhase::Continue) return Ended(match.EndReason());
    if (phase == MatchPhase::Levels && !chosen) {
      match.ChooseLevel(run.level);
      chosen = true;
    }
    if (run.host && phase == MatchPhase::Connecting && r.Now() >= static_cast<uint32_t>(run.waitSeconds) * 1000u) {
      Say("nobody joined within " + std::to_string(run.waitSeconds) + " s — no result");
      return kExitNoResult;
    }
    usleep(1000);
  }

  // The game: a step due every 1/60 s (later while this side runs ahead), the script's events
  // of a step pressed just before it; a stalled or waiting session is asked again a ms later.
  net::Session& session = match.Game();
  const uint32_t target = run.steps;
  size_t next = 0;
  double due = r.NowExact();
  // Past the step that decided the game no step is taken (the match only polls).
  while (session.CurrentStep() < target && session.GameOverStep() == net::kNoStep) {
    double now = r.NowExact();
    if (now < due) {
      usleep(static_cast<useconds_t>(std::min(due - now, 2.0) * 1000.0));
      continue;
    }
    if (now - due > kMostLateMs) due = now;
    uint32_t step = session.CurrentStep();
    // The key's state only: no frame runs to take a window message of it.
    for (; next < script.events.size() && script.events[next].frame <= static_cast<int64_t>(step); ++next)
      tu::platform::InjectKey(script.events[next].vk, script.events[next].down);
    SessionState state = match.Step(ReadInput().held[0], r.Now());
    ++result->calls;
    if (match.Phase() == MatchPhase::Ended) return Ended(match.EndReason());
    if (state == SessionState::Waiting) r.NoteWaiting(session);
    if (state == SessionState::Playing) {
      due += kStepMs + session.ExtraMsPerStep();
    } else {
      ++result->stalled;
      due = now + 1.0;
    }
  }

  // Every step up to the end confirmed: the other side's inputs of all of them arrived. A game
  // decided by then ends at its deciding step (known once that step is confirmed).
  auto end = [&] { return std::min(target, session.GameOverStep()); };
  // Through the match: its watchers are sent each step as it is confirmed.
  while (session.ConfirmedSteps() < end()) {
    match.Poll(r.Now());
    SessionState state = session.State();
    if (state == SessionState::Ended) return Ended(session.EndReason());
    if (state == SessionState::Waiting) r.NoteWaiting(session);
    if (session.ConfirmedSteps() < end()) usleep(1000);
  }
  const uint32_t last = end();
  GameSnapshot confirmed;
  if (!session.ConfirmedState(last, &confirmed)) {
    Say("the state at step " + std::to_string(last) + " is no longer kept");
    return 1;
  }

  // Leaving before the other side has confirmed the same step would cost it its result: wait
  // until its inputs show it has (or it left, or the time is up).
  // Through a relay the joiner also lets the host leave first: a player's leaving ends the room,
  // and the host's feed to its watchers (reliable, perhaps being sent again after a loss) would
  // be cut short with it. The host leaves once it has seen this side confirm.
  auto waiting = [&] {
    if (session.State() == SessionState::Ended || match.Phase() == MatchPhase::Ended) return false;
    return !session.OtherConfirmed(last) || (relayed && !run.host);
  };
  uint32_t waitFrom = r.Now();
  while (waiting() && r.Now() - waitFrom < kGoodbyeMs) {
    match.Poll(r.Now());
    usleep(1000);
  }
  result->otherConfirmed = session.OtherConfirmed(last);
  const net::SessionStats& stats = session.Stats();
  result->rollbacks = stats.rollbacks;
  result->stepsRunAgain = stats.stepsRunAgain;
  result->deepest = stats.deepest;
  result->roundTripMs = match.RoundTripMs();
  match.Leave();
  Restore(confirmed);
  // The shared game's clock is the run's: the dump's tick is where a run through frames would be.
  tu::platform::SetTick(game.clock);
  result->steps = last;
  result->gameOver = last < target;
  return 0;
}

int WatchOnline(const OnlineRun& run, OnlineResult* result) {
  net::Watcher watcher;
  std::string error;
  bool started = run.relay.empty() ? watcher.WatchAt(run.address, run.port, &error)
                                   : watcher.WatchOnRelay(run.relay, run.relayPort, run.code, &error);
  if (!started) {
    Say(error);
    return 1;
  }
  // The run keeps its replay itself (--record); none goes to a folder unless --replays named one.
  watcher.SetStopAt(run.steps);
  Run r;
  double due = r.NowExact();
  for (;;) {
    double now = r.NowExact();
    if (now < due) {
      usleep(static_cast<useconds_t>(std::min(due - now, 2.0) * 1000.0));
      continue;
    }
    due = now - due > kMostLateMs ? now + kStepMs : due + kStepMs;
    net::WatchPhase phase = watcher.Poll(r.Now());
    if (phase == net::WatchPhase::Playing) watcher.Advance(r.Now());
    if (watcher.CurrentStep() >= run.steps || watcher.Phase() == net::WatchPhase::GameOver) break;
    if (watcher.Phase() == net::WatchPhase::Ended) {
      if (watcher.CurrentStep() >= run.steps) break;
      return Ended(watcher.EndReason());
    }
  }
  result->steps = watcher.CurrentStep();
  result->gameOver = result->steps < run.steps;
  result->replay = watcher.ReplayText();
  watcher.Leave();
  // The shared game's clock is the run's, as for the players.
  tu::platform::SetTick(game.clock);
  return 0;
}

}  // namespace sim
