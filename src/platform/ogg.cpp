// The Ogg Vorbis decoder over a file or a file image in memory, through the host's decoder's
// callbacks; the format is checked once at the start and a chained stream ends where it
// changes.
#include "platform/ogg.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

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

// The number of bits needed to write v.
int BitsOf(long v) {
  int n = 0;
  for (; v > 0; v >>= 1) ++n;
  return n;
}

// The values a lookup of type 1 holds: the largest r with r^dim <= entries.
long LatticeValues(long entries, long dim) {
  if (entries < 1) return 0;
  auto fits = [&](long r) {
    long power = 1;
    for (long i = 0; i < dim; ++i) {
      if (power > entries / r) return false;
      power *= r;
    }
    return true;
  };
  long r = std::max(1L, static_cast<long>(std::floor(std::pow(static_cast<double>(entries), 1.0 / dim))));
  while (r > 1 && !fits(r)) --r;
  while (fits(r + 1)) ++r;
  return r;
}

// Whether a Vorbis setup header gives a codebook of no dimension. The decoder divides by a
// book's dimension when it decodes with it, so such a file would stop the program; no encoder
// writes one. Codebooks come first in the header; a header damaged before its books end is
// left to the decoder, which refuses it.
bool HasBookWithoutDimension(ogg_packet& packet) {
  if (packet.bytes < 8 || packet.packet[0] != 5 || memcmp(packet.packet + 1, "vorbis", 6) != 0)
    return false;
  oggpack_buffer b;
  oggpack_readinit(&b, packet.packet + 7, static_cast<int>(packet.bytes - 7));
  const long totalBits = 8 * (packet.bytes - 7);
  const long books = oggpack_read(&b, 8) + 1;
  for (long book = 0; book < books; ++book) {
    if (oggpack_read(&b, 24) != 0x564342) return false;
    const long dim = oggpack_read(&b, 16), entries = oggpack_read(&b, 24);
    if (entries < 0) return false;
    if (dim == 0) return true;
    // The code lengths: one per entry (some may be unused), or runs of rising lengths.
    if (oggpack_read(&b, 1) == 0) {
      const bool sparse = oggpack_read(&b, 1) == 1;
      for (long e = 0; e < entries; ++e)
        if ((!sparse || oggpack_read(&b, 1) == 1) && oggpack_read(&b, 5) < 0) return false;
    } else {
      if (oggpack_read(&b, 5) < 0) return false;
      for (long e = 0; e < entries;) {
        const long run = oggpack_read(&b, BitsOf(entries - e));
        if (run < 0 || run > entries - e) return false;
        e += run;
      }
    }
    // The lookup table of values, skipped.
    const long map = oggpack_read(&b, 4);
    if (map == 1 || map == 2) {
      oggpack_read(&b, 32);
      oggpack_read(&b, 32);
      const long valueBits = oggpack_read(&b, 4) + 1;
      if (oggpack_read(&b, 1) < 0) return false;
      const long values = map == 1 ? LatticeValues(entries, dim) : entries * dim;
      if (values > (totalBits - oggpack_bits(&b)) / valueBits) return false;
      oggpack_adv(&b, static_cast<int>(values * valueBits));
    } else if (map != 0) {
      return false;
    }
  }
  return false;
}

// Reads the whole source through the page layer and checks the setup header of every logical
// stream in it (a chained file has one per link; the decoder reads them all when it opens).
bool SetupHeadersSafe(size_t (*read)(void*, size_t, size_t, void*), void* source) {
  struct Stream {
    int serial = 0;
    int packets = 0;
    ogg_stream_state state{};
  };
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  std::vector<Stream> streams;
  bool safe = true, more = true;
  while (safe && more) {
    char* buffer = ogg_sync_buffer(&sync, 65536);
    if (!buffer) break;
    const size_t got = read(buffer, 1, 65536, source);
    ogg_sync_wrote(&sync, static_cast<long>(got));
    more = got > 0;
    ogg_page page;
    while (safe && ogg_sync_pageout(&sync, &page) == 1) {
      const int serial = ogg_page_serialno(&page);
      auto it = std::find_if(streams.begin(), streams.end(), [&](const Stream& s) { return s.serial == serial; });
      if (it == streams.end()) {
        // Only a stream's first page starts it; at most a few streams at once are followed.
        if (!ogg_page_bos(&page) || streams.size() >= 8) continue;
        streams.emplace_back();
        it = streams.end() - 1;
        it->serial = serial;
        ogg_stream_init(&it->state, serial);
      }
      ogg_stream_pagein(&it->state, &page);
      ogg_packet packet;
      while (safe && it->packets < 3 && ogg_stream_packetout(&it->state, &packet) == 1)
        if (++it->packets == 3) safe = !HasBookWithoutDimension(packet);
      if (it->packets >= 3) {
        ogg_stream_clear(&it->state);
        streams.erase(it);
      }
    }
  }
  for (Stream& s : streams) ogg_stream_clear(&s.state);
  ogg_sync_clear(&sync);
  return safe;
}

// Opens the decoder on the sound's source and checks the format of its first link.
OggSound* Start(OggSound* s, const ov_callbacks& callbacks) {
  const bool safe = SetupHeadersSafe(callbacks.read_func, s);
  if (!safe || callbacks.seek_func(s, 0, SEEK_SET) != 0) {
    CloseOgg(s);
    return nullptr;
  }
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
