#pragma once
#include <cstdint>

// The sound device: one output device at the primary format, mixed by our own mixer, and
// secondary buffers (volume in 1/100 dB, pan, frequency, loop, play cursor, lock in two
// regions). In headless mode there is no device: tests pull mixed frames with AudioPull and
// take the device away and back (platform/seams.h).
// Where no device can be opened, AudioOpen fails and the caller runs silent.
//
// Threads: the device callback, and a helper that opens and closes devices (it touches no
// mixer state). Every function here takes the mixer lock where it touches state the callback
// reads; the callback never allocates.
namespace tu::platform {

// A WAV file's format block as it lies in the file: 18 bytes, little-endian fields.
#pragma pack(push, 1)
struct WaveFormat {
  uint16_t formatTag = 1;  // 1 = PCM
  uint16_t channels = 2;
  uint32_t samplesPerSec = 44100;
  uint32_t avgBytesPerSec = 176400;
  uint16_t blockAlign = 4;
  uint16_t bitsPerSample = 16;
  uint16_t extraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "WaveFormat must match the 18-byte format block");

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
// The extensible form: 22 extra bytes (valid bits, channel mask, a 16-byte sub-format whose
// first two bytes are the plain tag, PCM or float), 40 bytes in all.
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr uint32_t kExtensibleFormatBytes = 40;

// Result codes: 0 success, negative failures.
constexpr int AUDIO_OK = 0;
constexpr int AUDIO_ERR_NODEVICE = -1;     // no device could be opened / device not open
constexpr int AUDIO_ERR_BADFORMAT = -2;    // a format the device does not take
constexpr int AUDIO_ERR_INVALIDPARAM = -3;
constexpr int AUDIO_ERR_OUTOFMEMORY = -4;  // no memory or no free voice

// Volume and pan limits, frequency range.
constexpr int AUDIO_VOLUME_MIN = -10000, AUDIO_VOLUME_MAX = 0;
constexpr int AUDIO_PAN_LEFT = -10000, AUDIO_PAN_RIGHT = 10000;
constexpr uint32_t AUDIO_FREQUENCY_MIN = 100, AUDIO_FREQUENCY_MAX = 100000;
constexpr uint32_t AUDIO_FREQUENCY_ORIGINAL = 0;  // SetFrequency(0): back to the format's rate

// Status bits.
constexpr uint32_t AUDIO_STATUS_PLAYING = 0x1, AUDIO_STATUS_LOOPING = 0x4;

// ---- Device and primary format
// Opens the mixer at the default primary format (44100 Hz, 16-bit, stereo) and the output
// device with it. Without a device the mixer opens all the same and waits for one (see the
// output device below); only a system without any sound output fails (AUDIO_ERR_NODEVICE).
// Opening again while open is a no-op success.
int AudioOpen();
// Closes the device and releases every secondary buffer still alive.
void AudioClose();
bool AudioIsOpen();
// Changes the primary format (PCM, 1 or 2 channels, 8 or 16 bits, 100..100000 Hz); the real
// device is reopened with it. On failure the old format stays. Without a device the format is
// taken for the next one.
int AudioSetPrimaryFormat(const WaveFormat& format);
WaveFormat AudioPrimaryFormat();

// ---- The output device coming and going
// The buffers, play cursors and sources are the mixer's own memory; the device only pulls the
// mix. When it goes away (unplugged, switched off, its sound server gone) nothing is lost: the
// mixer is no longer pulled, so every cursor, stream and synthesiser waits where the device
// left it, and carries on from there when a device is back. A one-shot buffer started while
// nothing could be heard counts as played: it does not sound late. Meanwhile the mixer looks
// for a device: at once when the system announces one, and otherwise quietly every 2 seconds.
// Opening runs on a helper thread, so the frame loop never waits for a sound server.

// The frame loop's turn for the device: notices a lost device, starts and finishes the search.
// Never blocks.
void AudioService();
// Whether a device is there (pulling, unless held).
bool AudioOutputRunning();
// While held (the program inactive, drawing nothing) nothing is pulled and the cursors wait; the
// device is let go, since even a paused one keeps its driver busy, and no search runs. When the
// hold ends a device is looked for at once.
void AudioHold(bool held);

// ---- Secondary buffers
struct AudioBuffer;
// A silent, stopped buffer of `bytes` bytes (at least one block) in the format block `format`
// of `formatBytes` bytes: 1 or 2 channels at 100..100000 Hz, integer PCM of 8, 16, 24 or 32
// bits or 32-bit float, in the plain or the extensible form, block align = channels × bytes
// per sample. Frequency = the format's rate, volume 0, pan 0, cursor 0.
int AudioCreateBuffer(const void* format, uint32_t formatBytes, uint32_t bytes, AudioBuffer** out);
// The same for an 18-byte format block (plain PCM or float).
int AudioCreateBuffer(const WaveFormat& format, uint32_t bytes, AudioBuffer** out);
// A buffer that shares `original`'s samples (writes to either show in both) with a play state,
// frequency, volume and pan of its own: stopped, cursor 0, the format's rate, volume 0, pan 0.
int AudioDuplicateBuffer(AudioBuffer* original, AudioBuffer** out);
// Stops and frees the buffer (null is ignored); shared samples go with their last buffer.
void AudioReleaseBuffer(AudioBuffer* buffer);
uint32_t AudioBufferBytes(const AudioBuffer* buffer);
// Write access to `bytes` bytes from `offset`; where the range passes the end of the buffer
// the rest is the second region at its start (otherwise *second is null and *secondBytes 0).
int AudioLock(AudioBuffer* buffer, uint32_t offset, uint32_t bytes, void** first,
              uint32_t* firstBytes, void** second, uint32_t* secondBytes);
int AudioUnlock(AudioBuffer* buffer, void* first, uint32_t firstBytes, void* second,
                uint32_t secondBytes);
int AudioPlay(AudioBuffer* buffer, bool loop);
// Stops without moving the play cursor.
int AudioStop(AudioBuffer* buffer);
// Play cursor in bytes (a whole block): the next frame the mixer takes. The write cursor is the
// first byte it has not read yet (it interpolates towards the frame after the play cursor):
// everything from there round to the play cursor may be rewritten while the buffer plays.
int AudioGetPosition(AudioBuffer* buffer, uint32_t* play, uint32_t* write);
int AudioSetPosition(AudioBuffer* buffer, uint32_t play);
int AudioGetStatus(AudioBuffer* buffer, uint32_t* status);
int AudioSetVolume(AudioBuffer* buffer, int volume);  // -10000..0 hundredths of a dB
int AudioGetVolume(AudioBuffer* buffer, int* volume);
int AudioSetPan(AudioBuffer* buffer, int pan);  // -10000 (left only)..10000 (right only)
int AudioGetPan(AudioBuffer* buffer, int* pan);
int AudioSetFrequency(AudioBuffer* buffer, uint32_t hz);  // 100..100000, or 0 for the original
int AudioGetFrequency(AudioBuffer* buffer, uint32_t* hz);

// ---- Extra sources mixed into the same output (a software synthesiser, for instance)
// Called from the mixer with the lock held: puts `frames` stereo frames (interleaved L, R,
// full scale ±1.0) at `rate` Hz into `mix`, which arrives zeroed (writing or adding both
// work). Must not allocate or block.
using AudioSourceFn = void (*)(void* user, float* mix, int frames, int rate);
// Returns a source id >= 0, or -1 when all slots are taken.
int AudioAddSource(AudioSourceFn render, void* user);
void AudioRemoveSource(int id);
// Holds the mixer off while a source's owner changes what its render function reads.
void AudioLockMixer();
void AudioUnlockMixer();

// ---- The one-shot system player
// Plays the sound (a format block as AudioCreateBuffer takes) to its end through the device and
// returns afterwards. Opens the device for the time of the sound if it is closed; does nothing
// where there is no device or the format is not one a buffer takes. In headless mode the sound
// is mixed off-line (deterministically) instead of in real time.
void AudioPlayToEnd(const void* format, uint32_t formatBytes, const void* data, uint32_t bytes);

}  // namespace tu::platform
