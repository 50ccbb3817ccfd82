// The UDP relay as a process on 127.0.0.1: its command line, datagrams through it to an echo
// socket and back (delayed, and lost by its chances), a second client refused, and two ENet
// ends talking through it. Every wait has a deadline of a few seconds and the relay is stopped
// at the end of each case.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/transport.h"

#include "file_support.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Proxy {
  pid_t pid = -1;
  int out = -1;  // its standard output
  int port = 0;
  std::string text;
};

// Reads the relay's output until `until` appears or its output ends; false at the deadline.
bool ReadUntil(Proxy& p, const std::string& until, Clock::time_point deadline) {
  while (p.text.find(until) == std::string::npos) {
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    pollfd fd = {p.out, POLLIN, 0};
    if (left <= 0 || poll(&fd, 1, left) <= 0) return false;
    char buf[512];
    ssize_t n = read(p.out, buf, sizeof buf);
    if (n <= 0) return false;
    p.text.append(buf, static_cast<size_t>(n));
  }
  return true;
}

// Starts the relay and reads the port it listens on.
Proxy Start(std::vector<std::string> args) {
  Proxy p;
  int fds[2];
  if (pipe(fds) != 0) return p;
  args.insert(args.begin(), QUORBISTANE_UDP_PROXY);
  p.pid = fork();
  if (p.pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  p.out = fds[0];
  const std::string prefix = "listening on 127.0.0.1:";
  if (ReadUntil(p, "\n", Clock::now() + std::chrono::seconds(3)) && p.text.rfind(prefix, 0) == 0)
    p.port = atoi(p.text.c_str() + prefix.size());
  return p;
}

// Ends the relay with SIGTERM (SIGKILL if it does not go within three seconds); its exit code,
// or -1 when it had to be killed.
int Stop(Proxy& p) {
  int code = -1;
  if (p.pid > 0) {
    kill(p.pid, SIGTERM);
    auto deadline = Clock::now() + std::chrono::seconds(3);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(p.pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) usleep(5000);
    if (done == p.pid && WIFEXITED(status)) {
      code = WEXITSTATUS(status);
    } else if (done == 0) {
      kill(p.pid, SIGKILL);
      waitpid(p.pid, &status, 0);
    }
    ReadUntil(p, "\x01", Clock::now() + std::chrono::milliseconds(500));  // the rest, to its end
  }
  if (p.out >= 0) close(p.out);
  p.pid = -1;
  p.out = -1;
  return code;
}

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return a;
}

