#pragma once
#include <cstdint>

// Opaque to games: the library's platform layer defines it, and its header is not installed.
namespace tu::platform {
struct AudioBuffer;
}

// tuSound: the sound device, WAV reading, the 70-entry sound object table and playback,
// sound packs, streaming and MIDI.
//
// What a game calls (tuDraw::Screen opens the device):
//   LoadObject, LoadPack             sounds into sound ids (kNoSound after a failure)
//   Play, PlayLoop, Stop             with a channel selector: kPlayNext, or a channel number
//   SetVolume, SetPan, SetFrequency  on one channel, kNextChannel or kAllChannels
//   LoadStreamFile, Streaming        long music, refilled from the frame loop
//   PlayMidi, StopMidi               MIDI music
// Without a sound device every call is silent and the loaders give kNoSound.
namespace tuSound {

constexpr int kMaxSounds = 70;
constexpr int kNoSound = -1;  // the sound id the loaders give after a failure
constexpr int kMaxChannels = 10;
constexpr int kNameLength = 30;  // characters of a stored name, without the terminator

// One mix channel of a sound object: its buffer and the settings a rebuild re-applies.
struct SoundChannel {
  tu::platform::AudioBuffer* buffer = nullptr;
  uint32_t frequency = 0;      // Hz
  int pan = 0;                 // -10000..10000
  int volume = 0;              // -10000..0, hundredths of a decibel
  uint32_t savedPosition = 0;  // play cursor in bytes, written by Pause
};

// Where a stream's sound comes from (StreamRecord::source).
constexpr uint8_t kStreamFromPack = 0;  // a sound pack entry (LoadStream)
constexpr uint8_t kStreamFromWave = 1;  // a WAV file (LoadStreamFile)
constexpr uint8_t kStreamFromOgg = 2;   // an Ogg Vorbis file, decoded as it plays (LoadStreamFile)

// Refill state of a streamed object; dataSize != 0 marks the object as a stream. Positions are
// file offsets of the pack or WAV file, or for an Ogg Vorbis file offsets into its decoded
// samples (16-bit, start 0).
struct StreamRecord {
  uint32_t start = 0, loopPosition = 0, readPosition = 0, dataSize = 0, consumed = 0;
  uint32_t lastWriteStart = 0, writePosition = 0, halfSize = 0, bufferSize = 0;
  uint32_t wrapMark = 0xFFFFFFFFu, lastPlayCursor = 0;
  uint8_t endCountdown = 0;
  uint8_t source = kStreamFromPack;
  char packPath[260] = {};  // the pack file's or the sound file's full path
};

struct SoundObject {
  int used = 0;
  char name[kNameLength + 1] = {};
  int channelCount = 1;
  int nextChannel = 0;
  int echoState = -1;  // -1 cannot echo, 0 idle, n >= 1 the next echo to sound
  float echoTime = 0.0f;
  int echoLooping = 0;
  float sweepPan = 0.0f;
  int sweepDirection = 1;
  int looping = 0;  // the last start was PlayLoop
  uint32_t baseFrequency = 0;
  int fromPack = 0;
  StreamRecord stream;
  SoundChannel channels[kMaxChannels];
};

// The module's state: device flags, the rebuild cursor and the object table.
struct SoundState {
  int available = 0;     // Init succeeded; otherwise every call does nothing
  int rebuilding = 0;    // loaders refill `currentEntry` instead of taking a new one
  int currentEntry = 0;
  SoundObject objects[kMaxSounds];
};
extern SoundState snd;

// ---- Device and mix format
// Opens the sound device; 1 on success, 0 when there is none (the library then runs silent).
int Init();
// Releases every buffer and the device; names and settings stay for Restore.
void Release();
// Re-opens the device and rebuilds every loaded object under its old id and settings.
void Restore();
// Changes the mix format (channels 1/2; rate 8, 11, 22, 44 or Hz; bits 8/16) and rebuilds
// every object. 1 done (also without sound), 0 the device refused the format.
int SelectFormat(int channels, int rate, int bits);
// Plays a WAV file (relative to the program folder, or absolute) to its end, then rebuilds.
void PlaySystemSound(const char* name);
// Empties the sound object table (display set-up calls it after Init).
void ResetObjects();

// ---- WAV reading
// Reads a RIFF WAVE file into a format block (18 + extra bytes) and a data block, both
// allocated with malloc and freed by the caller with free(). 0 success, 1 failure (then both
// blocks are null and the sizes 0): no such file, not a WAV file, a chunk cut short, or a
// format with no channels, a rate of 0 or a block align of 0.
int ReadWave(const char* path, uint8_t** format, int* formatLength, uint8_t** data,
             int* dataSize);

// ---- Sound objects
// Loads a WAV file (relative to the program folder) or resource into a sound object with
// |mix| channels (mix 2..10 can echo); returns the sound id or -1. An Ogg Vorbis file (told by
// its first bytes, whatever its name; 1 or 2 channels) loads as well, decoded whole to 16-bit
// samples, up to kMaxDecodedBytes of them: stream longer music with LoadStreamFile. One that
// cannot be decoded is reported with its name.
constexpr uint32_t kMaxDecodedBytes = 256u << 20;
int LoadObject(const char* name, int mix);
void DeleteObject(int id);
// Channel selector `ch`: 0..count-1 one channel, or one of these. An object's channels take
// turns: each start without a channel number goes to the channel whose turn it is.
constexpr int kPlayNext = -1;     // Play, PlayLoop: the channel whose turn it is
constexpr int kPlayEcho = -2;     // Play, PlayLoop: as kPlayNext, starting an echo (mix 2..10)
constexpr int kNextChannel = -2;  // the setters: the channel the next start will take
constexpr int kAllChannels = -1;  // Stop, Pause and the setters: every channel
// kPlayEcho and kNextChannel are the same number, -2, read by the call: Play and PlayLoop start
// an echo on the channel whose turn it is; the setters change the channel the next start will
// take; Stop and Pause take it as kAllChannels. Other negatives are kPlayNext to Play and
// PlayLoop and kAllChannels to the rest.
void Play(int id, int ch);
void PlayLoop(int id, int ch);
void Stop(int id, int ch);
void Pause(int id, int ch);  // toggles
void AddFrequency(int id, int delta, int ch);
void SetFrequency(int id, int offset, int ch);  // base frequency + offset
void ResetFrequency(int id, int ch);
void AddPan(int id, int delta, int ch);
void SetPan(int id, int pan, int ch);
void ResetPan(int id, int ch);
void PanLeft(int id, int ch);
void PanRight(int id, int ch);
void AddVolume(int id, int delta, int ch);
void SetVolume(int id, int volume, int ch);
void ResetVolume(int id, int ch);
// Call once per frame while an echo runs (after Play/PlayLoop with kPlayEcho).
void Echo(int id, int interval, int count, int step);
void EchoSweep(int id, int interval, int count, int step, int speed);
// Play cursor of channel 0 in bytes.
uint32_t GetPosition(int id);

// ---- Sound packs (entries: data size, upper-cased name, format size, format, samples)
// The pack file, relative to the program folder, that LoadPack and LoadStream read.
void PackPath(const char* name);
const char* CurrentPackPath();  // the full path, empty before PackPath
// Loads a pack entry (any case) into a sound object of |mix| channels; sound id or -1.
int LoadPack(const char* name, int mix);
// Appends every WAV of `folder` ("" = the program folder) to the pack, emptied first when
// `replace`. Always 1; files that cannot be read are left out.
int MakePack(const char* pack, const char* folder, int replace);
// Appends one WAV file (relative to the program folder) to the pack.
void WritePackEntry(const char* pack, const char* name);

// ---- Streaming (a four-second ring buffer refilled two seconds at a time from a pack)
// Loads a pack entry as a stream that loops back to `loopOffset` bytes after its first
// sample; entries under five seconds load whole. Sound id or -1.
int LoadStream(const char* name, int loopOffset);
// Loads a sound file beside the program as a stream, as LoadStream does a pack entry: a WAV
// file, or an Ogg Vorbis file (told by its first bytes), which is decoded two seconds at a time
// as it plays. `loopOffset` counts bytes of the samples from the first one, for an Ogg Vorbis
// file bytes of its decoded 16-bit samples (frames x channels x 2). Sounds under five seconds
// load whole, as LoadObject(name, 1). Sound id or -1 after a report.
int LoadStreamFile(const char* name, int loopOffset);
// Rewinds a stream to its first sample. 1, or 0 after a report.
int ResetStream(int id);
// Refills every playing stream whose play cursor has left the last refill. Call it at
// least every second or two of playback. 1, or 0 without sound or after a report.
int Streaming();

// ---- MIDI music (one Standard MIDI File at a time, mixed into the same output)
int InitMidi();  // open 0, loop 1; returns 1
// Plays a file relative to the program folder; `loop` 1 restarts it at every end.
void PlayMidi(const char* file, int loop);
void StopMidi();   // stops and closes, if open
void CloseMidi();  // stops and closes unconditionally; the open flag stays
void MidiOnce();   // the piece playing ends and closes at its end
void MidiNotify(); // the end of the piece: restart when looping, else stop
// The window procedure's MIDI notify branch: `flag` 1 is a successful end of the piece.
void MidiNotifyMessage(int flag);
// MIDI state: a piece is open; it restarts when it ends.
struct MidiState {
  int open = 0;
  int loop = 1;
};
extern MidiState midi;

}  // namespace tuSound
