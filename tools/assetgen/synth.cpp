#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "raster.h"

namespace assetgen {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Correction that removes the aliasing step of a discontinuity in a naive saw or square.
float PolyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

struct Osc {
  double phase = 0.0;  // 0..1
  float next(Wave w, double inc, float pw) {
    float t = float(phase), dt = float(inc), v = 0;
    switch (w) {
      case Wave::Sine: v = float(std::sin(kTwoPi * phase)); break;
      case Wave::Triangle: v = 4.0f * std::fabs(t - 0.5f) - 1.0f; break;
      case Wave::Saw: v = 2.0f * t - 1.0f - PolyBlep(t, dt); break;
      case Wave::Square: {
        v = t < pw ? 1.0f : -1.0f;
        v += PolyBlep(t, dt);
        float t2 = t - pw;
        if (t2 < 0) t2 += 1.0f;
        v -= PolyBlep(t2, dt);
        // A pulse narrower or wider than half the period averages 2 pw - 1, not 0: without
        // this the voice carries a constant offset through the filter into the mix.
        v -= 2.0f * pw - 1.0f;
        break;
      }
      case Wave::Bell: v = 0; break;
    }
    phase += inc;
    if (phase >= 1.0) phase -= 1.0;
    return v;
  }
};

}  // namespace

float MidiHz(int midi) { return 440.0f * std::pow(2.0f, float(midi - 69) / 12.0f); }

int ParsePitch(const std::string& n) {
  if (n == "r") return -1;
  if (n.size() < 2) return -2;
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  char c = n[0];
  if (c < 'A' || c > 'G') return -2;
  int pc = base[c - 'A'];
  size_t i = 1;
  if (n[i] == '#') pc += 1, ++i;
  else if (n[i] == 'b') pc -= 1, ++i;
  if (i + 1 != n.size() || n[i] < '0' || n[i] > '8') return -2;
  return 12 * (n[i] - '0' + 1) + pc;
}

std::vector<float> RenderNote(const Instrument& in, float hz, float seconds, float vel, int rate) {
  const float sr = float(rate);
  const size_t held = size_t(seconds * sr);
  const size_t len = held + size_t(in.release * 5.0f * sr) + 1;
  std::vector<float> out(len);
  Osc a, b, mod;
  float lp1 = 0, lp2 = 0, coef = 1.0f, envAtRelease = 0;
  const float nyq = sr * 0.45f;
  for (size_t i = 0; i < len; ++i) {
    float t = float(i) / sr;
    // Envelope: linear attack, exponential decay to the sustain level, exponential release.
    float env;
    float tt = std::min(t, float(held) / sr);
    if (tt < in.attack) env = tt / in.attack;
    else env = in.sustain + (1.0f - in.sustain) * std::exp(-(tt - in.attack) / std::max(in.decay, 1e-4f));
    if (i == held) envAtRelease = env;
    if (i >= held) env = envAtRelease * std::exp(-(t - float(held) / sr) / std::max(in.release, 1e-4f));
    // Pitch with a delayed vibrato.
    float f = hz;
    if (in.vibratoCents > 0 && t > in.vibratoDelay) {
      float depth = std::min(1.0f, (t - in.vibratoDelay) / 0.3f) * in.vibratoCents;
      f *= std::pow(2.0f, depth * float(std::sin(kTwoPi * in.vibratoHz * t)) / 1200.0f);
    }
    double inc = double(f) / sr;
    float v;
    if (in.wave == Wave::Bell) {
      float idx = in.bellIndex * std::exp(-t / 0.35f);
      float m = float(std::sin(kTwoPi * mod.phase));
      mod.phase += inc * in.bellRatio;
      if (mod.phase >= 1.0) mod.phase -= 1.0;
      v = float(std::sin(kTwoPi * a.phase + idx * m));
      a.phase += inc;
      if (a.phase >= 1.0) a.phase -= 1.0;
    } else {
      v = a.next(in.wave, inc, in.pulseWidth);
      if (in.detuneCents != 0) {
        double inc2 = inc * std::pow(2.0, in.detuneCents / 1200.0);
        v = 0.5f * (v + b.next(in.wave, inc2, in.pulseWidth));
      }
    }
    if ((i & 7) == 0) {
      float fc = in.cutoff * (1.0f + in.cutoffEnv * std::exp(-t / std::max(in.cutoffDecay, 1e-4f)));
      fc = std::min(fc, nyq);
      coef = 1.0f - std::exp(-float(kTwoPi) * fc / sr);
    }
    lp1 += coef * (v - lp1);
    lp2 += coef * (lp1 - lp2);
    out[i] = lp2 * env * vel * in.gain;
  }
  // A short fade at the very end of the tail, so nothing stops on a step.
  size_t fade = std::min<size_t>(len, size_t(0.004f * sr));
  for (size_t k = 0; k < fade; ++k) out[len - 1 - k] *= float(k) / float(fade);
  return out;
}

