#include <SDL2/SDL.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "headless.h"

using testing_support::HeadlessTest;

namespace {

class Keys : public HeadlessTest {
 protected:
  std::vector<int> Poll(int vk, int* state, std::initializer_list<bool> downs) {
    std::vector<int> seen;
    for (bool d : downs) {
      tu::platform::InjectKey(vk, d);
      tuSystem::GetKey(vk, state);
      seen.push_back(*state);
    }
    return seen;
  }
};

TEST_F(Keys, PressHoldReleaseSequence) {
  int s = 0;
  EXPECT_EQ(Poll('X', &s, {true, true, true, false, false}), (std::vector<int>{1, 3, 3, 2, 0}));
  // Released and pressed again between polls: 2 then 3, no second 1.
  s = 1;
  EXPECT_EQ(Poll('X', &s, {false, true}), (std::vector<int>{2, 3}));
}

TEST_F(Keys, FadeScrollViewAndCaptureForceZeroAndAHeldKeyReadsPressedAfterwards) {
  int s = 0;
  tu::platform::InjectKey(37, true);
  tuDraw::draw.fadeStep = 4;
  tuSystem::GetKey(37, &s);
  EXPECT_EQ(s, 0);
  tuDraw::draw.fadeStep = 0;
  tuSystem::GetKey(37, &s);
  EXPECT_EQ(s, 1);
  tuDraw::draw.scrollViewOn = 1;
  tuSystem::GetKey(37, &s);
  EXPECT_EQ(s, 0);
  tuDraw::draw.scrollViewOn = 0;
  tuSystem::CaptureKeys();
  tuSystem::GetKey(37, &s);
  EXPECT_EQ(s, 0);
  tuSystem::ReleaseKeys();
  tuSystem::GetKey(37, &s);
  EXPECT_EQ(s, 1);
}

TEST_F(Keys, ADrivenKeyTakesThePlaceOfTheKeyboardUntilReleased) {
  int s = 0;
  tu::platform::InjectKey('S', true);
  tuSystem::DriveKey('S', 0);  // held on the keyboard, driven up
  tuSystem::GetKey('S', &s);
  EXPECT_EQ(s, 0);
  tu::platform::InjectKey('S', false);
  tuSystem::DriveKey('S', 1);
  tuSystem::GetKey('S', &s);
  EXPECT_EQ(s, 1);
  tuSystem::GetKey('S', &s);
  EXPECT_EQ(s, 3);
  tuSystem::DriveKey(4096, 1);  // out of the table: ignored
  tuSystem::ReleaseDrivenKeys();
  tuSystem::GetKey('S', &s);  // the keyboard's again: up
  EXPECT_EQ(s, 2);
}

TEST_F(Keys, KeysOutsideTheTableReadUp) {
  int s = 3;
  tuSystem::GetKey(-1, &s);
  EXPECT_EQ(s, 2);
  tuSystem::GetKey(4096, &s);
  EXPECT_EQ(s, 0);
}

TEST_F(Keys, TriggerFiresOnceAfterReleaseAndArmsOnlyWhenNothingIsHeld) {
  const int codes[] = {'X', 13, 0};
  tuSystem::WndProc(tu::platform::WM_KEYDOWN, 'X', 0);
  EXPECT_EQ(tuSystem::GetTrigger(codes), 0);  // held: nothing yet, and not armed
  tuSystem::WndProc(tu::platform::WM_KEYUP, 'X', 0);
  EXPECT_EQ(tuSystem::GetTrigger(codes), 'X');
  EXPECT_EQ(tuSystem::sys.lastKey, 0);
  EXPECT_EQ(tuSystem::GetTrigger(codes), 0);
}

TEST_F(Keys, TriggerRemembersAPressMadeBeforeItsFirstCall) {
  const int codes[] = {'Z', 2, 0};
  tuSystem::WndProc(tu::platform::WM_KEYDOWN, 'Z', 0);
  tuSystem::WndProc(tu::platform::WM_KEYUP, 'Z', 0);
  EXPECT_EQ(tuSystem::GetTrigger(codes), 'Z');
  tuSystem::WndProc(tu::platform::WM_RBUTTONDOWN, 0, 0);
  EXPECT_EQ(tuSystem::GetTrigger(codes), 0);  // armed needs nothing held
  tuSystem::WndProc(tu::platform::WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(tuSystem::GetTrigger(codes), 2);
  const int others[] = {'Q', 0};
  tuSystem::WndProc(tu::platform::WM_KEYDOWN, 'A', 0);
  tuSystem::WndProc(tu::platform::WM_KEYUP, 'A', 0);
  EXPECT_EQ(tuSystem::GetTrigger(others), 0);
}

TEST(KeyMapping, VirtualKeysRoundTripThroughSdlKeys) {
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_x, SDL_SCANCODE_X), 'X');
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_5, SDL_SCANCODE_5), '5');
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_LEFT, SDL_SCANCODE_LEFT), 37);
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), 27);
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_SPACE, SDL_SCANCODE_SPACE), 32);
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), 16);
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_F12, SDL_SCANCODE_F12), 123);
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_KP_7, SDL_SCANCODE_KP_7), 103);
  EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), 13);
  for (int vk : {8, 9, 13, 27, 32, 37, 38, 39, 40, 96, 105, 112, 123})
    EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDL_GetKeyFromScancode(tu::platform::ScancodeFromVirtualKey(vk)),
                                          tu::platform::ScancodeFromVirtualKey(vk)),
              vk)
        << vk;
}

