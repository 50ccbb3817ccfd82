#pragma once
#include <cstdint>

// The frame loop's side of the keys by frame (IsKeyPressed and its kin, tuSystem.h).
namespace tuSystem {

// Notes a key message's edge for the next frame step (repeats of a held key are no edge).
void NoteKeyMessage(uint32_t message, int vk);
// Takes every key's state for the frame that begins.
void TakeFrameKeys();

}  // namespace tuSystem
