// sound_stream_midi: music two ways. A long sound streamed from a sound pack (made with
// `quorbistane_pack sounds sounds.pak audio/`) loops from a point four seconds in; a
// Standard MIDI File plays through the General MIDI synthesiser. M switches between them.
// Expects sounds.pak with music.wav (22050 Hz, 16-bit mono, over five seconds) and theme.mid.
// Uses: tuSound::PackPath, LoadStream, PlayLoop, Streaming, Stop, GetPosition, PlayMidi, StopMidi.
// Keys: M switches; Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

namespace {

int music = -1, mKey = 0;
bool midi = false;

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuSound::PackPath("sounds.pak");
  // The loop point in bytes after the first sample: 4 s of 22050 two-byte samples.
  music = tuSound::LoadStream("music.wav", 4 * 22050 * 2);
  tuSound::PlayLoop(music, 0);  // a stream starts from its beginning
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  tuSystem::GetKey(tu::kKeyM, &mKey);
  if (mKey == tu::kKeyStatePressed) {
    midi = !midi;
    if (midi) {
      tuSound::Stop(music, tuSound::kAllChannels);
      tuSound::PlayMidi("theme.mid", 1);  // 1: start again at its end
    } else {
      tuSound::StopMidi();
      tuSound::PlayLoop(music, 0);
    }
  }
  tuSound::Streaming();  // refills the stream's buffer as it plays: call it every frame
  tuDraw::Clear();
  if (midi)
    tuDraw::PrintAt(40, 40, "MIDI");
  else
    tuDraw::PrintFormat(40, 40, "Stream, play cursor at byte %u", tuSound::GetPosition(music));
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Streams and MIDI";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
