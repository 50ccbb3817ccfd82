// The simulator end to end: the real program in headless mode driven by small key scripts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

struct Result {
  int exitCode = -1;
  json dump;
  std::string err;
};

class Sim : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qsimXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Runs the simulator with `args`, an optional script and state; the dump goes to a file.
  Result Run(const std::string& args, const std::string& script = "", const std::string& state = "") {
    // A settings folder of its own: the player's settings file is not read.
    std::string cmd = "XDG_CONFIG_HOME='" + dir + "/config' " + std::string(QUORBISTANE_SIM) + " " + args +
                      " --dump " + dir + "/dump.json";
    if (!script.empty()) cmd += " --script " + Write("script.txt", script);
    if (!state.empty()) cmd += " --state " + Write("state.json", state);
    cmd += " 2>" + dir + "/err.txt";
    Result r;
    int status = system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = Read(dir + "/err.txt");
    std::string text = Read(dir + "/dump.json");
    if (!text.empty()) r.dump = json::parse(text, nullptr, false);
    remove((dir + "/dump.json").c_str());
    return r;
  }
  static const json& P(const Result& r, int i) { return r.dump["players"][i]; }
  std::string dir;
};

// A field state for --state: 17 lines, the given ones filled from the bottom up.
std::string Field(std::initializer_list<const char*> bottomUp) {
  std::vector<std::string> lines(17);
  for (int l = 0; l < 17; ++l) lines[l] = (l & 1) ? "...." : ".....";
  int l = 16;
  for (const char* s : bottomUp) lines[l--] = s;
  std::string out = "[";
  for (int i = 0; i < 17; ++i) out += (i ? ", \"" : "\"") + lines[i] + "\"";
  return out + "]";
}

TEST_F(Sim, MenuLeadsIntoEachDifficultyAndIntoVersus) {
  struct Case {
    const char* script;
    int mode, difficulty, colours;
  } cases[] = {
      {"2 x tap\n6 x tap\n", 0, 0, 4},                          // one player, Easy
      {"2 x tap\n6 down tap\n10 x tap\n", 0, 1, 4},             // Normal
      {"2 x tap\n6 down tap\n10 down tap\n14 x tap\n", 0, 2, 5},  // Hard
      {"2 x tap\n6 up tap\n10 x tap\n", 0, 3, 5},               // up from Easy: the hidden level
  };
  for (const Case& c : cases) {
    Result r = Run("--frames 40", c.script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.dump["sceneNo"], 1) << c.script;
    EXPECT_EQ(r.dump["gameMode"], c.mode);
    EXPECT_EQ(r.dump["difficulty"][0], c.difficulty) << c.script;
    EXPECT_EQ(P(r, 0)["colorCount"], c.colours) << c.script;
  }
  // Versus: down to the second item, player 1 takes Normal, player 2 (W S J) the hidden level.
  Result v = Run("--frames 200", "2 down tap\n6 x tap\n10 down tap\n14 x tap\n18 w tap\n22 j tap\n");
  ASSERT_EQ(v.exitCode, 0) << v.err;
  EXPECT_EQ(v.dump["sceneNo"], 1);
  EXPECT_EQ(v.dump["gameMode"], 1);
  EXPECT_EQ(v.dump["difficulty"], json({1, 3}));
  EXPECT_EQ(v.dump["sounds"]["BGM/vsBGM.wav"]["playing"], true);
  EXPECT_EQ(v.dump["sounds"]["SE/BUTTONK.wav"]["started"], 3);
}

