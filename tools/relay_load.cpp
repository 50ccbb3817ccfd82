// A load on the relay server: it starts quorbistane-relay as a child on 127.0.0.1 and plays N
// rooms through it, each of two bot players that send 60 input datagrams a second each way,
// each carrying its send time. It measures the time each datagram takes from one bot to the
// other through the relay (on loopback, the relay's added delay and a little of the bots'
// own), the relay's CPU time and memory, and what it dropped; --flood adds one more address
// that sends garbage datagrams as fast as asked. At the end the relay is stopped with SIGTERM
// and the rooms told "relay stopping" are counted.
//
//   quorbistane-relay-load --rooms N --seconds S [--flood PPS] [--batch-us N] [--kill] [--relay PATH]
#include <arpa/inet.h>
#include <enet/enet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <tu/version.h>

#include "base/text.h"
#include "net/enet_support.h"
#include "net/protocol.h"
#include "net/relay_protocol.h"

namespace {

const char kUsage[] =
    "usage: quorbistane-relay-load --rooms N --seconds S [--flood PPS] [--batch-us N] [--kill] [--relay PATH]\n";
const char kHelp[] =
    "Starts quorbistane-relay (PATH, default: beside this program) on 127.0.0.1 and plays N rooms\n"
    "(1 to 2000) through it for S seconds (1 to 600), each of two bots on their own address that\n"
    "send 60 input datagrams a second each way. Prints the one-way time through the relay (p50,\n"
    "p99, max; the first second left out), the relay's CPU time as a share of one core, its memory,\n"
    "and its drops. --flood PPS adds an address sending PPS garbage datagrams a second (up to\n"
    "100000). --batch-us N is passed to the relay. --kill ends the relay with SIGKILL instead of\n"
    "SIGTERM and tells how long the players take to see it gone (as the game's relay client\n"
    "does: 4 to 8 s without an answer). Exit status: 0 every room was paired and played; 1 not; 2 a wrong command line.\n";

constexpr int kRate = 60;
constexpr size_t kPayload = 24;  // about an Inputs message of a few steps

using Clock = std::chrono::steady_clock;
int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

struct Options {
  int rooms = 0, seconds = 0, flood = 0, batchUs = -1;
  bool kill = false;
  std::string relay;
};

int Refuse(const std::string& why, const std::string& arg = "") {
  fprintf(stderr, "quorbistane-relay-load: %s%s%s\n%s", why.c_str(), arg.empty() ? "" : " ",
          arg.empty() ? "" : ("'" + tu::Printable(arg) + "'").c_str(), kUsage);
  return 2;
}

bool Number(const char* text, long max, int* out) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (errno || *end || v > max) return false;
  *out = static_cast<int>(v);
  return true;
}

// The relay child: its pid, the port it said, its standard error in a file.
struct Child {
  pid_t pid = -1;
  int port = 0;
  std::string errPath;
};

