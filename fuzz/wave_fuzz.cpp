// WAV files through the reader and the sound loader.
#include <cstdlib>

#include <tu/tuSound.h>

#include "fuzz_support.h"
#include "platform/audio.h"
#include "platform/seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  if (!fuzz::WriteInput("in.wav", data, size)) return 0;
  uint8_t* format = nullptr;
  uint8_t* samples = nullptr;
  int formatLength = 0;
  int dataSize = 0;
  std::string path = fuzz::Folder() + "in.wav";
  tuSound::ReadWave(path.c_str(), &format, &formatLength, &samples, &dataSize);
  free(format);
  free(samples);
  int id = tuSound::LoadObject("in.wav", 2);
  if (id >= 0) {
    tuSound::Play(id, -1);
    static int16_t mix[2 * 512];
    tu::platform::AudioPull(mix, 512);
    tuSound::DeleteObject(id);
  }
  fuzz::ForgetBoxes();
  return 0;
}
