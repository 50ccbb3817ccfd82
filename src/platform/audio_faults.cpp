// The fault-signal hook, for tests of the real program: with TU_AUDIO_FAULT_SIGNALS=1 in the
// environment, SIGUSR1 takes the sound device away (a removal event for it, and no device
// opens) and SIGUSR2 brings it back (an added event), so a test can pull the device from under
// a running game. The handlers only set flags; the device's service turns them into events.
// With TU_AUDIO_FAULT_SLOW_SEARCH=MS as well, every search's helper waits that long before it
// touches a device, as on a sound server that has stopped answering.
#include <SDL2/SDL.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/audio_internal.h"

namespace tu::platform::audio {

namespace {

std::atomic<bool> faultRemove{false}, faultAdd{false}, faultAbsent{false};
std::atomic<uint32_t> searchDelayMs{0};

void OnFaultSignal(int signal) { (signal == SIGUSR1 ? faultRemove : faultAdd).store(true); }

void PushDeviceEvent(Uint32 type, SDL_AudioDeviceID which) {
  SDL_Event e{};
  e.type = type;
  e.adevice.which = which;
  e.adevice.iscapture = 0;
  SDL_PushEvent(&e);
}

}  // namespace

void InstallFaultSignals() {
  static bool installed = false;
  const char* on = getenv("TU_AUDIO_FAULT_SIGNALS");
  if (installed || !on || strcmp(on, "1") != 0) return;
  installed = true;
  struct sigaction sa {};
  sa.sa_handler = OnFaultSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &sa, nullptr);
  sigaction(SIGUSR2, &sa, nullptr);
  if (const char* slow = getenv("TU_AUDIO_FAULT_SLOW_SEARCH"))
    searchDelayMs.store(static_cast<uint32_t>(strtoul(slow, nullptr, 10)));
}

void TakeFaultSignals(uint32_t device) {
  if (faultRemove.exchange(false)) {
    faultAbsent.store(true);
    if (device) PushDeviceEvent(SDL_AUDIODEVICEREMOVED, device);
  }
  if (faultAdd.exchange(false)) {
    faultAbsent.store(false);
    PushDeviceEvent(SDL_AUDIODEVICEADDED, 0);
  }
}

bool FaultDeviceAbsent() { return faultAbsent.load(); }

uint32_t FaultSearchDelayMs() { return searchDelayMs.load(); }

}  // namespace tu::platform::audio
