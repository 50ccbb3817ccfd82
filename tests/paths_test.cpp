#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "headless.h"
#include "platform/files.h"
#include "platform/seams.h"

using testing_support::HeadlessTest;

namespace {

class Paths : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    char tmpl[] = "/tmp/qpathXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    mkdir((root + "/games").c_str(), 0700);
    mkdir((root + "/games/Q").c_str(), 0700);
    mkdir((root + "/config").c_str(), 0700);
    mkdir((root + "/save").c_str(), 0700);
    mkdir((root + "/save/Q").c_str(), 0700);
    tu::platform::SetExeFolderOverride(root + "/games/Q/");
    const char* old = getenv("XDG_CONFIG_HOME");
    oldConfig = old ? old : "";
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  }
  void TearDown() override {
    tu::platform::SetExeFolderOverride("");
    if (oldConfig.empty())
      unsetenv("XDG_CONFIG_HOME");
    else
      setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    std::string cmd = "rm -rf '" + root + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
  }
  std::string root, oldConfig;
};

TEST_F(Paths, ProgramFolderAndTheRedirectedSettingsFolder) {
  EXPECT_EQ(std::string(tuSystem::GetPath(0)), root + "/games/Q/");
  EXPECT_EQ(std::string(tuSystem::GetPath(1)), root + "/games/Q/");  // no root yet
  WriteText(root + "/config/root.txt", root + "/save/\nignored\n");
  tuSystem::SetDataRoot("root.txt");
  EXPECT_EQ(std::string(tuSystem::sys.altRoot), root + "/save");
  EXPECT_EQ(std::string(tuSystem::GetPath(1)), root + "/save/Q/");
  EXPECT_EQ(std::string(tuSystem::GetPath(0)), root + "/games/Q/");
  tuSystem::SetDataRoot("missing.txt");
  EXPECT_EQ(tuSystem::sys.altRoot[0], 0);
}

TEST_F(Paths, SettingNumbersRoundTripAndMissingOrEmptyFilesReadZero) {
  tuSystem::WriteNumber("level.dat", -42);
  EXPECT_EQ(tuSystem::ReadNumber("level.dat"), -42);
  EXPECT_EQ(tuSystem::ReadNumber("nothing.dat"), 0);
  WriteText(root + "/games/Q/empty.dat", "");
  EXPECT_EQ(tuSystem::ReadNumber("empty.dat"), 0);
  WriteText(root + "/config/root.txt", root + "/save");
  tuSystem::SetDataRoot("root.txt");
  tuSystem::WriteNumber("level.dat", 7);
  std::ifstream in(root + "/save/Q/level.dat");
  int v = 0;
  in >> v;
  EXPECT_EQ(v, 7);
}

