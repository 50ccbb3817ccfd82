// Sound packs and streams: any bytes as a pack, loaded whole and as a stream, then mixed.
#include <tu/tuSound.h>

#include "fuzz_support.h"
#include "platform/audio.h"
#include "platform/seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  if (!fuzz::WriteInput("in.pak", data, size)) return 0;
  static int16_t mix[2 * 4096];
  tuSound::PackPath("in.pak");
  int whole = tuSound::LoadPack("mono16.wav", 2);
  int other = tuSound::LoadPack("STEREO8.WAV", 1);
  int stream = tuSound::LoadStream("MONO16.WAV", static_cast<int>(size % 7919));
  for (int id : {whole, other}) tuSound::Play(id, -1);
  tuSound::PlayLoop(stream, -1);
  for (int i = 0; i < 3; ++i) {
    tu::platform::AudioPull(mix, 4096);
    tuSound::Streaming();
  }
  tuSound::ResetStream(stream);
  for (int id : {whole, other, stream})
    if (id >= 0) tuSound::DeleteObject(id);
  fuzz::ForgetBoxes();
  return 0;
}
