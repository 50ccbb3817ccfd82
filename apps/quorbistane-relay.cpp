// The relay server for online play: players connect out to it, a host is given a room code, a
// joiner gives it, and the relay passes their datagrams between them (see src/net/relay.h).
//
//   quorbistane-relay [--port N] [--bind ADDRESS] [--max-rooms N] [--batch-us N] [--user NAME]
//                     [--help] [--version]
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <tu/version.h>

#include "base/text.h"
#include "net/relay.h"

namespace {

const char kUsage[] =
    "usage: quorbistane-relay [--port N] [--bind ADDRESS] [--max-rooms N] [--batch-us N] [--user NAME]\n"
    "       quorbistane-relay --help | --version\n";
const char kHelp[] =
    "Relays online games between players who cannot reach each other directly. Both connect\n"
    "out to the relay (UDP); a host is given a room code of six letters, a joiner gives that\n"
    "code, and the relay passes the game's datagrams between them without reading them.\n"
    "  --port N        the UDP port (0 to 65535, default 7380; 0: any free one)\n"
    "  --bind ADDRESS  listen on this IPv4 address only (default: every address)\n"
    "  --max-rooms N   rooms open at once (1 to 2000, default 1000)\n"
    "  --batch-us N    take datagrams in batches N microseconds apart (0 to 10000, default\n"
    "                  500): each batch costs a walk over every connection, so a busy relay\n"
    "                  spends less time per room with longer batches, and adds up to N to the delay\n"
    "  --user NAME     started as root: the user it runs as once the port is open (default\n"
    "                  nobody). It needs no privileges; as another user it stays that user.\n"
    "Each address may hold 8 rooms and 32 connections and send 1000 datagrams and 256 KiB a\n"
    "second; what passes those, and anything that is not a game message, is dropped and counted.\n"
    "A host waits 10 minutes for its joiner; a room where nothing is sent for 30 minutes, or\n"
    "whose player is silent for 5 to 10 s (gone), ends; an ended room's code is not given out again\n"
    "for 30 minutes.\n"
    "It prints \"listening on ADDRESS:PORT\" when ready, and one line per room event on standard\n"
    "error. SIGTERM or SIGINT tells every room \"relay stopping\" and ends it.\n"
    "Exit status: 0 stopped by a signal; 1 it could not start; 2 a wrong command line.\n";

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

int Refuse(const std::string& why, const std::string& arg) {
  if (arg.empty())
    fprintf(stderr, "quorbistane-relay: %s\n%s", why.c_str(), kUsage);
  else
    fprintf(stderr, "quorbistane-relay: %s '%s'\n%s", why.c_str(), tu::Printable(arg).c_str(), kUsage);
  return 2;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long* out) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long v = strtoul(text, &end, 10);
  if (errno != 0 || *end != 0 || v > max) return false;
  *out = v;
  return true;
}

// Started as root, becomes `user` (the port is already open); false with a message.
bool DropPrivileges(const std::string& user) {
  if (geteuid() != 0) return true;
  const passwd* pw = getpwnam(user.c_str());
  if (!pw) {
    fprintf(stderr, "quorbistane-relay: started as root, and there is no user '%s' to run as (--user)\n",
            tu::Printable(user).c_str());
    return false;
  }
  if (pw->pw_uid == 0) {
    fprintf(stderr, "quorbistane-relay: will not run as root; --user must name an unprivileged user\n");
    return false;
  }
  if (setgroups(0, nullptr) != 0 || setgid(pw->pw_gid) != 0 || setuid(pw->pw_uid) != 0 || setuid(0) == 0) {
    fprintf(stderr, "quorbistane-relay: cannot become user '%s': %s\n", tu::Printable(user).c_str(), strerror(errno));
    return false;
  }
  fprintf(stderr, "quorbistane-relay: running as user %s\n", tu::Printable(user).c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  net::RelayConfig config;
  std::string user = "nobody";
  bool seen[5] = {};
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (a == "--version") {
      printf("quorbistane-relay %s\n", TU_VERSION_STRING);
      return 0;
    }
    static const char* const kValued[] = {"--port", "--bind", "--max-rooms", "--user", "--batch-us"};
    int which = -1;
    for (int k = 0; k < 5; ++k)
      if (a == kValued[k]) which = k;
    if (which < 0) return Refuse("unknown argument", a);
    if (seen[which]) return Refuse(a + " is given twice", "");
    seen[which] = true;
    if (i + 1 >= argc) return Refuse(a + " needs a value", "");
    const char* v = argv[++i];
    unsigned long n = 0;
    switch (which) {
      case 0:
        if (!ParseNumber(v, 65535, &n)) return Refuse("--port must be a number from 0 to 65535, not", v);
        config.port = static_cast<uint16_t>(n);
        break;
      case 1:
        config.bindAddress = v;
        break;
      case 2:
        if (!ParseNumber(v, 2000, &n) || n < 1) return Refuse("--max-rooms must be a number from 1 to 2000, not", v);
        config.maxRooms = static_cast<int>(n);
        break;
      case 3:
        user = v;
        break;
      default:
        if (!ParseNumber(v, 10000, &n)) return Refuse("--batch-us must be a number from 0 to 10000, not", v);
        config.batchUs = static_cast<uint32_t>(n);
        break;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  net::Relay relay(config);
  std::string error;
  if (!relay.Start(&error)) {
    fprintf(stderr, "quorbistane-relay: %s\n", error.c_str());
    return 1;
  }
  if (!DropPrivileges(user)) return 1;
  printf("listening on %s:%u\n", config.bindAddress.empty() ? "0.0.0.0" : config.bindAddress.c_str(),
         unsigned{relay.Port()});
  fflush(stdout);
  // A signal does not cut ENet's wait short: the wait is kept short instead.
  while (!gStop) relay.Poll(20);
  relay.Stop();
  return 0;
}
