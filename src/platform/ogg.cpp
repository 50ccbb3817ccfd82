// The Ogg Vorbis decoder over a file or a file image in memory, through the host's decoder's
// callbacks; the format is checked once at the start and a chained stream ends where it
// changes.
#include "platform/ogg.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace tu::platform {

struct OggSound {
  OggVorbis_File file{};
  bool open = false;
  OggInfo info;
  // The source the decoder reads: a file, or bytes in memory.
  FILE* stream = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0, at = 0;
};

namespace {

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
  auto* s = static_cast<OggSound*>(source);
  if (size == 0) return 0;
  size_t want = count * size, left = s->size - s->at;
  size_t n = want < left ? want : left;
  memcpy(out, s->data + s->at, n);
  s->at += n;
  return n / size;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* s = static_cast<OggSound*>(source);
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(s->at)
                                                             : static_cast<int64_t>(s->size);
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  if (offset > static_cast<int64_t>(s->size) || offset < -static_cast<int64_t>(s->size)) return -1;
  int64_t to = base + offset;
  if (to < 0 || to > static_cast<int64_t>(s->size)) return -1;
  s->at = static_cast<size_t>(to);
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<OggSound*>(source)->at); }

size_t ReadFileSource(void* out, size_t size, size_t count, void* source) {
  return fread(out, size, count, static_cast<OggSound*>(source)->stream);
}
int SeekFileSource(void* source, ogg_int64_t offset, int whence) {
  return fseeko(static_cast<OggSound*>(source)->stream, static_cast<off_t>(offset), whence);
}
long TellFileSource(void* source) { return ftell(static_cast<OggSound*>(source)->stream); }

// Opens the decoder on the sound's source and checks the format of its first link.
OggSound* Start(OggSound* s, const ov_callbacks& callbacks) {
  if (ov_open_callbacks(s, &s->file, nullptr, 0, callbacks) != 0) {
    CloseOgg(s);
    return nullptr;
  }
  s->open = true;
  const vorbis_info* vi = ov_info(&s->file, -1);
  const ogg_int64_t frames = ov_pcm_total(&s->file, -1);
  if (!vi || (vi->channels != 1 && vi->channels != 2) || vi->rate < 100 || vi->rate > 100000 ||
      frames < 0) {
    CloseOgg(s);
    return nullptr;
  }
  s->info.channels = vi->channels;
  s->info.rate = static_cast<uint32_t>(vi->rate);
  s->info.frames = static_cast<uint64_t>(frames);
  return s;
}

}  // namespace

bool IsOgg(const uint8_t* data, size_t size) {
  return data && size >= 4 && memcmp(data, "OggS", 4) == 0;
}

OggSound* OpenOggFile(const char* path) {
  if (!path) return nullptr;
  auto* s = new (std::nothrow) OggSound;
  if (!s) return nullptr;
  s->stream = fopen(path, "rb");
  if (!s->stream) {
    delete s;
    return nullptr;
  }
  // The file is closed by CloseOgg, not by the decoder.
  return Start(s, {ReadFileSource, SeekFileSource, nullptr, TellFileSource});
}

OggSound* OpenOggMemory(const uint8_t* data, size_t size) {
  if (!data || !IsOgg(data, size)) return nullptr;
  auto* s = new (std::nothrow) OggSound;
  if (!s) return nullptr;
  s->data = data;
  s->size = size;
  return Start(s, {ReadMemory, SeekMemory, nullptr, TellMemory});
}

void CloseOgg(OggSound* s) {
  if (!s) return;
  if (s->open) ov_clear(&s->file);
  if (s->stream) fclose(s->stream);
  delete s;
}

OggInfo OggFormat(const OggSound* s) { return s ? s->info : OggInfo{}; }

bool OggSeek(OggSound* s, uint64_t frame) {
  if (!s || frame > s->info.frames) return false;
  return ov_pcm_seek(&s->file, static_cast<ogg_int64_t>(frame)) == 0;
}

size_t OggRead(OggSound* s, uint8_t* out, size_t bytes) {
  if (!s || !out) return 0;
  const size_t frameBytes = 2 * static_cast<size_t>(s->info.channels);
  bytes -= bytes % frameBytes;
  size_t got = 0;
  int holes = 0;
  while (got < bytes) {
    int section = 0;
    size_t want = bytes - got;
    if (want > 65536) want = 65536;
    long n = ov_read(&s->file, reinterpret_cast<char*>(out + got), static_cast<int>(want), 0, 2, 1,
                     &section);
    if (n == OV_HOLE && ++holes < 64) continue;  // a gap in the data: decoding goes on after it
    if (n <= 0) break;
    const vorbis_info* vi = ov_info(&s->file, section);
    if (!vi || vi->channels != s->info.channels || static_cast<uint32_t>(vi->rate) != s->info.rate)
      break;  // a chained stream in another format: what came before is the sound
    got += static_cast<size_t>(n);
  }
  return got - got % frameBytes;
}

bool DecodeOgg(const uint8_t* data, size_t size, size_t maxBytes, OggInfo* info,
               std::vector<uint8_t>* pcm) {
  if (!pcm) return false;
  pcm->clear();
  OggSound* s = OpenOggMemory(data, size);
  if (!s) return false;
  bool ok = true;
  try {
    // The stated length only guides the first allocation, up to a few seconds' worth: a file
    // may claim any length, and what decodes is what counts.
    const uint64_t stated = s->info.frames * 2 * static_cast<uint64_t>(s->info.channels);
    const uint64_t first = std::min<uint64_t>({stated, maxBytes, uint64_t{1} << 22});
    pcm->reserve(static_cast<size_t>(first));
    uint8_t block[16384];
    for (;;) {
      size_t n = OggRead(s, block, sizeof block);
      if (n == 0) break;
      if (pcm->size() + n > maxBytes) {
        ok = false;
        break;
      }
      pcm->insert(pcm->end(), block, block + n);
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (info) *info = s->info;
  CloseOgg(s);
  if (!ok || pcm->empty()) {
    std::vector<uint8_t>().swap(*pcm);
    return false;
  }
  return true;
}

}  // namespace tu::platform
