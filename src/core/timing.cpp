#include <cstdint>

#include <tu/tuSystem.h>

#include "platform/clock.h"

namespace tuSystem {

// Stamped when the program is loaded, before the entry point runs.
uint32_t loadStamps[4] = {tu::platform::Tick(), tu::platform::Tick(), tu::platform::Tick(), tu::platform::Tick()};
const double kPi = 3.141592653589793;

uint32_t Tick() { return tu::platform::Tick(); }
void Sleep(uint32_t ms) { tu::platform::SleepMs(ms); }

uint32_t ResetFrameTime() {
  uint32_t now = tu::platform::Tick();
  sys.frameSeconds = 0.0f;
  sys.lastFrameTime = now;
  return now;
}

uint32_t UpdateFrameTime() {
  uint32_t now = tu::platform::Tick();
  // Unsigned difference: stays the small elapsed time across the 32-bit wrap.
  int64_t elapsed = static_cast<uint32_t>(now - sys.lastFrameTime);
  sys.frameSeconds = static_cast<float>(static_cast<double>(elapsed) / 1000.0);
  sys.lastFrameTime = tu::platform::Tick();
  return now;
}

int SetWait(int n, uint32_t ms) {
  if (n < 1 || n > kCallerWaitSlots) return Error("tuSystem::SetWait", "ウェイトNoが範囲外です", 0);
  sys.waitStart[n] = tu::platform::Tick();
  sys.waitSlots[n] = sys.waitStart[n] + ms;
  sys.waitArmed[n] = 1;
  return 1;
}

int InitWait(int n) {
  if (n < 1 || n > kCallerWaitSlots) return Error("tuSystem::InitWait", "ウェイトNoが範囲外です", 0);
  sys.waitSlots[n] = WAIT_NEVER;
  sys.waitArmed[n] = 0;
  return 1;
}

int CheckWait(int n) {
  // Slots outside the table never read as expired; nor does a disarmed slot.
  if (n < 1 || n > kWaitSlots) return 0;
  if (!sys.waitArmed[n]) return 0;
  // Time since arming against the delay, both unsigned differences: a deadline past the
  // tick's wrap lies ahead like any other.
  uint32_t start = sys.waitStart[n];
  return tu::platform::Tick() - start >= sys.waitSlots[n] - start ? 1 : 0;
}

void Delay(uint32_t ms) {
  uint32_t start = tu::platform::Tick();
  sys.waitSlots[11] = start + ms;
  // Spins until strictly past the deadline, counting the time waited from the start so that
  // the tick's wrap neither ends the wait early nor keeps it going (64 bits: even the longest
  // delay ends); the manual clock advances by itself here so headless runs end.
  uint64_t waited = 0;
  for (uint32_t last = start; waited <= ms;) {
    if (tu::platform::ManualClock()) tu::platform::SleepMs(1);
    uint32_t now = tu::platform::Tick();
    waited += now - last;
    last = now;
  }
  ResetFrameTime();
}

void ResetWaits() {
  for (int i = 1; i <= kWaitSlots; ++i) {
    sys.waitSlots[i] = WAIT_NEVER;
    sys.waitArmed[i] = 0;
  }
}

}  // namespace tuSystem
