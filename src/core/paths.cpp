#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/files.h"
#include "platform/window.h"

namespace tuSystem {

const char* GetPath(int flag) {
  tu::CopyCut(sys.path, sizeof sys.path, tu::platform::ExeFolder().c_str());
  if (flag == 0 || sys.altRoot[0] == 0) return sys.path;
  // The executable's own folder name, with its trailing "/", becomes the tail below the root.
  int n = static_cast<int>(strlen(sys.path));
  for (int i = n - 2; i >= 0; --i) {
    if (sys.path[i] == '/') {
      tu::CopyCut(sys.tail, sizeof sys.tail, sys.path + i + 1);
      break;
    }
  }
  tu::JoinCut(sys.path, sizeof sys.path, sys.altRoot, "/", sys.tail);
  return sys.path;
}

void SetDataRoot(const char* fileName) {
  const std::string config = tu::platform::ConfigFolder();
  FILE* f = config.empty() ? nullptr : fopen((config + "/" + fileName).c_str(), "r");
  if (!f) {
    sys.altRoot[0] = 0;
    return;
  }
  char line[256] = {};
  if (!fgets(line, sizeof line, f)) line[0] = 0;
  fclose(f);
  size_t n = strlen(line);
  if (n > 0 && line[n - 1] == '\n') line[--n] = 0;
  if (n > 0 && line[n - 1] == '\r') line[--n] = 0;
  if (n > 0 && line[n - 1] == '/') line[--n] = 0;
  tu::CopyCut(sys.altRoot, sizeof sys.altRoot, line);
}

namespace {

// `base`/`name` as an absolute folder path ending in "/" in `out`; made on disk when `make` is
// set. `name` is one folder name of its own: no separators, nothing that climbs out of `base`.
// Null after a report (also when there is no home, so that the folder never lands wherever the
// program was started from).
const char* NamedFolder(const char* context, const std::string& base, const char* name, char* out,
                        size_t size, bool make) {
  out[0] = 0;
  if (!name || !name[0] || strchr(name, '/') || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
    Error(context, "フォルダ名が正しくありません", 0);
    return nullptr;
  }
  if (base.empty()) {
    Error(context, "ホームフォルダが見つかりません（HOME が設定されていません）", 0);
    return nullptr;
  }
  std::string path = base + "/" + name;
  if (path.size() + 2 > size) {
    Error(context, "フォルダ名が長すぎます", 0);
    return nullptr;
  }
  if (make && !tu::platform::MakeFolders(path)) {
    Error(context, "フォルダを作成できません", 0);
    return nullptr;
  }
  tu::JoinCut(out, size, path.c_str(), "/", "");
  return out;
}

}  // namespace

const char* UserFolder(const char* name) {
  return NamedFolder("tuSystem::UserFolder", tu::platform::DataFolder(), name, sys.userFolder,
                     sizeof sys.userFolder, true);
}

const char* ConfigFolder(const char* name) {
  static char folder[256];
  return NamedFolder("tuSystem::ConfigFolder", tu::platform::ConfigFolder(), name, folder, sizeof folder,
                     false);
}

const char* DataFolder(const char* name) {
  static char folder[256];
  return NamedFolder("tuSystem::DataFolder", tu::platform::DataFolder(), name, folder, sizeof folder, false);
}

void WriteNumber(const char* fileName, int value) {
  char name[512];
  tu::JoinCut(name, sizeof name, fileName && fileName[0] == '/' ? "" : GetPath(1), fileName, "");
  FILE* f = fopen(name, "w");
  if (!f) return;
  fprintf(f, "%d", value);
  fclose(f);
}

int ReadNumber(const char* fileName) {
  char name[512];
  tu::JoinCut(name, sizeof name, fileName && fileName[0] == '/' ? "" : GetPath(1), fileName, "");
  FILE* f = fopen(name, "r");
  if (!f) return 0;
  int value = 0;
  if (fscanf(f, "%d", &value) != 1) value = 0;
  fclose(f);
  return value;
}

void GetDate(int* year, int* month, int* day, char* weekday) {
  static const char* const kNames[7] = {"日", "月", "火", "水", "木", "金", "土"};
  tu::platform::LocalDateTime t = tu::platform::Now();
  *year = t.year;
  *month = t.month;
  *day = t.day;
  if (weekday) strcpy(weekday, kNames[t.weekday % 7]);
}

void GetTime(int* hour, int* minute, int* second) {
  tu::platform::LocalDateTime t = tu::platform::Now();
  *hour = t.hour;
  *minute = t.minute;
  *second = t.second;
}

int GetDiskFree(char /*drive*/) {
  // One file system tree: the drive is the one holding the program's folder.
  uint64_t bytes = tu::platform::DiskFreeBytes(tu::platform::ExeFolder());
  const uint64_t cap = static_cast<uint64_t>(std::numeric_limits<int>::max());
  return static_cast<int>(bytes > cap ? cap : bytes);
}

uint32_t GetFreeMemory() {
  uint64_t bytes = tu::platform::FreeMemoryBytes();
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

void SetMousePos(int x, int y) { tu::platform::SetGlobalCursorPos(sys.clientX + x, sys.clientY + y); }

const char* GetCommandLine() { return sys.commandLine; }

int GetOsVersion() { return -1; }

int IsWindowed() { return sys.fullScreen == 0 ? 1 : 0; }

void CaptureKeys() { sys.keyCaptureMode = 1; }
void ReleaseKeys() {
  sys.keyCaptureMode = 0;
  sys.heldKey = 0;
}
void WatchKey(int vk) {
  sys.watchedKey = vk;
  sys.watchedKeyReleases = 0;
}
int GetWatchCount() { return sys.watchedKeyReleases; }

}  // namespace tuSystem
