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

#include <tu/tuSystem.h>

#include "frame.h"
#include "game/game.h"
#include "game/model.h"
#include "game/records.h"
#include "platform/seams.h"
#include "script.h"
#include "state.h"

namespace sim {

namespace {

const char kUsage[] =
    "usage: quorbistane-sim [--seed N] [--frame-ms N] [--frames N] [--start-tick N] [--script FILE]\n"
    "                       [--state FILE] [--dump FILE] [--trace FILE] [--shot FRAME:FILE.png]...\n"
    "                       [--assets DIR] [--records FILE]\n";

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
  std::vector<Shot> shots;
};

bool Number(const char* s, long long lo, long long hi, long long* out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  long long v = strtoll(s, &end, 10);
  if (*end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

int Usage(const std::string& why) {
  std::cerr << "quorbistane-sim: " << why << "\n" << kUsage;
  return 2;
}

bool ReadAll(const std::string& name, std::string* out) {
  if (name == "-") {
    std::ostringstream s;
    s << std::cin.rdbuf();
    *out = s.str();
    return true;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
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
      if (!value(&v) || !Number(v, 0, 4294967295LL, &n)) return Usage("--seed needs a number");
      o->seed = static_cast<unsigned>(n);
    } else if (a == "--frame-ms") {
      if (!value(&v) || !Number(v, 0, 100000, &n)) return Usage("--frame-ms needs a number of milliseconds");
      o->frameMs = static_cast<int>(n);
    } else if (a == "--frames") {
      if (!value(&v) || !Number(v, 0, 100000000, &n)) return Usage("--frames needs a number");
      o->frames = static_cast<int>(n);
    } else if (a == "--start-tick") {
      if (!value(&v) || !Number(v, 0, 4294967295LL, &n)) return Usage("--start-tick needs a tick from 0 to 4294967295");
      o->startTick = static_cast<uint32_t>(n);
    } else if (a == "--script" || a == "--state" || a == "--dump" || a == "--trace" || a == "--assets" ||
               a == "--records") {
      if (!value(&v)) return Usage(a + " needs a file");
      std::string& target = a == "--script" ? o->script
                            : a == "--state" ? o->state
                            : a == "--dump"  ? o->dump
                            : a == "--trace" ? o->trace
                            : a == "--records" ? o->records
                                             : o->assets;
      target = v;
    } else if (a == "--shot") {
      if (!value(&v)) return Usage("--shot needs FRAME:FILE.png");
      std::string s = v;
      auto colon = s.find(':');
      if (colon == std::string::npos || colon + 1 >= s.size() ||
          !Number(s.substr(0, colon).c_str(), 0, 100000000, &n))
        return Usage("--shot needs FRAME:FILE.png");
      o->shots.push_back({static_cast<int>(n), s.substr(colon + 1)});
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return -1;
    } else {
      return Usage("unknown argument '" + a + "'");
    }
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
    if (!ReadAll(o.script, &text)) return Usage("cannot read the script " + o.script);
    if (!ParseScript(text, &script, &error)) {
      std::cerr << "quorbistane-sim: " << error << "\n";
      return 2;
    }
  }
  nlohmann::json state;
  if (!o.state.empty()) {
    std::string text;
    if (!ReadAll(o.state, &text)) return Usage("cannot read the state " + o.state);
    state = nlohmann::json::parse(text, nullptr, false);
    if (state.is_discarded()) {
      std::cerr << "quorbistane-sim: state: " << o.state << " is not valid JSON\n";
      return 2;
    }
  }
  int frames = o.frames >= 0 ? o.frames : std::max(script.lastFrame + 1, 1);

  tuSystem::UseHeadless(o.startTick);
  tu::platform::SetEchoBoxes(false);  // the dump lists the message boxes
  if (!o.assets.empty()) tu::platform::SetExeFolderOverride(o.assets);
  // Records only in a file named for the run: the player's own are never read or written.
  OpenRecords(o.records);
  tuSystem::Program program = GameProgram();
  program.fixedSeed = 1;
  program.seed = o.seed;
  char arg0[] = "quorbistane";
  char* args[] = {arg0};
  if (!tuSystem::Start(1, args, program)) {
    std::cerr << "quorbistane-sim: the program did not start\n";
    return 1;
  }
  if (!state.is_null()) {
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
      std::cerr << "quorbistane-sim: cannot write the trace " << o.trace << "\n";
      return 1;
    }
  }
  SoundCounter sounds;
  size_t next = 0;
  int ran = 0;
  bool ended = false;
  for (int f = 0; f < frames; ++f) {
    for (; next < script.events.size() && script.events[next].frame <= f; ++next)
      tuSystem::PressKey(script.events[next].vk, script.events[next].down);
    if (!tuSystem::RunFrame(static_cast<uint32_t>(o.frameMs))) {
      ended = true;
      break;
    }
    ++ran;
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

  nlohmann::ordered_json dump;
  dump["frames"] = ran;
  dump["tick"] = tuSystem::Tick();
  dump["ended"] = ended;
  dump["fps"] = tuSystem::fps.text;  // the frame meter's line as last drawn
  nlohmann::ordered_json gameState = DumpGame();
  for (auto& [k, v] : gameState.items()) dump[k] = v;
  dump["sounds"] = sounds.Json();
  nlohmann::ordered_json boxes = nlohmann::ordered_json::array();
  for (const auto& b : tu::platform::RecordedBoxes()) boxes.push_back({{"caption", b.caption}, {"text", b.text}});
  dump["boxes"] = boxes;
  if (!WriteAll(o.dump, CompactNumberArrays(dump.dump(2)) + "\n")) {
    std::cerr << "quorbistane-sim: cannot write the dump " << o.dump << "\n";
    return 1;
  }
  return 0;
}

}  // namespace sim
