// A UDP relay on 127.0.0.1 that makes a bad network on one machine: every datagram from the
// first client is passed to 127.0.0.1:TO and every answer back to that client, each one delayed,
// and lost, duplicated or held back by chance from its own seeded generator, so a run can be
// repeated. Datagrams from any other address are dropped and counted. One thread, poll(), and a
// fixed queue of datagrams waiting for their time (a datagram that finds it full is dropped and
// counted).
//
//   quorbistane-udp-proxy --listen PORT --to PORT [--delay MS] [--jitter MS] [--loss P] [--dup P]
//                         [--reorder P] [--seed N] [--seconds N] [--stats] [--help] [--version]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <tu/version.h>

#include "base/text.h"

namespace {

constexpr size_t kMaxDatagram = 1500;
constexpr int kQueueSize = 1024;

const char kUsage[] =
    "usage: quorbistane-udp-proxy --listen PORT --to PORT [--delay MS] [--jitter MS] [--loss P] [--dup P]\n"
    "                             [--reorder P] [--seed N] [--seconds N] [--stats] [--help] [--version]\n";
const char kHelp[] =
    "Relays UDP datagrams on 127.0.0.1 only: it listens on PORT (0: any free one) and prints\n"
    "\"listening on 127.0.0.1:N\"; the first address that sends to it is the client, whose datagrams\n"
    "go to 127.0.0.1:TO and whose answers come back to it. Datagrams from any other address are\n"
    "dropped and counted. Each way, every datagram (up to 1500 bytes) is:\n"
    "  --delay MS     delayed by MS (0 to 10000, default 0)\n"
    "  --jitter MS    plus or minus up to MS, uniform (0 to 10000, default 0)\n"
    "  --loss P       lost with the chance P (0 to 1, default 0)\n"
    "  --dup P        sent twice with the chance P, each copy with its own delay (default 0)\n"
    "  --reorder P    held back with the chance P by the delay plus the jitter plus 10 ms, so the\n"
    "                 datagrams after it pass it (default 0)\n"
    "  --seed N       the seed of those chances (0 to 18446744073709551615, default 1)\n"
    "  --seconds N    run for N seconds (1 to 3600, default 60); SIGINT or SIGTERM end it sooner\n"
    "  --stats        print what was forwarded, dropped, duplicated, reordered and refused at the end\n"
    "At most 1024 datagrams wait at a time; one more is dropped and counted.\n"
    "Exit status: 0 the time ran out or a signal ended it; 1 a socket could not be opened or bound;\n"
    "2 a wrong command line.\n";

// A signal sets the flag and wakes poll() through the pipe, also when it comes between the
// flag's test and the call.
volatile sig_atomic_t gStop = 0;
int gWake[2] = {-1, -1};
void OnSignal(int) {
  gStop = 1;
  int saved = errno;
  char byte = 1;
  ssize_t written = write(gWake[1], &byte, 1);  // when full, a wake is already waiting
  (void)written;
  errno = saved;
}

// The chances: splitmix64, the same sequence for a seed on every machine.
class Chances {
 public:
  explicit Chances(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double p) { return p > 0 && Unit() < p; }
  // Uniform in [-span, +span].
  int64_t Spread(uint32_t span) {
    return span == 0 ? 0 : static_cast<int64_t>(Next() % (2ULL * span + 1)) - static_cast<int64_t>(span);
  }

