// The platform's sound device: secondary buffer semantics and the mixer, heard by pulling
// frames in headless mode.
#include <cstring>

#include "sound_support.h"

using namespace sound_support;
using platform::AudioBuffer;

namespace {

class Mixer : public SoundTest {
 protected:
  void TearDown() override {
    for (AudioBuffer* b : made_) platform::AudioReleaseBuffer(b);
    SoundTest::TearDown();
  }
  AudioBuffer* Make(int channels, uint32_t rate, int bits, const Bytes& data) {
    platform::WaveFormat f;
    f.channels = static_cast<uint16_t>(channels);
    f.samplesPerSec = rate;
    f.bitsPerSample = static_cast<uint16_t>(bits);
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = rate * f.blockAlign;
    AudioBuffer* b = nullptr;
    EXPECT_EQ(platform::AudioCreateBuffer(f, static_cast<uint32_t>(data.size()), &b), platform::AUDIO_OK);
    if (!b) return nullptr;
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(platform::AudioLock(b, 0, static_cast<uint32_t>(data.size()), &p1, &n1, &p2, &n2), 0);
    memcpy(p1, data.data(), n1);
    platform::AudioUnlock(b, p1, n1, p2, n2);
    made_.push_back(b);
    return b;
  }
  AudioBuffer* Mono(const std::vector<int16_t>& s, uint32_t rate = 44100) {
    return Make(1, rate, 16, Samples16(s));
  }
  std::vector<AudioBuffer*> made_;
};

TEST_F(Mixer, VolumeAndPanFollowHundredthsOfADecibel) {
  AudioBuffer* b = Mono(Sine(4410, 100));
  platform::AudioPlay(b, true);
  EXPECT_NEAR(PeakOf(Pull(4410), 0), 32767, 2);

  platform::AudioSetVolume(b, -600);  // -6 dB: about half the amplitude
  auto half = Pull(4410);
  EXPECT_NEAR(PeakOf(half, 0), 32767 * 0.5012, 40);
  EXPECT_NEAR(PeakOf(half, 1), 32767 * 0.5012, 40);

  platform::AudioSetVolume(b, 0);
  platform::AudioSetPan(b, -10000);  // left only: the right side is silent
  auto left = Pull(4410);
  EXPECT_NEAR(PeakOf(left, 0), 32767, 2);
  EXPECT_EQ(PeakOf(left, 1), 0);

  platform::AudioSetPan(b, 2000);  // the left side loses 20 dB
  auto right = Pull(4410);
  EXPECT_NEAR(PeakOf(right, 0), 3277, 10);
  EXPECT_NEAR(PeakOf(right, 1), 32767, 2);

  platform::AudioSetPan(b, 0);
  platform::AudioSetVolume(b, -10000);  // the floor is silence
  EXPECT_EQ(PeakOf(Pull(4410), 0), 0);

  // Out-of-range settings are refused and change nothing.
  EXPECT_NE(platform::AudioSetVolume(b, 1), 0);
  EXPECT_NE(platform::AudioSetPan(b, 10001), 0);
  EXPECT_NE(platform::AudioSetFrequency(b, 99), 0);
  EXPECT_NE(platform::AudioSetFrequency(b, 100001), 0);
  int v;
  platform::AudioGetVolume(b, &v);
  EXPECT_EQ(v, -10000);
}

TEST_F(Mixer, DoubledFrequencyHalvesThePlayingTime) {
  auto framesSounded = [&](uint32_t hz) {
    AudioBuffer* b = Mono(std::vector<int16_t>(4410, 1000));
    platform::AudioSetFrequency(b, hz);
    platform::AudioPlay(b, false);
    auto out = Pull(10000);
    int n = 0;
    for (size_t i = 0; i < out.size(); i += 2) n += out[i] != 0;
    uint32_t status = 1;
    platform::AudioGetStatus(b, &status);
    EXPECT_EQ(status, 0u);  // a one-shot stops at its end
    uint32_t play = 1;
    platform::AudioGetPosition(b, &play, nullptr);
    EXPECT_EQ(play, 0u);
    return n;
  };
  EXPECT_EQ(framesSounded(44100), 4410);
  EXPECT_EQ(framesSounded(88200), 2205);
  EXPECT_EQ(framesSounded(22050), 8820);
}

TEST_F(Mixer, LoopingBufferWrapsWithoutAGapAndInterpolatesAcrossTheLoopPoint) {
  std::vector<int16_t> ramp(100);
  for (int i = 0; i < 100; ++i) ramp[static_cast<size_t>(i)] = static_cast<int16_t>(i * 100);
  AudioBuffer* b = Mono(ramp);
  platform::AudioPlay(b, true);
  auto out = Pull(350);
  for (int i = 0; i < 350; ++i) ASSERT_EQ(out[2 * static_cast<size_t>(i)], (i % 100) * 100) << i;
  uint32_t play;
  platform::AudioGetPosition(b, &play, nullptr);
  EXPECT_EQ(play, 100u);  // frame 50, two bytes a frame

  // At half speed the frame between the last and the first lies halfway between them.
  platform::AudioSetPosition(b, 0);
  platform::AudioSetFrequency(b, 22050);
  out = Pull(200);
  EXPECT_EQ(out[2 * 198], 9900);
  EXPECT_EQ(out[2 * 199], 4950);
  EXPECT_EQ(out[2 * 1], 50);
  uint32_t status;
  platform::AudioGetStatus(b, &status);
  EXPECT_EQ(status, platform::AUDIO_STATUS_PLAYING | platform::AUDIO_STATUS_LOOPING);
}

TEST_F(Mixer, MixSaturatesInsteadOfWrapping) {
  platform::AudioPlay(Mono(std::vector<int16_t>(100, 30000)), true);
  platform::AudioPlay(Mono(std::vector<int16_t>(100, 30000)), true);
  auto out = Pull(50);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[99], 32767);
  for (AudioBuffer* b : made_) platform::AudioStop(b);
  platform::AudioPlay(Mono(std::vector<int16_t>(100, -30000)), true);
  platform::AudioPlay(Mono(std::vector<int16_t>(100, -30000)), true);
  out = Pull(50);
  EXPECT_EQ(out[0], -32768);
}

