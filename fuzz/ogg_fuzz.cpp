// Ogg Vorbis files (page checksums set right) through the decoder, the whole-sound loader and
// the file stream: any bytes decode, load or fail with a report, and what loads plays.
#include <cstring>

#include <tu/tuSound.h>

#include "fuzz_support.h"
#include "media_crc.h"
#include "platform/audio.h"
#include "platform/ogg.h"
#include "platform/seams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  std::vector<uint8_t> file(data, data + size);
  fuzz::FixOggChecksums(file);
  tu::platform::OggInfo info;
  std::vector<uint8_t> pcm;
  tu::platform::DecodeOgg(file.data(), file.size(), 8u << 20, &info, &pcm);
  if (!fuzz::WriteInput("in.ogg", file.data(), file.size())) return 0;
  static int16_t mix[2 * 4096];
  int id = tuSound::LoadObject("in.ogg", 1);
  if (id >= 0) {
    tuSound::Play(id, -1);
    tu::platform::AudioPull(mix, 512);
    tuSound::DeleteObject(id);
  }
  // Streams need five seconds; a short sound loads whole through the same call.
  id = tuSound::LoadStreamFile("in.ogg", static_cast<int>(size * 7));
  if (id >= 0) {
    tuSound::PlayLoop(id, -1);
    for (int i = 0; i < 6; ++i) {
      tu::platform::AudioPull(mix, 4096);
      tuSound::Streaming();
    }
    tuSound::DeleteObject(id);
  }
  fuzz::ForgetBoxes();
  return 0;
}
