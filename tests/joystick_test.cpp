#include "headless.h"
#include "platform/seams.h"

using testing_support::HeadlessTest;
using tu::platform::InjectJoystick;

namespace {

class Joystick : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InjectJoystick(0, true);  // resting at 32767, 32767
    InjectJoystick(1, false);
    tuSystem::InitJoystick();
  }
  void TearDown() override {
    InjectJoystick(0, false);
    InjectJoystick(1, false);
  }
  void Frame(float seconds) { tuSystem::sys.frameSeconds = seconds; }
};

TEST_F(Joystick, CentreIsTakenAtStartAndThresholdsSplitTheRange) {
  int cx, cy;
  tuSystem::GetJoystickCenter(0, &cx, &cy);
  EXPECT_EQ(cx, 32767);
  EXPECT_EQ(cy, 32767);
  struct Case {
    uint32_t x, y;
    int ax, ay, dir;
  } cases[] = {
      {16383, 32767, -1, 0, 4}, {16384, 32767, 0, 0, 5},  {49150, 32767, 1, 0, 6},
      {49149, 32767, 0, 0, 5},  {32767, 0, 0, -1, 8},     {0, 0, -1, -1, 7},
      {65535, 0, 1, -1, 9},     {0, 65535, -1, 1, 1},     {32767, 65535, 0, 1, 2},
      {65535, 65535, 1, 1, 3},
  };
  for (const Case& c : cases) {
    InjectJoystick(0, true, c.x, c.y);
    int ax, ay;
    tuSystem::GetJoyAxes(0, &ax, &ay);
    EXPECT_EQ(ax, c.ax) << c.x;
    EXPECT_EQ(ay, c.ay) << c.y;
    EXPECT_EQ(tuSystem::GetJoyDirection(0), c.dir) << c.x << "," << c.y;
  }
}

TEST_F(Joystick, AbsentStickReadsNeutral) {
  int x = 9, y = 9;
  tuSystem::GetJoyPosition(1, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(tuSystem::GetJoyDirection(1), 5);
  EXPECT_EQ(tuSystem::GetJoyDirection(7), 5);
  EXPECT_EQ(tuSystem::JoyButton(1, 1), 0);
  EXPECT_EQ(tuSystem::GetJoyButton(1, 1), 0);
  int cx = 1, cy = 1;
  tuSystem::GetJoystickCenter(1, &cx, &cy);
  EXPECT_EQ(cx, 0);
  EXPECT_EQ(cy, 0);
}

TEST_F(Joystick, AnalogRampsToFullInHalfASecondAndBackWithoutCrossing) {
  tuSystem::SetJoystickSpeed(0, 200.0f, 0.0f);
  InjectJoystick(0, true, 65535, 32767);
  int x = 0, y = 0;
  for (int i = 0; i < 30; ++i) {  // 30 frames of 1/60 s
    Frame(1.0f / 60.0f);
    tuSystem::GetJoyAnalog(0, &x, &y);
  }
  EXPECT_GE(x, 99);
  Frame(0.5f);
  tuSystem::GetJoyAnalog(0, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 0);
  InjectJoystick(0, true, 32767, 32767);
  Frame(0.25f);
  tuSystem::GetJoyAnalog(0, &x, &y);
  EXPECT_EQ(x, 50);
  Frame(0.4f);  // more than enough to pass zero
  tuSystem::GetJoyAnalog(0, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(tuSystem::joy.records[0].analogX, 0.0f);
}

TEST_F(Joystick, ButtonsAdvanceLikeKeysAndAPressBetweenPollsIsNotSeen) {
  InjectJoystick(0, true, 32767, 32767, 0b0001);
  EXPECT_EQ(tuSystem::GetJoyButton(0, 1), 1);
  EXPECT_EQ(tuSystem::GetJoyButton(0, 1), 3);
  InjectJoystick(0, true, 32767, 32767, 0);
  EXPECT_EQ(tuSystem::GetJoyButton(0, 1), 2);
  EXPECT_EQ(tuSystem::GetJoyButton(0, 1), 0);
  // Pressed and released again before the next poll: still up.
  InjectJoystick(0, true, 32767, 32767, 1);
  InjectJoystick(0, true, 32767, 32767, 0);
  EXPECT_EQ(tuSystem::GetJoyButton(0, 1), 0);

  InjectJoystick(0, true, 32767, 32767, 0b1010);
  int s[4];
  tuSystem::GetJoyButtonStates(0, &s[0], &s[1], &s[2], &s[3]);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 1);
  EXPECT_EQ(s[3], 1);
  tuDraw::draw.fadeStep = 3;  // hidden during a fade
  EXPECT_EQ(tuSystem::GetJoyButton(0, 2), 0);
  tuDraw::draw.fadeStep = 0;
  EXPECT_EQ(tuSystem::GetJoyButton(0, 2), 1);
  EXPECT_EQ(tuSystem::JoyButton(0, 4), 1);
  EXPECT_EQ(tuSystem::JoyButton(0, 33), 0);
  // A failed read leaves the stored states alone.
  InjectJoystick(0, false);
  EXPECT_EQ(tuSystem::GetJoyButton(0, 2), 0);
  EXPECT_EQ(tuSystem::joy.records[0].buttonState[1], 1);
}

TEST_F(Joystick, HoldTimersGrowWithTheRateCapAtOneHundredAndClearOnRelease) {
  tuSystem::SetJoystickSpeed(0, 0.0f, 60.0f);
  InjectJoystick(0, true, 32767, 32767, 0b0100);
  Frame(0.5f);
  EXPECT_EQ(tuSystem::GetJoyButtonTime(0, 3), 30);
  Frame(1.0f);
  EXPECT_EQ(tuSystem::GetJoyButtonTime(0, 3), 90);
  EXPECT_EQ(tuSystem::GetJoyButtonTime(0, 3), 100);
  int t[4];
  tuSystem::GetJoyButtonTimes(0, &t[0], &t[1], &t[2], &t[3]);
  EXPECT_EQ(t[2], 100);
  EXPECT_EQ(t[0], 0);
  InjectJoystick(0, false);
  tuSystem::GetJoyButtonTimes(0, &t[0], &t[1], &t[2], &t[3]);
  EXPECT_EQ(t[2], 0);                                      // zeros on a failed read...
  EXPECT_EQ(tuSystem::joy.records[0].holdTime[2], 100.0f);  // ...timers kept
  EXPECT_EQ(tuSystem::GetJoyButtonTime(0, 3), 0);          // the single read clears it
  tuSystem::ResetJoystick();
  EXPECT_EQ(tuSystem::joy.records[0].holdRate, 60.0f);
}

}  // namespace
