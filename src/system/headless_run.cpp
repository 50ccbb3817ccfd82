// Runs without a display for tests, demos, tools and CI: the platform's headless mode behind a
// few public calls, so a program needs none of the platform's headers to drive its clock, its
// keys and its sound.
#include <cstdint>

#include <tu/tuSystem.h>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace tuSystem {

namespace {
uint32_t owedSampleMs = 0;  // samplesPerSec x ms not yet mixed, below one sample frame
SoundSink sink = nullptr;
void* sinkContext = nullptr;

// Sound time follows the clock: the mixer renders as many frames as `ms` hold, as a device
// would take them, and hands them to the sink. The fraction of a frame left over is carried to
// the next call.
void MixFor(uint32_t ms) {
  if (!tu::platform::AudioIsOpen()) return;
  static uint8_t scratch[16384];
  tu::platform::WaveFormat f = tu::platform::AudioPrimaryFormat();
  if (f.samplesPerSec == 0 || f.blockAlign == 0) return;
  uint64_t total = static_cast<uint64_t>(f.samplesPerSec) * ms + owedSampleMs;
  uint64_t frames = total / 1000;
  owedSampleMs = static_cast<uint32_t>(total % 1000);
  const uint64_t chunk = sizeof scratch / f.blockAlign;
  while (frames > 0) {
    int n = static_cast<int>(frames < chunk ? frames : chunk);
    tu::platform::AudioPull(scratch, n);
    if (sink) sink(MixedSound{scratch, n, f.channels, f.bitsPerSample, static_cast<int>(f.samplesPerSec)}, sinkContext);
    frames -= static_cast<uint64_t>(n);
  }
}
}  // namespace

void UseHeadless(uint32_t startTick) {
  tu::platform::SetHeadless(true);
  tu::platform::SetEchoBoxes(true);
  tu::platform::SetTick(startTick);
  // The stopwatches stamped when the program was loaded read the real clock: restart them on
  // this one, so the game's timers and the frame meter count from its start.
  for (uint32_t& stamp : loadStamps) stamp = tu::platform::Tick();
  owedSampleMs = 0;
}

void SetSoundSink(SoundSink s, void* context) {
  sink = s;
  sinkContext = context;
}

bool IsHeadless() { return tu::platform::Headless(); }

void AdvanceClock(uint32_t ms) {
  if (!tu::platform::Headless()) return;
  tu::platform::AdvanceTick(ms);
  MixFor(ms);
}

void SetClock(uint32_t tick) {
  if (tu::platform::Headless()) tu::platform::SetTick(tick);
}

bool RunFrame(uint32_t ms) {
  if (!tu::platform::Headless()) return false;
  tu::platform::AdvanceTick(ms);
  if (!RunToNextFrame()) return false;
  MixFor(ms);
  return true;
}

void PressKey(int vk, int down) {
  if (!tu::platform::Headless()) return;
  // As from a keyboard: the key's state changes and the window gets its message.
  tu::platform::InjectKey(vk, down != 0);
  tu::platform::PostMessage(down ? tu::platform::WM_KEYDOWN : tu::platform::WM_KEYUP,
                            static_cast<uintptr_t>(vk));
}

}  // namespace tuSystem
