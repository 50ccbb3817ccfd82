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
#include <tu/version.h>

#include "base/text.h"
#include "platform/dialog.h"
#include "platform/seams.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: quorbistane_pack pictures|sounds PACK FOLDER [--append]\n"
    "       quorbistane_pack --help | --version\n";
const char kHelp[] =
    "  pictures  every *.bmp of FOLDER into the picture pack PACK (16-bit 5-5-5 entries)\n"
    "  sounds    every *.wav of FOLDER into the sound pack PACK (format block and samples)\n"
    "  --append  add to an existing pack instead of starting it afresh\n"
    "Entries are stored under their file names in upper case. A picture that cannot be read is\n"
    "named on standard error and left out; sounds that cannot be read are left out quietly.\n"
    "Exit status: 0 the pack was written and nothing was reported; 1 a picture was left out or\n"
    "nothing was written; 2 a wrong command line.\n";

int Usage(const char* why) {
  if (why) fprintf(stderr, "quorbistane_pack: %s\n", why);
  fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (strcmp(argv[i], "--version") == 0) {
      printf("quorbistane_pack %s\n", TU_VERSION_STRING);
      return 0;
    }
  }
  if (argc < 4 || argc > 5) return Usage(argc < 4 ? "a kind, a pack and a folder are needed" : "too many arguments");
  std::string kind = argv[1];
  bool append = argc == 5 && strcmp(argv[4], "--append") == 0;
  if (kind != "pictures" && kind != "sounds")
    return Usage(("the kind is pictures or sounds, not '" + tu::Printable(kind) + "'").c_str());
  if (argc == 5 && !append) return Usage(("unknown argument '" + tu::Printable(argv[4]) + "'").c_str());

  std::error_code ec;
  fs::path folder = fs::absolute(argv[3], ec);
  if (ec || !fs::is_directory(folder)) {
    fprintf(stderr, "quorbistane_pack: %s is not a folder\n", tu::Printable(argv[3]).c_str());
    return 1;
  }
  fs::path pack = fs::absolute(argv[2], ec);
  if (ec || fs::is_directory(pack) || !fs::is_directory(pack.parent_path())) {
    fprintf(stderr, "quorbistane_pack: %s cannot be a pack file\n", tu::Printable(argv[2]).c_str());
    return 1;
  }
  // The library names files relative to the program folder: make that the source folder, so
  // the bitmaps' names stay short, and name the pack relative to it.
  tu::platform::SetHeadless(true);
  tu::platform::SetDesktopDepth(32);
  tuSystem::Init();
  // Every report of the library is written to standard error under this name (each picture
  // left out with its file name and why).
  tu::platform::SetProgramName("quorbistane_pack");
  folder = fs::canonical(folder);
  tu::platform::SetExeFolderOverride(folder.string() + "/");
  std::string packName = fs::relative(pack, folder, ec).string();
  if (ec || packName.empty()) packName = pack.string();

  int ok = kind == "pictures" ? tuDraw::Convert(packName.c_str(), "", append ? 0 : 1)
                              : tuSound::MakePack(packName.c_str(), "", append ? 0 : 1);
  if (!ok) return 1;
  if (!fs::exists(pack)) {
    fprintf(stderr, "quorbistane_pack: nothing was written to %s\n", pack.string().c_str());
    return 1;
  }
  printf("%s: %ju bytes\n", pack.string().c_str(), static_cast<uintmax_t>(fs::file_size(pack, ec)));
  return tu::platform::RecordedBoxes().empty() ? 0 : 1;
}
