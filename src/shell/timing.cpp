#include <cstdint>

#include "platform/clock.h"
#include "shell/tuSystem.h"

namespace tuSystem {

// Stamped when the program is loaded, before the entry point runs.
uint32_t loadStamps[4] = {platform::Tick(), platform::Tick(), platform::Tick(), platform::Tick()};
const double kPi = 3.141592653589793;

uint32_t ResetFrameTime() {
  uint32_t now = platform::Tick();
  sys.frameSeconds = 0.0f;
  sys.lastFrameTime = now;
  return now;
}

uint32_t UpdateFrameTime() {
  uint32_t now = platform::Tick();
  // Unsigned difference: stays the small elapsed time across the 32-bit wrap.
  int64_t elapsed = static_cast<uint32_t>(now - sys.lastFrameTime);
  sys.frameSeconds = static_cast<float>(static_cast<double>(elapsed) / 1000.0);
  sys.lastFrameTime = platform::Tick();
  return now;
}

int SetWait(int n, uint32_t ms) {
  if (n < 1 || n > 10) return Error("tuSystem::SetWait", "ウェイトNoが範囲外です", 0);
  sys.waitSlots[n] = platform::Tick() + ms;
  sys.waitArmed[n] = 1;
  return 1;
}

int InitWait(int n) {
  if (n < 1 || n > 10) return Error("tuSystem::InitWait", "ウェイトNoが範囲外です", 0);
  sys.waitSlots[n] = WAIT_NEVER;
  sys.waitArmed[n] = 0;
  return 1;
}

int CheckWait(int n) {
  // Slots outside the table never read as expired; nor does a disarmed slot.
  if (n < 1 || n > kWaitSlots) return 0;
  if (!sys.waitArmed[n]) return 0;
  return platform::Tick() >= sys.waitSlots[n] ? 1 : 0;
}

void Delay(uint32_t ms) {
  sys.waitSlots[11] = platform::Tick() + ms;
  // Spins on the tick; the manual clock advances by itself here so headless runs end.
  while (!(platform::Tick() > sys.waitSlots[11])) {
    if (platform::ManualClock()) platform::AdvanceTick(1);
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
