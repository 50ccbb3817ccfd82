// The headless device: no sound reaches a speaker. Tests, tools and the simulator pull the mix
// themselves (AudioPull), the one-shot player mixes off-line, and a test can take the device
// away and bring it back, or run a system without any sound output, to drive the search in
// audio_device.cpp through the same steps as a real device.
#include <cstring>

#include "platform/audio_internal.h"
#include "platform/headless.h"
#include "platform/seams.h"

namespace tu::platform {

namespace audio {
namespace {

struct Simulated {
  bool available = true;      // the system has sound output at all
  bool started = false;       // the mixer is open on this output
  bool present = true;        // a device exists
  bool installed = false;     // the mixer's output goes to it
  bool disconnected = false;  // the installed device was taken away: nothing pulls it any more
  bool removedEvent = false, addedEvent = false;
};
Simulated sim;

class HeadlessDevice final : public Output {
 public:
  bool Start() override {
    if (!sim.available) return false;
    sim.disconnected = sim.removedEvent = sim.addedEvent = false;
    sim.started = true;
    return true;
  }
  void Stop() override { sim.installed = sim.started = false; }
  bool OpenNow(OutputEvents& events) override { return Search(true, events); }
  void Attach(uint32_t /*device*/) override {
    MixerGuard guard;
    sim.installed = true;
  }
  void TakeEvents(OutputEvents& events) override {
    if (sim.removedEvent && sim.installed) events.Removed();
    if (sim.addedEvent && !sim.installed) events.Arrived();
    sim.removedEvent = sim.addedEvent = false;
  }
  bool There() const override { return sim.installed; }
  bool Gone() const override { return sim.disconnected; }
  bool Running() const override { return sim.installed && !sim.disconnected; }
  void Drop() override {
    sim.installed = false;
    sim.disconnected = false;
  }
  bool Dropped() const override { return false; }  // nothing to close
  bool Search(bool /*open*/, OutputEvents& events) override {
    if (!sim.present) return false;
    events.Install(0);
    return true;
  }
  bool Searching() override { return false; }
  int SetFormat(const WaveFormat& wanted) override {
    SetPrimary(wanted);
    return AUDIO_OK;
  }
  uint32_t PlayOut(AudioBuffer* b) override {
    uint8_t scratch[kChunk * 4];
    int frames = static_cast<int>(sizeof scratch / static_cast<size_t>(FrameBytes()));
    MixerGuard guard;
    // A one-shot buffer always reaches its end: the loop ends.
    while (b->playing) Render(scratch, frames);
    return b->mixedFrames;
  }
};
HeadlessDevice headlessDevice;

}  // namespace

Output& HeadlessOutput() { return headlessDevice; }

}  // namespace audio

using namespace audio;

void AudioSetDeviceAvailable(bool available) {
  sim.available = available;
  if (available) sim.present = true;
}

void SimulateAudioDeviceRemoved() {
  sim.present = false;
  if (!sim.started || !sim.installed) return;
  {
    MixerGuard guard;
    sim.disconnected = true;
  }
  sim.removedEvent = true;
  // Nothing pulls a disconnected device from this moment.
  MixerGuard guard;
  SetPulling(false);
}

void SimulateAudioDeviceAdded(bool announced) {
  sim.present = true;
  if (announced) sim.addedEvent = true;
}

void AudioPull(void* out, int frames) {
  if (!out || frames <= 0) return;
  MixerGuard guard;
  auto* bytes = static_cast<uint8_t*>(out);
  if (!sim.started || !Headless() || !Pulling()) {
    Silence(bytes, static_cast<size_t>(FrameBytes()) * static_cast<size_t>(frames));
    return;
  }
  Render(bytes, frames);
}

}  // namespace tu::platform
