// MIDI files through the open command: any bytes open and play, or are refused.
#include <string>

#include "fuzz_support.h"
#include "platform/audio.h"
#include "platform/midi.h"
#include "platform/seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  if (!fuzz::WriteInput("in.mid", data, size)) return 0;
  std::string open = "open \"" + fuzz::Folder() + "in.mid\" type sequencer alias fuzz";
  if (tu::platform::MidiCommand(open.c_str(), nullptr, 0) == tu::platform::MIDI_OK) {
    tu::platform::MidiCommand("play fuzz notify", nullptr, 0);
    static int16_t mix[2 * 4096];
    for (int i = 0; i < 4; ++i) tu::platform::AudioPull(mix, 4096);
    char answer[32];
    tu::platform::MidiCommand("status fuzz mode", answer, sizeof answer);
    tu::platform::MidiCommand("close fuzz", nullptr, 0);
  }
  tu::platform::ClearMessages();
  return 0;
}
