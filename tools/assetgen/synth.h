#pragma once
// A small synthesiser: band-limited oscillators, envelopes, a low-pass filter, noise drums, and
// a mix buffer that wraps around for seamless music loops.
#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace assetgen {

enum class Wave { Sine, Triangle, Saw, Square, Bell };

struct Instrument {
  Wave wave = Wave::Sine;
  float pulseWidth = 0.5f;                       // Square only
  float attack = 0.005f, decay = 0.2f, sustain = 0.7f, release = 0.1f;  // seconds; sustain level
  float cutoff = 20000.0f;                       // low-pass, Hz
  float cutoffEnv = 0.0f, cutoffDecay = 0.2f;    // cutoff x (1 + env), env decaying from 1
  float detuneCents = 0.0f;                      // a second oscillator this far up, when non-zero
  float vibratoCents = 0.0f, vibratoHz = 5.0f, vibratoDelay = 0.25f;
  float bellRatio = 3.5f, bellIndex = 2.0f;      // Bell: modulator ratio and depth (decays)
  float gain = 0.3f;
};

// One note: `seconds` held, then the release tail. Starts at full phase 0 so it has no click.
std::vector<float> RenderNote(const Instrument& in, float hz, float seconds, float velocity, int rate);

enum class Drum { Kick, Snare, Hat, OpenHat, Crash, Rim };
std::vector<float> RenderDrum(Drum d, int rate);

// A mono mix buffer. A looped buffer adds what runs past its end to its start, so the last
// sample leads into the first.
struct MixBuffer {
  int rate = 22050;
  bool loop = false;
  std::vector<float> s;
  MixBuffer(int sampleRate, size_t length, bool looped) : rate(sampleRate), loop(looped), s(length, 0.0f) {}
  void add(const std::vector<float>& v, long start, float gain = 1.0f);
  void add(const MixBuffer& other, float gain = 1.0f) { add(other.s, 0, gain); }
  // Echo taps `delay` seconds apart, each `feedback` times the one before.
  void echo(float delaySeconds, float feedback, int taps);
};

// Levels: scales so the RMS of the first `window` samples (all of them when 0) meets the target
// (dBFS), then bends peaks softly under the ceiling (dBFS).
void Master(std::vector<float>& s, float rmsDb, float ceilingDb, size_t window = 0);
// Takes out the average (the constant part). A loop loses a constant, so its seam stays as it
// was; a one-shot loses a smooth bump that is zero at both ends, so it still starts and ends
// where it did.
void RemoveDc(std::vector<float>& s, bool loop);

float MidiHz(int midi);
// "C5", "F#4", "Bb3" to a MIDI number; -1 for a rest ("r"); -2 when malformed.
int ParsePitch(const std::string& name);

std::vector<int16_t> ToPcm16(const std::vector<float>& s);
// RIFF WAVE, PCM 16-bit mono.
bool WriteWav(const std::string& path, const std::vector<int16_t>& pcm, int rate);
// Waveform picture (min/max per column and RMS) for review.
Image WaveformPicture(const std::vector<int16_t>& pcm, int rate, int width, int height);

}  // namespace assetgen
