#include "music.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "raster.h"
#include "synth.h"

namespace assetgen {

namespace {

constexpr int kMusicRate = 22050;
constexpr int kEffectRate = 44100;

// The mix budget. The device sums voices and saturates at full scale, so everything the game
// can sound at once must add up to less: the loudest music at its peak, with both players'
// effects started in the same frame (each effect on both of its mix channels) and a button
// sound. Music is mastered to a loudness per piece with its peaks bent softly under one ceiling;
// an effect is set by the loudness of its first 50 ms, a little above the loudest music so it
// stands out, with its attack bent under its own ceiling.
constexpr float kMusicCeiling = -13.0f;  // dBFS
constexpr float kEffectLoudness = -21.5f, kEffectCeiling = -15.0f;
constexpr size_t kEffectWindow = kEffectRate / 20;

struct Chord {
  int start = 0, length = 16;  // in sixteenth steps
  std::vector<int> tones;      // MIDI numbers of the chord in root position, root in octave 3
};

// Arranges one piece on a grid of sixteenth steps: melodies, chord-driven parts and drums.
class Arranger {
 public:
  Arranger(float bpm, int bars, bool loop, float tailSeconds = 0.0f)
      : stepSec_(60.0 / bpm / 4.0),
        bars_(bars),
        lead_(kMusicRate, Length(bpm, bars, tailSeconds), loop),
        rest_(kMusicRate, Length(bpm, bars, tailSeconds), loop) {}

  bool ok() const { return ok_; }
  float stepSeconds() const { return float(stepSec_); }

  // "E5/4 r/2 C#5/2": pitch and length in sixteenths. The melody must fill `bars` bars.
  void melody(const Instrument& in, const std::string& notes, int startBar, int bars, float vel,
              int transpose = 0, bool toLead = true) {
    std::istringstream is(notes);
    std::string tok;
    int step = startBar * 16;
    while (is >> tok) {
      size_t slash = tok.find('/');
      int len = slash == std::string::npos ? 0 : std::atoi(tok.c_str() + slash + 1);
      int pitch = ParsePitch(tok.substr(0, slash));
      if (len <= 0 || pitch == -2) return fail("bad note \"" + tok + "\"");
      if (pitch >= 0) note(in, pitch + transpose, step, len, vel, toLead);
      step += len;
    }
    if (step != (startBar + bars) * 16) fail("melody of " + std::to_string(step - startBar * 16) +
                                             " steps where " + std::to_string(bars * 16) + " belong");
  }

  // "Am F/8 G/8 E7": one chord per bar unless a length in sixteenths is given.
  std::vector<Chord> chords(const std::string& text) {
    std::vector<Chord> out;
    std::istringstream is(text);
    std::string tok;
    int step = 0;
    while (is >> tok) {
      Chord c;
      size_t slash = tok.find('/');
      c.length = slash == std::string::npos ? 16 : std::atoi(tok.c_str() + slash + 1);
      std::string name = tok.substr(0, slash);
      size_t q = (name.size() > 1 && (name[1] == '#' || name[1] == 'b')) ? 2 : 1;
      int root = ParsePitch(name.substr(0, q) + "3");
      std::string kind = name.substr(q);
      std::vector<int> iv;
      if (kind == "") iv = {0, 4, 7};
      else if (kind == "m") iv = {0, 3, 7};
      else if (kind == "7") iv = {0, 4, 7, 10};
      else if (kind == "m7") iv = {0, 3, 7, 10};
      else if (kind == "sus4") iv = {0, 5, 7};
      else root = -2;
      if (root < 0 || c.length <= 0) {
        fail("bad chord \"" + tok + "\"");
        return out;
      }
      for (int i : iv) c.tones.push_back(root + i);
      c.start = step;
      step += c.length;
      out.push_back(c);
    }
    if (step != bars_ * 16) fail("chords cover " + std::to_string(step) + " steps");
    return out;
  }

  // Bass line from a sixteen-step pattern per bar: R root, 3 third, 5 fifth, 8 octave, '.' rest.
  // Each note lasts until the next one.
  void bass(const Instrument& in, const std::vector<Chord>& cs, const std::string& pattern, int fromBar,
            int toBar, float vel, int octave = 0) {
    for (int bar = fromBar; bar < toBar; ++bar)
      for (int k = 0; k < 16; ++k) {
        char ch = pattern[size_t(k) % pattern.size()];
        if (ch == '.') continue;
        int next = k + 1;
        while (next < 16 && pattern[size_t(next) % pattern.size()] == '.') ++next;
        int step = bar * 16 + k;
        const Chord& c = chordAt(cs, step);
        int p = c.tones[0] - 12 + 12 * octave;
        if (ch == '3') p = c.tones[1] - 12 + 12 * octave;
        if (ch == '5') p = c.tones[2] - 12 + 12 * octave;
        if (ch == '8') p += 12;
        float v = vel * (k % 4 == 0 ? 1.0f : 0.85f);
        note(in, p, step, next - k, v * 1.0f, false, 0.85f);
      }
  }

