// The generated sounds: format, length, levels, seamless music loops and prompt effects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets_support.h"

using asset_files::PeakDb;
using asset_files::ReadWav;
using asset_files::RmsDb;
using asset_files::Wave;

namespace {

const char* const kMusic[] = {"BGM/eBGM.wav", "BGM/nBGM.wav", "BGM/hBGM.wav", "BGM/bBGM.wav", "BGM/vsBGM.wav"};
const char* const kJingles[] = {"BGM/RANK.wav", "BGM/RANK2.wav"};
const char* const kEffects[] = {"SE/sliset.wav", "SE/set.wav", "SE/erase.wav", "SE/BUTTON.wav", "SE/BUTTONK.wav"};

// First channel only: enough for level and seam checks of mono or stereo files.
std::vector<int16_t> Channel0(const Wave& w) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < w.samples.size(); i += size_t(w.channels)) s.push_back(w.samples[i]);
  return s;
}

TEST(SoundFiles, EverySoundIs16BitPcmAtARateTheDeviceTakes) {
  std::vector<std::string> all(std::begin(kMusic), std::end(kMusic));
  all.insert(all.end(), std::begin(kJingles), std::end(kJingles));
  all.insert(all.end(), std::begin(kEffects), std::end(kEffects));
  ASSERT_EQ(all.size(), 12u);
  for (const std::string& name : all) {
    Wave w;
    ASSERT_TRUE(ReadWav(name, w)) << name;
    EXPECT_TRUE(w.rate == 22050 || w.rate == 44100) << name << " at " << w.rate;
    EXPECT_TRUE(w.channels == 1 || w.channels == 2) << name;
    EXPECT_EQ(w.samples.size() % size_t(w.channels), 0u) << name;
    EXPECT_LE(PeakDb(w.samples), -1.0) << name << " reaches full scale";
  }
}

TEST(SoundFiles, EverySoundIsCentredOnZeroAndOneShotsStartAndEndInSilence) {
  std::vector<std::string> oneShots(std::begin(kJingles), std::end(kJingles));
  oneShots.insert(oneShots.end(), std::begin(kEffects), std::end(kEffects));
  std::vector<std::string> all(std::begin(kMusic), std::end(kMusic));
  all.insert(all.end(), oneShots.begin(), oneShots.end());
  for (const std::string& name : all) {
    Wave w;
    ASSERT_TRUE(ReadWav(name, w)) << name;
    double sum = 0;
    for (int16_t v : w.samples) sum += v;
    // An offset clicks where the sound starts and stops, and wastes headroom.
    EXPECT_LE(std::abs(sum / double(w.samples.size()) / 32768.0), 0.002) << name;
  }
  for (const std::string& name : oneShots) {
    Wave w;
    ASSERT_TRUE(ReadWav(name, w)) << name;
    EXPECT_LE(std::abs(w.samples.front()), 33) << name << " starts on a step";
    EXPECT_LE(std::abs(w.samples.back()), 33) << name << " ends on a step";
  }
}

TEST(SoundFiles, MusicLoopsAreLongLevelAndSeamless) {
  double rms[5];
  int i = 0;
  for (const char* name : kMusic) {
    Wave w;
    ASSERT_TRUE(ReadWav(name, w)) << name;
    std::vector<int16_t> s = Channel0(w);
    EXPECT_GE(w.seconds(), 30.0) << name;
    EXPECT_LE(w.seconds(), 90.0) << name;
    rms[i] = RmsDb(s);
    EXPECT_GE(rms[i], -24.0) << name;
    EXPECT_LE(rms[i], -12.0) << name;
    // A click shows as a jump in the second difference. Across the seam (last sample, then the
    // first) it is no larger than what the music itself makes (its 99.9th percentile).
    const size_t n = s.size();
    auto d2 = [&](size_t k) {
      return std::abs(int(s[(k + n - 1) % n]) - 2 * int(s[k]) + int(s[(k + 1) % n]));
    };
    std::vector<int> jumps;
    for (size_t k = 1; k + 1 < n; ++k) jumps.push_back(d2(k));
    auto at = jumps.begin() + long(jumps.size() * 999 / 1000);
    std::nth_element(jumps.begin(), at, jumps.end());
    EXPECT_LE(std::max(d2(n - 1), d2(0)), *at) << name << " clicks at the loop seam";
    // No gap either side of the seam: both ends carry sound.
    size_t tenth = size_t(w.rate) / 10;
    EXPECT_GT(RmsDb(s, 0, tenth), -40.0) << name << " starts with a gap";
    EXPECT_GT(RmsDb(s, s.size() - tenth), -40.0) << name << " ends with a gap";
    ++i;
  }
  // The one-player pieces rise in loudness with the difficulty.
  EXPECT_LT(rms[0], rms[2]);
  EXPECT_LT(rms[1], rms[3]);
}

TEST(SoundFiles, EffectsStartAtOnceAndStandOutOverTheMusic) {
  Wave music;
  ASSERT_TRUE(ReadWav(kMusic[2], music));
  double musicRms = RmsDb(Channel0(music));
  for (const char* name : kEffects) {
    Wave w;
    ASSERT_TRUE(ReadWav(name, w)) << name;
    std::vector<int16_t> s = Channel0(w);
    EXPECT_LT(w.seconds(), 1.0) << name << " is not short";
    size_t first = 0;
    while (first < s.size() && std::abs(s[first]) < 328) ++first;  // -40 dBFS
    EXPECT_LE(double(first) / w.rate, 0.005) << name << " starts late";
    size_t burst = size_t(w.rate) / 20;
    EXPECT_GT(RmsDb(s, 0, burst), musicRms) << name << " is quieter than the music";
    EXPECT_LT(RmsDb(s, s.size() - s.size() / 50), -30.0) << name << " is cut off";
  }
  for (const char* name : kJingles) {
    Wave w;
    ASSERT_TRUE(ReadWav(name, w)) << name;
    EXPECT_GT(w.seconds(), 2.0) << name;
    EXPECT_LT(w.seconds(), 15.0) << name;
  }
}

}  // namespace
