// The platform's sound device: secondary buffer semantics and the mixer, heard by pulling
// frames in headless mode.
#include <cstring>

#include "sound_support.h"

using namespace sound_support;
using tu::platform::AudioBuffer;

namespace {

class Mixer : public SoundTest {
 protected:
  AudioBuffer* Make(const std::vector<int16_t>& s, int channels = 1, uint32_t rate = 44100) {
    Bytes data = Samples16(s);
    tu::platform::WaveFormat f;
    f.channels = static_cast<uint16_t>(channels);
    f.samplesPerSec = rate;
    f.blockAlign = static_cast<uint16_t>(2 * channels);
    f.avgBytesPerSec = rate * f.blockAlign;
    AudioBuffer* b = nullptr;
    EXPECT_EQ(tu::platform::AudioCreateBuffer(f, static_cast<uint32_t>(data.size()), &b), 0);
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(tu::platform::AudioLock(b, 0, static_cast<uint32_t>(data.size()), &p1, &n1, &p2, &n2), 0);
    memcpy(p1, data.data(), n1);
    tu::platform::AudioUnlock(b, p1, n1, p2, n2);
    return b;  // the device releases it when the fixture closes it
  }
  static std::vector<int16_t> Dc(int frames, int16_t v) { return std::vector<int16_t>(static_cast<size_t>(frames), v); }
  static int Sounding(const std::vector<int16_t>& out) {  // left-side frames not silent
    int n = 0;
    for (size_t i = 0; i < out.size(); i += 2) n += out[i] != 0;
    return n;
  }
};

TEST_F(Mixer, VolumeAndPanFollowHundredthsOfADecibel) {
  std::vector<int16_t> sine(4410);
  for (size_t i = 0; i < sine.size(); ++i)
    sine[i] = static_cast<int16_t>(std::lround(32767 * std::sin(2 * M_PI * static_cast<double>(i) / 100)));
  AudioBuffer* b = Make(sine);
  tu::platform::AudioPlay(b, true);
  tu::platform::AudioSetVolume(b, -600);  // a full-scale sine at -6 dB: about half amplitude
  auto out = Pull(4410);
  EXPECT_NEAR(Peak(out, 0), 32767 * 0.5012, 40);
  EXPECT_NEAR(Peak(out, 1), 32767 * 0.5012, 40);
  tu::platform::AudioSetVolume(b, 0);
  tu::platform::AudioSetPan(b, -10000);  // the right side is silenced
  out = Pull(4410);
  EXPECT_NEAR(Peak(out, 0), 32767, 2);
  EXPECT_EQ(Peak(out, 1), 0);
  tu::platform::AudioSetPan(b, 2000);  // the left side loses 20 dB
  EXPECT_NEAR(Peak(Pull(4410), 0), 3277, 10);
  tu::platform::AudioSetVolume(b, -10000);
  EXPECT_EQ(Peak(Pull(4410), 1), 0);
  // Out-of-range settings are refused and change nothing.
  EXPECT_NE(tu::platform::AudioSetVolume(b, 1), 0);
  EXPECT_NE(tu::platform::AudioSetPan(b, 10001), 0);
  EXPECT_NE(tu::platform::AudioSetFrequency(b, 99), 0);
  int v;
  tu::platform::AudioGetVolume(b, &v);
  EXPECT_EQ(v, -10000);
  // The floor is silence, also where several loud voices add up.
  for (int i = 0; i < 2; ++i) {
    AudioBuffer* loud = Make(Dc(441, 32767));
    tu::platform::AudioSetVolume(loud, -10000);
    tu::platform::AudioPlay(loud, true);
  }
  EXPECT_EQ(Peak(Pull(441), 0), 0);
}

TEST_F(Mixer, FrequencyAndDeviceRateSetThePlayingTime) {
  for (uint32_t hz : {44100u, 88200u, 22050u}) {
    AudioBuffer* b = Make(Dc(4410, 1000));
    tu::platform::AudioSetFrequency(b, hz);
    tu::platform::AudioPlay(b, false);
    EXPECT_EQ(Sounding(Pull(10000)), static_cast<int>(4410u * 44100u / hz));
    uint32_t status = 1, play = 1;
    tu::platform::AudioGetStatus(b, &status);
    tu::platform::AudioGetPosition(b, &play, nullptr);
    EXPECT_EQ(status, 0u);  // a one-shot stops at its end, back at its start
    EXPECT_EQ(play, 0u);
  }
  tu::platform::WaveFormat f = tu::platform::AudioPrimaryFormat();
  f.samplesPerSec = 22050;
  ASSERT_EQ(tu::platform::AudioSetPrimaryFormat(f), 0);
  AudioBuffer* b = Make(Dc(4410, 1000));
  tu::platform::AudioPlay(b, false);
  EXPECT_EQ(Sounding(Pull(10000)), 2205);  // the same tenth of a second at the new rate
}

TEST_F(Mixer, LoopingBufferWrapsWithoutAGapOrAClick) {
  std::vector<int16_t> ramp(100);
  for (size_t i = 0; i < 100; ++i) ramp[i] = static_cast<int16_t>(i * 100);
  AudioBuffer* b = Make(ramp);
  tu::platform::AudioPlay(b, true);
  auto out = Pull(350);
  for (size_t i = 0; i < 350; ++i) ASSERT_EQ(out[2 * i], static_cast<int>(i % 100) * 100) << i;
  uint32_t play, write;
  tu::platform::AudioGetPosition(b, &play, &write);
  EXPECT_EQ(play, 100u);  // frame 50
  EXPECT_EQ(write, 104u);
  // At half speed the frame between the last and the first lies halfway between them.
  tu::platform::AudioSetPosition(b, 0);
  tu::platform::AudioSetFrequency(b, 22050);
  out = Pull(200);
  EXPECT_EQ(out[2 * 1], 50);
  EXPECT_EQ(out[2 * 199], 4950);
  EXPECT_NE(tu::platform::AudioSetPosition(b, 200), 0);
  tu::platform::AudioSetPosition(b, 11);  // rounded down to a whole frame
  tu::platform::AudioGetPosition(b, &play, nullptr);
  EXPECT_EQ(play, 10u);
}

TEST_F(Mixer, MixSaturatesAndDownmixesToOtherPrimaryFormats) {
  AudioBuffer* a = Make(Dc(100, 30000));
  AudioBuffer* b = Make(Dc(100, 30000));
  tu::platform::AudioPlay(a, true);
  tu::platform::AudioPlay(b, true);
  EXPECT_EQ(Pull(1)[0], 32767);
  tu::platform::AudioStop(a);
  tu::platform::AudioStop(b);
  tu::platform::AudioPlay(Make({-30000, -30000, -30000, -30000}), true);
  tu::platform::AudioPlay(Make({-30000, 8000, -30000, 8000}, 2), true);
  auto out = Pull(1);
  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[1], -22000);
  // Mono 8-bit output: both sides averaged, saturated, as unsigned bytes.
  tu::platform::WaveFormat f;
  f.channels = 1;
  f.bitsPerSample = 8;
  f.blockAlign = 1;
  ASSERT_EQ(tu::platform::AudioSetPrimaryFormat(f), 0);
  uint8_t bytes[2];
  tu::platform::AudioPull(bytes, 2);
  EXPECT_EQ(bytes[0], 0);
  f.bitsPerSample = 24;
  EXPECT_EQ(tu::platform::AudioSetPrimaryFormat(f), tu::platform::AUDIO_ERR_BADFORMAT);
  EXPECT_EQ(tu::platform::AudioPrimaryFormat().bitsPerSample, 8);
}

