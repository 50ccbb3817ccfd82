// The output device and its search. The mixer opens with a device when there is one and waits
// for one when there is not; a device that goes away is let go and looked for again, at once
// when the system announces one and otherwise quietly every 2 seconds, while the cursors wait
// where it left them. The steps that differ between the real device and the headless one go
// through an Output (audio_internal.h); the real one is here: an SDL device whose callback
// pulls the mix, opened and closed on a helper thread so the frame loop never waits for a
// sound server. The one-shot system player is here too.
#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/audio_internal.h"
#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace tu::platform {

namespace audio {
namespace {

// What the search keeps, whichever output it drives.
struct DeviceState {
  bool open = false;
  bool held = false;
  // Events seen since the last look, and when the next quiet retry is due (platform tick).
  bool removedSeen = false, addedSeen = false;
  uint32_t nextRetry = 0;
  uint32_t lastPlayToEndFrames = 0;
};
DeviceState dev;

// What the outputs report, defined with the search below.
void Install(uint32_t device);
void UpdatePulling();
void NoteRemoval();
void NoteArrival();

// The search's side of the outputs' reports.
class SearchEvents final : public OutputEvents {
 public:
  void Install(uint32_t device) override { audio::Install(device); }
  void Removed() override { NoteRemoval(); }
  void Arrived() override { NoteArrival(); }
};
SearchEvents events;

// ---- The real device

struct SdlState {
  bool audioUp = false;  // SDL's audio subsystem is initialised
  // The output device; 0 while there is none. Written by the main thread only.
  SDL_AudioDeviceID device = 0;
  SDL_AudioDeviceID lostDevice = 0;  // a lost device not closed yet (the search closes it)
  Uint32 installedAt = 0;            // SDL ticks when `device` came: older removals are not its
  Uint32 lastAttemptEnd = 0;         // SDL ticks: added events from before are its own driver's
};
SdlState sdl;

// One search for a device, run on a helper thread: closing a lost device and opening a new one
// can both take a while on a sound server. The helper holds its own share of this, so a helper
// let go while it hangs (Search::Abandon) never touches freed memory.
struct Attempt {
  // Set before the helper starts.
  SDL_AudioDeviceID closing = 0;  // the lost device, closed first
  bool open = true;               // false: only let the device go
  WaveFormat format;
  // Under `lock`: the helper's result, and whether anyone still takes it.
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  bool abandoned = false;  // nobody takes the result: the helper closes what it opened
  SDL_AudioDeviceID found = 0;
  Uint32 endedAt = 0;
};

// How long closing the mixer, changing its format or the program's exit wait for a search
// before they leave it to itself.
constexpr auto kSettleWait = std::chrono::milliseconds(1000);

// The search under way, and one left to itself that may still be inside SDL: no other search
// starts and SDL's audio is not shut down until it has ended.
struct Search {
  std::thread thread;
  std::shared_ptr<Attempt> attempt;
  std::shared_ptr<Attempt> stray;

  // The program ends: a search still under way gets a bounded wait, then is left to the
  // process's exit, so neither a running thread's destructor nor a hung server stops the exit.
  ~Search() {
    if (!thread.joinable()) return;
    if (WaitEnd(kSettleWait)) {
      thread.join();
      if (attempt->found) SDL_CloseAudioDevice(attempt->found);
    } else {
      Abandon();
    }
  }

  // Waits up to `wait` for the search under way to end; true when it has.
  bool WaitEnd(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> hold(attempt->lock);
    return attempt->ended.wait_for(hold, wait, [this] { return attempt->done; });
  }

  // Leaves the search under way to itself: whatever it opens it closes.
  void Abandon() {
    {
      std::lock_guard<std::mutex> hold(attempt->lock);
      attempt->abandoned = true;
    }
    thread.detach();
    stray = std::move(attempt);
  }

