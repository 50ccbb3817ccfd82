#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "headless.h"
#include "platform/instance.h"
#include "platform/seams.h"

using testing_support::HeadlessTest;
using namespace tu::platform;

namespace {

struct SceneCall {
  int scene, entered;
};
std::vector<SceneCall> calls;
int loads = 0;
int switchTo = 0;  // a scene routine switches here on its next call when non-zero

void Record(int scene) {
  calls.push_back({scene, tuSystem::sys.sceneEntered});
  if (switchTo) {
    tuSystem::sys.sceneNo = switchTo;
    tuSystem::sys.prevSceneNo = 0;
    switchTo = 0;
  }
}
void Scene1() { Record(1); }
void Scene2() { Record(2); }
void Scene3() { Record(3); }
void Load() {
  ++loads;
  tuSystem::sys.sceneNo = 2;
  tuSystem::sys.prevSceneNo = 0;
}

class Shell : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    calls.clear();
    loads = 0;
    switchTo = 0;
    program.loadAssets = Load;
    program.scenes[1] = Scene1;
    program.scenes[2] = Scene2;
    program.scenes[3] = Scene3;
  }
  void TearDown() override {
    tu::platform::ReleaseInstance();
    UseHeadlessInstanceGuard(false);
  }
  void StartProgram() {
    char arg0[] = "quorbistane";
    char* argv[] = {arg0};
    ASSERT_EQ(tuSystem::Start(1, argv, program), 1);
  }
  // Runs turns until a frame has run `frames` more times (or the loop ends).
  int RunFrames(int frames) {
    size_t target = calls.size() + frames;
    int turns = 0;
    while (calls.size() < target && tuSystem::Turn()) ++turns;
    return turns;
  }
  tuSystem::Program program;
};

TEST_F(Shell, StartUpLoadsOnceAndTheMenuSeesSceneEnteredOnlyInItsFirstFrame) {
  StartProgram();
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(tuSystem::sys.fullScreen, 0);
  RunFrames(3);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].scene, 2);
  EXPECT_EQ(calls[0].entered, 1);
  EXPECT_EQ(calls[1].entered, 0);
  EXPECT_EQ(calls[2].entered, 0);
}

TEST_F(Shell, CommandLineIsTheArgumentsJoinedBySpacesAndCut) {
  std::string longArg(300, 'a');
  char a0[] = "quorbistane", a1[] = "-x", a2[] = "two words";
  char* argv[] = {a0, a1, a2, longArg.data()};
  ASSERT_EQ(tuSystem::Start(4, argv, program), 1);
  std::string line = tuSystem::GetCommandLine();
  EXPECT_EQ(line.substr(0, 14), "-x two words a");
  EXPECT_EQ(line.size(), 255u);
}

