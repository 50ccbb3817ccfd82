#pragma once
// Shared set-up of the fuzz targets: the library headless, reading files from a private
// folder that each input is written to.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace fuzz {

// The folder the library treats as the program's folder, made once per process.
inline const std::string& Folder() {
  static const std::string folder = [] {
    char tmpl[] = "/tmp/qfuzzXXXXXX";
    std::string f = mkdtemp(tmpl) ? tmpl : "/tmp";
    return f + "/";
  }();
  return folder;
}

// Headless library with the display and the sound device up, once per process.
inline void StartLibrary() {
  static bool started = [] {
    tu::platform::SetHeadless(true);
    tu::platform::SetExeFolderOverride(Folder());
    tuSystem::Init();
    tuDraw::Screen(640, 480, 1);
    return true;
  }();
  (void)started;
}

// Writes the input as `name` in the folder; false when it cannot be written.
inline bool WriteInput(const char* name, const uint8_t* data, size_t size) {
  std::string path = Folder() + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok;
}

// Error boxes are recorded in headless mode; keep the record from growing.
inline void ForgetBoxes() { tu::platform::ClearRecordedBoxes(); }

}  // namespace fuzz
