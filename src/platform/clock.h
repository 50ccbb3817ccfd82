#pragma once
#include <cstdint>

// The millisecond tick: an unsigned 32-bit count that wraps, like the host's system tick.
namespace tu::platform {

uint32_t Tick();

// The manual clock replaces the steady clock while it is on (headless mode turns it on).
void UseManualClock(bool on);
bool ManualClock();
void SetTick(uint32_t tick);
void AdvanceTick(uint32_t ms);

// Sleeps the calling thread; the manual clock advances instead of sleeping.
void SleepMs(uint32_t ms);

}  // namespace tu::platform