TEST_F(Shell, OneMessagePerTurnAndFramesOnlyOnAnEmptyQueue) {
  StartProgram();
  RunFrames(1);  // drains the activation message, then one frame
  calls.clear();
  PostMessage(WM_MOUSEMOVE, 0, MakeLParam(5, 6));
  PostMessage(WM_MOUSEMOVE, 0, MakeLParam(7, 8));
  EXPECT_EQ(tuSystem::Turn(), 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(tuSystem::sys.mouseX, 5);
  EXPECT_EQ(tuSystem::Turn(), 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(tuSystem::sys.mouseX, 7);
  EXPECT_EQ(tuSystem::Turn(), 1);
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(Shell, SceneSwitchIsSeenInTheNextFrameAndUnknownScenesRunNothing) {
  StartProgram();
  RunFrames(2);
  switchTo = 1;
  RunFrames(1);  // frame k: the menu switches
  RunFrames(2);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[3].scene, 1);
  EXPECT_EQ(calls[3].entered, 1);
  EXPECT_EQ(calls[4].entered, 0);

  tuSystem::sys.sceneNo = 7;
  tuSystem::sys.prevSceneNo = 0;
  tu::platform::AdvanceTick(1200);
  size_t before = calls.size();
  for (int i = 0; i < 3; ++i) tuSystem::Turn();
  EXPECT_EQ(calls.size(), before);
  EXPECT_EQ(tuSystem::sys.blinkOn, 0);  // bookkeeping goes on without a scene
}

TEST_F(Shell, SceneChangeEndsARunningWipeAndRestoresTheClip) {
  StartProgram();
  RunFrames(1);
  tuDraw::draw.clipRect = {100, 100, 100, 100};
  tuDraw::draw.wipeSaved = {0, 0, 640, 480};
  tuDraw::draw.wipeState = 1;
  switchTo = 1;
  RunFrames(1);
  EXPECT_EQ(tuDraw::draw.wipeState, 0);
  EXPECT_EQ(tuDraw::draw.wipeDone, 0);
  EXPECT_EQ(tuDraw::draw.clipRect, (tu::Rect{0, 0, 640, 480}));
}

TEST_F(Shell, BlinkIsOnForOneSecondAndOffForTwoHundredMillisecondsAlsoAcrossTheWrap) {
  for (uint32_t start : {0u, 0xFFFFFFFFu - 500}) {
    SCOPED_TRACE(start);
    tu::platform::ReleaseInstance();
    testing_support::ResetHeadless(start);
    StartProgram();
    // Milliseconds to advance before a frame, and the phase that frame leaves.
    const std::pair<uint32_t, int> steps[] = {{0, 1}, {999, 1}, {1, 0}, {199, 0}, {1, 1}};
    for (const auto& [ms, on] : steps) {
      tu::platform::AdvanceTick(ms);
      RunFrames(1);
      EXPECT_EQ(tuSystem::sys.blinkOn, on) << "after " << ms;
    }
  }
}

TEST_F(Shell, InactiveApplicationRunsNoFramesAndReactivationRestartsTheStopwatch) {
  StartProgram();
  RunFrames(1);
  PostMessage(WM_ACTIVATEAPP, 0, 0);
  size_t before = calls.size();
  for (int i = 0; i < 5; ++i) tuSystem::Turn();
  EXPECT_EQ(calls.size(), before);
  EXPECT_EQ(tuSystem::sys.isActive, 0);
  tu::platform::AdvanceTick(60000);  // a minute in another application
  PostMessage(WM_ACTIVATEAPP, 1, 0);
  tuSystem::Turn();
  tu::platform::AdvanceTick(16);
  RunFrames(1);
  EXPECT_FLOAT_EQ(tuSystem::sys.frameSeconds, 0.016f);
}

TEST_F(Shell, CloseBoxEndsInQuitAfterOneShutdown) {
  StartProgram();
  RunFrames(1);
  PostMessage(WM_CLOSE);
  int turns = 0;
  while (tuSystem::Turn() && turns < 100) ++turns;
  EXPECT_EQ(tuSystem::sys.quit, 1);
  EXPECT_EQ(tuSystem::sys.closeState, 2);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 1);
  EXPECT_FALSE(MainWindowExists());
  EXPECT_FALSE(InstanceHeld());
}

TEST_F(Shell, EscapeShutsDownPostsOneCloseAndEndsInQuit) {
  StartProgram();
  RunFrames(1);
  PostMessage(WM_KEYDOWN, 27, 0);
  tuSystem::Turn();
  EXPECT_EQ(tuSystem::sys.shutdownDone, 1);
  EXPECT_EQ(tuSystem::sys.closeState, 2);
  // Escape again during the close path posts no second close.
  PostMessage(WM_KEYDOWN, 27, 0);
  std::vector<uint32_t> seen;
  Message m;
  while (PeekMessage(&m)) {
    seen.push_back(m.message);
    if (m.message == WM_QUIT) break;
    tuSystem::WndProc(m.message, m.wParam, m.lParam);
  }
  int closes = 0;
  for (uint32_t s : seen) closes += s == WM_CLOSE;
  EXPECT_EQ(closes, 1);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), WM_QUIT);
}

