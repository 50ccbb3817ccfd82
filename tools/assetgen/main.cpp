// Writes the game's pictures and sounds into a game folder, and review pictures of them.
//   quorbistane_assetgen GAME_FOLDER [--review REVIEW_FOLDER] [--icons ICON_FOLDER]
// The icons go to ICON_FOLDER/hicolor/NxN/apps/quorbistane.png, as an icon theme lays them out.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tu/version.h>

#include "base/text.h"
#include "music.h"
#include "pictures.h"
#include "synth.h"
#include "text.h"

using namespace assetgen;

static const char kUsage[] =
    "usage: quorbistane_assetgen GAME_FOLDER [--review REVIEW_FOLDER] [--icons ICON_FOLDER]\n"
    "       quorbistane_assetgen --help | --version\n";
static const char kHelp[] =
    "Makes the game's pictures (BMP/*.bmp) and sounds (BGM/*.wav, SE/*.wav) in GAME_FOLDER.\n"
    "  --review REVIEW_FOLDER  also a contact sheet of the pictures and a waveform picture of\n"
    "                          each sound, as PNG files\n"
    "  --icons ICON_FOLDER     also the program's icon at 48, 64, 128 and 256 pixels, laid out\n"
    "                          as an icon theme (hicolor/NxN/apps/quorbistane.png)\n"
    "Exit status: 0 every file written; 1 a file or folder could not be made; 2 a wrong\n"
    "command line.\n";

static int Usage(const std::string& why) {
  std::fprintf(stderr, "quorbistane_assetgen: %s\n%s", why.c_str(), kUsage);
  return 2;
}

int main(int argc, char** argv) {
  std::string outDir, reviewDir, iconDir;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quorbistane_assetgen %s\n", TU_VERSION_STRING);
      return 0;
    } else if (std::strcmp(argv[i], "--review") == 0) {
      if (!hasValue) return Usage("--review needs a folder");
      reviewDir = argv[++i];
    } else if (std::strcmp(argv[i], "--icons") == 0) {
      if (!hasValue) return Usage("--icons needs a folder");
      iconDir = argv[++i];
    } else if (outDir.empty() && argv[i][0] != '-') {
      outDir = argv[i];
    } else {
      return Usage("unknown argument '" + tu::Printable(argv[i]) + "'");
    }
  }
  if (outDir.empty()) return Usage("a game folder is needed");
  if (!MakeDirs(outDir + "/BMP") || !MakeDirs(outDir + "/BGM") || !MakeDirs(outDir + "/SE")) return 1;
  if (!reviewDir.empty() && !MakeDirs(reviewDir + "/sounds")) return 1;

  TextSetter text;
  if (!text.Open()) return 1;
  PictureSet pics;
  bool ok = MakePictures(text, pics);
  text.Close();
  if (!ok) {
    std::fprintf(stderr, "assetgen: pictures could not be made\n");
    return 1;
  }
  const std::pair<const char*, const Image*> files[] = {
      {"BMP/block.bmp", &pics.block},      {"BMP/Field.bmp", &pics.field},
      {"BMP/EasyBack.bmp", &pics.back[0]}, {"BMP/NomalBack.bmp", &pics.back[1]},
      {"BMP/HardBack.bmp", &pics.back[2]}, {"BMP/BlackBack.bmp", &pics.back[3]},
      {"BMP/Title.bmp", &pics.title},      {"BMP/Font.bmp", &pics.font},
  };
  for (const auto& [name, img] : files)
    if (!WriteBmp(outDir + "/" + name, *img)) return 1;
  if (!reviewDir.empty() && !WritePng(reviewDir + "/contact-sheet.png", MakeContactSheet(pics))) return 1;
  if (!iconDir.empty()) {
    const Image art = MakeIconArt(pics.block);
    for (int size : {48, 64, 128, 256}) {
      const std::string dir = iconDir + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
      if (!MakeDirs(dir) || !WritePng(dir + "/quorbistane.png", ResampleKeyed(art, size, size))) return 1;
    }
  }

  std::vector<Sound> sounds;
  if (!MakeSounds(sounds)) return 1;
  for (const Sound& s : sounds) {
    std::vector<int16_t> pcm = ToPcm16(s.samples);
    if (!WriteWav(outDir + "/" + s.file, pcm, s.rate)) return 1;
    if (!reviewDir.empty()) {
      std::string base = s.file.substr(s.file.find('/') + 1);
      base = base.substr(0, base.size() - 4);
      if (!WritePng(reviewDir + "/sounds/" + base + ".png", WaveformPicture(pcm, s.rate, 1200, 200))) return 1;
    }
  }
  std::printf("assetgen: 8 pictures and %zu sounds in %s (letters set in %s)\n", sounds.size(), outDir.c_str(),
              text.facePath().c_str());
  return 0;
}
