#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Files and system queries.
namespace tu::platform {

// The executable's folder, ending in "/". Tests may override it (platform/seams.h).
std::string ExeFolder();

// The user's configuration folder ($XDG_CONFIG_HOME, else ~/.config) and data folder
// ($XDG_DATA_HOME, else ~/.local/share), without trailing "/". The home is $HOME, else the
// user's account entry. Always absolute: empty when there is no home at all.
std::string ConfigFolder();
std::string DataFolder();
// The rule behind both: `xdg` when it is an absolute path, else `home` + `below`, else
// `accountHome` + `below` (each only when absolute), else empty.
std::string UserBaseFolder(const char* xdg, const char* home, const std::string& accountHome,
                           const char* below);
// The home folder of the user's account entry; empty when there is none.
std::string AccountHome();
// Creates the folder and its missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// File names in `folder` matching a "*.EXT" pattern, case-insensitively, sorted.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

struct LocalDateTime {
  int year, month, day, weekday, hour, minute, second;  // weekday 0 = Sunday
};
LocalDateTime Now();

// Free bytes of the file system holding `path` (0 on failure).
uint64_t DiskFreeBytes(const std::string& path);
// Available physical memory in bytes.
uint64_t FreeMemoryBytes();

// Whole-file read; false when the file cannot be read.
bool ReadFile(const std::string& path, std::vector<uint8_t>& out);

// What stands between a loader and a file, for its report.
struct FileCheck {
  bool missing = false;  // no such file (or folder on the way)
  std::string problem;   // English, empty when the file reads: "file not found", "is a folder",
                         // "empty file", or the system's reason
  uint8_t head[16] = {};  // the file's first bytes, when it reads
  size_t headBytes = 0;
};
FileCheck CheckFile(const std::string& path);

}  // namespace tu::platform
