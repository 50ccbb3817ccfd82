// The mixer: secondary buffers in any PCM or float format, resampled to the primary format with
// volume and pan, the extra sources mixed on top, all behind one lock that the device callback
// takes. The buffers and play cursors are the mixer's own memory, so they outlive any device.
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/audio_internal.h"

namespace tu::platform {

using audio::MixerGuard;
using audio::kChunk;

namespace {

// Frees the buffer and, unless duplicates still hold them, its samples.
void FreeBuffer(AudioBuffer* b) {
  if (!b->holders || --*b->holders == 0) {
    delete[] b->data;
    delete b->holders;
  }
  delete b;
}

constexpr int kMaxVoices = 1024;
constexpr int kMaxSources = 4;

struct Source {
  AudioSourceFn render = nullptr;
  void* user = nullptr;
};

struct Mixer {
  WaveFormat primary;
  bool pulling = false;  // a device is there and not held (written under the lock)
  AudioBuffer* voices[kMaxVoices] = {};
  int voiceCount = 0;
  Source sources[kMaxSources];
  float mix[kChunk * 2] = {};
  float sourceMix[kChunk * 2] = {};
};
Mixer mx;

std::recursive_mutex mixerLock;

// Reads a buffer's format block: the 18 leading bytes into `out` and the kind of its samples.
// False for a format the mixer cannot play.
bool BufferFormat(const void* block, uint32_t length, WaveFormat* out, SampleKind* kind) {
  if (!block || length < 16) return false;
  const auto* p = static_cast<const uint8_t*>(block);
  WaveFormat f;
  memcpy(&f, p, length < sizeof f ? length : sizeof f);
  if (length < sizeof f) f.extraSize = 0;
  uint16_t tag = f.formatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    // The sub-format is the plain tag followed by the same 14 bytes for every standard one.
    static const uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (length < kExtensibleFormatBytes || f.extraSize < kExtensibleFormatBytes - 18) return false;
    const uint8_t* sub = p + 24;
    if (memcmp(sub + 2, kSubFormatTail, sizeof kSubFormatTail) != 0) return false;
    tag = static_cast<uint16_t>(sub[0] | sub[1] << 8);
  }
  if (f.channels != 1 && f.channels != 2) return false;
  if (f.samplesPerSec < AUDIO_FREQUENCY_MIN || f.samplesPerSec > AUDIO_FREQUENCY_MAX) return false;
  if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return false;
  if (tag == WAVE_FORMAT_PCM) {
    switch (f.bitsPerSample) {
      case 8: *kind = SampleKind::U8; break;
      case 16: *kind = SampleKind::S16; break;
      case 24: *kind = SampleKind::S24; break;
      case 32: *kind = SampleKind::S32; break;
      default: return false;
    }
  } else if (tag == WAVE_FORMAT_IEEE_FLOAT && f.bitsPerSample == 32) {
    *kind = SampleKind::F32;
  } else {
    return false;
  }
  *out = f;
  return true;
}

// Amplitude factor of an attenuation in hundredths of a decibel; the floor is silence.
float Attenuation(int hundredths) {
  if (hundredths <= AUDIO_VOLUME_MIN) return 0.0f;
  if (hundredths >= 0) return 1.0f;
  return std::pow(10.0f, static_cast<float>(hundredths) / 2000.0f);
}

void UpdateGains(AudioBuffer* b) {
  float g = Attenuation(b->volume);
  b->gainLeft = g * (b->pan > 0 ? Attenuation(-b->pan) : 1.0f);
  b->gainRight = g * (b->pan < 0 ? Attenuation(b->pan) : 1.0f);
}

void UpdateStep(AudioBuffer* b) {
  uint32_t rate = mx.primary.samplesPerSec ? mx.primary.samplesPerSec : 44100;
  b->step = (static_cast<uint64_t>(b->frequency) << 32) / rate;
  if (b->step == 0) b->step = 1;
}

// One sample on the 16-bit scale (full scale ±32768), whatever the buffer stores.
template <SampleKind K>
float Value(const uint8_t* p) {
  if constexpr (K == SampleKind::S16) {
    int16_t v;
    memcpy(&v, p, 2);
    return v;
  } else if constexpr (K == SampleKind::U8) {
    return static_cast<float>((p[0] - 128) * 256);
  } else if constexpr (K == SampleKind::S24) {
    // The three bytes as the top of a 32-bit value, so the sign comes along.
    uint32_t u = static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                 static_cast<uint32_t>(p[2]) << 24;
    return static_cast<float>(static_cast<int32_t>(u)) * (1.0f / 65536.0f);
  } else if constexpr (K == SampleKind::S32) {
    int32_t v;
    memcpy(&v, p, 4);
    return static_cast<float>(v) * (1.0f / 65536.0f);
  } else {
    float v;
    memcpy(&v, p, 4);
    // Not-a-number and huge values in a file would spoil the whole mix: silence and a bound.
    constexpr float kBound = 64.0f;
    if (!(v >= -kBound && v <= kBound)) v = v > kBound ? kBound : (v < -kBound ? -kBound : 0.0f);
    return v * 32768.0f;
  }
}

template <SampleKind K>
constexpr int kSampleBytes = K == SampleKind::U8 ? 1 : K == SampleKind::S16 ? 2 : K == SampleKind::S24 ? 3 : 4;

template <SampleKind K, int Channels>
void Fetch(const uint8_t* frame, float* left, float* right) {
  *left = Value<K>(frame);
  *right = Channels == 2 ? Value<K>(frame + kSampleBytes<K>) : *left;
}

// Adds `n` output frames of one voice into the stereo accumulator, interpolating linearly
// between neighbouring frames (across the loop point when looping).
template <SampleKind K, int Channels>
void MixVoice(AudioBuffer* b, float* acc, int n) {
  constexpr size_t kBlock = Channels * kSampleBytes<K>;
  const uint8_t* data = b->data;
  const uint32_t frames = b->frames;
  const uint64_t end = static_cast<uint64_t>(frames) << 32;
  const uint64_t step = b->step;
  const float gl = b->gainLeft, gr = b->gainRight;
  uint64_t pos = b->position;
  int i = 0;
  for (; i < n; ++i) {
    uint32_t idx = static_cast<uint32_t>(pos >> 32);
    uint32_t next = idx + 1;
    if (next >= frames) next = b->looping ? 0 : idx;
    float frac = static_cast<float>(static_cast<uint32_t>(pos)) * (1.0f / 4294967296.0f);
    float l0, r0, l1, r1;
    Fetch<K, Channels>(data + idx * kBlock, &l0, &r0);
    Fetch<K, Channels>(data + next * kBlock, &l1, &r1);
    acc[2 * i] += (l0 + (l1 - l0) * frac) * gl;
    acc[2 * i + 1] += (r0 + (r1 - r0) * frac) * gr;
    pos += step;
    if (pos >= end) {
      if (b->looping) {
        pos %= end;
      } else {
        // A one-shot buffer stops at its end and its cursor goes back to the start.
        b->playing = false;
        pos = 0;
        ++i;
        break;
      }
    }
  }
  b->position = pos;
  b->mixedFrames += static_cast<uint32_t>(i);
}

using MixFn = void (*)(AudioBuffer*, float*, int);

MixFn MixerFor(SampleKind kind, int channels) {
  bool stereo = channels == 2;
  switch (kind) {
    case SampleKind::U8: return stereo ? MixVoice<SampleKind::U8, 2> : MixVoice<SampleKind::U8, 1>;
    case SampleKind::S16: return stereo ? MixVoice<SampleKind::S16, 2> : MixVoice<SampleKind::S16, 1>;
    case SampleKind::S24: return stereo ? MixVoice<SampleKind::S24, 2> : MixVoice<SampleKind::S24, 1>;
    case SampleKind::S32: return stereo ? MixVoice<SampleKind::S32, 2> : MixVoice<SampleKind::S32, 1>;
    case SampleKind::F32: return stereo ? MixVoice<SampleKind::F32, 2> : MixVoice<SampleKind::F32, 1>;
  }
  return MixVoice<SampleKind::S16, 1>;
}

void Mix(AudioBuffer* b, float* acc, int n) {
  if (b->frames == 0) {
    b->playing = false;
    return;
  }
  b->mix(b, acc, n);
}

}  // namespace