TEST_F(Sim, OnePlayerGameChainsScoresAndSetsPieces) {
  // A column of 1s ready to erase; the 2s above fall onto a fourth 2 and erase in turn.
  std::string state = R"({"sceneNo": 1, "gameMode": 0, "difficulty": [0, 0],
    "players": [{"phase": 4, "field": )" +
                      Field({"12...", "1...", "1....", "1...", "2....", "2...", "2...."}) + "}]}";
  Result chain = Run("--frames 200", "", state);
  ASSERT_EQ(chain.exitCode, 0) << chain.err;
  EXPECT_EQ(P(chain, 0)["maxChain"], 2);
  EXPECT_EQ(P(chain, 0)["score"], 120);  // 40 for the first erasure, 80 for the second
  EXPECT_EQ(chain.dump["sounds"]["SE/erase.wav"]["started"], 2);
  // Then the down arrow is held: the pieces that follow drop and are set.
  Result r = Run("--frames 900", "300 down down\n899 down up\n", state);
  EXPECT_GE(P(r, 0)["score"].get<int>(), 120);
  EXPECT_GE(r.dump["sounds"]["SE/set.wav"]["started"].get<int>(), 5);
}

// The simulator plays by the settings file it is given: player 1's left on Q moves the piece on
// a scripted Q, and no more on the left arrow.
TEST_F(Sim, ASettingsFileThatMovesPlayerOnesLeftToQMakesAScriptedQMoveThePiece) {
  std::string config = Write("settings.ini", "p1_left = Q\n");
  std::string state = R"({"sceneNo": 1, "gameMode": 0, "difficulty": [0, 0],
    "players": [{"phase": 1, "pieceSlot": 3, "field": )" + Field({}) + "}]}";
  Result q = Run("--frames 10 --config " + config, "2 Q tap\n", state);
  ASSERT_EQ(q.exitCode, 0) << q.err;
  EXPECT_EQ(P(q, 0)["pieceSlot"], 2);
  Result left = Run("--frames 10 --config " + config, "2 left tap\n", state);
  EXPECT_EQ(P(left, 0)["pieceSlot"], 3);
  // A settings file that is not there is a mistake on the command line.
  EXPECT_EQ(Run("--frames 1 --config " + dir + "/missing.ini").exitCode, 2);
}

TEST_F(Sim, VersusChainSendsGarbageToTheOtherField) {
  std::string state = R"({"sceneNo": 1, "gameMode": 1, "difficulty": [0, 0],
    "players": [{"phase": 4, "field": )" +
                      Field({"12...", "1...", "1....", "1...", "2....", "2...", "2...."}) +
                      R"(}, {"phase": 7}]})";
  // A chain of two earns three garbage blocks for the other player...
  Result sent = Run("--frames 200", "", state);
  ASSERT_EQ(sent.exitCode, 0) << sent.err;
  EXPECT_EQ(P(sent, 0)["maxChain"], 2);
  EXPECT_EQ(P(sent, 1)["garbageIn"], 3);
  // ...which enter player 2's field at a following spawn and settle into coloured blocks.
  Result r = Run("--frames 1200", "", state);
  int blocks = 0;
  for (int s = 1; s <= 5; ++s)
    for (int l = 0; l <= 16; ++l) {
      int c = P(r, 1)["cells"][s][l];
      if (c != 0 && c != 7) ++blocks;
    }
  EXPECT_EQ(P(r, 1)["garbageIn"], 0);
  EXPECT_GE(blocks, 3);
}

TEST_F(Sim, TopOutEndsInTheGameOverPicturesAndTheContinueQuestion) {
  std::string full = R"({"sceneNo": 1, "gameMode": 1, "difficulty": [0, 0],
    "players": [{"phase": 0, "field": )" +
                     Field({"12341", "2341", "34123", "4123", "12341", "2341", "34123", "4123", "12341",
                            "2341", "34123", "4123", "12341", "2341", "34123", "4123", "12341"}) +
                     R"(}, {"phase": 1}]})";
  // Yes: X cuts the result picture short, X again answers the question at its first item.
  Result yes = Run("--frames 60", "10 x tap\n20 x tap\n", full);
  ASSERT_EQ(yes.exitCode, 0) << yes.err;
  EXPECT_EQ(yes.dump["sceneNo"], 1);
  EXPECT_EQ(yes.dump["resultStep"], 0);
  EXPECT_EQ(P(yes, 0)["gameOver"], 0);
  EXPECT_EQ(P(yes, 0)["cells"][3][16], 0);  // a fresh field
  EXPECT_EQ(P(yes, 0)["score"], 0);
  // No: right moves the cursor to no, J confirms in the versus mode; the menu follows.
  Result no = Run("--frames 60", "10 j tap\n20 right tap\n30 j tap\n", full);
  ASSERT_EQ(no.exitCode, 0) << no.err;
  EXPECT_EQ(no.dump["sceneNo"], 2);
  EXPECT_EQ(no.dump["sounds"]["BGM/vsBGM.wav"]["playing"], false);
  // Left alone, the game-over picture gives way to the question after five seconds.
  Result wait = Run("--frames 330 --frame-ms 16", "", full);
  EXPECT_EQ(wait.dump["resultStep"], 2);
  Result early = Run("--frames 300 --frame-ms 16", "", full);
  EXPECT_EQ(early.dump["resultStep"], 1);
}

// A game over writes records only to the file named for the run, never to the player's folders,
// and a second run finds the first one's record there.
TEST_F(Sim, RecordsGoOnlyToTheFileNamedForTheRun) {
  std::string over = R"({"sceneNo": 1, "gameMode": 0, "difficulty": [1, 0], "players": [{"phase": 0, "score": 120,
    "field": )" + Field({"12341", "2341", "34123", "4123", "12341", "2341", "34123", "4123", "12341", "2341",
                         "34123", "4123", "12341", "2341", "34123", "4123", "12341"}) + "}]}";
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", (dir + "/home").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
  EXPECT_EQ(Run("--frames 5", "", over).exitCode, 0);
  for (int run = 0; run < 2; ++run) EXPECT_EQ(Run("--frames 5 --records " + dir + "/r.ini", "", over).exitCode, 0);
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  EXPECT_NE(access((dir + "/home").c_str(), F_OK), 0);
  EXPECT_NE(access((dir + "/data").c_str(), F_OK), 0);
  std::string records = Read(dir + "/r.ini");
  EXPECT_NE(records.find("normal_1 = 120 0 "), std::string::npos) << records;
  EXPECT_NE(records.find("normal_2 = 120 0 "), std::string::npos) << records;
}

