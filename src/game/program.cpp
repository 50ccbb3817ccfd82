#include <cstdio>
#include <cstring>
#include <string>

#include <tu/version.h>

#include "game/game.h"
#include "game/model.h"
#include "game/playback.h"
#include "game/records.h"
#include "game/settings.h"

namespace {
// The replay the command line asked for, read and checked before the window opened.
struct StartReplay {
  bool set = false;
  Replay replay;
};
StartReplay startReplay;
OnlineHooks online;

// While online play is under way it runs the frame; the game's scenes wait.
void OnlineOrGameScene() {
  if (!online.frame()) GameScene();
}
void OnlineOrMenuScene() {
  if (!online.frame()) MenuScene();
}

// The colours the game deals follow from the seed the shell started with: the fixed seed of a
// tool's run, else the time. A replay asked for is played back at once.
void Load() {
  SeedRandom(game.random, tuSystem::sys.seed);
  LoadAssets();
  if (online.started && !tuSystem::sys.shutdownDone) online.started();
  if (!startReplay.set || tuSystem::sys.shutdownDone) return;
  startReplay.set = false;
  std::string error;
  if (!StartPlayback(startReplay.replay, &error)) fprintf(stderr, "quorbistane: %s\n", error.c_str());
  startReplay.replay = Replay{};
}
}  // namespace

void InstallOnline(const OnlineHooks& hooks) { online = hooks; }
const OnlineHooks& InstalledOnline() { return online; }

bool PlayReplayAtStart(const std::string& path, std::string* error) {
  startReplay = StartReplay{};
  bool read = ReadReplayFile(path, &startReplay.replay, error);
  if (read && !ReplayFits(startReplay.replay.header, GameVersion(), RuleTableHash(), error)) {
    *error = path + ": " + *error;
    read = false;
  }
  if (!read) startReplay.replay = Replay{};
  startReplay.set = read;
  return read;
}

tuSystem::Program GameProgram() {
  // The load stamps exist by now: the game's timers start from them.
  ResetGame();
  tuSystem::Program p;
  p.title = "Quorbistane";
  p.singleInstance = 1;
  p.loadAssets = Load;
  p.scenes[1] = GameScene;
  p.scenes[2] = MenuScene;
  p.scenes[3] = InterludeScene;
  if (online.frame) {
    p.scenes[1] = OnlineOrGameScene;
    p.scenes[2] = OnlineOrMenuScene;
  }
  // The pads hold the keys bound to each player's actions (settings.h).
  p.pads = &PadKeys();
  return p;
}

namespace {
const char kHelp[] =
    "An action puzzle game of diamond blocks for one or two players on one keyboard.\n"
    "\n"
    "                     player 1        player 2\n"
    "  move               Left / Right    A / D\n"
    "  fall faster        Down            S\n"
    "  turn               X / Z           J / H\n"
    "  menu               Up, Down, X     W, S, J\n"
    "  Space pauses, Escape ends the game; F11 or Alt+Enter switch to fullscreen and back.\n"
    "  The window opens at the largest whole multiple of 640 x 480 that fits the display's\n"
    "  usable area, frame included (2x on 1920 x 1080).\n"
    "  Game pads play too: the first connected is player 1, the second player 2.\n"
    "  The menu's VS COMPUTER is the versus game against the computer.\n"
    "\n"
    "  --replay FILE  plays the replay FILE back at once; its end goes to the REPLAYS page\n"
    "%s"
    "  --help         this text\n"
    "  --version      the version\n"
    "\n"
    "Every game is recorded; the last 100 replays (and those marked kept) are in\n"
    "$XDG_DATA_HOME/quorbistane/replays/ (else ~/.local/share/quorbistane/replays/).\n"
    "The pictures and sounds are read from BMP/, BGM/ and SE/ beside the executable.\n"
    "Exit status: 0 when the game ends, 1 when its pictures cannot be loaded, 2 for a wrong\n"
    "command line or a replay that cannot be played.\n";

// An argument as the terminal may show it: printable ASCII, other bytes as \xNN, cut.
std::string Printable(const char* s) {
  std::string out;
  for (; *s && out.size() < 60; ++s) {
    unsigned char b = static_cast<unsigned char>(*s);
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02X", b);
    out += b >= 0x20 && b < 0x7F ? std::string(1, static_cast<char>(b)) : std::string(hex);
  }
  return out;
}
}  // namespace

int GameMain(int argc, char** argv) {
  std::string usage = std::string("usage: quorbistane [--replay FILE]") + online.usage + " [--help] [--version]\n";
  const char* kUsage = usage.c_str();
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      fputs(kUsage, stdout);
      printf(kHelp, online.help);
      return 0;
    }
    if (strcmp(argv[i], "--version") == 0) {
      printf("quorbistane %s\n", TU_VERSION_STRING);
      return 0;
    }
  }
  const char* replayFile = nullptr;
  bool onlineStart = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--replay") == 0 && !replayFile) {
      if (i + 1 == argc) {
        fprintf(stderr, "quorbistane: --replay needs a file\n%s", kUsage);
        return 2;
      }
      replayFile = argv[++i];
      continue;
    }
    if (online.argument) {
      std::string why;
      int taken = online.argument(argc, argv, i, &why);
      if (taken < 0) {
        fprintf(stderr, "quorbistane: %s\n%s", why.c_str(), kUsage);
        return 2;
      }
      if (taken > 0) {
        i += taken - 1;
        onlineStart = true;
        continue;
      }
    }
    if (strcmp(argv[i], "--replay") == 0)
      fprintf(stderr, "quorbistane: --replay is given twice\n%s", kUsage);
    else
      fprintf(stderr, "quorbistane: unknown argument '%s'\n%s", Printable(argv[i]).c_str(), kUsage);
    return 2;
  }
  if (onlineStart && replayFile) {
    fprintf(stderr, "quorbistane: --replay cannot go with an online start\n%s", kUsage);
    return 2;
  }
  if (onlineStart && online.argumentsDone) {
    std::string why;
    if (!online.argumentsDone(&why)) {
      fprintf(stderr, "quorbistane: %s\n%s", why.c_str(), kUsage);
      return 2;
    }
  }
  // A replay that cannot be played is told before any window opens.
  std::string error;
  if (replayFile && !PlayReplayAtStart(replayFile, &error)) {
    fprintf(stderr, "quorbistane: %s\n", error.c_str());
    return 2;
  }
  // The player's settings before the program starts: the pads take their keys from them.
  LoadSettings(DefaultSettingsPath());
  OpenRecords(DefaultRecordsPath());
  tuSystem::Program program = GameProgram();
  // Two copies on one machine may play each other online.
  if (onlineStart && online.secondCopy && online.secondCopy()) program.singleInstance = 0;
  int code = tuSystem::Main(argc, argv, program);
  if (online.stopped) online.stopped();
  // A fullscreen switch made in a game that ended the program is written now.
  SaveSettings();
  // A game the program was closed in is kept as far as it went (its replay cut short).
  EndGameRecording();
  return code;
}