namespace audio {

WaveFormat MakeFormat(int channels, uint32_t rate, int bits) {
  WaveFormat f;
  f.formatTag = WAVE_FORMAT_PCM;
  f.channels = static_cast<uint16_t>(channels);
  f.samplesPerSec = rate;
  f.blockAlign = static_cast<uint16_t>(channels * (bits / 8));
  f.avgBytesPerSec = rate * f.blockAlign;
  f.bitsPerSample = static_cast<uint16_t>(bits);
  f.extraSize = 0;
  return f;
}

bool PrimaryFormatOk(const WaveFormat& f) {
  if (f.formatTag != WAVE_FORMAT_PCM) return false;
  if (f.channels != 1 && f.channels != 2) return false;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return false;
  if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return false;
  return f.samplesPerSec >= AUDIO_FREQUENCY_MIN && f.samplesPerSec <= AUDIO_FREQUENCY_MAX;
}

void SetPrimary(const WaveFormat& f) {
  MixerGuard guard;
  mx.primary = f;
  for (int v = 0; v < mx.voiceCount; ++v) UpdateStep(mx.voices[v]);
}

int FrameBytes() { return mx.primary.blockAlign ? mx.primary.blockAlign : 4; }

void Silence(uint8_t* out, size_t bytes) {
  memset(out, mx.primary.bitsPerSample == 8 ? 0x80 : 0, bytes);
}

void Render(uint8_t* out, int frames) {
  const WaveFormat& f = mx.primary;
  const int rate = static_cast<int>(f.samplesPerSec);
  while (frames > 0) {
    int n = frames < kChunk ? frames : kChunk;
    float* acc = mx.mix;
    std::memset(acc, 0, sizeof(float) * 2 * n);
    for (int v = 0; v < mx.voiceCount; ++v)
      if (mx.voices[v]->playing) Mix(mx.voices[v], acc, n);
    for (const Source& s : mx.sources) {
      if (!s.render) continue;
      std::memset(mx.sourceMix, 0, sizeof(float) * 2 * n);
      s.render(s.user, mx.sourceMix, n, rate);
      for (int i = 0; i < 2 * n; ++i) acc[i] += mx.sourceMix[i] * 32767.0f;
    }
    // Saturate rather than wrap.
    for (int i = 0; i < n; ++i) {
      float l = acc[2 * i], r = acc[2 * i + 1];
      float vals[2] = {l, r};
      int count = f.channels;
      if (count == 1) vals[0] = (l + r) * 0.5f;
      for (int c = 0; c < count; ++c) {
        if (f.bitsPerSample == 16) {
          long s = std::lrintf(vals[c]);
          if (s > 32767) s = 32767;
          if (s < -32768) s = -32768;
          int16_t v = static_cast<int16_t>(s);
          memcpy(out, &v, 2);
          out += 2;
        } else {
          long s = std::lrintf(vals[c] / 256.0f) + 128;
          if (s > 255) s = 255;
          if (s < 0) s = 0;
          *out++ = static_cast<uint8_t>(s);
        }
      }
    }
    frames -= n;
  }
}

void SetPulling(bool pulling) {
  MixerGuard guard;
  mx.pulling = pulling;
}

bool Pulling() { return mx.pulling; }

void ForgetUnheardOneShots() {
  MixerGuard guard;
  for (int v = 0; v < mx.voiceCount; ++v) {
    AudioBuffer* b = mx.voices[v];
    if (b->startedUnheard && b->playing && !b->looping) {
      b->playing = false;
      b->position = 0;
    }
    b->startedUnheard = false;
  }
}

void ReleaseAllBuffers() {
  MixerGuard guard;
  for (int v = 0; v < mx.voiceCount; ++v) {
    FreeBuffer(mx.voices[v]);
    mx.voices[v] = nullptr;
  }
  mx.voiceCount = 0;
}

}  // namespace audio