TEST_F(Paths, TheUserFolderIsMadeOnceAndTakesSettingsAndCapturesByAbsoluteName) {
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  const char* folder = tuSystem::UserFolder("my-game");
  ASSERT_NE(folder, nullptr);
  std::string user = folder;
  EXPECT_EQ(user, root + "/data/my-game/");
  tuSystem::WriteNumber((user + "best.txt").c_str(), 1234);
  EXPECT_EQ(tuSystem::ReadNumber((user + "best.txt").c_str()), 1234);
  EXPECT_STREQ(tuSystem::UserFolder("my-game"), folder);  // already there: the same folder
  ASSERT_EQ(tuDraw::Screen(64, 48, 1), 1);
  ASSERT_EQ(tuDraw::SaveScreen((user + "shot.bmp").c_str(), 64, 48), 1);
  struct stat st {};
  EXPECT_EQ(stat((user + "shot.bmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 58 + 64 * 3 * 48);
  // A name that would leave the data folder, or a folder that cannot be made, is reported.
  EXPECT_EQ(tuSystem::UserFolder("../elsewhere"), nullptr);
  WriteText(root + "/data/plain-file", "x");
  setenv("XDG_DATA_HOME", (root + "/data/plain-file").c_str(), 1);
  EXPECT_EQ(tuSystem::UserFolder("my-game"), nullptr);
  EXPECT_EQ(tu::platform::RecordedBoxes().size(), 2u);
  unsetenv("XDG_DATA_HOME");
  tuDraw::Release();
}

// Only absolute folders count: a relative XDG_DATA_HOME or HOME is passed over for the next
// source, and with none at all there is no folder rather than one below the working folder.
TEST(UserBaseFolder, TakesTheFirstAbsoluteOfTheVariableHomeAndTheAccount) {
  struct Case {
    const char *xdg, *home, *account, *want;
  };
  const Case cases[] = {
      {"/x/data", "/home/u", "/acct", "/x/data"},
      {nullptr, "/home/u", "/acct", "/home/u/.local/share"},
      {"", "/home/u", "/acct", "/home/u/.local/share"},
      {"rel/data", "/home/u", "/acct", "/home/u/.local/share"},
      {nullptr, nullptr, "/acct", "/acct/.local/share"},
      {"rel/data", "", "/acct", "/acct/.local/share"},
      {nullptr, "relative", "/acct", "/acct/.local/share"},
      {nullptr, nullptr, "", ""},
      {"rel/data", "relative", "also-relative", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)") + " " + c.account);
    EXPECT_EQ(tu::platform::UserBaseFolder(c.xdg, c.home, c.account, "/.local/share"), c.want);
  }
}

TEST_F(Paths, WithoutHomeTheUserFolderIsInTheAccountsHomeNeverInTheWorkingFolder) {
  const std::string account = tu::platform::AccountHome();
  if (account.empty() || account[0] != '/') GTEST_SKIP() << "the user has no home in the account database";
  const char* oldHome = getenv("HOME");
  const std::string home = oldHome ? oldHome : "";
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root.c_str()), 0);
  const std::string name = "quorbistane-paths-test-" + std::to_string(getpid());
  const std::string want = account + "/.local/share/" + name + "/";
  // The folders the call may make beside the one it is asked for are taken away again after.
  struct stat st {};
  const bool hadLocal = stat((account + "/.local").c_str(), &st) == 0;
  const bool hadShare = stat((account + "/.local/share").c_str(), &st) == 0;
  for (const char* xdg : {static_cast<const char*>(nullptr), "relative/data"}) {
    SCOPED_TRACE(xdg ? xdg : "(unset)");
    unsetenv("HOME");
    if (xdg) setenv("XDG_DATA_HOME", xdg, 1); else unsetenv("XDG_DATA_HOME");
    const char* folder = tuSystem::UserFolder(name.c_str());
    EXPECT_EQ(folder ? std::string(folder) : "(null)", want);
    EXPECT_NE(stat(".local", &st), 0) << "a folder was made in the working folder";
    EXPECT_NE(stat("relative", &st), 0) << "a folder was made in the working folder";
    rmdir(want.c_str());
  }
  if (!hadShare) rmdir((account + "/.local/share").c_str());
  if (!hadLocal) rmdir((account + "/.local").c_str());
  unsetenv("XDG_DATA_HOME");
  if (oldHome) setenv("HOME", home.c_str(), 1);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

// The settings folder is named, not made: a program that only reads its settings leaves no
// folder behind.
TEST_F(Paths, TheConfigFolderIsNamedBelowTheUsersConfigurationWithoutBeingMade) {
  const char* folder = tuSystem::ConfigFolder("my-game");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(std::string(folder), root + "/config/my-game/");
  struct stat st {};
  EXPECT_NE(stat(folder, &st), 0);
  EXPECT_EQ(tuSystem::ConfigFolder(".."), nullptr);
  EXPECT_EQ(tu::platform::RecordedBoxes().size(), 1u);
}

TEST_F(Paths, AnOverlongRootIsCutInsteadOfOverflowingThePathBuffer) {
  std::string longRoot(400, 'r');
  WriteText(root + "/config/root.txt", "/" + longRoot);
  tuSystem::SetDataRoot("root.txt");
  EXPECT_LT(strlen(tuSystem::sys.altRoot), sizeof tuSystem::sys.altRoot);
  EXPECT_LT(strlen(tuSystem::GetPath(1)), sizeof tuSystem::sys.path);
}

TEST_F(Paths, DiskFreeSaturatesInsteadOfWrapping) {
  uint64_t real = tu::platform::DiskFreeBytes(root);
  int reported = tuSystem::GetDiskFree('C');
  EXPECT_GE(reported, 0);
  if (real > static_cast<uint64_t>(INT_MAX))
    EXPECT_EQ(reported, INT_MAX);
  else
    EXPECT_NEAR(static_cast<double>(reported), static_cast<double>(real), 1 << 20);
}

TEST(SystemQueries, DateTimeVersionWindowAndCommandLine) {
  int y = 0, mo = 0, d = 0, h = -1, mi = -1, s = -1;
  char weekday[4] = {};
  tuSystem::GetDate(&y, &mo, &d, weekday);
  tuSystem::GetTime(&h, &mi, &s);
  EXPECT_GE(y, 2024);
  EXPECT_TRUE(mo >= 1 && mo <= 12 && d >= 1 && d <= 31);
  EXPECT_TRUE(h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 61);
  EXPECT_EQ(strlen(weekday), 3u);  // one Japanese character in UTF-8
  EXPECT_EQ(tuSystem::GetOsVersion(), -1);
  EXPECT_GT(tuSystem::GetFreeMemory(), 0u);
  tuSystem::sys.fullScreen = 0;
  EXPECT_EQ(tuSystem::IsWindowed(), 1);
}

TEST(Files, ListingMatchesExtensionsInAnyCase) {
  char tmpl[] = "/tmp/qlistXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl;
  for (const char* n : {"a.BMP", "b.bmp", "c.wav", "d.bmpx"}) std::ofstream(dir + "/" + n) << "x";
  mkdir((dir + "/sub.bmp").c_str(), 0700);
  EXPECT_EQ(tu::platform::ListFiles(dir, "*.bmp"), (std::vector<std::string>{"a.BMP", "b.bmp"}));
  EXPECT_EQ(tu::platform::ListFiles(dir, "*.*").size(), 4u);
  EXPECT_TRUE(tu::platform::ListFiles(dir + "/none", "*.bmp").empty());
  std::string cmd = "rm -rf '" + dir + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);
}

}  // namespace

