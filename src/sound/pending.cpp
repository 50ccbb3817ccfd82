// Placeholder definitions of the sound routines the shell and the game call, until the sound
// modules provide them: the library runs silent.
#include "sound/tuSound.h"

namespace tuSound {

int Init() { return 0; }
void Release() {}
void ResetObjects() {}
int InitMidi() { return 1; }
int LoadObject(const char*, int) { return -1; }
void Play(int, int) {}
void PlayLoop(int, int) {}
void Stop(int, int) {}
void MidiNotifyMessage(int) {}

}  // namespace tuSound
