#pragma once
#include <cstdint>

// The millisecond tick: an unsigned 32-bit count that wraps, like the host's system tick.
namespace tu::platform {

uint32_t Tick();

// Whether the manual clock replaces the steady clock (headless mode turns it on; tests and
// tools set and advance it through platform/seams.h).
bool ManualClock();

// Sleeps the calling thread; the manual clock advances instead of sleeping.
void SleepMs(uint32_t ms);

}  // namespace tu::platform
