// Streaming: a sound object whose one buffer holds four seconds and is refilled two seconds at
// a time while it plays, looping back to a loop point if asked. The sound comes from a sound
// pack entry, a WAV file, or an Ogg Vorbis file decoded as it plays.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/ogg.h"
#include "sound/internal.h"

namespace tuSound {

namespace {

const char kCannotStream[] = "ストリーミング再生できません";

// The byte value of silence per entry: 0x80 for 8-bit samples, 0 for all others.
uint8_t silenceByte[kMaxSounds];
// An Ogg Vorbis stream's decoder, open while the entry holds the stream, and the offset into
// the decoded samples it stands at (reading on from there needs no seek).
tu::platform::OggSound* decoders[kMaxSounds];
uint32_t decoderAt[kMaxSounds];


// Reads `n` bytes at the file's position into `out`; what the file no longer holds (it was
// changed since the load) becomes silence rather than stale samples.
void ReadChunk(FILE* f, uint8_t* out, uint32_t n, uint8_t silence) {
  size_t got = fread(out, 1, n, f);
  if (got < n) memset(out + got, silence, n - got);
}

// Reads `n` bytes of entry `id`'s sound from `position` of its source: a pack or WAV file is
// opened, sought and read each time; an Ogg Vorbis file is decoded on from where its decoder
// stands, sought only when the position differs. What the source no longer holds becomes
// silence. False after a report under `context`.
bool ReadSource(int id, const StreamRecord& r, uint32_t position, uint8_t* out, uint32_t n,
                const char* context) {
  const uint8_t silence = silenceByte[id];
  if (r.source == kStreamFromOgg) {
    tu::platform::OggSound*& d = decoders[id];
    if (!d) {
      d = tu::platform::OpenOggFile(r.packPath);
      decoderAt[id] = 0;
      if (!d) {
        tuSystem::Error(context, kCannotStream, 0);
        return false;
      }
    }
    // The decoder gives whole frames: a read that begins or ends inside a frame (the last two
    // refills of a pass split what is left in halves) decodes the frames around it and takes
    // its bytes from them.
    const uint32_t frameBytes = 2u * static_cast<uint32_t>(tu::platform::OggFormat(d).channels);
    const uint32_t first = position - position % frameBytes, skip = position - first;
    const bool aligned = skip == 0 && n % frameBytes == 0;
    std::vector<uint8_t> frames;
    if (!aligned) frames.resize(((skip + n + frameBytes - 1) / frameBytes) * frameBytes);
    uint8_t* to = aligned ? out : frames.data();
    const uint32_t want = aligned ? n : static_cast<uint32_t>(frames.size());
    size_t got = 0;
    if (first == decoderAt[id] || tu::platform::OggSeek(d, first / frameBytes))
      got = tu::platform::OggRead(d, to, want);
    decoderAt[id] = first + static_cast<uint32_t>(got);
    if (!aligned) {
      got = got > skip ? std::min<size_t>(got - skip, n) : 0;
      memcpy(out, frames.data() + skip, got);
    }
    if (got < n) memset(out + got, silence, n - got);
    return true;
  }
  FILE* f = fopen(r.packPath, "rb");
  if (!f) {
    tuSystem::Error(context, detail::kNoPack, 0);
    return false;
  }
  if (fseek(f, static_cast<long>(position), SEEK_SET) != 0) {
    fclose(f);
    tuSystem::Error(context, kCannotStream, 0);
    return false;
  }
  ReadChunk(f, out, n, silence);
  fclose(f);
  return true;
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

// The ring's size follows the bytes per second: a format that misstates them is unusable.
bool FormatStreams(const tu::platform::WaveFormat& format) {
  return format.blockAlign != 0 &&
         format.avgBytesPerSec == format.samplesPerSec * format.blockAlign;
}

// Makes entry `e` a stream of `r`'s sound (its source, path, start and data size set) in the
// format `block`, with its first two seconds in the ring: the rest of a load, whatever the
// source. Sound id or -1 after a report.
int StartStream(int e, const char* context, const char* name, StreamRecord r,
                const detail::PackFormat& block, int loopOffset) {
  tu::platform::WaveFormat format = block.Head();
  uint32_t avg = format.avgBytesPerSec;
  SoundObject& o = snd.objects[e];
  detail::ReleaseBuffers(o);
  // Whole frames only: a partial frame at the end would shift every frame after the loop.
  r.dataSize -= r.dataSize % format.blockAlign;
  r.bufferSize = 4 * avg;
  r.halfSize = r.bufferSize / 2;
  // A loop point outside the sound would make the refills read past the entry: such an
  // offset loops to the start. It is kept on a whole frame.
  uint32_t offset = loopOffset >= 0 ? static_cast<uint32_t>(loopOffset) : 0;
  if (offset >= r.dataSize) offset = 0;
  offset -= offset % format.blockAlign;
  r.loopPosition = r.start + offset;
  RestartRecord(r);
  uint8_t silence = format.bitsPerSample == 8 ? 0x80 : 0;
  silenceByte[e] = silence;
  std::vector<uint8_t> first(r.halfSize);
  if (!ReadSource(e, r, r.start, first.data(), r.halfSize, context)) {
    if (!snd.rebuilding) o = SoundObject{};
    detail::CloseStreamSource(e);
    return -1;
  }
  r.readPosition = r.start + r.halfSize;

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
    detail::CloseStreamSource(e);
    tuSystem::Error(context, "サウンドバッファが生成できません", result);
    return -1;
  }
  if (silence) WriteRing(channel.buffer, 0, nullptr, r.bufferSize, silence);
  WriteRing(channel.buffer, 0, first.data(), r.halfSize, silence);
  detail::SettleChannel(o, channel);
  o.stream = r;
  o.used = 1;
  o.fromPack = 1;
  if (!snd.rebuilding) tu::CopyCut(o.name, sizeof o.name, name);
  return e;
}

}  // namespace

}  // namespace tuSound

