// The player's replay folder: saving a new replay under a name of its date and mode, pruning
// the oldest, listing and marking replays kept.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <tu/tuSystem.h>

#include "game/ini_file.h"
#include "game/replay.h"

namespace {

namespace fs = std::filesystem;

const char kPlain[] = ".replay";
const char kKept[] = ".kept.replay";
constexpr int kMaxSameName = 1000;  // replays of one second and mode, numbered -2, -3, ...

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Puts the file `from` at `to` unless something is there already (errno EEXIST then). A hard
// link does it in one step; where the file system has none, a look first and a rename.
bool MoveNoReplace(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) == 0) {
    if (unlink(from.c_str()) == 0) return true;
    int e = errno;
    unlink(to.c_str());
    errno = e;
    return false;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) return false;
  if (Exists(to)) {
    errno = EEXIST;
    return false;
  }
  return rename(from.c_str(), to.c_str()) == 0;
}

// "2026-12-09 11:31:08" as "2026-12-09-113108"; whatever is not a digit where one belongs
// becomes 0, so no date can put an odd character in a file name.
std::string DateStem(const std::string& date) {
  static const int kDigits[] = {0, 1, 2, 3, -1, 5, 6, -1, 8, 9, -1, 11, 12, 14, 15, 17, 18};
  std::string out;
  for (int i : kDigits) {
    if (i < 0) {
      out += '-';
      continue;
    }
    char c = static_cast<size_t>(i) < date.size() ? date[static_cast<size_t>(i)] : '0';
    out += c >= '0' && c <= '9' ? c : '0';
  }
  return out;
}

const char* ModeWord(int mode) {
  static const char* const kWords[] = {"one-player", "versus", "computer"};
  return mode >= 0 && mode < 3 ? kWords[mode] : "game";
}

// Orders replay file names by age: the date the name begins with, then the number a replay of
// the same second was given ("-2" is newer than none and older than "-10").
struct AgeKey {
  std::string stem;
  long number = 1;
  std::string name;
  bool operator<(const AgeKey& o) const {
    if (stem != o.stem) return stem < o.stem;
    if (number != o.number) return number < o.number;
    return name < o.name;
  }
};

AgeKey KeyOf(const std::string& name) {
  std::string base = name.substr(0, name.size() - (EndsWith(name, kKept) ? strlen(kKept) : strlen(kPlain)));
  AgeKey k;
  k.name = name;
  k.stem = base.substr(0, 17);
  size_t dash = base.rfind('-');
  if (dash != std::string::npos && dash + 1 < base.size() && base.size() - dash - 1 <= 6 &&
      base.find_first_not_of("0123456789", dash + 1) == std::string::npos)
    k.number = std::stol(base.substr(dash + 1));  // at most 6 digits: always fits
  return k;
}

// The names of the replays in `dir` (ending in "/"), not hidden ones or folders; kept ones
// too when `withKept`. Problems reading the folder are told on standard error.
std::vector<std::string> ReplayNames(const std::string& dir, bool withKept) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(dir, ec), end;
  if (ec) {
    if (ec != std::errc::no_such_file_or_directory)
      fprintf(stderr, "quorbistane: cannot read the replay folder %s: %s\n", dir.c_str(), ec.message().c_str());
    return names;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      fprintf(stderr, "quorbistane: cannot read the replay folder %s: %s\n", dir.c_str(), ec.message().c_str());
      break;
    }
    std::string name = it->path().filename().string();
    std::error_code typeError;
    if (name.empty() || name[0] == '.' || !EndsWith(name, kPlain) || it->is_directory(typeError)) continue;
    if (!withKept && EndsWith(name, kKept)) continue;
    names.push_back(name);
  }
  return names;
}

// Removes the oldest replays that are not kept beyond the newest kReplaysKept; never `spare`,
// the replay just written, whatever its date says.
void Prune(const std::string& dir, const std::string& spare) {
  std::vector<std::string> names = ReplayNames(dir, false);
  if (names.size() <= static_cast<size_t>(kReplaysKept)) return;
  std::vector<AgeKey> keys;
  for (const std::string& n : names) keys.push_back(KeyOf(n));
  std::sort(keys.begin(), keys.end());
  size_t excess = keys.size() - kReplaysKept;
  for (size_t i = 0; i < keys.size() && excess > 0; ++i) {
    if (keys[i].name == spare) continue;
    std::string path = dir + keys[i].name;
    if (unlink(path.c_str()) != 0)
      fprintf(stderr, "quorbistane: cannot remove the old replay %s: %s\n", path.c_str(), strerror(errno));
    --excess;
  }
}

