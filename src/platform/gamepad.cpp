#include "platform/gamepad.h"

#include <SDL2/SDL.h>

#include <array>
#include <cstring>

#include "platform/headless.h"
#include "platform/window.h"

namespace tu::platform {
namespace {

struct Slot {
  SDL_GameController* pad = nullptr;
  SDL_JoystickID id = -1;
  uint32_t buttons = 0;  // inputs held by buttons, a bit per PadInput
  uint32_t stick = 0;    // directions held by the left stick
};

bool running = false;
uint8_t keyOf[kPadPlayers][kPadInputs] = {};
Slot slots[kPadPlayers];
std::array<bool, 256> keyHeld{};

constexpr struct {
  SDL_GameControllerButton button;
  PadInput input;
} kButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, kPadLeft},   {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, kPadRight},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, kPadUp},       {SDL_CONTROLLER_BUTTON_DPAD_DOWN, kPadDown},
    {SDL_CONTROLLER_BUTTON_A, kPadSouth},          {SDL_CONTROLLER_BUTTON_B, kPadEast},
    {SDL_CONTROLLER_BUTTON_X, kPadWest},           {SDL_CONTROLLER_BUTTON_Y, kPadNorth},
    {SDL_CONTROLLER_BUTTON_START, kPadStart},      {SDL_CONTROLLER_BUTTON_BACK, kPadBack},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, kPadLeftShoulder},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, kPadRightShoulder},
};

// The stick's dead zone, with a margin so a stick resting near the edge does not flicker:
// a direction is taken beyond half the travel and let go below 40 %.
constexpr int kStickPress = 16384, kStickRelease = 13107;

uint32_t Bit(PadInput input) { return 1u << input; }

// One stick axis: the low or high direction held, given what was held before.
uint32_t StickAxis(Sint16 value, uint32_t before, PadInput low, PadInput high) {
  int v = value;
  if (v < -((before & Bit(low)) ? kStickRelease : kStickPress)) return Bit(low);
  if (v > ((before & Bit(high)) ? kStickRelease : kStickPress)) return Bit(high);
  return 0;
}

void CountKeys() {
  keyHeld.fill(false);
  for (int p = 0; p < kPadPlayers; ++p)
    for (int i = 0; i < kPadInputs; ++i)
      if (((slots[p].buttons | slots[p].stick) & Bit(PadInput(i))) && keyOf[p][i])
        keyHeld[keyOf[p][i]] = true;
}

// The pad's inputs as SDL holds them now.
void ReadPad(Slot& s) {
  s.buttons = 0;
  for (const auto& b : kButtons)
    if (SDL_GameControllerGetButton(s.pad, b.button)) s.buttons |= Bit(b.input);
  const Sint16 x = SDL_GameControllerGetAxis(s.pad, SDL_CONTROLLER_AXIS_LEFTX);
  const Sint16 y = SDL_GameControllerGetAxis(s.pad, SDL_CONTROLLER_AXIS_LEFTY);
  s.stick = StickAxis(x, s.stick, kPadLeft, kPadRight) | StickAxis(y, s.stick, kPadUp, kPadDown);
}

int SlotOf(SDL_JoystickID id) {
  for (int p = 0; p < kPadPlayers; ++p)
    if (slots[p].pad && slots[p].id == id) return p;
  return -1;
}

// Gives the pad at `device` the first free player; with both players taken it waits.
void Open(int device) {
  if (!SDL_IsGameController(device) || SlotOf(SDL_JoystickGetDeviceInstanceID(device)) >= 0)
    return;
  for (Slot& s : slots) {
    if (s.pad) continue;
    s.pad = SDL_GameControllerOpen(device);
    if (!s.pad) return;
    s.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(s.pad));
    ReadPad(s);
    return;
  }
}

void OpenWaiting() {
  for (int d = 0; d < SDL_NumJoysticks(); ++d) Open(d);
  CountKeys();
}

void Close(Slot& s) {
  if (s.pad) SDL_GameControllerClose(s.pad);
  s = Slot{};
}

void OnEvent(const SDL_Event& e) {
  if (!running) return;
  int p = -1;
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      OpenWaiting();
      return;
    case SDL_CONTROLLERDEVICEREMOVED:
      p = SlotOf(e.cdevice.which);
      if (p < 0) return;
      Close(slots[p]);
      OpenWaiting();  // a waiting pad takes the free player
      return;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: p = SlotOf(e.cbutton.which); break;
    case SDL_CONTROLLERAXISMOTION: p = SlotOf(e.caxis.which); break;
    default: return;
  }
  if (p < 0) return;
  ReadPad(slots[p]);
  CountKeys();
}

}  // namespace

bool StartPads(const uint8_t keys[kPadPlayers][kPadInputs], const char** error) {
  static const char* none = "";
  if (error) *error = none;
  std::memcpy(keyOf, keys, sizeof keyOf);
  if (Headless()) return true;
  if (!running) {
    // The frame loop stops while the window is inactive, so pads may be read then: a button
    // let go in another window is seen as let go.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Face buttons by their place, whatever is printed on them.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
      if (error) *error = SDL_GetError();
      return false;
    }
    AddEventObserver(&OnEvent);
    running = true;
  }
  OpenWaiting();
  return true;
}

void StopPads() {
  for (Slot& s : slots) Close(s);
  keyHeld.fill(false);
  if (running) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  running = false;
}

bool PadHoldsKey(int vk) { return vk >= 0 && vk < 256 && keyHeld[vk]; }

bool PadConnected(int player) {
  return player >= 0 && player < kPadPlayers && slots[player].pad != nullptr;
}

}  // namespace tu::platform
