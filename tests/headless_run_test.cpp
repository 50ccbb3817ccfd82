// The public headless mode: a program drives itself by clock and keys, and sound follows the clock.
#include "platform/instance.h"
#include "sound_support.h"

namespace {

int keyState = 0;
float seenSeconds = 0.0f;
void Scene() {
  tuSystem::GetKey('X', &keyState);
  seenSeconds = tuSystem::sys.frameSeconds;
}
void Load() { tuSystem::sys.sceneNo = 1; }

class HeadlessRun : public sound_support::SoundTest {};

TEST_F(HeadlessRun, ClockKeysAndSoundMoveOnlyWhenTheProgramSaysSo) {
  tuSystem::UseHeadless();
  tuSystem::Program program;
  program.loadAssets = Load;
  program.scenes[1] = Scene;
  char arg0[] = "headless";
  char* argv[] = {arg0};
  ASSERT_EQ(tuSystem::Start(1, argv, program), 1);
  WriteFile("one-second.wav", sound_support::Dc16(44100, 1000));
  int id = tuSound::LoadObject("one-second.wav", 1);
  ASSERT_GE(id, 0);
  tuSound::Play(id, 0);
  ASSERT_TRUE(tuSystem::RunToNextFrame());  // the activation restarts the frame stopwatch

  tuSystem::AdvanceClock(250);
  tuSystem::PressKey('X', 1);
  ASSERT_TRUE(tuSystem::RunToNextFrame());
  EXPECT_FLOAT_EQ(seenSeconds, 0.25f);
  EXPECT_EQ(keyState, 1);
  // A quarter of a second of 44.1 kHz 16-bit mono: 11025 frames of 2 bytes went by.
  EXPECT_EQ(tuSound::GetPosition(id), 22050u);

  ASSERT_TRUE(tuSystem::RunToNextFrame());  // the clock stood still
  EXPECT_FLOAT_EQ(seenSeconds, 0.0f);
  EXPECT_EQ(tuSound::GetPosition(id), 22050u);
  tuSystem::PressKey('X', 0);
  ASSERT_TRUE(tuSystem::RunToNextFrame());
  EXPECT_EQ(keyState, 2);

  tuSystem::PressKey(27, 1);  // Escape ends the program
  EXPECT_FALSE(tuSystem::RunToNextFrame());
  tu::platform::ReleaseInstance();
}

}  // namespace
