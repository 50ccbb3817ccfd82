// The real device path: SDL's file-writing output driver runs our mixer in its callback
// thread, and the file holds what a speaker would have played.
#include <SDL2/SDL.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <iterator>

#include "platform/midi.h"
#include "platform/seams.h"
#include "sound_support.h"

namespace {

using namespace sound_support;

// A sound pack entry: samples of 44100 Hz mono 16-bit.
Bytes PackEntry(const char* name, const std::vector<int16_t>& samples) {
  Bytes b, data = Samples16(samples), fmt = Fmt(1, 44100, 16);
  Put(b, static_cast<uint32_t>(data.size()), 4);
  b.insert(b.end(), name, name + strlen(name) + 1);
  Put(b, 18, 4);
  b.insert(b.end(), fmt.begin(), fmt.end());
  Put(b, 0, 2);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes Wav(const std::vector<int16_t>& samples) {
  return Riff({Chunk("fmt ", Fmt(1, 44100, 16)), Chunk("data", Samples16(samples))});
}

template <typename F>
std::vector<int16_t> Wave(int frames, F sample) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) s[static_cast<size_t>(i)] = static_cast<int16_t>(sample(i));
  return s;
}

// A format-0 MIDI file of `notes` half-second notes.
Bytes Smf(int notes) {
  Bytes t;
  for (int i = 0; i < notes; ++i) {
    uint8_t key = static_cast<uint8_t>(60 + i % 12);
    t.insert(t.end(), {0x00, 0x90, key, 100, 0x60, 0x80, key, 0});
  }
  t.insert(t.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, 0,
             static_cast<uint8_t>(t.size())};
  b.insert(b.end(), t.begin(), t.end());
  return b;
}

class DeviceLoss : public SoundTest {
 protected:
  void TearDown() override {
    tuSound::CloseMidi();
    tu::platform::MidiShutdown();
    tu::platform::ClearMessages();
    SoundTest::TearDown();
  }
  // Pulls `frames` of the mix 1024 at a time, refilling streams after each pull as frames do.
  std::vector<int16_t> PullFrames(int frames) {
    std::vector<int16_t> out;
    for (int done = 0; done < frames; done += 1024) {
      std::vector<int16_t> s = Pull(1024);
      out.insert(out.end(), s.begin(), s.end());
      tuSound::Streaming();
    }
    return out;
  }
  // Music, a looping effect, a one-shot that has ended, a stream past its loop point and a
  // MIDI piece, all sounding together: the mix after 2.5 s, over the next 5 s. With `gap`, the
  // device goes away for a second at 2.5 s, an effect is started meanwhile, and a device comes
  // back. Each run starts from a fresh mixer and synthesiser.
  std::vector<int16_t> Session(bool gap) {
    tuSound::Release();
    tu::platform::MidiShutdown();
    EXPECT_EQ(tuSound::Init(), 1);
    tuSound::ResetObjects();
    tuSound::InitMidi();
    int music = tuSound::LoadObject("music.wav", 1);
    int effect = tuSound::LoadObject("effect.wav", 1);
    int once = tuSound::LoadObject("once.wav", 2);
    tuSound::PackPath("s.pak");
    int stream = tuSound::LoadStream("stream.wav", 2 * 44100 * 2);
    EXPECT_GE(std::min({music, effect, once, stream}), 0);
    tuSound::PlayLoop(music, 0);
    tuSound::PlayLoop(effect, 0);
    tuSound::SetVolume(effect, -600, 0);
    tuSound::SetPan(effect, 2000, 0);
    tuSound::Play(once, -1);
    tuSound::PlayLoop(stream, 0);
    tuSound::PlayMidi("tune.mid", 1);
    PullFrames(107 * 1024);
    if (gap) {
      tu::platform::SimulateAudioDeviceRemoved();
      for (int frame = 0; frame < 60; ++frame) {
        std::vector<int16_t> silent = PullFrames(1024);
        EXPECT_EQ(Peak(silent, 0) + Peak(silent, 1), 0);
        if (frame == 30) tuSound::Play(once, -1);  // nobody hears it: it does not sound late
        tu::platform::AdvanceTick(16);
        tu::platform::AudioService();
      }
      EXPECT_FALSE(tu::platform::AudioOutputRunning());
      tu::platform::SimulateAudioDeviceAdded();
      tu::platform::AudioService();
      EXPECT_TRUE(tu::platform::AudioOutputRunning());
    }
    return PullFrames(215 * 1024);
  }
};