namespace {

class DepthCheck : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    tuSystem::sys.fullScreen = 0;  // windowed, as the entry point leaves it
  }
};

TEST_F(DepthCheck, WindowedOnAShallowerDesktopExplainsAndOffersFullScreen) {
  tuDraw::draw.displayDepth = 32;  // asks for 16.7 million colours on a 16-bit desktop
  EXPECT_EQ(tuSystem::CheckDepth("*"), 1);
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 2u);
  const std::string& text = tu::platform::RecordedBoxes()[0].text;
  EXPECT_NE(text.find("65536色以下"), std::string::npos);
  EXPECT_NE(text.find("1670万色以上"), std::string::npos);
  EXPECT_EQ(tu::platform::RecordedBoxes()[1].text, "フルスクリーンに切り換えますか？\n");
  EXPECT_EQ(tuSystem::sys.fullScreen, 1);

  tuSystem::sys.fullScreen = 0;
  tu::platform::SetQuestionAnswer(false);
  EXPECT_EQ(tuSystem::CheckDepth("*"), 0);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 1);
}

TEST_F(DepthCheck, NoQuestionWithoutASettingFileAndNothingWhenTheDesktopSuffices) {
  tuDraw::draw.displayDepth = 16;
  EXPECT_EQ(tuSystem::CheckDepth(""), 1);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
  tuDraw::draw.displayDepth = 24;
  EXPECT_EQ(tuSystem::CheckDepth(""), 0);
  EXPECT_EQ(tu::platform::RecordedBoxes().size(), 1u);
}

}  // namespace
