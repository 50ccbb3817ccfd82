#pragma once
#include <cstdint>

#include <tu/keys.h>
#include <tu/types.h>

// tuSystem: the program and its frame loop, timing, diagnostics, paths and system services,
// keys, game pads and joysticks, the frame meter, headless runs.
//
// What a game calls, most of it once:
//   Program, Main                    hand the library a title, a loader and scenes; run them
//   sys.sceneNo, sys.sceneEntered    switch scenes; a scene's first frame
//   sys.frameSeconds                 the last frame's length, for motion
//   IsKeyPressed, IsKeyDown, IsKeyReleased   keys by frame (codes in <tu/keys.h>)
//   SetWait, CheckWait, Tick         deadlines and the millisecond tick
//   Error, Message, Question         the library's one way to report
//   GetPath, UserFolder, ReadNumber, WriteNumber   files beside the program and the user's own
//   Exit                             end the program
//   UseHeadless, Start, PressKey, RunFrame   run without a display (tests, CI)
// The loop's own workings (start-up pieces, the window procedure) are in <tu/internal/system.h>,
// included at the end.
namespace tuSystem {

constexpr uint32_t WAIT_NEVER = 999999999u;
// Wait slots 1..kWaitSlots exist; a program uses 1..kCallerWaitSlots, the last one is Delay's.
constexpr int kWaitSlots = 11;
constexpr int kCallerWaitSlots = 10;

// Bits of SystemState::configFlags, read by Start and the loop; all clear by default.
constexpr uint32_t kConfigNotTopmost = 1u << 0;   // the window does not stay above the others
constexpr uint32_t kConfigRunInactive = 1u << 1;  // frames run on while the window is inactive
constexpr uint32_t kConfigHidden = 1u << 2;       // the window is created hidden

// Folders GetPath gives.
constexpr int kPathProgram = 0;   // the program's folder
constexpr int kPathSettings = 1;  // the setting files' folder (the program's without a data root)

using SceneFn = void (*)();

// Inputs of a game pad in the common controller layout: directions from the d-pad or the
// left stick, the four face buttons by position, Start, Back and the shoulder buttons.
enum PadInput {
  kPadLeft, kPadRight, kPadUp, kPadDown,
  kPadSouth, kPadEast, kPadWest, kPadNorth,
  kPadStart, kPadBack, kPadLeftShoulder, kPadRightShoulder,
  kPadInputs
};
// A game's pads: for player 0 (the first pad connected) and player 1 (the second), the
// virtual key each input holds down, 0 for none. Held keys read in GetKey as if held on the
// keyboard; both together are one key.
struct PadMapping {
  int keys[2][kPadInputs] = {};
};

// What a game hands to the entry point: its title, its asset loader, its scene routines and
// the switches below.
struct Program {
  // The window's caption, the name of the single-instance lock and the prefix of start-up
  // messages. Null or empty: the default.
  const char* title = "tu program";
  // 1: one copy of each title runs at a time (a lock named title + ":TuMutex"); a second copy
  // brings the first one's window forward and ends. 0: any number of copies run.
  int singleInstance = 0;
  // 1: the Escape key ends the program (tuSystem::Exit) as soon as it is pressed. 0: Escape is a
  // key like the others, read by polling.
  int escapeQuits = 1;
  // 1: the library's message boxes (Error, Message, Question) are written to standard error
  // instead of shown, and a question is answered no. 0: the boxes. Headless runs record boxes
  // either way.
  int errorsToStderr = 0;
  void (*loadAssets)() = nullptr;
  SceneFn scenes[4] = {};  // index = scene number 1..3; 0 unused
  // Game pads, turned on at start-up when set.
  const PadMapping* pads = nullptr;
  // Tools replay runs exactly: a fixed seed takes the place of seeding with the time.
  int fixedSeed = 0;
  unsigned seed = 0;
};

// A picture or sound that a loader could not load (LoadError).
struct LoadFailure {
  char kind[8] = {};      // "picture" or "sound"
  char name[64] = {};     // the name the loader was given
  char folder[256] = {};  // the folder that name is relative to (the program's), ending in "/"
  char reason[80] = {};   // why, in English: "file not found", "not a BMP file", ...
};
// The load failures kept: the latest ones, when there are more.
constexpr int kMaxLoadFailures = 64;

// The shell's state: plain fields, reset by Init.
struct SystemState {
  // Start-up, loop and scenes
  char title[64] = {};
  char commandLine[256] = {};
  uint32_t configFlags = 0;
  int fullScreen = 0;
  int desktopFullScreen = 0;
  int windowWidth = 640, windowHeight = 480;
  int isActive = 0;
  int sceneNo = 0;
  int prevSceneNo = 0;
  int sceneEntered = 0;
  int nextSceneNo = 0;
  int scenesSuspended = 0;
  float frameSeconds = 0.0f;
  uint32_t lastFrameTime = 0;
  int blinkOn = 1;
  uint32_t nextBlink = 0;
  int cursorShown = 1;
  int messageBoxUp = 0;
  int dialogMode = 0;
  int mouseX = 0, mouseY = 0, prevMouseX = 0, prevMouseY = 0, mouseMoveX = 0, mouseMoveY = 0;
  int closeState = 0;
  int shutdownDone = 0;
  int quit = 0;  // the quit message was seen
  uint32_t frameCount = 0;  // frame steps run since start-up
  unsigned seed = 0;        // what rand() was seeded with at start-up: the fixed seed or the time
  // Kept by the window procedure (<tu/internal/system.h>) for the library's own use
  int clientX = 0, clientY = 0;
  tu::Rect clientRect;
  int heldKey = 0, lastKey = 0, scrollKey = 0, capturedKey = 0;
  int shiftToggle = 0;
  int watchedKey = 0, watchedKeyReleases = 0;
  int leftHeld = 0, rightHeld = 0, leftPressed = 0, rightPressed = 0;
  int leftDoubleClick = 0, rightDoubleClick = 0, leftLatch = 0, rightLatch = 0;
  int buttonState = 0, lastButton = 0, capturedClick = 0;
  int keyCaptureMode = 0, sysKeyMode = 0;
  int cursorClipEnabled = 0, cursorClipped = 0;
  int imeOn = 0;
  // Timing
  uint32_t waitSlots[kWaitSlots + 1] = {};  // 1..11 used
  int waitArmed[kWaitSlots + 1] = {};       // WAIT_NEVER slots are disarmed, whatever the tick
  uint32_t waitStart[kWaitSlots + 1] = {};  // tick each slot was armed at
  // Diagnostics
  int errorFlag = 0;
  int exitStatus = 0;  // what Main returns
  int holdErrors = 0;  // error boxes are held back (HoldErrors)
  int heldErrors = 0;
  char heldText[4096] = {};      // the held reports, one a line, as the box records them
  char heldReadable[4096] = {};  // the same in English
  int loadFailureCount = 0;      // since Init; the latest kMaxLoadFailures are kept
  LoadFailure loadFailures[kMaxLoadFailures];
  // Paths
  char path[256] = {};
  char altRoot[256] = {};
  char tail[128] = {};
  char userFolder[256] = {};
  // Trigger
  int triggerState = 0, triggerCode = 0;
  // Keys the program holds itself (a computer player): 0 the keyboard's, 1 driven up, 2 driven down
  uint8_t drivenKeys[256] = {};
  // Keys by frame: kFrameKey... bits of each key as the last frame step took them, and the
  // kKeyEdge... bits its key messages left since (other bits are the loop's own).
  uint8_t frameKeys[256] = {};
  uint8_t keyEdges[256] = {};
};
extern SystemState sys;

// Load-time stamps: game stopwatches and the meter's next sample tick.
extern uint32_t loadStamps[4];
extern const double kPi;

// ---- Start-up, loop, scenes, shutdown
int Exit();
// The entry point's result from now on (0 unless set): a program that ends because it cannot
// run sets it before Exit.
void SetExitStatus(int status);
// The entry point: start-up, loop until quit; returns the exit status (SetExitStatus), 0 unless
// the program set one.
int Main(int argc, char** argv, const Program& program);
// Start-up only (steps up to the loop); 1 when the loop may run, 0 when start-up ended the
// program (a second copy, no window, or Exit called while the assets loaded).
int Start(int argc, char** argv, const Program& program);
// One turn of the loop: one message, or a frame when the queue is empty. 0 after the quit message.
int Turn();
// Turns of the loop until one frame step has run (tools that drive the program frame by frame).
// False when the program ended, or when no frame could run (the program never became active).
bool RunToNextFrame();
const Program& CurrentProgram();

// ---- Runs without a display (tests, demos, CI)
// Call before Start; drive the frames with RunFrame, or AdvanceClock and RunToNextFrame (Main
// would spin: the clock never moves by itself). No window and no sound device open: the mixer runs as the clock advances
// and its output goes to the sound sink, or is dropped. The clock starts at `startTick` and
// the load-time stamps with it; keys come only from PressKey; message boxes are written to
// standard error and answered OK or Yes.
void UseHeadless(uint32_t startTick = 0);
// Whether the program runs headless (after UseHeadless).
bool IsHeadless();
// Moves the headless clock `ms` forward and mixes that much sound (fractions of a sample frame
// carry over to the next call). Without UseHeadless: nothing.
void AdvanceClock(uint32_t ms);
// Sets the clock to `tick` without mixing (a saved state put back). Without UseHeadless: nothing.
void SetClock(uint32_t tick);
// One frame of a scripted run: moves the headless clock `ms` forward, runs to the next frame
// step (RunToNextFrame's result), then mixes the sound of those `ms`, as a device takes the
// sound of a frame while it plays. Unlike AdvanceClock before RunToNextFrame, the sounds the
// frame starts are in its own mix. Without UseHeadless: false, nothing runs.
bool RunFrame(uint32_t ms);
// Puts key `vk` down (1) or up (0) as the keyboard would: polling and the window procedure see
// it at the next turn of the loop (Escape ends the program). Without UseHeadless: nothing.
void PressKey(int vk, int down);

// Sound AdvanceClock or RunFrame mixed, in the mix format (tuSound::SelectFormat; by default 44100 Hz,
// 16-bit signed stereo): `frames` frames of `channels` interleaved samples, left first, each
// 16-bit signed (int16_t) or 8-bit unsigned (128 silence) by `bits`.
struct MixedSound {
  const void* samples;  // valid during the call only
  int frames;
  int channels;
  int bits;
  int samplesPerSec;
};
using SoundSink = void (*)(const MixedSound& sound, void* context);
// Hands every block AdvanceClock and RunFrame mix to `sink` with `context`, in order; null drops
// them again.
void SetSoundSink(SoundSink sink, void* context);

// ---- Frame timing and wait slots
// The millisecond tick every timer of the library reads: 32 bits that wrap (compare ticks by
// unsigned difference); in headless runs the manual clock.
uint32_t Tick();
// Sleeps the calling thread for `ms` milliseconds; in headless runs the clock advances instead.
void Sleep(uint32_t ms);
uint32_t ResetFrameTime();
// Slot n (1..kCallerWaitSlots) expires `ms` from now. 1, or 0 after a report (n out of range).
int SetWait(int n, uint32_t ms);
// Disarms slot n (1..kCallerWaitSlots). 1, or 0 after a report.
int InitWait(int n);
// 1 once slot n's deadline has come, else 0 (also for a disarmed slot or n out of 1..kWaitSlots).
int CheckWait(int n);
// Waits `ms` milliseconds on the last slot, then restarts the frame stopwatch.
void Delay(uint32_t ms);

// ---- Diagnostics
// Reports a failure: a beep and an error box whose text is `context` + " : " + `message` (the
// library's messages are Japanese); sets the error flag and returns 0. The same report goes to
// standard error in English ("<program>: context : reason"), and an error box on a desktop
// shows that English text, which its font can always draw. `code` is not shown.
int Error(const char* context, const char* message, int code);
// Reports a failed load as Error does, and keeps it as a LoadFailure: standard error and the
// box's English text say "cannot load <kind> <name> from <folder>: <reason>". `kind` is
// "picture" or "sound", `reason` English. Returns 0.
int LoadError(const char* context, const char* message, const char* kind, const char* name,
              const char* reason);
// Load failures since Init: the count is a mark to read the later ones from with LoadFailureAt
// (0 = the first since Init). Null for an index not kept (out of range, or older than the
// latest kMaxLoadFailures).
int LoadFailureCount();
const LoadFailure* LoadFailureAt(int index);
// Holds error boxes back while on: reports still set the flag and go to standard error, but
// their boxes are kept for ShowHeldErrors instead of shown one by one.
void HoldErrors(int on);
// Shows the reports held back since the last call in one error box, whose text (recorded in
// headless runs) is theirs, one a line; a desktop shows `readable` instead (null: their English
// texts). Returns how many there were; none shows nothing.
int ShowHeldErrors(const char* readable);
int ErrorRaised();
int ExitOnError();
void Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
int Question(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- Paths, setting files and system queries
// The program's folder, ending in "/"; every file name of the library is relative to it. With
// kPathSettings and a root read by SetDataRoot, the setting files' folder below that root instead.
const char* GetPath(int flag);
// Reads the root for setting files from the first line of that file in the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config); no file: no root.
void SetDataRoot(const char* fileName);
// The user's own folder for a program's files (settings, captures), writable where the
// program's folder may not be: $XDG_DATA_HOME/name/ (else ~/.local/share/name/, the home from
// $HOME or else the user's account), created when missing, absolute, ending in "/". `name` is
// one folder name (no "/"). Null after a report (also when there is no home at all).
const char* UserFolder(const char* name);
// The user's folder for a program's settings: $XDG_CONFIG_HOME/name/ (else ~/.config/name/),
// ending in "/", absolute. Not created here: a program creates it when it first writes a file
// there. `name` is one folder name (no "/"). Null after a report (also when there is no home).
const char* ConfigFolder(const char* name);
// The same folder as UserFolder ($XDG_DATA_HOME/name/, else ~/.local/share/name/), named but
// not made, for a program that makes it only when it first writes there. Null after a report.
const char* DataFolder(const char* name);
// One integer as decimal text in a setting file, in the folder of GetPath(kPathSettings), or at
// the path itself when the name begins with "/". ReadNumber gives 0 when the file is missing or
// holds no number; WriteNumber skips a file it cannot write.
void WriteNumber(const char* fileName, int value);
int ReadNumber(const char* fileName);
// `weekday` receives the UTF-8 day name: a buffer of at least 4 bytes.
void GetDate(int* year, int* month, int* day, char* weekday);
void GetTime(int* hour, int* minute, int* second);
int GetDiskFree(char drive);
uint32_t GetFreeMemory();
void SetMousePos(int x, int y);
const char* GetCommandLine();
int GetOsVersion();
int IsWindowed();
int CheckDepth(const char* settingFile);
void CaptureKeys();
void ReleaseKeys();
void WatchKey(int vk);
int GetWatchCount();

// ---- Keys by frame: what most games want. Every frame step takes each key's state once,
// before the scene runs, from the key's messages since the last frame and from the key's state,
// so every call in a frame gives the same answer and no press is lost between frames. A key
// pressed and let go within one frame reads pressed, down and released in that frame. While a
// fade, the scrolling view or key capture runs every key reads up, and a key still held after
// it reads pressed again (as GetKey). Codes outside 1..255 read up.
bool IsKeyPressed(int vk);   // went down in this frame
bool IsKeyDown(int vk);      // is down, or went down in this frame
bool IsKeyReleased(int vk);  // went up in this frame
// All three as one state: Pressed, Released (up again after being down), Held or Up.
tu::KeyState KeyStateOf(int vk);
// Bits of SystemState::frameKeys and keyEdges.
constexpr uint8_t kFrameKeyDown = 1, kFrameKeyPressed = 2, kFrameKeyReleased = 4;
constexpr uint8_t kKeyEdgeDown = 1, kKeyEdgeUp = 2, kKeyEdgeHeld = 4;

// ---- Keyboard polling: a state per key the caller keeps and advances itself
// Advances the caller's key state: tu::kKeyStateUp, Pressed, Held or Released (<tu/keys.h>).
void GetKey(int vk, int* state);
void GetKey(int vk, tu::KeyState* state);
// Whether GetKey would see the key down at this moment: a driven key as driven, else the
// keyboard; false while a fade, the scrolling view or key capture hides the keys. A game that
// takes its input once per step (to record it, or to replay it) reads its keys with this.
bool KeyDownNow(int vk);
// The key state that follows `state` when the key is seen `down` (or up): the transitions of
// GetKey, for keys whose down state comes from elsewhere (a recording, the network).
int NextKeyState(int state, bool down);
// Takes a key from the keyboard: until released, polling sees `down` (1 down, 0 up) in place of
// the keyboard's state, with the same transitions. Codes outside 0..255 are ignored.
void DriveKey(int vk, int down);
// Gives every driven key back to the keyboard.
void ReleaseDrivenKeys();
// The name of a key as the platform's keyboard layer names it ("Left", "Q", "Keypad 4",
// "Left Shift"), the same on every layout; "" for codes with no key of their own (the generic
// tu::kKeyShift, kKeyControl and kKeyAlt) or outside 1..255. Valid for the whole run.
const char* KeyName(int vk);
// The key code of a name KeyName gives, or of any other name the platform knows for that key,
// in any case ("left", "q", "keypad 4"); 0 when no key of the library has that name.
int KeyFromName(const char* name);
// `codes` ends with 0; tu::kMouseLeft and tu::kMouseRight are the mouse buttons. Returns the
// code that fired, or 0.
int GetTrigger(const int* codes);

// ---- Window switches, any time after Start; each returns the state now in force. In headless
// runs there is no window: the on-top and scaling choices are only recorded, fullscreen stays 0.
// Whether the window stays above other windows (Start creates it so unless configFlags has
// kConfigNotTopmost; this switch sets or clears that bit).
int SetWindowOnTop(int on);
int WindowOnTop();
// The window between its own size and desktop fullscreen, as F11 and Alt+Enter switch it.
// FullScreen tells what the window is now, however it got there; 0 without a window.
int SetFullScreen(int on);
int FullScreen();
// How the 640 x 480 picture fills a larger window or screen, keeping 4:3 with black bars.
constexpr int kScaleWhole = 0;  // the largest whole factor, hard pixels (the default)
constexpr int kScaleFill = 1;   // the largest 4:3 rectangle, smoothly scaled
int SetScaling(int mode);
int Scaling();

// ---- Game pads (hot-plugged; read with the window's messages, none in headless mode)
// Turns pads on with `mapping`; 0 when the controller layer cannot start (said on stderr):
// the keyboard still plays.
int UsePads(const PadMapping& mapping);
void StopPads();
// 1 when a pad plays as `player` (0 or 1).
int PadConnected(int player);

// ---- Joysticks (ids 0 and 1; buttons 1..4 for states and timers)
struct JoystickRecord {
  float analogX = 0.0f, analogY = 0.0f;  // -100..100
  float analogSpeed = 0.0f;              // units per second
  float holdTime[4] = {};                // 0..100
  float holdRate = 0.0f;                 // units per second
  int buttonState[4] = {};               // a key state per button (tu::kKeyState...)
};
struct JoystickState {
  int centerX[2] = {}, centerY[2] = {};
  JoystickRecord records[2];
};
extern JoystickState joy;

void InitJoystick();
void CalibrateJoystick();
void ResetJoystick();
void SetJoystickSpeed(int id, float analogSpeed, float holdRate);
void GetJoystickCenter(int id, int* x, int* y);
// Raw position; 0, 0 when the read fails.
void GetJoyPosition(int id, int* x, int* y);
// Each axis -1 (low), 0 or 1 (high); 0, 0 when the read fails.
void GetJoyAxes(int id, int* x, int* y);
// 1..9 as on a numeric keypad; 5 when the read fails.
int GetJoyDirection(int id);
// The virtual analog stick, truncated; 0, 0 when the read fails.
void GetJoyAnalog(int id, int* x, int* y);
// Button 1..32 held: 1, else 0.
int JoyButton(int id, int button);
void GetJoyButtons(int id, int* b1, int* b2, int* b3, int* b4);
// The key state of button 1..4 (tu::kKeyState...).
int GetJoyButton(int id, int button);
void GetJoyButtonStates(int id, int* s1, int* s2, int* s3, int* s4);
// Hold time of button 1..4, truncated.
int GetJoyButtonTime(int id, int button);
void GetJoyButtonTimes(int id, int* t1, int* t2, int* t3, int* t4);

// ---- Frames-per-second meter (draws into the back buffer)
struct FpsState {
  int frameCount = 0;  // calls in the running two-second window, 0..999
  float current = 0.0f, highest = 0.0f, lowest = 999.9f;
  uint32_t nextSample = 0;
  int started = 0;     // nextSample holds a tick (the load time until the first sample)
  char text[64] = {};  // the last line drawn
};
extern FpsState fps;

// Counts the call, samples the rate every two seconds and draws the meter line at (0, 0).
void DrawFps();

}  // namespace tuSystem

#include <tu/internal/system.h>
