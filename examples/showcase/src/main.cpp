// The showcase's entry point: the program's title and scenes for the library's frame loop, and
// --autoplay, the same program driven headless by a key script (what CI runs).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "showcase.h"

namespace showcase {

namespace {

// A key held from `frame` for `hold` frames (a frame is 16 ms of the headless clock).
struct Tap {
  int frame, vk, hold;
};
// Through every scene and page, a capture (P) of each: title, effects, shapes, text, sound,
// the scrolling view, the game, its end, the title with the new best score.
constexpr Tap kScript[] = {
    {340, tu::kKeyP, 4},                                                   // the title, revealed
    {360, tu::kKeyDown, 4},   {380, tu::kKeyEnter, 4},                     // into the gallery
    {440, tu::kKeyP, 4},      {470, tu::kKeyTab, 4},   {520, tu::kKeyP, 4},  // effects; shapes
    {550, tu::kKeyTab, 4},    {650, tu::kKeyP, 4},                         // text, half revealed
    {680, tu::kKeyTab, 4},    {700, tu::kKeyRight, 4}, {710, tu::kKeyRight, 4},  // sound: pan 2000
    {720, tu::kKeyDown, 4},   {730, tu::kKeyRight, 4}, {740, tu::kKeyRight, 4},  // +2000 Hz
    {760, tu::kKeyX, 4},      {770, tu::kKeyM, 4},                         // the chime; the stream
    {800, tu::kKeyP, 4},      {830, tu::kKeyTab, 4},                       // the scrolling view
    {870, tu::kKeyEnter, 4},  {890, tu::kKeyDown, 60}, {960, tu::kKeyRight, 20},
    {1000, tu::kKeyP, 4},     {1030, tu::kKeyEnter, 4},
    {1060, tu::kKeyBackspace, 4},                                          // back to the title
    {1100, tu::kKeyUp, 4},    {1120, tu::kKeyEnter, 4},                    // into the game
    {1150, tu::kKeyX, 1150},  {1200, tu::kKeyLeft, 60}, {1300, tu::kKeyRight, 120},
    {1480, tu::kKeyLeft, 60}, {1600, tu::kKeyUp, 30},  {1700, tu::kKeyZ, 4},  // a bomb
    {1990, tu::kKeyP, 4},     {2100, tu::kKeyDown, 20}, {2150, tu::kKeyLeft, 80},
    {2320, tu::kKeyBackspace, 4},                                          // gives up
    {2450, tu::kKeyP, 4},     {2470, tu::kKeyEnter, 4},                    // game over
    {2800, tu::kKeyP, 4},     {2850, tu::kKeyEscape, 4},
};
constexpr int kFrameMs = 16;

struct Event {
  int frame, vk, down;
};

}  // namespace

int Autoplay(const tuSystem::Program& game) {
  constexpr int kEvents = 2 * static_cast<int>(sizeof kScript / sizeof kScript[0]);
  static Event events[kEvents];
  for (int i = 0; i < kEvents / 2; ++i) {
    events[2 * i] = {kScript[i].frame, kScript[i].vk, 1};
    events[2 * i + 1] = {kScript[i].frame + kScript[i].hold, kScript[i].vk, 0};
  }
  std::stable_sort(events, events + kEvents, [](const Event& a, const Event& b) { return a.frame < b.frame; });

  tuSystem::Program program = game;
  program.fixedSeed = 1;  // the same run, frame for frame, every time
  program.seed = 7;
  tuSystem::UseHeadless();
  char arg0[] = "showcase";
  char* argv[] = {arg0, nullptr};
  if (!tuSystem::Start(1, argv, program)) {
    fprintf(stderr, "showcase: the program did not start\n");
    return 1;
  }
  int next = 0, frame = 0;
  const int lastFrame = events[kEvents - 1].frame + 120;
  for (; frame < lastFrame; ++frame) {
    for (; next < kEvents && events[next].frame <= frame; ++next)
      tuSystem::PressKey(events[next].vk, events[next].down);
    tuSystem::AdvanceClock(kFrameMs);
    if (!tuSystem::RunToNextFrame()) break;
  }
  // Escape is the script's last key: the program must have ended on it, and not before.
  const Tap& escape = kScript[sizeof kScript / sizeof kScript[0] - 1];
  bool escaped = tuSystem::sys.quit && escape.vk == tu::kKeyEscape && frame >= escape.frame;
  if (!escaped) {
    fprintf(stderr, "showcase: the program %s at frame %d\n", tuSystem::sys.quit ? "ended early" : "did not end",
            frame);
    return 1;
  }
  printf("showcase: %d frames through every scene\n", frame);
  return 0;
}

}  // namespace showcase

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Tu Showcase";  // its own window caption and single-instance lock
  program.singleInstance = 1;
  program.loadAssets = showcase::LoadAssets;
  program.scenes[showcase::kTitleScene] = showcase::TitleScene;
  program.scenes[showcase::kPlayScene] = showcase::PlayScene;
  program.scenes[showcase::kGalleryScene] = showcase::GalleryScene;
  if (argc == 2 && strcmp(argv[1], "--autoplay") == 0) return showcase::Autoplay(program);
  if (argc > 1) {
    bool help = strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0;
    fprintf(help ? stdout : stderr,
            "usage: showcase [--autoplay]\n"
            "  --autoplay  run headless through every scene by a key script, saving a capture of\n"
            "              each into the user's folder (for CI); exit code 0 when all went through\n");
    return help ? 0 : 2;
  }
  return tuSystem::Main(argc, argv, program);
}
