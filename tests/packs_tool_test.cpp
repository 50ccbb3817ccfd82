// The pack tool: runs the built executable on scratch folders and loads what it wrote.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "draw_support.h"
#include "sound_support.h"

namespace {

namespace fs = std::filesystem;

std::string ToolPath() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = 0;
  return (fs::path(self).parent_path() / "quorbistane_pack").string();
}

class PackTool : public draw_support::DrawTest {
 protected:
  // Runs the tool in the scratch folder; gives its exit code and what it wrote to stderr.
  int Run(const std::string& args, std::string* err = nullptr) {
    std::string command = "cd '" + folder + "' && '" + ToolPath() + "' " + args +
                          " >/dev/null 2>'" + folder + "err.txt'";
    int status = std::system(command.c_str());
    std::ifstream in(folder + "err.txt");
    std::stringstream text;
    text << in.rdbuf();
    if (err) *err = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(PackTool, BuildsPacksThatTheLibraryLoads) {
  ASSERT_TRUE(fs::exists(ToolPath())) << ToolPath();
  fs::create_directories(folder + "art/sub");
  WriteFile("art/Tile.bmp", draw_support::MakeBmp(2, 2, 24, [](int, int) { return 0xFFFFFFu; }));
  WriteFile("art/sub/skip.bmp", draw_support::MakeBmp(1, 1, 24, [](int, int) { return 0u; }));
  fs::create_directories(folder + "audio");
  WriteFile("audio/hit.wav", sound_support::Dc16(10, 700));
  EXPECT_EQ(Run("pictures out/pics.pak art"), 1);  // no folder "out" for the pack
  fs::create_directories(folder + "out");
  EXPECT_EQ(Run("pictures out/pics.pak art"), 0);
  EXPECT_EQ(Run("sounds out/se.pak audio"), 0);
  EXPECT_EQ(Run("sounds out/se.pak audio --append"), 0);
  EXPECT_EQ(fs::file_size(folder + "out/pics.pak"), 4u + 9u + 8u);  // only the folder's own BMP
  EXPECT_EQ(fs::file_size(folder + "out/se.pak"), 2 * (4u + 8u + 4u + 18u + 20u));

  ASSERT_EQ(tuDraw::Screen(64, 48, 1), 1);
  tuDraw::SetPackFile("out/pics.pak");
  int id = tuDraw::LoadPack("tile.bmp", 2);
  ASSERT_EQ(id, 4);
  EXPECT_EQ(Pixel(id, 1, 1), 0xFFDFu);
  platform::AudioSetDeviceAvailable(true);
  ASSERT_EQ(tuSound::Init(), 1);
  tuSound::ResetObjects();
  tuSound::PackPath("out/se.pak");
  int sound = tuSound::LoadPack("HIT.wav", 1);
  EXPECT_GE(sound, 0);
  tuSound::ResetObjects();
  tuSound::Release();
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(PackTool, ReportsWhatItCannotDo) {
  std::string err;
  EXPECT_EQ(Run("", &err), 2);
  EXPECT_NE(err.find("usage"), std::string::npos);
  EXPECT_EQ(Run("music x.pak .", &err), 2);
  EXPECT_EQ(Run("sounds x.pak . --replace", &err), 2);
  EXPECT_EQ(Run("sounds x.pak nowhere", &err), 1);
  EXPECT_NE(err.find("nowhere"), std::string::npos);
  fs::create_directories(folder + "art");
  WriteFile("art/broken.bmp", std::vector<uint8_t>{'B', 'M', 0});
  EXPECT_EQ(Run("pictures p.pak art", &err), 1);
  EXPECT_NE(err.find("BMPファイルを読み込めません"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(folder + "p.pak"));
}

}  // namespace