TEST_F(Sim, SpacePausesAndResumesBothPlayers) {
  std::string script = "2 down tap\n6 x tap\n10 x tap\n14 j tap\n120 space tap\n";
  Result paused = Run("--frames 200", script);
  ASSERT_EQ(paused.exitCode, 0) << paused.err;
  EXPECT_EQ(P(paused, 0)["phase"], 12);
  EXPECT_EQ(P(paused, 1)["phase"], 12);
  Result resumed = Run("--frames 200", script + "160 space tap\n");
  EXPECT_NE(P(resumed, 0)["phase"], 12);
  EXPECT_NE(P(resumed, 1)["phase"], 12);
}

TEST_F(Sim, EscapeEndsTheProgramAndTheRunSaysSo) {
  Result r = Run("--frames 100", "5 escape tap\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.dump["ended"], true);
  EXPECT_LT(r.dump["frames"].get<int>(), 100);
}

TEST_F(Sim, BadArgumentsScriptsAndStatesExitWithTwo) {
  EXPECT_EQ(Run("--frames").exitCode, 2);
  EXPECT_EQ(Run("--bogus 1").exitCode, 2);
  EXPECT_EQ(Run("--shot 12").exitCode, 2);
  Result script = Run("", "1 x tap\n2 x jump\n");
  EXPECT_EQ(script.exitCode, 2);
  EXPECT_NE(script.err.find("line 2"), std::string::npos) << script.err;
  Result state = Run("", "", R"({"players": [{"colour": 1}]})");
  EXPECT_EQ(state.exitCode, 2);
  EXPECT_NE(state.err.find("players[0].colour"), std::string::npos) << state.err;
  EXPECT_EQ(Run("", "", "{not json").exitCode, 2);
  for (const char* tick : {"-1", "4294967296", "x", "12x", ""}) {
    Result r = Run(std::string("--start-tick '") + tick + "'");
    EXPECT_EQ(r.exitCode, 2) << tick;
    EXPECT_NE(r.err.find("--start-tick"), std::string::npos) << r.err;
  }
}

TEST_F(Sim, StateSetsEveryFieldOfTheGameButNoValueItCannotHold) {
  // Fields the old state files could not reach; no frame runs, so the dump shows them as set.
  Result r = Run("--frames 0", "",
                 R"({"sceneEntered": 1, "pausedPhase": [1, 0], "keys": {"pause": 3, "left": [0, 3]},
                     "players": [{}, {"stepFlag": 1, "chainShown": 5, "animCounter": 12}]})");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.dump["sceneEntered"], 1);
  EXPECT_EQ(r.dump["pausedPhase"], json({1, 0}));
  EXPECT_EQ(r.dump["keys"]["pause"], 3);
  EXPECT_EQ(r.dump["keys"]["left"], json({0, 3}));
  EXPECT_EQ(P(r, 1)["stepFlag"], 1);
  EXPECT_EQ(P(r, 1)["chainShown"], 5);
  EXPECT_EQ(P(r, 1)["animCounter"], 12);
  // A chain count the game never reaches would overflow the score at the next erasure.
  Result huge = Run("--frames 100", "",
                    R"({"sceneNo": 1, "players": [{"phase": 4, "chain": 2147483647, "field": )" +
                        Field({"1....", "1...", "1....", "1..."}) + "}]}");
  EXPECT_EQ(huge.exitCode, 2);
  EXPECT_NE(huge.err.find("players[0].chain: 2147483647 is outside 0..19"), std::string::npos) << huge.err;
}