WaveFormat AudioPrimaryFormat() { return mx.primary; }

// ---- Secondary buffers

int AudioCreateBuffer(const void* formatBlock, uint32_t formatBytes, uint32_t bytes,
                      AudioBuffer** out) {
  if (!out) return AUDIO_ERR_INVALIDPARAM;
  *out = nullptr;
  if (!AudioIsOpen()) return AUDIO_ERR_NODEVICE;
  WaveFormat format;
  SampleKind kind;
  if (!BufferFormat(formatBlock, formatBytes, &format, &kind)) return AUDIO_ERR_BADFORMAT;
  if (bytes < format.blockAlign || bytes < 4 || bytes > 0x0FFFFFFFu) return AUDIO_ERR_INVALIDPARAM;
  if (mx.voiceCount >= kMaxVoices) return AUDIO_ERR_OUTOFMEMORY;
  AudioBuffer* b = new (std::nothrow) AudioBuffer;
  if (!b) return AUDIO_ERR_OUTOFMEMORY;
  b->data = new (std::nothrow) uint8_t[bytes];
  if (!b->data) {
    delete b;
    return AUDIO_ERR_OUTOFMEMORY;
  }
  memset(b->data, kind == SampleKind::U8 ? 0x80 : 0, bytes);
  b->format = format;
  b->format.extraSize = 0;
  b->mix = MixerFor(kind, format.channels);
  b->bytes = bytes;
  b->frames = bytes / format.blockAlign;
  b->frequency = format.samplesPerSec;
  UpdateGains(b);
  UpdateStep(b);
  MixerGuard guard;
  mx.voices[mx.voiceCount++] = b;
  *out = b;
  return AUDIO_OK;
}

