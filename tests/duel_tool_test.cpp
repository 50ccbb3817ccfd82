// The tool that measures the computer's levels: its figures follow from its seed alone, the
// strongest level beats the weakest, and a wrong command line is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "file_support.h"

namespace {

using file_support::Outcome;

Outcome Duel(const std::string& args) {
  return file_support::RunCommand(std::string(QUORBISTANE_DUEL) + " " + args);
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
