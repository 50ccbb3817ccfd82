// The computer's choice for a piece, at each level, over the positions met in real games of that
// level against itself (both fields at Normal): the time of the choice alone, in this thread's CPU
// time. The mean is over every timing; the worst is the slowest position, each position timed five
// times and the fastest of them taken, so an interruption by the machine is not taken for work.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <tu/tuSystem.h>

#include "game/computer.h"
#include "game/game.h"
#include "game/model.h"
#include "platform/headless.h"

namespace {

struct Position {
  GameState state;
  int player;  // whose choice is due
};

constexpr size_t kPositions = 400;

// Positions where a computer is about to choose, collected from games played frame by frame.
const std::vector<Position>& Positions(int level) {
  static std::vector<Position> cache[kComputerLevels];
  std::vector<Position>& out = cache[level];
  if (!out.empty()) return out;
  if (!tu::platform::Headless()) tuSystem::UseHeadless();
  GameState saved = game;
  int savedScene = tuSystem::sys.sceneNo;
  auto start = [&] {
    game.gameMode = kModeComputer;
    game.computerLevel[0] = game.computerLevel[1] = level;
    game.difficulty[0] = game.difficulty[1] = 1;
    game.resultStep = 0;
    ResetRound();
    game.player[0].phase = game.player[1].phase = kPhaseInit;
  };
  srand(11);
  start();
  tuSystem::sys.sceneNo = 1;
  out.reserve(kPositions);
  for (int f = 0; f < 400000 && out.size() < kPositions; ++f) {
    for (int pl = 0; pl < 2; ++pl)
      if (game.player[pl].phase == kPhaseControl && !game.computer[pl].planned && f % 3 == 0)
        out.push_back({game, pl});
    tuSystem::sys.frameSeconds = 1.0f;  // the opening wipe ends at once
    tuSystem::AdvanceClock(16);
    GameScene();
    if (game.player[0].phase == kPhaseOver || game.player[1].phase == kPhaseOver) start();
  }
  game = saved;
  tuSystem::sys.sceneNo = savedScene;
  return out;
}

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_ComputerChoice(benchmark::State& state) {
  int level = static_cast<int>(state.range(0));
  const std::vector<Position>& positions = Positions(level);
  if (positions.empty()) return state.SkipWithError("no position was met");
  GameState saved = game;
  std::vector<double> fastest(positions.size(), 1e9);
  size_t next = 0;
  double total = 0;
  long count = 0;
  for (auto _ : state) {
    size_t at = next;
    const Position& p = positions[at];
    next = (next + 1) % positions.size();
    game = p.state;
    double t0 = ThreadSeconds();
    Placement choice = ChoosePlacement(p.player, level);
    double spent = ThreadSeconds() - t0;
    benchmark::DoNotOptimize(choice);
    state.SetIterationTime(spent);
    fastest[at] = std::min(fastest[at], spent);
    total += spent;
    ++count;
  }
  game = saved;
  state.counters["positions"] = static_cast<double>(positions.size());
  state.counters["mean_us"] = count ? total / static_cast<double>(count) * 1e6 : 0.0;
  double worst = 0;
  for (double t : fastest)
    if (t < 1e9) worst = std::max(worst, t);
  state.counters["worst_us"] = worst * 1e6;
}
// Five passes over the positions.
BENCHMARK(BM_ComputerChoice)
    ->DenseRange(0, kComputerLevels - 1)
    ->ArgName("level")
    ->UseManualTime()
    ->Iterations(5 * kPositions)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