TEST_F(Mixer, LockGivesTwoRegionsWhereTheRangeWraps) {
  AudioBuffer* b = Make(Dc(50, 0));
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_EQ(tu::platform::AudioLock(b, 80, 40, &p1, &n1, &p2, &n2), 0);
  EXPECT_EQ(n1, 20u);
  EXPECT_EQ(n2, 20u);
  EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 80);
  EXPECT_EQ(tu::platform::AudioUnlock(b, p1, n1, p2, n2), 0);
  ASSERT_EQ(tu::platform::AudioLock(b, 10, 20, &p1, &n1, &p2, &n2), 0);
  EXPECT_TRUE(n1 == 20 && p2 == nullptr && n2 == 0);
  EXPECT_NE(tu::platform::AudioLock(b, 100, 1, &p1, &n1, &p2, &n2), 0);
  EXPECT_NE(tu::platform::AudioLock(b, 0, 101, &p1, &n1, &p2, &n2), 0);
  EXPECT_NE(tu::platform::AudioUnlock(b, static_cast<uint8_t*>(p1) + 90, 20, nullptr, 0), 0);
}

// `ref` (16-bit samples) as the samples of another format: `bits` of integer PCM (8 unsigned),
// or 32-bit float when `isFloat`. `fine` adds to the wider integers bits below one 16-bit step.
Bytes Encode(const std::vector<int16_t>& ref, int bits, bool isFloat, bool fine = false) {
  Bytes b;
  for (int16_t v : ref) {
    if (isFloat) {
      float f = static_cast<float>(v) / 32768.0f;
      uint32_t u;
      memcpy(&u, &f, 4);
      Put(b, u, 4);
    } else if (bits == 8) {
      b.push_back(static_cast<uint8_t>((v >> 8) + 128));
    } else {
      uint32_t wide = static_cast<uint32_t>(static_cast<int32_t>(v)) << (bits - 16);
      if (fine && bits > 16) wide |= (1u << (bits - 16)) / 2 - 1;
      Put(b, wide, bits / 8);
    }
  }
  return b;
}

