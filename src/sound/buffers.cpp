// A sound entry's mix buffers: the first holds the samples, the others share them. The WAV
// loader and the pack loader both make their buffers here; while the table is rebuilt (after
// Restore or a new primary format) each new buffer gets the entry's stored settings back.
#include <cstring>

#include "platform/audio.h"
#include "sound/internal.h"

namespace tu::sound {

void SettleChannel(SoundObject& o, SoundChannel& channel) {
  if (!snd.rebuilding) {
    tu::platform::AudioGetFrequency(channel.buffer, &channel.frequency);
    o.baseFrequency = channel.frequency;
    channel.volume = 0;
    channel.pan = 0;
    channel.savedPosition = 0;
  } else {
    tu::platform::AudioSetVolume(channel.buffer, channel.volume);
    tu::platform::AudioSetFrequency(channel.buffer, channel.frequency);
    tu::platform::AudioSetPan(channel.buffer, channel.pan);
  }
}

int MakeBuffers(SoundObject& o, const void* format, uint32_t formatBytes, const uint8_t* samples,
                uint32_t bytes, int mix) {
  ReleaseBuffers(o);
  int count = mix < 0 ? -mix : mix;
  o.channelCount = count;
  o.echoState = mix > 1 ? 0 : -1;
  if (!snd.rebuilding) {
    o.nextChannel = 0;
    o.looping = 0;
    o.echoTime = 0.0f;
  }
  // The channels are identical: the first holds the samples, the others share them.
  for (int c = 0; c < count; ++c) {
    SoundChannel& channel = o.channels[c];
    int result = c == 0 ? tu::platform::AudioCreateBuffer(format, formatBytes, bytes, &channel.buffer)
                        : tu::platform::AudioDuplicateBuffer(o.channels[0].buffer, &channel.buffer);
    if (result != tu::platform::AUDIO_OK) {
      ReleaseBuffers(o);
      return result;
    }
    void* first = nullptr;
    void* second = nullptr;
    uint32_t firstBytes = 0, secondBytes = 0;
    if (c == 0 && tu::platform::AudioLock(channel.buffer, 0, bytes, &first, &firstBytes, &second,
                                      &secondBytes) == tu::platform::AUDIO_OK) {
      memcpy(first, samples, firstBytes);
      if (second) memcpy(second, samples + firstBytes, secondBytes);
      tu::platform::AudioUnlock(channel.buffer, first, firstBytes, second, secondBytes);
    }
    SettleChannel(o, channel);
  }
  return 0;
}

}  // namespace tu::sound