// A non-blocking UDP socket on 127.0.0.1 at a free port.
struct Socket {
  int fd = -1;
  int port = 0;
  Socket() {
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
  }
  ~Socket() {
    if (fd >= 0) close(fd);
  }
  void SendTo(int to, const void* data, size_t size) const {
    sockaddr_in a = Loopback(to);
    sendto(fd, data, size, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
};

struct EchoRun {
  int back = 0;            // distinct datagrams that came back
  double minRoundMs = 1e9;  // the shortest round trip seen
  int echoed = 0;           // datagrams the echo socket answered
  bool strangerHeard = false;
};

// Sends `count` numbered datagrams through the relay 2 ms apart; the echo socket answers each
// one. With `stranger`, a second client sends once the first datagram is back. Ends when all are
// back, or a second after the last was sent.
EchoRun Echo(int proxyPort, int count, Socket& echo, Socket* stranger) {
  Socket client;
  EchoRun r;
  std::vector<Clock::time_point> sentAt(count);
  std::vector<bool> got(count, false);
  int sent = 0;
  bool strangerSent = false;
  auto deadline = Clock::now() + std::chrono::seconds(4);
  Clock::time_point lastSend = Clock::now();
  while (Clock::now() < deadline && r.back < count &&
         (sent < count || Clock::now() - lastSend < std::chrono::seconds(1))) {
    if (sent < count && Clock::now() - lastSend >= std::chrono::milliseconds(2)) {
      uint32_t n = static_cast<uint32_t>(sent);
      sentAt[sent++] = lastSend = Clock::now();
      client.SendTo(proxyPort, &n, sizeof n);
    }
    if (stranger && !strangerSent && r.back > 0) {
      stranger->SendTo(proxyPort, "stranger", 8);
      strangerSent = true;
    }
    pollfd fds[3] = {{echo.fd, POLLIN, 0}, {client.fd, POLLIN, 0}, {stranger ? stranger->fd : -1, POLLIN, 0}};
    poll(fds, 3, 1);
    uint8_t buf[64];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n;
    while ((n = recvfrom(echo.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len)) > 0) {
      if (n != 4) r.strangerHeard = true;
      ++r.echoed;
      sendto(echo.fd, buf, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), len);
      len = sizeof from;
    }
    while ((n = recv(client.fd, buf, sizeof buf, 0)) > 0) {
      uint32_t i = 0;
      memcpy(&i, buf, sizeof i);
      if (n != 4 || i >= static_cast<uint32_t>(count) || got[i]) continue;
      got[i] = true;
      ++r.back;
      double ms = std::chrono::duration<double, std::milli>(Clock::now() - sentAt[i]).count();
      if (ms < r.minRoundMs) r.minRoundMs = ms;
    }
    if (stranger && recv(stranger->fd, buf, sizeof buf, 0) > 0) r.strangerHeard = true;
  }
  return r;
}

TEST(UdpProxy, RefusesAWrongCommandLineWithItsReason) {
  const char* cases[][2] = {
      {"--to 9", "--listen PORT is needed"},
      {"--listen 0 --to 9 --listen 1", "--listen is given twice"},
      {"--listen 0 --to", "--to needs a value"},
      {"--listen 70000 --to 9", "--listen must be a port from 0 to 65535, not '70000'"},
      {"--listen 0.0.0.0:5000 --to 9", "--listen takes a port on 127.0.0.1 only, not '0.0.0.0:5000'"},
      {"--listen 0 --to 0", "--to must be a port from 1 to 65535, not '0'"},
      {"--listen 9 --to 127.0.0.1:9", "--listen and --to must be different ports"},
      {"--listen 0 --to 9 --delay -1", "--delay must be a number of ms from 0 to 10000, not '-1'"},
      {"--listen 0 --to 9 --loss 1.5", "--loss must be a chance from 0 to 1, not '1.5'"},
      {"--listen 0 --to 9 --dup nan", "--dup must be a chance from 0 to 1, not 'nan'"},
      {"--listen 0 --to 9 --seconds 3601", "--seconds must be a number from 1 to 3600, not '3601'"},
      {"--listen 0 --to 9 --seed 18446744073709551616", "--seed must be a number from 0 to 18446744073709551615"},
      {"--listen 0 --to 9 --fast", "unknown argument '--fast'"},
  };
  for (const auto& c : cases) {
    file_support::Outcome r =
        file_support::RunCommand(std::string(QUORBISTANE_UDP_PROXY) + " " + c[0] + " </dev/null");
    const std::string& err = r.out;
    EXPECT_EQ(r.exitCode, 2) << c[0];
    EXPECT_EQ(err.rfind(std::string("quorbistane-udp-proxy: ") + c[1], 0), 0u) << err;
    EXPECT_NE(err.find("usage: "), std::string::npos) << err;
  }
}

TEST(UdpProxy, DelaysAndLosesEachWayAndRefusesASecondClient) {
  Socket echo;
  ASSERT_NE(echo.port, 0);
  std::string to = std::to_string(echo.port);
  {
    // 10 % lost each way: about 81 % come back, none sooner than the two delays.
    Proxy p = Start({"--listen", "0", "--to", to, "--delay", "20", "--loss", "0.1", "--seed", "1", "--seconds", "5",
                     "--stats"});
    ASSERT_NE(p.port, 0) << p.text;
    EchoRun r = Echo(p.port, 200, echo, nullptr);
    EXPECT_EQ(Stop(p), 0);
    EXPECT_GE(r.back, 140);
    EXPECT_LE(r.back, 185);
    EXPECT_GE(r.minRoundMs, 40.0);
    EXPECT_NE(p.text.find("dropped "), std::string::npos) << p.text;
    EXPECT_EQ(p.text.find("dropped 0 "), std::string::npos) << p.text;
  }
  {
    Socket stranger;
    Proxy p = Start({"--listen", "0", "--to", to, "--delay", "5", "--seconds", "5", "--stats"});
    ASSERT_NE(p.port, 0) << p.text;
    EchoRun r = Echo(p.port, 200, echo, &stranger);
    EXPECT_EQ(Stop(p), 0);
    EXPECT_EQ(r.back, 200);
    EXPECT_GE(r.minRoundMs, 10.0);
    EXPECT_FALSE(r.strangerHeard);
    EXPECT_NE(p.text.find("forwarded 400 dropped 0 duplicated 0 reordered 0 strangers 1 "), std::string::npos)
        << p.text;
  }
}

// The same seed makes the same choices: duplicates and holds back alike in two runs, and the
// time limit ends the relay by itself with exit code 0.
TEST(UdpProxy, TheSeedRepeatsTheChoicesAndTheTimeLimitEndsIt) {
  Socket echo;
  std::string stats[2];
  for (std::string& s : stats) {
    Proxy p = Start({"--listen", "0", "--to", std::to_string(echo.port), "--dup", "0.3", "--reorder", "0.3",
                     "--seed", "42", "--seconds", "1", "--stats"});
    ASSERT_NE(p.port, 0) << p.text;
    Socket client;
    for (uint32_t i = 0; i < 50; ++i) client.SendTo(p.port, &i, sizeof i);
    EXPECT_TRUE(ReadUntil(p, "too-long", Clock::now() + std::chrono::seconds(3))) << p.text;
    EXPECT_EQ(Stop(p), 0);
    s = p.text.substr(p.text.find('\n') + 1);
  }
  EXPECT_EQ(stats[0], stats[1]);
  EXPECT_EQ(stats[0].rfind("forwarded ", 0), 0u) << stats[0];
  EXPECT_EQ(stats[0].find("duplicated 0 "), std::string::npos) << stats[0];
  EXPECT_EQ(stats[0].find("reordered 0 "), std::string::npos) << stats[0];
}

}  // namespace

