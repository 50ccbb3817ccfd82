// The sound object table: loading, playback on mix channels, parameters and the echo.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/audio.h"
#include "platform/files.h"
#include "platform/ogg.h"
#include "platform/resources.h"
#include "sound/internal.h"

namespace tuSound {

}  // namespace tuSound

namespace tu::sound {
int EntryForLoad(const char* context, const char* name, const char* tooLong) {
  if (snd.rebuilding) {
    int e = snd.currentEntry;
    return e >= 0 && e < kMaxSounds ? e : -1;
  }
  if (strlen(name) > static_cast<size_t>(kNameLength)) {
    tuSystem::LoadError(context, tooLong, "sound", name, "the name is longer than 30 characters");
    return -1;
  }
  for (int e = 0; e < kMaxSounds; ++e)
    if (!snd.objects[e].used) return e;
  tuSystem::LoadError(context, "オブジェクト数が多過ぎます", "sound", name, "all 70 sounds are in use");
  return -1;
}
}  // namespace tu::sound

namespace tuSound {
namespace {

using detail::UsedObject;
constexpr const char* kLoadContext = "tuSound::LoadObject";

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Why the sound `name` could not be read, in English, for the report.
std::string SoundProblem(const char* name) {
  tu::platform::FileCheck c = tu::platform::CheckFile(std::string(tuSystem::GetPath(0)) + name);
  if (c.missing && (tu::platform::FindResource("WAVE", name) || tu::platform::FindResource("RCDATA", name)))
    return "the sound resource is damaged";
  if (!c.problem.empty()) return c.problem;
  if (c.headBytes < 12 || memcmp(c.head, "RIFF", 4) != 0 || memcmp(c.head + 8, "WAVE", 4) != 0)
    return "not a WAV file";
  return "damaged or unsupported WAV file";
}

// A resource image is a canonical WAV file: format at byte 20, data size at 40, samples from
// 44. One too short for its header or its stated data cannot be used.
bool ResourceImageUsable(const std::vector<uint8_t>& image) {
  if (image.size() < 44) return false;
  const uint8_t* p = image.data() + 40;
  uint32_t size = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                  static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return size <= image.size() - 44;
}

// An Ogg Vorbis file decoded whole: what the file turned out to be.
enum class OggLoad { NotOgg, Decoded, Broken };
OggLoad DecodeOggFile(const char* path, tu::platform::WaveFormat* format, std::vector<uint8_t>* pcm) {
  uint8_t head[4] = {};
  FILE* f = fopen(path, "rb");
  if (!f) return OggLoad::NotOgg;
  bool headRead = fread(head, 1, sizeof head, f) == sizeof head;
  fclose(f);
  if (!headRead || !tu::platform::IsOgg(head, sizeof head)) return OggLoad::NotOgg;
  std::vector<uint8_t> file;
  if (!tu::platform::ReadFile(path, file)) return OggLoad::Broken;
  tu::platform::OggInfo info;
  if (!tu::platform::DecodeOgg(file.data(), file.size(), kMaxDecodedBytes, &info, pcm))
    return OggLoad::Broken;
  format->formatTag = tu::platform::WAVE_FORMAT_PCM;
  format->channels = static_cast<uint16_t>(info.channels);
  format->samplesPerSec = info.rate;
  format->bitsPerSample = 16;
  format->blockAlign = static_cast<uint16_t>(2 * info.channels);
  format->avgBytesPerSec = info.rate * format->blockAlign;
  format->extraSize = 0;
  return OggLoad::Decoded;
}

// Which channels a parameter or pause call addresses: [first, last).
bool Channels(const SoundObject& o, int ch, bool nextForMinusTwo, int* first, int* last) {
  if (ch >= o.channelCount) return false;
  if (ch >= 0) {
    *first = ch;
    *last = ch + 1;
  } else if (ch == kNextChannel && nextForMinusTwo) {
    if (o.channelCount == 0) return false;
    *first = o.nextChannel;
    *last = o.nextChannel + 1;
  } else {
    *first = 0;
    *last = o.channelCount;
  }
  return true;
}

void ApplyFrequency(SoundChannel& c, int64_t hz) {
  c.frequency = static_cast<uint32_t>(hz);
  if (c.buffer) tu::platform::AudioSetFrequency(c.buffer, c.frequency);
}
void ApplyPan(SoundChannel& c, int64_t pan) {
  c.pan = static_cast<int>(pan);
  if (c.buffer) tu::platform::AudioSetPan(c.buffer, c.pan);
}
void ApplyVolume(SoundChannel& c, int64_t volume) {
  c.volume = static_cast<int>(volume);
  if (c.buffer) tu::platform::AudioSetVolume(c.buffer, c.volume);
}

template <class F>
void ForChannels(int id, int ch, F apply) {
  SoundObject* o = UsedObject(id);
  int first, last;
  if (!o || !Channels(*o, ch, true, &first, &last)) return;
  for (int c = first; c < last; ++c) apply(*o, o->channels[c]);
}

void StartChannel(int id, SoundObject& o, int c, bool loop) {
  tu::platform::AudioBuffer* b = o.channels[c].buffer;
  if (!b) return;
  tu::platform::AudioStop(b);
  if (o.stream.dataSize != 0) {
    // A stream's buffer is a ring: it always plays looping and is refilled from the start.
    if (loop) {
      ResetStream(id);
      tu::platform::AudioSetPosition(b, 0);
    } else {
      tu::platform::AudioSetPosition(b, 0);
      ResetStream(id);
    }
    tu::platform::AudioPlay(b, true);
  } else {
    tu::platform::AudioSetPosition(b, 0);
    tu::platform::AudioPlay(b, loop);
  }
}

void Start(int id, int ch, bool loop) {
  SoundObject* o = UsedObject(id);
  if (!o || ch >= o->channelCount) return;
  if (ch >= 0) {
    StartChannel(id, *o, ch, loop);
  } else if (o->channelCount > 0) {
    if (o->nextChannel < 0 || o->nextChannel >= o->channelCount) o->nextChannel = 0;
    if (ch == kPlayEcho && o->echoState >= 0) {
      ResetFrequency(id, kAllChannels);
      ResetPan(id, kAllChannels);
      ResetVolume(id, kAllChannels);
      o->echoState = 1;
      o->echoTime = 0.0f;
      o->echoLooping = loop ? 1 : 0;
      o->sweepPan = static_cast<float>(o->channels[o->nextChannel].pan);
      o->sweepDirection = rand() % 2 == 0 ? -1 : 1;
    }
    StartChannel(id, *o, o->nextChannel, loop);
    if (++o->nextChannel >= o->channelCount) o->nextChannel = 0;
  }
  o->looping = loop ? 1 : 0;
}

void EchoStep(int id, int interval, int count, int step, bool sweep, int speed) {
  SoundObject* o = UsedObject(id);
  if (!o || o->echoState < 1 || count < 1) return;
  float frameSeconds = tuSystem::sys.frameSeconds;
  o->echoTime += frameSeconds * 1000.0f;
  if (static_cast<float>(interval) > o->echoTime) return;
  o->echoTime = 0.0f;
  if (sweep) {
    o->sweepPan += static_cast<float>(o->sweepDirection) * frameSeconds * 100.0f *
                   static_cast<float>(speed);
    if (o->sweepPan < -30.0f) {
      o->sweepPan = -30.0f;
      o->sweepDirection = -o->sweepDirection;
    }
    if (o->sweepPan > 30.0f) {
      o->sweepPan = 30.0f;
      o->sweepDirection = -o->sweepDirection;
    }
    SetPan(id, static_cast<int>(o->sweepPan), kNextChannel);
  }
  int64_t volume = -static_cast<int64_t>(o->echoState) * step;
  SetVolume(id, static_cast<int>(Clamp(volume, tu::platform::AUDIO_VOLUME_MIN, 0)), kNextChannel);
  if (o->echoLooping)
    PlayLoop(id, kPlayNext);
  else
    Play(id, kPlayNext);
  if (++o->echoState > count) o->echoState = 0;
}

}  // namespace

int LoadObject(const char* name, int mix) {
  if (!snd.available) return -1;
  if (!name) name = "";
  if (mix > kMaxChannels || mix < -kMaxChannels) {
    tuSystem::LoadError(kLoadContext, "ミックス数が多過ぎます", "sound", name, "more than 10 mix channels asked for");
    return -1;
  }
  int e = detail::EntryForLoad(kLoadContext, name, "ファイル名またはリソース名が長すぎます");
  if (e < 0) return -1;
  SoundObject& o = snd.objects[e];

  char path[256];
  tu::JoinCut(path, sizeof path, tuSystem::GetPath(0), name, "");
  uint8_t* formatBlock = nullptr;
  uint8_t* dataBlock = nullptr;
  int formatLength = 0, dataSize = 0;
  uint8_t resourceFormat[sizeof(tu::platform::WaveFormat)] = {};
  const void* format = nullptr;
  uint32_t formatBytes = 0;
  const uint8_t* samples = nullptr;
  uint32_t bytes = 0;
  tu::platform::WaveFormat oggFormat;
  std::vector<uint8_t> decoded;
  OggLoad ogg = ReadWave(path, &formatBlock, &formatLength, &dataBlock, &dataSize) == 0
                    ? OggLoad::NotOgg
                    : DecodeOggFile(path, &oggFormat, &decoded);
  if (formatBlock) {
    format = formatBlock;
    formatBytes = static_cast<uint32_t>(formatLength);
    samples = dataBlock;
    bytes = static_cast<uint32_t>(dataSize);
  } else if (ogg == OggLoad::Decoded) {
    format = &oggFormat;
    formatBytes = sizeof oggFormat;
    samples = decoded.data();
    bytes = static_cast<uint32_t>(decoded.size());
  } else {
    const std::vector<uint8_t>* image = tu::platform::FindResource("WAVE", name);
    if (!image) image = tu::platform::FindResource("RCDATA", name);
    if (!image || !ResourceImageUsable(*image)) {
      if (ogg == OggLoad::Broken) {
        std::string message = std::string("Ogg Vorbisファイルを読み込めません (") + name + ")";
        tuSystem::LoadError(kLoadContext, message.c_str(), "sound", name, "damaged or unsupported Ogg Vorbis file");
      } else {
        tuSystem::LoadError(kLoadContext, "WAVEリソースが見つかりません", "sound", name, SoundProblem(name).c_str());
      }
      return -1;
    }
    // The canonical header holds the 16 bytes of the plain form, without an extra size.
    memcpy(resourceFormat, image->data() + 20, 16);
    format = resourceFormat;
    formatBytes = sizeof resourceFormat;
    const uint8_t* p = image->data() + 40;
    bytes = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
            static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    samples = image->data() + 44;
  }

  // A rebuild replaces whatever the entry still holds.
  int result = detail::MakeBuffers(o, format, formatBytes, samples, bytes, mix);
  free(formatBlock);
  free(dataBlock);
  if (result != 0) {
    // Nothing of the failed load stays behind; a fresh entry stays free and as it was.
    if (!snd.rebuilding) o = SoundObject{};
    tuSystem::LoadError(kLoadContext, "サウンドバッファが生成できません", "sound", name,
                        "the sound device does not take its format");
    return -1;
  }
  o.used = 1;
  o.fromPack = 0;
  o.stream.dataSize = 0;
  if (!snd.rebuilding) tu::CopyCut(o.name, sizeof o.name, name);
  return e;
}

void DeleteObject(int id) {
  SoundObject* o = UsedObject(id);
  if (!o) return;
  o->used = 0;
  o->baseFrequency = 0;
  o->name[0] = 0;
  o->fromPack = 0;
  o->stream = StreamRecord{};
  detail::CloseStreamSource(id);
  for (SoundChannel& c : o->channels) {
    c.volume = 0;
    c.frequency = 0;
    c.pan = 0;
  }
  detail::ReleaseBuffers(*o);
  o->channelCount = 1;
}

void Play(int id, int ch) { Start(id, ch, false); }
void PlayLoop(int id, int ch) { Start(id, ch, true); }

void Stop(int id, int ch) {
  SoundObject* o = UsedObject(id);
  if (!o || ch >= o->channelCount) return;
  if (ch < 0 && o->echoState >= 0) o->echoState = 0;
  int first, last;
  Channels(*o, ch, false, &first, &last);
  for (int c = first; c < last; ++c) {
    tu::platform::AudioBuffer* b = o->channels[c].buffer;
    if (!b) continue;
    tu::platform::AudioStop(b);
    tu::platform::AudioSetPosition(b, 0);
  }
}

void Pause(int id, int ch) {
  SoundObject* o = UsedObject(id);
  int first, last;
  if (!o || !Channels(*o, ch, false, &first, &last)) return;
  for (int c = first; c < last; ++c) {
    SoundChannel& channel = o->channels[c];
    if (!channel.buffer) continue;
    uint32_t status = 0;
    tu::platform::AudioGetStatus(channel.buffer, &status);
    if (status & tu::platform::AUDIO_STATUS_PLAYING) {
      tu::platform::AudioGetPosition(channel.buffer, &channel.savedPosition, nullptr);
      tu::platform::AudioStop(channel.buffer);
    } else {
      tu::platform::AudioSetPosition(channel.buffer, channel.savedPosition);
      // A stream's ring buffer must keep looping whatever the sound does.
      bool loop = o->looping == 1 || o->stream.dataSize != 0;
      tu::platform::AudioPlay(channel.buffer, loop);
    }
  }
}

void AddFrequency(int id, int delta, int ch) {
  ForChannels(id, ch, [&](SoundObject&, SoundChannel& c) {
    ApplyFrequency(c, Clamp(static_cast<int64_t>(c.frequency) + delta, 100, 100000));
  });
}

void SetFrequency(int id, int offset, int ch) {
  ForChannels(id, ch, [&](SoundObject& o, SoundChannel& c) {
    ApplyFrequency(c, Clamp(static_cast<int64_t>(o.baseFrequency) + offset, 100, 100000));
  });
}

void ResetFrequency(int id, int ch) {
  ForChannels(id, ch, [&](SoundObject& o, SoundChannel& c) { ApplyFrequency(c, o.baseFrequency); });
}

void AddPan(int id, int delta, int ch) {
  ForChannels(id, ch, [&](SoundObject&, SoundChannel& c) {
    ApplyPan(c, Clamp(static_cast<int64_t>(c.pan) + delta, -10000, 10000));
  });
}

void SetPan(int id, int pan, int ch) {
  ForChannels(id, ch, [&](SoundObject&, SoundChannel& c) { ApplyPan(c, Clamp(pan, -10000, 10000)); });
}

void ResetPan(int id, int ch) {
  ForChannels(id, ch, [](SoundObject&, SoundChannel& c) { ApplyPan(c, 0); });
}

void PanLeft(int id, int ch) {
  ForChannels(id, ch, [](SoundObject&, SoundChannel& c) { ApplyPan(c, -10000); });
}

void PanRight(int id, int ch) {
  ForChannels(id, ch, [](SoundObject&, SoundChannel& c) { ApplyPan(c, 10000); });
}

void AddVolume(int id, int delta, int ch) {
  ForChannels(id, ch, [&](SoundObject&, SoundChannel& c) {
    ApplyVolume(c, Clamp(static_cast<int64_t>(c.volume) + delta, -10000, 0));
  });
}

void SetVolume(int id, int volume, int ch) {
  ForChannels(id, ch,
              [&](SoundObject&, SoundChannel& c) { ApplyVolume(c, Clamp(volume, -10000, 0)); });
}

void ResetVolume(int id, int ch) {
  ForChannels(id, ch, [](SoundObject&, SoundChannel& c) { ApplyVolume(c, 0); });
}

void Echo(int id, int interval, int count, int step) {
  EchoStep(id, interval, count, step, false, 0);
}

void EchoSweep(int id, int interval, int count, int step, int speed) {
  EchoStep(id, interval, count, step, true, speed);
}

uint32_t GetPosition(int id) {
  SoundObject* o = UsedObject(id);
  if (!o || o->channelCount < 1 || !o->channels[0].buffer) return 0;
  uint32_t play = 0;
  tu::platform::AudioGetPosition(o->channels[0].buffer, &play, nullptr);
  return play;
}

}  // namespace tuSound
