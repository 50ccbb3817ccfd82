#include <SDL2/SDL.h>

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

}  // namespace