int AudioCreateBuffer(const WaveFormat& format, uint32_t bytes, AudioBuffer** out) {
  return AudioCreateBuffer(&format, sizeof format, bytes, out);
}

void AudioReleaseBuffer(AudioBuffer* buffer) {
  if (!buffer) return;
  {
    MixerGuard guard;
    for (int v = 0; v < mx.voiceCount; ++v) {
      if (mx.voices[v] == buffer) {
        mx.voices[v] = mx.voices[--mx.voiceCount];
        mx.voices[mx.voiceCount] = nullptr;
        break;
      }
    }
  }
  FreeBuffer(buffer);
}

int AudioDuplicateBuffer(AudioBuffer* original, AudioBuffer** out) {
  if (!out) return AUDIO_ERR_INVALIDPARAM;
  *out = nullptr;
  if (!original) return AUDIO_ERR_INVALIDPARAM;
  if (!AudioIsOpen()) return AUDIO_ERR_NODEVICE;
  if (mx.voiceCount >= kMaxVoices) return AUDIO_ERR_OUTOFMEMORY;
  if (!original->holders) {
    original->holders = new (std::nothrow) int(1);
    if (!original->holders) return AUDIO_ERR_OUTOFMEMORY;
  }
  AudioBuffer* b = new (std::nothrow) AudioBuffer;
  if (!b) return AUDIO_ERR_OUTOFMEMORY;
  b->format = original->format;
  b->mix = original->mix;
  b->data = original->data;
  b->holders = original->holders;
  ++*b->holders;
  b->bytes = original->bytes;
  b->frames = original->frames;
  b->frequency = b->format.samplesPerSec;
  UpdateGains(b);
  UpdateStep(b);
  MixerGuard guard;
  mx.voices[mx.voiceCount++] = b;
  *out = b;
  return AUDIO_OK;
}

uint32_t AudioBufferBytes(const AudioBuffer* buffer) { return buffer ? buffer->bytes : 0; }

int AudioLock(AudioBuffer* b, uint32_t offset, uint32_t bytes, void** first, uint32_t* firstBytes,
              void** second, uint32_t* secondBytes) {
  if (!b || !first || !firstBytes) return AUDIO_ERR_INVALIDPARAM;
  if (offset >= b->bytes || bytes == 0 || bytes > b->bytes) return AUDIO_ERR_INVALIDPARAM;
  uint32_t head = b->bytes - offset;
  uint32_t n1 = bytes < head ? bytes : head;
  *first = b->data + offset;
  *firstBytes = n1;
  if (second) *second = bytes > n1 ? b->data : nullptr;
  if (secondBytes) *secondBytes = bytes - n1;
  if (bytes > n1 && (!second || !secondBytes)) return AUDIO_ERR_INVALIDPARAM;
  return AUDIO_OK;
}

