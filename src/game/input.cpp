#include "game/input.h"

#include <tu/tuSystem.h>

#include "game/settings.h"

namespace {
StepInput current;
}

StepInput ReadInput() {
  StepInput in;
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a) {
      if (pl == 1 && a == kActPause && BoundKey(1, a) == BoundKey(0, a)) continue;
      if (tuSystem::KeyDownNow(BoundKey(pl, a))) in.held[pl] |= static_cast<uint8_t>(1u << a);
    }
  return in;
}

void UseInput(const StepInput& in) { current = in; }

const StepInput& CurrentInput() { return current; }

void PollAction(int pl, int action, int* state) { *state = tuSystem::NextKeyState(*state, current.Held(pl, action)); }