  // Chord tones held for each chord, voiced around middle C.
  void pad(const Instrument& in, const std::vector<Chord>& cs, int fromBar, int toBar, float vel) {
    for (const Chord& c : cs) {
      if (c.start < fromBar * 16 || c.start >= toBar * 16) continue;
      for (size_t i = 0; i < c.tones.size() && i < 3; ++i) {
        int p = c.tones[i] + 12;
        if (p < 57) p += 12;
        note(in, p, c.start, c.length, vel, false, 0.95f);
      }
    }
  }

  // Broken chords: `order` indexes the chord's tones over two octaves, one note per `len` steps.
  void arp(const Instrument& in, const std::vector<Chord>& cs, const std::vector<int>& order, int len,
           int fromBar, int toBar, float vel, int octave = 1) {
    int i = 0;
    for (int step = fromBar * 16; step < toBar * 16; step += len, ++i) {
      const Chord& c = chordAt(cs, step);
      int idx = order[size_t(i) % order.size()];
      int n = int(c.tones.size() > 3 ? 3 : c.tones.size());
      int p = c.tones[size_t(idx % n)] + 12 * (idx / n) + 12 * octave;
      note(in, p, step, len, vel * (step % 4 == 0 ? 1.0f : 0.8f), false, 0.7f);
    }
  }

  // One drum over bars [from, to): 'X' accent, 'x' normal, '-' ghost, '.' nothing.
  void drum(Drum d, const std::string& pattern, int fromBar, int toBar, float vel) {
    const std::vector<float>& hit = kit(d);
    for (int bar = fromBar; bar < toBar; ++bar)
      for (size_t k = 0; k < pattern.size(); ++k) {
        char ch = pattern[k];
        float v = ch == 'X' ? 1.0f : ch == 'x' ? 0.7f : ch == '-' ? 0.35f : 0.0f;
        if (v > 0) rest_.add(hit, at(bar * 16 + int(k)), v * vel);
      }
  }

  std::vector<float> finish(float echoSteps, float echoFeedback) {
    lead_.echo(float(echoSteps * stepSec_), echoFeedback, 4);
    rest_.add(lead_);
    return rest_.s;
  }

 private:
  static size_t Length(float bpm, int bars, float tail) {
    return size_t(std::llround((double(bars) * 16.0 * 60.0 / bpm / 4.0 + tail) * kMusicRate));
  }
  long at(int step) const { return long(std::llround(double(step) * stepSec_ * kMusicRate)); }
  void note(const Instrument& in, int pitch, int step, int len, float vel, bool toLead, float gate = 0.92f) {
    std::vector<float> v = RenderNote(in, MidiHz(pitch), float(len * stepSec_ * gate), vel, kMusicRate);
    (toLead ? lead_ : rest_).add(v, at(step));
  }
  const Chord& chordAt(const std::vector<Chord>& cs, int step) const {
    int s = step % (bars_ * 16);
    for (const Chord& c : cs)
      if (s >= c.start && s < c.start + c.length) return c;
    return cs.back();
  }
  const std::vector<float>& kit(Drum d) {
    int i = int(d);
    if (kit_[i].empty()) kit_[i] = RenderDrum(d, kMusicRate);
    return kit_[i];
  }
  void fail(const std::string& why) {
    if (ok_) std::fprintf(stderr, "assetgen: score error: %s\n", why.c_str());
    ok_ = false;
  }