Child StartRelay(const Options& o) {
  Child c;
  char errPath[] = "/tmp/quorbistane-relay-load-XXXXXX";
  int err = mkstemp(errPath);
  int out[2];
  if (err < 0 || pipe(out) != 0) return c;
  c.errPath = errPath;
  std::string maxRooms = std::to_string(std::min(2000, o.rooms + 16));
  c.pid = fork();
  if (c.pid == 0) {
    dup2(out[1], 1);
    dup2(err, 2);
    close(out[0]);
    close(out[1]);
    std::string batch = std::to_string(o.batchUs < 0 ? 1000 : o.batchUs);
    execl(o.relay.c_str(), o.relay.c_str(), "--bind", "127.0.0.1", "--port", "0", "--max-rooms", maxRooms.c_str(),
          "--batch-us", batch.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err);
  std::string text;
  auto deadline = Clock::now() + std::chrono::seconds(5);
  while (text.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd fd = {out[0], POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    char buf[256];
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  size_t colon = text.rfind(':');
  if (text.rfind("listening on ", 0) == 0 && colon != std::string::npos) c.port = atoi(text.c_str() + colon + 1);
  return c;
}

// The relay's CPU time in seconds (user, system) and its memory (kB) from /proc.
struct Cpu {
  double user = 0, system = 0;
};
Cpu CpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  size_t close = s.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream in(s.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  return {static_cast<double>(utime) / tick, static_cast<double>(stime) / tick};
}

long MemoryKb(pid_t pid, const char* key) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(f, line);)
    if (line.rfind(key, 0) == 0) return atol(line.c_str() + strlen(key) + 1);
  return -1;
}

// One room: an ENet host on its own loopback address with the room's two players as peers.
struct Pair {
  ENetHost* host = nullptr;
  ENetPeer* peer[2] = {};
  bool connected[2] = {}, paired[2] = {}, stopping[2] = {}, gone[2] = {};
  char code[net::kRoomCodeLetters + 1] = {};
  int64_t nextSendNs[2] = {};
  uint32_t seq[2] = {};
};

void SendRelay(ENetPeer* peer, const net::RelayMessage& m) {
  uint8_t buf[net::kMaxRelayMessageBytes];
  size_t n = net::EncodeRelay(m, buf);
  enet_peer_send(peer, 0, enet_packet_create(buf, n, ENET_PACKET_FLAG_RELIABLE));
}

struct Stats {
  std::vector<uint32_t> delayUs;
  uint64_t sent = 0, received = 0;
  int64_t countFromNs = 0;
};

void Service(Pair& p, ENetAddress relay, Stats* stats) {
  ENetEvent e;
  while (enet_host_service(p.host, &e, 0) > 0) {
    int side = e.peer == p.peer[0] ? 0 : 1;
    if (e.type == ENET_EVENT_TYPE_DISCONNECT) p.gone[side] = true;
    if (e.type == ENET_EVENT_TYPE_CONNECT) {
      p.connected[side] = true;
      enet_peer_timeout(e.peer, ENET_PEER_TIMEOUT_LIMIT, 4000, 8000);
      net::RelayMessage m;
      m.type = side == 0 ? net::RelayType::Open : net::RelayType::Join;
      m.gameProtocol = net::kProtocolVersion;
      std::memcpy(m.code, p.code, sizeof p.code);
      SendRelay(e.peer, m);
    } else if (e.type == ENET_EVENT_TYPE_RECEIVE) {
      const uint8_t* d = e.packet->data;
      size_t n = e.packet->dataLength;
      net::RelayMessage m;
      if (n > 0 && d[0] < net::kFirstRelayType) {
        int64_t now = NowNs(), sentNs = 0;
        if (n >= 9) std::memcpy(&sentNs, d + 1, 8);
        ++stats->received;
        if (sentNs >= stats->countFromNs && now >= sentNs) stats->delayUs.push_back(static_cast<uint32_t>((now - sentNs) / 1000));
      } else if (net::DecodeRelay(d, n, &m, nullptr)) {
        if (m.type == net::RelayType::Code && !p.peer[1]) {
          std::memcpy(p.code, m.code, sizeof p.code);
          p.peer[1] = enet_host_connect(p.host, &relay, 2, 0);
        } else if (m.type == net::RelayType::Paired) {
          p.paired[side] = true;
        } else if (m.type == net::RelayType::Ended && m.ended == net::RelayEnd::RelayStopping) {
          p.stopping[side] = true;
        }
      }
      enet_packet_destroy(e.packet);
    }
  }
}

double Percentile(const std::vector<uint32_t>& sorted, double q) {
  if (sorted.empty()) return 0;
  size_t i = static_cast<size_t>(q * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[i] / 1000.0;
}

// Garbage from 127.0.0.250 at `pps` a second until `stop`.
void Flood(int pps, int port, const std::atomic<bool>* stop, uint64_t* sent) {
  int sock = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  inet_pton(AF_INET, "127.0.0.250", &from.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (sock < 0 || bind(sock, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) return;
  uint8_t junk[512];
  uint64_t x = 88172645463325252ULL;
  int64_t start = NowNs();
  while (!stop->load()) {
    uint64_t due = static_cast<uint64_t>((NowNs() - start) / 1000) * static_cast<uint64_t>(pps) / 1000000;
    for (; *sent < due; ++*sent) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      size_t n = 1 + x % sizeof junk;
      for (size_t i = 0; i < n; ++i) junk[i] = static_cast<uint8_t>(x >> (i % 8 * 8)) ^ static_cast<uint8_t>(i);
      sendto(sock, junk, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  close(sock);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (a == "--version") {
      printf("quorbistane-relay-load %s\n", TU_VERSION_STRING);
      return 0;
    }
    if (a == "--kill") {
      o.kill = true;
      continue;
    }
    if (i + 1 >= argc) return Refuse("unknown argument or missing value", a);
    const char* v = argv[++i];
    if (a == "--rooms") {
      if (!Number(v, 2000, &o.rooms) || o.rooms < 1) return Refuse("--rooms must be 1 to 2000, not", v);
    } else if (a == "--seconds") {
      if (!Number(v, 600, &o.seconds) || o.seconds < 1) return Refuse("--seconds must be 1 to 600, not", v);
    } else if (a == "--flood") {
      if (!Number(v, 100000, &o.flood)) return Refuse("--flood must be 0 to 100000, not", v);
    } else if (a == "--batch-us") {
      if (!Number(v, 10000, &o.batchUs)) return Refuse("--batch-us must be 0 to 10000, not", v);
    } else if (a == "--relay") {
      o.relay = v;
    } else {
      return Refuse("unknown argument", a);
    }
  }
  if (o.rooms == 0 || o.seconds == 0) return Refuse("--rooms and --seconds are needed");
  if (o.relay.empty()) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("./x");
    o.relay = dir.substr(0, dir.rfind('/') + 1) + "quorbistane-relay";
  }
  std::string error;
  if (!net::StartEnet(&error)) {
    fprintf(stderr, "quorbistane-relay-load: %s\n", error.c_str());
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);
  Child relay = StartRelay(o);
  if (relay.port == 0) {
    fprintf(stderr, "quorbistane-relay-load: %s did not start\n", o.relay.c_str());
    if (relay.pid > 0) kill(relay.pid, SIGKILL), waitpid(relay.pid, nullptr, 0);
    return 1;
  }
  ENetAddress to;
  enet_address_set_host_ip(&to, "127.0.0.1");
  to.port = static_cast<enet_uint16>(relay.port);

  std::vector<Pair> pairs(static_cast<size_t>(o.rooms));
  int epfd = epoll_create1(EPOLL_CLOEXEC);
  Stats stats;
  stats.countFromNs = INT64_MAX;
  for (size_t i = 0; i < pairs.size(); ++i) {
    ENetAddress at;
    std::string ip = "127.1." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1);
    enet_address_set_host_ip(&at, ip.c_str());
    at.port = 0;
    pairs[i].host = enet_host_create(&at, 2, 2, 0, 0);
    if (!pairs[i].host) {
      fprintf(stderr, "quorbistane-relay-load: cannot open a UDP socket on %s\n", ip.c_str());
      kill(relay.pid, SIGKILL);
      return 1;
    }
    pairs[i].peer[0] = enet_host_connect(pairs[i].host, &to, 2, 0);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = i;
    epoll_ctl(epfd, EPOLL_CTL_ADD, pairs[i].host->socket, &ev);
  }

  // Every room opened and joined, within ten seconds.
  auto paired = [&] {
    size_t n = 0;
    for (const Pair& p : pairs) n += p.paired[0] && p.paired[1];
    return n;
  };
  for (auto deadline = Clock::now() + std::chrono::seconds(10); paired() < pairs.size() && Clock::now() < deadline;) {
    for (Pair& p : pairs) Service(p, to, &stats);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  size_t pairedRooms = paired();

  std::atomic<bool> stopFlood{false};
  uint64_t floodSent = 0;
  std::thread flood;
  if (o.flood > 0) flood = std::thread(Flood, o.flood, relay.port, &stopFlood, &floodSent);

  int64_t start = NowNs(), period = 1000000000LL / kRate;
  stats.countFromNs = start + 1000000000LL;
  int64_t end = start + static_cast<int64_t>(o.seconds) * 1000000000LL;
  for (size_t i = 0; i < pairs.size(); ++i)
    for (int side = 0; side < 2; ++side)
      pairs[i].nextSendNs[side] = start + static_cast<int64_t>((i * 2 + side) * 7919u % 1000u) * period / 1000;
  Cpu cpuStart = CpuSeconds(relay.pid);
  int64_t lastFullNs = start;
  std::vector<epoll_event> ready(256);
  uint8_t payload[kPayload] = {5};
  while (NowNs() < end) {
    int64_t now = NowNs(), next = end;
    for (Pair& p : pairs) {
      bool sent = false;
      for (int side = 0; side < 2; ++side) {
        if (!p.paired[side]) continue;
        if (p.nextSendNs[side] <= now) {
          std::memcpy(payload + 1, &now, 8);
          std::memcpy(payload + 9, &p.seq[side], 4);
          ++p.seq[side];
          ENetPacket* packet = enet_packet_create(payload, sizeof payload, 0);
          if (enet_peer_send(p.peer[side], 1, packet) == 0) ++stats.sent;
          else enet_packet_destroy(packet);
          p.nextSendNs[side] += period;
          sent = true;
        }
        next = std::min(next, p.nextSendNs[side]);
      }
      if (sent) enet_host_flush(p.host);
    }
    // Rounded up: a send a little late costs nothing (its time is taken when it goes), a busy
    // loop here would take the relay's core.
    int waitMs = next > NowNs() ? 1 : 0;
    int got = epoll_wait(epfd, ready.data(), static_cast<int>(ready.size()), waitMs);
    for (int k = 0; k < got; ++k) Service(pairs[ready[k].data.u64], to, &stats);
    if (NowNs() - lastFullNs > 100000000) {  // ENet's own timers: pings, acknowledgements
      lastFullNs = NowNs();
      for (Pair& p : pairs) Service(p, to, &stats);
    }
  }
  Cpu cpuEnd = CpuSeconds(relay.pid);
  double user = cpuEnd.user - cpuStart.user, system = cpuEnd.system - cpuStart.system, cpu = user + system;
  double wall = static_cast<double>(NowNs() - start) / 1e9;
  long rss = MemoryKb(relay.pid, "VmRSS:"), hwm = MemoryKb(relay.pid, "VmHWM:");
  stopFlood = true;
  if (flood.joinable()) flood.join();

  // The relay's stop: every room is told, within a moment.
  auto stopAt = Clock::now();
  kill(relay.pid, o.kill ? SIGKILL : SIGTERM);
  size_t told = 0;
  while (Clock::now() - stopAt < std::chrono::seconds(o.kill ? 15 : 3) && told < pairs.size()) {
    for (Pair& p : pairs) Service(p, to, &stats);
    told = 0;
    for (const Pair& p : pairs) told += o.kill ? p.gone[0] && p.gone[1] : p.stopping[0] && p.stopping[1];
    std::this_thread::sleep_for(std::chrono::milliseconds(o.kill ? 10 : 1));
  }
  double toldMs = std::chrono::duration<double, std::milli>(Clock::now() - stopAt).count();
  int status = 0;
  waitpid(relay.pid, &status, 0);
  std::string stopped;
  {
    std::ifstream f(relay.errPath);
    for (std::string line; std::getline(f, line);)
      if (line.find("stopped:") != std::string::npos) stopped = line;
    unlink(relay.errPath.c_str());
  }
  for (Pair& p : pairs) enet_host_destroy(p.host);
  close(epfd);

  std::sort(stats.delayUs.begin(), stats.delayUs.end());
  printf("rooms %d paired %zu seconds %.1f flood %d/s (sent %llu)\n", o.rooms, pairedRooms, wall, o.flood,
         static_cast<unsigned long long>(floodSent));
  printf("datagrams sent %llu received %llu (%.2f %% lost)\n", static_cast<unsigned long long>(stats.sent),
         static_cast<unsigned long long>(stats.received),
         stats.sent ? 100.0 * (1.0 - static_cast<double>(stats.received) / static_cast<double>(stats.sent)) : 0.0);
  printf("one-way delay through the relay: p50 %.3f ms p99 %.3f ms max %.3f ms (%zu samples)\n",
         Percentile(stats.delayUs, 0.5), Percentile(stats.delayUs, 0.99), Percentile(stats.delayUs, 1.0),
         stats.delayUs.size());
  printf("relay cpu %.1f %% of one core (%.2f s user %.2f s system in %.1f s); memory rss %.1f MB peak %.1f MB\n",
         100.0 * cpu / wall, user, system, wall, rss / 1024.0, hwm / 1024.0);
  if (o.kill)
    printf("relay killed: %zu of %zu rooms saw it gone on both sides in %.0f ms\n", told, pairs.size(), toldMs);
  else
    printf("relay stop: %zu of %zu rooms told \"relay stopping\" in %.0f ms; exit %d\n", told, pairs.size(), toldMs,
           WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  printf("relay says: %s\n", stopped.c_str());
  bool ended = o.kill ? told == pairs.size() : WIFEXITED(status) && WEXITSTATUS(status) == 0;
  bool ok = pairedRooms == pairs.size() && stats.received > 0 && ended;
  return ok ? 0 : 1;
}