TEST_F(Sim, TimersAndTheFrameMeterRunOnTheManualClockFromTheStartTick) {
  // The game's load-time stopwatches are stamped with the start tick.
  Result start = Run("--frames 0 --start-tick 4294960000");
  ASSERT_EQ(start.exitCode, 0) << start.err;
  EXPECT_EQ(P(start, 0)["fallTime"], 4294960000u);
  EXPECT_EQ(start.dump["resultTime"], 4294960000u);
  // A one-player game over the tick's wrap: the meter samples every two seconds of 16 ms frames.
  Result wrap = Run("--frames 1000 --start-tick 4294960000", "2 x tap\n6 x tap\n");
  ASSERT_EQ(wrap.exitCode, 0) << wrap.err;
  EXPECT_EQ(wrap.dump["tick"], 8704u);  // 16 s later, past the wrap
  EXPECT_EQ(wrap.dump["sceneNo"], 1);
  EXPECT_EQ(wrap.dump["fps"], "62.5 fps ( max 62.5 / min 62.5 )");
}

// Inputs the run cannot use, and runs that would not give what was asked for: each ends with
// its own exit code and says why, naming the file, before any frame runs where it can.
TEST_F(Sim, BadInputsAndFailedLoadsAreNamedAndNeverReportedAsSuccess) {
  const std::string bin = std::string(QUORBISTANE_SIM).substr(0, std::string(QUORBISTANE_SIM).rfind('/'));
  // A game folder of links to the built files, with one picture or sound broken or missing.
  auto folderWith = [&](const std::string& name, const std::string& broken, const std::string& missing) {
    std::string d = dir + "/" + name;
    std::string cmd = "mkdir -p '" + d + "' && for f in BMP BGM SE; do cp -rs '" + bin + "'/$f '" + d + "'/; done";
    if (!broken.empty()) cmd += " && rm '" + d + "/" + broken + "' && echo junk >'" + d + "/" + broken + "'";
    if (!missing.empty()) cmd += " && rm '" + d + "/" + missing + "'";
    EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
    return d;
  };
  EXPECT_EQ(system(("mkdir -p " + dir + "/empty " + dir + "/folder").c_str()), 0);
  std::string brokenPicture = folderWith("picture", "BMP/Title.bmp", "");
  std::string missingSound = folderWith("sound", "", "SE/erase.wav");
  std::string binary = Write("binary.txt", std::string("\x1b[2J\x7f") + std::string(4, '\0') + " x tap\n");
  // A pipe, as a shell's process substitution gives, is a script like a file; its writer waits
  // for the run below and gives up after a minute.
  std::string pipe = dir + "/pipe";
  EXPECT_EQ(system(("mkfifo '" + pipe + "' && (timeout 60 sh -c \"printf '1 x tap\\n' >'" + pipe +
                    "'\" >/dev/null 2>&1 &)").c_str()),
            0);
  struct Case {
    std::string args;
    int exitCode;
    std::vector<std::string> said;  // on standard error
    bool ran;                       // the dump and the trace were written
  } cases[] = {
      {"--frames 30 --assets " + dir + "/empty",
       3,
       {"cannot load picture BMP/Field.bmp from " + dir + "/empty/: file not found\n",
        "cannot load sound SE/erase.wav from " + dir + "/empty/: file not found\n",
        "raised 1 error box and ended at start-up (--allow-errors to accept)"},
       true},
      {"--frames 30 --assets " + brokenPicture, 3,
       {"cannot load picture BMP/Title.bmp from " + brokenPicture + "/: not a picture (neither a BMP nor a PNG file)\n"}, true},
      {"--frames 30 --assets " + missingSound, 3,
       {"cannot load sound SE/erase.wav from " + missingSound + "/: file not found\n", "raised 1 error box ("},
       true},
      {"--frames 30 --allow-errors --assets " + missingSound, 0, {"playing on without the sound above"}, true},
      {"--assets " + dir + "/nothing-here", 2, {"--assets " + dir + "/nothing-here is not a folder"}, false},
      {"--frames 3 --script " + dir + "/folder", 2, {"cannot read the script " + dir + "/folder: is a folder"}, false},
      {"--frames 3 --script /dev/zero", 2, {"cannot read the script /dev/zero: is neither a file nor a pipe"}, false},
      {"--frames 3 --script " + pipe, 0, {}, true},
      {"--script " + binary, 2, {"script line 1: bad frame number: \"\\x1B[2J\\x7F\\x00"}, false},
      {"--frames 10 --shot 50:" + dir + "/late.png", 2, {"--shot 50: the run has frames 0 to 9\n"}, false},
      {"--frames 1000000000", 2, {"--frames needs a number from 0 to 100000000"}, false},
      {"--frames 10 --dump /nonexistent-folder/d.json", 1,
       {"cannot write the dump /nonexistent-folder/d.json: its folder /nonexistent-folder: No such file"}, false},
      {"--frames 10 --dump " + dir + "/folder", 1, {"cannot write the dump " + dir + "/folder: is a folder"}, false},
      {"--frames 10 --shot 5:/nonexistent-folder/s.png", 1, {"cannot write the shot /nonexistent-folder/s.png"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    remove((dir + "/trace.txt").c_str());
    remove((dir + "/dump.json").c_str());
    std::string cmd = std::string(QUORBISTANE_SIM) + " --dump " + dir + "/dump.json --trace " + dir + "/trace.txt " +
                      c.args + " 2>" + dir + "/err.txt";
    int status = system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exitCode);
    std::string err = Read(dir + "/err.txt");
    for (const std::string& s : c.said) EXPECT_NE(err.find(s), std::string::npos) << "missing: " << s << "\nin: " << err;
    for (unsigned char ch : err) EXPECT_TRUE(ch == '\n' || (ch >= 0x20 && ch < 0x7F)) << int(ch);
    EXPECT_EQ(access((dir + "/trace.txt").c_str(), F_OK) == 0, c.ran);
    EXPECT_EQ(access((dir + "/dump.json").c_str(), F_OK) == 0, c.ran);
  }
  EXPECT_NE(access((dir + "/late.png").c_str(), F_OK), 0);
  // The dump of a run that ended at start-up says so and lists the one box.
  Result r = Run("--frames 3 --allow-errors --assets " + dir + "/empty");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.dump["ended"], true);
  EXPECT_EQ(r.dump["frames"], 0);
  EXPECT_EQ(r.dump["exitStatus"], 1);
  ASSERT_EQ(r.dump["boxes"].size(), 1u);
  EXPECT_EQ(r.dump["boxes"][0]["caption"], "エラー発生");
  EXPECT_EQ(r.dump["boxes"][0]["text"].get<std::string>().rfind("tuDraw::LoadObject : ", 0), 0u);
  EXPECT_NE(r.dump["boxes"][0]["shown"].get<std::string>().find("BMP/Font.bmp"), std::string::npos);
}

