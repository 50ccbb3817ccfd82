#include "platform/files.h"
#include "platform/seams.h"

#include <dirent.h>
#include <errno.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tu::platform {
namespace {
std::string exeOverride;
}

std::string ExeFolder() {
  if (!exeOverride.empty()) return exeOverride;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  buf[n] = 0;
  std::string path(buf);
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

void SetExeFolderOverride(const std::string& folder) {
  exeOverride = folder;
  if (!exeOverride.empty() && exeOverride.back() != '/') exeOverride += '/';
}

std::string UserBaseFolder(const char* xdg, const char* home, const std::string& accountHome,
                           const char* below) {
  // Only absolute paths count, as the base directory rules ask: a relative one would lead
  // somewhere else from every working folder.
  if (xdg && xdg[0] == '/') return xdg;
  if (home && home[0] == '/') return home + std::string(below);
  if (accountHome.size() > 0 && accountHome[0] == '/') return accountHome + below;
  return "";
}

std::string AccountHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  return found && found->pw_dir ? found->pw_dir : "";
}

namespace {
// The folder from $`variable`, else $HOME/`below`, else the account's home/`below`: the
// account's entry is read only when the environment gives no home.
std::string BaseFolder(const char* variable, const char* below) {
  const char* xdg = getenv(variable);
  const char* home = getenv("HOME");
  const bool fromEnvironment = (xdg && xdg[0] == '/') || (home && home[0] == '/');
  return UserBaseFolder(xdg, home, fromEnvironment ? std::string() : AccountHome(), below);
}
}  // namespace

std::string ConfigFolder() { return BaseFolder("XDG_CONFIG_HOME", "/.config"); }

std::string DataFolder() { return BaseFolder("XDG_DATA_HOME", "/.local/share"); }

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  // "*.EXT" matches names ending in ".EXT" in any case; "*" or "*.*" matches every file.
  std::string suffix;
  if (pattern.size() > 1 && pattern[0] == '*' && pattern != "*.*") suffix = pattern.substr(1);
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (e->d_type == DT_DIR) continue;
    if (!suffix.empty() &&
        (name.size() < suffix.size() ||
         strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) != 0))
      continue;
    names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

LocalDateTime Now() {
  time_t t = time(nullptr);
  struct tm tmv {};
  localtime_r(&t, &tmv);
  return {tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_wday,
          tmv.tm_hour,        tmv.tm_min,     tmv.tm_sec};
}

uint64_t DiskFreeBytes(const std::string& path) {
  struct statvfs s {};
  if (statvfs(path.c_str(), &s) != 0) return 0;
  return static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
}

uint64_t FreeMemoryBytes() {
  struct sysinfo si {};
  if (sysinfo(&si) != 0) return 0;
  return static_cast<uint64_t>(si.freeram + si.bufferram) * si.mem_unit;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

FileCheck CheckFile(const std::string& path) {
  FileCheck c;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    c.missing = errno == ENOENT || errno == ENOTDIR;
    c.problem = c.missing ? "file not found" : strerror(errno);
    return c;
  }
  if (S_ISDIR(st.st_mode)) {
    c.problem = "is a folder, not a file";
    return c;
  }
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    c.problem = strerror(errno);
    return c;
  }
  c.headBytes = fread(c.head, 1, sizeof c.head, f);
  bool failed = ferror(f) != 0;
  int err = errno;
  fclose(f);
  if (failed)
    c.problem = strerror(err);
  else if (c.headBytes == 0)
    c.problem = "empty file";
  return c;
}

}  // namespace tu::platform
