#pragma once
// Private to the sound device's files (platform/audio.h is their interface):
//   audio_mixer.cpp     secondary buffers, their mixing and the extra sources, under the mixer lock
//   audio_device.cpp    the output device's life (open, close, loss, the search on a helper
//                       thread, hold) and the real SDL device; the one-shot player
//   audio_headless.cpp  the headless device: pulled by the test, taken away and brought back
//   audio_faults.cpp    the fault-signal hook that takes the real device away (SIGUSR1/SIGUSR2)
#include <cstddef>
#include <cstdint>

#include "platform/audio.h"

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

namespace audio {

constexpr int kChunk = 1024;         // frames mixed per pass
constexpr uint32_t kRetryMs = 2000;  // the quiet search for a lost device

// ---- The mixer (audio_mixer.cpp)

// Holds the device callback off for the lifetime of the guard. The lock is the mixer's own,
// since devices come and go while the mixer stays. Never call into SDL's audio while holding
// it: SDL holds its own device lock around the callback, which takes this one.
class MixerGuard {
 public:
  MixerGuard() { AudioLockMixer(); }
  ~MixerGuard() { AudioUnlockMixer(); }
  MixerGuard(const MixerGuard&) = delete;
  MixerGuard& operator=(const MixerGuard&) = delete;
};

// A plain PCM format block.
WaveFormat MakeFormat(int channels, uint32_t rate, int bits);
// Whether the device can take `f` as its primary format.
bool PrimaryFormatOk(const WaveFormat& f);
// Sets the mix format and the resampling steps that depend on its rate.
void SetPrimary(const WaveFormat& f);
// Bytes of one frame of the primary format (4 before there is one).
int FrameBytes();
// `bytes` bytes of silence in the primary format.
void Silence(uint8_t* out, size_t bytes);
// Mixes `frames` frames in the primary format into `out` and advances every playing buffer;
// the caller holds the mixer.
void Render(uint8_t* out, int frames);
// Whether a device pulls the mix (one is there and not held): otherwise the device is fed
// silence and nothing advances.
void SetPulling(bool pulling);
bool Pulling();
// A device is there again: one-shots started while nothing could be heard are over by now, so
// they stay silent.
void ForgetUnheardOneShots();
// Frees every secondary buffer still alive (the mixer closes).
void ReleaseAllBuffers();

// ---- The output device
// What an output tells the device's search (audio_device.cpp): a device is there, the installed
// device went away, a device may have arrived.
class OutputEvents {
 public:
  virtual void Install(uint32_t device) = 0;
  virtual void Removed() = 0;
  virtual void Arrived() = 0;

 protected:
  ~OutputEvents() = default;
};

// The device the mixer's output goes to: the real one, or in headless mode a simulated one that
// the test pulls. When to look for a device, losing it and holding are the same for both
// (audio_device.cpp); these are the steps that differ.
class Output {
 public:
  // Readies the system's sound output (AudioOpen); false when there is none at all.
  virtual bool Start() = 0;
  // Closes every device and ends what Start readied (AudioClose; harmless when unused).
  virtual void Stop() = 0;
  // Opens a device at the primary format at once and installs it; false when there is none.
  virtual bool OpenNow(OutputEvents& events) = 0;
  // Install's own part: the output goes to `device` from now on.
  virtual void Attach(uint32_t device) = 0;
  // Passes the device events since the last look on.
  virtual void TakeEvents(OutputEvents& events) = 0;
  // Whether a device is installed; whether it stopped by itself; whether it is pulled.
  virtual bool There() const = 0;
  virtual bool Gone() const = 0;
  virtual bool Running() const = 0;
  // The device is lost or let go; Dropped: one is still to be closed.
  virtual void Drop() = 0;
  virtual bool Dropped() const = 0;
  // Looks for a device (or with `open` false only closes a dropped one) without blocking; false
  // when nothing was found or started, so the quiet retry is due.
  virtual bool Search(bool open, OutputEvents& events) = 0;
  // Whether a search is still under way; a finished one's result is taken first.
  virtual bool Searching() = 0;
  // The primary format becomes `wanted` (a checked PCM format) on the device too.
  virtual int SetFormat(const WaveFormat& wanted) = 0;
  // Plays a started one-shot buffer to its end; the frames mixed off-line (0 in real time).
  virtual uint32_t PlayOut(AudioBuffer* buffer) = 0;

 protected:
  ~Output() = default;
};

Output& HeadlessOutput();  // audio_headless.cpp

// ---- The fault-signal hook (audio_faults.cpp)
// With TU_AUDIO_FAULT_SIGNALS=1 in the environment, installs the handlers once.
void InstallFaultSignals();
// Turns the signals caught since the last call into device events: a removal of `device`
// (unless 0) for SIGUSR1, an added event for SIGUSR2.
void TakeFaultSignals(uint32_t device);
// Between SIGUSR1 and SIGUSR2 no device opens.
bool FaultDeviceAbsent();
// How long each search's helper waits before it touches a device (0 unless asked for).
uint32_t FaultSearchDelayMs();

}  // namespace audio
}  // namespace tu::platform
