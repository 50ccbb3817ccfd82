#pragma once
// Helpers shared by the tuSound sources.
#include "sound/tuSound.h"

namespace tuSound::detail {

// The object of a used entry, or null for an id out of range, a free entry or no sound.
SoundObject* UsedObject(int id);
// Stops, releases and nulls every buffer of the object; its settings stay.
void ReleaseBuffers(SoundObject& o);
// Re-creates the buffers of every used entry in place, from its stored name and settings.
void Rebuild();

}  // namespace tuSound::detail