// Two ENet ends through the relay with a tenth of the datagrams lost each way: every reliable
// message arrives, in order, and the inputs that arrive are never older than one before them.
TEST(UdpProxy, TheReliableChannelArrivesWholeThroughLoss) {
  std::string error;
  std::unique_ptr<net::Transport> host = net::HostOn(0, &error);
  ASSERT_TRUE(host) << error;
  Proxy p = Start({"--listen", "0", "--to", std::to_string(net::BoundPort(*host)), "--delay", "10", "--jitter", "5",
                   "--loss", "0.1", "--seed", "3", "--seconds", "20", "--stats"});
  ASSERT_NE(p.port, 0) << p.text;
  std::unique_ptr<net::Transport> join = net::JoinTo("127.0.0.1", static_cast<uint16_t>(p.port), &error);
  ASSERT_TRUE(join) << error;

  constexpr int kMessages = 20;
  net::Transport* ends[2] = {host.get(), join.get()};
  bool connected[2] = {};
  std::vector<int> control[2], inputs[2];  // what each end received
  int sentInputs = 0, sentControl = 0;
  auto deadline = Clock::now() + std::chrono::seconds(15);
  auto nextSend = Clock::now();
  while (Clock::now() < deadline && (control[0].size() < kMessages || control[1].size() < kMessages)) {
    for (int side = 0; side < 2; ++side) {
      net::Event e;
      for (ends[side]->Poll(&e); e.kind != net::Event::None; ends[side]->Poll(&e)) {
        if (e.kind == net::Event::Connected) connected[side] = true;
        if (e.kind == net::Event::Received && e.size == 1)
          (e.channel == net::Channel::Control ? control : inputs)[side].push_back(e.data[0]);
      }
    }
    // Once both see the connection: a message and an input each way every 10 ms.
    if (connected[0] && connected[1] && sentControl < kMessages && Clock::now() >= nextSend) {
      uint8_t m = static_cast<uint8_t>(sentControl++), in = static_cast<uint8_t>(sentInputs++);
      for (net::Transport* t : ends) {
        EXPECT_TRUE(t->Send(net::Channel::Control, &m, 1));
        EXPECT_TRUE(t->Send(net::Channel::Inputs, &in, 1));
      }
      nextSend = Clock::now() + std::chrono::milliseconds(10);
    }
    usleep(1000);
  }
  host->Close();
  join->Close();
  EXPECT_EQ(Stop(p), 0);
  ASSERT_TRUE(connected[0] && connected[1]);
  for (int side = 0; side < 2; ++side) {
    SCOPED_TRACE(side);
    ASSERT_EQ(control[side].size(), static_cast<size_t>(kMessages));
    for (int i = 0; i < kMessages; ++i) EXPECT_EQ(control[side][i], i);
    EXPECT_LE(inputs[side].size(), static_cast<size_t>(kMessages));
    for (size_t i = 1; i < inputs[side].size(); ++i) EXPECT_GT(inputs[side][i], inputs[side][i - 1]);
  }
  // Some were lost on the way, and the reliable ones were sent again.
  EXPECT_EQ(p.text.find("dropped 0 "), std::string::npos) << p.text;
}