// Every named key reaches an SDL key and comes back as itself (one side's modifier as the generic
// code), and every code the platform maps has a name. Letters and digits go through the
// keyboard's layout, which SDL has only with video up: the dummy driver's US layout.
TEST(KeyMapping, EveryNamedKeyMapsToAnSdlKeyAndBack) {
  struct Named {
    int vk;
    SDL_Scancode scancode;
    int back;
  };
  std::vector<Named> named = {
      {tu::kKeyBackspace, SDL_SCANCODE_BACKSPACE, tu::kKeyBackspace},
      {tu::kKeyTab, SDL_SCANCODE_TAB, tu::kKeyTab},
      {tu::kKeyEnter, SDL_SCANCODE_RETURN, tu::kKeyEnter},
      {tu::kKeyShift, SDL_SCANCODE_LSHIFT, tu::kKeyShift},
      {tu::kKeyControl, SDL_SCANCODE_LCTRL, tu::kKeyControl},
      {tu::kKeyAlt, SDL_SCANCODE_LALT, tu::kKeyAlt},
      {tu::kKeyPause, SDL_SCANCODE_PAUSE, tu::kKeyPause},
      {tu::kKeyCapsLock, SDL_SCANCODE_CAPSLOCK, tu::kKeyCapsLock},
      {tu::kKeyEscape, SDL_SCANCODE_ESCAPE, tu::kKeyEscape},
      {tu::kKeySpace, SDL_SCANCODE_SPACE, tu::kKeySpace},
      {tu::kKeyPageUp, SDL_SCANCODE_PAGEUP, tu::kKeyPageUp},
      {tu::kKeyPageDown, SDL_SCANCODE_PAGEDOWN, tu::kKeyPageDown},
      {tu::kKeyEnd, SDL_SCANCODE_END, tu::kKeyEnd},
      {tu::kKeyHome, SDL_SCANCODE_HOME, tu::kKeyHome},
      {tu::kKeyLeft, SDL_SCANCODE_LEFT, tu::kKeyLeft},
      {tu::kKeyUp, SDL_SCANCODE_UP, tu::kKeyUp},
      {tu::kKeyRight, SDL_SCANCODE_RIGHT, tu::kKeyRight},
      {tu::kKeyDown, SDL_SCANCODE_DOWN, tu::kKeyDown},
      {tu::kKeyPrintScreen, SDL_SCANCODE_PRINTSCREEN, tu::kKeyPrintScreen},
      {tu::kKeyInsert, SDL_SCANCODE_INSERT, tu::kKeyInsert},
      {tu::kKeyDelete, SDL_SCANCODE_DELETE, tu::kKeyDelete},
      {tu::kKeyPadMultiply, SDL_SCANCODE_KP_MULTIPLY, tu::kKeyPadMultiply},
      {tu::kKeyPadPlus, SDL_SCANCODE_KP_PLUS, tu::kKeyPadPlus},
      {tu::kKeyPadMinus, SDL_SCANCODE_KP_MINUS, tu::kKeyPadMinus},
      {tu::kKeyPadPeriod, SDL_SCANCODE_KP_PERIOD, tu::kKeyPadPeriod},
      {tu::kKeyPadDivide, SDL_SCANCODE_KP_DIVIDE, tu::kKeyPadDivide},
      {tu::kKeyNumLock, SDL_SCANCODE_NUMLOCKCLEAR, tu::kKeyNumLock},
      {tu::kKeyScrollLock, SDL_SCANCODE_SCROLLLOCK, tu::kKeyScrollLock},
      {tu::kKeyLeftShift, SDL_SCANCODE_LSHIFT, tu::kKeyShift},
      {tu::kKeyRightShift, SDL_SCANCODE_RSHIFT, tu::kKeyShift},
      {tu::kKeyLeftControl, SDL_SCANCODE_LCTRL, tu::kKeyControl},
      {tu::kKeyRightControl, SDL_SCANCODE_RCTRL, tu::kKeyControl},
      {tu::kKeyLeftAlt, SDL_SCANCODE_LALT, tu::kKeyAlt},
      {tu::kKeyRightAlt, SDL_SCANCODE_RALT, tu::kKeyAlt},
      {tu::kKeySemicolon, SDL_SCANCODE_SEMICOLON, tu::kKeySemicolon},
      {tu::kKeyEquals, SDL_SCANCODE_EQUALS, tu::kKeyEquals},
      {tu::kKeyComma, SDL_SCANCODE_COMMA, tu::kKeyComma},
      {tu::kKeyMinus, SDL_SCANCODE_MINUS, tu::kKeyMinus},
      {tu::kKeyPeriod, SDL_SCANCODE_PERIOD, tu::kKeyPeriod},
      {tu::kKeySlash, SDL_SCANCODE_SLASH, tu::kKeySlash},
      {tu::kKeyBackquote, SDL_SCANCODE_GRAVE, tu::kKeyBackquote},
      {tu::kKeyLeftBracket, SDL_SCANCODE_LEFTBRACKET, tu::kKeyLeftBracket},
      {tu::kKeyBackslash, SDL_SCANCODE_BACKSLASH, tu::kKeyBackslash},
      {tu::kKeyRightBracket, SDL_SCANCODE_RIGHTBRACKET, tu::kKeyRightBracket},
      {tu::kKeyQuote, SDL_SCANCODE_APOSTROPHE, tu::kKeyQuote},
  };
  const int letters[] = {tu::kKeyA, tu::kKeyB, tu::kKeyC, tu::kKeyD, tu::kKeyE, tu::kKeyF, tu::kKeyG,
                         tu::kKeyH, tu::kKeyI, tu::kKeyJ, tu::kKeyK, tu::kKeyL, tu::kKeyM, tu::kKeyN,
                         tu::kKeyO, tu::kKeyP, tu::kKeyQ, tu::kKeyR, tu::kKeyS, tu::kKeyT, tu::kKeyU,
                         tu::kKeyV, tu::kKeyW, tu::kKeyX, tu::kKeyY, tu::kKeyZ};
  for (int i = 0; i < 26; ++i)
    named.push_back({letters[i], static_cast<SDL_Scancode>(SDL_SCANCODE_A + i), letters[i]});
  // The host's row runs 1..9, 0; so do SDL's scancodes.
  const int digits[] = {tu::kKey1, tu::kKey2, tu::kKey3, tu::kKey4, tu::kKey5,
                        tu::kKey6, tu::kKey7, tu::kKey8, tu::kKey9, tu::kKey0};
  const int pad[] = {tu::kKeyPad1, tu::kKeyPad2, tu::kKeyPad3, tu::kKeyPad4, tu::kKeyPad5,
                     tu::kKeyPad6, tu::kKeyPad7, tu::kKeyPad8, tu::kKeyPad9, tu::kKeyPad0};
  const int functions[] = {tu::kKeyF1, tu::kKeyF2, tu::kKeyF3, tu::kKeyF4, tu::kKeyF5, tu::kKeyF6,
                           tu::kKeyF7, tu::kKeyF8, tu::kKeyF9, tu::kKeyF10, tu::kKeyF11, tu::kKeyF12};
  for (int i = 0; i < 10; ++i) {
    named.push_back({digits[i], static_cast<SDL_Scancode>(SDL_SCANCODE_1 + i), digits[i]});
    named.push_back({pad[i], static_cast<SDL_Scancode>(SDL_SCANCODE_KP_1 + i), pad[i]});
  }
  for (int i = 0; i < 12; ++i)
    named.push_back({functions[i], static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i), functions[i]});

  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  std::set<int> names;
  for (const Named& n : named) {
    names.insert(n.vk);
    const SDL_Scancode sc = tu::platform::ScancodeFromVirtualKey(n.vk);
    EXPECT_EQ(sc, n.scancode) << n.vk;
    EXPECT_EQ(tu::platform::VirtualKeyFromSdl(SDL_GetKeyFromScancode(sc), sc), n.back) << n.vk;
  }
  for (int vk = 0; vk < 256; ++vk) {
    if (tu::platform::ScancodeFromVirtualKey(vk) != SDL_SCANCODE_UNKNOWN) {
      EXPECT_TRUE(names.count(vk)) << "code " << vk << " is mapped but has no name";
    }
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}

