// A game of three frames built only from the installed library: it opens the display, draws a
// rectangle and a line of text, plays a short sound it wrote beside itself, and ends. The exit
// code is 0 when everything it checks held; each failure is printed.
#include <tu/keys.h>
#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>
#include <tu/version.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;
int frames = 0;
int escapeKey = tu::kKeyStateUp;

void Check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "consumer: %s\n", what);
  ++failures;
}

// A tenth of a second of a 16-bit mono square wave at 22050 Hz, as a RIFF WAVE file.
bool WriteTone(const char* path) {
  int16_t samples[2205];
  for (int i = 0; i < 2205; ++i) samples[i] = (i / 25) % 2 ? 8000 : -8000;
  auto u32 = [](uint8_t* p, uint32_t v) { memcpy(p, &v, 4); };
  uint8_t head[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                      16, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 16, 0,
                      'd', 'a', 't', 'a'};
  u32(head + 4, 36 + sizeof samples);
  u32(head + 24, 22050);
  u32(head + 28, 44100);
  u32(head + 40, sizeof samples);
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(head, sizeof head, 1, f) == 1 && fwrite(samples, sizeof samples, 1, f) == 1;
  return fclose(f) == 0 && ok;
}

void LoadAssets() {
  Check(tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory) == 1, "tuDraw::Screen failed");
  int tone = tuSound::LoadObject("consumer-tone.wav", 1);
  Check(tone >= 0, "tuSound::LoadObject could not load the tone");
  tuSound::Play(tone, 0);
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  tuDraw::Clear();
  tuDraw::Rect(100, 100, 120, 120, 0x0000FF, 0x0000FF, 1);  // red (0x00BBGGRR)
  tuDraw::PrintAt(0, 0, "tu " TU_VERSION_STRING);          // white on dark blue
  int r = 0, g = 0, b = 0;
  tuDraw::GetPixel(110, 110, &r, &g, &b);
  Check(r > 200 && g < 16 && b < 16, "the rectangle is not red");
  tuDraw::GetPixel(0, 0, &r, &g, &b);
  Check(b > 100 && r < 16 && g < 16, "the text has no blue background");
  tuSystem::GetKey(tu::kKeyEscape, &escapeKey);  // nobody presses it
  Check(escapeKey == tu::kKeyStateUp, "Escape does not read up");
  tuDraw::Present();
  if (++frames == 3) tuSystem::Exit();
}

}  // namespace

int main(int argc, char** argv) {
  Check(strcmp(TU_VERSION_STRING, TU_EXPECTED_VERSION) == 0,
        "tu/version.h and the package disagree on the version");
  char tonePath[512];
  snprintf(tonePath, sizeof tonePath, "%sconsumer-tone.wav", tuSystem::GetPath(0));
  Check(WriteTone(tonePath), "cannot write the tone beside the program");
  tuSystem::Program program;
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  tuSystem::Main(argc, argv, program);
  Check(frames == 3, "the frame loop did not run three frames");
  return failures ? 1 : 0;
}
