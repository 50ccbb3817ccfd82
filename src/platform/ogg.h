#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Ogg Vorbis sounds, decoded by the host's Vorbis decoder into 16-bit signed little-endian PCM
// with the channels interleaved.
namespace tu::platform {

// Whether the bytes begin with an Ogg page's capture pattern, "OggS".
bool IsOgg(const uint8_t* data, size_t size);

struct OggInfo {
  int channels = 0;       // 1 or 2
  uint32_t rate = 0;      // frames a second, 100..100000
  uint64_t frames = 0;    // the length the stream states
};

struct OggSound;
// Opens a file, or a file image in memory that must outlive the sound. Null unless it is an
// Ogg Vorbis stream of 1 or 2 channels at 100..100000 Hz whose length can be read.
OggSound* OpenOggFile(const char* path);
OggSound* OpenOggMemory(const uint8_t* data, size_t size);
void CloseOgg(OggSound* sound);
OggInfo OggFormat(const OggSound* sound);
// Moves to frame `frame` (0 is the first); false when the stream cannot get there.
bool OggSeek(OggSound* sound, uint64_t frame);
// Decodes up to `bytes` bytes (whole frames) from the current position into `out`; fewer only
// at the end of the stream, where a damaged stream stops, or where a chained stream changes
// its format.
size_t OggRead(OggSound* sound, uint8_t* out, size_t bytes);
// Decodes a whole file image into `pcm`; false for anything that OpenOggMemory refuses, that
// decodes to nothing, or that would decode to more than `maxBytes`.
bool DecodeOgg(const uint8_t* data, size_t size, size_t maxBytes, OggInfo* info,
               std::vector<uint8_t>* pcm);

}  // namespace tu::platform
