#include "game/output.h"

#include <tu/tuDraw.h>
#include <tu/tuSound.h>

namespace gameout {

Recorder recorder;

namespace {
void Note(SoundKind kind, int id) {
  if (!recorder.on) return;
  if (recorder.soundCount < kMaxSounds)
    recorder.sounds[recorder.soundCount++] = {kind, id};
  else
    ++recorder.lost;
}
}  // namespace

void Draw(int x, int y, int id, int left, int top, int right, int bottom) {
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
  tuSound::Play(id, tuSound::kPlayNext);
}

void PlayLoop(int id) {
  Note(SoundLoop, id);
  tuSound::PlayLoop(id, tuSound::kPlayNext);
}

void Stop(int id) {
  Note(SoundStop, id);
  tuSound::Stop(id, tuSound::kAllChannels);
}

}  // namespace gameout
