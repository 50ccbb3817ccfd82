// A load on the relay server: it starts quorbistane-relay as a child on 127.0.0.1 and plays N
// rooms through it, each of two bot players that send 60 input datagrams a second each way,
// each carrying its send time. It measures the time each datagram takes from one bot's send
// to the kernel's taking it in at the other bot (the socket's receive stamp, so the bots' own
// loop is left out), the relay's CPU time and memory, and what it dropped; --flood adds one
// more address that sends garbage datagrams as fast as asked. At the end the relay is stopped
// with SIGTERM and the rooms told "relay stopping" are counted. --bare puts the same traffic
// through a forwarder that does nothing else, for what the kernel alone costs on this machine.
//
//   quorbistane-relay-load --rooms N --seconds S [--flood PPS] [--batch-us N] [--kill] [--bare] [--relay PATH]
#include <arpa/inet.h>
#include <enet/enet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
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
#include "net/relay.h"
#include "net/relay_protocol.h"

namespace {

const char kUsage[] =
    "usage: quorbistane-relay-load --rooms N --seconds S [--flood PPS] [--batch-us N] [--kill] [--bare]\n"
    "                              [--relay PATH]\n";
const char kHelp[] =
    "Starts quorbistane-relay (PATH, default: beside this program) on 127.0.0.1 and plays N rooms\n"
    "(1 to 2000) through it for S seconds (1 to 600), each of two bots on their own address that\n"
    "send 60 input datagrams a second each way. Prints the one-way time through the relay, from the\n"
    "send to the kernel's receive stamp at the other bot (p50, p99, max; the first second left\n"
    "out), the relay's CPU time as a share of one core, its memory, and its drops. --flood PPS\n"
    "adds an address sending PPS garbage datagrams a second (up to 100000). --batch-us N is passed\n"
    "to the relay. --kill ends the relay with SIGKILL instead of SIGTERM and tells how long the\n"
    "players take to see it gone (as the game's relay client does: 4 to 8 s without an answer).\n"
    "--bare sends the same datagrams (plain UDP, no ENet) through a bare forwarder that takes and\n"
    "sends 64 a call in the same batches and does nothing else: the kernel's own cost of the load\n"
    "on this machine, a floor for any relay. Exit status: 0 every room was paired and played; 1\n"
    "not; 2 a wrong command line.\n";

constexpr int kRate = 60;
constexpr size_t kPayload = 24;  // about an Inputs message of a few steps

using Clock = std::chrono::steady_clock;
int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }
// The send times the datagrams carry are on the clock of the kernel's receive stamps.
int64_t StampNs() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}
// When the kernel took in the datagram last read from `socket` (kept once asked for; with
// SO_TIMESTAMPNS on, the kernel would put it in a control message instead).
bool ArrivalNs(int socket, int64_t* ns) {
  timespec t{};
  if (ioctl(socket, SIOCGSTAMPNS, &t) != 0) return false;
  *ns = static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
  return true;
}

struct Options {
  int rooms = 0, seconds = 0, flood = 0, batchUs = -1;
  bool kill = false, bare = false;
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
    std::string batch = std::to_string(o.batchUs);
    std::vector<const char*> args = {o.relay.c_str(), "--bind", "127.0.0.1", "--port", "0", "--max-rooms", maxRooms.c_str()};
    if (o.batchUs >= 0) args.insert(args.end(), {"--batch-us", batch.c_str()});  // else the relay's own
    args.push_back(nullptr);
    execv(o.relay.c_str(), const_cast<char* const*>(args.data()));
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
  int64_t countFromNs = 0;  // on the stamps' clock
  // A game datagram (its type byte, then its send time) taken in by the kernel at `arrivalNs`.
  void Record(const uint8_t* d, size_t n, int64_t arrivalNs) {
    int64_t sentNs = 0;
    if (n < 9) return;
    std::memcpy(&sentNs, d + 1, 8);
    if (sentNs >= countFromNs && arrivalNs >= sentNs) delayUs.push_back(static_cast<uint32_t>((arrivalNs - sentNs) / 1000));
  }
};
Stats* gStats = nullptr;