TEST_F(Mixer, EightBitStereoSourcesAndOtherPrimaryFormats) {
  Bytes u8 = {128 + 64, 128 - 32, 128 + 64, 128 - 32};  // two stereo frames
  AudioBuffer* b = Make(2, 44100, 8, u8);
  platform::AudioPlay(b, true);
  auto out = Pull(4);
  EXPECT_EQ(out[0], 64 * 256);
  EXPECT_EQ(out[1], -32 * 256);

  // A mono 8-bit output: both sides averaged, back to unsigned bytes.
  platform::WaveFormat mono8;
  mono8.channels = 1;
  mono8.bitsPerSample = 8;
  mono8.samplesPerSec = 22050;
  mono8.blockAlign = 1;
  mono8.avgBytesPerSec = 22050;
  ASSERT_EQ(platform::AudioSetPrimaryFormat(mono8), 0);
  uint8_t bytes[4];
  platform::AudioPull(bytes, 4);
  EXPECT_EQ(bytes[0], 128 + 16);  // (64 - 32) / 2
  EXPECT_EQ(platform::AudioPrimaryFormat().samplesPerSec, 22050u);

  // Formats the device does not take leave the old one.
  platform::WaveFormat bad = mono8;
  bad.bitsPerSample = 24;
  bad.blockAlign = 3;
  EXPECT_EQ(platform::AudioSetPrimaryFormat(bad), platform::AUDIO_ERR_BADFORMAT);
  EXPECT_EQ(platform::AudioPrimaryFormat().bitsPerSample, 8);
}

TEST_F(Mixer, ADeviceRateChangeKeepsThePitch) {
  AudioBuffer* b = Mono(std::vector<int16_t>(4410, 1000));
  platform::WaveFormat f = platform::AudioPrimaryFormat();
  f.samplesPerSec = 22050;
  f.avgBytesPerSec = 22050 * 4;
  ASSERT_EQ(platform::AudioSetPrimaryFormat(f), 0);
  platform::AudioPlay(b, false);
  auto out = Pull(4000);
  int n = 0;
  for (size_t i = 0; i < out.size(); i += 2) n += out[i] != 0;
  EXPECT_EQ(n, 2205);  // a tenth of a second at the new rate
}

TEST_F(Mixer, LockGivesTwoRegionsWhereTheRangeWraps) {
  AudioBuffer* b = Make(1, 44100, 16, Bytes(100, 0));
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_EQ(platform::AudioLock(b, 80, 40, &p1, &n1, &p2, &n2), 0);
  EXPECT_EQ(n1, 20u);
  EXPECT_EQ(n2, 20u);
  EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 80);
  EXPECT_EQ(platform::AudioUnlock(b, p1, n1, p2, n2), 0);
  ASSERT_EQ(platform::AudioLock(b, 10, 20, &p1, &n1, &p2, &n2), 0);
  EXPECT_EQ(n1, 20u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(n2, 0u);
  // Ranges the buffer does not hold are refused.
  EXPECT_NE(platform::AudioLock(b, 100, 1, &p1, &n1, &p2, &n2), 0);
  EXPECT_NE(platform::AudioLock(b, 0, 101, &p1, &n1, &p2, &n2), 0);
  EXPECT_NE(platform::AudioUnlock(b, static_cast<uint8_t*>(p1) + 90, 20, nullptr, 0), 0);
}