int AudioUnlock(AudioBuffer* b, void* first, uint32_t firstBytes, void* second,
                uint32_t secondBytes) {
  // The regions are the buffer's own memory: the writes are already in place.
  if (!b || !first) return AUDIO_ERR_INVALIDPARAM;
  auto inside = [b](void* p, uint32_t n) {
    auto* q = static_cast<uint8_t*>(p);
    return q >= b->data && n <= b->bytes && q - b->data <= static_cast<ptrdiff_t>(b->bytes - n);
  };
  if (!inside(first, firstBytes) || (second && !inside(second, secondBytes)))
    return AUDIO_ERR_INVALIDPARAM;
  return AUDIO_OK;
}

int AudioPlay(AudioBuffer* b, bool loop) {
  if (!b) return AUDIO_ERR_INVALIDPARAM;
  bool unheard = !loop && !AudioOutputRunning();
  MixerGuard guard;
  b->looping = loop;
  b->playing = true;
  b->startedUnheard = unheard;
  return AUDIO_OK;
}

int AudioStop(AudioBuffer* b) {
  if (!b) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  b->playing = false;
  return AUDIO_OK;
}

int AudioGetPosition(AudioBuffer* b, uint32_t* play, uint32_t* write) {
  if (!b) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  uint32_t frame = static_cast<uint32_t>(b->position >> 32);
  if (play) *play = frame * b->format.blockAlign;
  if (write) *write = ((frame + 2) % b->frames) * b->format.blockAlign;
  return AUDIO_OK;
}

int AudioSetPosition(AudioBuffer* b, uint32_t play) {
  if (!b || play >= b->bytes) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  uint32_t frame = play / b->format.blockAlign;
  if (frame >= b->frames) frame = b->frames - 1;
  b->position = static_cast<uint64_t>(frame) << 32;
  return AUDIO_OK;
}

int AudioGetStatus(AudioBuffer* b, uint32_t* status) {
  if (!b || !status) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  *status = b->playing ? (AUDIO_STATUS_PLAYING | (b->looping ? AUDIO_STATUS_LOOPING : 0)) : 0;
  return AUDIO_OK;
}

int AudioSetVolume(AudioBuffer* b, int volume) {
  if (!b || volume < AUDIO_VOLUME_MIN || volume > AUDIO_VOLUME_MAX) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  b->volume = volume;
  UpdateGains(b);
  return AUDIO_OK;
}

int AudioGetVolume(AudioBuffer* b, int* volume) {
  if (!b || !volume) return AUDIO_ERR_INVALIDPARAM;
  *volume = b->volume;
  return AUDIO_OK;
}

int AudioSetPan(AudioBuffer* b, int pan) {
  if (!b || pan < AUDIO_PAN_LEFT || pan > AUDIO_PAN_RIGHT) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  b->pan = pan;
  UpdateGains(b);
  return AUDIO_OK;
}

int AudioGetPan(AudioBuffer* b, int* pan) {
  if (!b || !pan) return AUDIO_ERR_INVALIDPARAM;
  *pan = b->pan;
  return AUDIO_OK;
}

int AudioSetFrequency(AudioBuffer* b, uint32_t hz) {
  if (!b) return AUDIO_ERR_INVALIDPARAM;
  if (hz == AUDIO_FREQUENCY_ORIGINAL) hz = b->format.samplesPerSec;
  if (hz < AUDIO_FREQUENCY_MIN || hz > AUDIO_FREQUENCY_MAX) return AUDIO_ERR_INVALIDPARAM;
  MixerGuard guard;
  b->frequency = hz;
  UpdateStep(b);
  return AUDIO_OK;
}

int AudioGetFrequency(AudioBuffer* b, uint32_t* hz) {
  if (!b || !hz) return AUDIO_ERR_INVALIDPARAM;
  *hz = b->frequency;
  return AUDIO_OK;
}

// ---- Extra sources

int AudioAddSource(AudioSourceFn render, void* user) {
  if (!render) return -1;
  MixerGuard guard;
  for (int i = 0; i < kMaxSources; ++i) {
    if (!mx.sources[i].render) {
      mx.sources[i].user = user;
      mx.sources[i].render = render;
      return i;
    }
  }
  return -1;
}

void AudioRemoveSource(int id) {
  if (id < 0 || id >= kMaxSources) return;
  MixerGuard guard;
  mx.sources[id] = Source{};
}

void AudioLockMixer() { mixerLock.lock(); }

void AudioUnlockMixer() { mixerLock.unlock(); }

}  // namespace tu::platform
