// The name = value file: lines kept through a rewrite, broken and refused files, failed writes.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "file_support.h"
#include "game/ini_file.h"

using namespace file_support;

namespace {

TEST(IniFile, EveryLineItDoesNotSetIsWrittenBackAsItWasAndABrokenOneIsToldByNumber) {
  Folder dir;
  std::string path = dir.File("settings.ini");
  const std::string before =
      "# my keys\r\n"
      "p1_left = Q\n"
      "this line is broken\n"
      "\n"
      "Future_Setting=  42  \n"
      "music_volume = 70";  // no line end: a file cut short
  Write(path, before);
  IniFile f;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(f.Load(path));
  std::string told = testing::internal::GetCapturedStderr();
  EXPECT_NE(told.find(path + ":3: not a setting"), std::string::npos) << told;
  EXPECT_EQ(told.find(":1:"), std::string::npos) << told;
  ASSERT_NE(f.Get("future_setting"), nullptr);
  EXPECT_EQ(*f.Get("FUTURE_SETTING"), "42");
  EXPECT_EQ(f.Get("this line is broken"), nullptr);

  f.Set("music_volume", "40");
  f.Set("mute", "1");
  ASSERT_TRUE(f.Save());
  EXPECT_EQ(Read(path),
            "# my keys\r\np1_left = Q\nthis line is broken\n\nFuture_Setting=  42  \nmusic_volume = 40\nmute = 1\n");
  EXPECT_EQ(dir.Names(), "settings.ini\n");
}

// A full disk: the write stops part way (the file size limit makes it fail as a full disk
// does, for any user). The old file stays whole, and no temporary file is left.
TEST(IniFile, AWriteThatFailsPartWayLeavesTheOldFileWhole) {
  Folder dir;
  std::string path = dir.File("settings.ini");
  // Longer than the limit set below, which leaves room for the report on standard error.
  const std::string before = "p1_left = Q\n#" + std::string(300, '-') + "\n";
  Write(path, before);
  IniFile f;
  ASSERT_TRUE(f.Load(path));
  f.Set("p1_left", "Keypad 4");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 256;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  testing::internal::CaptureStderr();
  bool saved = f.Save();
  std::string told = testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(told.find("cannot be written"), std::string::npos) << told;
  EXPECT_EQ(Read(path), before);
  EXPECT_EQ(dir.Names(), "settings.ini\n");
  // Once the disk has room, the same change is written.
  ASSERT_TRUE(f.Save());
  EXPECT_EQ(Read(path), "p1_left = Keypad 4\n#" + std::string(300, '-') + "\n");
}

// A folder that cannot be made (a file is in its way): told, and nothing is harmed.
TEST(IniFile, AFolderThatCannotBeMadeIsToldAndNothingIsWritten) {
  Folder dir;
  Write(dir.File("config"), "not a folder");
  IniFile f;
  ASSERT_TRUE(f.Load(dir.File("config/quorbistane/settings.ini")));  // missing: fine
  f.Set("mute", "1");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(f.Save());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be written"), std::string::npos);
  EXPECT_EQ(Read(dir.File("config")), "not a folder");
}

// Files that cannot be trusted are refused whole, told once, and never overwritten.
TEST(IniFile, ATooBigOrBinaryOrUnreadableFileIsLeftAloneAndNeverOverwritten) {
  Folder dir;
  const struct {
    const char* name;
    std::string text;
    const char* told;
  } cases[] = {
      {"huge.ini", "mute = 1\n" + std::string(70 * 1024, '#'), "larger than 64 KB"},
      {"binary.ini", std::string("mute = 1\n\0\x01\x02", 12), "not a text file"},
      {"folder.ini", "", "cannot be read"},
  };
  mkdir(dir.File("folder.ini").c_str(), 0755);
  for (const auto& c : cases) {
    std::string path = dir.File(c.name);
    if (!c.text.empty()) Write(path, c.text);
    IniFile f;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(f.Load(path)) << c.name;
    EXPECT_EQ(f.Get("mute"), nullptr) << c.name << ": nothing of it is taken";
    f.Set("mute", "0");
    EXPECT_FALSE(f.Save()) << c.name;
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(c.told), std::string::npos) << told;
    if (!c.text.empty()) {
      EXPECT_EQ(Read(path), c.text) << c.name;
    }
  }
}

}  // namespace
