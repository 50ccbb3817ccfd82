// MIDI files through the open command: any bytes open and play, or are refused.
#include <string>

#include "fuzz_support.h"
#include "platform/audio.h"
#include "platform/midi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  if (!fuzz::WriteInput("in.mid", data, size)) return 0;
  std::string open = "open \"" + fuzz::Folder() + "in.mid\" type sequencer alias fuzz";
  if (platform::MidiCommand(open.c_str(), nullptr, 0) == platform::MIDI_OK) {
    platform::MidiCommand("play fuzz notify", nullptr, 0);
    static int16_t mix[2 * 4096];
    for (int i = 0; i < 4; ++i) platform::AudioPull(mix, 4096);
    char answer[32];
    platform::MidiCommand("status fuzz mode", answer, sizeof answer);
    platform::MidiCommand("close fuzz", nullptr, 0);
  }
  platform::ClearMessages();
  return 0;
}
