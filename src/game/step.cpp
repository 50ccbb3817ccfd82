// The game's clock and the pace of its steps: 60 steps a second of game time, whatever the
// display's rate.
#include <tu/tuSystem.h>

#include "game/game.h"
#include "game/model.h"
#include "game/output.h"

uint32_t StepLength(int clockMs, int cadence) {
  if (clockMs >= 0) return static_cast<uint32_t>(clockMs);
  return cadence % 3 == 0 ? 16u : 17u;
}

void AdvanceGameClock() {
  game.clock += StepLength(game.clockMs, game.cadence);
  game.cadence = (game.cadence + 1) % 3;
}

uint32_t LastStepLength() { return StepLength(game.clockMs, (game.cadence + 2) % 3); }

namespace {

// Steps are due on real time by the same cadence. A step counts as due a little early, so a
// 60 Hz display whose frames come a millisecond or two either side of the cadence still takes
// exactly one step a frame.
constexpr int32_t kEarlyMs = 8;
// A display that falls behind catches up this many steps a frame at most; beyond that much
// lateness the time is let go, and the game runs on from now.
constexpr int kMostStepsAFrame = 5;
constexpr int32_t kMostLateMs = 100;

struct Pace {
  int paced = -1;  // -1: not chosen, paced unless the program runs headless
  bool started = false;
  uint32_t due = 0;
  int cadence = 0;
} pace;

bool Paced() {
  if (pace.paced < 0) pace.paced = tuSystem::IsHeadless() ? 0 : 1;
  return pace.paced == 1;
}

}  // namespace

void SetPacedSteps(int on) { pace = Pace{on}; }

int DueSteps() {
  if (!Paced()) return 1;
  uint32_t now = tuSystem::Tick();
  if (!pace.started) {
    pace.started = true;
    pace.due = now;
  }
  int n = 0;
  while (n < kMostStepsAFrame && static_cast<int32_t>(now + kEarlyMs - pace.due) >= 0) {
    pace.due += StepLength(kCadenceClock, pace.cadence);
    pace.cadence = (pace.cadence + 1) % 3;
    ++n;
  }
  // Too late still: the steps just taken stand for now, and the next is a step away.
  if (static_cast<int32_t>(now - pace.due) > kMostLateMs) pace.due = now + StepLength(kCadenceClock, pace.cadence);
  return n;
}

void DelaySteps(uint32_t ms) {
  if (pace.started) pace.due += ms;
}

void WaitForStep() {
  int32_t wait = static_cast<int32_t>(pace.due - kEarlyMs - tuSystem::Tick());
  if (wait > 0) tuSystem::Sleep(static_cast<uint32_t>(wait));
}

void RunSteps(void (*step)()) {
  int n = DueSteps();
  if (n == 0 && !tuSystem::IsHeadless()) {
    // Nothing to show before the next step: wait for it rather than spin.
    WaitForStep();
    n = DueSteps();
  }
  // Only the last step draws: the others catch up on a late display. A step that changes the
  // scene (a game or a playback starts) is the last: the next scene takes the steps after it.
  bool draw = gameout::output.draw;
  int scene = tuSystem::sys.sceneNo;
  for (int i = 0; i < n && tuSystem::sys.sceneNo == scene; ++i) {
    gameout::output.draw = draw && i == n - 1;
    step();
  }
  gameout::output.draw = draw;
}
