#include "platform/keyboard.h"

#include <SDL2/SDL.h>

#include <array>

#include "platform/gamepad.h"
#include "platform/headless.h"
#include "platform/seams.h"

namespace tu::platform {
namespace {

std::array<bool, 256> injected{};

struct Pair {
  int vk;
  SDL_Scancode sc;
};
// Keys that do not depend on the layout. Letters and digits are found by the character.
constexpr Pair kFixed[] = {
    {8, SDL_SCANCODE_BACKSPACE},   {9, SDL_SCANCODE_TAB},        {13, SDL_SCANCODE_RETURN},
    {16, SDL_SCANCODE_LSHIFT},     {17, SDL_SCANCODE_LCTRL},     {18, SDL_SCANCODE_LALT},
    {19, SDL_SCANCODE_PAUSE},      {20, SDL_SCANCODE_CAPSLOCK},  {27, SDL_SCANCODE_ESCAPE},
    {32, SDL_SCANCODE_SPACE},      {33, SDL_SCANCODE_PAGEUP},    {34, SDL_SCANCODE_PAGEDOWN},
    {35, SDL_SCANCODE_END},        {36, SDL_SCANCODE_HOME},      {37, SDL_SCANCODE_LEFT},
    {38, SDL_SCANCODE_UP},         {39, SDL_SCANCODE_RIGHT},     {40, SDL_SCANCODE_DOWN},
    {44, SDL_SCANCODE_PRINTSCREEN}, {45, SDL_SCANCODE_INSERT},   {46, SDL_SCANCODE_DELETE},
    {96, SDL_SCANCODE_KP_0},       {97, SDL_SCANCODE_KP_1},      {98, SDL_SCANCODE_KP_2},
    {99, SDL_SCANCODE_KP_3},       {100, SDL_SCANCODE_KP_4},     {101, SDL_SCANCODE_KP_5},
    {102, SDL_SCANCODE_KP_6},      {103, SDL_SCANCODE_KP_7},     {104, SDL_SCANCODE_KP_8},
    {105, SDL_SCANCODE_KP_9},      {106, SDL_SCANCODE_KP_MULTIPLY}, {107, SDL_SCANCODE_KP_PLUS},
    {109, SDL_SCANCODE_KP_MINUS},  {110, SDL_SCANCODE_KP_PERIOD}, {111, SDL_SCANCODE_KP_DIVIDE},
    {112, SDL_SCANCODE_F1},        {113, SDL_SCANCODE_F2},       {114, SDL_SCANCODE_F3},
    {115, SDL_SCANCODE_F4},        {116, SDL_SCANCODE_F5},       {117, SDL_SCANCODE_F6},
    {118, SDL_SCANCODE_F7},        {119, SDL_SCANCODE_F8},       {120, SDL_SCANCODE_F9},
    {121, SDL_SCANCODE_F10},       {122, SDL_SCANCODE_F11},      {123, SDL_SCANCODE_F12},
    {144, SDL_SCANCODE_NUMLOCKCLEAR}, {145, SDL_SCANCODE_SCROLLLOCK},
    {160, SDL_SCANCODE_LSHIFT},    {161, SDL_SCANCODE_RSHIFT},   {162, SDL_SCANCODE_LCTRL},
    {163, SDL_SCANCODE_RCTRL},     {164, SDL_SCANCODE_LALT},     {165, SDL_SCANCODE_RALT},
};
// Punctuation keys by the character they produce (US names of the host's OEM codes).
constexpr struct {
  int vk;
  SDL_Keycode key;
} kOem[] = {{186, SDLK_SEMICOLON}, {187, SDLK_EQUALS},       {188, SDLK_COMMA},
            {189, SDLK_MINUS},     {190, SDLK_PERIOD},       {191, SDLK_SLASH},
            {192, SDLK_BACKQUOTE}, {219, SDLK_LEFTBRACKET},  {220, SDLK_BACKSLASH},
            {221, SDLK_RIGHTBRACKET}, {222, SDLK_QUOTE}};

bool ScancodeDown(const Uint8* state, SDL_Scancode sc) { return sc != SDL_SCANCODE_UNKNOWN && state[sc]; }

// One side's modifier keys by scancode: names give these codes, never the generic ones.
constexpr Pair kSides[] = {{160, SDL_SCANCODE_LSHIFT}, {161, SDL_SCANCODE_RSHIFT}, {162, SDL_SCANCODE_LCTRL},
                           {163, SDL_SCANCODE_RCTRL},  {164, SDL_SCANCODE_LALT},   {165, SDL_SCANCODE_RALT}};

// Every code's name, made once: letters and digits by their character, punctuation by the
// character it types on a US layout, the rest by SDL's scancode name. SDL's names need no
// video and no keyboard layout, so the table is the same everywhere, headless too.
struct NameTable {
  char names[256][24] = {};
  NameTable() {
    for (int vk = 1; vk < 256; ++vk) {
      char* out = names[vk];
      if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        out[0] = static_cast<char>(vk);
        continue;
      }
      if (vk == 16 || vk == 17 || vk == 18) continue;  // either side: no key of its own
      for (const auto& p : kOem)
        if (p.vk == vk) out[0] = static_cast<char>(p.key);
      for (const auto& p : kFixed)
        if (p.vk == vk && !out[0]) SDL_strlcpy(out, SDL_GetScancodeName(p.sc), sizeof names[vk]);
    }
  }
};

}  // namespace

