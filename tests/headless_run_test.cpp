// The public headless mode: a program drives itself by clock and keys, and sound follows the clock.
#include <vector>

#include "platform/instance.h"
#include "sound_support.h"

namespace {

int keyState = 0;
float seenSeconds = 0.0f;
int soundToStart = -1;  // played by the next frame
void Scene() {
  tuSystem::GetKey('X', &keyState);
  seenSeconds = tuSystem::sys.frameSeconds;
  if (soundToStart >= 0) tuSound::Play(soundToStart, 0);
  soundToStart = -1;
}
void Load() { tuSystem::sys.sceneNo = 1; }

class HeadlessRun : public sound_support::SoundTest {
 protected:
  void TearDown() override {
    tuSystem::SetSoundSink(nullptr, nullptr);  // a failed case leaves no sink behind
    SoundTest::TearDown();
  }
  // Starts a headless program whose one scene is `scene`.
  static bool StartHeadless(void (*scene)()) {
    tuSystem::UseHeadless();
    tuSystem::Program program;
    program.loadAssets = Load;
    program.scenes[1] = scene;
    char arg0[] = "headless";
    char* argv[] = {arg0};
    return tuSystem::Start(1, argv, program) == 1;
  }
};

TEST_F(HeadlessRun, ClockKeysAndSoundMoveOnlyWhenTheProgramSaysSo) {
  ASSERT_TRUE(StartHeadless(Scene));
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

// What a scene saw of 'X' by frame: pressed, down, released, each asked twice.
int framePolls[6];
void FrameKeysScene() {
  for (int i = 0; i < 2; ++i) {
    framePolls[i * 3] = tuSystem::IsKeyPressed('X');
    framePolls[i * 3 + 1] = tuSystem::IsKeyDown('X');
    framePolls[i * 3 + 2] = tuSystem::IsKeyReleased('X');
  }
}

TEST_F(HeadlessRun, KeysByFrameKeepEveryPressAndAgreeWithinAFrame) {
  ASSERT_TRUE(StartHeadless(FrameKeysScene));
  ASSERT_TRUE(tuSystem::RunFrame(16));
  // Key events before each frame (1 down, 0 up, 2 the program drives it down, 3 gives it back)
  // and what the frame reads.
  struct Step {
    std::vector<int> events;
    int pressed, down, released;
    tu::KeyState state;
  };
  const Step steps[] = {
      {{1}, 1, 1, 0, tu::KeyState::Pressed},
      {{}, 0, 1, 0, tu::KeyState::Held},
      {{1}, 0, 1, 0, tu::KeyState::Held},  // the keyboard's repeat is no new press
      {{0}, 0, 0, 1, tu::KeyState::Released},
      {{1, 0}, 1, 1, 1, tu::KeyState::Pressed},  // a tap inside one frame
      {{}, 0, 0, 0, tu::KeyState::Up},
      {{1, 0, 1}, 1, 1, 1, tu::KeyState::Pressed},
      {{}, 0, 1, 0, tu::KeyState::Held},
      {{0, 2}, 0, 1, 1, tu::KeyState::Released},  // let go, but the program holds it
      {{3}, 0, 0, 1, tu::KeyState::Released},
  };
  int n = 0;
  for (const Step& step : steps) {
    for (int e : step.events) {
      if (e < 2) tuSystem::PressKey('X', e);
      else if (e == 2) tuSystem::DriveKey('X', 1);
      else tuSystem::ReleaseDrivenKeys();
    }
    ASSERT_TRUE(tuSystem::RunFrame(16));
    SCOPED_TRACE(n++);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(framePolls[i * 3], step.pressed);
      EXPECT_EQ(framePolls[i * 3 + 1], step.down);
      EXPECT_EQ(framePolls[i * 3 + 2], step.released);
    }
    EXPECT_EQ(tuSystem::KeyStateOf('X'), step.state);
  }
  EXPECT_FALSE(tuSystem::IsKeyDown(0));
  EXPECT_FALSE(tuSystem::IsKeyDown(256));
  tu::platform::ReleaseInstance();
}

TEST_F(HeadlessRun, TheSinkHearsEverySampleTheClockMixesFromTheFrameThatStartsASound) {
  tuSystem::UseHeadless(5000);
  EXPECT_EQ(tuSystem::Tick(), 5000u);
  EXPECT_EQ(tuSystem::loadStamps[0], 5000u);
  tuSystem::Program program;
  program.loadAssets = Load;
  program.scenes[1] = Scene;
  char arg0[] = "headless";
  char* argv[] = {arg0};
  ASSERT_EQ(tuSystem::Start(1, argv, program), 1);
  std::vector<int16_t> heard;
  tuSystem::SetSoundSink(
      [](const tuSystem::MixedSound& s, void* out) {
        ASSERT_EQ(s.bits, 16);
        ASSERT_EQ(s.channels, 2);
        ASSERT_EQ(s.samplesPerSec, 44100);
        auto* v = static_cast<std::vector<int16_t>*>(out);
        const int16_t* p = static_cast<const int16_t*>(s.samples);
        v->insert(v->end(), p, p + s.frames * 2);
      },
      &heard);
  std::vector<int16_t> ramp(44100);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i % 20000);
  WriteFile("ramp.wav", sound_support::Riff({sound_support::Chunk("fmt ", sound_support::Fmt(1, 44100, 16)),
                                             sound_support::Chunk("data", sound_support::Samples16(ramp))}));
  int id = tuSound::LoadObject("ramp.wav", 1);
  ASSERT_GE(id, 0);
  ASSERT_TRUE(tuSystem::RunToNextFrame());

  // Ten frames of 16 ms: 7056 frames of 44.1 kHz in all, 705 or 706 at a time; the sound the
  // first frame starts is in that frame's own mix, from its first sample.
  soundToStart = id;
  for (int f = 0; f < 10; ++f) ASSERT_TRUE(tuSystem::RunFrame(16));
  ASSERT_EQ(heard.size(), 2u * 7056);
  EXPECT_NE(heard[2 * 100], 0);
  // The same mix pulled straight from the mixer, from the sound's start again.
  tuSound::Stop(id, 0);
  tuSound::Play(id, 0);
  std::vector<int16_t> direct = sound_support::Pull(7056);
  EXPECT_EQ(heard, direct);

  // Without a sink the mix is dropped.
  tuSystem::SetSoundSink(nullptr, nullptr);
  tuSystem::AdvanceClock(16);
  EXPECT_EQ(heard.size(), 2u * 7056);
  tu::platform::ReleaseInstance();
}

}  // namespace
