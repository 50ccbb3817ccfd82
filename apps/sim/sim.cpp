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
#include "net/relay_protocol.h"
#include "online.h"
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
    "                       [--host PORT | --join HOST:PORT] [--level N] [--wait-seconds N]\n"
    "                       [--relay HOST:PORT (--host | --join CODE)]\n"
    "                       [--watch HOST:PORT | --relay HOST:PORT --watch CODE]\n"
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
    "Online: two simulators play a versus game over the network, each from its own script.\n"
    "  --host PORT           waits for a joiner on PORT, 1 to 65535, or 0 for any free one; prints\n"
    "                        \"listening on port N\" on standard output once listening\n"
    "  --join HOST:PORT      joins the simulator or game hosting at HOST:PORT\n"
    "  --level N             this side's difficulty on the versus level screen, 0 to 2 (default 0):\n"
    "                        the level is chosen by this option, not by the script\n"
    "  --wait-seconds N      how long a host waits for a joiner, 1 to 3600 (default 60)\n"
    "  --relay HOST:PORT     plays through the relay server at HOST:PORT instead: --host (no port)\n"
    "                        asks it for a room and prints \"room CODE\" as the first line of standard\n"
    "                        output as soon as it has the code; --join CODE joins that room (six\n"
    "                        letters, either case; spaces and dashes ignored)\n"
    "  --watch HOST:PORT     watches the game hosted at HOST:PORT (the port its player joins on);\n"
    "                        with --relay, --watch CODE watches that room. A watcher plays nothing:\n"
    "                        it runs the players' confirmed steps, checks them against their digests,\n"
    "                        and ends at step N of --frames N (or at the game's end), --dump writing\n"
    "                        the state there as the players' runs do, --record its replay of the game\n"
    "The run starts at the versus level screen of the shared game. The script's keys are this\n"
    "side's player 1; its frame numbers and --frames count steps of the shared game from its first\n"
    "step, paced at 60 a second. The run ends once step N is confirmed on both sides (or at the\n"
    "step the game ended, said on standard error); --dump writes the confirmed state at it, without\n"
    "the frame loop's fields (fps, sounds, prevSceneNo, sceneEntered, blinkOn, nextBlink: an online\n"
    "run takes its steps without frames), and --record this side's replay. While the other side\n"
    "is silent \"waiting for the other player… N s\" is said on standard error; after 10 s the\n"
    "connection counts as lost. A last line there says how the link went (steps stalled,\n"
    "rollbacks, round trip). Not taken online: --seed, --frame-ms, --start-tick, --state, --shot,\n"
    "--trace, --replay, --replays, --records.\n"
    "\n"
    "Every output is checked for writing before the run. Exit status: 0 done; 1 an output cannot be\n"
    "written, the program did not start or an online run could not listen or look up its host;\n"
    "2 bad arguments, script or state; 3 the program raised an error box (without --allow-errors);\n"
    "4 the replay was refused or diverges from its checks; 5 online, no result: the connection was\n"
    "lost or never made, nobody joined, or the other side left, or through a relay: it cannot be\n"
    "reached, has no room of the code, or ended the room (\"relay stopping\"); 6 online, out of\n"
    "sync; 7 online, the other side (or the relay) and this one cannot play together (versions or\n"
    "rules differ), or a watcher is turned away (\"the game has 8 watchers already\").\n";

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
  // Online: --host or --join, and the options given that an online run does not take.
  bool host = false, join = false;
  OnlineRun online;
  bool watch = false;
  bool levelGiven = false, waitGiven = false, relay = false;
  std::vector<std::string> offlineOnly;
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
  // --relay changes what --host and --join take, wherever it stands.
  for (int i = 1; i + 1 < argc && !o->relay; ++i) o->relay = std::string(argv[i]) == "--relay";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char** v) {
      if (i + 1 >= argc) return false;
      *v = argv[++i];
      return true;
    };
    const char* v = nullptr;
    long long n = 0;
    if (a == "--seed" || a == "--frame-ms" || a == "--start-tick" || a == "--state" || a == "--shot" ||
        a == "--trace" || a == "--replay" || a == "--replays" || a == "--records")
      o->offlineOnly.push_back(a);
    if (a == "--relay") {
      std::string why;
      if (!value(&v)) return Usage("--relay needs HOST:PORT");
      if (!o->online.relay.empty()) return Usage("--relay is given twice");
      if (!ParseHostPort(v, &o->online.relay, &o->online.relayPort, &why)) return Usage("--relay needs HOST:PORT: " + why);
    } else if (a == "--host" && o->relay) {
      if (o->host) return Usage("--host is given twice");
      if (i + 1 < argc && argv[i + 1][0] != '-')
        return Usage("--host takes no port with --relay: the relay gives the room a code");
      o->host = true;
      o->online.host = true;
    } else if (a == "--join" && o->relay) {
      char code[net::kRoomCodeLetters + 1];
      if (!value(&v)) return Usage("--join needs a room code with --relay");
      if (o->join) return Usage("--join is given twice");
      if (!net::ParseRoomCode(v, code))
        return Usage("--join needs a room code with --relay, not '" + tu::Printable(v) +
                     "': six letters, without B, I, L, O, Q, S, U, V, Z");
      o->online.code = code;
      o->join = true;
    } else if (a == "--watch") {
      std::string why;
      char code[net::kRoomCodeLetters + 1];
      if (o->watch) return Usage("--watch is given twice");
      if (!value(&v)) return Usage(o->relay ? "--watch needs a room code with --relay" : "--watch needs HOST:PORT");
      if (o->relay && !net::ParseRoomCode(v, code))
        return Usage("--watch needs a room code with --relay, not '" + tu::Printable(v) +
                     "': six letters, without B, I, L, O, Q, S, U, V, Z");
      if (o->relay) o->online.code = code;
      else if (!ParseHostPort(v, &o->online.address, &o->online.port, &why))
        return Usage("--watch needs HOST:PORT: " + why);
      o->watch = true;
      o->online.watch = true;
    } else if (a == "--host") {
      if (!value(&v) || !tu::ParseInteger(v, 0, 65535, &n))
        return Usage("--host needs a port from 1 to 65535, or 0 for any free one");
      if (o->host) return Usage("--host is given twice");
      o->host = true;
      o->online.host = true;
      o->online.port = static_cast<uint16_t>(n);
    } else if (a == "--join") {
      std::string why;
      if (!value(&v)) return Usage("--join needs HOST:PORT");
      if (o->join) return Usage("--join is given twice");
      if (!ParseHostPort(v, &o->online.address, &o->online.port, &why)) return Usage("--join needs HOST:PORT: " + why);
      o->join = true;
    } else if (a == "--level") {
      if (!value(&v) || !tu::ParseInteger(v, 0, 2, &n)) return Usage("--level needs a difficulty from 0 to 2");
      o->online.level = static_cast<int>(n);
      o->levelGiven = true;
    } else if (a == "--wait-seconds") {
      if (!value(&v) || !tu::ParseInteger(v, 1, 3600, &n)) return Usage("--wait-seconds needs a number from 1 to 3600");
      o->online.waitSeconds = static_cast<int>(n);
      o->waitGiven = true;
    } else if (a == "--seed") {
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
  if (o->host && o->join) return Usage("--host and --join cannot both be given: a side hosts or joins");
  if (o->watch && (o->host || o->join)) return Usage("--watch cannot go with --host or --join: a watcher plays no side");
  if (o->watch && (o->levelGiven || o->waitGiven))
    return Usage(std::string(o->levelGiven ? "--level" : "--wait-seconds") + " is for a player, not a watcher");
  if (!o->host && !o->join && !o->watch) {
    if (o->relay) return Usage("--relay is for an online run (--host, --join CODE or --watch CODE)");
    if (o->levelGiven) return Usage("--level is for an online run (--host or --join)");
    if (o->waitGiven) return Usage("--wait-seconds is for a host (--host)");
  } else {
    // The shared game brings its own seed, clock and start; it draws nothing and keeps no records.
    if (!o->offlineOnly.empty()) return Usage("an online run takes no " + o->offlineOnly.front());
    if (o->join && o->waitGiven) return Usage("--wait-seconds is for a host (--host), not a joiner");
    if (o->frames == 0) return Usage("--frames must be at least 1 for an online run");
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
  const bool online = o.host || o.join || o.watch;
  std::string watchedReplay;
  if (o.watch && !ended) {
    o.online.steps = static_cast<uint32_t>(frames);
    OnlineResult result;
    int status = WatchOnline(o.online, &result);
    if (status != 0) return status;
    ran = static_cast<int>(result.steps);
    watchedReplay = result.replay;
    std::cerr << "quorbistane-sim: watched " << ran << " confirmed steps\n";
    if (result.gameOver)
      std::cerr << "quorbistane-sim: the game ended after " << ran << " steps, before the " << frames << " asked for\n";
  } else if (online && !ended) {
    o.online.steps = static_cast<uint32_t>(frames);
    OnlineResult result;
    int status = PlayOnline(o.online, script, &result);
    if (status != 0) return status;
    ran = static_cast<int>(result.steps);
    std::cerr << "quorbistane-sim: online: " << ran << " steps confirmed"
              << (result.otherConfirmed ? " on both sides; " : " (the other side's confirmation did not arrive); ")
              << result.stalled
              << " of " << result.calls << " steps stalled; " << result.rollbacks << " rollbacks, "
              << result.stepsRunAgain << " steps run again, deepest " << result.deepest << "; round trip "
              << result.roundTripMs << " ms\n";
    if (result.gameOver)
      std::cerr << "quorbistane-sim: the game ended after " << ran << " steps, before the " << frames << " asked for\n";
  }
  Progress progress("quorbistane-sim", frames);
  for (int f = 0; f < frames && !ended && !online; ++f) {
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

  if (!o.record.empty() && o.watch) {
    // The watcher's replay is its own, written from the players' confirmed inputs.
    if (watchedReplay.empty() || !WriteAll(o.record, watchedReplay)) {
      std::cerr << "quorbistane-sim: cannot write the replay " << tu::Printable(o.record) << "\n";
      return 1;
    }
  } else if (!o.record.empty()) {
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
  if (!online) dump["fps"] = tuSystem::fps.text;  // the frame meter's line as last drawn
  nlohmann::ordered_json gameState = DumpGame();
  for (auto& [k, v] : gameState.items()) dump[k] = v;
  if (online) {
    // The frame loop's own fields: an online run takes its steps without frames.
    for (const char* k : {"prevSceneNo", "sceneEntered", "blinkOn", "nextBlink"}) dump.erase(k);
  } else {
    dump["sounds"] = sounds.Json();
  }
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
