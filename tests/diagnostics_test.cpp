#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "headless.h"
#include "base/text.h"

using testing_support::HeadlessTest;

namespace {

class Diagnostics : public HeadlessTest {};

TEST_F(Diagnostics, ErrorShowsContextAndMessageBeepsAndSetsTheFlag) {
  int beeps = tu::platform::BeepCount();
  EXPECT_EQ(tuSystem::ErrorRaised(), 0);
  EXPECT_EQ(tuSystem::Error("tuDraw::LoadObject", "BMPファイルを読み込めません", -5), 0);
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 1u);
  const auto& box = tu::platform::RecordedBoxes()[0];
  EXPECT_EQ(box.text, "tuDraw::LoadObject : BMPファイルを読み込めません");
  EXPECT_EQ(box.caption, "エラー発生");
  EXPECT_EQ(box.style, 0x1030u);
  EXPECT_EQ(tu::platform::BeepCount(), beeps + 1);
  EXPECT_EQ(tuSystem::ErrorRaised(), 1);
  EXPECT_EQ(tuSystem::sys.messageBoxUp, 0);
}

TEST_F(Diagnostics, ADesktopBoxAndStandardErrorReadInEnglish) {
  testing::internal::CaptureStderr();
  tuSystem::Error("tuSystem::SetWait", "ウェイトNoが範囲外です", 0);
  tuSystem::Error("game", "a message of the game's own", 0);
  // A message naming its file keeps the name; a longer message that merely starts alike is
  // not taken for the short one.
  tuSystem::Error("tuSound::LoadStreamFile", "Ogg Vorbisファイルを読み込めません (BGM/a.ogg)", 0);
  tuSystem::Error("game", "ウェイトNoが範囲外ですか", 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "Quorbistane: tuSystem::SetWait : the wait number is out of range\n"
            "Quorbistane: game : a message of the game's own\n"
            "Quorbistane: tuSound::LoadStreamFile : cannot read the Ogg Vorbis sound (BGM/a.ogg)\n"
            "Quorbistane: game : ウェイトNoが範囲外ですか\n");
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 4u);
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].shownText, "tuSystem::SetWait : the wait number is out of range");
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].shownCaption, "Quorbistane: error");
}

TEST_F(Diagnostics, LoadFailuresAreKeptFromAMarkAndHeldBoxesShowAsOne) {
  tu::platform::SetExeFolderOverride("/games/q/");
  for (int i = 0; i < 3; ++i) tuSystem::LoadError("tuDraw::LoadObject", "BMPファイルを読み込めません", "picture", "A.bmp", "x");
  const int mark = tuSystem::LoadFailureCount();
  EXPECT_EQ(mark, 3);
  tu::platform::ClearRecordedBoxes();
  int beeps = tu::platform::BeepCount();
  testing::internal::CaptureStderr();
  tuSystem::HoldErrors(1);
  tuSystem::LoadError("tuDraw::LoadObject", "BMPファイルを読み込めません", "picture", "BMP/Field.bmp", "file not found");
  tuSystem::LoadError("tuSound::LoadObject", "WAVEリソースが見つかりません", "sound", "SE/set.wav", "not a WAV file");
  tuSystem::HoldErrors(0);
  std::string err = testing::internal::GetCapturedStderr();
  // Each said on standard error at once; no box yet, and the flag is set.
  EXPECT_EQ(err,
            "Quorbistane: cannot load picture BMP/Field.bmp from /games/q/: file not found\n"
            "Quorbistane: cannot load sound SE/set.wav from /games/q/: not a WAV file\n");
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
  EXPECT_EQ(tuSystem::ErrorRaised(), 1);
  ASSERT_EQ(tuSystem::LoadFailureCount(), mark + 2);
  const tuSystem::LoadFailure* f = tuSystem::LoadFailureAt(mark + 1);
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->kind, "sound");
  EXPECT_STREQ(f->name, "SE/set.wav");
  EXPECT_STREQ(f->folder, "/games/q/");
  EXPECT_STREQ(f->reason, "not a WAV file");
  EXPECT_EQ(tuSystem::LoadFailureAt(mark + 2), nullptr);

  EXPECT_EQ(tuSystem::ShowHeldErrors(nullptr), 2);
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 1u);
  const auto& box = tu::platform::RecordedBoxes()[0];
  EXPECT_EQ(box.text, "tuDraw::LoadObject : BMPファイルを読み込めません\ntuSound::LoadObject : WAVEリソースが見つかりません");
  EXPECT_EQ(box.shownText,
            "cannot load picture BMP/Field.bmp from /games/q/: file not found\n"
            "cannot load sound SE/set.wav from /games/q/: not a WAV file");
  EXPECT_EQ(tu::platform::BeepCount(), beeps + 1);
  EXPECT_EQ(tuSystem::ShowHeldErrors("again"), 0);  // shown once
  EXPECT_EQ(tu::platform::RecordedBoxes().size(), 1u);

  // Only the latest failures are kept.
  for (int i = 0; i < tuSystem::kMaxLoadFailures; ++i)
    tuSystem::LoadError("c", "m", "sound", std::to_string(i).c_str(), "r");
  const int count = tuSystem::LoadFailureCount();
  EXPECT_EQ(tuSystem::LoadFailureAt(count - tuSystem::kMaxLoadFailures - 1), nullptr);
  ASSERT_NE(tuSystem::LoadFailureAt(count - tuSystem::kMaxLoadFailures), nullptr);
  EXPECT_STREQ(tuSystem::LoadFailureAt(count - tuSystem::kMaxLoadFailures)->name, "0");
  EXPECT_STREQ(tuSystem::LoadFailureAt(count - 1)->name, std::to_string(tuSystem::kMaxLoadFailures - 1).c_str());
  tu::platform::SetExeFolderOverride("");
}