 private:
  uint64_t state_;
};

struct Options {
  int listen = -1, to = -1;
  uint32_t delayMs = 0, jitterMs = 0;
  double loss = 0, dup = 0, reorder = 0;
  uint64_t seed = 1;
  int seconds = 60;
  bool stats = false;
};

struct Counts {
  uint64_t forwarded = 0, dropped = 0, duplicated = 0, reordered = 0, strangers = 0;
  uint64_t queueFull = 0, tooLong = 0;
};

// A datagram waiting for its time; `up` is towards 127.0.0.1:TO.
struct Waiting {
  bool used = false, up = false;
  int64_t dueUs = 0;
  uint64_t order = 0;  // equal times leave in the order they came
  size_t size = 0;
  uint8_t data[kMaxDatagram];
};

Waiting gQueue[kQueueSize];  // 1.5 MB: off the stack

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool ParseUnsigned(const char* text, unsigned long long max, unsigned long long* out) {
  if (*text < '0' || *text > '9') return false;  // no sign, no spaces
  char* end = nullptr;
  errno = 0;
  unsigned long long v = strtoull(text, &end, 10);
  if (errno != 0 || *end != 0 || v > max) return false;
  *out = v;
  return true;
}

bool ParseChance(const char* text, double* out) {
  if ((*text < '0' || *text > '9') && *text != '.') return false;
  char* end = nullptr;
  errno = 0;
  double v = strtod(text, &end);
  if (errno != 0 || *end != 0 || !(v >= 0.0 && v <= 1.0)) return false;
  *out = v;
  return true;
}

// A port, or 127.0.0.1:PORT; any other address is refused by the caller's message.
bool ParsePort(const char* text, unsigned long long min, int* out, bool* otherAddress) {
  std::string s = text;
  size_t colon = s.rfind(':');
  if (colon != std::string::npos) {
    std::string host = s.substr(0, colon);
    if (host != "127.0.0.1") {
      *otherAddress = true;
      return false;
    }
    s = s.substr(colon + 1);
  }
  unsigned long long v = 0;
  if (!ParseUnsigned(s.c_str(), 65535, &v) || v < min) return false;
  *out = static_cast<int>(v);
  return true;
}

int Refuse(const std::string& why, const std::string& arg) {
  if (arg.empty())
    fprintf(stderr, "quorbistane-udp-proxy: %s\n%s", why.c_str(), kUsage);
  else
    fprintf(stderr, "quorbistane-udp-proxy: %s '%s'\n%s", why.c_str(), tu::Printable(arg).c_str(), kUsage);
  return 2;
}

// 0 when the command line is good, else the exit code (help and version give 0 through `done`).
int ParseArgs(int argc, char** argv, Options* o, bool* done) {
  bool seen[10] = {};
  static const char* const kValued[] = {"--listen", "--to",      "--delay", "--jitter", "--loss",
                                        "--dup",    "--reorder", "--seed",  "--seconds"};
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      printf("%s%s", kUsage, kHelp);
      *done = true;
      return 0;
    }
    if (a == "--version") {
      printf("quorbistane-udp-proxy %s\n", TU_VERSION_STRING);
      *done = true;
      return 0;
    }
    if (a == "--stats") {
      o->stats = true;
      continue;
    }
    int which = -1;
    for (int k = 0; k < 9; ++k)
      if (a == kValued[k]) which = k;
    if (which < 0) return Refuse("unknown argument", a);
    if (seen[which]) return Refuse(a + " is given twice", "");
    seen[which] = true;
    if (i + 1 >= argc) return Refuse(a + " needs a value", "");
    const char* v = argv[++i];
    unsigned long long n = 0;
    bool ok = true, otherAddress = false;
    const char* want = "";
    switch (which) {
      case 0:
        ok = ParsePort(v, 0, &o->listen, &otherAddress);
        want = "--listen must be a port from 0 to 65535, not";
        break;
      case 1:
        ok = ParsePort(v, 1, &o->to, &otherAddress);
        want = "--to must be a port from 1 to 65535, not";
        break;
      case 2:
      case 3:
        ok = ParseUnsigned(v, 10000, &n);
        (which == 2 ? o->delayMs : o->jitterMs) = static_cast<uint32_t>(n);
        want = which == 2 ? "--delay must be a number of ms from 0 to 10000, not"
                          : "--jitter must be a number of ms from 0 to 10000, not";
        break;
      case 4:
        ok = ParseChance(v, &o->loss);
        want = "--loss must be a chance from 0 to 1, not";
        break;
      case 5:
        ok = ParseChance(v, &o->dup);
        want = "--dup must be a chance from 0 to 1, not";
        break;
      case 6:
        ok = ParseChance(v, &o->reorder);
        want = "--reorder must be a chance from 0 to 1, not";
        break;
      case 7:
        ok = ParseUnsigned(v, UINT64_MAX, &n);
        o->seed = n;
        want = "--seed must be a number from 0 to 18446744073709551615, not";
        break;
      default:
        ok = ParseUnsigned(v, 3600, &n) && n >= 1;
        o->seconds = static_cast<int>(n);
        want = "--seconds must be a number from 1 to 3600, not";
        break;
    }
    if (otherAddress) return Refuse(a + " takes a port on 127.0.0.1 only, not", v);
    if (!ok) return Refuse(want, v);
  }
  if (!seen[0]) return Refuse("--listen PORT is needed", "");
  if (!seen[1]) return Refuse("--to PORT is needed", "");
  if (o->listen == o->to) return Refuse("--listen and --to must be different ports", "");
  return 0;
}

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return a;
}

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

