// Mixing cost of the sound device: 16 looping voices at 44100 Hz stereo, each with its own
// frequency, pan and volume, stored as 16-bit samples or as 24-bit and float ones. "realtime"
// is the cost as a fraction of the sound's duration on one core (0.01 = 1 %; the report prints
// it with an SI prefix: 2.1m = 0.0021).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/audio.h"
#include "platform/seams.h"

namespace {

// 16 looping voices, half mono and half stereo; `wide` stores every other voice as 24-bit
// integers and the rest as 32-bit floats instead of 16-bit integers.
void MixVoices(benchmark::State& state, bool wide) {
  tu::platform::SetHeadless(true);
  tu::platform::AudioSetDeviceAvailable(true);
  if (tu::platform::AudioOpen() != tu::platform::AUDIO_OK) {
    state.SkipWithError("no headless device");
    return;
  }
  std::vector<tu::platform::AudioBuffer*> voices;
  for (int v = 0; v < 16; ++v) {
    // Rates and lengths differ so loop points differ.
    tu::platform::WaveFormat f;
    f.channels = static_cast<uint16_t>(v % 2 ? 2 : 1);
    f.samplesPerSec = v % 3 ? 44100 : 22050;
    f.bitsPerSample = wide ? (v % 4 < 2 ? 24 : 32) : 16;
    f.formatTag = wide && f.bitsPerSample == 32 ? tu::platform::WAVE_FORMAT_IEEE_FLOAT : tu::platform::WAVE_FORMAT_PCM;
    f.blockAlign = static_cast<uint16_t>(f.channels * f.bitsPerSample / 8);
    f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
    uint32_t frames = 20000 + 1371 * static_cast<uint32_t>(v);
    tu::platform::AudioBuffer* b = nullptr;
    tu::platform::AudioCreateBuffer(f, frames * f.blockAlign, &b);
    void *p1, *p2;
    uint32_t n1, n2;
    tu::platform::AudioLock(b, 0, frames * f.blockAlign, &p1, &n1, &p2, &n2);
    auto* bytes = static_cast<uint8_t*>(p1);
    for (uint32_t i = 0; i < frames * f.channels; ++i) {
      double x = 20000.0 * std::sin(i * (0.01 + 0.003 * v));
      if (f.formatTag == tu::platform::WAVE_FORMAT_IEEE_FLOAT) {
        float s = static_cast<float>(x / 32768.0);
        memcpy(bytes + 4 * i, &s, 4);
      } else {
        int32_t s = static_cast<int32_t>(x * (1 << (f.bitsPerSample - 16)));
        memcpy(bytes + f.bitsPerSample / 8 * i, &s, f.bitsPerSample / 8);  // little-endian
      }
    }
    tu::platform::AudioUnlock(b, p1, n1, p2, n2);
    tu::platform::AudioSetFrequency(b, f.samplesPerSec + 997u * static_cast<uint32_t>(v));
    tu::platform::AudioSetPan(b, -8000 + 1000 * v);
    tu::platform::AudioSetVolume(b, -150 * v);
    tu::platform::AudioPlay(b, true);
    voices.push_back(b);
  }
  constexpr int kFrames = 1024;
  std::vector<int16_t> out(kFrames * 2);
  for (auto _ : state) {
    tu::platform::AudioPull(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  }
  double audioSeconds = static_cast<double>(state.iterations()) * kFrames / 44100.0;
  state.counters["realtime"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * kFrames);
  for (tu::platform::AudioBuffer* b : voices) tu::platform::AudioReleaseBuffer(b);
  tu::platform::AudioClose();
}

void BM_Mix16LoopingVoices(benchmark::State& state) { MixVoices(state, false); }
BENCHMARK(BM_Mix16LoopingVoices);

void BM_MixWideAndFloatVoices(benchmark::State& state) { MixVoices(state, true); }
BENCHMARK(BM_MixWideAndFloatVoices);

}  // namespace