  double stepSec_;
  int bars_;
  MixBuffer lead_, rest_;
  std::vector<float> kit_[6];
  bool ok_ = true;
};

Instrument Make(Wave w, float a, float d, float s, float r, float cutoff, float gain) {
  Instrument in;
  in.wave = w, in.attack = a, in.decay = d, in.sustain = s, in.release = r, in.cutoff = cutoff, in.gain = gain;
  return in;
}

// ---- Easy: a calm walk in F major, 92 beats a minute.
bool Easy(Sound& out) {
  Arranger m(92, 16, true);
  auto cs = m.chords("F Am Bb C F Am Bb C Dm Bb F C Dm Bb Gm C");
  Instrument lead = Make(Wave::Triangle, 0.02f, 0.4f, 0.7f, 0.18f, 5000, 0.30f);
  lead.vibratoCents = 12, lead.vibratoHz = 5.0f, lead.vibratoDelay = 0.2f;
  Instrument pad = Make(Wave::Saw, 0.35f, 1.0f, 0.8f, 0.6f, 900, 0.045f);
  pad.detuneCents = 9;
  Instrument bass = Make(Wave::Triangle, 0.01f, 0.5f, 0.6f, 0.12f, 700, 0.34f);
  Instrument bell = Make(Wave::Bell, 0.002f, 0.5f, 0.0f, 0.3f, 6000, 0.06f);
  bell.bellRatio = 3.0f, bell.bellIndex = 1.4f;
  const std::string a1 = "A4/4 C5/4 F5/6 E5/2  E5/4 C5/4 A4/8  D5/4 F5/4 Bb5/4 A5/2 G5/2  G5/8 E5/4 C5/4";
  const std::string a2 = "A4/4 C5/4 F5/6 G5/2  A5/4 G5/2 E5/2 C5/8  D5/2 F5/2 Bb5/4 D6/4 C6/4  C6/12 r/4";
  const std::string b1 = "F5/4 E5/2 D5/2 A4/8  Bb4/4 D5/4 F5/4 E5/2 D5/2  C5/4 A4/4 C5/4 F5/4  E5/6 D5/2 C5/8";
  const std::string b2 = "D5/4 F5/4 A5/6 G5/2  F5/4 D5/4 Bb4/8  G4/4 Bb4/4 D5/4 F5/4  E5/8 G5/4 r/4";
  m.melody(lead, a1, 0, 4, 1.0f);
  m.melody(lead, a2, 4, 4, 1.0f);
  m.melody(lead, b1, 8, 4, 1.0f);
  m.melody(lead, b2, 12, 4, 1.0f);
  m.pad(pad, cs, 0, 16, 1.0f);
  m.bass(bass, cs, "R.......5.....3.", 0, 16, 1.0f);
  m.arp(bell, cs, {0, 1, 2, 3, 2, 1, 2, 1}, 2, 8, 16, 1.0f, 1);
  m.drum(Drum::Kick, "x.......x.......", 0, 16, 0.55f);
  m.drum(Drum::Hat, "..-...-...-...-.", 0, 16, 0.5f);
  m.drum(Drum::Rim, "............x...", 8, 16, 0.35f);
  out.samples = m.finish(3, 0.28f);
  Master(out.samples, -23.6f, kMusicCeiling);
  return m.ok();
}

// ---- Normal: a lively D minor tune, 116 beats a minute.
bool Normal(Sound& out) {
  Arranger m(116, 24, true);
  auto cs = m.chords("Dm C Bb C Dm C Bb C Gm Am Bb C Gm Am Bb A Dm C Bb C Dm C Bb A");
  Instrument lead = Make(Wave::Square, 0.004f, 0.25f, 0.55f, 0.09f, 2600, 0.20f);
  lead.pulseWidth = 0.3f, lead.cutoffEnv = 1.5f, lead.cutoffDecay = 0.12f;
  lead.vibratoCents = 10, lead.vibratoDelay = 0.18f;
  Instrument bass = Make(Wave::Saw, 0.004f, 0.18f, 0.5f, 0.06f, 420, 0.36f);
  bass.cutoffEnv = 2.5f, bass.cutoffDecay = 0.08f;
  Instrument pluck = Make(Wave::Square, 0.002f, 0.12f, 0.0f, 0.08f, 1800, 0.07f);
  pluck.cutoffEnv = 2.0f, pluck.cutoffDecay = 0.05f;
  Instrument pad = Make(Wave::Saw, 0.2f, 0.8f, 0.7f, 0.4f, 1200, 0.035f);
  pad.detuneCents = 12;
  const std::string p1 = "D5/3 F5/3 A5/2 G5/2 F5/2 E5/2 F5/2  E5/4 C5/4 G4/4 C5/4  D5/3 F5/3 Bb5/2 A5/2 G5/2 F5/4  E5/6 G5/2 E5/4 C5/4";
  const std::string p2 = "A5/3 F5/3 D5/2 A5/2 G5/2 F5/2 G5/2  E5/4 G5/4 C6/4 A5/2 G5/2  F5/4 D5/4 Bb4/4 D5/2 F5/2  E5/8 r/2 C5/2 D5/2 E5/2";
  const std::string q1 = "G5/4 F5/2 D5/2 Bb4/4 D5/4  C5/4 E5/4 A5/6 G5/2  F5/3 G5/3 A5/2 Bb5/4 A5/2 G5/2  G5/6 E5/2 C5/8";
  const std::string q2 = "Bb5/4 A5/2 G5/2 D5/4 G5/4  A5/4 G5/2 E5/2 C5/4 E5/4  D5/2 F5/2 Bb5/4 A5/2 G5/2 F5/4  E5/8 C#5/4 A4/4";
  const std::string p3 = "F5/3 A5/3 D6/6 C6/2 A5/2  G5/4 E5/4 C5/4 E5/4  F5/4 D5/2 F5/2 Bb5/4 A5/2 G5/2  A5/4 G5/2 E5/2 C#5/4 E5/4";
  m.melody(lead, p1, 0, 4, 1.0f);
  m.melody(lead, p2, 4, 4, 1.0f);
  m.melody(lead, q1, 8, 4, 1.0f);
  m.melody(lead, q2, 12, 4, 1.0f);
  m.melody(lead, p1, 16, 4, 1.0f);
  m.melody(lead, p3, 20, 4, 1.0f);
  m.bass(bass, cs, "R..R..R.R...R.5.", 0, 24, 1.0f);
  m.pad(pad, cs, 8, 16, 1.0f);
  m.arp(pluck, cs, {0, 1, 2, 1, 3, 2, 1, 2}, 2, 0, 8, 0.8f, 1);
  m.arp(pluck, cs, {0, 2, 1, 3, 2, 4, 3, 2}, 2, 16, 24, 0.9f, 1);
  m.drum(Drum::Kick, "X.....x...X.....", 0, 24, 0.8f);
  m.drum(Drum::Snare, "....x.......x...", 0, 24, 0.55f);
  m.drum(Drum::Hat, "x.-.x.-.x.-.x.-x", 0, 24, 0.45f);
  m.drum(Drum::Crash, "x...............", 8, 9, 0.5f);
  m.drum(Drum::Crash, "x...............", 16, 17, 0.5f);
  out.samples = m.finish(3, 0.25f);
  Master(out.samples, -23.1f, kMusicCeiling);
  return m.ok();
}

// ---- Hard: a driving E minor riff, 148 beats a minute.
bool Hard(Sound& out) {
  Arranger m(148, 32, true);
  auto cs = m.chords(
      "Em Em C D Em Em C B  Am Am Em Em C D B B  Em Em C D Em Em C B  C D Em Em C D B B");
  Instrument lead = Make(Wave::Saw, 0.003f, 0.2f, 0.6f, 0.07f, 2400, 0.17f);
  lead.detuneCents = 7, lead.cutoffEnv = 1.2f, lead.cutoffDecay = 0.1f;
  lead.vibratoCents = 14, lead.vibratoDelay = 0.15f, lead.vibratoHz = 6.0f;
  Instrument bass = Make(Wave::Saw, 0.003f, 0.12f, 0.45f, 0.04f, 500, 0.34f);
  bass.cutoffEnv = 3.0f, bass.cutoffDecay = 0.06f;
  Instrument arp = Make(Wave::Square, 0.002f, 0.08f, 0.0f, 0.05f, 2600, 0.06f);
  arp.pulseWidth = 0.25f;
  Instrument pad = Make(Wave::Saw, 0.1f, 0.6f, 0.7f, 0.3f, 1500, 0.035f);
  pad.detuneCents = 14;
  const std::string r1 = "E5/2 G5/2 B5/2 E5/2 G5/2 B5/2 A5/2 G5/2";
  const std::string r2 = "F#5/2 G5/2 F#5/2 E5/2 D5/4 E5/4";
  const std::string r3 = "E5/2 G5/2 C6/2 E5/2 G5/2 C6/2 B5/2 G5/2";
  const std::string r4 = "A5/4 F#5/4 D5/4 F#5/4";
  const std::string r5 = "D#5/4 F#5/4 B5/6 A5/2";
  const std::string a = r1 + " " + r2 + " " + r3 + " " + r4 + " " + r1 + " " + r2 + " " + r3 + " " + r5;
  const std::string b =
      "A5/6 B5/2 C6/4 B5/4  A5/4 E5/4 C5/4 E5/4  G5/6 F#5/2 E5/4 B4/4  E5/8 G5/4 B5/4 "
      " C6/6 B5/2 A5/4 G5/4  F#5/6 G5/2 A5/4 D5/4  D#5/8 F#5/8  B5/12 r/4";
  const std::string d =
      "E6/8 D6/4 C6/4  D6/8 A5/8  B5/4 G5/4 E5/8  r/8 E5/2 F#5/2 G5/2 A5/2 "
      " G5/8 E5/4 C5/4  D5/4 F#5/4 A5/4 D6/4  B5/4 A5/4 F#5/4 D#5/4  B4/8 D#5/4 F#5/4";
  m.melody(lead, a, 0, 8, 1.0f);
  m.melody(lead, b, 8, 8, 1.0f);
  m.melody(lead, a, 16, 8, 1.0f, 12);
  m.melody(lead, d, 24, 8, 1.0f);
  m.bass(bass, cs, "R.R.8.R.R.R.8.R.", 0, 32, 1.0f);
  m.pad(pad, cs, 8, 16, 1.0f);
  m.pad(pad, cs, 24, 32, 1.0f);
  m.arp(arp, cs, {0, 1, 2, 3, 4, 3, 2, 1}, 1, 16, 24, 0.8f, 1);
  m.drum(Drum::Kick, "X...x...X...x...", 0, 32, 0.7f);
  m.drum(Drum::Snare, "....X.......X..-", 0, 32, 0.6f);
  m.drum(Drum::Hat, "xx-xxx-xxx-xxx-x", 0, 32, 0.35f);
  m.drum(Drum::OpenHat, "..x...x...x...x.", 16, 24, 0.3f);
  m.drum(Drum::Snare, "............xxXX", 7, 8, 0.5f);
  m.drum(Drum::Snare, "........x.x.xxXX", 15, 16, 0.5f);
  m.drum(Drum::Snare, "............xxXX", 23, 24, 0.5f);
  m.drum(Drum::Snare, "........x.x.xxXX", 31, 32, 0.5f);
  for (int bar : {0, 8, 16, 24}) m.drum(Drum::Crash, "x...............", bar, bar + 1, 0.5f);
  out.samples = m.finish(3, 0.22f);
  Master(out.samples, -22.5f, kMusicCeiling);
  return m.ok();
}

// ---- The hidden level: fast C minor with running arpeggios, 170 beats a minute.
bool Hidden(Sound& out) {
  Arranger m(170, 32, true);
  std::string eight = "Cm Cm Ab Ab Bb Bb G G ";
  auto cs = m.chords(eight + eight + eight + eight);
  Instrument lead = Make(Wave::Saw, 0.003f, 0.25f, 0.65f, 0.08f, 3000, 0.15f);
  lead.detuneCents = 10, lead.cutoffEnv = 1.0f, lead.cutoffDecay = 0.12f;
  lead.vibratoCents = 16, lead.vibratoDelay = 0.12f, lead.vibratoHz = 6.5f;
  Instrument bass = Make(Wave::Square, 0.003f, 0.1f, 0.5f, 0.04f, 420, 0.30f);
  bass.cutoffEnv = 3.0f, bass.cutoffDecay = 0.05f;
  Instrument arp = Make(Wave::Saw, 0.002f, 0.07f, 0.0f, 0.04f, 2200, 0.07f);
  arp.cutoffEnv = 1.5f, arp.cutoffDecay = 0.03f;
  Instrument pad = Make(Wave::Saw, 0.3f, 0.8f, 0.8f, 0.5f, 1100, 0.04f);
  pad.detuneCents = 15;
  const std::string x =
      "C5/4 Eb5/4 G5/4 C6/4  Bb5/4 G5/2 Ab5/2 G5/4 Eb5/4  Ab5/4 C6/4 Eb6/4 D6/2 C6/2  C6/8 Bb5/4 Ab5/4 "
      " Bb5/4 D6/4 F6/4 Eb6/2 D6/2  D6/8 C6/4 Bb5/4  B5/4 D6/4 G5/4 B5/4  D6/6 C6/2 B5/4 G5/4";
  const std::string y =
      "G5/2 G5/2 Eb5/2 G5/2 C6/4 G5/4  Eb6/4 D6/2 C6/2 Bb5/4 G5/4  Ab5/2 Ab5/2 C6/2 Ab5/2 Eb6/4 C6/4 "
      " F6/4 Eb6/2 D6/2 C6/8  Bb5/2 Bb5/2 D6/2 Bb5/2 F6/4 D6/4  G6/4 F6/2 Eb6/2 D6/8 "
      " D6/2 B5/2 G5/2 B5/2 D6/2 F6/2 Eb6/2 D6/2  B5/8 G5/8";
  const std::string z =
      "Eb6/8 D6/8  C6/16  Eb6/8 F6/8  Ab6/8 Eb6/8  F6/8 D6/8  Bb5/16  D6/8 F6/8  B5/8 D6/4 G5/4";
  m.melody(lead, x, 0, 8, 1.0f);
  m.melody(lead, y, 8, 8, 1.0f);
  m.melody(lead, x, 16, 8, 1.0f);
  m.melody(lead, z, 24, 8, 1.0f);
  m.bass(bass, cs, "R.8.R.8.R.8.R.85", 0, 32, 1.0f);
  m.arp(arp, cs, {0, 1, 2, 3, 4, 5, 4, 3, 2, 1}, 1, 0, 32, 0.8f, 1);
  m.pad(pad, cs, 24, 32, 1.0f);
  m.drum(Drum::Kick, "X..x..X...X..x..", 0, 32, 0.7f);
  m.drum(Drum::Snare, "....X.......X...", 0, 32, 0.6f);
  m.drum(Drum::Hat, "x-x-x-x-x-x-x-xx", 0, 32, 0.35f);
  m.drum(Drum::Snare, "........xxxxXXXX", 15, 16, 0.45f);
  m.drum(Drum::Snare, "........xxxxXXXX", 31, 32, 0.45f);
  for (int bar : {0, 8, 16, 24}) m.drum(Drum::Crash, "x...............", bar, bar + 1, 0.5f);
  out.samples = m.finish(3, 0.2f);
  Master(out.samples, -22.0f, kMusicCeiling);
  return m.ok();
}

// ---- Versus: call and answer in A minor, 136 beats a minute.
bool Versus(Sound& out) {
  Arranger m(136, 32, true);
  std::string a = "Am F G Em Am F G E ", b = "F G Em Am F G E E ";
  auto cs = m.chords(a + b + a + b);
  Instrument call = Make(Wave::Square, 0.004f, 0.2f, 0.6f, 0.08f, 2800, 0.18f);
  call.pulseWidth = 0.5f, call.cutoffEnv = 1.0f, call.vibratoCents = 10, call.vibratoDelay = 0.2f;
  Instrument answer = Make(Wave::Saw, 0.004f, 0.25f, 0.6f, 0.09f, 2200, 0.17f);
  answer.detuneCents = 8, answer.vibratoCents = 12, answer.vibratoDelay = 0.2f;
  Instrument bass = Make(Wave::Saw, 0.003f, 0.15f, 0.5f, 0.05f, 480, 0.34f);
  bass.cutoffEnv = 2.5f, bass.cutoffDecay = 0.07f;
  Instrument bell = Make(Wave::Bell, 0.002f, 0.4f, 0.0f, 0.25f, 6000, 0.07f);
  Instrument pad = Make(Wave::Saw, 0.2f, 0.8f, 0.75f, 0.4f, 1300, 0.035f);
  pad.detuneCents = 11;
  // Two bars of call, two of answer, in turn.
  const std::string a1 = "A4/2 C5/2 E5/2 A5/4 G5/2 E5/4  F5/4 E5/2 C5/2 A4/8";
  const std::string a2 = "B4/2 D5/2 G5/2 B5/4 A5/2 G5/4  E5/8 r/4 B4/4";
  const std::string a3 = "A4/2 C5/2 E5/2 A5/4 B5/2 C6/4  A5/4 F5/4 C5/8";
  const std::string a4 = "D5/2 G5/2 B5/2 D6/4 C6/2 B5/4  G#5/8 E5/4 B4/4";
  const std::string b1 = "C6/6 A5/2 F5/4 A5/4  B5/6 G5/2 D5/4 G5/4";
  const std::string b2 = "E5/4 G5/4 B5/4 E6/4  C6/8 B5/4 A5/4";
  const std::string b3 = "A5/4 C6/4 F6/6 E6/2  D6/4 B5/4 G5/4 D6/4";
  const std::string b4 = "E6/8 D6/4 B5/4  G#5/8 B5/8";
  const std::string b4end = "E6/8 D6/4 B5/4  G#5/4 B5/4 E5/8";
  for (int half : {0, 16}) {
    m.melody(call, a1, half + 0, 2, 1.0f);
    m.melody(answer, a2, half + 2, 2, 1.0f);
    m.melody(call, a3, half + 4, 2, 1.0f);
    m.melody(answer, a4, half + 6, 2, 1.0f);
    m.melody(call, b1, half + 8, 2, 1.0f);
    m.melody(answer, b2, half + 10, 2, 1.0f);
    m.melody(call, b3, half + 12, 2, 1.0f);
    m.melody(answer, half == 0 ? b4 : b4end, half + 14, 2, 1.0f);
  }
  m.bass(bass, cs, "R.R.R.8.R.R.5.8.", 0, 32, 1.0f);
  m.pad(pad, cs, 8, 16, 1.0f);
  m.pad(pad, cs, 24, 32, 1.0f);
  m.arp(bell, cs, {0, 2, 1, 3, 2, 4, 3, 5}, 2, 16, 32, 0.9f, 1);
  m.drum(Drum::Kick, "X.....x.X.....x.", 0, 32, 0.7f);
  m.drum(Drum::Snare, "....X.......X...", 0, 32, 0.6f);
  m.drum(Drum::Hat, "x.x.x.x.x.x.x.x.", 0, 16, 0.4f);
  m.drum(Drum::Hat, "xxx-xxx-xxx-xxx-", 16, 32, 0.35f);
  m.drum(Drum::OpenHat, "..............x.", 0, 32, 0.25f);
  m.drum(Drum::Snare, "............xXxX", 15, 16, 0.45f);
  m.drum(Drum::Snare, "........x.x.xXXX", 31, 32, 0.45f);
  for (int bar : {0, 16}) m.drum(Drum::Crash, "x...............", bar, bar + 1, 0.5f);
  out.samples = m.finish(3, 0.22f);
  Master(out.samples, -22.5f, kMusicCeiling);
  return m.ok();
}

// ---- Jingles: a rising fanfare and a gentler closing phrase, with a tail.
bool Jingle(Sound& out, int which) {
  Instrument brass = Make(Wave::Saw, 0.02f, 0.3f, 0.7f, 0.25f, 2400, 0.2f);
  brass.detuneCents = 8, brass.vibratoCents = 12, brass.vibratoDelay = 0.25f;
  Instrument bell = Make(Wave::Bell, 0.002f, 0.6f, 0.0f, 0.5f, 6000, 0.1f);
  Instrument bass = Make(Wave::Triangle, 0.01f, 0.4f, 0.7f, 0.3f, 900, 0.35f);
  if (which == 0) {
    Arranger m(120, 3, false, 1.6f);
    auto cs = m.chords("C G C");
    m.melody(brass, "C5/2 E5/2 G5/2 C6/6 r/4  B5/2 C6/2 D6/2 E6/6 r/4  C6/16", 0, 3, 1.0f);
    m.melody(bell, "G5/2 C6/2 E6/2 G6/6 r/4  G5/2 B5/2 D6/2 G6/6 r/4  E6/16", 0, 3, 0.7f, 0, false);
    m.bass(bass, cs, "R.......R...5...", 0, 3, 1.0f);
    m.drum(Drum::Crash, "x...............", 2, 3, 0.6f);
    m.drum(Drum::Snare, "x.x.x...........", 0, 2, 0.4f);
    out.samples = m.finish(2, 0.2f);
    Master(out.samples, -23.0f, kMusicCeiling);
    return m.ok();
  }
  Arranger m(100, 2, false, 1.8f);
  auto cs = m.chords("F/8 C/8 F");
  m.melody(brass, "A4/2 C5/2 F5/4 E5/2 F5/2 G5/4  A5/16", 0, 2, 0.9f);
  m.melody(bell, "F5/4 A5/4 C6/4 E6/4  F6/16", 0, 2, 0.6f, 0, false);
  m.bass(bass, cs, "R.......R.......", 0, 2, 1.0f);
  m.drum(Drum::Crash, "x...............", 1, 2, 0.4f);
  out.samples = m.finish(2, 0.25f);
  Master(out.samples, -23.0f, kMusicCeiling);
  return m.ok();
}

// ---------------------------------------------------------------- effects (44.1 kHz)

std::vector<float> Tone(Wave w, float hz0, float hz1, float seconds, float decay, float rate = kEffectRate) {
  std::vector<float> out(size_t(seconds * rate));
  double ph = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = float(i) / rate, f = hz0 * std::pow(hz1 / hz0, t / seconds);
    float v;
    float p = float(ph);
    switch (w) {
      case Wave::Square: v = 0.6f * std::tanh(4.0f * float(std::sin(6.283185307179586 * ph))); break;  // soft edges, little aliasing
      case Wave::Triangle: v = 4.0f * std::fabs(p - 0.5f) - 1.0f; break;
      default: v = float(std::sin(6.283185307179586 * ph)); break;
    }
    ph += f / rate;
    if (ph >= 1.0) ph -= 1.0;
    // Attack of well under a millisecond: the sound starts at once without a click.
    float env = std::min(1.0f, t / 0.0006f) * std::exp(-t / decay);
    out[i] = v * env;
  }
  size_t fade = std::min<size_t>(out.size(), size_t(0.003f * rate));
  for (size_t k = 0; k < fade; ++k) out[out.size() - 1 - k] *= float(k) / float(fade);
  return out;
}

std::vector<float> Noise(float seconds, float decay, float brightness, uint32_t seed) {
  std::vector<float> out(size_t(seconds * kEffectRate));
  Rand rnd(seed);
  float lp = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = float(i) / kEffectRate, n = rnd.sym();
    lp += brightness * (n - lp);
    out[i] = lp * std::min(1.0f, t / 0.0006f) * std::exp(-t / decay);
  }
  size_t fade = std::min<size_t>(out.size(), size_t(0.003f * kEffectRate));
  for (size_t k = 0; k < fade; ++k) out[out.size() - 1 - k] *= float(k) / float(fade);
  return out;
}