TEST_F(DeviceLoss, EverySoundCarriesOnWhereTheDeviceLeftIt) {
  WriteFile("music.wav", Wav(Wave(66150, [](int i) { return 100 + i % 2000; })));
  WriteFile("effect.wav", Wav(Wave(4410, [](int i) { return -50 - i % 300; })));
  WriteFile("once.wav", Wav(Wave(2205, [](int) { return 3000; })));
  WriteFile("s.pak", PackEntry("STREAM.WAV", Wave(6 * 44100, [](int i) { return (i * 7) % 3001 - 1500; })));
  WriteFile("tune.mid", Smf(16));
  std::vector<int16_t> heard = Session(false);
  std::vector<int16_t> resumed = Session(true);
  ASSERT_EQ(resumed.size(), heard.size());
  EXPECT_GT(Peak(heard, 0), 2000);
  size_t first = 0;
  while (first < heard.size() && heard[first] == resumed[first]) ++first;
  EXPECT_EQ(first, heard.size()) << "the mix differs from frame " << first / 2;
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(DeviceLoss, WithoutADeviceTheSoundsWaitForOneThatAppearsLater) {
  tuSound::Release();
  tu::platform::SimulateAudioDeviceRemoved();
  ASSERT_EQ(tuSound::Init(), 1);  // the mixer opens all the same, and the sounds load
  WriteFile("m.wav", Dc16(4410, 1000));
  int m = tuSound::LoadObject("m.wav", 1);
  ASSERT_GE(m, 0);
  tuSound::PlayLoop(m, 0);
  EXPECT_EQ(Pull(1)[0], 0);
  // A device that comes unannounced is found by the quiet retry, 2 s after the last one.
  tu::platform::SimulateAudioDeviceAdded(false);
  tu::platform::AdvanceTick(1999);
  tu::platform::AudioService();
  EXPECT_EQ(Pull(1)[0], 0);
  tu::platform::AdvanceTick(1);
  tu::platform::AudioService();
  EXPECT_EQ(Pull(1)[0], 1000);
  // Lost again: an announced device is taken at once.
  tu::platform::SimulateAudioDeviceRemoved();
  EXPECT_EQ(Pull(1)[0], 0);
  tu::platform::AudioService();
  tu::platform::SimulateAudioDeviceAdded();
  tu::platform::AudioService();
  EXPECT_EQ(Pull(1)[0], 1000);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(DeviceLoss, WhileInactiveTheSoundWaitsAndCarriesOnAfterReactivation) {
  WriteFile("m.wav", Wav(Wave(4410, [](int i) { return 1 + i; })));
  int m = tuSound::LoadObject("m.wav", 1);
  tuSound::PlayLoop(m, 0);
  EXPECT_EQ(Pull(10)[18], 10);
  tu::platform::PostMessage(tu::platform::WM_ACTIVATEAPP, 0, 0);
  for (int i = 0; i < 3; ++i) tuSystem::Turn();
  EXPECT_EQ(Pull(100)[0], 0);
  tu::platform::AdvanceTick(3 * 3600 * 1000);  // hours in the background
  tu::platform::PostMessage(tu::platform::WM_ACTIVATEAPP, 1, 0);
  tuSystem::Turn();
  tu::platform::AdvanceTick(16);
  tuSystem::Turn();
  EXPECT_FLOAT_EQ(tuSystem::sys.frameSeconds, 0.016f);
  EXPECT_EQ(Pull(1)[0], 11);
}

// SDL's file-writing driver as the device, outside headless mode.
class RealDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetHeadless();
    tuSound::Release();
    char out[] = "/tmp/quorbistane_out_XXXXXX";
    int fd = mkstemp(out);
    ASSERT_GE(fd, 0);
    close(fd);
    out_ = out;
    SDL_LogSetOutputFunction([](void*, int, SDL_LogPriority, const char*) {}, nullptr);  // driver banner
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out, 1);
    tu::platform::SetHeadless(false);
    mono_.channels = 1;
    mono_.blockAlign = 2;
  }
  void TearDown() override {
    tu::platform::AudioClose();
    tu::platform::SetHeadless(true);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("TU_AUDIO_FAULT_SIGNALS");
    remove(out_.c_str());
  }
  // A mono 16-bit buffer holding `samples`.
  tu::platform::AudioBuffer* Buffer(const std::vector<int16_t>& samples) {
    tu::platform::AudioBuffer* b = nullptr;
    uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    EXPECT_EQ(tu::platform::AudioCreateBuffer(mono_, bytes, &b), 0);
    void *p1, *p2;
    uint32_t n1, n2;
    if (b && tu::platform::AudioLock(b, 0, bytes, &p1, &n1, &p2, &n2) == 0) memcpy(p1, samples.data(), n1);
    return b;
  }
  // The stereo 16-bit samples the driver has written.
  std::vector<int16_t> Written() const {
    std::ifstream f(out_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(bytes.size() / 2);
    memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
  }
  std::string out_;
  tu::platform::WaveFormat mono_;
};