TEST_F(Shell, MainReturnsZeroAfterEscape) {
  program.scenes[2] = [] {
    Record(2);
    if (calls.size() == 3) PostMessage(WM_KEYDOWN, 27, 0);
  };
  char arg0[] = "quorbistane";
  char* argv[] = {arg0};
  EXPECT_EQ(tuSystem::Main(1, argv, program), 0);
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(Shell, ExitTwiceDoesItsWorkOnce) {
  StartProgram();
  ClearMessages();
  EXPECT_EQ(tuSystem::Exit(), 1);
  EXPECT_EQ(tuSystem::Exit(), 1);
  int closes = 0;
  Message m;
  while (PeekMessage(&m)) closes += m.message == WM_CLOSE;
  EXPECT_EQ(closes, 1);
}

TEST_F(Shell, AnotherInstanceHoldingTheLockRefusesTheStart) {
  UseHeadlessInstanceGuard(true);
  std::string name = "QuorbistaneTest:" + std::to_string(getpid());
  ASSERT_EQ(AcquireInstance(name.c_str()), InstanceResult::Acquired);
  std::string path = InstanceLockPath((name + "-headless-" + std::to_string(getpid())).c_str());
  ReleaseInstance();
  // A lock left behind by a process that ended never blocks.
  EXPECT_EQ(AcquireInstance(name.c_str()), InstanceResult::Acquired);
  ReleaseInstance();
  // A live holder of the lock (another open file description) makes the start back off.
  int fd = open(path.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(AcquireInstance(name.c_str()), InstanceResult::OtherRunning);
  close(fd);
  unlink(path.c_str());
}

TEST_F(Shell, TheProgramsTitleNamesItsWindowAndItsLockWhenItAsksForOne) {
  std::string pid = std::to_string(getpid());
  const std::string gameLock = InstanceLockPath(("Quorbistane:TuMutex-headless-" + pid).c_str());
  UseHeadlessInstanceGuard(true);
  // Without a title or a lock of its own a program has a neutral caption and runs as often as
  // it is started.
  StartProgram();
  EXPECT_STREQ(tuSystem::sys.title, "tu program");
  EXPECT_FALSE(InstanceHeld());
  // One that asks for a single instance holds a lock named by its title until it ends.
  program.title = "Quorbistane";
  program.singleInstance = 1;
  StartProgram();
  EXPECT_STREQ(tuSystem::sys.title, "Quorbistane");
  EXPECT_EQ(access(gameLock.c_str(), F_OK), 0);
  ReleaseInstance();
  EXPECT_NE(access(gameLock.c_str(), F_OK), 0);
  // Another game gets its own caption and lock, so it runs beside the game.
  program.title = "Other Game";
  StartProgram();
  EXPECT_STREQ(tuSystem::sys.title, "Other Game");
  EXPECT_EQ(access(InstanceLockPath(("Other Game:TuMutex-headless-" + pid).c_str()).c_str(), F_OK), 0);
}

TEST_F(Shell, EscapeIsAnOrdinaryKeyWhenTheProgramSaysSo) {
  program.escapeQuits = 0;
  StartProgram();
  RunFrames(1);
  tu::platform::InjectKey(tu::kKeyEscape, true);
  PostMessage(WM_KEYDOWN, tu::kKeyEscape, 0);
  RunFrames(1);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
  EXPECT_TRUE(tuSystem::IsKeyPressed(tu::kKeyEscape));
  tu::platform::InjectKey(tu::kKeyEscape, false);
}

TEST_F(Shell, MoveMessageHalvesAreSignedAndSetTheClientRect) {
  tuDraw::draw.screenWidth = 640;
  tuDraw::draw.screenHeight = 480;
  tuSystem::WndProc(WM_MOVE, 0, MakeLParam(-20, 35));
  EXPECT_EQ(tuSystem::sys.clientX, -20);
  EXPECT_EQ(tuSystem::sys.clientY, 35);
  EXPECT_EQ(tuSystem::sys.clientRect, (tu::Rect{-20, 35, 620, 515}));
}

TEST_F(Shell, CursorHidesOverTheClientAreaAndShowsOutsideOnce) {
  StartProgram();
  tuSystem::WndProc(WM_MOVE, 0, MakeLParam(100, 50));
  SetHeadlessCursorPos(100, 50);
  RunFrames(1);
  EXPECT_EQ(tuSystem::sys.cursorShown, 0);
  EXPECT_FALSE(CursorVisible());
  SetHeadlessCursorPos(740, 50);  // just right of the client area
  RunFrames(1);
  EXPECT_EQ(tuSystem::sys.cursorShown, 1);
  EXPECT_TRUE(CursorVisible());
}

TEST_F(Shell, KeyMessagesFeedHeldAndLastKeyAndSystemKeysAreSwallowed) {
  tuSystem::WndProc(WM_KEYDOWN, 'X', 0);
  tuSystem::WndProc(WM_KEYDOWN, 'Z', 0);
  tuSystem::WndProc(WM_KEYUP, 'X', 0);  // not the last pressed: heldKey stays
  EXPECT_EQ(tuSystem::sys.heldKey, 'Z');
  tuSystem::WndProc(WM_KEYUP, 'Z', 0);
  EXPECT_EQ(tuSystem::sys.heldKey, 0);
  EXPECT_EQ(tuSystem::sys.lastKey, 'Z');
  tuSystem::WndProc(WM_SYSKEYDOWN, 115, 0);  // Alt+F4
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
  EXPECT_EQ(tuSystem::sys.lastKey, 'Z');
  // Releases with Alt held come as system key-ups: none of the key-up bookkeeping.
  tuSystem::WatchKey('X');
  tuSystem::WndProc(WM_KEYDOWN, 'X', 0);
  tuSystem::WndProc(WM_SYSKEYUP, 'X', 0);
  tuSystem::WndProc(WM_SYSKEYUP, 16, 0);
  EXPECT_EQ(tuSystem::sys.heldKey, 'X');
  EXPECT_EQ(tuSystem::sys.shiftToggle, 0);
  EXPECT_EQ(tuSystem::GetWatchCount(), 0);
  tuSystem::CaptureKeys();
  tuSystem::WndProc(WM_KEYDOWN, 27, 0);
  EXPECT_EQ(tuSystem::sys.capturedKey, 27);
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
}

}  // namespace