void Effects(std::vector<Sound>& out) {
  auto effect = [&](const char* file, MixBuffer& mix) {
    Sound s;
    s.file = file, s.rate = kEffectRate, s.loop = false, s.samples = mix.s;
    Master(s.samples, kEffectLoudness, kEffectCeiling, kEffectWindow);
    out.push_back(s);
  };
  {  // A block lands: a soft wooden knock.
    MixBuffer m(kEffectRate, size_t(0.09f * kEffectRate), false);
    m.add(Tone(Wave::Sine, 420, 170, 0.09f, 0.025f), 0, 1.0f);
    m.add(Noise(0.03f, 0.006f, 0.5f, 41), 0, 0.5f);
    effect("SE/sliset.wav", m);
  }
  {  // A piece locks: a firmer double click.
    MixBuffer m(kEffectRate, size_t(0.16f * kEffectRate), false);
    m.add(Tone(Wave::Square, 660, 520, 0.08f, 0.02f), 0, 0.8f);
    m.add(Tone(Wave::Sine, 220, 110, 0.16f, 0.05f), 0, 1.0f);
    m.add(Tone(Wave::Square, 990, 880, 0.06f, 0.015f), long(0.035f * kEffectRate), 0.6f);
    m.add(Noise(0.02f, 0.004f, 0.8f, 43), 0, 0.6f);
    effect("SE/set.wav", m);
  }
  {  // Blocks burst: a noise swoosh that swells under a rising run of bells.
    MixBuffer m(kEffectRate, size_t(0.55f * kEffectRate), false);
    m.add(Noise(0.4f, 0.12f, 0.35f, 47), 0, 0.8f);
    const float run[5] = {784, 988, 1175, 1568, 1976};
    for (int i = 0; i < 5; ++i) m.add(Tone(Wave::Sine, run[i], run[i] * 1.01f, 0.3f, 0.08f), long(i * 0.04f * kEffectRate), 0.55f);
    m.add(Tone(Wave::Triangle, 1568, 3136, 0.25f, 0.06f), 0, 0.3f);
    // The swell keeps its loudest moment away from the sharp attack of a piece being set,
    // which the other player may start in the same frame.
    const size_t swell = size_t(0.025f * kEffectRate);
    for (size_t i = 0; i < swell && i < m.s.size(); ++i) m.s[i] *= float(i) / float(swell);
    effect("SE/erase.wav", m);
  }
  {  // The cursor moves: a short bright tick.
    MixBuffer m(kEffectRate, size_t(0.06f * kEffectRate), false);
    m.add(Tone(Wave::Square, 1320, 1250, 0.06f, 0.015f), 0, 1.0f);
    effect("SE/BUTTON.wav", m);
  }
  {  // Confirm: two rising notes.
    MixBuffer m(kEffectRate, size_t(0.22f * kEffectRate), false);
    m.add(Tone(Wave::Square, 880, 880, 0.08f, 0.04f), 0, 0.9f);
    m.add(Tone(Wave::Square, 1320, 1320, 0.16f, 0.05f), long(0.06f * kEffectRate), 0.9f);
    m.add(Tone(Wave::Sine, 2640, 2640, 0.16f, 0.04f), long(0.06f * kEffectRate), 0.3f);
    effect("SE/BUTTONK.wav", m);
  }
}

}  // namespace

bool MakeSounds(std::vector<Sound>& out) {
  struct Piece {
    const char* file;
    bool (*make)(Sound&);
  };
  const Piece pieces[] = {{"BGM/eBGM.wav", Easy},   {"BGM/nBGM.wav", Normal},  {"BGM/hBGM.wav", Hard},
                          {"BGM/bBGM.wav", Hidden}, {"BGM/vsBGM.wav", Versus}};
  bool ok = true;
  for (const Piece& p : pieces) {
    Sound s;
    s.file = p.file, s.rate = kMusicRate, s.loop = true;
    if (!p.make(s)) {
      std::fprintf(stderr, "assetgen: %s not made\n", p.file);
      ok = false;
    }
    out.push_back(s);
  }
  for (int j = 0; j < 2; ++j) {
    Sound s;
    s.file = j == 0 ? "BGM/RANK.wav" : "BGM/RANK2.wav";
    s.rate = kMusicRate;
    if (!Jingle(s, j)) {
      std::fprintf(stderr, "assetgen: %s not made\n", s.file.c_str());
      ok = false;
    }
    out.push_back(s);
  }
  Effects(out);
  for (Sound& s : out) RemoveDc(s.samples, s.loop);
  return ok;
}

}  // namespace assetgen
