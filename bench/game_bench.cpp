// The game's frame cost: a versus frame with both fields full, a one-player frame and a menu
// frame of the real program (headless: all drawing, the present's upload into the kept frame
// and the mix of the frame's 16 ms of sound), each beside its physical baseline in the same run,
// and the start-up of the program.
//
// Baseline: one memcpy of the bytes the frame writes, counted from the frame's own draw list:
// the clear (640×480×2), every draw's rectangle clipped to the screen (×2 bytes), and the
// present's upload of the whole back buffer (640×480×2).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tu/tuSystem.h>

#include "game/game.h"
#include "game/model.h"
#include "game/output.h"
#include "game/snapshot.h"
#include "net/session.h"

extern char** environ;

namespace {

constexpr long kScreenBytes = 640L * 480 * 2;

bool Frame() {
  return tuSystem::RunFrame(16);
}

// A key pressed for one frame and released for two.
void Tap(int vk) {
  tuSystem::PressKey(vk, 1);
  Frame();
  tuSystem::PressKey(vk, 0);
  Frame();
  Frame();
}

bool started = false;

bool StartOnce() {
  if (started) return true;
  tuSystem::UseHeadless();
  tuSystem::Program program = GameProgram();
  program.fixedSeed = 1;
  program.seed = 1;
  char arg0[] = "quorbistane";
  char* args[] = {arg0};
  started = tuSystem::Start(1, args, program) != 0;
  return started;
}

// Back to the title menu, as after a game that was not continued.
void ToMenu() {
  game.player[0].phase = game.player[1].phase = kPhaseInit;
  game.menuLevel = 0;
  game.resultStep = 0;
  tuSystem::sys.sceneNo = 2;
  for (int f = 0; f < 200; ++f) Frame();
}

// From the menu into a game at the easiest difficulty; true once every player steers a piece.
bool EnterGame(bool versus) {
  ToMenu();
  while (game.gameMode != (versus ? 1 : 0)) Tap(vk::Down);
  Tap(vk::X);
  Tap(vk::X);
  if (versus) Tap(vk::J);
  for (int f = 0; f < 2000; ++f) {
    Frame();
    bool ready = tuSystem::sys.sceneNo == 1 && game.player[0].phase == kPhaseControl &&
                 (!versus || game.player[1].phase == kPhaseControl);
    if (ready) return true;
  }
  return false;
}

// Every live cell holds a block, in colours that form no group, but the entry cells stay free;
// the piece hangs at the top with its fall timer stopped, so frame after frame looks the same.
void FillFields(int players) {
  for (int pl = 0; pl < players; ++pl) {
    PlayerState& p = game.player[pl];
    ForLiveCells(0, 16, [&](int slot, int line) { p.cells[slot][line] = 1 + (slot + 2 * line) % 5; });
    p.cells[3][0] = p.cells[2][1] = p.cells[3][1] = 0;
    p.fallInterval = INT_MAX;
    p.lockDelay = INT_MAX;
  }
}

// The bytes one frame writes, from its recorded draws.
long FrameBytes() {
  gameout::recorder.Start();
  Frame();
  gameout::recorder.on = false;
  long bytes = 2 * kScreenBytes;  // clear and present
  for (int i = 0; i < gameout::recorder.drawCount; ++i) {
    const gameout::DrawCall& d = gameout::recorder.draws[i];
    int x0 = std::max(d.x, 0), y0 = std::max(d.y, 0);
    int x1 = std::min(d.x + d.right - d.left, 640), y1 = std::min(d.y + d.bottom - d.top, 480);
    if (x1 > x0 && y1 > y0) bytes += 2L * (x1 - x0) * (y1 - y0);
  }
  return bytes;
}

long menuBytes = 0, oneBytes = 0, versusBytes = 0;

void RunFrames(benchmark::State& state, long bytes) {
  for (auto _ : state)
    if (!Frame()) state.SkipWithError("the program ended");
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Baseline(benchmark::State& state, long bytes) {
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_GameMenuFrame(benchmark::State& state) {
  if (!StartOnce()) return state.SkipWithError("the program did not start");
  ToMenu();
  menuBytes = FrameBytes();
  RunFrames(state, menuBytes);
}
BENCHMARK(BM_GameMenuFrame);

void BM_GameMenuFrameMemcpyBaseline(benchmark::State& state) { Baseline(state, menuBytes ? menuBytes : 2 * kScreenBytes); }
BENCHMARK(BM_GameMenuFrameMemcpyBaseline);

void BM_GameOnePlayerFrame(benchmark::State& state) {
  if (!StartOnce()) return state.SkipWithError("the program did not start");
  if (!EnterGame(false)) return state.SkipWithError("no one-player game started");
  FillFields(1);
  oneBytes = FrameBytes();
  RunFrames(state, oneBytes);
  if (game.player[0].phase != kPhaseControl) state.SkipWithError("the frame did not stay in play");
}
BENCHMARK(BM_GameOnePlayerFrame);

void BM_GameOnePlayerFrameMemcpyBaseline(benchmark::State& state) { Baseline(state, oneBytes ? oneBytes : 3 * kScreenBytes); }
BENCHMARK(BM_GameOnePlayerFrameMemcpyBaseline);

void BM_GameVersusFrameFull(benchmark::State& state) {
  if (!StartOnce()) return state.SkipWithError("the program did not start");
  if (!EnterGame(true)) return state.SkipWithError("no versus game started");
  FillFields(2);
  versusBytes = FrameBytes();
  RunFrames(state, versusBytes);
  if (game.player[0].phase != kPhaseControl || game.player[1].phase != kPhaseControl)
    state.SkipWithError("the frame did not stay in play");
}
BENCHMARK(BM_GameVersusFrameFull);

void BM_GameVersusFrameMemcpyBaseline(benchmark::State& state) { Baseline(state, versusBytes ? versusBytes : 3 * kScreenBytes); }
BENCHMARK(BM_GameVersusFrameMemcpyBaseline);

// Start-up: a fresh process of the soak tool for one frame, from exec through tuSystem::Start
// (assets loaded, window and sound set up headless) to the first presented menu frame. The
// process's own exec and exit are included, so this is an upper bound.
void BM_GameStartUpToFirstMenuFrame(benchmark::State& state) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return state.SkipWithError("cannot find the benchmark's folder");
  self[n] = 0;
  std::string tool = std::string(self, strrchr(self, '/') - self) + "/quorbistane-soak";
  if (access(tool.c_str(), X_OK) != 0) return state.SkipWithError("quorbistane-soak is not built beside the benchmark");
  for (auto _ : state) {
    char arg0[] = "quorbistane-soak", arg1[] = "1";
    char* argv[] = {arg0, arg1, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the start-up run failed");
      break;
    }
  }
}
BENCHMARK(BM_GameStartUpToFirstMenuFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Going back and running again, in a versus game with both fields full: the whole state saved
// and put back, its checksum, and one step run again as a rollback runs it (the frame step with
// neither drawing nor sound), to set beside BM_GameVersusFrameFull.
GameSnapshot benchSaved;

bool EnterFullVersus(benchmark::State& state) {
  if (!StartOnce()) {
    state.SkipWithError("the program did not start");
    return false;
  }
  if (!EnterGame(true)) {
    state.SkipWithError("no versus game started");
    return false;
  }
  FillFields(2);
  Frame();
  return true;
}

void BM_GameSnapshotAndRestore(benchmark::State& state) {
  if (!EnterFullVersus(state)) return;
  for (auto _ : state) {
    Snapshot(benchSaved);
    Restore(benchSaved);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GameSnapshotAndRestore);

void BM_GameChecksum(benchmark::State& state) {
  if (!EnterFullVersus(state)) return;
  Snapshot(benchSaved);
  for (auto _ : state) benchmark::DoNotOptimize(Checksum(benchSaved));
}
BENCHMARK(BM_GameChecksum);

void BM_GameVersusStepRunAgain(benchmark::State& state) {
  if (!EnterFullVersus(state)) return;
  // A step of the game as a rollback runs it again: the rules alone, nothing drawn or played.
  gameout::output = {false, false};
  for (auto _ : state) GameStep();
  gameout::output = {true, true};
  if (game.player[0].phase != kPhaseControl || game.player[1].phase != kPhaseControl)
    state.SkipWithError("the step did not stay in play");
}
BENCHMARK(BM_GameVersusStepRunAgain);

// The other side of an online game whose every input comes 8 steps late and differs from the
// one before it: each step of the session first goes back 8 steps and runs them again.
class LateInputs : public net::MessageLink {
 public:
  void Send(net::Channel, const net::Message& m) override {
    if (m.type == net::MessageType::Inputs) newest_ = m.inputs.firstStep + m.inputs.count - 1;
  }
  bool Receive(net::Message* m, bool*) override {
    // The input of the step 8 before the session's next (its newest local input is D = 2 on).
    if (given_ || next_ + 9 > newest_) return false;
    given_ = true;
    m->type = net::MessageType::Inputs;
    m->inputs.game = 1;
    m->inputs.firstStep = next_;
    m->inputs.count = 1;
    m->inputs.held[0] = static_cast<uint8_t>(1u << (next_ % 2));  // left, right, left, ...
    m->inputs.ackStep = newest_;
    ++next_;
    return true;
  }
  void NextStep() { given_ = false; }
  uint32_t next_ = 2, newest_ = 1;
  bool given_ = false;
};

// A session's step at 8 steps of rollback: the state put back, 8 steps run again (each kept,
// digested, nothing drawn or played), then the new step. The goal is 100 us.
void BM_SessionRollbackEightSteps(benchmark::State& state) {
  if (!EnterFullVersus(state)) return;
  static net::Session session;  // ten whole states: kept off the stack
  LateInputs link;
  net::SessionConfig c;
  c.record = false;
  std::string error;
  if (!session.Start(c, link, 0, &error)) return state.SkipWithError(error.c_str());
  // Run ahead until the session is 8 steps past its last confirmed one.
  for (int i = 0; i < 10; ++i) session.Step(0, 0);
  for (auto _ : state) {
    link.NextStep();
    if (session.Step(0, 0) != net::SessionState::Playing) {
      state.SkipWithError("the session stopped");
      break;
    }
  }
  state.counters["deepest"] = session.Stats().deepest;
  state.counters["rollbacks"] = session.Stats().rollbacks;
}
BENCHMARK(BM_SessionRollbackEightSteps);

}  // namespace