std::string WithSlash(const std::string& folder) { return EndsWith(folder, "/") ? folder : folder + "/"; }

}  // namespace

std::string ReplayFolder() {
  // Named only: the folder is made when the first replay is saved.
  const char* folder = tuSystem::DataFolder("quorbistane");
  if (!folder) {
    fprintf(stderr, "quorbistane: no folder for the replays: they are not kept\n");
    return "";
  }
  return std::string(folder) + "replays/";
}

bool SaveReplay(const std::string& folder, const ReplayHeader& h, const std::string& text, std::string* path,
                std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  if (folder.empty()) return fail("there is no folder for replays: the replay is not saved");
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return fail("cannot make the replay folder " + folder + ": " + ec.message());
  std::string dir = WithSlash(folder);

  // Written whole under a hidden name first, so that a failed write leaves no half replay.
  std::string temp = dir + ".new.replay.XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return fail("cannot write a replay in " + dir + ": " + strerror(errno));
  fchmod(fd, 0644);
  bool ok = WriteAll(fd, CompressReplay(text)) && fsync(fd) == 0;
  int e = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    e = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    return fail("cannot write a replay in " + dir + ": " + strerror(e));
  }

  std::string base = DateStem(h.date) + "-" + ModeWord(h.mode);
  for (int i = 1; i <= kMaxSameName; ++i) {
    std::string name = i == 1 ? base : base + "-" + std::to_string(i);
    // A kept replay of the name would clash once it is no longer kept.
    if (Exists(dir + name + kKept)) continue;
    std::string target = dir + name + kPlain;
    if (MoveNoReplace(temp, target)) {
      if (path) *path = target;
      Prune(dir, name + kPlain);
      return true;
    }
    if (errno != EEXIST) {
      e = errno;
      unlink(temp.c_str());
      return fail("cannot save the replay as " + target + ": " + strerror(e));
    }
  }
  unlink(temp.c_str());
  return fail("cannot save the replay in " + dir + ": " + std::to_string(kMaxSameName) + " replays have the name " +
              base);
}

std::vector<ReplayEntry> ListReplays(const std::string& folder) {
  std::vector<ReplayEntry> list;
  if (folder.empty()) return list;
  std::string dir = WithSlash(folder);
  std::vector<std::string> names = ReplayNames(dir, true);
  std::vector<AgeKey> keys;
  for (const std::string& n : names) keys.push_back(KeyOf(n));
  std::sort(keys.begin(), keys.end());
  for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
    ReplayEntry entry;
    entry.path = dir + k->name;
    Replay r;
    std::string error;
    if (!ReadReplayFile(entry.path, &r, &error)) {
      fprintf(stderr, "quorbistane: %s: left out of the replays\n", error.c_str());
      continue;
    }
    entry.header = std::move(r.header);
    entry.end = r.end;
    entry.kept = EndsWith(k->name, kKept);
    list.push_back(std::move(entry));
  }
  return list;
}

bool KeepReplay(const std::string& path, bool keep, std::string* newPath, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  if (!EndsWith(path, kPlain)) return fail(path + " is not a replay (its name does not end in .replay)");
  if (!Exists(path)) return fail("cannot find " + path + ": " + strerror(errno));
  bool kept = EndsWith(path, kKept);
  if (kept == keep) {
    if (newPath) *newPath = path;
    return true;
  }
  std::string target = keep ? path.substr(0, path.size() - strlen(kPlain)) + kKept
                            : path.substr(0, path.size() - strlen(kKept)) + kPlain;
  if (!MoveNoReplace(path, target)) {
    if (errno == EEXIST) return fail(target + " already exists: " + path + " is left as it is");
    return fail("cannot rename " + path + ": " + strerror(errno));
  }
  if (newPath) *newPath = target;
  return true;
}
