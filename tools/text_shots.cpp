// Writes screenshots of the frames-per-second meter over a frame of play and of the line-grid
// interlude: the real program loop, headless, with a manual 60 Hz clock and injected keys; the
// back buffer is saved as 24-bit BMP files beside the program.
#include <cstdio>
#include <cstring>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>
#include <tu/version.h>

#include "base/text.h"
#include "game/game.h"
#include "platform/instance.h"

namespace {

// Runs `frames` frame steps, 16 or 17 ms apart (60 a second).
void Run(int frames) {
  uint32_t target = tuSystem::sys.frameCount + static_cast<uint32_t>(frames);
  while (tuSystem::sys.frameCount < target && tuSystem::Turn()) {
    tuSystem::AdvanceClock(tuSystem::sys.frameCount % 3 == 0 ? 16 : 17);
  }
}

void Press(int vk) {
  tuSystem::PressKey(vk, 1);
  Run(6);
  tuSystem::PressKey(vk, 0);
  Run(6);
}

const char kUsage[] = "usage: quorbistane_text_shots [--help] [--version]\n";
const char kHelp[] =
    "Plays a frame of the game headless and writes meter.bmp (the frames-per-second meter over\n"
    "five seconds of play) and interlude.bmp (the line-grid interlude) beside the program,\n"
    "640 x 480, 24-bit, where the game's pictures and sounds are read from too.\n"
    "Exit status: 0 both written; 1 the game did not start or a file could not be written;\n"
    "2 a wrong command line.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (!strcmp(argv[i], "--version")) {
      printf("quorbistane_text_shots %s\n", TU_VERSION_STRING);
      return 0;
    }
    fprintf(stderr, "quorbistane_text_shots: unknown argument '%s'\n%s", tu::Printable(argv[i]).c_str(), kUsage);
    return 2;
  }
  // The manual clock and the load-time stamps start at 0, where the meter's first window begins.
  tuSystem::UseHeadless();
  tuSystem::Program program = GameProgram();
  program.fixedSeed = 1;
  program.seed = 7;
  char arg0[] = "quorbistane_text_shots";
  char* startArgs[] = {arg0};
  if (!tuSystem::Start(1, startArgs, program)) {
    fprintf(stderr, "quorbistane_text_shots: the game did not start\n");
    return 1;
  }
  tuDraw::SetVSync(0);
  Run(60);
  Press(tu::kKeyX);  // one player
  Press(tu::kKeyX);  // Easy
  Run(300);   // the opening wipe and five seconds of play: the meter shows a full window
  int ok = tuDraw::SaveScreen("meter.bmp", 640, 480);

  tuSystem::sys.sceneNo = 3;
  tuSystem::sys.prevSceneNo = 0;
  Run(250);
  ok &= tuDraw::SaveScreen("interlude.bmp", 640, 480);
  if (ok)
    printf("wrote meter.bmp and interlude.bmp\n");
  else
    fprintf(stderr, "quorbistane_text_shots: could not write meter.bmp and interlude.bmp beside the program\n");
  tuSystem::Exit();
  tu::platform::ReleaseInstance();
  return ok ? 0 : 1;
}
