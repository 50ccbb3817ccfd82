#pragma once
#include <cstdint>

// The game's input: which of each player's actions (settings.h kAct...) are held. A step takes
// it once, before its rules run, from the keys bound to the actions or from a replay; the rules
// then poll actions, never keys, so the same inputs give the same game.
struct StepInput {
  uint8_t held[2] = {};  // bit `action` of player `pl`
  bool Held(int pl, int action) const { return (held[pl] >> action) & 1; }
  bool operator==(const StepInput&) const = default;
};

// The actions held now, read from their bound keys (a computer's driven keys included). A
// second player's pause bound to player 1's key is player 1's alone.
StepInput ReadInput();
// The input the rules poll until the next call.
void UseInput(const StepInput& in);
const StepInput& CurrentInput();
// Advances a key state (tu::kKeyState...) of the game by whether player `pl` holds `action`.
void PollAction(int pl, int action, int* state);
