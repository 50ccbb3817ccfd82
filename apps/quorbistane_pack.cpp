// Builds picture and sound packs from folders: the library's own pack writers, run headless on
// a 32-bit desktop (which the picture converter needs).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include "platform/seams.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  fprintf(stderr,
          "usage: quorbistane_pack pictures|sounds PACK FOLDER [--append]\n"
          "  pictures  every *.bmp of FOLDER into the picture pack PACK\n"
          "  sounds    every *.wav of FOLDER into the sound pack PACK\n"
          "  --append  add to an existing pack instead of starting it afresh\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) return Usage();
  std::string kind = argv[1];
  bool append = argc == 5 && strcmp(argv[4], "--append") == 0;
  if ((kind != "pictures" && kind != "sounds") || (argc == 5 && !append)) return Usage();

  std::error_code ec;
  fs::path folder = fs::absolute(argv[3], ec);
  if (ec || !fs::is_directory(folder)) {
    fprintf(stderr, "quorbistane_pack: %s is not a folder\n", argv[3]);
    return 1;
  }
  fs::path pack = fs::absolute(argv[2], ec);
  if (ec || fs::is_directory(pack) || !fs::is_directory(pack.parent_path())) {
    fprintf(stderr, "quorbistane_pack: %s cannot be a pack file\n", argv[2]);
    return 1;
  }
  // The library names files relative to the program folder: make that the source folder, so
  // the bitmaps' names stay short, and name the pack relative to it.
  tu::platform::SetHeadless(true);
  tu::platform::SetDesktopDepth(32);
  tuSystem::Init();
  folder = fs::canonical(folder);
  tu::platform::SetExeFolderOverride(folder.string() + "/");
  std::string packName = fs::relative(pack, folder, ec).string();
  if (ec || packName.empty()) packName = pack.string();

  int ok = kind == "pictures" ? tuDraw::Convert(packName.c_str(), "", append ? 0 : 1)
                              : tuSound::MakePack(packName.c_str(), "", append ? 0 : 1);
  for (const tu::platform::RecordedBox& box : tu::platform::RecordedBoxes())
    fprintf(stderr, "quorbistane_pack: %s\n", box.text.c_str());
  if (!ok) return 1;
  if (!fs::exists(pack)) {
    fprintf(stderr, "quorbistane_pack: nothing was written to %s\n", pack.string().c_str());
    return 1;
  }
  printf("%s: %ju bytes\n", pack.string().c_str(), static_cast<uintmax_t>(fs::file_size(pack, ec)));
  return tu::platform::RecordedBoxes().empty() ? 0 : 1;
}