std::vector<float> RenderDrum(Drum d, int rate) {
  const float sr = float(rate);
  Rand rnd(d == Drum::Snare ? 5 : d == Drum::Hat ? 7 : d == Drum::OpenHat ? 9 : d == Drum::Crash ? 13 : 3);
  float dur = 0.3f;
  switch (d) {
    case Drum::Kick: dur = 0.45f; break;
    case Drum::Snare: dur = 0.3f; break;
    case Drum::Hat: dur = 0.08f; break;
    case Drum::OpenHat: dur = 0.35f; break;
    case Drum::Crash: dur = 1.6f; break;
    case Drum::Rim: dur = 0.08f; break;
  }
  std::vector<float> out(size_t(dur * sr));
  double ph = 0;
  float lp = 0, lp2 = 0, hp = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = float(i) / sr, v = 0, n = rnd.sym();
    switch (d) {
      case Drum::Kick: {
        float f = 45.0f + 110.0f * std::exp(-t / 0.035f);
        ph += f / sr;
        v = float(std::sin(kTwoPi * ph)) * std::exp(-t / 0.16f);
        v += n * 0.25f * std::exp(-t / 0.004f);
        break;
      }
      case Drum::Snare: {
        ph += 190.0 / sr;
        lp += 0.45f * (n - lp);
        float body = float(std::sin(kTwoPi * ph)) * std::exp(-t / 0.05f);
        float noise = (n - lp * 0.6f) * std::exp(-t / 0.09f);
        v = 0.55f * body + 0.6f * noise;
        break;
      }
      case Drum::Rim: {
        ph += 820.0 / sr;
        v = float(std::sin(kTwoPi * ph)) * std::exp(-t / 0.015f) * 0.8f + n * 0.3f * std::exp(-t / 0.006f);
        break;
      }
      case Drum::Hat:
      case Drum::OpenHat:
      case Drum::Crash: {
        lp += 0.35f * (n - lp);   // high-pass: the noise less its low part
        hp = n - lp;
        lp2 += 0.7f * (hp - lp2);
        float tau = d == Drum::Hat ? 0.022f : d == Drum::OpenHat ? 0.11f : 0.5f;
        v = lp2 * std::exp(-t / tau) * (d == Drum::Crash ? 0.7f : 0.8f);
        break;
      }
    }
    // Every hit rises from silence within a fraction of a millisecond: punch without a step.
    out[i] = v * std::min(1.0f, t / 0.0006f);
  }
  size_t fade = std::min<size_t>(out.size(), size_t(0.004f * sr));
  for (size_t k = 0; k < fade; ++k) out[out.size() - 1 - k] *= float(k) / float(fade);
  return out;
}

void MixBuffer::add(const std::vector<float>& v, long start, float gain) {
  const long n = long(s.size());
  if (n == 0) return;
  for (size_t i = 0; i < v.size(); ++i) {
    long k = start + long(i);
    if (loop) {
      k %= n;
      if (k < 0) k += n;
    } else if (k < 0 || k >= n) {
      continue;
    }
    s[size_t(k)] += v[i] * gain;
  }
}

void MixBuffer::echo(float delaySeconds, float feedback, int taps) {
  std::vector<float> dry = s;
  long d = long(delaySeconds * float(rate));
  float g = 1.0f;
  for (int k = 1; k <= taps; ++k) {
    g *= feedback;
    add(dry, d * k, g);
  }
}

