// The command lines of the shipped programs and the tools: --help and --version answer and
// exit 0 without starting anything; a wrong argument is refused with exit code 2, its bytes
// escaped; the pack tool names a picture it leaves out.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <tu/version.h>

#include "file_support.h"

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::string text;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
  }
  return text;
}

Outcome RunTool(const std::string& program, const std::string& args) {
  char tmpl[] = "/tmp/qcliXXXXXX";
  Outcome r;
  if (!mkdtemp(tmpl)) return r;
  std::string dir = tmpl;
  std::string cmd = program + " " + args + " >" + dir + "/out 2>" + dir + "/err </dev/null";
  int status = system(cmd.c_str());
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(dir + "/out");
  r.err = Slurp(dir + "/err");
  system(("rm -rf '" + dir + "'").c_str());
  return r;
}

TEST(ToolCommandLines, HelpVersionAndAWrongArgument) {
  struct Program {
    const char* path;
    const char* name;
  } programs[] = {{QUORBISTANE_GAME, "quorbistane"},
                  {QUORBISTANE_SIM, "quorbistane-sim"},
                  {QUORBISTANE_PACK, "quorbistane_pack"},
                  {QUORBISTANE_SOAK, "quorbistane-soak"},
                  {QUORBISTANE_DUEL, "quorbistane-duel"},
                  {QUORBISTANE_TEXT_SHOTS, "quorbistane_text_shots"},
                  {QUORBISTANE_ASSETGEN, "quorbistane_assetgen"},
                  {QUORBISTANE_UDP_PROXY, "quorbistane-udp-proxy"}};
  for (const Program& p : programs) {
    SCOPED_TRACE(p.name);
    Outcome help = RunTool(p.path, "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind(std::string("usage: ") + p.name + " ", 0), 0u) << help.out;
    EXPECT_GT(help.out.size(), 200u) << "the options are told, not just named";
    Outcome version = RunTool(p.path, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string(p.name) + " " + TU_VERSION_STRING + "\n");
    // An argument of a terminal's control bytes reaches the terminal escaped (the shell is
    // a plain sh: printf makes the bytes).
    Outcome wrong = RunTool(p.path, "\"$(printf '%s\\033[2J\\007' --)\" x y z");
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("usage: "), std::string::npos) << wrong.err;
    EXPECT_NE(wrong.err.find("\\x1B[2J\\x07"), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.err.find('\x1b'), std::string::npos);
  }
}

// The online starts: a port of 0..65535 after --host, host:port after --join or --watch, one of
// them once, a relay with --host (no port), --join CODE or --watch CODE, and never with a replay;
// each mistake is named with the usage line and exit code 2.
TEST(ToolCommandLines, TheGameTakesOnlineStartsAndRefusesWrongOnes) {
  Outcome help = RunTool(QUORBISTANE_GAME, "--help");
  EXPECT_NE(help.out.find("--host [PORT]"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--join HOST:PORT"), std::string::npos) << help.out;
  for (const char* line : {"--relay HOST[:PORT] --join CODE", "--watch HOST:PORT", "--relay HOST[:PORT] --watch CODE"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line << " in " << help.out;
  const std::string cases[][2] = {
      {"--host 70000", "--host: '70000' is not a port (0 to 65535)"},
      {"--host 12ab", "--host: '12ab' is not a port"},
      {"--join", "--join needs HOST:PORT"},
      {"--join host:0", "--join: '0' is not a port (1 to 65535)"},
      {"--join a:1:2", "--join: 'a:1:2' has more than one ':'"},
      {"--join :7370", "--join: ':7370' does not name a host"},
      {"--join 'a b:1'", "--join: an address has letters, digits"},
      {"--host --join h:1", "only one of --host, --join and --watch"},
      {"--join h:1 --watch h:1", "only one of --host, --join and --watch"},
      {"--watch", "--watch needs HOST:PORT"},
      {"--watch host:0", "--watch: '0' is not a port (1 to 65535)"},
      {"--watch 'a b:1'", "--watch: an address has letters, digits"},
      {"--watch abcdef --replay x", "--replay cannot go with an online start"},
      {"--host 1 --replay x", "--replay cannot go with an online start"},
      {"--relay", "--relay needs HOST[:PORT]"},
      {"--relay r:0 --host", "--relay: '0' is not a port"},
      {"--relay r --relay s --host", "--relay is given twice"},
      {"--relay r", "--relay goes with --host, --join CODE or --watch CODE"},
      {"--host 7000 --relay r", "--host takes no port with --relay"},
      {"--relay r --join host:7370", "--join needs a room code with --relay, not 'host:7370'"},
      {"--join abcdef --relay r", "--join needs a room code with --relay, not 'abcdef'"},
      {"--relay r --watch host:7370", "--watch needs a room code with --relay, not 'host:7370'"},
  };
  for (const auto& c : cases) {
    Outcome r = RunTool(QUORBISTANE_GAME, c[0]);
    EXPECT_EQ(r.exitCode, 2) << c[0];
    EXPECT_EQ(r.err.rfind("quorbistane: " + c[1], 0), 0u) << r.err;
    EXPECT_NE(r.err.find("usage: quorbistane [--replay FILE] [--host [PORT] | --join HOST:PORT | --watch HOST:PORT] "
                         "[--relay HOST[:PORT] (--host | --join CODE | --watch CODE)]"),
              std::string::npos)
        << r.err;
  }
}

// A replay the game cannot play is told, as a wrong command line is, before any window opens.
TEST(ToolCommandLines, TheGameRefusesAReplayItCannotPlay) {
  file_support::Folder folder;
  std::string dir = folder.File("");
  file_support::Write(dir + "broken.replay", "not a replay\n");
  file_support::Write(dir + "old.replay",
                      "quorbistane replay 1\ngame 0.0.1\nrules 0123456789ABCDEF\nseed 0000000000000001\n"
                      "clock 16 start 0\nmode versus\ndifficulty 0 0\ncomputer -1 -1\ndate 2026-12-09 11:31:08\nsteps\n");
  const std::string cases[][2] = {
      {"", "--replay needs a file\nusage: "},
      {dir + "none.replay", "cannot read " + dir + "none.replay: No such file"},
      {dir + "broken.replay", dir + "broken.replay: not a replay file"},
      {dir + "old.replay", dir + "old.replay: this replay was made by quorbistane 0.0.1"},
      {dir + "old.replay --replay x", "--replay is given twice\n"},
  };
  for (const auto& c : cases) {
    Outcome r = RunTool(QUORBISTANE_GAME, "--replay " + c[0]);
    EXPECT_EQ(r.exitCode, 2) << c[0];
    EXPECT_EQ(r.err.rfind("quorbistane: " + c[1], 0), 0u) << r.err;
  }
}

TEST(ToolCommandLines, ThePackToolNamesThePicturesItLeavesOut) {
  char tmpl[] = "/tmp/qpackXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl;
  ASSERT_EQ(system(("echo not a picture >" + dir + "/bad.bmp && : >" + dir + "/empty.bmp").c_str()), 0);
  Outcome r = RunTool(QUORBISTANE_PACK, "pictures " + dir + "/p.pak " + dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("quorbistane_pack: cannot load picture bad.bmp from " + dir + "/: not a picture (neither a BMP nor a PNG file)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("quorbistane_pack: cannot load picture empty.bmp from " + dir + "/: empty file\n"),
            std::string::npos)
      << r.err;
  system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
