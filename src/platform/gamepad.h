#pragma once
#include <cstdint>

// Game pads through SDL's game-controller layer: any pad it knows (its mapping database, or
// SDL_GAMECONTROLLERCONFIG for others) holds virtual keys down as a game's mapping says, on
// top of the keyboard. Pads play as players 1 and 2 in the order they were connected; a pad
// that leaves releases every key it held and frees its player for the next pad. Pads are read
// from the window's events; in headless mode none is read.
namespace tu::platform {

// Inputs in the common controller layout: directions from the d-pad or the left stick, face
// buttons by position, Start, Back, shoulders.
enum PadInput : int {
  kPadLeft, kPadRight, kPadUp, kPadDown,
  kPadSouth, kPadEast, kPadWest, kPadNorth,
  kPadStart, kPadBack, kPadLeftShoulder, kPadRightShoulder,
  kPadInputs
};
constexpr int kPadPlayers = 2;

// Turns pads on with keys[player][input], virtual-key codes (0 for none). False, with the
// reason in `error`, when the controller layer cannot start.
bool StartPads(const uint8_t keys[kPadPlayers][kPadInputs], const char** error);
// Closes every pad; no key stays held.
void StopPads();
// Whether a pad holds the key down.
bool PadHoldsKey(int vk);
// Whether a pad plays as `player` (0 or 1).
bool PadConnected(int player);

}  // namespace tu::platform