void RemoveDc(std::vector<float>& s, bool loop) {
  if (s.empty()) return;
  double sum = 0;
  for (float v : s) sum += v;
  const double mean = sum / double(s.size());
  if (loop) {
    for (float& v : s) v = float(v - mean);
    return;
  }
  // A raised-cosine bump over the whole sound, scaled to carry the same total as the offset:
  // the average goes to zero while the first and last samples keep their value.
  const double n = double(s.size());
  double weight = 0;
  for (size_t i = 0; i < s.size(); ++i) weight += std::pow(std::sin(kTwoPi * 0.5 * double(i) / n), 2);
  if (weight <= 0) return;
  const double k = sum / weight;
  for (size_t i = 0; i < s.size(); ++i) s[i] = float(s[i] - k * std::pow(std::sin(kTwoPi * 0.5 * double(i) / n), 2));
}

void Master(std::vector<float>& s, float rmsDb, float ceilingDb, size_t window) {
  const size_t n = window > 0 && window < s.size() ? window : s.size();
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += double(s[i]) * s[i];
  float rms = n == 0 ? 0.0f : float(std::sqrt(sum / double(n)));
  if (rms <= 0) return;
  float k = std::pow(10.0f, rmsDb / 20.0f) / rms;
  const float ceiling = std::pow(10.0f, ceilingDb / 20.0f), knee = ceiling * 0.72f;
  for (float& v : s) {
    float a = std::fabs(v * k);
    if (a > knee) a = knee + (ceiling - knee) * std::tanh((a - knee) / (ceiling - knee));
    v = v < 0 ? -a : a;
  }
}

std::vector<int16_t> ToPcm16(const std::vector<float>& s) {
  std::vector<int16_t> out(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    float v = std::clamp(s[i], -1.0f, 1.0f) * 32767.0f;
    out[i] = int16_t(std::lround(v));
  }
  return out;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& pcm, int rate) {
  std::vector<uint8_t> v;
  auto put32 = [&](uint32_t x) {
    for (int k = 0; k < 4; ++k) v.push_back(uint8_t(x >> (8 * k)));
  };
  auto put16 = [&](uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
  };
  const uint32_t data = uint32_t(pcm.size() * 2);
  v.insert(v.end(), {'R', 'I', 'F', 'F'});
  put32(36 + data);
  v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(uint32_t(rate));
  put32(uint32_t(rate) * 2);
  put16(2);
  put16(16);
  v.insert(v.end(), {'d', 'a', 't', 'a'});
  put32(data);
  for (int16_t x : pcm) put16(uint16_t(x));
  return WriteFileBytes(path, v);
}

Image WaveformPicture(const std::vector<int16_t>& pcm, int rate, int width, int height) {
  Image img(width, height, Rgb{16, 18, 28});
  const int mid = height / 2;
  // One-second ticks along the time axis.
  const double perCol = double(pcm.size()) / width;
  for (int x = 0; x < width; ++x) {
    long sec0 = long(double(x) * perCol / rate), sec1 = long(double(x + 1) * perCol / rate);
    if (sec1 != sec0)
      for (int y = 0; y < height; ++y) img.at(x, y) = Rgb{34, 38, 56};
    img.at(x, mid) = Rgb{60, 66, 90};
  }
  // The -1 dBFS lines.
  int lim = int(float(mid) * 0.891f);
  for (int x = 0; x < width; x += 2) img.at(x, mid - lim) = img.at(x, mid + lim) = Rgb{140, 60, 60};
  for (int x = 0; x < width; ++x) {
    size_t a = size_t(double(x) * perCol), b = std::max(a + 1, size_t(double(x + 1) * perCol));
    b = std::min(b, pcm.size());
    if (a >= b) continue;
    int lo = 32767, hi = -32768;
    double sum = 0;
    for (size_t i = a; i < b; ++i) lo = std::min<int>(lo, pcm[i]), hi = std::max<int>(hi, pcm[i]), sum += double(pcm[i]) * pcm[i];
    float rms = float(std::sqrt(sum / double(b - a)) / 32768.0);
    int y0 = mid - int(float(hi) / 32768.0f * float(mid)), y1 = mid - int(float(lo) / 32768.0f * float(mid));
    for (int y = std::max(0, y0); y <= std::min(height - 1, y1); ++y) img.at(x, y) = Rgb{90, 170, 240};
    int r = int(rms * float(mid));
    for (int y = mid - r; y <= mid + r; ++y)
      if (y >= 0 && y < height) img.at(x, y) = Rgb{190, 230, 255};
  }
  return img;
}

}  // namespace assetgen
