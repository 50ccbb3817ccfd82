// The tool that plays online games between computers over the simulated link: its figures follow
// from its arguments alone, a quick link needs no rollback and a slow one stalls, and a wrong
// command line is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "file_support.h"

namespace {

using file_support::Outcome;

Outcome Netbots(const std::string& args) {
  return file_support::RunCommand(std::string(QUORBISTANE_NETBOTS) + " " + args);
}

// The number after `label` in the output, -1 when the label is missing.
double Figure(const std::string& out, const std::string& label) {
  size_t at = out.find(label);
  return at == std::string::npos ? -1.0 : strtod(out.c_str() + at + label.size(), nullptr);
}

std::string WithoutCpu(const std::string& out) { return out.substr(0, out.find("cpu time:")); }

TEST(NetbotsTool, TheSameArgumentsGiveTheSameFiguresAndTheComputersPlay) {
  const std::string args = "--games 3 --steps 2000 --seed 5";
  Outcome a = Netbots(args), b = Netbots(args);
  ASSERT_EQ(a.exitCode, 0) << a.out;
  EXPECT_EQ(WithoutCpu(a.out), WithoutCpu(b.out));
  EXPECT_EQ(Figure(a.out, "desyncs: "), 0) << a.out;
  EXPECT_EQ(Figure(a.out, "ended by connection loss: "), 0) << a.out;
  EXPECT_GT(Figure(a.out, "key changes: "), 20) << a.out;
  EXPECT_GT(Figure(a.out, "rollbacks: "), 0) << a.out;  // 5 % loss and jitter mispredict some
  EXPECT_GT(Figure(a.out, "host to joiner "), 500) << a.out;
  EXPECT_GT(Figure(a.out, "joiner to host "), 500) << a.out;
  EXPECT_NE(Figure(a.out, "cpu time: "), -1) << a.out;
}

// Watchers coming in mid-game follow the game to its end in the players' state; without
// --watchers the figures say nothing of them.
TEST(NetbotsTool, WatchersComeMidGameAndEndInThePlayersState) {
  const std::string args = "--games 3 --steps 20000 --seed 4 --watchers 2";
  Outcome a = Netbots(args), b = Netbots(args);
  ASSERT_EQ(a.exitCode, 0) << a.out;
  EXPECT_EQ(WithoutCpu(a.out), WithoutCpu(b.out));
  EXPECT_EQ(Figure(a.out, "watcher desyncs: "), 0) << a.out;
  EXPECT_EQ(Figure(a.out, "watchers ended otherwise: "), 0) << a.out;
  size_t at = a.out.find("mid-game (from step ");
  ASSERT_NE(at, std::string::npos) << a.out;
  EXPECT_GE(Figure(a.out, "mid-game (from step "), 120) << a.out;
  EXPECT_GE(Figure(a.out.substr(at), "), "), 2) << "watchers that saw the end\n" << a.out;
  EXPECT_EQ(Netbots("--games 1 --steps 1500").out.find("watcher"), std::string::npos);
}

// Without delay every input comes before it is needed: nothing is run again; a round trip far
// past what the input delay and the steps run ahead cover stalls the sides.
TEST(NetbotsTool, AQuickLinkRollsNothingBackAndASlowOneStalls) {
  Outcome quick = Netbots("--games 2 --steps 1500 --rtt 0 --jitter 0 --loss 0 --dup 0 --reorder 0");
  ASSERT_EQ(quick.exitCode, 0) << quick.out;
  EXPECT_NE(quick.out.find("rollbacks: 0,"), std::string::npos) << quick.out;
  EXPECT_NE(quick.out.find("stalled steps: 0 of"), std::string::npos) << quick.out;
  EXPECT_NE(quick.out.find("steps run again: 0\n"), std::string::npos) << quick.out;

  Outcome slow = Netbots("--games 1 --steps 1500 --rtt 800 --jitter 0 --loss 0");
  ASSERT_EQ(slow.exitCode, 0) << slow.out;
  size_t stalls = slow.out.find("stalled steps: ");
  ASSERT_NE(stalls, std::string::npos) << slow.out;
  EXPECT_GT(Figure(slow.out.substr(stalls), "("), 10.0) << "per cent of steps stalled\n" << slow.out;
}

TEST(NetbotsTool, RefusesAWrongCommandLine) {
  for (const char* args : {"--games 0", "--steps 10", "--rtt -1", "--rtt 5000", "--loss 0.9", "--dup x", "--reorder",
                           "--seed 4294967296", "--watchers 5", "--watchers", "--frobnicate"}) {
    Outcome r = Netbots(args);
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_NE(r.out.find("usage:"), std::string::npos) << args;
    EXPECT_EQ(r.out.find("desyncs"), std::string::npos) << args;
  }
  Outcome help = Netbots("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--reorder P"), std::string::npos);
}

}  // namespace