// Every datagram a bot's host reads passes here first, right after the kernel gave it: its game
// messages are timed by the socket's receive stamp. ENet hands them over later, after the rest
// of the batch is read, which would add the bots' own loop to the time.
int ENET_CALLBACK TimeArrival(ENetHost* host, ENetEvent*) {
  int64_t arrival = 0;
  if (!gStats || !ArrivalNs(host->socket, &arrival)) return 0;
  const uint8_t* d = host->receivedData;
  size_t n = host->receivedDataLength;
  if (n < 2) return 0;
  size_t at = d[0] & (ENET_PROTOCOL_HEADER_FLAG_SENT_TIME >> 8) ? 4 : 2;
  while (at + sizeof(ENetProtocolCommandHeader) <= n) {
    uint8_t command = d[at] & ENET_PROTOCOL_COMMAND_MASK;
    size_t size = enet_protocol_command_size(command), length = 0;
    if (size == 0 || at + size > n) break;
    if (command == ENET_PROTOCOL_COMMAND_SEND_RELIABLE || command == ENET_PROTOCOL_COMMAND_SEND_UNRELIABLE ||
        command == ENET_PROTOCOL_COMMAND_SEND_UNSEQUENCED)  // their length is their header's last field
      length = size_t{d[at + size - 2]} << 8 | d[at + size - 1];
    else if (command == ENET_PROTOCOL_COMMAND_SEND_FRAGMENT || command == ENET_PROTOCOL_COMMAND_SEND_UNRELIABLE_FRAGMENT)
      break;  // never sent here: the bots' datagrams are small
    if (at + size + length > n) break;
    if (length > 0 && d[at + size] < net::kFirstRelayType) gStats->Record(d + at + size, length, arrival);
    at += size + length;
  }
  return 0;
}

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
        ++stats->received;
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


// What went through `who` (the relay, or the bare forwarder), its delay, CPU and memory.
void PrintTraffic(const char* who, Stats* stats, Cpu cpuStart, Cpu cpuEnd, double wall, long rss, long hwm) {
  std::sort(stats->delayUs.begin(), stats->delayUs.end());
  printf("datagrams sent %llu received %llu (%.2f %% lost)\n", static_cast<unsigned long long>(stats->sent),
         static_cast<unsigned long long>(stats->received),
         stats->sent ? 100.0 * (1.0 - static_cast<double>(stats->received) / static_cast<double>(stats->sent)) : 0.0);
  printf("one-way delay through the %s: p50 %.3f ms p99 %.3f ms max %.3f ms (%zu samples)\n", who,
         Percentile(stats->delayUs, 0.5), Percentile(stats->delayUs, 0.99), Percentile(stats->delayUs, 1.0),
         stats->delayUs.size());
  double user = cpuEnd.user - cpuStart.user, system = cpuEnd.system - cpuStart.system;
  printf("%s cpu %.1f %% of one core (%.2f s user %.2f s system in %.1f s); memory rss %.1f MB peak %.1f MB\n", who,
         100.0 * (user + system) / wall, user, system, wall, rss / 1024.0, hwm / 1024.0);
}

// The bare forwarder, a child process: it takes the datagrams on `fd` 64 a call every `batchUs`
// and sends each on to its room's other bot (bot k's partner is k ^ 1, found from the address).
[[noreturn]] void Forward(int fd, const std::vector<sockaddr_in>& bots, int batchUs) {
  constexpr int kBatch = 64;
  static uint8_t data[kBatch][512];
  mmsghdr in[kBatch], out[kBatch];
  iovec inIo[kBatch], outIo[kBatch];
  sockaddr_in from[kBatch];
  for (;;) {
    for (int got = kBatch; got == kBatch;) {
      for (int i = 0; i < kBatch; ++i) {
        inIo[i] = {data[i], sizeof data[i]};
        in[i].msg_hdr = {};
        in[i].msg_hdr.msg_iov = &inIo[i], in[i].msg_hdr.msg_iovlen = 1;
        in[i].msg_hdr.msg_name = &from[i], in[i].msg_hdr.msg_namelen = sizeof from[i];
      }
      got = recvmmsg(fd, in, kBatch, MSG_DONTWAIT, nullptr);
      int n = 0;
      for (int i = 0; i < got; ++i) {
        uint32_t ip = ntohl(from[i].sin_addr.s_addr);
        size_t k = ((ip >> 8) & 255) * 200 + (ip & 255) - 1;
        if (k >= bots.size()) continue;
        outIo[n] = {data[i], in[i].msg_len};
        out[n].msg_hdr = {};
        out[n].msg_hdr.msg_iov = &outIo[n], out[n].msg_hdr.msg_iovlen = 1;
        out[n].msg_hdr.msg_name = const_cast<sockaddr_in*>(&bots[k ^ 1]), out[n].msg_hdr.msg_namelen = sizeof(sockaddr_in);
        ++n;
      }
      if (n > 0) sendmmsg(fd, out, static_cast<unsigned>(n), 0);
    }
    usleep(static_cast<useconds_t>(batchUs));
  }
}

