#include "platform/instance.h"

#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/seams.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace tu::platform {
namespace {
int lockFd = -1;
int listenFd = -1;
// Headless runs never meet each other or a running game, so they hold the guard without a
// lock file or a socket; with the test seam on they take a real one under a name of their own,
// removed on release and at exit.
bool headlessGuard = false;
bool heldWithoutLock = false;
std::string privateLockPath;

void RemovePrivateLockAtExit() {
  if (!privateLockPath.empty()) unlink(privateLockPath.c_str());
}

// The socket lives in the abstract namespace (nothing to clean up after a crash) under a name
// derived from the lock file, so that separate runtime folders never meet.
socklen_t SocketAddress(const char* name, sockaddr_un* addr) {
  memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  size_t h = std::hash<std::string>{}(InstanceLockPath(name));
  int n = snprintf(addr->sun_path + 1, sizeof addr->sun_path - 1, "quorbistane-%zx", h);
  if (n < 0) n = 0;
  size_t len = 1 + std::min<size_t>(static_cast<size_t>(n), sizeof addr->sun_path - 2);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + len);
}

void AskOtherToRaise(const char* name) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_un addr;
  socklen_t len = SocketAddress(name, &addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0) {
    const char msg[] = "raise\n";
    ssize_t ignored = write(fd, msg, sizeof msg - 1);
    (void)ignored;
  }
  close(fd);
}

void Listen(const char* name) {
  listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd < 0) return;
  sockaddr_un addr;
  socklen_t len = SocketAddress(name, &addr);
  if (bind(listenFd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listenFd, 4) != 0) {
    close(listenFd);
    listenFd = -1;
  }
}
}  // namespace

std::string InstanceLockPath(const char* name) {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + name + ".lock";
  return "/tmp/" + std::string(name) + "-" + std::to_string(getuid()) + ".lock";
}

InstanceResult AcquireInstance(const char* baseName) {
  if (lockFd >= 0 || heldWithoutLock) return InstanceResult::Acquired;
  if (Headless() && !headlessGuard) {
    heldWithoutLock = true;
    return InstanceResult::Acquired;
  }
  std::string own = Headless() ? std::string(baseName) + "-headless-" + std::to_string(getpid()) : baseName;
  const char* name = own.c_str();
  std::string path = InstanceLockPath(name);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    fprintf(stderr, "%s: cannot use the lock file %s (%s); starting without the single-instance guard\n",
            ProgramName(), path.c_str(), strerror(errno));
    return InstanceResult::Unguarded;
  }
  // The lock dies with its process, so a crashed instance never blocks a new start.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    if (err == EWOULDBLOCK) {
      AskOtherToRaise(name);
      return InstanceResult::OtherRunning;
    }
    fprintf(stderr, "%s: cannot lock %s (%s); starting without the single-instance guard\n",
            ProgramName(), path.c_str(), strerror(err));
    return InstanceResult::Unguarded;
  }
  lockFd = fd;
  if (Headless()) {
    static bool removalAtExit = false;
    if (!removalAtExit) removalAtExit = atexit(RemovePrivateLockAtExit) == 0;
    privateLockPath = path;
  }
  Listen(name);
  return InstanceResult::Acquired;
}

void ReleaseInstance() {
  if (listenFd >= 0) close(listenFd);
  listenFd = -1;
  if (lockFd >= 0) {
    if (!privateLockPath.empty()) unlink(privateLockPath.c_str());
    flock(lockFd, LOCK_UN);
    close(lockFd);
  }
  privateLockPath.clear();
  lockFd = -1;
  heldWithoutLock = false;
}

bool InstanceHeld() { return lockFd >= 0 || heldWithoutLock; }

void UseHeadlessInstanceGuard(bool on) { headlessGuard = on; }

bool TakeRaiseRequest() {
  if (listenFd < 0) return false;
  bool asked = false;
  for (;;) {
    int c = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) break;
    asked = true;
    close(c);
  }
  return asked;
}

}  // namespace tu::platform
