#include "game/output.h"

#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

namespace gameout {

Recorder recorder;
Output output;

namespace {
void Note(SoundKind kind, int id) {
  if (!recorder.on || !output.sound) return;
  if (recorder.soundCount < kMaxSounds)
    recorder.sounds[recorder.soundCount++] = {kind, id};
  else
    ++recorder.lost;
}
}  // namespace

void Clear() {
  if (output.draw) tuDraw::Clear();
}

void Present() {
  if (output.draw) tuDraw::Present();
}

void DrawFps() {
  if (output.draw) tuSystem::DrawFps();
}

void Draw(int x, int y, int id, int left, int top, int right, int bottom) {
  if (!output.draw) return;
  if (recorder.on) {
    if (recorder.drawCount < kMaxDraws)
      recorder.draws[recorder.drawCount++] = {x, y, id, left, top, right, bottom};
    else
      ++recorder.lost;
  }
  tuDraw::Draw(x, y, id, left, top, right, bottom);
}

void Play(int id) {
  Note(SoundPlay, id);
  if (output.sound) tuSound::Play(id, tuSound::kPlayNext);
}

void PlayLoop(int id) {
  Note(SoundLoop, id);
  if (output.sound) tuSound::PlayLoop(id, tuSound::kPlayNext);
}

void Stop(int id) {
  Note(SoundStop, id);
  if (output.sound) tuSound::Stop(id, tuSound::kAllChannels);
}

}  // namespace gameout