// --bare: the same rooms' traffic as plain datagrams through the bare forwarder.
int RunBare(const Options& o) {
  size_t count = static_cast<size_t>(o.rooms) * 2;
  int forwarder = socket(AF_INET, SOCK_DGRAM, 0), big = 4 << 20;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  setsockopt(forwarder, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  if (forwarder < 0 || bind(forwarder, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      getsockname(forwarder, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    fprintf(stderr, "quorbistane-relay-load: cannot open the forwarder's socket\n");
    return 1;
  }
  std::vector<int> bots(count);
  std::vector<sockaddr_in> addresses(count);
  int epfd = epoll_create1(EPOLL_CLOEXEC);
  for (size_t k = 0; k < count; ++k) {
    sockaddr_in& b = addresses[k];
    b.sin_family = AF_INET;
    b.sin_addr.s_addr = htonl(0x7f030000u | static_cast<uint32_t>(k / 200) << 8 | static_cast<uint32_t>(k % 200 + 1));
    length = sizeof b;
    bots[k] = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (bots[k] < 0 || bind(bots[k], reinterpret_cast<sockaddr*>(&b), sizeof b) != 0 ||
        getsockname(bots[k], reinterpret_cast<sockaddr*>(&b), &length) != 0) {
      fprintf(stderr, "quorbistane-relay-load: cannot open a UDP socket for bot %zu\n", k);
      return 1;
    }
    int64_t unused;
    ArrivalNs(bots[k], &unused);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = k;
    epoll_ctl(epfd, EPOLL_CTL_ADD, bots[k], &ev);
  }
  pid_t child = fork();
  if (child == 0) Forward(forwarder, addresses, o.batchUs < 0 ? static_cast<int>(net::RelayConfig().batchUs) : o.batchUs);
  close(forwarder);

  Stats stats;
  stats.countFromNs = StampNs() + 1000000000LL;
  int64_t start = NowNs(), period = 1000000000LL / kRate, end = start + static_cast<int64_t>(o.seconds) * 1000000000LL;
  std::vector<int64_t> next(count);
  for (size_t k = 0; k < count; ++k) next[k] = start + static_cast<int64_t>(k * 7919u % 1000u) * period / 1000;
  Cpu cpuStart = CpuSeconds(child);
  std::vector<epoll_event> ready(256);
  uint8_t payload[kPayload] = {5};
  while (NowNs() < end) {
    int64_t now = NowNs();
    for (size_t k = 0; k < count; ++k) {
      if (next[k] > now) continue;
      int64_t stamp = StampNs();
      std::memcpy(payload + 1, &stamp, 8);
      if (sendto(bots[k], payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&at), sizeof at) > 0) ++stats.sent;
      next[k] += period;
    }
    int got = epoll_wait(epfd, ready.data(), static_cast<int>(ready.size()), 1);
    for (int i = 0; i < got; ++i) {
      uint8_t d[512];
      int fd = bots[ready[i].data.u64];
      for (ssize_t n; (n = recv(fd, d, sizeof d, 0)) > 0;) {
        int64_t arrival = 0;
        ++stats.received;
        if (ArrivalNs(fd, &arrival)) stats.Record(d, static_cast<size_t>(n), arrival);
      }
    }
  }
  Cpu cpuEnd = CpuSeconds(child);
  double wall = static_cast<double>(NowNs() - start) / 1e9;
  long rss = MemoryKb(child, "VmRSS:"), hwm = MemoryKb(child, "VmHWM:");
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  for (int fd : bots) close(fd);
  close(epfd);
  printf("rooms %d through a bare forwarder, seconds %.1f\n", o.rooms, wall);
  PrintTraffic("bare forwarder", &stats, cpuStart, cpuEnd, wall, rss, hwm);
  return stats.received > 0 && !stats.delayUs.empty() ? 0 : 1;
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
    if (a == "--kill" || a == "--bare") {
      (a == "--kill" ? o.kill : o.bare) = true;
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
  if (o.bare) return RunBare(o);
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
    int64_t unused;
    ArrivalNs(pairs[i].host->socket, &unused);  // the first asking switches the stamps on
    pairs[i].host->intercept = TimeArrival;
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
  stats.countFromNs = StampNs() + 1000000000LL;
  gStats = &stats;
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
          int64_t stamp = StampNs();
          std::memcpy(payload + 1, &stamp, 8);
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

  printf("rooms %d paired %zu seconds %.1f flood %d/s (sent %llu)\n", o.rooms, pairedRooms, wall, o.flood,
         static_cast<unsigned long long>(floodSent));
  PrintTraffic("relay", &stats, cpuStart, cpuEnd, wall, rss, hwm);
  if (o.kill)
    printf("relay killed: %zu of %zu rooms saw it gone on both sides in %.0f ms\n", told, pairs.size(), toldMs);
  else
    printf("relay stop: %zu of %zu rooms told \"relay stopping\" in %.0f ms; exit %d\n", told, pairs.size(), toldMs,
           WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  printf("relay says: %s\n", stopped.c_str());
  bool ended = o.kill ? told == pairs.size() : WIFEXITED(status) && WEXITSTATUS(status) == 0;
  bool ok = pairedRooms == pairs.size() && stats.received > 0 && !stats.delayUs.empty() && ended;
  return ok ? 0 : 1;
}
