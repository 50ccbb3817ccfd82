#pragma once
#include <cstdint>

// tuSound: the sound device, WAV reading, the 70-entry sound object table and playback,
// sound packs, streaming and MIDI.
namespace tuSound {

constexpr int kMaxSounds = 70;

int Init();
void Release();
// Empties the sound object table (display set-up calls it after Init).
void ResetObjects();
// Resets the MIDI state: open 0, loop 1. Returns 1.
int InitMidi();

// Loads a WAV file (relative to the program folder) or resource into a sound object with
// `mix` channels; returns the sound id or -1.
int LoadObject(const char* name, int mix);
void Play(int id, int ch);
void PlayLoop(int id, int ch);
void Stop(int id, int ch);

// The window procedure's MIDI notify branch: `flag` 1 is a successful end of the piece.
void MidiNotifyMessage(int flag);

}  // namespace tuSound
