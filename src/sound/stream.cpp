// Streaming: a sound object whose one buffer holds four seconds and is refilled two seconds at
// a time from a sound pack entry while it plays, looping back to a loop point if asked.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "sound/internal.h"

namespace tuSound {

namespace {

const char kNoPack[] = "パックファイル名が指定されていません";
const char kCannotStream[] = "ストリーミング再生できません";

// The byte value of silence per entry: 0x80 for 8-bit samples, 0 for all others.
uint8_t silenceByte[kMaxSounds];


// Reads `n` bytes at the file's position into `out`; what the file no longer holds (it was
// changed since the load) becomes silence rather than stale samples.
void ReadChunk(FILE* f, uint8_t* out, uint32_t n, uint8_t silence) {
  size_t got = fread(out, 1, n, f);
  if (got < n) memset(out + got, silence, n - got);
}

// Copies `n` bytes (or silence when `data` is null) into the buffer at `offset`.
void WriteRing(tu::platform::AudioBuffer* b, uint32_t offset, const uint8_t* data, uint32_t n,
               uint8_t silence) {
  void* first = nullptr;
  void* second = nullptr;
  uint32_t firstBytes = 0, secondBytes = 0;
  if (tu::platform::AudioLock(b, offset, n, &first, &firstBytes, &second, &secondBytes) !=
      tu::platform::AUDIO_OK)
    return;
  if (data) {
    memcpy(first, data, firstBytes);
    if (second) memcpy(second, data + firstBytes, secondBytes);
  } else {
    memset(first, silence, firstBytes);
    if (second) memset(second, silence, secondBytes);
  }
  tu::platform::AudioUnlock(b, first, firstBytes, second, secondBytes);
}

void RestartRecord(StreamRecord& r) {
  r.lastWriteStart = 0;
  r.writePosition = r.halfSize;
  r.consumed = r.halfSize;
  r.wrapMark = 0xFFFFFFFFu;
  r.lastPlayCursor = 0;
  r.endCountdown = 0;
}

// Whether the play cursor has left the region of the last refill.
bool RefillDue(const StreamRecord& r, uint32_t p) {
  uint32_t w = r.lastWriteStart, e = r.wrapMark, l = r.lastPlayCursor;
  if (e == 0xFFFFFFFFu) return !(l <= p && p < w);
  if (w < e) return w <= p && p < e;
  return p >= w;
}

}  // namespace

int LoadStream(const char* name, int loopOffset) {
  const char* context = "tuSound::LoadStream";
  if (!snd.available) return -1;
  if (!name) name = "";
  int e = detail::EntryForLoad(context, name, "ファイル名が長すぎます");
  if (e < 0) return -1;
  char path[sizeof StreamRecord::packPath];
  tu::CopyCut(path, sizeof path, CurrentPackPath());
  FILE* f = path[0] ? fopen(path, "rb") : nullptr;
  if (!f) {
    tuSystem::Error(context, kNoPack, 0);
    return -1;
  }
  char upper[kNameLength + 1];
  tu::CopyCut(upper, sizeof upper, name);
  detail::UpperAscii(upper);
  detail::PackEntryInfo entry;
  detail::PackFormat block;
  if (!detail::FindPackEntry(f, upper, &entry) ||
      !detail::ReadPackFormat(f, entry.formatSize, &block)) {
    fclose(f);
    tuSystem::Error(context, "WAVEファイルを読み込めません", 0);
    return -1;
  }
  tu::platform::WaveFormat format = block.Head();
  uint32_t avg = format.avgBytesPerSec;
  if (format.blockAlign == 0 || avg != format.samplesPerSec * format.blockAlign) {
    // The ring's size follows the bytes per second: a format that misstates them is unusable.
    fclose(f);
    tuSystem::Error(context, "WAVEファイルを読み込めません", 0);
    return -1;
  }
  if (avg == 0 || entry.dataSize / avg < 5) {
    // Under five seconds the sound is held whole, as an ordinary one-channel object.
    fclose(f);
    return LoadPack(name, 1);
  }

  SoundObject& o = snd.objects[e];
  detail::ReleaseBuffers(o);
  StreamRecord r;
  tu::CopyCut(r.packPath, sizeof r.packPath, path);
  // Whole frames only: a partial frame at the end would shift every frame after the loop.
  r.dataSize = entry.dataSize - entry.dataSize % format.blockAlign;
  r.bufferSize = 4 * avg;
  r.halfSize = r.bufferSize / 2;
  r.start = static_cast<uint32_t>(ftell(f));
  // A loop point outside the sound would make the refills read past the entry: such an
  // offset loops to the start. It is kept on a whole frame.
  uint32_t offset = loopOffset >= 0 ? static_cast<uint32_t>(loopOffset) : 0;
  if (offset >= r.dataSize) offset = 0;
  offset -= offset % format.blockAlign;
  r.loopPosition = r.start + offset;
  RestartRecord(r);
  uint8_t silence = format.bitsPerSample == 8 ? 0x80 : 0;
  std::vector<uint8_t> first(r.halfSize);
  ReadChunk(f, first.data(), r.halfSize, silence);
  r.readPosition = r.start + r.halfSize;
  fclose(f);

  o.channelCount = 1;
  o.echoState = -1;
  if (!snd.rebuilding) {
    o.nextChannel = 0;
    o.looping = 0;
  }
  SoundChannel& channel = o.channels[0];
  int result = tu::platform::AudioCreateBuffer(block.block, block.length, r.bufferSize, &channel.buffer);
  if (result != tu::platform::AUDIO_OK) {
    channel.buffer = nullptr;
    if (!snd.rebuilding) o = SoundObject{};
    tuSystem::Error(context, "サウンドバッファが生成できません", result);
    return -1;
  }
  silenceByte[e] = silence;
  if (silence) WriteRing(channel.buffer, 0, nullptr, r.bufferSize, silence);
  WriteRing(channel.buffer, 0, first.data(), r.halfSize, silence);
  detail::SettleChannel(o, channel);
  o.stream = r;
  o.used = 1;
  o.fromPack = 1;
  if (!snd.rebuilding) tu::CopyCut(o.name, sizeof o.name, name);
  return e;
}

int ResetStream(int id) {
  const char* context = "tuSound::ResetStream";
  SoundObject* o = detail::UsedObject(id);
  if (!o || o->stream.dataSize == 0 || !o->channels[0].buffer) return 0;
  StreamRecord& r = o->stream;
  FILE* f = fopen(r.packPath, "rb");
  if (!f) return tuSystem::Error(context, kNoPack, 0);
  if (fseek(f, static_cast<long>(r.start), SEEK_SET) != 0) {
    fclose(f);
    return tuSystem::Error(context, kCannotStream, 0);
  }
  RestartRecord(r);
  std::vector<uint8_t> block(r.halfSize);
  ReadChunk(f, block.data(), r.halfSize, silenceByte[id]);
  r.readPosition = r.start + r.halfSize;
  fclose(f);
  WriteRing(o->channels[0].buffer, 0, block.data(), r.halfSize, silenceByte[id]);
  return 1;
}

int Streaming() {
  const char* context = "tuSound::Streaming";
  if (!snd.available) return 0;
  std::vector<uint8_t> chunk;
  for (int id = 0; id < kMaxSounds; ++id) {
    SoundObject& o = snd.objects[id];
    StreamRecord& r = o.stream;
    tu::platform::AudioBuffer* b = o.channels[0].buffer;
    if (!o.used || r.dataSize == 0 || !b) continue;
    uint32_t status = 0;
    tu::platform::AudioGetStatus(b, &status);
    if (!(status & tu::platform::AUDIO_STATUS_PLAYING)) continue;
    uint32_t p = 0;
    tu::platform::AudioGetPosition(b, &p, nullptr);
    if (!RefillDue(r, p)) continue;
    r.lastPlayCursor = p;
    if (r.endCountdown != 0 && --r.endCountdown == 0) {
      Stop(id, kAllChannels);
      continue;
    }
    FILE* f = fopen(r.packPath, "rb");
    if (!f) return tuSystem::Error(context, kNoPack, 0);
    if (fseek(f, static_cast<long>(r.readPosition), SEEK_SET) != 0) {
      fclose(f);
      return tuSystem::Error(context, kCannotStream, 0);
    }
    uint32_t n = r.halfSize;
    uint32_t left = r.dataSize - r.consumed;
    if (n > left)
      n = left;
    else if (left - n < n)
      n = left / 2;  // the last two refills of a pass share what is left
    chunk.resize(n);
    ReadChunk(f, chunk.data(), n, silenceByte[id]);
    r.readPosition += n;
    fclose(f);
    r.consumed += n;
    if (r.consumed >= r.dataSize) {
      r.readPosition = r.loopPosition;
      r.consumed = r.loopPosition - r.start;
      // Counting down only from a running pass: a loop point near the end must not wind the
      // countdown up again while the silence is being written.
      if (o.looping == 0 && r.endCountdown == 0) r.endCountdown = 2;
    }
    WriteRing(b, r.writePosition, r.endCountdown == 1 ? nullptr : chunk.data(), n,
              silenceByte[id]);
    r.wrapMark = r.writePosition < r.lastWriteStart ? p : 0xFFFFFFFFu;
    r.lastWriteStart = r.writePosition >= r.bufferSize ? r.writePosition - r.bufferSize
                                                       : r.writePosition;
    r.writePosition += n;
    if (r.writePosition >= r.bufferSize) r.writePosition -= r.bufferSize;
  }
  return 1;
}

}  // namespace tuSound
