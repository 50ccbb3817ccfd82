// Placeholder definitions of sound routines that later work provides (MIDI, sound packs and
// streaming): MIDI stays closed, and no object is ever loaded from a pack or as a stream, so
// the rebuild never reaches the pack and stream loaders.
#include "sound/tuSound.h"

namespace tuSound {

int InitMidi() { return 1; }
void MidiNotifyMessage(int) {}
int LoadPack(const char*, int) { return -1; }
int LoadStream(const char*, int) { return -1; }
int ResetStream(int) { return 0; }

}  // namespace tuSound
