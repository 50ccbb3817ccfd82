// The generator itself: the same bytes on every run, and clear failures.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "assets_support.h"

namespace {

const char* const kFiles[] = {
    "BMP/block.bmp",  "BMP/Field.bmp",  "BMP/EasyBack.bmp", "BMP/NomalBack.bmp", "BMP/HardBack.bmp",
    "BMP/BlackBack.bmp", "BMP/Title.bmp", "BMP/Font.bmp",  "BGM/eBGM.wav",      "BGM/nBGM.wav",
    "BGM/hBGM.wav",   "BGM/bBGM.wav",   "BGM/vsBGM.wav",    "SE/sliset.wav",     "SE/set.wav",
    "SE/erase.wav",   "BGM/RANK.wav",   "BGM/RANK2.wav",    "SE/BUTTON.wav",     "SE/BUTTONK.wav"};

int RunGenerator(const std::string& args) {
  std::string cmd = std::string("'") + QUORBISTANE_ASSETGEN + "' " + args + " >/dev/null 2>&1";
  int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(AssetGenerator, ASecondRunWritesTheSameBytes) {
  char tmpl[] = "/tmp/quorbistane-assets-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  ASSERT_EQ(RunGenerator("'" + dir + "'"), 0);
  for (const char* name : kFiles) {
    std::vector<uint8_t> built, again;
    ASSERT_TRUE(asset_files::ReadAll(asset_files::PathOf(name), built)) << name;
    ASSERT_TRUE(asset_files::ReadAll(dir + "/" + name, again)) << name;
    EXPECT_TRUE(built == again) << name << " differs between two runs";
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(AssetGenerator, RefusesBadArgumentsAndUnwritableFolders) {
  EXPECT_EQ(RunGenerator(""), 2);
  EXPECT_EQ(RunGenerator("a b"), 2);
  EXPECT_EQ(RunGenerator("/proc/quorbistane-no-such-folder"), 1);
}

}  // namespace