// Names work without video (the simulator and the settings are read before any window): every
// key of its own has a name that gives it back in any case; the generic modifiers have none.
TEST(KeyMapping, EveryKeyOfItsOwnHasANameThatGivesItBackInAnyCase) {
  int named = 0;
  for (int vk = 1; vk < 256; ++vk) {
    std::string name = tuSystem::KeyName(vk);
    if (name.empty()) continue;
    ++named;
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(tuSystem::KeyFromName(name.c_str()), vk) << name;
    EXPECT_EQ(tuSystem::KeyFromName(lower.c_str()), vk) << lower;
  }
  EXPECT_EQ(named, 100);  // every code <tu/keys.h> names but the three that stand for either side
  const struct {
    const char* name;
    int vk;
  } cases[] = {{"Left", tu::kKeyLeft}, {"q", tu::kKeyQ}, {"KEYPAD 4", tu::kKeyPad4}, {"Right Ctrl", tu::kKeyRightControl},
               {"Keypad Enter", tu::kKeyEnter}, {"Keypad =", 0}, {"Nonsense", 0}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(tuSystem::KeyFromName(c.name), c.vk) << c.name;
  EXPECT_STREQ(tuSystem::KeyName(tu::kKeyShift), "");
  EXPECT_STREQ(tuSystem::KeyName(tu::kKeyPad4), "Keypad 4");
}

}  // namespace
