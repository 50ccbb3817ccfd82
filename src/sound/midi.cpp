// MIDI music: one Standard MIDI File at a time under the alias "midi", restarted at its end
// while looping is on. The sequencer answers command strings; the end of a piece arrives as
// the window's notify message.
#include <cstdio>
#include <cstring>

#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include "platform/midi.h"

namespace tuSound {

MidiState midi;

namespace {
// Results are ignored: a missing file or device leaves the commands failing quietly.
void Send(const char* command) { tu::platform::MidiCommand(command, nullptr, 0); }
}  // namespace

int InitMidi() {
  midi.open = 0;
  midi.loop = 1;
  return 1;
}

void PlayMidi(const char* file, int loop) {
  char command[1024];
  snprintf(command, sizeof command, "open \"%s%s\" type sequencer alias midi",
           tuSystem::GetPath(0), file ? file : "");
  if (midi.open == 1) StopMidi();
  Send(command);
  Send("seek midi to start");
  Send("play midi notify");
  midi.open = 1;
  midi.loop = loop;
}

void StopMidi() {
  if (midi.open != 1) return;
  Send("stop midi");
  Send("close midi");
  midi.open = 0;
}

void CloseMidi() {
  Send("stop midi");
  Send("close midi");
}

void MidiOnce() { midi.loop = 0; }

void MidiNotify() {
  if (midi.loop == 1) {
    Send("seek midi to start");
    Send("play midi notify");
  } else {
    StopMidi();
  }
}

void MidiNotifyMessage(int flag) {
  if (flag != static_cast<int>(tu::platform::MCI_NOTIFY_SUCCESSFUL) || midi.open != 1) return;
  char mode[32];
  tu::platform::MidiCommand("status midi mode", mode, sizeof mode);
  if (strncmp(mode, "st", 2) == 0) MidiNotify();
}

}  // namespace tuSound
