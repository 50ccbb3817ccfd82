#include "sim.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <tu/tuSystem.h>
#include <tu/version.h>

#include "base/text.h"
#include "frame.h"
#include "game/game.h"
#include "game/model.h"
#include "game/playback.h"
#include "game/settings.h"
#include "game/records.h"
#include "platform/seams.h"
#include "progress.h"
#include "script.h"
#include "state.h"

namespace sim {

namespace {

const char kUsage[] =
    "usage: quorbistane-sim [--seed N] [--frame-ms N] [--frames N] [--start-tick N] [--script FILE]\n"
    "                       [--state FILE] [--dump FILE] [--trace FILE] [--shot FRAME:FILE.png]...\n"
    "                       [--assets DIR] [--config FILE] [--records FILE]\n"
    "                       [--record FILE] [--replay FILE] [--replays DIR]\n"
    "                       [--allow-errors] [--help] [--version]\n";

const char kHelp[] =
    "Runs the Quorbistane game without a window, from a script of keys, and prints its state as JSON.\n"
    "\n"
    "  --seed N              the game's random seed, 0 to 4294967295 (default 1)\n"
    "  --frame-ms N          milliseconds a frame, 0 to 100000 (default 16)\n"
    "  --frames N            frames to run, 0 to 100000000 (default: to the script's last event)\n"
    "  --start-tick N        the clock's first tick, 0 to 4294967295 (default 0)\n"
    "  --script FILE         key events, one a line: FRAME KEY down|up|tap (- for standard input)\n"
    "  --state FILE          JSON fields of the game to set before the first frame\n"
    "  --dump FILE           where the final state goes (default -, standard output)\n"
    "  --trace FILE          a line a frame: frame, scene, both phases and both scores\n"
    "  --shot FRAME:FILE.png the screen after that frame (FRAME below --frames); repeatable\n"
    "  --assets DIR          pictures and sounds from DIR/BMP, DIR/BGM and DIR/SE\n"
    "  --config FILE         the settings file to read instead of the player's own\n"
    "  --records FILE        keep one-player records and versus tallies in FILE (default: none)\n"
    "  --record FILE         the replay of the run's game (to its end, or as far as the run goes)\n"
    "  --replay FILE         plays a replay back: its keys, seed, clock and start; --frames defaults\n"
    "                        to its length (no --script, --state, --seed, --frame-ms, --start-tick)\n"
    "  --replays DIR         the player's replay folder for the run: the REPLAYS page lists it and\n"
    "                        the run's games are kept there (default: none, the player's own untouched)\n"
    "  --allow-errors        an error box (a file that did not load) does not fail the run\n"
    "\n"
    "Every output is checked for writing before the run. Exit status: 0 done; 1 an output cannot be\n"
    "written or the program did not start; 2 bad arguments, script or state; 3 the program raised\n"
    "an error box (without --allow-errors); 4 the replay was refused or diverges from its checks.\n";

struct Shot {
  int frame;
  std::string file;
};

struct Options {
  unsigned seed = 1;
  int frameMs = 16;
  int frames = -1;
  uint32_t startTick = 0;
  std::string script, state, dump = "-", trace, assets, records;
  std::string config;  // the settings file; empty: the player's own
  std::string record, replay, replays;
  bool seedGiven = false, frameMsGiven = false, startTickGiven = false;
  std::vector<Shot> shots;
  bool allowErrors = false;
};

constexpr long long kMaxFrames = 100000000;

int Usage(const std::string& why) {
  std::cerr << "quorbistane-sim: " << why << "\n" << kUsage;
  return 2;
}

// Reads a whole file, or standard input for "-"; a pipe (as a shell's process substitution gives)
// is read like a file, anything else (a folder, a device) is refused.
bool ReadAll(const std::string& name, std::string* out, std::string* why) {
  if (name == "-") {
    std::ostringstream s;
    s << std::cin.rdbuf();
    *out = s.str();
    return true;
  }
  struct stat st;
  if (stat(name.c_str(), &st) != 0) {
    *why = strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
    *why = S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is neither a file nor a pipe";
    return false;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    *why = strerror(errno);
    return false;
  }
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

// Why `name` cannot be written (empty when it can), without touching it: an existing file must
// be writable, a new one needs a writable folder.
std::string CannotWrite(const std::string& name) {
  if (name == "-") return "";
  struct stat st;
  if (stat(name.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return "is a folder";
    return access(name.c_str(), W_OK) == 0 ? "" : strerror(errno);
  }
  if (errno != ENOENT) return strerror(errno);
  auto slash = name.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  if (stat(folder.c_str(), &st) != 0) return "its folder " + folder + ": " + strerror(errno);
  if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
  return access(folder.c_str(), W_OK | X_OK) == 0 ? "" : "its folder " + folder + ": " + strerror(errno);
}

// Writes to a file, or to standard output for "-".
bool WriteAll(const std::string& name, const std::string& text) {
  if (name == "-") {
    std::cout << text;
    return static_cast<bool>(std::cout.flush());
  }
  std::ofstream out(name, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

int ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char** v) {
      if (i + 1 >= argc) return false;
      *v = argv[++i];
      return true;
    };
    const char* v = nullptr;
    long long n = 0;
    if (a == "--seed") {
      if (!value(&v) || !tu::ParseInteger(v, 0, 4294967295LL, &n)) return Usage("--seed needs a number from 0 to 4294967295");
      o->seed = static_cast<unsigned>(n);
      o->seedGiven = true;
    } else if (a == "--frame-ms") {
      if (!value(&v) || !tu::ParseInteger(v, 0, 100000, &n))
        return Usage("--frame-ms needs a number of milliseconds from 0 to 100000");
      o->frameMs = static_cast<int>(n);
      o->frameMsGiven = true;
    } else if (a == "--frames") {
      if (!value(&v) || !tu::ParseInteger(v, 0, kMaxFrames, &n)) return Usage("--frames needs a number from 0 to 100000000");
      o->frames = static_cast<int>(n);
    } else if (a == "--start-tick") {
      if (!value(&v) || !tu::ParseInteger(v, 0, 4294967295LL, &n)) return Usage("--start-tick needs a tick from 0 to 4294967295");
      o->startTick = static_cast<uint32_t>(n);
      o->startTickGiven = true;
    } else if (a == "--script" || a == "--state" || a == "--dump" || a == "--trace" || a == "--assets" ||
               a == "--config" || a == "--records" || a == "--record" || a == "--replay" || a == "--replays") {
      if (!value(&v) || !*v) return Usage(a + " needs a file");
      std::string& target = a == "--script"    ? o->script
                            : a == "--state"   ? o->state
                            : a == "--dump"    ? o->dump
                            : a == "--trace"   ? o->trace
                            : a == "--config"  ? o->config
                            : a == "--records" ? o->records
                            : a == "--record"  ? o->record
                            : a == "--replay"  ? o->replay
                            : a == "--replays" ? o->replays
                                               : o->assets;
      target = v;
    } else if (a == "--shot") {
      if (!value(&v)) return Usage("--shot needs FRAME:FILE.png");
      std::string s = v;
      auto colon = s.find(':');
      if (colon == std::string::npos || colon + 1 >= s.size() ||
          !tu::ParseInteger(s.substr(0, colon).c_str(), 0, kMaxFrames - 1, &n))
        return Usage("--shot needs FRAME:FILE.png, FRAME from 0 to 99999999");
      o->shots.push_back({static_cast<int>(n), s.substr(colon + 1)});
    } else if (a == "--allow-errors") {
      o->allowErrors = true;
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage << "\n" << kHelp;
      return -1;
    } else if (a == "--version") {
      std::cout << "quorbistane-sim " << TU_VERSION_STRING << "\n";
      return -1;
    } else {
      return Usage("unknown argument '" + tu::Printable(a) + "'");
    }
  }
  // A replay brings its own keys, seed, clock and start.
  if (!o->replay.empty()) {
    const char* taken = !o->script.empty() ? "--script" : !o->state.empty() ? "--state" : o->seedGiven ? "--seed"
                        : o->frameMsGiven ? "--frame-ms" : o->startTickGiven ? "--start-tick" : nullptr;
    if (taken) return Usage(std::string("--replay takes no ") + taken + ": the replay holds it");
  }
  return 0;
}

// Puts arrays of plain numbers on one line each, so a field reads as a grid.
std::string CompactNumberArrays(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      size_t j = i + 1;
      bool numbers = true;
      while (j < text.size() && text[j] != ']') {
        char c = text[j];
        if (!(isdigit(static_cast<unsigned char>(c)) || c == '-' || c == ',' || isspace(static_cast<unsigned char>(c)))) {
          numbers = false;
          break;
        }
        ++j;
      }
      if (numbers && j < text.size()) {
        out += '[';
        bool space = false;
        for (size_t k = i + 1; k < j; ++k) {
          if (isspace(static_cast<unsigned char>(text[k]))) {
            space = true;
            continue;
          }
          if (space && out.back() == ',') out += ' ';
          space = false;
          out += text[k];
        }
        out += ']';
        i = j;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

int Run(int argc, char** argv) {
  Options o;
  int parsed = ParseArgs(argc, argv, &o);
  if (parsed == -1) return 0;
  if (parsed != 0) return parsed;

  Script script;
  if (!o.script.empty()) {
    std::string text, error;
    if (!ReadAll(o.script, &text, &error)) return Usage("cannot read the script " + tu::Printable(o.script) + ": " + error);
    if (!ParseScript(text, &script, &error)) {
      std::cerr << "quorbistane-sim: " << error << "\n";
      return 2;
    }
  }
  if (!o.config.empty() && !std::ifstream(o.config)) return Usage("cannot read the settings " + o.config);
  nlohmann::json state;
  if (!o.state.empty()) {
    std::string text, error;
    if (!ReadAll(o.state, &text, &error)) return Usage("cannot read the state " + tu::Printable(o.state) + ": " + error);
    state = nlohmann::json::parse(text, nullptr, false);
    if (state.is_discarded()) {
      std::cerr << "quorbistane-sim: state: " << tu::Printable(o.state) << " is not valid JSON\n";
      return 2;
    }
  }
  Replay replay;
  if (!o.replay.empty()) {
    std::string error;
    if (!ReadReplayFile(o.replay, &replay, &error) ||
        !ReplayFits(replay.header, GameVersion(), RuleTableHash(), &error)) {
      std::cerr << "quorbistane-sim: " << error << "\n";
      return 4;
    }
    o.startTick = replay.header.clockStart;
  }
  int frames = o.frames >= 0                 ? o.frames
               : !o.replay.empty() ? static_cast<int>(std::min<uint64_t>(ReplayLength(replay), kMaxFrames))
                                   : std::max(script.lastFrame + 1, 1);
  for (const Shot& s : o.shots)
    if (s.frame >= frames)
      return Usage("--shot " + std::to_string(s.frame) + ": the run has frames 0 to " + std::to_string(frames - 1) +
                   (o.frames >= 0 ? "" : " (give --frames for a longer one)"));

  if (!o.assets.empty()) {
    struct stat st;
    if (stat(o.assets.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return Usage("--assets " + tu::Printable(o.assets) + " is not a folder");
  }

  // Every output is checked before the run, so a long run never ends unable to say its result.
  std::vector<std::pair<std::string, std::string>> outputs = {{"dump", o.dump}};
  if (!o.trace.empty()) outputs.push_back({"trace", o.trace});
  if (!o.record.empty()) outputs.push_back({"replay", o.record});
  for (const Shot& s : o.shots) outputs.push_back({"shot", s.file});
  for (const auto& [what, name] : outputs) {
    std::string why = CannotWrite(name);
    if (!why.empty()) {
      std::cerr << "quorbistane-sim: cannot write the " << what << " " << tu::Printable(name) << ": " << why << "\n";
      return 1;
    }
  }

  // The player's settings, as the game reads them; a scripted run changes nothing in the file.
  LoadSettings(o.config.empty() ? DefaultSettingsPath() : o.config);
  SetSettingsSaving(false);
  tuSystem::UseHeadless(o.startTick);
  tu::platform::SetEchoBoxes(false);  // the dump lists the message boxes
  if (!o.assets.empty()) tu::platform::SetExeFolderOverride(o.assets);
  // Records only in a file named for the run: the player's own are never read or written.
  OpenRecords(o.records);
  tuSystem::Program program = GameProgram();
  game.clockMs = o.frameMs;  // a step of the game's clock is a frame of the run
  // The run's game is recorded into its file, or the folder named, or nowhere: never into the
  // player's own replays.
  RecordReplaysTo(o.replays, o.record);
  program.fixedSeed = 1;
  program.seed = o.seed;
  char arg0[] = "quorbistane";
  char* args[] = {arg0};
  // A program that ends while it loads (it cannot run without its pictures) ran no frame.
  bool ended = !tuSystem::Start(1, args, program);
  if (ended && !tuSystem::sys.shutdownDone) {
    std::cerr << "quorbistane-sim: the program did not start\n";
    return 1;
  }
  if (!o.replay.empty() && !ended) {
    std::string error;
    if (!StartPlayback(replay, &error)) {
      std::cerr << "quorbistane-sim: " << error << "\n";
      return 4;
    }
  }
  if (!state.is_null() && !ended) {
    std::string error;
    if (!ApplyState(state, &error)) {
      std::cerr << "quorbistane-sim: " << error << "\n";
      return 2;
    }
  }

  std::ofstream trace;
  if (!o.trace.empty()) {
    trace.open(o.trace);
    if (!trace) {
      std::cerr << "quorbistane-sim: cannot write the trace " << tu::Printable(o.trace) << "\n";
      return 1;
    }
  }
  SoundCounter sounds;
  size_t next = 0;
  int ran = 0;
  Progress progress("quorbistane-sim", frames);
  for (int f = 0; f < frames && !ended; ++f) {
    for (; next < script.events.size() && script.events[next].frame <= f; ++next)
      tuSystem::PressKey(script.events[next].vk, script.events[next].down);
    // Played back, a frame is as long as the replay's step.
    uint32_t ms = o.replay.empty() ? static_cast<uint32_t>(o.frameMs) : StepLength(game.clockMs, game.cadence);
    if (!tuSystem::RunFrame(ms)) {
      ended = true;
      break;
    }
    ++ran;
    progress.Frame(ran);
    if (PlaybackFinished() && !PlaybackError().empty()) break;
    sounds.AfterFrame();
    if (trace)
      trace << f << " " << tuSystem::sys.sceneNo << " " << game.player[0].phase << " "
            << game.player[1].phase << " " << game.player[0].score << " " << game.player[1].score << "\n";
    for (const Shot& s : o.shots) {
      if (s.frame != f) continue;
      std::string error;
      if (!WritePresentedFrame(s.file, &error)) {
        std::cerr << "quorbistane-sim: shot at frame " << f << ": " << error << "\n";
        return 1;
      }
    }
  }

  if (!o.record.empty()) {
    std::string error;
    if (RecordedText().empty()) {
      std::cerr << "quorbistane-sim: no game was played: the replay " << tu::Printable(o.record) << " is not written\n";
    } else if (!SaveRecording(&error)) {
      std::cerr << "quorbistane-sim: " << error << "\n";
      return 1;
    }
  }
  nlohmann::ordered_json dump;
  dump["frames"] = ran;
  dump["tick"] = tuSystem::Tick();
  dump["ended"] = ended;
  dump["fps"] = tuSystem::fps.text;  // the frame meter's line as last drawn
  nlohmann::ordered_json gameState = DumpGame();
  for (auto& [k, v] : gameState.items()) dump[k] = v;
  dump["sounds"] = sounds.Json();
  nlohmann::ordered_json boxes = nlohmann::ordered_json::array();
  for (const auto& b : tu::platform::RecordedBoxes())
    boxes.push_back({{"caption", b.caption}, {"text", b.text}, {"shown", b.shownText}});
  dump["boxes"] = boxes;
  dump["exitStatus"] = tuSystem::sys.exitStatus;
  if (!WriteAll(o.dump, CompactNumberArrays(dump.dump(2)) + "\n")) {
    std::cerr << "quorbistane-sim: cannot write the dump " << tu::Printable(o.dump) << "\n";
    return 1;
  }
  // The files that did not load are named on standard error already, one a line.
  size_t errorBoxes = 0;
  for (const auto& b : tu::platform::RecordedBoxes()) errorBoxes += b.caption == "エラー発生";
  if (errorBoxes > 0 && !o.allowErrors) {
    std::cerr << "quorbistane-sim: the program raised " << errorBoxes << " error box" << (errorBoxes == 1 ? "" : "es")
              << (ended && ran == 0 ? " and ended at start-up" : "") << " (--allow-errors to accept)\n";
    return 3;
  }
  if (PlaybackFinished() && !PlaybackError().empty()) {
    std::cerr << "quorbistane-sim: " << PlaybackError() << "\n";
    return 4;
  }
  return 0;
}

}  // namespace sim