class Relay {
 public:
  Relay(const Options& o) : o_(o), chances_(o.seed) {}
  ~Relay() {
    if (front_ >= 0) close(front_);
    if (back_ >= 0) close(back_);
  }

  // Opens both sockets; false with a message.
  bool Open() {
    front_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    back_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (front_ < 0 || back_ < 0) return Fail("cannot open a UDP socket");
    sockaddr_in at = Loopback(o_.listen);
    if (bind(front_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0)
      return Fail(("cannot listen on 127.0.0.1:" + std::to_string(o_.listen)).c_str());
    socklen_t len = sizeof at;
    getsockname(front_, reinterpret_cast<sockaddr*>(&at), &len);
    port_ = ntohs(at.sin_port);
    if (port_ == o_.to) {
      fprintf(stderr, "quorbistane-udp-proxy: the port picked, %d, is the --to port\n", port_);
      return false;
    }
    // The server side: bound to loopback, and connected, so only 127.0.0.1:TO is heard.
    sockaddr_in any = Loopback(0), server = Loopback(o_.to);
    if (bind(back_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
        connect(back_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0)
      return Fail(("cannot open a socket towards 127.0.0.1:" + std::to_string(o_.to)).c_str());
    return true;
  }

  int Port() const { return port_; }

  void Run() {
    int64_t endUs = NowUs() + static_cast<int64_t>(o_.seconds) * 1000000;
    while (!gStop) {
      int64_t now = NowUs();
      SendDue(now);
      if (now >= endUs) break;
      int64_t wakeUs = endUs;
      for (const Waiting& w : gQueue)
        if (w.used && w.dueUs < wakeUs) wakeUs = w.dueUs;
      // Rounded up, so a datagram is never sent before its time.
      int timeoutMs = static_cast<int>((wakeUs - now + 999) / 1000);
      pollfd fds[3] = {{front_, POLLIN, 0}, {back_, POLLIN, 0}, {gWake[0], POLLIN, 0}};
      int r = poll(fds, 3, timeoutMs);
      if (r < 0) continue;  // a signal: the loop's test sees it
      if (fds[0].revents) ReadFront();
      if (fds[1].revents) ReadBack();
    }
  }

  void PrintStats() const {
    printf("forwarded %llu dropped %llu duplicated %llu reordered %llu strangers %llu queue-full %llu too-long %llu\n",
           static_cast<unsigned long long>(n_.forwarded), static_cast<unsigned long long>(n_.dropped),
           static_cast<unsigned long long>(n_.duplicated), static_cast<unsigned long long>(n_.reordered),
           static_cast<unsigned long long>(n_.strangers), static_cast<unsigned long long>(n_.queueFull),
           static_cast<unsigned long long>(n_.tooLong));
    fflush(stdout);
  }

 private:
  bool Fail(const char* what) {
    fprintf(stderr, "quorbistane-udp-proxy: %s: %s\n", what, strerror(errno));
    return false;
  }

  void ReadFront() {
    uint8_t buf[kMaxDatagram + 1];
    for (;;) {
      sockaddr_in from{};
      socklen_t len = sizeof from;
      ssize_t n = recvfrom(front_, buf, sizeof buf, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0) {
        if (errno == ECONNREFUSED) continue;  // the client was gone for an earlier answer
        return;
      }
      if (!haveClient_) {
        client_ = from;
        haveClient_ = true;
      } else if (!SameAddress(from, client_)) {
        ++n_.strangers;
        continue;
      }
      Take(true, buf, static_cast<size_t>(n));
    }
  }

  void ReadBack() {
    uint8_t buf[kMaxDatagram + 1];
    for (;;) {
      ssize_t n = recv(back_, buf, sizeof buf, MSG_TRUNC);
      if (n < 0) {
        if (errno == ECONNREFUSED) continue;  // the server was not there for an earlier one
        return;
      }
      // Answers before any client has sent have nowhere to go.
      if (!haveClient_) {
        ++n_.strangers;
        continue;
      }
      Take(false, buf, static_cast<size_t>(n));
    }
  }

  // Decides a datagram's fate: lost, or queued once or twice, maybe held back.
  void Take(bool up, const uint8_t* data, size_t size) {
    if (size > kMaxDatagram) {
      ++n_.tooLong;
      return;
    }
    if (chances_.Chance(o_.loss)) {
      ++n_.dropped;
      return;
    }
    int copies = chances_.Chance(o_.dup) ? 2 : 1;
    if (copies == 2) ++n_.duplicated;
    for (int c = 0; c < copies; ++c) {
      int64_t delayMs = static_cast<int64_t>(o_.delayMs) + chances_.Spread(o_.jitterMs);
      if (delayMs < 0) delayMs = 0;
      if (chances_.Chance(o_.reorder)) {
        delayMs += o_.delayMs + o_.jitterMs + 10;
        ++n_.reordered;
      }
      Queue(up, data, size, NowUs() + delayMs * 1000);
    }
  }

  void Queue(bool up, const uint8_t* data, size_t size, int64_t dueUs) {
    for (Waiting& w : gQueue) {
      if (w.used) continue;
      w.used = true;
      w.up = up;
      w.dueUs = dueUs;
      w.order = order_++;
      w.size = size;
      memcpy(w.data, data, size);
      return;
    }
    ++n_.queueFull;
  }

  // Sends every datagram whose time has come, earliest first.
  void SendDue(int64_t now) {
    for (;;) {
      Waiting* next = nullptr;
      for (Waiting& w : gQueue)
        if (w.used && w.dueUs <= now && (!next || w.dueUs < next->dueUs ||
                                         (w.dueUs == next->dueUs && w.order < next->order)))
          next = &w;
      if (!next) return;
      ssize_t sent = next->up ? send(back_, next->data, next->size, 0)
                              : sendto(front_, next->data, next->size, 0, reinterpret_cast<const sockaddr*>(&client_),
                                       sizeof client_);
      // A datagram the kernel would not take is lost, as on a real network.
      if (sent == static_cast<ssize_t>(next->size)) ++n_.forwarded;
      else ++n_.dropped;
      next->used = false;
    }
  }

  Options o_;
  Chances chances_;
  Counts n_;
  int front_ = -1, back_ = -1, port_ = 0;
  bool haveClient_ = false;
  sockaddr_in client_{};
  uint64_t order_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  bool done = false;
  if (int code = ParseArgs(argc, argv, &o, &done)) return code;
  if (done) return 0;

  if (pipe2(gWake, O_NONBLOCK | O_CLOEXEC) != 0) {
    fprintf(stderr, "quorbistane-udp-proxy: cannot open a pipe: %s\n", strerror(errno));
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);  // no SA_RESTART: poll returns at once
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  static Relay relay(o);
  if (!relay.Open()) return 1;
  printf("listening on 127.0.0.1:%d\n", relay.Port());
  fflush(stdout);
  relay.Run();
  if (o.stats) relay.PrintStats();
  return 0;
}
