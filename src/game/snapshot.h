#pragma once
#include <cstdint>

#include <tu/types.h>

#include "game/interlude.h"
#include "game/model.h"

// The whole state a step of the game reads and changes, to be saved, put back and compared:
// the game's own state with its generator and every key state, the interlude, and the
// shell's and the drawing's fields the game reads (the clock, the scene numbers, the frame time,
// the keys a computer holds, the opening wipe). Pictures, sounds and the frame meter are output
// and are not part of it; the keys' down state is the step's input.
struct GameSnapshot {
  GameState game;
  InterludeState interlude;
  uint32_t tick = 0;
  int sceneNo = 0, prevSceneNo = 0, sceneEntered = 0, nextSceneNo = 0, scenesSuspended = 0, keyCaptureMode = 0;
  float frameSeconds = 0.0f;
  uint32_t lastFrameTime = 0;
  uint8_t drivenKeys[256] = {};
  tu::Rect clipRect, wipeSaved;
  int wipeState = 0, wipeDone = 0, wipeAux = 0, wipeDirection = 0, wipePattern = 0, wipeBand = 0;
  float wipeSpeed = 0.0f;
  int fadeStep = 0, fadeDirection = 0, scrollViewOn = 0;
};

// Copies the live state into `out`.
void Snapshot(GameSnapshot& out);
// Puts the live state back as `s` holds it; the clock too, where the program runs headless.
void Restore(const GameSnapshot& s);
// A 64-bit digest of every field of `s` (never of padding): equal states give equal digests, and
// a change of any one field changes it.
uint64_t Checksum(const GameSnapshot& s);
// The digest of the live state.
uint64_t Checksum();
// The digest a replay checks: the rules' state alone (the game without its computer players'
// thoughts, which a replay does not need, and the opening wipe).
uint64_t ReplayDigest();