namespace tu::sound {

void CloseStreamSource(int id) {
  if (id < 0 || id >= kMaxSounds) return;
  tu::platform::CloseOgg(decoders[id]);
  decoders[id] = nullptr;
  decoderAt[id] = 0;
}

}  // namespace tu::sound

namespace tuSound {

int LoadStream(const char* name, int loopOffset) {
  const char* context = "tuSound::LoadStream";
  if (!snd.available) return -1;
  if (!name) name = "";
  int e = detail::EntryForLoad(context, name, "ファイル名が長すぎます");
  if (e < 0) return -1;
  StreamRecord r;
  tu::CopyCut(r.packPath, sizeof r.packPath, CurrentPackPath());
  detail::PackEntryInfo entry;
  detail::PackFormat block;
  FILE* f = detail::OpenPackEntry(context, r.packPath, name, &entry, &block);
  if (!f) return -1;
  tu::platform::WaveFormat format = block.Head();
  if (!FormatStreams(format)) {
    fclose(f);
    tuSystem::Error(context, detail::kCannotReadWave, 0);
    return -1;
  }
  uint32_t avg = format.avgBytesPerSec;
  if (avg == 0 || entry.dataSize / avg < 5) {
    // Under five seconds the sound is held whole, as an ordinary one-channel object.
    fclose(f);
    return LoadPack(name, 1);
  }
  r.start = static_cast<uint32_t>(ftell(f));
  fclose(f);
  r.dataSize = entry.dataSize;
  r.source = kStreamFromPack;
  detail::CloseStreamSource(e);
  return StartStream(e, context, name, r, block, loopOffset);
}

int LoadStreamFile(const char* name, int loopOffset) {
  const char* context = "tuSound::LoadStreamFile";
  if (!snd.available) return -1;
  if (!name) name = "";
  int e = detail::EntryForLoad(context, name, "ファイル名が長すぎます");
  if (e < 0) return -1;
  detail::CloseStreamSource(e);
  StreamRecord r;
  tu::JoinCut(r.packPath, sizeof r.packPath, tuSystem::GetPath(0), name, "");
  uint8_t head[4] = {};
  if (FILE* f = fopen(r.packPath, "rb")) {
    if (fread(head, 1, sizeof head, f) != sizeof head) head[0] = 0;
    fclose(f);
  }
  detail::PackFormat block;
  if (tu::platform::IsOgg(head, sizeof head)) {
    tu::platform::OggSound* d = tu::platform::OpenOggFile(r.packPath);
    tu::platform::OggInfo info = tu::platform::OggFormat(d);
    const uint64_t bytes = info.frames * 2 * static_cast<uint64_t>(info.channels);
    if (!d || bytes == 0 || bytes > 0xFFFFFFFFu) {
      // Nothing to decode, or longer than a stream can count (some six hours).
      tu::platform::CloseOgg(d);
      std::string message = std::string("Ogg Vorbisファイルを読み込めません (") + name + ")";
      tuSystem::Error(context, message.c_str(), 0);
      return -1;
    }
    tu::platform::WaveFormat f;
    f.formatTag = tu::platform::WAVE_FORMAT_PCM;
    f.channels = static_cast<uint16_t>(info.channels);
    f.samplesPerSec = info.rate;
    f.bitsPerSample = 16;
    f.blockAlign = static_cast<uint16_t>(2 * info.channels);
    f.avgBytesPerSec = info.rate * f.blockAlign;
    f.extraSize = 0;
    memcpy(block.block, &f, sizeof f);
    block.length = sizeof f;
    r.source = kStreamFromOgg;
    r.start = 0;
    r.dataSize = static_cast<uint32_t>(bytes);
    decoders[e] = d;
    decoderAt[e] = 0;
  } else if (detail::LocateWave(r.packPath, &block, &r.start, &r.dataSize) &&
             FormatStreams(block.Head())) {
    r.source = kStreamFromWave;
  } else {
    tuSystem::Error(context, detail::kCannotReadWave, 0);
    return -1;
  }
  const uint32_t avg = block.Head().avgBytesPerSec;
  if (avg == 0 || r.dataSize / avg < 5) {
    // Under five seconds the sound is held whole, as an ordinary one-channel object.
    detail::CloseStreamSource(e);
    return LoadObject(name, 1);
  }
  return StartStream(e, context, name, r, block, loopOffset);
}

int ResetStream(int id) {
  const char* context = "tuSound::ResetStream";
  SoundObject* o = detail::UsedObject(id);
  if (!o || o->stream.dataSize == 0 || !o->channels[0].buffer) return 0;
  StreamRecord& r = o->stream;
  std::vector<uint8_t> block(r.halfSize);
  if (!ReadSource(id, r, r.start, block.data(), r.halfSize, context)) return 0;
  RestartRecord(r);
  r.readPosition = r.start + r.halfSize;
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
    uint32_t n = r.halfSize;
    uint32_t left = r.dataSize - r.consumed;
    if (n > left)
      n = left;
    else if (left - n < n)
      n = left / 2;  // the last two refills of a pass share what is left
    chunk.resize(n);
    if (!ReadSource(id, r, r.readPosition, chunk.data(), n, context)) return 0;
    r.readPosition += n;
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