TEST_F(Sim, HelpAndVersionExitWithZero) {
  for (const char* arg : {"--help", "--version"}) {
    std::string out = dir + "/out.txt";
    int status = system((std::string(QUORBISTANE_SIM) + " " + arg + " >" + out + " 2>&1").c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << arg;
    EXPECT_NE(Read(out).find("quorbistane-sim"), std::string::npos) << arg;
  }
  EXPECT_NE(Read(dir + "/out.txt").find("quorbistane-sim 0."), std::string::npos);
}

TEST_F(Sim, SameArgumentsGiveTheSameDumpAndPictures) {
  std::string script =
      "# versus, both at Normal, then both players busy\n"
      "2 down tap\n6 x tap\n10 down tap\n14 x tap\n18 s tap\n22 j tap\n"
      "60 left down\n90 left up\n100 x tap\n130 d down\n170 d up\n180 j tap\n"
      "200 down down\n260 down up\n300 s down\n360 s up\n400 h tap\n";
  std::string args = "--seed 7 --frames 1500 --shot 1499:" + dir + "/a.png --trace " + dir + "/a.txt";
  Result a = Run(args, script);
  ASSERT_EQ(a.exitCode, 0) << a.err;
  std::string pngA = Read(dir + "/a.png"), traceA = Read(dir + "/a.txt");
  Result b = Run(args, script);
  EXPECT_EQ(a.dump, b.dump);
  EXPECT_EQ(pngA, Read(dir + "/a.png"));
  EXPECT_EQ(traceA, Read(dir + "/a.txt"));
  EXPECT_EQ(pngA.substr(1, 3), "PNG");
  EXPECT_EQ(std::count(traceA.begin(), traceA.end(), '\n'), 1500);
  Result other = Run("--seed 8 --frames 1500", script);
  EXPECT_NE(a.dump["players"], other.dump["players"]);
}

TEST_F(Sim, GamesAgainstTheComputerFromTheMenuOrTheStateReplayByteForByte) {
  std::string script = Read(std::string(QUORBISTANE_EXAMPLES) + "/vs-computer.txt");
  ASSERT_FALSE(script.empty());
  std::string args = "--seed 5 --frames 2000 --shot 1999:" + dir + "/a.png";
  Result a = Run(args, script);
  ASSERT_EQ(a.exitCode, 0) << a.err;
  std::string png = Read(dir + "/a.png");
  Result b = Run(args, script);
  EXPECT_EQ(a.dump, b.dump);
  EXPECT_EQ(png, Read(dir + "/a.png"));
  EXPECT_EQ(a.dump["gameMode"], 2);
  EXPECT_EQ(a.dump["computerLevel"], json({-1, 3}));
  EXPECT_GE(a.dump["computer"][1]["decisions"].get<int>(), 20);
  EXPECT_EQ(a.dump["sounds"]["BGM/vsBGM.wav"]["playing"], true);
  // Started by the state: the computer plays Easy on the second field.
  Result s = Run("--frames 900", "", R"({"sceneNo": 1, "gameMode": 2, "difficulty": [1, 1], "computerLevel": [-1, 0]})");
  ASSERT_EQ(s.exitCode, 0) << s.err;
  EXPECT_GE(s.dump["computer"][1]["decisions"].get<int>(), 2);
  EXPECT_EQ(s.dump["computer"][0]["decisions"], 0);
}

TEST_F(Sim, ThePauseMenuExampleResumesTwiceThenReturnsToTheTitle) {
  Result r = Run("--seed 3 --frames 600", Read(std::string(QUORBISTANE_EXAMPLES) + "/pause-menu.txt"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.dump["sceneNo"], 2);
  EXPECT_EQ(P(r, 0)["phase"], 7);
  EXPECT_EQ(r.dump["sounds"]["BGM/vsBGM.wav"], json({{"started", 1}, {"playing", false}}));
}

TEST_F(Sim, AGamePlayedAcrossTheTickWrapIsTheGamePlayedAnywhereElse) {
  std::string script = Read(std::string(QUORBISTANE_EXAMPLES) + "/versus-across-the-wrap.txt");
  ASSERT_FALSE(script.empty());
  const int shots[] = {60, 651, 700, 759};
  auto play = [&](uint32_t start, const std::string& name) {
    std::string path = dir + "/" + name;
    std::string args = "--seed 3 --frames 760 --start-tick " + std::to_string(start) + " --trace " + path + ".txt";
    for (int f : shots) args += " --shot " + std::to_string(f) + ":" + path + std::to_string(f) + ".png";
    Result r = Run(args, script);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Timers stamped from the clock are compared from their run's start; one still at its
    // constant first value (0, 700) is compared as it is.
    auto relative = [start](json& v) { v = static_cast<uint32_t>(v.get<uint32_t>() - start); };
    for (const char* k : {"tick", "nextBlink", "resultTime", "clock"}) relative(r.dump[k]);
    for (json& p : r.dump["players"])
      for (const char* k : {"fallTime", "dropTime", "repeatTime", "setTime", "eraseTime", "animTime",
                            "shimmerTime", "chainTime"})
        if (p[k] != 0 && p[k] != 700) relative(p[k]);
    return r;
  };
  Result base = play(0, "base");
  std::string baseTrace = Read(dir + "/base.txt");
  // The wraps fall where the script says: during the wipe into the game, and while player 2
  // erases a group and player 1 steers a piece.
  EXPECT_NE(baseTrace.find("\n50 1 8 8 0 0\n"), std::string::npos);
  EXPECT_NE(baseTrace.find("\n610 1 1 5 "), std::string::npos);
  EXPECT_GT(P(base, 1)["score"], 0);
  for (uint32_t start : {4294966485u, 4294957531u}) {
    Result wrap = play(start, "wrap");
    EXPECT_EQ(json::diff(base.dump, wrap.dump), json::array()) << start;
    std::string trace = Read(dir + "/wrap.txt");
    auto differ = std::mismatch(trace.begin(), trace.end(), baseTrace.begin(), baseTrace.end());
    EXPECT_TRUE(trace == baseTrace) << start << ": from frame "
                                    << std::count(trace.begin(), differ.first, '\n') << " on";
    for (int f : shots) {
      std::string png = std::to_string(f) + ".png";
      EXPECT_TRUE(Read(dir + "/wrap" + png) == Read(dir + "/base" + png)) << start << ": the frame " << f << " differs";
    }
  }
}

}  // namespace

// A game the simulator records and then plays back from its replay ends in the same dump, byte
// for byte, whoever plays; a replay whose check or version is not this game's is refused.
TEST_F(Sim, ARecordedGamePlayedBackFromItsReplayGivesTheSameDump) {
  const std::string keys =
      "20 left tap\n30 x tap\n45 a down\n60 a up\n70 j tap\n90 down down\n150 down up\n160 d tap\n200 s down\n"
      "260 s up\n300 z tap\n320 right down\n340 right up\n400 h tap\n";
  const char* states[] = {
      R"({"sceneNo": 1, "gameMode": 0, "difficulty": [2, 0]})",
      R"({"sceneNo": 1, "gameMode": 1, "difficulty": [1, 3]})",
      R"({"sceneNo": 1, "gameMode": 2, "difficulty": [1, 1], "computerLevel": [-1, 2]})",
  };
  const std::string replay = dir + "/game.replay";
  for (const char* state : states) {
    SCOPED_TRACE(state);
    Result a = Run("--seed 4 --frames 700 --record " + replay, keys, state);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    std::string played = Read(dir + "/dump.json");
    Result b = Run("--replay " + replay);
    ASSERT_EQ(b.exitCode, 0) << b.err;
    EXPECT_EQ(Read(dir + "/dump.json"), played);
    EXPECT_GT(Read(replay).find(" left down\n"), 0u);
  }
  std::string text = Read(replay);
  std::string wrongCheck = text;
  size_t at = wrongCheck.find("\n120 check ") + 11;
  wrongCheck[at] = wrongCheck[at] == '0' ? '1' : '0';
  Write("game.replay", wrongCheck);
  Result d = Run("--replay " + replay);
  EXPECT_EQ(d.exitCode, 4);
  EXPECT_NE(d.err.find("replay diverges at step 120"), std::string::npos) << d.err;
  EXPECT_EQ(d.dump["frames"], 120);
  std::string other = text;
  other.replace(other.find("\ngame ") + 6, 0, "9.");
  Write("game.replay", other);
  Result v = Run("--replay " + replay);
  EXPECT_EQ(v.exitCode, 4);
  EXPECT_NE(v.err.find("quorbistane 9."), std::string::npos) << v.err;
  EXPECT_EQ(Run("--replay " + replay + " --seed 3").exitCode, 2);
}
