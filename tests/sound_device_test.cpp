// The real device path: SDL's file-writing output driver runs our mixer in its callback
// thread, and the file holds what a speaker would have played.
#include <SDL2/SDL.h>
#include <unistd.h>

#include <cstring>
#include <iterator>

#include "sound_support.h"

namespace {

TEST(RealDevice, CallbackMixesBuffersAndTheOneShotPlayerWaitsForItsEnd) {
  testing_support::ResetHeadless();
  tuSound::Release();
  char out[] = "/tmp/quorbistane_out_XXXXXX";
  int fd = mkstemp(out);
  ASSERT_GE(fd, 0);
  close(fd);
  SDL_LogSetOutputFunction([](void*, int, SDL_LogPriority, const char*) {}, nullptr);  // driver banner
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out, 1);
  platform::SetHeadless(false);

  ASSERT_EQ(platform::AudioOpen(), platform::AUDIO_OK);
  platform::WaveFormat mono;
  mono.channels = 1;
  mono.blockAlign = 2;
  platform::AudioBuffer* b = nullptr;
  ASSERT_EQ(platform::AudioCreateBuffer(mono, 4410, &b), 0);
  void *p1, *p2;
  uint32_t n1, n2;
  platform::AudioLock(b, 0, 4410, &p1, &n1, &p2, &n2);
  std::vector<int16_t> dc(2205, 1000);
  memcpy(p1, dc.data(), n1);
  platform::AudioSetVolume(b, -600);
  platform::AudioSetPan(b, -10000);
  platform::AudioPlay(b, false);
  uint32_t status = 1;
  for (int i = 0; i < 500 && status; ++i) {
    SDL_Delay(10);
    platform::AudioGetStatus(b, &status);
  }
  EXPECT_EQ(status, 0u);
  platform::AudioClose();  // flushes the file

  std::ifstream f(out, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<int16_t> written(bytes.size() / 2);
  memcpy(written.data(), bytes.data(), written.size() * 2);
  int left = 0, right = 0;
  for (size_t i = 0; i + 1 < written.size(); i += 2) {
    left += written[i] == 501;
    right += written[i + 1] != 0;
  }
  EXPECT_EQ(left, 2205);
  EXPECT_EQ(right, 0);

  // The one-shot player opens the device for its sound, returns after it and closes it.
  platform::AudioPlayToEnd(&mono, sizeof mono, dc.data(), 4410);
  EXPECT_FALSE(platform::AudioIsOpen());
  std::ifstream g(out, std::ios::binary | std::ios::ate);
  EXPECT_GE(static_cast<long>(g.tellg()), 2205 * 4);
  // A format change reopens the device; the player then uses it as it is and leaves it open.
  ASSERT_EQ(platform::AudioOpen(), platform::AUDIO_OK);
  platform::WaveFormat mono8 = mono;
  mono8.samplesPerSec = 22050;
  mono8.bitsPerSample = 8;
  mono8.blockAlign = 1;
  ASSERT_EQ(platform::AudioSetPrimaryFormat(mono8), platform::AUDIO_OK);
  platform::AudioPlayToEnd(&mono8, sizeof mono8, dc.data(), 2205);
  EXPECT_TRUE(platform::AudioIsOpen());
  platform::AudioClose();

  platform::SetHeadless(true);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  remove(out);
}

}  // namespace
