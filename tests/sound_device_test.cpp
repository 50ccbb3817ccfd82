// The real device path: SDL's file-writing output driver runs our mixer in its callback
// thread, and what it wrote is what a speaker would have played.
#include <SDL2/SDL.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "sound_support.h"

using namespace sound_support;

namespace {

class RealDevice : public testing_support::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    tuSound::Release();
    char pattern[] = "/tmp/quorbistane_out_XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    out_ = pattern;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out_.c_str(), 1);
    platform::SetHeadless(false);
  }
  void TearDown() override {
    platform::AudioClose();
    platform::SetHeadless(true);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    remove(out_.c_str());
  }
  std::vector<int16_t> Written() const {
    std::ifstream f(out_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(bytes.size() / 2);
    memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
  }
  std::string out_;
  // Waits (a bounded while) for the callback to take the buffer to its end.
  static bool PlaysToItsEnd(platform::AudioBuffer* b) {
    platform::AudioPlay(b, false);
    for (int i = 0; i < 500; ++i) {
      uint32_t status = 0;
      platform::AudioGetStatus(b, &status);
      if (!(status & platform::AUDIO_STATUS_PLAYING)) return true;
      SDL_Delay(10);
    }
    return false;
  }
  static platform::AudioBuffer* Make(int channels, uint32_t rate, int bits, uint32_t frames) {
    platform::WaveFormat f;
    f.channels = static_cast<uint16_t>(channels);
    f.samplesPerSec = rate;
    f.bitsPerSample = static_cast<uint16_t>(bits);
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = rate * f.blockAlign;
    platform::AudioBuffer* b = nullptr;
    EXPECT_EQ(platform::AudioCreateBuffer(f, frames * f.blockAlign, &b), 0);
    return b;
  }
};

TEST_F(RealDevice, CallbackMixesBuffersAndFollowsFormatChanges) {
  ASSERT_EQ(platform::AudioOpen(), platform::AUDIO_OK);
  platform::AudioBuffer* b = Make(1, 44100, 16, 2205);
  ASSERT_NE(b, nullptr);
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_EQ(platform::AudioLock(b, 0, 4410, &p1, &n1, &p2, &n2), 0);
  std::vector<int16_t> dc(2205, 1000);
  memcpy(p1, dc.data(), n1);
  platform::AudioUnlock(b, p1, n1, p2, n2);
  platform::AudioSetVolume(b, -600);
  platform::AudioSetPan(b, -10000);
  EXPECT_TRUE(PlaysToItsEnd(b));
  platform::AudioClose();  // flushes the output file
  std::vector<int16_t> written = Written();
  int left = 0, right = 0;
  for (size_t i = 0; i + 1 < written.size(); i += 2) {
    left += written[i] == 501;
    right += written[i + 1] != 0;
  }
  EXPECT_EQ(left, 2205);
  EXPECT_EQ(right, 0);
  ASSERT_EQ(platform::AudioOpen(), platform::AUDIO_OK);
  ASSERT_EQ(platform::AudioCreateBuffer(platform::WaveFormat{}, 4410, &b), 0);

  platform::WaveFormat mono8;
  mono8.channels = 1;
  mono8.samplesPerSec = 22050;
  mono8.bitsPerSample = 8;
  mono8.blockAlign = 1;
  mono8.avgBytesPerSec = 22050;
  ASSERT_EQ(platform::AudioSetPrimaryFormat(mono8), platform::AUDIO_OK);
  EXPECT_TRUE(PlaysToItsEnd(b));  // the buffer lives on across the reopened device
  platform::AudioReleaseBuffer(b);

  platform::AudioClose();
  EXPECT_FALSE(platform::AudioIsOpen());
  // The one-shot player opens the device for the sound and closes it again.
  Bytes data = Samples16(std::vector<int16_t>(2205, 1000));
  platform::WaveFormat f;
  f.channels = 1;
  f.blockAlign = 2;
  f.avgBytesPerSec = 88200;
  platform::AudioPlayToEnd(f, data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_FALSE(platform::AudioIsOpen());
}

}  // namespace
