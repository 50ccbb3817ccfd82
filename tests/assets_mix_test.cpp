// The game's sounds together in the device's mix, loaded as the game loads them: the loudest
// pile-up a game can start keeps headroom under the saturating sum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <tu/tuSound.h>

#include "assets_support.h"
#include "game/assets.h"
#include "game/game.h"
#include "headless.h"
#include "platform/audio.h"
#include "platform/seams.h"

namespace {

const char* const kMusic[] = {"BGM/eBGM.wav", "BGM/nBGM.wav", "BGM/hBGM.wav", "BGM/bBGM.wav", "BGM/vsBGM.wav"};

class GameMix : public testing_support::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    assets = GameAssets{};
    tu::platform::SetExeFolderOverride(asset_files::Dir() + "/");
    LoadAssets();
    ASSERT_TRUE(tu::platform::RecordedBoxes().empty());
  }
  void TearDown() override {
    tuSound::Release();
    tuDraw::Release();
    tu::platform::SetExeFolderOverride("");
  }
  // Starts the effects in one frame (an id twice takes both of its channels) and, when
  // `music` >= 0, that music from frame `musicFrame`; pulls `frames` frames of the mix.
  std::vector<int16_t> Pull(const std::vector<int>& effects, int music, uint32_t musicFrame, int frames) {
    for (int id : effects) tuSound::Stop(id, -1);
    if (music >= 0) {
      tuSound::PlayLoop(music, 0);
      tu::platform::AudioSetPosition(tuSound::snd.objects[music].channels[0].buffer, musicFrame * 2);
    }
    for (int id : effects) tuSound::Play(id, -1);
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    tu::platform::AudioPull(out.data(), frames);
    if (music >= 0) tuSound::Stop(music, -1);
    return out;
  }
};

TEST_F(GameMix, BothPlayersEffectsAButtonAndTheLoudestMusicNeverReachFullScale) {
  const int set = assets.setSound, erase = assets.eraseSound, slide = assets.slideSetSound;
  const std::vector<std::vector<int>> pileUps = {
      // Both players set a piece and erase blocks in the same frame, over both button sounds.
      {set, set, erase, erase, assets.buttonSound, assets.buttonSound2},
      // One player's piece is set while the other's blocks land, each on both channels.
      {set, set, slide, slide},
      {erase, erase, slide, slide},
  };
  asset_files::Wave music[5];
  for (int m = 0; m < 5; ++m) {
    ASSERT_TRUE(asset_files::ReadWav(kMusic[m], music[m]));
    ASSERT_EQ(music[m].rate * 2, 44100);  // half a music frame per output frame
  }
  const int frames = 44100 * 6 / 10;  // longer than the longest effect
  int clipped = 0, worst = 0;
  for (const std::vector<int>& effects : pileUps) {
    std::vector<int16_t> alone = Pull(effects, -1, 0, frames);
    const int high = int(std::max_element(alone.begin(), alone.end()) - alone.begin()) / 2;
    const int low = int(std::min_element(alone.begin(), alone.end()) - alone.begin()) / 2;
    for (int m = 0; m < 5; ++m) {
      const std::vector<int16_t>& s = music[m].samples;
      const long n = long(s.size());
      // The music's highest and lowest samples meet the effects' highest and lowest moments.
      const long top = std::max_element(s.begin(), s.end()) - s.begin();
      const long bottom = std::min_element(s.begin(), s.end()) - s.begin();
      const int effectsPeak = std::max<int>(alone[size_t(2 * high)], -alone[size_t(2 * low)]);
      // No start time can do worse than both peaks together.
      EXPECT_LT(effectsPeak + std::max<int>(s[size_t(top)], -s[size_t(bottom)]), 32767) << kMusic[m];
      for (auto [peakAt, effectsAt] : {std::pair{top, high}, std::pair{bottom, low}}) {
        uint32_t from = uint32_t(((peakAt - effectsAt / 2) % n + n) % n);
        for (int16_t v : Pull(effects, assets.music[m], from, frames)) {
          clipped += v == 32767 || v == -32768;
          worst = std::max(worst, std::abs(int(v)));
        }
      }
    }
  }
  EXPECT_EQ(clipped, 0);
  EXPECT_LT(worst, 32767);
  RecordProperty("worst_peak", worst);
}

}  // namespace