TEST_F(Mixer, PlayCursorIsSetAndReadInWholeBlocks) {
  AudioBuffer* b = Make(2, 44100, 16, Bytes(400, 0));
  EXPECT_EQ(platform::AudioSetPosition(b, 101), 0);
  uint32_t play, write;
  platform::AudioGetPosition(b, &play, &write);
  EXPECT_EQ(play, 100u);
  EXPECT_EQ(write, 108u);
  EXPECT_NE(platform::AudioSetPosition(b, 400), 0);
  platform::AudioPlay(b, false);
  Pull(30);
  platform::AudioGetPosition(b, &play, nullptr);
  EXPECT_EQ(play, 100u + 30 * 4);
  platform::AudioStop(b);  // stopping keeps the cursor
  Pull(30);
  platform::AudioGetPosition(b, &play, nullptr);
  EXPECT_EQ(play, 220u);
}

TEST_F(Mixer, BuffersInFormatsTheDeviceDoesNotTakeAreRefused) {
  platform::WaveFormat f;
  AudioBuffer* b = nullptr;
  auto create = [&](platform::WaveFormat g, uint32_t bytes) {
    int r = platform::AudioCreateBuffer(g, bytes, &b);
    if (b) made_.push_back(b);
    return r;
  };
  EXPECT_EQ(create(f, 4), 0);
  platform::WaveFormat g = f;
  g.formatTag = 2;
  EXPECT_EQ(create(g, 100), platform::AUDIO_ERR_BADFORMAT);
  g = f;
  g.bitsPerSample = 24;
  g.blockAlign = 6;
  EXPECT_EQ(create(g, 600), platform::AUDIO_ERR_BADFORMAT);
  g = f;
  g.channels = 3;
  g.blockAlign = 6;
  EXPECT_EQ(create(g, 600), platform::AUDIO_ERR_BADFORMAT);
  g = f;
  g.blockAlign = 2;
  EXPECT_EQ(create(g, 600), platform::AUDIO_ERR_BADFORMAT);
  g = f;
  g.samplesPerSec = 99;
  EXPECT_EQ(create(g, 600), platform::AUDIO_ERR_BADFORMAT);
  EXPECT_EQ(create(f, 0), platform::AUDIO_ERR_INVALIDPARAM);
  EXPECT_EQ(create(f, 3), platform::AUDIO_ERR_INVALIDPARAM);
  EXPECT_EQ(b, nullptr);
}

struct Constant {
  float value;
  int calls = 0;
};
void AddConstant(void* user, float* mix, int frames, int rate) {
  auto* c = static_cast<Constant*>(user);
  ++c->calls;
  EXPECT_EQ(rate, 44100);
  for (int i = 0; i < 2 * frames; ++i) mix[i] += c->value;
}

TEST_F(Mixer, RegisteredSourcesAreMixedIntoTheSameOutput) {
  Constant c{0.5f};
  int id = platform::AudioAddSource(AddConstant, &c);
  ASSERT_GE(id, 0);
  platform::AudioPlay(Mono(std::vector<int16_t>(10, 1000)), true);
  auto out = Pull(3000);  // more than one mixing pass
  EXPECT_EQ(out[0], 16384 + 1000);
  EXPECT_EQ(out[5999], 16384 + 1000);
  EXPECT_EQ(c.calls, 3);
  platform::AudioRemoveSource(id);
  out = Pull(10);
  EXPECT_EQ(out[0], 1000);
}

TEST_F(Mixer, WithoutADeviceNothingOpensAndNothingIsMixed) {
  tuSound::Release();
  platform::AudioSetDeviceAvailable(false);
  EXPECT_EQ(platform::AudioOpen(), platform::AUDIO_ERR_NODEVICE);
  platform::WaveFormat f;
  AudioBuffer* b = nullptr;
  EXPECT_EQ(platform::AudioCreateBuffer(f, 100, &b), platform::AUDIO_ERR_NODEVICE);
  EXPECT_EQ(b, nullptr);
  std::vector<int16_t> out(20, 7);
  platform::AudioPull(out.data(), 10);
  EXPECT_EQ(out, std::vector<int16_t>(20, 0));
  // The one-shot player plays nothing and returns.
  Bytes data = Samples16(std::vector<int16_t>(100, 1000));
  platform::AudioPlayToEnd(f, data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_EQ(platform::AudioLastPlayToEndFrames(), 0u);
}

TEST_F(Mixer, OneShotPlayerPlaysToTheEndAndLeavesTheDeviceAsItFoundIt) {
  tuSound::Release();
  ASSERT_FALSE(platform::AudioIsOpen());
  platform::WaveFormat f;
  f.channels = 1;
  f.samplesPerSec = 22050;
  f.blockAlign = 2;
  f.avgBytesPerSec = 44100;
  Bytes data = Samples16(std::vector<int16_t>(2205, 1000));
  platform::AudioPlayToEnd(f, data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_EQ(platform::AudioLastPlayToEndFrames(), 4410u);  // 0.1 s at the device's rate
  EXPECT_FALSE(platform::AudioIsOpen());
}

}  // namespace
