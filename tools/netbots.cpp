// Online versus games between two computers, both sides in this process: each side is an online
// match (hello, levels, then game after game, each in a rollback session) with its own copy of
// the game, their messages carried by the in-process transport on
// virtual time with the given round trip, jitter, loss, duplication and reordering. A side's
// computer plays from that side's own (predicted) state; what it holds goes to the session as the
// local input. Prints how the games went over the link: games out of sync, games cut off, the
// rollbacks and their depths, stalled steps, steps run again, traffic and the CPU time taken.
// With --watchers N, N watchers come into each game at a step drawn from the seed, over the same
// link, and must end the game in the players' state without a digest differing on the way.
// The same arguments give the same figures.
//
//   quorbistane-netbots [--games N] [--steps N] [--rtt MS] [--jitter MS] [--loss P] [--dup P]
//                       [--reorder P] [--seed N] [--watchers N]
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>
#include <tu/version.h>

#include "base/text.h"
#include "game/computer.h"
#include "game/game.h"
#include "game/input.h"
#include "game/model.h"
#include "game/playback.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "net/match.h"
#include "net/session.h"
#include "net/transport.h"
#include "net/watch.h"
#include "platform/seams.h"
#include "sim/progress.h"

namespace {

using net::MatchPhase;
using net::SessionState;

struct Options {
  long games = 100, steps = 20000, seed = 1;
  long rttMs = 100, jitterMs = 20, watchers = 0;
  double loss = 0.05, dup = 0.01, reorder = 0.01;
};

struct Totals {
  long games = 0, desyncs = 0, lost = 0, finished = 0, unfinished = 0;
  uint64_t calls = 0, stalled = 0, stepsRunAgain = 0, keyChanges = 0;
  std::vector<uint32_t> depths;  // every rollback's depth
  uint64_t bytesSent[2] = {}, virtualMs = 0;
  std::string firstDesync, firstLoss;
  // Watchers: come in mid-game; saw the game's end in the players' state; out of sync (a digest
  // or the end differed); ended otherwise; in a game cut at --steps; whose game ended first.
  long watchersIn = 0, watchersAgreed = 0, watcherDesyncs = 0, watchersLost = 0, watchersCut = 0, watchersLate = 0;
  uint32_t earliestJoin = UINT32_MAX, latestJoin = 0;
  std::string firstWatcherDesync, firstWatcherLoss;
};

// A small generator for the games' choices, apart from the game's own.
uint32_t Mix(uint64_t* s) {
  *s ^= *s << 13, *s ^= *s >> 7, *s ^= *s << 17;
  return static_cast<uint32_t>(*s >> 11);
}

// A match between two computers over the simulated link, game after game: both sides say yes
// to every continue question, so a match goes on until a game does not end well.
struct Bout {
  explicit Bout(const net::LinkConditions& c) : fake(c) {}
  net::FakeLink fake;
  net::Match m[2];
  uint32_t started[2] = {0, 0};  // the game number each side last set its computers for
  uint64_t due[2] = {0, 0};      // each side's next call, in microseconds of virtual time
  uint8_t held[2] = {0, 0};
  uint64_t sentBefore[2] = {0, 0};
  // A link has ends for 2 * kMaxWatchers watchers in all: a match that would need more starts anew.
  int watcherEnds = 0;
};

// A watcher of one game: it comes in once the host has confirmed `joinStep` steps and takes a
// frame every 16.667 ms, as the simulator's does.
struct Spectator {
  uint32_t joinStep = 0;
  std::unique_ptr<net::Watcher> w;
  uint64_t due = 0;
};

// A watcher's verdict at its game's end, against the host's confirmed end.
void Judge(const Spectator& v, net::Match& host, bool gameOver, long g, Totals* t) {
  if (!v.w) {
    ++t->watchersLate;
    return;
  }
  const net::Watcher& w = *v.w;
  std::string why;
  if (w.Phase() == net::WatchPhase::Ended && w.EndReason().rfind("out of sync", 0) == 0) {
    why = w.EndReason();
  } else if (gameOver && w.Phase() == net::WatchPhase::GameOver) {
    if (w.GameOverStep() != host.GameOverStep())
      why = "ended at step " + std::to_string(w.GameOverStep()) + ", the players at " + std::to_string(host.GameOverStep());
    else if (Checksum(w.KeptState()) != Checksum(host.Game().KeptState()))
      why = "another state than the players' at the end";
  } else if (!gameOver && w.Phase() != net::WatchPhase::Ended) {
    ++t->watchersCut;
    return;
  } else {
    ++t->watchersLost;
    if (t->firstWatcherLoss.empty())
      t->firstWatcherLoss = "game " + std::to_string(g + 1) + ", watcher from step " + std::to_string(v.joinStep) + ": " +
                            (w.Phase() == net::WatchPhase::Ended ? w.EndReason() : "not at the game's end in time") +
                            " (shown " + std::to_string(w.CurrentStep()) + " of " + std::to_string(w.KnownSteps()) +
                            " steps known, the end at " + std::to_string(w.GameOverStep()) + "; the players' at " +
                            std::to_string(host.GameOverStep()) + ")";
    return;
  }
  if (why.empty()) {
    ++t->watchersAgreed;
    return;
  }
  ++t->watcherDesyncs;
  if (t->firstWatcherDesync.empty())
    t->firstWatcherDesync = "game " + std::to_string(g + 1) + ", watcher from step " + std::to_string(v.joinStep) + ": " + why;
}

// One game of the match `*bout` (a new match when there is none): both sides run on virtual time
// one ms at a time, a call each 16.667 ms (plus the pace's hint while playing), the joiner a
// little later. A computer's keys are read from its side's state after that side's step: the
// step ran the computer, which drove its keys.
bool PlayGame(const Options& o, long g, Totals* t, std::unique_ptr<Bout>* bout) {
  uint64_t mix = (static_cast<uint64_t>(o.seed) << 32) ^ (static_cast<uint64_t>(g) * 0x9E3779B97F4A7C15ull) ^ 1;
  for (int i = 0; i < 4; ++i) Mix(&mix);
  int level[2] = {static_cast<int>(Mix(&mix) % kComputerLevels), static_cast<int>(Mix(&mix) % kComputerLevels)};
  if (!*bout) {
    net::LinkConditions c;
    c.roundTripMs = static_cast<uint32_t>(o.rttMs);
    c.jitterMs = static_cast<uint32_t>(o.jitterMs);
    c.loss = o.loss, c.duplicate = o.dup, c.reorder = o.reorder;
    c.seed = mix;
    *bout = std::make_unique<Bout>(c);
    for (int side = 0; side < 2; ++side) {
      net::Match& m = (*bout)->m[side];
      m.SetRecording(false);
      m.SetOwnState(true);
      m.SetSeed((static_cast<uint64_t>(Mix(&mix)) << 32) | Mix(&mix));
      m.Use((*bout)->fake.End(side), side);
    }
  }
  Bout& b = **bout;
  net::Match* m = b.m;
  // Into the game: both choose the middle difficulty in a new match, and say yes in a going one.
  uint32_t game = m[0].GameNumber() + 1;
  auto bothIn = [&] { return m[0].GameNumber() == game && m[1].GameNumber() == game; };
  auto anyEnded = [&] { return m[0].Phase() == MatchPhase::Ended || m[1].Phase() == MatchPhase::Ended; };
  auto over = [&] { return bothIn() && m[0].Phase() == MatchPhase::Continue && m[1].Phase() == MatchPhase::Continue; };
  const uint32_t maxSteps = static_cast<uint32_t>(o.steps);
  auto tooLong = [&] { return bothIn() && m[0].Game().CurrentStep() >= maxSteps && m[1].Game().CurrentStep() >= maxSteps; };
  // The watchers' steps of coming in: from 120 (a catch-up, not the start) to half the longest game.
  std::vector<Spectator> specs(static_cast<size_t>(o.watchers));
  const uint32_t span = static_cast<uint32_t>(std::max(1L, std::min(o.steps / 2, 6000L) - 119));
  for (Spectator& v : specs) v.joinStep = 120 + Mix(&mix) % span;
  auto watchersDone = [&] {
    for (const Spectator& v : specs)
      if (v.w && v.w->Phase() != net::WatchPhase::GameOver && v.w->Phase() != net::WatchPhase::Ended) return false;
    return true;
  };
  uint64_t overAtMs = 0;  // when both sides were over: the watchers, a second behind, are waited for
  auto overAndWatched = [&] {
    if (!over()) return false;
    if (!overAtMs) overAtMs = b.fake.Now();
    return watchersDone() || b.fake.Now() - overAtMs > 15000;
  };
  uint64_t startMs = b.fake.Now();
  for (int side = 0; side < 2; ++side) {
    if (m[side].Phase() == MatchPhase::Continue) m[side].AnswerContinue(true);
    b.due[side] = startMs * 1000ull + (side == 1 ? 1000ull * (Mix(&mix) % 50) : 0);
    b.sentBefore[side] = b.fake.End(side).BytesSent();
  }
  while (!anyEnded() && !overAndWatched() && !tooLong() && (bothIn() || b.fake.Now() - startMs < 20000)) {
    b.fake.Advance(1);
    for (Spectator& v : specs) {
      if (!v.w) {
        if (!bothIn() || m[0].Phase() != MatchPhase::Playing || m[0].Game().ConfirmedSteps() < v.joinStep) continue;
        v.w = std::make_unique<net::Watcher>();
        v.w->SetOwnState(true);
        v.w->SetSaving(false);
        v.w->Use(b.fake.AddWatcher());
        ++b.watcherEnds;
        v.due = b.fake.Now() * 1000ull;
        ++t->watchersIn;
        t->earliestJoin = std::min(t->earliestJoin, v.joinStep);
        t->latestJoin = std::max(t->latestJoin, v.joinStep);
      }
      if (b.fake.Now() * 1000ull < v.due) continue;
      v.due += 16667;
      if (v.w->Poll(b.fake.Now()) == net::WatchPhase::Playing) v.w->Advance(b.fake.Now());
    }
    for (int side = 0; side < 2; ++side) {
      net::Match& s = m[side];
      if (b.fake.Now() * 1000ull < b.due[side] || s.Phase() == MatchPhase::Ended) continue;
      b.due[side] += 16667;
      if (s.Phase() != MatchPhase::Playing || s.GameNumber() != game) {
        if (s.Poll(b.fake.Now()) == MatchPhase::Levels) s.ChooseLevel(1);
        continue;
      }
      if (b.started[side] != game) {
        // The computers play both fields in each side's copy, the same on both sides.
        b.started[side] = game;
        for (int pl = 0; pl < 2; ++pl) s.Game().KeptState().game.computerLevel[pl] = level[pl];
        b.held[side] = 0;
      }
      net::SessionStats before = s.Game().Stats();
      SessionState state = s.Step(b.held[side], b.fake.Now());
      b.due[side] += 1000ull * static_cast<unsigned>(s.Game().ExtraMsPerStep());
      ++t->calls;
      if (state == SessionState::Stalled || state == SessionState::Waiting) ++t->stalled;
      const net::SessionStats& after = s.Game().Stats();
      if (after.rollbacks != before.rollbacks) t->depths.push_back(after.stepsRunAgain - before.stepsRunAgain);
      // The side's own state after its step holds the keys its computer drives.
      Restore(s.Game().KeptState());
      uint8_t nowHeld = ReadInput().held[side];
      if (nowHeld != b.held[side]) ++t->keyChanges;
      b.held[side] = nowHeld;
    }
  }
  ReleaseComputerKeys();
  for (Spectator& v : specs) {
    Judge(v, m[0], over(), g, t);
    v.w.reset();  // leaves, before its link may go
  }
  ++t->games;
  t->virtualMs += b.fake.Now() - startMs;
  for (int side = 0; side < 2; ++side) {
    t->bytesSent[side] += b.fake.End(side).BytesSent() - b.sentBefore[side];
    t->stepsRunAgain += m[side].Game().Stats().stepsRunAgain;
  }
  if (anyEnded()) {
    const std::string& why = m[0].Phase() == MatchPhase::Ended ? m[0].EndReason() : m[1].EndReason();
    if (why.rfind("out of sync", 0) == 0) {
      ++t->desyncs;
      if (t->firstDesync.empty()) t->firstDesync = "game " + std::to_string(g + 1) + ": " + why;
    } else {
      ++t->lost;
      if (t->firstLoss.empty()) t->firstLoss = "game " + std::to_string(g + 1) + ": " + why;
    }
  } else if (over()) {
    ++t->finished;
    // The match goes on to its next game, while its link has ends for the next game's watchers.
    if (b.watcherEnds + o.watchers <= 2 * net::kMaxWatchers) return true;
  } else {
    ++t->unfinished;
  }
  bout->reset();
  return true;
}

uint32_t Percentile(std::vector<uint32_t>& v, double p) {
  if (v.empty()) return 0;
  size_t k = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
  return v[k];
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char kUsage[] =
    "usage: quorbistane-netbots [--games N] [--steps N] [--rtt MS] [--jitter MS] [--loss P] [--dup P]\n"
    "                           [--reorder P] [--seed N] [--watchers N] [--help] [--version]\n";
const char kHelp[] =
    "Plays online versus games between two computers (strengths chosen from the seed), both sides\n"
    "in this process over a simulated link, and prints desyncs, lost games, rollbacks, stalls and\n"
    "traffic.\n"
    "  --games N     games, 1 to 100000 (default 100)\n"
    "  --steps N     the most steps a game runs, 100 to 1000000 (default 20000)\n"
    "  --rtt MS      round trip in ms, 0 to 2000 (default 100)\n"
    "  --jitter MS   jitter each way in ms, 0 to 1000 (default 20)\n"
    "  --loss P      chance a datagram is lost, 0 to 0.5 (default 0.05)\n"
    "  --dup P       chance a datagram is doubled, 0 to 0.5 (default 0.01)\n"
    "  --reorder P   chance a datagram is reordered, 0 to 0.5 (default 0.01)\n"
    "  --seed N      0 to 4294967295 (default 1)\n"
    "  --watchers N  watchers coming into each game mid-game, 0 to 4 (default 0); a match then goes\n"
    "                on only while its link has ends for them (16 in all)\n"
    "Exit status: 0 done, 1 a game or a watcher went out of sync or the program failed, 2 a wrong\n"
    "command line.\n";

int Usage(const std::string& why) {
  fprintf(stderr, "quorbistane-netbots: %s\n%s", why.c_str(), kUsage);
  return 2;
}

bool Chance(const char* s, double* out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  double v = strtod(s, &end);
  if (*end || !(v >= 0.0 && v <= 0.5)) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i)
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      printf("%s%s", kUsage, kHelp);
      return 0;
    } else if (!strcmp(argv[i], "--version")) {
      printf("quorbistane-netbots %s\n", TU_VERSION_STRING);
      return 0;
    }
  for (int i = 1; i < argc; i += 2) {  // every option takes a value
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!strcmp(a, "--games")) {
      if (!tu::ParseInteger(v, 1, 100000, &o.games)) return Usage("--games needs a number of games from 1 to 100000");
    } else if (!strcmp(a, "--steps")) {
      if (!tu::ParseInteger(v, 100, 1000000, &o.steps)) return Usage("--steps needs a number of steps from 100 to 1000000");
    } else if (!strcmp(a, "--rtt")) {
      if (!tu::ParseInteger(v, 0, 2000, &o.rttMs)) return Usage("--rtt needs a round trip in ms from 0 to 2000");
    } else if (!strcmp(a, "--jitter")) {
      if (!tu::ParseInteger(v, 0, 1000, &o.jitterMs)) return Usage("--jitter needs ms from 0 to 1000");
    } else if (!strcmp(a, "--loss")) {
      if (!Chance(v, &o.loss)) return Usage("--loss needs a chance from 0 to 0.5");
    } else if (!strcmp(a, "--dup")) {
      if (!Chance(v, &o.dup)) return Usage("--dup needs a chance from 0 to 0.5");
    } else if (!strcmp(a, "--reorder")) {
      if (!Chance(v, &o.reorder)) return Usage("--reorder needs a chance from 0 to 0.5");
    } else if (!strcmp(a, "--watchers")) {
      if (!tu::ParseInteger(v, 0, 4, &o.watchers)) return Usage("--watchers needs a number from 0 to 4");
    } else if (!strcmp(a, "--seed")) {
      if (!tu::ParseInteger(v, 0, 4294967295L, &o.seed)) return Usage("--seed needs a number from 0 to 4294967295");
    } else {
      return Usage("unknown argument '" + tu::Printable(a) + "'");
    }
  }

  // Headless on the manual clock, without assets: the rules alone, with the default keys.
  tu::platform::SetHeadless(true);
  tu::platform::SetTick(0);
  ResetSettings();
  RecordReplaysTo("", "");
  tuSystem::Program program = GameProgram();
  program.loadAssets = nullptr;
  program.fixedSeed = 1;
  program.seed = static_cast<unsigned>(o.seed);
  char arg0[] = "quorbistane";
  char* args[] = {arg0};
  if (!tuSystem::Start(1, args, program)) {
    fprintf(stderr, "quorbistane-netbots: the program did not start\n");
    return 1;
  }
  SetPacedSteps(0);

  double cpu0 = CpuSeconds();
  Totals t;
  std::unique_ptr<Bout> bout;
  sim::Progress progress("quorbistane-netbots", o.games, 3.0, "game", 1);
  for (long g = 0; g < o.games; ++g) {
    if (!PlayGame(o, g, &t, &bout)) return 1;
    progress.Frame(g + 1);
  }
  double cpu = CpuSeconds() - cpu0;

  uint64_t rollbacks = t.depths.size();
  uint32_t p50 = Percentile(t.depths, 0.50), p99 = Percentile(t.depths, 0.99);
  uint32_t deepest = t.depths.empty() ? 0 : *std::max_element(t.depths.begin(), t.depths.end());
  double seconds = static_cast<double>(t.virtualMs) / 1000.0;
  printf("link: rtt %ld ms, jitter %ld ms, loss %.3g, dup %.3g, reorder %.3g; seed %ld\n", o.rttMs, o.jitterMs, o.loss,
         o.dup, o.reorder, o.seed);
  printf("games: %ld (%ld to their end, %ld cut at %ld steps), %.1f minutes of play\n", t.games, t.finished,
         t.unfinished, o.steps, seconds / 60.0);
  printf("key changes: %.0f a minute a side\n", seconds > 0 ? static_cast<double>(t.keyChanges) / (seconds / 60.0) / 2.0 : 0.0);
  printf("desyncs: %ld\n", t.desyncs);
  printf("ended by connection loss: %ld\n", t.lost);
  if (o.watchers > 0) {
    printf("watchers: %ld come mid-game (from step %u to %u), %ld saw the end in the players' state, %ld in games cut "
           "at --steps, %ld games ended before theirs came\n",
           t.watchersIn, t.watchersIn ? t.earliestJoin : 0, t.latestJoin, t.watchersAgreed, t.watchersCut, t.watchersLate);
    printf("watcher desyncs: %ld\n", t.watcherDesyncs);
    printf("watchers ended otherwise: %ld\n", t.watchersLost);
  }
  printf("rollbacks: %llu, depth p50 %u, p99 %u, deepest %u steps\n", static_cast<unsigned long long>(rollbacks), p50,
         p99, deepest);
  printf("stalled steps: %llu of %llu (%.3f%%)\n", static_cast<unsigned long long>(t.stalled),
         static_cast<unsigned long long>(t.calls), t.calls ? 100.0 * static_cast<double>(t.stalled) / static_cast<double>(t.calls) : 0.0);
  printf("steps run again: %llu\n", static_cast<unsigned long long>(t.stepsRunAgain));
  printf("traffic: host to joiner %.0f B/s, joiner to host %.0f B/s\n",
         seconds > 0 ? static_cast<double>(t.bytesSent[0]) / seconds : 0.0,
         seconds > 0 ? static_cast<double>(t.bytesSent[1]) / seconds : 0.0);
  printf("cpu time: %.2f s\n", cpu);
  if (!t.firstLoss.empty()) printf("first lost: %s\n", t.firstLoss.c_str());
  if (!t.firstWatcherLoss.empty()) printf("first watcher ended otherwise: %s\n", t.firstWatcherLoss.c_str());
  if (t.desyncs) fprintf(stderr, "quorbistane-netbots: out of sync (first: %s)\n", t.firstDesync.c_str());
  if (t.watcherDesyncs)
    fprintf(stderr, "quorbistane-netbots: a watcher out of sync (first: %s)\n", t.firstWatcherDesync.c_str());
  if (t.desyncs || t.watcherDesyncs) return 1;
  return 0;
}
