#include "headless.h"

using testing_support::HeadlessTest;

namespace {

class Timing : public HeadlessTest {};

TEST_F(Timing, FrameSecondsAcrossTheWrapStaysSmallAndPositive) {
  tu::platform::SetTick(0xFFFFFFF0u);
  tuSystem::ResetFrameTime();
  tu::platform::AdvanceTick(0x20);  // wraps past zero
  tuSystem::UpdateFrameTime();
  EXPECT_FLOAT_EQ(tuSystem::sys.frameSeconds, 0.032f);
  EXPECT_EQ(tuSystem::sys.lastFrameTime, 0x10u);
}

TEST_F(Timing, WaitSlotRangeIsCheckedAndReported) {
  EXPECT_EQ(tuSystem::SetWait(0, 10), 0);
  EXPECT_EQ(tuSystem::SetWait(11, 10), 0);
  EXPECT_EQ(tuSystem::InitWait(11), 0);
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 3u);
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].text, "tuSystem::SetWait : ウェイトNoが範囲外です");
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].caption, "エラー発生");
  EXPECT_EQ(tu::platform::RecordedBoxes()[2].text, "tuSystem::InitWait : ウェイトNoが範囲外です");
  EXPECT_EQ(tuSystem::ErrorRaised(), 1);
  EXPECT_EQ(tuSystem::SetWait(1, 10), 1);
  EXPECT_EQ(tuSystem::SetWait(10, 10), 1);
}

TEST_F(Timing, WaitSlotExpiresFromItsOwnMillisecond) {
  tu::platform::SetTick(1000);
  tuSystem::SetWait(3, 0);
  EXPECT_EQ(tuSystem::CheckWait(3), 1);
  tuSystem::SetWait(3, 50);
  tu::platform::AdvanceTick(49);
  EXPECT_EQ(tuSystem::CheckWait(3), 0);
  tu::platform::AdvanceTick(1);
  EXPECT_EQ(tuSystem::CheckWait(3), 1);
}

TEST_F(Timing, WaitsArmedAcrossTheWrapLastTheirDelay) {
  tu::platform::SetTick(0xFFFFFFF0u);
  tuSystem::SetWait(2, 0x20);  // deadline wraps to 0x10, below the tick
  EXPECT_EQ(tuSystem::CheckWait(2), 0);
  tu::platform::AdvanceTick(0x1F);
  EXPECT_EQ(tuSystem::CheckWait(2), 0);
  tu::platform::AdvanceTick(1);
  EXPECT_EQ(tuSystem::CheckWait(2), 1);
  tu::platform::SetTick(0xFFFFFFF0u);
  tuSystem::Delay(0x20);
  EXPECT_EQ(tu::platform::Tick(), 0x11u);  // strictly past the deadline, on the manual clock
}

TEST_F(Timing, DisarmedAndOutOfRangeSlotsNeverExpire) {
  tuSystem::ResetWaits();
  tu::platform::SetTick(2000000000u);  // far past WAIT_NEVER as a tick value
  EXPECT_EQ(tuSystem::CheckWait(1), 0);
  tuSystem::SetWait(1, 5);
  tuSystem::InitWait(1);
  EXPECT_EQ(tuSystem::CheckWait(1), 0);
  EXPECT_EQ(tuSystem::CheckWait(0), 0);
  EXPECT_EQ(tuSystem::CheckWait(12), 0);
  EXPECT_EQ(tuSystem::CheckWait(-5), 0);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(Timing, DelayRunsPastItsDeadlineAndRestartsTheStopwatch) {
  tu::platform::SetTick(500);
  tuSystem::sys.frameSeconds = 1.5f;
  tuSystem::Delay(20);
  EXPECT_GT(tu::platform::Tick(), 520u);
  EXPECT_EQ(tuSystem::sys.frameSeconds, 0.0f);
  EXPECT_EQ(tuSystem::sys.lastFrameTime, tu::platform::Tick());
}

}  // namespace
