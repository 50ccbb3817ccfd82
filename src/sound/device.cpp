// The sound device and the mix format; the rebuild that keeps every sound id.
#include <cstdlib>
#include <cstring>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/audio.h"
#include "sound/internal.h"

namespace tuSound {

SoundState snd;

}  // namespace tuSound

namespace tu::sound {

SoundObject* UsedObject(int id) {
  if (!snd.available || id < 0 || id >= kMaxSounds) return nullptr;
  SoundObject* o = &snd.objects[id];
  if (!o->used) return nullptr;
  // Guard against a count no loader produces, so no channel index leaves the table.
  if (o->channelCount < 0 || o->channelCount > kMaxChannels) return nullptr;
  return o;
}

void ReleaseBuffers(SoundObject& o) {
  for (SoundChannel& c : o.channels) {
    if (!c.buffer) continue;
    tu::platform::AudioStop(c.buffer);
    tu::platform::AudioReleaseBuffer(c.buffer);
    c.buffer = nullptr;
  }
}

void Rebuild() {
  snd.rebuilding = 1;
  for (int e = 0; e < kMaxSounds; ++e) {
    SoundObject& o = snd.objects[e];
    if (!o.used) continue;
    snd.currentEntry = e;
    char name[kNameLength + 1];
    tu::CopyCut(name, sizeof name, o.name);
    if (o.stream.dataSize != 0 && o.stream.source != kStreamFromPack) {
      // A file stream reloads from its file, beside the program under its name.
      LoadStreamFile(name, static_cast<int>(o.stream.loopPosition - o.stream.start));
    } else if (o.stream.dataSize != 0) {
      // A stream reloads from the pack path kept in its own record.
      UsePackPath(o.stream.packPath);
      LoadStream(name, static_cast<int>(o.stream.loopPosition - o.stream.start));
    } else if (o.fromPack) {
      LoadPack(name, o.channelCount);
    } else {
      LoadObject(name, o.channelCount);
    }
  }
  snd.rebuilding = 0;
}

}  // namespace tu::sound

namespace tuSound {

int Init() {
  // A second Init without Release would strand the buffers of the first device.
  if (snd.available) Release();
  for (SoundObject& o : snd.objects)
    for (SoundChannel& c : o.channels) c.buffer = nullptr;
  snd.rebuilding = 0;
  if (tu::platform::AudioOpen() != tu::platform::AUDIO_OK) {
    snd.available = 0;
    return 0;
  }
  snd.available = 1;
  return 1;
}

void Release() {
  if (!snd.available) return;
  for (SoundObject& o : snd.objects) detail::ReleaseBuffers(o);
  tu::platform::AudioClose();
}

void Restore() {
  if (!snd.available) return;
  if (!Init()) return;
  detail::Rebuild();
}

void ResetObjects() {
  for (int e = 0; e < kMaxSounds; ++e) {
    detail::ReleaseBuffers(snd.objects[e]);
    detail::CloseStreamSource(e);
    snd.objects[e] = SoundObject{};
  }
}

int SelectFormat(int channels, int rate, int bits) {
  if (!snd.available) return 1;
  for (SoundObject& o : snd.objects) detail::ReleaseBuffers(o);
  uint32_t hz;
  switch (rate) {
    case 8: hz = 8000; break;
    case 11: hz = 11025; break;
    case 22: hz = 22050; break;
    case 44: hz = 44100; break;
    default: hz = rate > 0 ? static_cast<uint32_t>(rate) : 0; break;
  }
  tu::platform::WaveFormat f;
  f.formatTag = tu::platform::WAVE_FORMAT_PCM;
  bool sane = (channels == 1 || channels == 2) && (bits == 8 || bits == 16);
  f.channels = sane ? static_cast<uint16_t>(channels) : 0;
  f.bitsPerSample = sane ? static_cast<uint16_t>(bits) : 0;
  f.samplesPerSec = hz;
  f.blockAlign = static_cast<uint16_t>(f.channels * (f.bitsPerSample / 8));
  f.avgBytesPerSec = hz <= 100000 ? hz * f.blockAlign : 0;
  f.extraSize = 0;
  int result = tu::platform::AudioSetPrimaryFormat(f);
  if (result != tu::platform::AUDIO_OK) {
    tuSystem::Error("tuSound::SelectFormat", "再生フォーマットを変更できません", result);
    return 0;
  }
  detail::Rebuild();
  return 1;
}

void PlaySystemSound(const char* name) {
  if (!name || !*name) return;
  char path[512];
  if (name[0] == '/')
    tu::CopyCut(path, sizeof path, name);
  else
    tu::JoinCut(path, sizeof path, tuSystem::GetPath(0), name, "");
  uint8_t* format = nullptr;
  uint8_t* data = nullptr;
  int formatLength = 0, dataSize = 0;
  bool read = ReadWave(path, &format, &formatLength, &data, &dataSize) == 0;
  bool hadSound = snd.available != 0;
  Release();
  if (read)
    tu::platform::AudioPlayToEnd(format, static_cast<uint32_t>(formatLength), data,
                             static_cast<uint32_t>(dataSize));
  free(format);
  free(data);
  if (hadSound) Restore();
}

}  // namespace tuSound
