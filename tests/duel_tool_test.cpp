// The tool that measures the computer's levels: its figures follow from its seed alone, the
// strongest level beats the weakest, and a wrong command line is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
};

Outcome Duel(const std::string& args) {
  Outcome r;
  std::string cmd = std::string(QUORBISTANE_DUEL) + " " + args + " 2>&1";
  FILE* f = popen(cmd.c_str(), "r");
  if (!f) return r;
  char buf[512];
  while (fgets(buf, sizeof buf, f)) r.out += buf;
  int status = pclose(f);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(DuelTool, SameSeedSameFiguresAndTheHiddenLevelBeatsEasy) {
  const std::string args = "--games 2 --solo 1 --pair 0:3 --minutes 5 --seed 4";
  Outcome a = Duel(args), b = Duel(args);
  ASSERT_EQ(a.exitCode, 0) << a.out;
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out.find("Hidden against Easy: Hidden wins 100.0%"), std::string::npos) << a.out;
  for (const char* level : {"  Easy    pieces avg", "  Normal  pieces avg", "  Hard    pieces avg", "  Hidden  pieces avg"})
    EXPECT_NE(a.out.find(level), std::string::npos) << level << "\n" << a.out;
  EXPECT_EQ(a.out.find("Normal against"), std::string::npos) << "only the pairing asked for";
}

TEST(DuelTool, RefusesAWrongCommandLine) {
  for (const char* args : {"--pair 2:2", "--games x", "--difficulty 4", "--minutes 0", "--frobnicate"}) {
    Outcome r = Duel(args);
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_NE(r.out.find("usage:"), std::string::npos) << args;
  }
}

}  // namespace