  // Whether a search left to itself is still inside SDL.
  bool StrayRunning() {
    if (!stray) return false;
    std::lock_guard<std::mutex> hold(stray->lock);
    if (!stray->done) return true;
    stray.reset();
    return false;
  }
};
Search search;

void SDLCALL Callback(void* /*user*/, Uint8* stream, int len) {
  MixerGuard guard;
  int block = FrameBytes();
  // A device being let go, or held, is fed silence and advances nothing.
  int frames = Pulling() ? len / block : 0;
  Render(stream, frames);
  int rest = len - frames * block;
  if (rest > 0) Silence(stream + frames * block, static_cast<size_t>(rest));
}

// Sample frames per device callback: about 23 ms, never more than 1024.
Uint16 DeviceFrames(uint32_t rate) {
  Uint16 n = 1024;
  while (n > 128 && static_cast<uint64_t>(n) * 43 > rate) n /= 2;
  return n;
}

// Opens the default output device at `f`, paused; 0 when there is none. Touches no state, so
// the search's helper thread can call it.
SDL_AudioDeviceID OpenSdlDevice(const WaveFormat& f) {
  if (FaultDeviceAbsent()) return 0;
  SDL_AudioSpec want{}, have{};
  want.freq = static_cast<int>(f.samplesPerSec);
  want.format = f.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(f.channels);
  want.samples = DeviceFrames(f.samplesPerSec);
  want.callback = Callback;
  // No allowed changes: SDL converts from exactly this format if the hardware wants another.
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

void QuietAlsaLines(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints lines of its own on stderr for every device it fails to open; a search that
// retries every 2 seconds must not fill the terminal with them. Its library is already loaded
// where SDL's driver uses it; elsewhere this does nothing.
void QuietAlsa() {
  void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (!lib) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler")))
    set(QuietAlsaLines);
  dlclose(lib);
}

void CloseSdlDevice() {
  SDL_AudioDeviceID ids[2] = {sdl.device, sdl.lostDevice};
  sdl.device = sdl.lostDevice = 0;
  UpdatePulling();
  for (SDL_AudioDeviceID id : ids)
    if (id) SDL_CloseAudioDevice(id);  // waits for the callback to finish
}

// Whether SDL's driver reaches its devices through a sound server. Such a driver keeps one
// connection for all its devices, which a restart of the server leaves dead; drivers that open
// the hardware (or a file) afresh for every device need no restart of their own.
bool DriverUsesServer() {
  const char* d = SDL_GetCurrentAudioDriver();
  if (!d) return true;  // a restart that failed: try again
  for (const char* direct : {"alsa", "dsp", "disk", "dummy"})
    if (strcmp(d, direct) == 0) return false;
  return true;
}

void RunAttempt(std::shared_ptr<Attempt> a) {
  if (uint32_t ms = FaultSearchDelayMs()) SDL_Delay(ms);
  if (a->closing) SDL_CloseAudioDevice(a->closing);
  SDL_AudioDeviceID id = a->open ? OpenSdlDevice(a->format) : 0;
  if (!id && a->open && !FaultDeviceAbsent() && DriverUsesServer()) {
    // The server may have restarted under the driver: start the driver afresh, as at program
    // start, and try once more.
    if (SDL_AudioInit(nullptr) == 0) QuietAlsa();
    id = OpenSdlDevice(a->format);
  }
  std::lock_guard<std::mutex> hold(a->lock);
  if (a->abandoned && id) SDL_CloseAudioDevice(id);  // paused: its callback never ran
  a->found = a->abandoned ? 0 : id;
  a->endedAt = SDL_GetTicks();
  a->done = true;
  a->ended.notify_all();
}

// Takes the result of a finished search: the device it found, or the next quiet retry.
void FinishAttempt() {
  search.thread.join();
  std::shared_ptr<Attempt> a = std::move(search.attempt);
  sdl.lastAttemptEnd = a->endedAt;
  if (a->found)
    Install(a->found);
  else if (a->open)
    dev.nextRetry = Tick() + kRetryMs;
}

// Waits a bounded time for a search under way (for closing the mixer or changing its format);
// one that does not end in time is left to itself. False while a search left to itself may
// still be inside SDL.
bool SettleAttempt() {
  if (search.thread.joinable()) {
    if (search.WaitEnd(kSettleWait)) {
      FinishAttempt();
    } else {
      search.Abandon();
      fprintf(stderr, "%s: the sound device does not answer; it is left behind\n", ProgramName());
      dev.nextRetry = Tick() + kRetryMs;
    }
  }
  return !search.StrayRunning();
}

void OnDeviceEvent(const SDL_Event& e) {
  if (e.type != SDL_AUDIODEVICEADDED && e.type != SDL_AUDIODEVICEREMOVED) return;
  if (!dev.open || Headless() || e.adevice.iscapture) return;
  if (e.type == SDL_AUDIODEVICEREMOVED) {
    if (sdl.device && e.adevice.which == sdl.device &&
        static_cast<int32_t>(e.adevice.timestamp - sdl.installedAt) >= 0)
      dev.removedSeen = true;
  } else if (!sdl.device && static_cast<int32_t>(e.adevice.timestamp - sdl.lastAttemptEnd) > 0) {
    dev.addedSeen = true;
  }
}

class SdlOutput final : public Output {
 public:
  bool Start() override {
    // Only a system without any way to play sound runs silent for good. SDL's audio may still
    // be up from before, kept for a search left to itself.
    if (!sdl.audioUp && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    sdl.audioUp = true;
    QuietAlsa();
    InstallFaultSignals();
    AddEventObserver(OnDeviceEvent);
    return true;
  }

  void Stop() override {
    bool settled = SettleAttempt();
    CloseSdlDevice();
    // A search left inside SDL keeps SDL's audio up: shutting it down would free what it uses.
    if (sdl.audioUp && settled) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      sdl.audioUp = false;
    }
  }

  bool OpenNow(OutputEvents& /*events*/) override {
    if (SDL_AudioDeviceID id = OpenSdlDevice(AudioPrimaryFormat())) {
      Install(id);
      return true;
    }
    static bool told = false;
    if (!told) {
      fprintf(stderr, "%s: no sound device (%s); sound stays silent until one appears\n",
              ProgramName(), SDL_GetError());
      told = true;
    }
    sdl.lastAttemptEnd = SDL_GetTicks();
    return false;
  }

  void Attach(uint32_t id) override {
    {
      MixerGuard guard;
      sdl.device = id;
    }
    sdl.installedAt = SDL_GetTicks();
    SDL_PauseAudioDevice(id, 0);
  }

  void TakeEvents(OutputEvents& /*events*/) override {
    TakeFaultSignals(sdl.device);
    // Events the window's pump has not taken yet (and all of them where there is no window).
    SDL_Event events[8];
    int n;
    while ((n = SDL_PeepEvents(events, 8, SDL_GETEVENT, SDL_AUDIODEVICEADDED, SDL_AUDIODEVICEREMOVED)) > 0)
      for (int i = 0; i < n; ++i) OnDeviceEvent(events[i]);
  }

  bool There() const override { return sdl.device != 0; }
  bool Gone() const override { return SDL_GetAudioDeviceStatus(sdl.device) == SDL_AUDIO_STOPPED; }
  bool Running() const override { return sdl.device != 0; }

  void Drop() override {
    sdl.lostDevice = sdl.device;
    sdl.device = 0;
  }
  bool Dropped() const override { return sdl.lostDevice != 0; }

  bool Search(bool open, OutputEvents& /*events*/) override {
    auto a = std::make_shared<Attempt>();
    a->closing = sdl.lostDevice;
    a->open = open;
    a->format = AudioPrimaryFormat();
    try {
      search.thread = std::thread(RunAttempt, a);
    } catch (const std::system_error&) {
      return false;  // no thread now: the device waits for the next retry
    }
    search.attempt = std::move(a);
    sdl.lostDevice = 0;
    return true;
  }

  bool Searching() override {
    // A search left to itself ends before another starts: two never meet inside SDL.
    if (search.StrayRunning()) return true;
    if (!search.thread.joinable()) return false;
    {
      std::lock_guard<std::mutex> hold(search.attempt->lock);
      if (!search.attempt->done) return true;
    }
    FinishAttempt();
    return false;
  }

  int SetFormat(const WaveFormat& wanted) override {
    if (!SettleAttempt() || !sdl.device) {
      // No device to ask: the search opens the next one at this format.
      CloseSdlDevice();
      SetPrimary(wanted);
      return AUDIO_OK;
    }
    // The callback reads the primary format: change it only while no device runs.
    WaveFormat old = AudioPrimaryFormat();
    CloseSdlDevice();
    SetPrimary(wanted);
    if (SDL_AudioDeviceID id = OpenSdlDevice(wanted)) {
      Install(id);
      return AUDIO_OK;
    }
    SetPrimary(old);
    // If even the old format cannot be reopened the search looks for a device.
    if (SDL_AudioDeviceID id = OpenSdlDevice(old))
      Install(id);
    else
      dev.nextRetry = Tick() + kRetryMs;
    return AUDIO_ERR_BADFORMAT;
  }

  uint32_t PlayOut(AudioBuffer* b) override {
    // Real time: wait for the mixer to finish it, with a bound in case the device stalls.
    double seconds = static_cast<double>(b->frames) / b->frequency;
    Uint32 limit = SDL_GetTicks() + static_cast<Uint32>(seconds * 2000.0) + 2000;
    for (;;) {
      uint32_t status = 0;
      AudioGetStatus(b, &status);
      if (!(status & AUDIO_STATUS_PLAYING)) break;
      if (static_cast<int32_t>(SDL_GetTicks() - limit) >= 0) break;
      SDL_Delay(5);
    }
    return 0;
  }
};
SdlOutput sdlOutput;

// ---- The search, for either output

Output& Out() { return Headless() ? HeadlessOutput() : static_cast<Output&>(sdlOutput); }

// The device is gone (or let go while the program is inactive): nothing pulls the mixer until
// the search finds another.
void Lose() {
  Out().Drop();
  UpdatePulling();
  dev.nextRetry = Tick();  // another device may be there already
}

// Starts a search for a device, or with `open` false only lets a lost device go.
void StartSearch(bool open) {
  if (!open && !Out().Dropped()) return;
  dev.addedSeen = false;
  if (!Out().Search(open, events)) dev.nextRetry = Tick() + kRetryMs;
}

// The device is ours: one-shots started while nothing could be heard are over by now, so they
// stay silent; everything else carries on from where it waits.
void Install(uint32_t device) {
  ForgetUnheardOneShots();
  Out().Attach(device);
  UpdatePulling();
}

void UpdatePulling() {
  MixerGuard guard;
  SetPulling(AudioOutputRunning() && !dev.held);
}

void NoteRemoval() { dev.removedSeen = true; }
void NoteArrival() { dev.addedSeen = true; }

}  // namespace
}  // namespace audio

using namespace audio;

// ---- Device and primary format

int AudioOpen() {
  if (dev.open) return AUDIO_OK;
  SetPrimary(MakeFormat(2, 44100, 16));
  dev.held = dev.removedSeen = dev.addedSeen = false;
  if (!Out().Start()) return AUDIO_ERR_NODEVICE;
  dev.open = true;
  if (!Out().OpenNow(events)) dev.nextRetry = Tick() + kRetryMs;
  return AUDIO_OK;
}

void AudioClose() {
  if (!dev.open) return;
  // Both kinds of output let go of whatever they hold; the one not used holds nothing.
  sdlOutput.Stop();
  HeadlessOutput().Stop();
  ReleaseAllBuffers();
  dev.open = false;
  dev.held = false;
  UpdatePulling();
}

bool AudioIsOpen() { return dev.open; }

int AudioSetPrimaryFormat(const WaveFormat& format) {
  if (!dev.open) return AUDIO_ERR_NODEVICE;
  if (!PrimaryFormatOk(format)) return AUDIO_ERR_BADFORMAT;
  return Out().SetFormat(MakeFormat(format.channels, format.samplesPerSec, format.bitsPerSample));
}

// ---- The output device coming and going

void AudioService() {
  if (!dev.open) return;
  Output& out = Out();
  out.TakeEvents(events);
  if (out.There() && (dev.removedSeen || out.Gone())) Lose();
  dev.removedSeen = false;
  if (out.Searching()) return;
  if (dev.held) {
    // Inactive: even a paused device keeps its driver's thread busy, so it is let go.
    if (out.There()) Lose();
    StartSearch(false);
    return;
  }
  if (out.There()) return;
  if (dev.addedSeen || static_cast<int32_t>(Tick() - dev.nextRetry) >= 0) StartSearch(true);
}

bool AudioOutputRunning() { return Out().Running(); }

void AudioHold(bool held) {
  if (!dev.open || held == dev.held) return;
  dev.held = held;
  UpdatePulling();
  dev.nextRetry = Tick();
  AudioService();  // lets the device go, or looks for one at once
}

// ---- The one-shot system player

void AudioPlayToEnd(const void* format, uint32_t formatBytes, const void* data, uint32_t bytes) {
  dev.lastPlayToEndFrames = 0;
  if (!data) return;
  bool opened = false;
  if (!dev.open) {
    if (AudioOpen() != AUDIO_OK) return;
    opened = true;
  }
  AudioBuffer* b = nullptr;
  // Without a device there is nothing to wait for.
  if (AudioOutputRunning() && AudioCreateBuffer(format, formatBytes, bytes, &b) == AUDIO_OK) {
    memcpy(b->data, data, bytes);
    AudioPlay(b, false);
    dev.lastPlayToEndFrames = Out().PlayOut(b);
    AudioReleaseBuffer(b);
  }
  if (opened) AudioClose();
}

uint32_t AudioLastPlayToEndFrames() { return dev.lastPlayToEndFrames; }

}  // namespace tu::platform
