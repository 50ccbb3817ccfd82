// system_settings_file: one number kept between runs, in the user's own folder (the program's
// folder may not be writable once installed). Each start counts one more run and shows it.
// Uses: tuSystem::UserFolder, ReadNumber, WriteNumber, Error; tuDraw::PrintFormat.
// Keys: Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include <cstdio>

namespace {

int runs = 0;

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  // $XDG_DATA_HOME/settings-example/ (or ~/.local/share/...), made when missing; null after
  // the error box has said why.
  if (const char* folder = tuSystem::UserFolder("settings-example")) {
    char file[512];
    snprintf(file, sizeof file, "%sruns.txt", folder);
    runs = tuSystem::ReadNumber(file) + 1;  // 0 when the file is not there yet
    tuSystem::WriteNumber(file, runs);      // a name that begins with "/" is used as it is
    if (tuSystem::ReadNumber(file) != runs) tuSystem::Error("settings example", "runs.txt cannot be written", 0);
  }
  tuSystem::sys.sceneNo = 1;
}

void Scene() {
  tuDraw::Clear();
  tuDraw::PrintFormat(200, 230, "This is run number %d", runs);
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Settings file";
  program.loadAssets = LoadAssets;
  program.scenes[1] = Scene;
  return tuSystem::Main(argc, argv, program);
}
