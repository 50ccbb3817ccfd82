// A program that ends while the sound device is being looked for: the search's helper thread
// must neither abort the exit nor hold it up. Run with SDL's dummy sound driver and the fault
// hook (TU_AUDIO_FAULT_SIGNALS=1): SIGUSR1 takes the device away, so the next service starts
// a search; TU_AUDIO_FAULT_SLOW_SEARCH makes that search hang.
//   search_at_exit return|exit|release|reopen
// Ends with 0 after returning from main (return), calling exit (exit), or closing the sound
// first (release); 2 when the device could not be set up for the test. reopen closes the sound
// while the search hangs, gives the device back and opens the sound again: the device must
// come back while the search left behind ends and closes what it opened (1 if not).
#include <SDL2/SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/audio.h"
#include "platform/clock.h"

int main(int argc, char** argv) {
  const char* how = argc > 1 ? argv[1] : "return";
  if (tu::platform::AudioOpen() != tu::platform::AUDIO_OK || !tu::platform::AudioOutputRunning()) {
    fprintf(stderr, "search_at_exit: no sound device from the dummy driver\n");
    return 2;
  }
  raise(SIGUSR1);
  tu::platform::AudioService();  // the device is lost: the search starts at once
  if (tu::platform::AudioOutputRunning()) {
    fprintf(stderr, "search_at_exit: the device did not go away (is TU_AUDIO_FAULT_SIGNALS=1 set?)\n");
    return 2;
  }
  if (strcmp(how, "release") == 0) tu::platform::AudioClose();
  if (strcmp(how, "reopen") == 0) {
    tu::platform::AudioClose();
    raise(SIGUSR2);
    if (tu::platform::AudioOpen() != tu::platform::AUDIO_OK) return 1;
    // The search left behind wakes first, opens a device and lets it go again; the next search
    // (as slow) takes the device.
    uint32_t start = tu::platform::Tick();
    while (!tu::platform::AudioOutputRunning() && tu::platform::Tick() - start < 8000) {
      tu::platform::AudioService();
      SDL_Delay(10);
    }
    bool back = tu::platform::AudioOutputRunning();
    tu::platform::AudioClose();
    if (!back) {
      fprintf(stderr, "search_at_exit: no device after the sound was opened again\n");
      return 1;
    }
  }
  if (strcmp(how, "exit") == 0) exit(0);
  return 0;
}
