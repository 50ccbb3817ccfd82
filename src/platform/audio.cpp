#include "platform/audio.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <atomic>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/window.h"

namespace tu::platform {

// How a buffer stores its samples; each kind has its own mixing routine.
enum class SampleKind : uint8_t { U8, S16, S24, S32, F32 };

struct AudioBuffer {
  WaveFormat format;
  // Adds `n` output frames into the stereo accumulator: the routine for this buffer's sample
  // kind and channel count, chosen once when the buffer is made.
  void (*mix)(AudioBuffer* b, float* acc, int n) = nullptr;
  uint8_t* data = nullptr;
  // How many buffers hold `data` when duplicates share it (the last one frees it); null while
  // this buffer is its only holder.
  int* holders = nullptr;
  uint32_t bytes = 0;
  uint32_t frames = 0;  // whole blocks in the buffer
  uint32_t frequency = 0;
  int volume = 0;
  int pan = 0;
  float gainLeft = 1.0f, gainRight = 1.0f;
  uint64_t position = 0;  // frames, 32.32 fixed point
  uint64_t step = 0;      // position advance per output frame, 32.32
  bool playing = false;
  bool looping = false;
  bool startedUnheard = false;  // started once while no device pulled the mix
  uint32_t mixedFrames = 0;  // output frames this buffer has sounded (for the one-shot player)
};

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
constexpr int kChunk = 1024;  // frames mixed per pass
constexpr uint32_t kRetryMs = 2000;  // the quiet search for a lost device

struct Source {
  AudioSourceFn render = nullptr;
  void* user = nullptr;
};

struct State {
  bool open = false;
  bool available = true;  // headless: whether the system has sound output at all
  bool sdlAudio = false;
  // The output device; 0 while there is none. Written by the main thread only.
  SDL_AudioDeviceID device = 0;
  SDL_AudioDeviceID lostDevice = 0;  // a lost device not closed yet (the search closes it)
  Uint32 installedAt = 0;            // SDL ticks when `device` came: older removals are not its
  bool headlessOutput = false;       // headless: the simulated device is there
  bool held = false;
  bool pulling = false;  // the callback mixes (a device is there, not held); under the lock
  // The search: events seen since the last look, and when the next quiet retry is due.
  bool removedSeen = false, addedSeen = false;
  uint32_t nextRetry = 0;        // platform tick
  Uint32 lastAttemptEnd = 0;     // SDL ticks: added events from before are its own driver's
  WaveFormat primary;
  AudioBuffer* voices[kMaxVoices] = {};
  int voiceCount = 0;
  Source sources[kMaxSources];
  float mix[kChunk * 2] = {};
  float sourceMix[kChunk * 2] = {};
  uint32_t lastPlayToEndFrames = 0;
};
State st;

// The mixer's lock, ours rather than the device's, since devices come and go while the mixer
// stays. Never call into SDL's audio while holding it: SDL holds its own device lock around the
// callback, which takes this one.
std::recursive_mutex mixerLock;

// Holds the device callback off for the lifetime of the guard.
class MixerGuard {
 public:
  MixerGuard() { mixerLock.lock(); }
  ~MixerGuard() { mixerLock.unlock(); }
  MixerGuard(const MixerGuard&) = delete;
  MixerGuard& operator=(const MixerGuard&) = delete;
};

// Headless stand-in for the system's device.
struct SimulatedDevice {
  bool present = true;        // a device exists
  bool disconnected = false;  // the open device was taken away: nothing pulls it any more
  bool removedEvent = false, addedEvent = false;
};
SimulatedDevice sim;

// One search for a device, run on a helper thread: closing a lost device and opening a new one
// can both take a while on a sound server.
struct Attempt {
  std::thread thread;
  std::atomic<bool> done{false};
  SDL_AudioDeviceID closing = 0;  // the lost device, closed first
  bool open = true;               // false: only let the device go
  WaveFormat format;
  SDL_AudioDeviceID found = 0;
  Uint32 endedAt = 0;
};
Attempt attempt;

// Test hook for the real program: with TU_AUDIO_FAULT_SIGNALS=1 in the environment, SIGUSR1
// takes the device away (a removal event for it, and no device opens) and SIGUSR2 brings it
// back (an added event), so a test can pull the device from under a running game.
std::atomic<bool> faultRemove{false}, faultAdd{false}, faultAbsent{false};

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
  uint32_t rate = st.primary.samplesPerSec ? st.primary.samplesPerSec : 44100;
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

// Mixes `frames` frames in the primary format into `out`; the caller holds the mixer.
void Render(uint8_t* out, int frames) {
  const WaveFormat& f = st.primary;
  const int rate = static_cast<int>(f.samplesPerSec);
  while (frames > 0) {
    int n = frames < kChunk ? frames : kChunk;
    float* acc = st.mix;
    std::memset(acc, 0, sizeof(float) * 2 * n);
    for (int v = 0; v < st.voiceCount; ++v)
      if (st.voices[v]->playing) Mix(st.voices[v], acc, n);
    for (const Source& s : st.sources) {
      if (!s.render) continue;
      std::memset(st.sourceMix, 0, sizeof(float) * 2 * n);
      s.render(s.user, st.sourceMix, n, rate);
      for (int i = 0; i < 2 * n; ++i) acc[i] += st.sourceMix[i] * 32767.0f;
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

void SDLCALL Callback(void* /*user*/, Uint8* stream, int len) {
  MixerGuard guard;
  int block = st.primary.blockAlign ? st.primary.blockAlign : 4;
  // A device being let go, or held, is fed silence and advances nothing.
  int frames = st.pulling ? len / block : 0;
  Render(stream, frames);
  int rest = len - frames * block;
  if (rest > 0) std::memset(stream + frames * block, st.primary.bitsPerSample == 8 ? 0x80 : 0, rest);
}

// Sample frames per device callback: about 23 ms, never more than 1024.
Uint16 DeviceFrames(uint32_t rate) {
  Uint16 n = 1024;
  while (n > 128 && static_cast<uint64_t>(n) * 43 > rate) n /= 2;
  return n;
}

// Opens the default output device at `f`, paused; 0 when there is none. Touches no state, so
// the search's helper thread can call it.
SDL_AudioDeviceID OpenSdlDevice(const WaveFormat& f) {
  if (faultAbsent.load()) return 0;
  SDL_AudioSpec want{}, have{};
  want.freq = static_cast<int>(f.samplesPerSec);
  want.format = f.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(f.channels);
  want.samples = DeviceFrames(f.samplesPerSec);
  want.callback = Callback;
  // No allowed changes: SDL converts from exactly this format if the hardware wants another.
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

void QuietAlsaLines(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints lines of its own on stderr for every device it fails to open; a search that
// retries every 2 seconds must not fill the terminal with them. Its library is already loaded
// where SDL's driver uses it; elsewhere this does nothing.
void QuietAlsa() {
  void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (!lib) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler")))
    set(QuietAlsaLines);
  dlclose(lib);
}

void UpdatePulling() {
  MixerGuard guard;
  st.pulling = AudioOutputRunning() && !st.held;
}

// The device is ours: one-shots started while nothing could be heard are over by now, so they
// stay silent; everything else carries on from where it waits.
void Install(SDL_AudioDeviceID id) {
  {
    MixerGuard guard;
    for (int v = 0; v < st.voiceCount; ++v) {
      AudioBuffer* b = st.voices[v];
      if (b->startedUnheard && b->playing && !b->looping) {
        b->playing = false;
        b->position = 0;
      }
      b->startedUnheard = false;
    }
    if (Headless())
      st.headlessOutput = true;
    else
      st.device = id;
  }
  if (!Headless()) {
    st.installedAt = SDL_GetTicks();
    SDL_PauseAudioDevice(id, 0);
  }
  UpdatePulling();
}

// The device is gone (or let go while the program is inactive): nothing pulls the mixer until
// the search finds another.
void Lose() {
  if (Headless()) {
    st.headlessOutput = false;
    sim.disconnected = false;
  } else {
    st.lostDevice = st.device;
    st.device = 0;
  }
  UpdatePulling();
  st.nextRetry = Tick();  // another device may be there already
}

void CloseSdlDevice() {
  SDL_AudioDeviceID ids[2] = {st.device, st.lostDevice};
  st.device = st.lostDevice = 0;
  UpdatePulling();
  for (SDL_AudioDeviceID id : ids)
    if (id) SDL_CloseAudioDevice(id);  // waits for the callback to finish
}

void QuitSdlAudio() {
  if (st.sdlAudio) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    st.sdlAudio = false;
  }
}

// Whether SDL's driver reaches its devices through a sound server. Such a driver keeps one
// connection for all its devices, which a restart of the server leaves dead; drivers that open
// the hardware (or a file) afresh for every device need no restart of their own.
bool DriverUsesServer() {
  const char* d = SDL_GetCurrentAudioDriver();
  if (!d) return true;  // a restart that failed: try again
  for (const char* direct : {"alsa", "dsp", "disk", "dummy"})
    if (strcmp(d, direct) == 0) return false;
  return true;
}

void RunAttempt() {
  if (attempt.closing) SDL_CloseAudioDevice(attempt.closing);
  SDL_AudioDeviceID id = attempt.open ? OpenSdlDevice(attempt.format) : 0;
  if (!id && attempt.open && !faultAbsent.load() && DriverUsesServer()) {
    // The server may have restarted under the driver: start the driver afresh, as at program
    // start, and try once more.
    if (SDL_AudioInit(nullptr) == 0) QuietAlsa();
    id = OpenSdlDevice(attempt.format);
  }
  attempt.found = id;
  attempt.endedAt = SDL_GetTicks();
  attempt.done.store(true);
}

bool AttemptRunning() { return attempt.thread.joinable(); }

// Takes the result of a finished search: the device it found, or the next quiet retry.
void FinishAttempt() {
  attempt.thread.join();
  attempt.done.store(false);
  st.lastAttemptEnd = attempt.endedAt;
  if (attempt.found)
    Install(attempt.found);
  else if (attempt.open)
    st.nextRetry = Tick() + kRetryMs;
}

// Starts a search for a device, or with `open` false only lets a lost device go.
void StartAttempt(bool open) {
  if (!open && (Headless() || !st.lostDevice)) return;
  st.addedSeen = false;
  if (Headless()) {
    if (sim.present)
      Install(0);
    else
      st.nextRetry = Tick() + kRetryMs;
    return;
  }
  attempt.closing = st.lostDevice;
  attempt.open = open;
  attempt.format = st.primary;
  attempt.found = 0;
  attempt.done.store(false);
  try {
    attempt.thread = std::thread(RunAttempt);
  } catch (const std::system_error&) {
    st.nextRetry = Tick() + kRetryMs;  // no thread now: the device waits for the next retry
    return;
  }
  st.lostDevice = 0;
}

// Waits for a search under way (for closing the mixer or changing its format).
void SettleAttempt() {
  if (AttemptRunning()) FinishAttempt();
}

void OnDeviceEvent(const SDL_Event& e) {
  if (e.type != SDL_AUDIODEVICEADDED && e.type != SDL_AUDIODEVICEREMOVED) return;
  if (!st.open || Headless() || e.adevice.iscapture) return;
  if (e.type == SDL_AUDIODEVICEREMOVED) {
    if (st.device && e.adevice.which == st.device &&
        static_cast<int32_t>(e.adevice.timestamp - st.installedAt) >= 0)
      st.removedSeen = true;
  } else if (!st.device && static_cast<int32_t>(e.adevice.timestamp - st.lastAttemptEnd) > 0) {
    st.addedSeen = true;
  }
}

void PushDeviceEvent(Uint32 type, SDL_AudioDeviceID which) {
  SDL_Event e{};
  e.type = type;
  e.adevice.which = which;
  e.adevice.iscapture = 0;
  SDL_PushEvent(&e);
}

void OnFaultSignal(int signal) { (signal == SIGUSR1 ? faultRemove : faultAdd).store(true); }

void InstallFaultSignals() {
  static bool installed = false;
  const char* on = getenv("TU_AUDIO_FAULT_SIGNALS");
  if (installed || !on || strcmp(on, "1") != 0) return;
  installed = true;
  struct sigaction sa {};
  sa.sa_handler = OnFaultSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &sa, nullptr);
  sigaction(SIGUSR2, &sa, nullptr);
}

void TakeFaultSignals() {
  if (faultRemove.exchange(false)) {
    faultAbsent.store(true);
    if (st.device) PushDeviceEvent(SDL_AUDIODEVICEREMOVED, st.device);
  }
  if (faultAdd.exchange(false)) {
    faultAbsent.store(false);
    PushDeviceEvent(SDL_AUDIODEVICEADDED, 0);
  }
}

bool DeviceThere() { return Headless() ? st.headlessOutput : st.device != 0; }

bool DeviceGone() {
  if (Headless()) return sim.disconnected;
  return SDL_GetAudioDeviceStatus(st.device) == SDL_AUDIO_STOPPED;
}

// Sets the mix format and the resampling steps that depend on its rate.
void SetPrimary(const WaveFormat& f) {
  MixerGuard guard;
  st.primary = f;
  for (int v = 0; v < st.voiceCount; ++v) UpdateStep(st.voices[v]);
}

}  // namespace

// ---- Device and primary format

int AudioOpen() {
  if (st.open) return AUDIO_OK;
  st.primary = MakeFormat(2, 44100, 16);
  st.held = st.removedSeen = st.addedSeen = false;
  if (Headless()) {
    if (!st.available) return AUDIO_ERR_NODEVICE;
    st.open = true;
    sim.disconnected = sim.removedEvent = sim.addedEvent = false;
    if (sim.present)
      Install(0);
    else
      st.nextRetry = Tick() + kRetryMs;
    return AUDIO_OK;
  }
  // Only a system without any way to play sound runs silent for good.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return AUDIO_ERR_NODEVICE;
  st.sdlAudio = true;
  QuietAlsa();
  InstallFaultSignals();
  AddEventObserver(OnDeviceEvent);
  st.open = true;
  if (SDL_AudioDeviceID id = OpenSdlDevice(st.primary)) {
    Install(id);
    return AUDIO_OK;
  }
  static bool told = false;
  if (!told) {
    fprintf(stderr, "quorbistane: no sound device (%s); the game plays silent until one appears\n",
            SDL_GetError());
    told = true;
  }
  st.lastAttemptEnd = SDL_GetTicks();
  st.nextRetry = Tick() + kRetryMs;
  return AUDIO_OK;
}

void AudioClose() {
  if (!st.open) return;
  SettleAttempt();
  CloseSdlDevice();
  st.headlessOutput = false;
  for (int v = 0; v < st.voiceCount; ++v) {
    FreeBuffer(st.voices[v]);
    st.voices[v] = nullptr;
  }
  st.voiceCount = 0;
  QuitSdlAudio();
  st.open = false;
  st.held = false;
  UpdatePulling();
}

bool AudioIsOpen() { return st.open; }

int AudioSetPrimaryFormat(const WaveFormat& format) {
  if (!st.open) return AUDIO_ERR_NODEVICE;
  if (!PrimaryFormatOk(format)) return AUDIO_ERR_BADFORMAT;
  WaveFormat wanted = MakeFormat(format.channels, format.samplesPerSec, format.bitsPerSample);
  if (Headless()) {
    SetPrimary(wanted);
    return AUDIO_OK;
  }
  SettleAttempt();
  if (!st.device) {
    // No device to ask: the search opens the next one at this format.
    CloseSdlDevice();
    SetPrimary(wanted);
    return AUDIO_OK;
  }
  // The callback reads the primary format: change it only while no device runs.
  WaveFormat old = st.primary;
  CloseSdlDevice();
  SetPrimary(wanted);
  if (SDL_AudioDeviceID id = OpenSdlDevice(wanted)) {
    Install(id);
    return AUDIO_OK;
  }
  SetPrimary(old);
  // If even the old format cannot be reopened the search looks for a device.
  if (SDL_AudioDeviceID id = OpenSdlDevice(old))
    Install(id);
  else
    st.nextRetry = Tick() + kRetryMs;
  return AUDIO_ERR_BADFORMAT;
}

WaveFormat AudioPrimaryFormat() { return st.primary; }

void AudioSetDeviceAvailable(bool available) {
  st.available = available;
  if (available) sim.present = true;
}

// ---- The output device coming and going

void AudioService() {
  if (!st.open) return;
  if (Headless()) {
    if (sim.removedEvent && st.headlessOutput) st.removedSeen = true;
    if (sim.addedEvent && !st.headlessOutput) st.addedSeen = true;
    sim.removedEvent = sim.addedEvent = false;
  } else {
    TakeFaultSignals();
    // Events the window's pump has not taken yet (and all of them where there is no window).
    SDL_Event events[8];
    int n;
    while ((n = SDL_PeepEvents(events, 8, SDL_GETEVENT, SDL_AUDIODEVICEADDED, SDL_AUDIODEVICEREMOVED)) > 0)
      for (int i = 0; i < n; ++i) OnDeviceEvent(events[i]);
  }
  if (DeviceThere() && (st.removedSeen || DeviceGone())) Lose();
  st.removedSeen = false;
  if (AttemptRunning()) {
    if (!attempt.done.load()) return;
    FinishAttempt();
  }
  if (st.held) {
    // Inactive: even a paused device keeps its driver's thread busy, so it is let go.
    if (DeviceThere()) Lose();
    StartAttempt(false);
    return;
  }
  if (DeviceThere()) return;
  if (st.addedSeen || static_cast<int32_t>(Tick() - st.nextRetry) >= 0) StartAttempt(true);
}

bool AudioOutputRunning() {
  return Headless() ? st.headlessOutput && !sim.disconnected : st.device != 0;
}

void AudioHold(bool held) {
  if (!st.open || held == st.held) return;
  st.held = held;
  UpdatePulling();
  st.nextRetry = Tick();
  AudioService();  // lets the device go, or looks for one at once
}

void SimulateAudioDeviceRemoved() {
  sim.present = false;
  if (!st.open || !st.headlessOutput) return;
  {
    MixerGuard guard;
    sim.disconnected = true;
  }
  sim.removedEvent = true;
  UpdatePulling();
}

void SimulateAudioDeviceAdded(bool announced) {
  sim.present = true;
  if (announced) sim.addedEvent = true;
}

// ---- Secondary buffers

int AudioCreateBuffer(const void* formatBlock, uint32_t formatBytes, uint32_t bytes,
                      AudioBuffer** out) {
  if (!out) return AUDIO_ERR_INVALIDPARAM;
  *out = nullptr;
  if (!st.open) return AUDIO_ERR_NODEVICE;
  WaveFormat format;
  SampleKind kind;
  if (!BufferFormat(formatBlock, formatBytes, &format, &kind)) return AUDIO_ERR_BADFORMAT;
  if (bytes < format.blockAlign || bytes < 4 || bytes > 0x0FFFFFFFu) return AUDIO_ERR_INVALIDPARAM;
  if (st.voiceCount >= kMaxVoices) return AUDIO_ERR_OUTOFMEMORY;
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
  st.voices[st.voiceCount++] = b;
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
    for (int v = 0; v < st.voiceCount; ++v) {
      if (st.voices[v] == buffer) {
        st.voices[v] = st.voices[--st.voiceCount];
        st.voices[st.voiceCount] = nullptr;
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
  if (!st.open) return AUDIO_ERR_NODEVICE;
  if (st.voiceCount >= kMaxVoices) return AUDIO_ERR_OUTOFMEMORY;
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
  st.voices[st.voiceCount++] = b;
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
    if (!st.sources[i].render) {
      st.sources[i].user = user;
      st.sources[i].render = render;
      return i;
    }
  }
  return -1;
}

void AudioRemoveSource(int id) {
  if (id < 0 || id >= kMaxSources) return;
  MixerGuard guard;
  st.sources[id] = Source{};
}

void AudioLockMixer() { mixerLock.lock(); }

void AudioUnlockMixer() { mixerLock.unlock(); }

// ---- Headless mixing

void AudioPull(void* out, int frames) {
  if (!out || frames <= 0) return;
  MixerGuard guard;
  if (!st.open || !Headless() || !st.pulling) {
    size_t block = st.primary.blockAlign ? st.primary.blockAlign : 4;
    memset(out, st.primary.bitsPerSample == 8 ? 0x80 : 0, block * static_cast<size_t>(frames));
    return;
  }
  Render(static_cast<uint8_t*>(out), frames);
}

// ---- The one-shot system player

void AudioPlayToEnd(const void* format, uint32_t formatBytes, const void* data, uint32_t bytes) {
  st.lastPlayToEndFrames = 0;
  if (!data) return;
  bool opened = false;
  if (!st.open) {
    if (AudioOpen() != AUDIO_OK) return;
    opened = true;
  }
  AudioBuffer* b = nullptr;
  // Without a device there is nothing to wait for.
  if (AudioOutputRunning() && AudioCreateBuffer(format, formatBytes, bytes, &b) == AUDIO_OK) {
    memcpy(b->data, data, bytes);
    AudioPlay(b, false);
    if (Headless()) {
      uint8_t scratch[kChunk * 4];
      uint32_t block = st.primary.blockAlign;
      int frames = static_cast<int>(sizeof scratch / block);
      // A one-shot buffer always reaches its end: the loop ends.
      while (b->playing) Render(scratch, frames);
      st.lastPlayToEndFrames = b->mixedFrames;
    } else {
      // Real time: wait for the mixer to finish it, with a bound in case the device stalls.
      double seconds = static_cast<double>(b->frames) / b->frequency;
      Uint32 limit = SDL_GetTicks() + static_cast<Uint32>(seconds * 2000.0) + 2000;
      for (;;) {
        uint32_t status = 0;
        AudioGetStatus(b, &status);
        if (!(status & AUDIO_STATUS_PLAYING)) break;
        if (static_cast<int32_t>(SDL_GetTicks() - limit) >= 0) break;
        SDL_Delay(5);
      }
    }
    AudioReleaseBuffer(b);
  }
  if (opened) AudioClose();
}

uint32_t AudioLastPlayToEndFrames() { return st.lastPlayToEndFrames; }

}  // namespace tu::platform