TEST_F(Diagnostics, ExitOnErrorShutsDownOnlyAfterAnError) {
  EXPECT_EQ(tuSystem::ExitOnError(), 0);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
  tuSystem::Error("x", "y", 0);
  EXPECT_EQ(tuSystem::ExitOnError(), 1);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 1);
}

TEST_F(Diagnostics, MessageAndQuestionRestartTheStopwatchAndAnswer) {
  tu::platform::SetTick(5000);
  tuSystem::sys.lastFrameTime = 100;
  tuSystem::sys.cursorShown = 0;
  tuSystem::Message("score %d", 12);
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 1u);
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].text, "score 12\n");
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].caption, "メッセージ");
  EXPECT_EQ(tuSystem::sys.lastFrameTime, 5000u);
  EXPECT_EQ(tuSystem::sys.cursorShown, 1);
  EXPECT_EQ(tuSystem::Question("again?"), 1);
  EXPECT_EQ(tu::platform::RecordedBoxes()[1].style, 0x24u);
  tu::platform::SetQuestionAnswer(false);
  EXPECT_EQ(tuSystem::Question("again?"), 0);
  EXPECT_EQ(tuSystem::ErrorRaised(), 0);
}

TEST_F(Diagnostics, LongTextsAreCutToTheBufferOnACharacterBoundary) {
  std::string longContext(300, 'c');
  std::string jp;
  for (int i = 0; i < 200; ++i) jp += "あ";
  tuSystem::Error(longContext.c_str(), "m", 0);
  tuSystem::Message("%s", jp.c_str());
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 2u);
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].text, std::string(255, 'c'));
  const std::string& cut = tu::platform::RecordedBoxes()[1].text;
  EXPECT_LE(cut.size(), 255u);
  EXPECT_EQ(cut.size() % 3, 0u);  // whole three-byte characters only
}

TEST(TextCut, NeverSplitsACharacterAndAlwaysTerminates) {
  char out[5];
  tu::CopyCut(out, sizeof out, "aあい");  // 1 + 3 + 3 bytes: "aあ" fits in 4
  EXPECT_STREQ(out, "aあ");
  tu::JoinCut(out, sizeof out, "ab", "cd", "ef");
  EXPECT_STREQ(out, "abcd");
  char one[1];
  tu::CopyCut(one, sizeof one, "xyz");
  EXPECT_EQ(one[0], 0);
}

TEST_F(Diagnostics, LogAppendsOneLinePerCallInTheCurrentFolder) {
  char dir[] = "/tmp/qlogXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir), 0);
  tuSystem::Log("first %d", 1);
  tuSystem::Log("second");
  std::ifstream in("DEBUG.TXT");
  std::string a, b, c;
  std::getline(in, a);
  std::getline(in, b);
  EXPECT_EQ(a, "first 1");
  EXPECT_EQ(b, "second");
  EXPECT_FALSE(std::getline(in, c));
  unlink("DEBUG.TXT");
  ASSERT_EQ(chdir(old), 0);
  rmdir(dir);
}

}  // namespace