SDL_Scancode ScancodeFromVirtualKey(int vk) {
  if (vk >= 'A' && vk <= 'Z') return SDL_GetScancodeFromKey(SDLK_a + (vk - 'A'));
  if (vk >= '0' && vk <= '9') return SDL_GetScancodeFromKey(SDLK_0 + (vk - '0'));
  for (const auto& p : kFixed)
    if (p.vk == vk) return p.sc;
  for (const auto& p : kOem)
    if (p.vk == vk) return SDL_GetScancodeFromKey(p.key);
  return SDL_SCANCODE_UNKNOWN;
}

int VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<int>(key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<int>(key - SDLK_0);
  switch (scancode) {
    case SDL_SCANCODE_RSHIFT: return 16;
    case SDL_SCANCODE_RCTRL: return 17;
    case SDL_SCANCODE_RALT: return 18;
    case SDL_SCANCODE_KP_ENTER: return 13;
    default: break;
  }
  for (const auto& p : kFixed)
    if (p.sc == scancode) return p.vk;  // the generic code comes first in the table
  for (const auto& p : kOem)
    if (p.key == key) return p.vk;
  return 0;
}

const char* KeyNameOf(int vk) {
  static const NameTable table;
  return vk > 0 && vk < 256 ? table.names[vk] : "";
}

int VirtualKeyFromName(const char* name) {
  if (!name || !name[0]) return 0;
  SDL_Keycode key = SDL_GetKeyFromName(name);
  if (key == SDLK_UNKNOWN) return 0;
  if (key >= 'A' && key <= 'Z') key += 'a' - 'A';
  SDL_Scancode sc = (key & SDLK_SCANCODE_MASK) ? static_cast<SDL_Scancode>(key & ~SDLK_SCANCODE_MASK)
                                               : SDL_GetScancodeFromName(name);
  for (const auto& p : kSides)
    if (p.sc == sc) return p.vk;
  return VirtualKeyFromSdl(key, sc);
}

int KeyDownState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  if (PadHoldsKey(vk)) return 0x80;
  if (Headless()) return injected[vk] ? 0x80 : 0;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  bool down;
  switch (vk) {  // the generic modifier codes cover both keys
    case 16: down = state[SDL_SCANCODE_LSHIFT] || state[SDL_SCANCODE_RSHIFT]; break;
    case 17: down = state[SDL_SCANCODE_LCTRL] || state[SDL_SCANCODE_RCTRL]; break;
    case 18: down = state[SDL_SCANCODE_LALT] || state[SDL_SCANCODE_RALT]; break;
    case 13: down = state[SDL_SCANCODE_RETURN] || state[SDL_SCANCODE_KP_ENTER]; break;
    default: down = ScancodeDown(state, ScancodeFromVirtualKey(vk)); break;
  }
  return down ? 0x80 : 0;
}

void InjectKey(int vk, bool down) {
  if (vk >= 0 && vk <= 255) injected[vk] = down;
}

void ClearInjectedKeys() { injected.fill(false); }

}  // namespace tu::platform
