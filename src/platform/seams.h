#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The platform's seams: the switches, injections, overrides, recorders and fault hooks through
// which tests, tools (soak, duel, screenshots, the pack tool, benchmarks, fuzz targets) and the
// simulator run the library without a desktop and look inside it. Not for games: a game
// scripts itself only through tuSystem's public headless calls (UseHeadless, AdvanceClock,
// PressKey), and nothing here belongs to the library's interface. Each seam is implemented
// beside the service it opens (named in each section); only its declaration lives here.
//
// One seam has no call: with TU_AUDIO_FAULT_SIGNALS=1 in its environment the real program lets
// SIGUSR1 take its sound device away and SIGUSR2 bring it back, and TU_AUDIO_FAULT_SLOW_SEARCH=MS
// makes each search for a device hang that long first (platform/audio_faults.cpp).
namespace tu::platform {

struct Surface;
struct Font;

// ---- Headless mode (headless.cpp) and the manual clock (clock.cpp)
// Headless mode: no window, no audio device, the manual clock, injected keys and recorded
// message boxes. Switched on before anything starts; it turns the manual clock on.
void SetHeadless(bool on);
// The manual clock replaces the steady clock while it is on.
void UseManualClock(bool on);
void SetTick(uint32_t tick);
void AdvanceTick(uint32_t ms);

// ---- Keys and joysticks (keyboard.cpp, joystick.cpp), read in headless mode
void InjectKey(int vk, bool down);
void ClearInjectedKeys();
// The state a test gives each joystick.
void InjectJoystick(int id, bool present, uint32_t x = 32767, uint32_t y = 32767,
                    uint32_t buttons = 0);

// ---- The window (window.cpp): headless stand-ins for what the desktop would report
void SetHeadlessCursorPos(int x, int y);
void SetHeadlessWindowOrigin(int x, int y);

// ---- Message boxes (dialog.cpp): recorded and answered in headless mode
struct RecordedBox {
  std::string caption, text;
  unsigned style;
  std::string shownCaption, shownText;  // what a desktop box displays (ShownText, dialog.h)
};
const std::vector<RecordedBox>& RecordedBoxes();
void ClearRecordedBoxes();
// Headless answer to Yes/No boxes (Yes unless set to false).
void SetQuestionAnswer(bool yes);
int BeepCount();
// Headless message boxes are also written to standard error (as a desktop would show them),
// for programs run without a display by a script (a test's own boxes stay quiet). A box whose
// text its caller wrote there already is not written again.
void SetEchoBoxes(bool on);

// ---- Files, resources and the instance guard (files.cpp, resources.cpp, instance.cpp)
// Overrides the executable's folder; empty restores the real one.
void SetExeFolderOverride(const std::string& folder);
// Fills the resource registry, which is empty in the game. Kinds as the library asks for them
// ("BITMAP" images without file header, "WAVE" images).
void RegisterResource(const std::string& type, const std::string& name, std::vector<uint8_t> bytes);
void ClearResources();
// The lock file path for an instance name.
std::string InstanceLockPath(const char* name);
// Headless runs hold the single-instance guard without a lock file; on, they take a real lock
// under the name plus "-headless-PID", for tests of the guard.
void UseHeadlessInstanceGuard(bool on);

// ---- The desktop and surfaces (desktop.cpp, surface.cpp)
// The emulated desktop's depth: 16 or 32; other values are ignored.
void SetDesktopDepth(int bits);
// Whether keyed copies of the surface go by its opaque-run index.
bool HasRunIndex(const Surface* s);
// Fault injection: creations fail once `n` more have succeeded (-1 = never).
void FailSurfaceCreationAfter(int n);
int LiveSurfaceCount();

// ---- The display (display.cpp)
// The last presented frame (headless mode, and kept in windowed mode when enabled below):
// client-sized, in the display's format. Null before the first present; valid until the next
// present or CloseDisplay.
const Surface* LastPresentedFrame();
// The same frame as 8-bit R, G, B triples, row by row; false before the first present.
bool LastFrameRgb(std::vector<uint8_t>& rgb, int* width, int* height);
// Keeps the presented frame also when a window is shown (tools taking screenshots).
void KeepPresentedFrames(bool on);
// The way frames reach the screen: "renderer" (GPU renderer and texture), "framebuffer" (the
// window's own buffer, changed rows only), or "none" (headless, or no display open).
const char* PresentPath();
// Number of frames presented since the display opened.
uint64_t PresentCount();
// Fault injection: the next OpenDisplay or CreatePrimary fails.
void FailNextDisplayOpen();
void FailNextPrimary();

// ---- Fonts (font.cpp)
// The file the face was loaded from.
const char* FontFile(const Font* font);
// Resolves a face name to a font file: the standard names, fontconfig matches, the Gothic
// fallback. False when no font file is installed at all.
bool ResolveFace(const char* face, char* path, int pathSize);
// Only the faces in `folder` count as installed, no configuration rules apply; null brings back
// the system's faces and rules.
void RestrictFontsTo(const char* folder);

// ---- Sound (audio_headless.cpp, audio_device.cpp, midi.cpp)
// Mixes `frames` frames at the primary format into `out` (frames × block align bytes) and
// advances every playing buffer. Only in headless mode with the device open, there and not
// held; otherwise the output is silence and nothing advances.
void AudioPull(void* out, int frames);
// Headless: whether the system has sound output at all (tests of the silent mode set false);
// true also brings a simulated device back.
void AudioSetDeviceAvailable(bool available);
// Headless: the device disappears (nothing is pulled from this moment, as when a driver loses
// its device; the removal event follows) or appears again, announced by an added event or not
// (then the 2-second retry finds it).
void SimulateAudioDeviceRemoved();
void SimulateAudioDeviceAdded(bool announced = true);
// Frames the last AudioPlayToEnd mixed in headless mode (0 when it played nothing).
uint32_t AudioLastPlayToEndFrames();
// The MIDI sound font; null or "" restores the default General MIDI font.
void SetMidiSoundFont(const char* path);
const char* MidiSoundFont();

}  // namespace tu::platform
