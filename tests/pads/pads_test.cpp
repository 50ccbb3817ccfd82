// Pads play the real game: virtual joysticks in the common controller layout are plugged,
// pressed and pulled while the program runs frame by frame in a window of the dummy driver.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/game.h"
#include "game/model.h"
#include "platform/keyboard.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace {

// A pad as SDL's game-controller layer sees a virtual joystick of its own layout: button n is
// SDL_CONTROLLER_BUTTON n, axis 0 and 1 the left stick.
class VirtualPad {
 public:
  void Plug() {
    SDL_VirtualJoystickDesc d{};
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = SDL_CONTROLLER_AXIS_MAX;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    d.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    d.name = "test pad";
    int device = SDL_JoystickAttachVirtualEx(&d);
    ASSERT_GE(device, 0) << SDL_GetError();
    joystick_ = SDL_JoystickOpen(device);
    ASSERT_NE(joystick_, nullptr) << SDL_GetError();
  }
  void Unplug() {
    SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
  void Button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, b, down ? 1 : 0);
  }
  void StickX(Sint16 x) { SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTX, x); }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

class Pads : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    char folder[] = "/tmp/qpads.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("XDG_RUNTIME_DIR", folder, 1);  // the single-instance lock of this run alone
    tu::platform::SetHeadless(false);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    static char name[] = "quorbistane";
    char* argv[] = {name, nullptr};
    ASSERT_EQ(tuSystem::Start(1, argv, GameProgram()), 1);
    tu::platform::UseManualClock(true);
    tuDraw::SetVSync(0);  // frames as fast as they come; the clock advances by hand
  }
  void TearDown() override {
    tuSystem::Exit();
    while (tuSystem::Turn()) {
    }
    tu::platform::DestroyMainWindow();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      tu::platform::AdvanceTick(16);
      ASSERT_TRUE(tuSystem::RunToNextFrame());
    }
  }
  // Held over a few frames, as a hand does, then let go.
  void Press(VirtualPad& pad, SDL_GameControllerButton b) {
    pad.Button(b, true);
    Frames(3);
    pad.Button(b, false);
    Frames(3);
  }
  // Frames until player 2 steers a piece (at most five seconds).
  void UntilPlayerTwoSteers() {
    for (int i = 0; i < 300 && game.player[1].phase != kPhaseControl; ++i) Frames(1);
    ASSERT_EQ(game.player[1].phase, kPhaseControl);
  }
};

TEST_F(Pads, TwoPadsPlayAVersusGameAndAPulledPadLetsGoOfItsKeys) {
  VirtualPad first, second;
  first.Plug();
  second.Plug();
  Frames(2);
  ASSERT_TRUE(tuSystem::PadConnected(0));
  ASSERT_TRUE(tuSystem::PadConnected(1));

  // The first pad chooses the versus game and its own level, the second pad its level.
  Press(first, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_EQ(game.gameMode, 1);
  Press(first, SDL_CONTROLLER_BUTTON_A);
  Press(first, SDL_CONTROLLER_BUTTON_A);
  ASSERT_EQ(game.menuLevel, 2);
  Press(second, SDL_CONTROLLER_BUTTON_A);
  ASSERT_EQ(tuSystem::sys.sceneNo, 1);
  UntilPlayerTwoSteers();

  // South turns clockwise, east anticlockwise, for player 2 only.
  PlayerState& p2 = game.player[1];
  const int facing = PieceOrientation(p2), otherFacing = PieceOrientation(game.player[0]);
  Press(second, SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(PieceOrientation(p2), facing % 4 + 1);
  EXPECT_EQ(PieceOrientation(game.player[0]), otherFacing);
  Press(second, SDL_CONTROLLER_BUTTON_B);
  EXPECT_EQ(PieceOrientation(p2), facing);

  // Down drops the piece until it is set; player 1's piece is still falling at its own pace.
  second.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  for (int i = 0; i < 200 && p2.phase == kPhaseControl; ++i) Frames(1);
  second.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  EXPECT_NE(p2.phase, kPhaseControl);
  EXPECT_EQ(game.player[0].phase, kPhaseControl);
  UntilPlayerTwoSteers();

  // Pulled out while the stick holds left: the key is released, seen once as released.
  second.StickX(-32767);
  Frames(3);
  int left = 0;
  tuSystem::GetKey(vk::A, &left);
  tuSystem::GetKey(vk::A, &left);
  ASSERT_EQ(left, 3);
  second.Unplug();
  Frames(1);
  EXPECT_FALSE(tuSystem::PadConnected(1));
  tuSystem::GetKey(vk::A, &left);
  EXPECT_EQ(left, 2);
  const int slot = p2.pieceSlot;
  Frames(20);
  EXPECT_EQ(game.keys.left[1], 0);
  EXPECT_EQ(p2.pieceSlot, slot);

  // A pad plugged in again takes the free player; the stick's dead zone ignores small pushes.
  VirtualPad again;
  again.Plug();
  Frames(1);
  ASSERT_TRUE(tuSystem::PadConnected(1));
  EXPECT_TRUE(tuSystem::PadConnected(0));
  UntilPlayerTwoSteers();
  again.StickX(9000);
  Frames(1);
  EXPECT_EQ(tu::platform::KeyDownState(vk::D), 0);
  const int before = p2.pieceSlot;
  again.StickX(32767);
  Frames(2);
  again.StickX(0);
  Frames(2);
  EXPECT_EQ(p2.pieceSlot, before + 1);

  // Start pauses both players; a pad pulled out while it holds Start keeps the pause, which
  // the other pad's Start ends.
  again.Button(SDL_CONTROLLER_BUTTON_START, true);
  Frames(3);
  EXPECT_EQ(game.player[0].phase, kPhasePaused);
  again.Unplug();
  Frames(5);
  EXPECT_EQ(p2.phase, kPhasePaused);
  Press(first, SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(p2.phase, kPhaseControl);

  // No pad button ends the program.
  for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
    first.Button(static_cast<SDL_GameControllerButton>(b), true);
  Frames(5);
  EXPECT_EQ(tuSystem::sys.closeState, 0);
  first.Unplug();
}

}  // namespace
