#pragma once
// Every picture and sound the game puts out passes through here on its way to tuDraw and
// tuSound, so that tests and tools can record what a frame drew and played.
namespace gameout {

struct DrawCall {
  int x, y, id, left, top, right, bottom;
};
enum SoundKind { SoundPlay, SoundLoop, SoundStop };
struct SoundCall {
  SoundKind kind;
  int id;
};

// What reaches the library. A step run a second time (a rollback, the sync test) is run with both
// off: it neither clears, draws nor presents the screen nor starts or stops a sound, and records
// nothing.
struct Output {
  bool draw = true, sound = true;
};
extern Output output;
// A step run a second time: nothing it does is put out or recorded again.
inline bool Rerun() { return !output.draw && !output.sound; }

constexpr int kMaxDraws = 2048;
constexpr int kMaxSounds = 256;

// Off unless switched on; records past the capacity are counted in `lost`, not stored.
struct Recorder {
  bool on = false;
  int drawCount = 0, soundCount = 0, lost = 0;
  DrawCall draws[kMaxDraws];
  SoundCall sounds[kMaxSounds];
  void Start() { *this = Recorder{}; on = true; }
};
extern Recorder recorder;

void Clear();
void Present();
void DrawFps();
void Draw(int x, int y, int id, int left, int top, int right, int bottom);
void Play(int id);      // once, on any channel
void PlayLoop(int id);  // looping, on any channel
void Stop(int id);      // every channel

}  // namespace gameout
