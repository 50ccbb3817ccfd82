#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include "base/text.h"
#include "draw/hooks.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialog.h"
#include "platform/instance.h"
#include "platform/window.h"
#include "system/frame_keys.h"

namespace tuSystem {

namespace {
Program program;
}

const Program& CurrentProgram() { return program; }

namespace {
// What starts once the display is up: sound, MIDI, the cursor's clip and the joysticks, which
// live above the display's module.
void StartServicesAfterDisplay() {
  tuSound::Init();
  tuSound::ResetObjects();
  tuSound::InitMidi();
  if (sys.fullScreen) ClipCursorToClient();
  InitJoystick();
  if (sys.cursorClipEnabled) ClipCursorToClient();
}
}  // namespace

void Init() {
  tu::draw::SetDisplayUpHook(StartServicesAfterDisplay);
  sys = SystemState{};
  sys.fullScreen = 1;  // the entry point clears it before the window exists
  sys.lastFrameTime = tu::platform::Tick();
  sys.nextBlink = tu::platform::Tick() + 1000;
}

int CheckInstance(const char* title) {
  char name[128];
  tu::JoinCut(name, sizeof name, title, ":TuMutex", "");
  // An unusable lock folder starts the program without the guard (the reason is on stderr).
  return tu::platform::AcquireInstance(name) == tu::platform::InstanceResult::OtherRunning ? 0 : 1;
}

void SetIme(int on) {
  sys.imeOn = on;
  tu::platform::SetTextInput(on != 0);
}

void OnActivate(int /*reason*/) {}

int Exit() {
  if (sys.shutdownDone) return 1;
  sys.shutdownDone = 1;
  UnclipCursor();
  StopPads();
  tuDraw::FreeFonts();
  tuSound::Release();
  tuDraw::Release();
  if (tu::platform::InstanceHeld()) tu::platform::ReleaseInstance();
  if (sys.closeState == 0) tu::platform::PostMessage(tu::platform::WM_CLOSE);
  sys.closeState = 2;
  return 1;
}

void SetExitStatus(int status) { sys.exitStatus = status; }

int ExitOnError() {
  if (sys.errorFlag) Exit();
  return sys.errorFlag;
}

int CheckDepth(const char* settingFile) {
  static const char* const kColours[4] = {"16", "256", "65536", "1670万"};
  int depth = tuDraw::draw.displayDepth;
  int cls = depth == 8 ? 1 : depth == 16 ? 2 : (depth == 24 || depth == 32) ? 3 : 0;
  if (cls == 0) return 1;
  if (sys.fullScreen || tu::platform::DesktopDepth() >= depth) return 1;
  Message(
      "　ウィンドウ状態で実行しようとしていますが、画面が%s色以下に設定されています。\n"
      "正しく動作させるには、%s色以上に設定するか、フルスクリーンで実行させて下さい。",
      kColours[cls - 1], kColours[cls]);
  const char* question = nullptr;
  if (settingFile && settingFile[0]) {
    question = strcmp(settingFile, "*") == 0 ? "フルスクリーンに切り換えますか？"
                                              : "フルスクリーンに設定し直しますか？";
  }
  if (question && Question("%s", question)) {
    if (strcmp(settingFile, "*") != 0) WriteNumber(settingFile, 1);
    sys.fullScreen = 1;
    return 1;
  }
  Exit();
  return 0;
}

int Start(int argc, char** argv, const Program& p) {
  program = p;
  const char* title = p.title && p.title[0] ? p.title : Program{}.title;
  Init();
  tu::CopyCut(sys.title, sizeof sys.title, title);
  tu::platform::SetProgramName(sys.title);
  tu::platform::SetBoxesToStderr(p.errorsToStderr != 0);
  if (p.singleInstance && !CheckInstance(sys.title)) return 0;
  // The command line: the arguments joined by spaces, at most 255 characters.
  sys.commandLine[0] = 0;
  for (int i = 1; i < argc; ++i)
    tu::JoinCut(sys.commandLine, sizeof sys.commandLine, sys.commandLine, i > 1 ? " " : "", argv[i]);
  sys.fullScreen = 0;
  sys.desktopFullScreen = 0;
  sys.windowWidth = 640;
  sys.windowHeight = 480;
  tu::platform::WindowOptions options;
  options.title = sys.title;
  options.width = sys.windowWidth;
  options.height = sys.windowHeight;
  options.topmost = (sys.configFlags & kConfigNotTopmost) == 0;
  options.hidden = (sys.configFlags & kConfigHidden) != 0;
  options.scalable = true;
  const char* why = nullptr;
  if (!tu::platform::CreateMainWindow(options, &why)) {
    fprintf(stderr, "%s: cannot start: %s\n", sys.title, why);
    tu::platform::ReleaseInstance();
    return 0;
  }
  if (program.pads) UsePads(*program.pads);
  sys.seed = program.fixedSeed ? program.seed : static_cast<unsigned>(time(nullptr));
  srand(sys.seed);
  SetIme(0);
  if (program.loadAssets) program.loadAssets();
  if (sys.shutdownDone) return 0;  // the loader ended the program: it cannot run
  ResetFrameTime();
  OnActivate(0);
  return 1;
}

void FrameStep() {
  ++sys.frameCount;
  // Frame time: the second tick reading becomes the stopwatch.
  UpdateFrameTime();
  TakeFrameKeys();
  sys.mouseMoveX = sys.mouseX - sys.prevMouseX;
  sys.mouseMoveY = sys.mouseY - sys.prevMouseY;
  if (sys.prevSceneNo == 0 && sys.sceneNo != 0) {
    sys.sceneEntered = 1;
    sys.prevSceneNo = sys.sceneNo;
  }
  if (!sys.scenesSuspended) {
    if (tuDraw::draw.fadeDirection == 1) {
      tuDraw::Present();
      if (tuDraw::draw.fadeDirection == 0) sys.sceneNo = sys.nextSceneNo;
    } else if (sys.sceneNo >= 1 && sys.sceneNo <= 3 && program.scenes[sys.sceneNo]) {
      program.scenes[sys.sceneNo]();
    }
  }
  if (sys.sceneNo != sys.prevSceneNo) {
    sys.sceneEntered = 1;
    if (tuDraw::draw.wipeState > 0) {
      tuDraw::draw.clipRect = tuDraw::draw.wipeSaved;
      tuDraw::draw.wipeState = 0;
    }
  } else {
    sys.sceneEntered = 0;
  }
  sys.prevSceneNo = sys.sceneNo;
  // By unsigned difference, like every timer, so the phase keeps its pace across the wrap.
  if (static_cast<int32_t>(tu::platform::Tick() - sys.nextBlink) >= 0) {
    sys.blinkOn = !sys.blinkOn;
    sys.nextBlink = tu::platform::Tick() + (sys.blinkOn ? 1000 : 200);
  }
  sys.prevMouseX = sys.mouseX;
  sys.prevMouseY = sys.mouseY;
  sys.leftPressed = sys.rightPressed = sys.leftDoubleClick = sys.rightDoubleClick = 0;
  if (sys.fullScreen == 0 && !sys.messageBoxUp) {
    int x, y;
    tu::platform::GlobalCursorPos(&x, &y);
    bool inside = sys.clientX <= x && x < sys.clientX + sys.windowWidth && sys.clientY <= y &&
                  y < sys.clientY + sys.windowHeight;
    if (inside && sys.cursorShown) {
      tu::platform::ShowCursor(false);
      sys.cursorShown = 0;
    } else if (!inside && !sys.cursorShown) {
      tu::platform::ShowCursor(true);
      sys.cursorShown = 1;
    }
  }
}

int Turn() {
  if (sys.quit) return 0;
  tu::platform::AudioService();
  tu::platform::Message m;
  if (tu::platform::PeekMessage(&m)) {
    if (m.message == tu::platform::WM_QUIT) {
      sys.quit = 1;
      return 0;
    }
    WndProc(m.message, m.wParam, m.lParam);
    return 1;
  }
  if (sys.isActive || (sys.configFlags & kConfigRunInactive)) {
    tu::platform::AudioHold(false);
    FrameStep();
  } else {
    // Nothing runs while inactive: the sound waits where it is, and the mixer takes no time.
    tu::platform::AudioHold(true);
    tu::platform::WaitMessage();
  }
  return 1;
}

bool RunToNextFrame() {
  uint32_t before = sys.frameCount;
  for (int turns = 0; turns < 100000; ++turns) {
    if (!Turn()) return false;
    if (sys.frameCount != before) return true;
  }
  return false;
}

int Main(int argc, char** argv, const Program& p) {
  if (Start(argc, argv, p)) {
    while (Turn()) {
    }
  }
  tu::platform::DestroyMainWindow();
  return sys.exitStatus;
}

}  // namespace tuSystem
