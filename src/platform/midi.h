#pragma once
#include <cstdint>
#include <vector>

// The MIDI sequencer, driven by command strings as the host's media control interface takes
// them, playing Standard MIDI Files through a General MIDI software synthesiser mixed into the
// sound device's output. One device under one alias at a time. Commands:
//   open "<path>" type sequencer alias <alias>
//   seek <alias> to start
//   play <alias> [notify]      notify: MM_MCINOTIFY is posted when the piece ends
//   stop <alias>
//   close <alias>
//   status <alias> mode        answers "playing" or "stopped"
// A play with notify that is superseded by another, or ended by stop or close, posts its
// notify with MCI_NOTIFY_SUPERSEDED or MCI_NOTIFY_ABORTED instead.
namespace tu::platform {

constexpr uintptr_t MCI_NOTIFY_SUCCESSFUL = 1, MCI_NOTIFY_SUPERSEDED = 2, MCI_NOTIFY_ABORTED = 4,
                    MCI_NOTIFY_FAILURE = 8;

// Result codes: 0 done, otherwise the command failed and did nothing.
constexpr int MIDI_OK = 0;
constexpr int MIDI_ERR_UNKNOWN_COMMAND = 1;
constexpr int MIDI_ERR_NO_DEVICE = 2;      // no device open under that alias
constexpr int MIDI_ERR_ALIAS_IN_USE = 3;
constexpr int MIDI_ERR_FILE = 4;           // missing, unreadable or not a Standard MIDI File
constexpr int MIDI_ERR_NO_SYNTH = 5;       // the sound font cannot be loaded

// Sends one command; `answer` (if not null) receives the status reply, or "" on failure.
int MidiCommand(const char* command, char* answer, int answerSize);

// The sound font is the default General MIDI font unless a test sets another
// (platform/seams.h); a font that cannot be loaded leaves MIDI silent, with one line on stderr.

// Checks a Standard MIDI File strictly (header, chunk sizes, every event of every track) and
// rebuilds it from its header and track chunks alone, other chunks left out; false, with `out`
// empty, for anything malformed, for a file without tracks, and for time in frames per second.
bool CleanMidiFile(const std::vector<uint8_t>& in, std::vector<uint8_t>& out);
// Closes the device and frees the synthesiser (the next open loads the font again).
void MidiShutdown();

}  // namespace tu::platform