TEST_F(RealDevice, CallbackMixesBuffersAndTheOneShotPlayerWaitsForItsEnd) {
  ASSERT_EQ(tu::platform::AudioOpen(), tu::platform::AUDIO_OK);
  std::vector<int16_t> dc(2205, 1000);
  tu::platform::AudioBuffer* b = Buffer(dc);
  ASSERT_NE(b, nullptr);
  tu::platform::AudioSetVolume(b, -600);
  tu::platform::AudioSetPan(b, -10000);
  tu::platform::AudioPlay(b, false);
  uint32_t status = 1;
  for (int i = 0; i < 500 && status; ++i) {
    SDL_Delay(10);
    tu::platform::AudioGetStatus(b, &status);
  }
  EXPECT_EQ(status, 0u);
  tu::platform::AudioClose();  // flushes the file

  std::vector<int16_t> written = Written();
  int left = 0, right = 0;
  for (size_t i = 0; i + 1 < written.size(); i += 2) {
    left += written[i] == 501;
    right += written[i + 1] != 0;
  }
  EXPECT_EQ(left, 2205);
  EXPECT_EQ(right, 0);

  // The one-shot player opens the device for its sound, returns after it and closes it.
  tu::platform::AudioPlayToEnd(&mono_, sizeof mono_, dc.data(), 4410);
  EXPECT_FALSE(tu::platform::AudioIsOpen());
  EXPECT_GE(Written().size(), 2205u * 2);
  // A format change reopens the device; the player then uses it as it is and leaves it open.
  ASSERT_EQ(tu::platform::AudioOpen(), tu::platform::AUDIO_OK);
  tu::platform::WaveFormat mono8 = mono_;
  mono8.samplesPerSec = 22050;
  mono8.bitsPerSample = 8;
  mono8.blockAlign = 1;
  ASSERT_EQ(tu::platform::AudioSetPrimaryFormat(mono8), tu::platform::AUDIO_OK);
  tu::platform::AudioPlayToEnd(&mono8, sizeof mono8, dc.data(), 2205);
  EXPECT_TRUE(tu::platform::AudioIsOpen());
}

// Through the real event path: the test hook's signals push the device's removal and a
// device's arrival as SDL events, and the search runs on its helper thread.
TEST_F(RealDevice, ALostDeviceIsLetGoAndTheNextOneCarriesOnFromTheSameSample) {
  setenv("TU_AUDIO_FAULT_SIGNALS", "1", 1);
  ASSERT_EQ(tu::platform::AudioOpen(), tu::platform::AUDIO_OK);
  ASSERT_TRUE(tu::platform::AudioOutputRunning());
  constexpr int kRamp = 3000;
  tu::platform::AudioBuffer* b = Buffer(Wave(kRamp, [](int i) { return 1 + i; }));
  ASSERT_NE(b, nullptr);
  tu::platform::AudioPlay(b, true);
  // Turns of the frame loop for `ms` milliseconds, or until `done`.
  auto turns = [](int ms, const std::function<bool()>& done) {
    for (int t = 0; t < ms / 5 && !done(); ++t) {
      tu::platform::AudioService();
      SDL_Delay(5);
    }
  };
  auto written = [&] { return std::filesystem::file_size(out_); };
  turns(2000, [&] { return written() > 40000; });

  raise(SIGUSR1);
  turns(1000, [] { return !tu::platform::AudioOutputRunning(); });
  EXPECT_FALSE(tu::platform::AudioOutputRunning());
  turns(300, [] { return false; });  // the device is closed and no other is found
  auto before = written();
  turns(300, [] { return false; });
  EXPECT_EQ(written(), before);
  // The left channel's ramp as written: each sample follows the one before it (silence, where
  // the device was being let go, aside). `last` is the ramp's last sample before, 0 for none.
  auto followOn = [&](int* last) {
    std::vector<int16_t> s = Written();
    int sounded = 0, breaks = 0;
    for (size_t i = 0; i < s.size(); i += 2) {
      if (s[i] == 0) continue;
      if (*last && s[i] != *last % kRamp + 1) ++breaks;
      *last = s[i];
      ++sounded;
    }
    EXPECT_EQ(breaks, 0);
    return sounded;
  };
  int last = 0;
  EXPECT_GT(followOn(&last), 5000);

  // Each device the driver opens starts its file afresh, so what a device in between played
  // would be lost to the check: the ramp stands still (and keeps its place) until the last one.
  tu::platform::AudioStop(b);
  raise(SIGUSR2);
  turns(2000, [] { return tu::platform::AudioOutputRunning(); });
  EXPECT_TRUE(tu::platform::AudioOutputRunning());
  // Inactive for a moment: the device is let go, and taken again at once, not at a retry.
  tu::platform::AudioHold(true);
  tu::platform::AudioHold(false);
  turns(1000, [] { return tu::platform::AudioOutputRunning(); });
  EXPECT_TRUE(tu::platform::AudioOutputRunning());
  tu::platform::AudioPlay(b, true);
  turns(2000, [&] { return written() > 40000; });
  tu::platform::AudioClose();
  EXPECT_GT(followOn(&last), 5000);
}

}  // namespace
