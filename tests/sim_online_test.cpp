// Two simulator processes playing online over real ENet sockets on 127.0.0.1: through the
// project's UDP relay with delay, jitter, loss, duplication and reordering both sides end in the
// same confirmed state, which either side's replay gives again; a side killed leaves the other
// waiting, then without a result; wrong command lines and a host nobody answers are named. Through
// the relay server by room code: the same game, an unknown code, and the relay stopped.
// Every process is bounded in time and killed at the end of its case.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using file_support::Folder;
using file_support::Read;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// A program run with its standard output and error read together as they come.
struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::string text;
  int exitCode = -2;  // -2 running, -1 killed by a signal
  Clock::time_point exitedAt;

  void Start(std::vector<std::string> args, const std::string& configHome) {
    int out[2];
    if (pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
      setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
      dup2(out[1], 1), dup2(out[1], 2), close(out[0]), close(out[1]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    fd = out[0];
  }
  bool Running() const { return exitCode == -2; }
  // Reads what has come, waiting `ms` at most for something; notes the exit.
  void Pump(int ms) {
    pollfd p = {fd, POLLIN, 0};
    char buf[1024];
    ssize_t n = 0;
    if (fd >= 0 && poll(&p, 1, ms) > 0 && (n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    if (fd >= 0 && p.revents && n == 0) close(fd), fd = -1;
    int status = 0;
    if (Running() && waitpid(pid, &status, WNOHANG) == pid)
      exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1, exitedAt = Clock::now();
  }
  // Reads until `needle` has come; false at the deadline or the end of the output.
  bool WaitFor(const std::string& needle, double seconds) {
    for (auto start = Clock::now(); text.find(needle) == std::string::npos; Pump(10))
      if (Since(start) > seconds || fd < 0) return false;
    return true;
  }
  // Waits for the exit (or sends `signal` at the deadline) and reads the rest.
  int Finish(double seconds, int signal = SIGKILL) {
    for (auto start = Clock::now(); Running() && Since(start) < seconds;) Pump(10);
    if (Running()) kill(pid, signal);
    for (auto start = Clock::now(); fd >= 0 || Running(); Pump(10))
      if (Running() && Since(start) > 3) kill(pid, SIGKILL);
    return exitCode;
  }
  ~Child() {
    if (pid > 0 && Running()) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    if (fd >= 0) close(fd);
  }
};

// The port after `prefix` on the first line, 0 when it does not come within three seconds.
int PortAfter(Child& c, const std::string& prefix) {
  if (!c.WaitFor("\n", 3)) return 0;
  size_t at = c.text.find(prefix);
  return at == std::string::npos ? 0 : atoi(c.text.c_str() + at + prefix.size());
}

// Starts the relay program on a free port of 127.0.0.1; its "127.0.0.1:PORT", "" when it does not
// say it listens within a few seconds. Run as root, it says on standard error whom it runs as,
// maybe before its port.
std::string StartRelay(Child& relay, const Folder& dir) {
  relay.Start({QUORBISTANE_RELAY, "--port", "0", "--bind", "127.0.0.1"}, dir.File("config"));
  const std::string ready = "listening on 127.0.0.1:";
  if (!relay.WaitFor(ready, 5)) return {};
  size_t p = relay.text.find(ready) + ready.size();
  for (auto t = Clock::now(); relay.text.find('\n', p) == std::string::npos && Since(t) < 3;) relay.Pump(10);
  return "127.0.0.1:" + std::to_string(atoi(relay.text.c_str() + p));
}

// A dump's fields that an online dump has too: the frame loop's own are left out of it.
nlohmann::json StateOf(const std::string& text, const nlohmann::json& like) {
  nlohmann::json j = nlohmann::json::parse(text, nullptr, false), out = nlohmann::json::object();
  if (!j.is_object()) return j;
  for (auto& [k, v] : j.items())
    if (like.contains(k)) out[k] = v;
  return out;
}

std::vector<std::string> SimArgs(const Folder& dir, const std::string& side, const std::string& script,
                                 std::vector<std::string> extra) {
  file_support::Write(dir.File(side + ".keys"), script);
  std::vector<std::string> a = {QUORBISTANE_SIM, "--script", dir.File(side + ".keys"), "--dump",
                                dir.File(side + ".json"), "--record", dir.File(side + ".replay")};
  a.insert(a.end(), extra.begin(), extra.end());
  return a;
}

struct Game {
  const char* proxy;  // the relay's conditions
  int frames;
  const char* level[2];
  const char* keys[2];  // player 1's script of the host and of the joiner
};

// Host and joiner through the relay with a scripted game of a few hundred steps.
TEST(SimOnline, BothSidesThroughALossyRelayEndInTheStateTheirReplaysGiveAgain) {
  const Game games[] = {
      {"--delay 15 --jitter 10 --loss 0.05 --dup 0.02 --reorder 0.05 --seed 11", 300, {"0", "2"},
       {"10 left tap\n30 x tap\n50 down down\n90 down up\n120 right tap\n140 z tap\n200 left down\n230 left up\n",
        "5 right tap\n25 right tap\n45 z tap\n70 down down\n130 down up\n160 x tap\n210 left tap\n"}},
      {"--delay 40 --jitter 20 --loss 0.1 --dup 0.05 --reorder 0.1 --seed 29", 360, {"1", "1"},
       {"3 down down\n60 down up\n61 x tap\n100 left tap\n101 left tap\n150 down down\n220 down up\n300 z tap\n",
        "1 x tap\n2 x tap\n40 right down\n80 right up\n81 down down\n170 down up\n250 left tap\n330 right tap\n"}},
  };
  for (const Game& g : games) {
    SCOPED_TRACE(g.proxy);
    Folder dir;
    std::string frames = std::to_string(g.frames);
    Child host, relay, join;
    host.Start(SimArgs(dir, "host", g.keys[0],
                       {"--host", "0", "--wait-seconds", "20", "--level", g.level[0], "--frames", frames}),
               dir.File("config"));
    int hostPort = PortAfter(host, "listening on port ");
    ASSERT_NE(hostPort, 0) << host.text;
    std::vector<std::string> relayArgs = {QUORBISTANE_UDP_PROXY, "--listen", "0", "--to", std::to_string(hostPort),
                                          "--seconds", "60", "--stats"};
    std::string conditions = g.proxy;
    for (size_t at = 0; at < conditions.size();) {
      size_t space = conditions.find(' ', at);
      if (space == std::string::npos) space = conditions.size();
      relayArgs.push_back(conditions.substr(at, space - at));
      at = space + 1;
    }
    relay.Start(relayArgs, dir.File("config"));
    int relayPort = PortAfter(relay, "listening on 127.0.0.1:");
    ASSERT_NE(relayPort, 0) << relay.text;
    join.Start(SimArgs(dir, "join", g.keys[1],
                       {"--join", "127.0.0.1:" + std::to_string(relayPort), "--level", g.level[1], "--frames", frames}),
               dir.File("config"));
    EXPECT_EQ(join.Finish(60), 0) << join.text;
    EXPECT_EQ(host.Finish(10), 0) << host.text;
    relay.Finish(0, SIGTERM);

    // The same state on both sides, at the step asked for, and the relay did spoil the link.
    std::string hostDump = Read(dir.File("host.json")), joinDump = Read(dir.File("join.json"));
    ASSERT_FALSE(hostDump.empty());
    nlohmann::json state = nlohmann::json::parse(hostDump, nullptr, false);
    EXPECT_TRUE(hostDump == joinDump) << nlohmann::json::diff(state, nlohmann::json::parse(joinDump, nullptr, false));
    // The frame loop's fields are all it lacks of a dump through frames.
    for (const char* k : {"fps", "sounds", "prevSceneNo", "blinkOn"}) EXPECT_FALSE(state.contains(k)) << k;
    EXPECT_TRUE(state.contains("players") && state.contains("random") && state.contains("sceneNo"));
    EXPECT_EQ(state["frames"], g.frames);
    EXPECT_EQ(state["difficulty"], nlohmann::json::parse(std::string("[") + g.level[0] + ", " + g.level[1] + "]"));
    EXPECT_NE(relay.text.find(" dropped "), std::string::npos) << relay.text;
    EXPECT_EQ(relay.text.find(" dropped 0 "), std::string::npos) << relay.text;
    // Each side's replay holds both players' keys and plays back to the same state.
    for (const char* side : {"host", "join"}) {
      std::string replay = Read(dir.File(std::string(side) + ".replay"));
      EXPECT_NE(replay.find(" 1 left down\n"), std::string::npos) << replay;
      EXPECT_NE(replay.find(" 2 right down\n"), std::string::npos) << replay;
      file_support::Outcome played = file_support::RunCommand(
          "XDG_CONFIG_HOME='" + dir.File("config") + "' " + QUORBISTANE_SIM + " --replay '" +
          dir.File(std::string(side) + ".replay") + "' --dump '" + dir.File("back.json") + "'");
      EXPECT_EQ(played.exitCode, 0) << played.out;
      nlohmann::json back = StateOf(Read(dir.File("back.json")), state);
      EXPECT_EQ(back, state) << side << ": " << nlohmann::json::diff(state, back).dump();
    }
  }
}

// A side killed mid-game: the other says "waiting" within a second or two and ends without a
// result at about ten seconds, with the connection-lost status.
TEST(SimOnline, APeerKilledLeavesTheOtherWaitingThenWithoutAResult) {
  Folder dir;
  Child host, join;
  host.Start(SimArgs(dir, "host", "10 left tap\n", {"--host", "0", "--wait-seconds", "20", "--frames", "6000"}),
             dir.File("config"));
  int port = PortAfter(host, "listening on port ");
  ASSERT_NE(port, 0) << host.text;
  join.Start(SimArgs(dir, "join", "10 right tap\n", {"--join", "127.0.0.1:" + std::to_string(port), "--frames", "6000"}),
             dir.File("config"));
  // Playing for a while, nobody waiting yet.
  auto start = Clock::now();
  while (Since(start) < 2.0) host.Pump(10), join.Pump(10);
  ASSERT_TRUE(host.Running() && join.Running()) << host.text << join.text;
  EXPECT_EQ(host.text.find("waiting"), std::string::npos) << host.text;
  join.Finish(0);
  auto killed = Clock::now();
  EXPECT_TRUE(host.WaitFor("waiting for the other player… ", 5)) << host.text;
  EXPECT_LT(Since(killed), 2.0);
  EXPECT_EQ(host.Finish(20), 5) << host.text;
  double ended = std::chrono::duration<double>(host.exitedAt - killed).count();
  EXPECT_GT(ended, 9.0);
  EXPECT_LT(ended, 14.0);
  EXPECT_NE(host.text.find("connection lost — no result"), std::string::npos) << host.text;
  EXPECT_TRUE(Read(dir.File("host.json")).empty());
}

// Wrong online command lines are refused before anything starts; a port already taken and a
// host nobody answers are named, each in bounded time.
TEST(SimOnline, WrongCommandLinesAndUnreachablePeersAreNamed) {
  const char* cases[][2] = {
      {"--host 70000", "--host needs a port from 1 to 65535, or 0 for any free one"},
      {"--host 0 --join 127.0.0.1:7000", "--host and --join cannot both be given"},
      {"--join 127.0.0.1", "--join needs HOST:PORT: '127.0.0.1' has no :PORT"},
      {"--join :7000", "--join needs HOST:PORT: ':7000' has no host before the port"},
      {"--join 127.0.0.1:65536", "the port must be a number from 1 to 65535, not '65536'"},
      {"--join ::1:7000", "an IPv6 address goes in brackets"},
      {"--join 'a b:7000'", "'a b' is not a host name or address"},
      {"--host 0 --level 3", "--level needs a difficulty from 0 to 2"},
      {"--level 1", "--level is for an online run"},
      {"--join 127.0.0.1:7000 --wait-seconds 5", "--wait-seconds is for a host (--host), not a joiner"},
      {"--host 0 --seed 3", "an online run takes no --seed"},
      {"--host 0 --frames 0", "--frames must be at least 1 for an online run"},
      {"--relay 127.0.0.1:7380 --host 7000", "--host takes no port with --relay"},
      {"--relay 127.0.0.1:7380 --join ABCDEF", "--join needs a room code with --relay, not 'ABCDEF'"},
      {"--relay 127.0.0.1:7380 --join 127.0.0.1:7000", "--join needs a room code with --relay"},
      {"--relay 127.0.0.1 --host", "--relay needs HOST:PORT: '127.0.0.1' has no :PORT"},
      {"--relay 127.0.0.1:7380", "--relay is for an online run"},
      {"--watch 127.0.0.1", "--watch needs HOST:PORT: '127.0.0.1' has no :PORT"},
      {"--relay 127.0.0.1:7380 --watch ABCDEF", "--watch needs a room code with --relay, not 'ABCDEF'"},
      {"--watch 127.0.0.1:7000 --join 127.0.0.1:7000", "--watch cannot go with --host or --join"},
      {"--watch 127.0.0.1:7000 --level 1", "--level is for a player, not a watcher"},
  };
  for (const auto& c : cases) {
    file_support::Outcome r = file_support::RunCommand(std::string(QUORBISTANE_SIM) + " " + c[0] + " </dev/null");
    EXPECT_EQ(r.exitCode, 2) << c[0];
    EXPECT_NE(r.out.find(c[1]), std::string::npos) << c[0] << ": " << r.out;
    EXPECT_NE(r.out.find("usage: "), std::string::npos) << r.out;
  }

  // A port another socket holds, and a port nobody listens on.
  int taken = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(getsockname(taken, reinterpret_cast<sockaddr*>(&a), &len), 0);
  std::string port = std::to_string(ntohs(a.sin_port));
  Folder dir;
  Child host;
  host.Start(SimArgs(dir, "host", "", {"--host", port, "--frames", "10"}), dir.File("config"));
  EXPECT_EQ(host.Finish(10), 1);
  EXPECT_NE(host.text.find(port), std::string::npos) << host.text;
  close(taken);  // now free, and nobody listens there
  Child join;
  auto start = Clock::now();
  join.Start(SimArgs(dir, "join", "", {"--join", "127.0.0.1:" + port, "--frames", "10"}), dir.File("config"));
  EXPECT_EQ(join.Finish(20), 5) << join.text;
  EXPECT_LT(Since(start), 15.0);
  EXPECT_NE(join.text.find("no answer from the host"), std::string::npos) << join.text;
  EXPECT_TRUE(Read(dir.File("join.json")).empty());
}

// Through the relay server by room code: a host's first line is its code, a joiner by that code
// (any case, dashes) plays the same game to the same state, and a code nobody holds is named.
// The relay stopped (SIGTERM) ends at once both sides of a game and a host still alone in a room.
TEST(SimOnline, ThroughTheRelayByRoomCodeToTheSameStateAndEndedByItsStop) {
  Folder dir;
  Child relay, stranger, alone;
  std::string at = StartRelay(relay, dir);
  ASSERT_FALSE(at.empty()) << relay.text;
  auto host = [&](Child& c, const std::string& name, const char* frames) {
    c.Start(SimArgs(dir, name, "10 left tap\n30 x tap\n50 down down\n90 down up\n",
                    {"--relay", at, "--host", "--level", "1", "--frames", frames, "--wait-seconds", "20"}),
            dir.File("config"));
    return c.WaitFor("\n", 5) && c.text.rfind("room ", 0) == 0 ? c.text.substr(5, 6) : std::string();
  };
  auto join = [&](Child& c, const std::string& code, const char* frames) {
    c.Start(SimArgs(dir, "join", "5 right tap\n25 z tap\n70 down down\n130 down up\n",
                    {"--relay", at, "--join", code, "--level", "2", "--frames", frames}),
            dir.File("config"));
  };
  auto start = Clock::now();
  join(stranger, "ACDEFG", "10");  // no room is open yet
  EXPECT_EQ(stranger.Finish(15), 5) << stranger.text;
  EXPECT_LT(Since(start), 5.0);
  EXPECT_NE(stranger.text.find("no room has that code"), std::string::npos) << stranger.text;

  Child h1, j1;
  std::string code = host(h1, "host", "240");
  ASSERT_EQ(code.size(), 6u) << h1.text;
  std::string given = code.substr(0, 3) + "-" + code.substr(3);
  for (char& c : given) c = static_cast<char>(tolower(c));
  join(j1, given, "240");
  EXPECT_EQ(j1.Finish(30), 0) << j1.text;
  EXPECT_EQ(h1.Finish(10), 0) << h1.text;
  std::string dump = Read(dir.File("host.json"));
  EXPECT_TRUE(!dump.empty() && dump == Read(dir.File("join.json")));
  nlohmann::json state = nlohmann::json::parse(dump, nullptr, false);
  EXPECT_EQ(state["frames"], 240);
  EXPECT_EQ(state["difficulty"], nlohmann::json::parse("[1, 2]"));

  Child h2, j2;
  code = host(h2, "host", "6000");
  ASSERT_EQ(code.size(), 6u) << h2.text;
  join(j2, code, "6000");
  ASSERT_EQ(host(alone, "alone", "10").size(), 6u) << alone.text;
  for (start = Clock::now(); Since(start) < 2.0;) h2.Pump(10), j2.Pump(10);
  ASSERT_TRUE(h2.Running() && j2.Running()) << h2.text << j2.text;
  kill(relay.pid, SIGTERM);
  auto stopped = Clock::now();
  for (Child* side : {&h2, &j2, &alone}) {
    EXPECT_EQ(side->Finish(12), 5) << side->text;
    EXPECT_LT(std::chrono::duration<double>(side->exitedAt - stopped).count(), 10.0);
    EXPECT_NE(side->text.find("relay stopping"), std::string::npos) << side->text;
  }
  EXPECT_EQ(relay.Finish(5), 0) << relay.text;
}

// A watcher by room code through the relay, come before the game, and one straight at a host's
// port: each ends at the players' step N in the same state (three identical dumps), with the
// players' replay; a watcher of a room nobody holds is named.
TEST(SimOnline, WatchersThroughTheRelayAndStraightEndInThePlayersState) {
  Folder dir;
  Child relay;
  std::string at = StartRelay(relay, dir);
  ASSERT_FALSE(at.empty()) << relay.text;
  const char* hostKeys = "10 left tap\n30 x tap\n50 down down\n90 down up\n";
  const char* joinKeys = "5 right tap\n25 z tap\n70 down down\n130 down up\n";
  auto undated = [](std::string text) {
    size_t d = text.find("\ndate ");
    return d == std::string::npos ? text : text.erase(d, text.find('\n', d + 1) - d);
  };

  Child stranger;
  stranger.Start(SimArgs(dir, "stranger", "", {"--relay", at, "--watch", "ACDEFG", "--frames", "10"}), dir.File("config"));
  EXPECT_EQ(stranger.Finish(15), 5) << stranger.text;
  EXPECT_NE(stranger.text.find("no room has that code"), std::string::npos) << stranger.text;

  Child host, join, watcher;
  host.Start(SimArgs(dir, "host", hostKeys, {"--relay", at, "--host", "--level", "1", "--frames", "300"}),
             dir.File("config"));
  ASSERT_TRUE(host.WaitFor("\n", 5) && host.text.rfind("room ", 0) == 0) << host.text;
  std::string code = host.text.substr(5, 6);
  watcher.Start(SimArgs(dir, "watch", "", {"--relay", at, "--watch", code, "--frames", "300"}), dir.File("config"));
  for (auto t = Clock::now(); Since(t) < 1.0;) host.Pump(10), watcher.Pump(10);
  join.Start(SimArgs(dir, "join", joinKeys, {"--relay", at, "--join", code, "--level", "2", "--frames", "300"}),
             dir.File("config"));
  EXPECT_EQ(join.Finish(30), 0) << join.text;
  EXPECT_EQ(host.Finish(10), 0) << host.text;
  EXPECT_EQ(watcher.Finish(15), 0) << watcher.text;
  std::string dump = Read(dir.File("host.json"));
  EXPECT_FALSE(dump.empty());
  EXPECT_EQ(dump, Read(dir.File("join.json")));
  EXPECT_EQ(dump, Read(dir.File("watch.json"))) << watcher.text;
  EXPECT_EQ(undated(Read(dir.File("watch.replay"))), undated(Read(dir.File("host.replay"))));

  // Straight at the host's port, come a second into the game: caught up to the same state.
  Child host2, join2, watcher2;
  host2.Start(SimArgs(dir, "host", hostKeys, {"--host", "0", "--frames", "300"}), dir.File("config"));
  int port = PortAfter(host2, "listening on port ");
  ASSERT_GT(port, 0) << host2.text;
  join2.Start(SimArgs(dir, "join", joinKeys, {"--join", "127.0.0.1:" + std::to_string(port), "--level", "2",
                                              "--frames", "300"}),
              dir.File("config"));
  for (auto t = Clock::now(); Since(t) < 2.0;) host2.Pump(10), join2.Pump(10);
  watcher2.Start(SimArgs(dir, "watch", "", {"--watch", "127.0.0.1:" + std::to_string(port), "--frames", "300"}),
                 dir.File("config"));
  EXPECT_EQ(join2.Finish(30), 0) << join2.text;
  EXPECT_EQ(host2.Finish(10), 0) << host2.text;
  EXPECT_EQ(watcher2.Finish(15), 0) << watcher2.text;
  dump = Read(dir.File("host.json"));
  EXPECT_FALSE(dump.empty());
  EXPECT_EQ(dump, Read(dir.File("watch.json"))) << watcher2.text;
  EXPECT_EQ(undated(Read(dir.File("watch.replay"))), undated(Read(dir.File("host.replay"))));
  relay.Finish(0.1, SIGTERM);
}

}  // namespace
