// RIFF WAVE reading: our own chunk walker over stdio. Every size read from the file is
// checked against what the file holds before anything is allocated or read.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tu/tuSound.h>

#include "platform/audio.h"
#include "sound/internal.h"

namespace tuSound {
namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

class WaveFile {
 public:
  explicit WaveFile(const char* path) : f_(fopen(path, "rb")) {
    if (f_ && fseek(f_, 0, SEEK_END) == 0) {
      long n = ftell(f_);
      size_ = n > 0 ? static_cast<uint64_t>(n) : 0;
      if (fseek(f_, 0, SEEK_SET) != 0) size_ = 0;
    }
  }
  ~WaveFile() {
    if (f_) fclose(f_);
  }
  WaveFile(const WaveFile&) = delete;
  WaveFile& operator=(const WaveFile&) = delete;

  bool ok() const { return f_ != nullptr; }
  uint64_t size() const { return size_; }

  bool ReadAt(uint64_t offset, void* out, size_t n) {
    if (offset > size_ || n > size_ - offset) return false;
    if (fseek(f_, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return fread(out, 1, n, f_) == n;
  }

  // Finds chunk `id` among the chunks from `begin` to `end`; on success gives the offset of
  // its body and its stated size. Odd chunk sizes are followed by one pad byte.
  bool FindChunk(uint64_t begin, uint64_t end, const char* id, uint64_t* body, uint32_t* size) {
    uint64_t at = begin;
    while (at + 8 <= end) {
      uint8_t head[8];
      if (!ReadAt(at, head, 8)) return false;
      uint32_t n = Le32(head + 4);
      if (memcmp(head, id, 4) == 0) {
        *body = at + 8;
        *size = n;
        return true;
      }
      at += 8 + static_cast<uint64_t>(n) + (n & 1u);
    }
    return false;
  }

 private:
  FILE* f_;
  uint64_t size_ = 0;
};

}  // namespace

namespace {

// Where a WAV file's parts lie: its format (the 18-byte head, the extra bytes at `extraAt`) and
// its samples. False for anything that is not a usable WAV file.
struct WaveLayout {
  tu::platform::WaveFormat head;
  uint64_t extraAt = 0;
  uint64_t dataAt = 0;
  uint32_t dataSize = 0;
};

bool Parse(WaveFile& file, WaveLayout* out) {
  if (!file.ok()) return false;
  uint8_t riff[12];
  if (!file.ReadAt(0, riff, 12)) return false;
  if (memcmp(riff, "RIFF", 4) != 0 || memcmp(riff + 8, "WAVE", 4) != 0) return false;
  // The body ends where the RIFF chunk says, or at the end of the file if that comes first.
  uint64_t bodyEnd = 8 + static_cast<uint64_t>(Le32(riff + 4));
  if (bodyEnd > file.size()) bodyEnd = file.size();

  uint64_t fmtAt = 0;
  uint32_t fmtSize = 0;
  if (!file.FindChunk(12, bodyEnd, "fmt ", &fmtAt, &fmtSize) || fmtSize < 16) return false;
  uint8_t pcm[18] = {};
  if (!file.ReadAt(fmtAt, pcm, 16)) return false;
  tu::platform::WaveFormat& wf = out->head;
  wf.formatTag = Le16(pcm);
  wf.channels = Le16(pcm + 2);
  wf.samplesPerSec = Le32(pcm + 4);
  wf.avgBytesPerSec = Le32(pcm + 8);
  wf.blockAlign = Le16(pcm + 12);
  wf.bitsPerSample = Le16(pcm + 14);
  wf.extraSize = 0;
  if (wf.formatTag != tu::platform::WAVE_FORMAT_PCM) {
    // Other formats carry an extra size and that many bytes, inside the chunk.
    if (fmtSize < 18 || !file.ReadAt(fmtAt + 16, pcm + 16, 2)) return false;
    wf.extraSize = Le16(pcm + 16);
    if (18u + wf.extraSize > fmtSize) return false;
  }
  // A format without channels, rate or block size describes no sound, and its readers divide
  // by them: refused. The other fields are judged by whoever makes a buffer of it.
  if (wf.channels == 0 || wf.samplesPerSec == 0 || wf.blockAlign == 0) return false;
  out->extraAt = fmtAt + 18;

  // The data chunk is searched from the start of the body again: it may precede "fmt ".
  uint64_t dataAt = 0;
  uint32_t size = 0;
  if (!file.FindChunk(12, bodyEnd, "data", &dataAt, &size)) return false;
  // A data chunk that claims more than the file holds is truncated: nothing is allocated.
  if (dataAt > file.size() || size > file.size() - dataAt || size > 0x7FFFFFFFu) return false;
  out->dataAt = dataAt;
  out->dataSize = size;
  return true;
}

}  // namespace

int ReadWave(const char* path, uint8_t** format, int* formatLength, uint8_t** data,
             int* dataSize) {
  uint8_t* fmtBlock = nullptr;
  uint8_t* dataBlock = nullptr;
  if (format) *format = nullptr;
  if (formatLength) *formatLength = 0;
  if (data) *data = nullptr;
  if (dataSize) *dataSize = 0;
  if (!path || !format || !formatLength || !data || !dataSize) return 1;

  WaveFile file(path);
  auto fail = [&]() {
    free(fmtBlock);
    free(dataBlock);
    return 1;
  };
  WaveLayout w;
  if (!Parse(file, &w)) return fail();
  const tu::platform::WaveFormat& wf = w.head;
  int fmtLength = 18 + wf.extraSize;
  fmtBlock = static_cast<uint8_t*>(malloc(static_cast<size_t>(fmtLength)));
  if (!fmtBlock) return fail();
  memcpy(fmtBlock, &wf, 18);
  if (wf.extraSize > 0 && !file.ReadAt(w.extraAt, fmtBlock + 18, wf.extraSize)) return fail();

  uint32_t size = w.dataSize;
  dataBlock = static_cast<uint8_t*>(malloc(size > 0 ? size : 1));
  if (!dataBlock) return fail();
  if (size > 0 && !file.ReadAt(w.dataAt, dataBlock, size)) return fail();

  *format = fmtBlock;
  *formatLength = fmtLength;
  *data = dataBlock;
  *dataSize = static_cast<int>(size);
  return 0;
}

}  // namespace tuSound

namespace tu::sound {

bool LocateWave(const char* path, PackFormat* format, uint32_t* offset, uint32_t* size) {
  if (!path || !format || !offset || !size) return false;
  WaveFile file(path);
  WaveLayout w;
  if (!Parse(file, &w) || w.dataAt > 0xFFFFFFFFu - w.dataSize) return false;
  *format = PackFormat{};
  memcpy(format->block, &w.head, sizeof w.head);
  uint32_t extra = w.head.extraSize;
  if (extra > sizeof format->block - sizeof w.head)
    extra = static_cast<uint32_t>(sizeof format->block - sizeof w.head);
  if (extra > 0 && !file.ReadAt(w.extraAt, format->block + sizeof w.head, extra)) return false;
  format->length = static_cast<uint32_t>(sizeof w.head) + extra;
  *offset = static_cast<uint32_t>(w.dataAt);
  *size = w.dataSize;
  return true;
}

}  // namespace tu::sound