TEST_F(Mixer, EverySampleFormatMixesLikeItsSixteenBitForm) {
  // Two different ramps, on multiples of 256 so that even 8 bits hold them exactly.
  constexpr int kFrames = 300;
  std::vector<int16_t> stereo(2 * kFrames), mono(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    stereo[2 * i] = static_cast<int16_t>((i * 37 % 256 - 128) * 256);
    stereo[2 * i + 1] = static_cast<int16_t>(((i * 91 + 50) % 256 - 128) * 256);
    mono[i] = stereo[2 * i + 1];
  }
  struct Kind {
    int bits;
    bool isFloat;
  };
  const Kind kinds[] = {{16, false}, {8, false}, {24, false}, {32, false}, {32, true}};
  for (int channels : {1, 2}) {
    const std::vector<int16_t>& ref = channels == 2 ? stereo : mono;
    std::vector<int16_t> expected;
    uint32_t expectedFrame = 0;
    for (const Kind& k : kinds) {
      for (bool extensible : {false, true}) {
        for (bool fine : {false, true}) {
          if (fine && k.bits <= 16) continue;
          SCOPED_TRACE(testing::Message() << channels << " channels, " << k.bits << (k.isFloat ? " float" : " bits")
                                          << (extensible ? ", extensible" : "") << (fine ? ", fine" : ""));
          int tag = k.isFloat ? 3 : 1;
          Bytes format = extensible ? Extensible(channels, 44100, k.bits, tag) : Fmt(channels, 44100, k.bits, tag);
          if (!extensible) Put(format, 0, 2);
          Bytes data = Encode(ref, k.bits, k.isFloat, fine);
          AudioBuffer* b = nullptr;
          ASSERT_EQ(tu::platform::AudioCreateBuffer(format.data(), static_cast<uint32_t>(format.size()),
                                                static_cast<uint32_t>(data.size()), &b), 0);
          void *p1, *p2;
          uint32_t n1, n2;
          ASSERT_EQ(tu::platform::AudioLock(b, 0, static_cast<uint32_t>(data.size()), &p1, &n1, &p2, &n2), 0);
          memcpy(p1, data.data(), n1);
          // A slower rate between frames, both gains, around the loop point.
          tu::platform::AudioSetVolume(b, -300);
          tu::platform::AudioSetPan(b, 1500);
          tu::platform::AudioSetFrequency(b, 30011);
          tu::platform::AudioPlay(b, true);
          std::vector<int16_t> out = Pull(700);
          uint32_t play = 0;
          tu::platform::AudioGetPosition(b, &play, nullptr);
          uint32_t block = static_cast<uint32_t>(channels * k.bits / 8);
          EXPECT_EQ(play % block, 0u);  // the cursor counts this format's own bytes
          if (expected.empty()) {
            expected = out;
            expectedFrame = play / block;
            EXPECT_GT(Peak(out, 1), 10000);
          } else if (!fine) {
            EXPECT_EQ(out, expected);
            EXPECT_EQ(play / block, expectedFrame);
          } else {
            int worst = 0;
            for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, std::abs(out[i] - expected[i]));
            EXPECT_LE(worst, 1);
          }
          tu::platform::AudioReleaseBuffer(b);
        }
      }
    }
  }
  // Not-a-number and infinite float samples are silenced or bounded, not spread into the mix.
  const float odd[4] = {NAN, INFINITY, -INFINITY, 0.5f};
  Bytes format = Fmt(1, 44100, 32, 3);
  Put(format, 0, 2);
  AudioBuffer* f = nullptr;
  ASSERT_EQ(tu::platform::AudioCreateBuffer(format.data(), 18, sizeof odd, &f), 0);
  void *p1, *p2;
  uint32_t n1, n2;
  tu::platform::AudioLock(f, 0, sizeof odd, &p1, &n1, &p2, &n2);
  memcpy(p1, odd, sizeof odd);
  tu::platform::AudioPlay(f, false);
  tu::platform::AudioPlay(Make(Dc(4, 1000)), false);
  auto out = Pull(4);
  EXPECT_EQ((std::vector<int16_t>{out[0], out[2], out[4], out[6]}),
            (std::vector<int16_t>{1000, 32767, -32768, 16384 + 1000}));
}

void AddHalf(void* calls, float* mix, int frames, int /*rate*/) {
  ++*static_cast<int*>(calls);
  for (int i = 0; i < 2 * frames; ++i) mix[i] += 0.5f;
}

TEST_F(Mixer, RegisteredSourcesAreMixedIntoTheSameOutput) {
  int calls = 0;
  int id = tu::platform::AudioAddSource(AddHalf, &calls);
  ASSERT_GE(id, 0);
  tu::platform::AudioPlay(Make(Dc(10, 1000)), true);
  auto out = Pull(3000);  // three mixing passes
  EXPECT_EQ(out[0], 16384 + 1000);
  EXPECT_EQ(out[5999], 16384 + 1000);
  EXPECT_EQ(calls, 3);
  tu::platform::AudioRemoveSource(id);
  EXPECT_EQ(Pull(1)[0], 1000);
}

}  // namespace
