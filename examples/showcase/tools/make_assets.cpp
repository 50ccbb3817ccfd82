// Makes the showcase's pictures, sounds and music from code, the same bytes on every run:
//   make_assets OUTPUT_FOLDER
// writes OUTPUT_FOLDER/pictures/*.bmp and OUTPUT_FOLDER/sounds/*.wav (packed at build time),
// and the loose files the library loads by name: fade.bmp, view.bmp, viewtile.bmp, theme.mid.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
std::string out;
bool failed = false;

// ---- Pictures: 24-bit colours 0xRRGGBB; pure black is the transparent colour key.

struct Image {
  int w, h;
  std::vector<uint32_t> px;
  Image(int width, int height, uint32_t fill = 0) : w(width), h(height), px(size_t(width) * height, fill) {}
  void Set(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
  }
  uint32_t Get(int x, int y) const { return px[size_t(y) * w + x]; }
};

uint32_t Rgb(double r, double g, double b) {
  auto c = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
  uint32_t v = c(r) << 16 | c(g) << 8 | c(b);
  // Packs keep five bits a channel: a colour that would become black there would turn into
  // the transparent key, so the darkest colours keep a trace of blue.
  return (v & 0xF8F8F8) ? v : (v | 0x000008);
}
double R(uint32_t c) { return c >> 16 & 255; }
double G(uint32_t c) { return c >> 8 & 255; }
double B(uint32_t c) { return c & 255; }
uint32_t Mix(uint32_t a, uint32_t b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return Rgb(R(a) + (R(b) - R(a)) * t, G(a) + (G(b) - G(a)) * t, B(a) + (B(b) - B(a)) * t);
}

// A filled disc with a soft rim blended over what is there (over the key: onto black).
void Disc(Image& im, double cx, double cy, double r, uint32_t c, double soft = 1.0) {
  for (int y = int(cy - r - 2); y <= int(cy + r + 2); ++y)
    for (int x = int(cx - r - 2); x <= int(cx + r + 2); ++x) {
      if (x < 0 || y < 0 || x >= im.w || y >= im.h) continue;
      double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      double a = std::clamp((r - d) / soft + 0.5, 0.0, 1.0);
      if (a > 0) im.Set(x, y, Mix(im.Get(x, y), c, a));
    }
}

void Line(Image& im, double x0, double y0, double x1, double y1, uint32_t c) {
  int n = int(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
  for (int i = 0; i <= n; ++i) im.Set(int(x0 + (x1 - x0) * i / n), int(y0 + (y1 - y0) * i / n), c);
}

// A convex polygon, filled by testing each pixel against its edges.
void Poly(Image& im, const std::vector<std::pair<double, double>>& p, uint32_t c) {
  for (int y = 0; y < im.h; ++y)
    for (int x = 0; x < im.w; ++x) {
      bool inside = true;
      for (size_t i = 0; i < p.size() && inside; ++i) {
        auto [ax, ay] = p[i];
        auto [bx, by] = p[(i + 1) % p.size()];
        inside = (bx - ax) * (y + 0.5 - ay) - (by - ay) * (x + 0.5 - ax) >= 0;
      }
      if (inside) im.Set(x, y, c);
    }
}

uint32_t rng = 12345;
double Random() {  // 0..1, our own generator so every platform draws the same
  rng = rng * 1103515245u + 12345u;
  return double(rng >> 8 & 0xFFFF) / 65535.0;
}

void Put(std::vector<uint8_t>& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
    fprintf(stderr, "make_assets: cannot write %s\n", path.c_str());
    failed = true;
  }
}

void SaveBmp(const std::string& name, const Image& im) {
  uint32_t row = (uint32_t(im.w) * 3 + 3) & ~3u, size = row * uint32_t(im.h);
  std::vector<uint8_t> b = {'B', 'M'};
  Put(b, 54 + size, 4), Put(b, 0, 4), Put(b, 54, 4);
  Put(b, 40, 4), Put(b, uint32_t(im.w), 4), Put(b, uint32_t(im.h), 4), Put(b, 1, 2), Put(b, 24, 2);
  Put(b, 0, 4), Put(b, size, 4), Put(b, 2835, 4), Put(b, 2835, 4), Put(b, 0, 4), Put(b, 0, 4);
  for (int y = im.h - 1; y >= 0; --y) {
    for (int x = 0; x < im.w; ++x) Put(b, im.Get(x, y), 3);  // blue, green, red
    for (uint32_t pad = uint32_t(im.w) * 3; pad < row; ++pad) b.push_back(0);
  }
  Save(out + "/" + name, b);
}

// The player's ship, banking left, level and right: three 32 x 32 frames.
Image Ship() {
  Image im(96, 32);
  for (int f = 0; f < 3; ++f) {
    double ox = f * 32 + 16, lean = (f - 1) * 3.0;
    Poly(im, {{ox, 2}, {ox + 13 - lean, 28}, {ox, 22}}, Rgb(150, 190, 230));
    Poly(im, {{ox, 2}, {ox, 22}, {ox - 13 - lean, 28}}, Rgb(90, 130, 190));
    Disc(im, ox - lean * 0.3, 13, 3.5, Rgb(255, 230, 120));
    Disc(im, ox - 7 - lean, 28, 2.5, Rgb(255, 120, 40));
    Disc(im, ox + 7 - lean, 28, 2.5, Rgb(255, 120, 40));
  }
  return im;
}

// A spinning mine: four 32 x 32 frames, a quarter turn of its spikes apart.
Image Enemy() {
  Image im(128, 32);
  for (int f = 0; f < 4; ++f) {
    double cx = f * 32 + 16, cy = 16;
    for (int k = 0; k < 6; ++k) {
      double a = k * kPi / 3 + f * kPi / 12;
      Line(im, cx, cy, cx + 14 * std::cos(a), cy + 14 * std::sin(a), Rgb(200, 90, 220));
    }
    Disc(im, cx, cy, 9, Rgb(120, 40, 160));
    Disc(im, cx - 2, cy - 2, 4, Rgb(230, 160, 250));
  }
  return im;
}

// Shots: the player's bolt (0..4 x 0..14) and the mines' pellet (8..16 x 0..8).
Image Shots() {
  Image im(16, 16);
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 4; ++x) im.Set(x, y, Mix(Rgb(120, 255, 200), Rgb(255, 255, 255), (x == 1 || x == 2) * 0.7));
  Disc(im, 12, 4, 3.5, Rgb(255, 140, 60));
  Disc(im, 12, 4, 1.5, Rgb(255, 240, 200));
  return im;
}

// A blast in eight 48 x 48 frames: a bright core that swells, reddens and fades.
Image Blast() {
  Image im(384, 48);
  for (int f = 0; f < 8; ++f) {
    double t = f / 7.0, r = 6 + 17 * std::sqrt(t), fade = 1 - t * 0.85;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x) {
        double d = std::hypot(x + 0.5 - 24, y + 0.5 - 24) / r;
        if (d >= 1) continue;
        double glow = (1 - d * d) * fade;
        im.Set(f * 48 + x, y, Rgb(255 * glow, (200 - 150 * t) * glow * glow, (120 - 110 * t) * glow * glow * glow));
      }
  }
  return im;
}

// A tile of far stars that repeats without a seam.
Image Stars() {
  Image im(128, 128);
  for (int i = 0; i < 70; ++i) {
    int x = int(Random() * 128), y = int(Random() * 128);
    double v = 60 + Random() * 195;
    im.Set(x, y, Rgb(v * 0.8, v * 0.85, v));
    if (v > 220) {
      im.Set((x + 1) % 128, y, Rgb(v * 0.4, v * 0.4, v * 0.5));
      im.Set(x, (y + 1) % 128, Rgb(v * 0.4, v * 0.4, v * 0.5));
    }
  }
  return im;
}

// Drifting gas: sums of waves that wrap at the tile's edges, dark parts left as the key.
Image Nebula() {
  Image im(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      double u = x * 2 * kPi / 256, v = y * 2 * kPi / 256;
      double n = std::sin(u + 2 * std::sin(v)) + std::sin(2 * v + std::cos(u)) * 0.7 + std::sin(3 * u - v) * 0.4;
      if (n < 0.9) continue;
      double t = (n - 0.9) / 1.2;
      im.Set(x, y, Rgb(40 + 60 * t, 20 + 30 * t, 70 + 80 * t));
    }
  return im;
}

// The emblem of the title: a ringed planet and a comet, 128 x 128.
Image Emblem() {
  Image im(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      double dx = x + 0.5 - 64, dy = y + 0.5 - 64, d = std::hypot(dx, dy);
      if (d < 36) {
        double light = std::clamp(1.0 - std::hypot(dx + 14, dy + 14) / 60, 0.15, 1.0);
        double band = 0.5 + 0.5 * std::sin(dy * 0.35 + std::sin(dx * 0.08) * 2);
        im.Set(x, y, Rgb((120 + 100 * band) * light, (80 + 60 * band) * light, (160 - 40 * band) * light));
      }
      double ry = (dy + dx * 0.35) * 3.2, ring = std::hypot(dx, ry);
      bool front = dy + dx * 0.35 > 0 || d >= 36;
      if (ring > 46 && ring < 60 && front) im.Set(x, y, Rgb(220, 200, 150 - (ring - 46) * 4));
    }
  for (int i = 0; i < 40; ++i) Disc(im, 14 + i * 0.7, 100 - i * 0.55, 4.5 - i * 0.1, Rgb(120 + i * 3, 200, 255), 1.5);
  return im;
}

// A small landscape for the effect gallery: sky, sun, hills and a lake, 128 x 96.
Image Photo() {
  Image im(128, 96);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 128; ++x) {
      double hill = 52 + 10 * std::sin(x * 0.05) + 6 * std::sin(x * 0.13 + 1);
      uint32_t c;
      if (y < hill)
        c = Mix(Rgb(40, 80, 170), Rgb(250, 170, 120), y / 60.0);
      else if (y < 70)
        c = Mix(Rgb(40, 110, 50), Rgb(20, 60, 30), (y - hill) / 20.0);
      else
        c = Mix(Rgb(60, 90, 160), Rgb(20, 40, 90), (y - 70) / 26.0 + 0.2 * std::sin(x * 0.9 + y));
      im.Set(x, y, c);
    }
  Disc(im, 92, 30, 11, Rgb(255, 235, 150), 1.5);
  for (int y = 72; y < 96; y += 3) Line(im, 80 + (y % 7), y, 104 - (y % 5), y, Rgb(250, 220, 140));
  return im;
}

// The curtain that the showcase tiles into the screen-sized picture the fade patterns show.
Image Curtain() {
  Image im(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      double fold = 0.55 + 0.45 * std::cos(x * 2 * kPi / 32);
      bool seam = (x + y) % 32 == 0 || (x - y + 64) % 32 == 0;
      im.Set(x, y, seam ? Rgb(230, 190, 90) : Rgb(140 * fold, 20 * fold, 40 * fold));
    }
  return im;
}

// The tile fade: ten 64 x 48 frames of a growing diamond in deep blue (black would be the key).
Image FadeStrip() {
  Image im(640, 48);
  for (int f = 0; f < 10; ++f)
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        double d = std::fabs(x + 0.5 - 32) / 32 + std::fabs(y + 0.5 - 24) / 24;
        if (d <= (f + 1) / 5.0) im.Set(f * 64 + x, y, Rgb(10, 14, 48));
      }
  return im;
}

// The scrolling view: a tall chart of a star system (black shows the drifting tiles behind).
Image View() {
  Image im(640, 1440);
  for (int i = 0; i < 9; ++i) {
    double cy = 120 + i * 150, cx = 160 + 320 * ((i * 7) % 3) / 2.0, r = 18 + (i * 13) % 30;
    for (int a = 0; a < 720; ++a) {
      double t = a * kPi / 360;
      im.Set(int(320 + (cx - 320) * std::cos(t)), int(cy + 40 * std::sin(t)), Rgb(40, 70, 110));
    }
    uint32_t c = Rgb(100 + (i * 40) % 150, 90 + (i * 70) % 140, 200 - (i * 30) % 140);
    Disc(im, cx, cy, r, c, 1.5);
    Disc(im, cx - r * 0.3, cy - r * 0.3, r * 0.4, Mix(c, Rgb(255, 255, 255), 0.5), 2);
    if (i > 0) Line(im, 160 + 320 * ((i * 7 - 7) % 3) / 2.0, cy - 150, cx, cy, Rgb(90, 90, 60));
  }
  for (int y = 0; y < 1440; y += 240) Line(im, 0, y, 639, y, Rgb(60, 110, 60));
  return im;
}

Image ViewTile() {
  Image im(64, 48);
  for (int x = 0; x < 64; ++x) im.Set(x, 0, Rgb(24, 30, 44));
  for (int y = 0; y < 48; ++y) im.Set(0, y, Rgb(24, 30, 44));
  im.Set(32, 24, Rgb(70, 70, 90));
  return im;
}

// ---- Sounds: 22050 Hz, 16-bit mono.

constexpr int kRate = 22050;
using Wave = std::vector<double>;

void SaveWav(const std::string& name, const Wave& w) {
  std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
  uint32_t data = uint32_t(w.size()) * 2;
  Put(b, 36 + data, 4);
  for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
  Put(b, 16, 4), Put(b, 1, 2), Put(b, 1, 2), Put(b, kRate, 4), Put(b, kRate * 2, 4), Put(b, 2, 2), Put(b, 16, 2);
  for (char c : std::string("data")) b.push_back(uint8_t(c));
  Put(b, data, 4);
  for (double v : w) Put(b, uint16_t(int16_t(std::lrint(std::clamp(v, -1.0, 1.0) * 32000))), 2);
  Save(out + "/" + name, b);
}

Wave Laser() {
  Wave w(kRate * 15 / 100);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = double(i) / w.size();
    phase += (1800 - 1400 * t) / kRate;
    w[i] = (std::fmod(phase, 1.0) < 0.5 ? 0.5 : -0.5) * (1 - t);
  }
  return w;
}

Wave Boom() {
  Wave w(kRate * 6 / 10);
  double low = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = double(i) / w.size();
    low += (Random() * 2 - 1 - low) * (0.25 - 0.2 * t);  // noise that darkens as it dies
    w[i] = low * 2.2 * std::pow(1 - t, 2);
  }
  return w;
}

Wave Chime() {
  Wave w(kRate);
  for (size_t i = 0; i < w.size(); ++i) {
    double s = double(i) / kRate;
    w[i] = 0.45 * std::exp(-4 * s) * (std::sin(2 * kPi * 880 * s) + 0.5 * std::sin(2 * kPi * 1320 * s) +
                                      0.25 * std::sin(2 * kPi * 2640 * s));
  }
  return w;
}

Wave Blip() {
  Wave w(kRate / 20);
  for (size_t i = 0; i < w.size(); ++i) w[i] = 0.4 * std::sin(2 * kPi * 660 * i / kRate) * (1 - double(i) / w.size());
  return w;
}

Wave Whoosh() {
  Wave w(kRate);
  double lp = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = double(i) / w.size();
    lp += (Random() * 2 - 1 - lp) * (0.05 + 0.4 * std::sin(kPi * t));
    w[i] = lp * std::sin(kPi * t) * 1.5;
  }
  return w;
}

double Note(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// The streamed tune at 120 beats a minute: two bars of pad (the intro, played once), then
// four bars of pad, bass, arpeggio and hi-hat that loop. The loop point is at 4 s.
Wave Music() {
  const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};  // Am F C G
  const double beat = 0.5;
  Wave w(size_t(kRate * 12));
  for (size_t i = 0; i < w.size(); ++i) {
    double s = double(i) / kRate;
    bool intro = s < 4;
    double ls = intro ? s : s - 4;
    int bar = int(ls / (4 * beat)) % 4;
    const int* ch = chords[intro ? (bar % 2) * 2 : bar];
    double v = 0, swell = intro ? s / 4 : 1;
    for (int k = 0; k < 3; ++k) v += 0.09 * swell * std::sin(2 * kPi * Note(ch[k]) * s + 0.3 * std::sin(2 * kPi * 5 * s));
    if (!intro) {
      double inBeat = std::fmod(ls, beat), inEighth = std::fmod(ls, beat / 2);
      double bassPhase = std::fmod(Note(ch[0] - 24) * s, 1.0);
      v += 0.22 * (bassPhase < 0.5 ? 4 * bassPhase - 1 : 3 - 4 * bassPhase) * std::exp(-3 * inBeat);
      int step = int(ls / (beat / 2)) % 4;
      int arp = ch[(step == 3) ? 1 : step] + 12;
      double ap = std::fmod(Note(arp) * s, 1.0);
      v += 0.11 * (ap < 0.25 ? 1 : -0.33) * std::exp(-8 * inEighth);
      if (inEighth < 0.03) v += 0.06 * (Random() * 2 - 1) * (1 - inEighth / 0.03);
    }
    w[i] = v;
  }
  return w;
}

// ---- MIDI: a Standard MIDI File of format 0, 480 ticks a quarter note.

void VarLen(std::vector<uint8_t>& b, uint32_t v) {
  uint8_t tmp[5];
  int n = 0;
  do tmp[n++] = uint8_t(v & 0x7F), v >>= 7;
  while (v);
  while (n--) b.push_back(uint8_t(tmp[n] | (n ? 0x80 : 0)));
}

void SaveMidi(const std::string& name) {
  struct Event {
    uint32_t tick;
    std::vector<uint8_t> bytes;
  };
  std::vector<Event> ev;
  auto note = [&](uint32_t at, uint32_t len, int channel, int key, int velocity) {
    ev.push_back({at, {uint8_t(0x90 | channel), uint8_t(key), uint8_t(velocity)}});
    ev.push_back({at + len, {uint8_t(0x80 | channel), uint8_t(key), 0}});
  };
  const uint32_t q = 480;
  ev.push_back({0, {0xFF, 0x51, 0x03, 0x08, 0x52, 0xAE}});  // 545,454 us a quarter: 110 bpm
  ev.push_back({0, {0xC0, 11}});                           // vibraphone: the melody
  ev.push_back({0, {0xC1, 48}});                           // strings: the chords
  ev.push_back({0, {0xC2, 33}});                           // bass
  const int roots[8] = {50, 46, 53, 48, 50, 46, 45, 45};   // Dm Bb F C Dm Bb A A
  const int melody[32] = {62, 65, 69, 67, 65, 62, 65, 70, 69, 65, 72, 69, 67, 64, 60, 64,
                          62, 65, 69, 74, 72, 70, 69, 65, 64, 61, 64, 67, 69, 0, 0, 0};
  for (int bar = 0; bar < 8; ++bar) {
    uint32_t at = bar * 4 * q;
    int r = roots[bar];
    bool minor = r == 50 || r == 45;
    for (int k : {0, minor ? 3 : 4, 7}) note(at, 4 * q - 10, 1, r + 12 + k, 60);
    note(at, q * 2 - 20, 2, r - 12, 90);
    note(at + 2 * q, q * 2 - 20, 2, r - 5, 80);
    for (int b = 0; b < 4; ++b) {
      note(at + b * q, q / 4, 9, b % 2 ? 38 : 36, 70);  // kick and snare on channel 10
      note(at + b * q + q / 2, q / 4, 9, 42, 45);      // closed hi-hat
      int m = melody[bar * 4 + b];
      if (m) note(at + b * q, q - 30, 0, m, 95);
    }
  }
  std::stable_sort(ev.begin(), ev.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
  std::vector<uint8_t> track;
  uint32_t last = 0;
  for (const Event& e : ev) {
    VarLen(track, e.tick - last);
    last = e.tick;
    track.insert(track.end(), e.bytes.begin(), e.bytes.end());
  }
  VarLen(track, q), track.insert(track.end(), {0xFF, 0x2F, 0x00});  // a beat of rest, then the end
  std::vector<uint8_t> b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, uint8_t(q >> 8), uint8_t(q & 255),
                            'M', 'T', 'r', 'k'};
  for (int i = 3; i >= 0; --i) b.push_back(uint8_t(track.size() >> (8 * i)));
  b.insert(b.end(), track.begin(), track.end());
  Save(out + "/" + name, b);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_assets OUTPUT_FOLDER\n");
    return 2;
  }
  out = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(out + "/pictures", ec);
  std::filesystem::create_directories(out + "/sounds", ec);
  SaveBmp("pictures/ship.bmp", Ship());
  SaveBmp("pictures/enemy.bmp", Enemy());
  SaveBmp("pictures/shots.bmp", Shots());
  SaveBmp("pictures/blast.bmp", Blast());
  SaveBmp("pictures/stars.bmp", Stars());
  SaveBmp("pictures/nebula.bmp", Nebula());
  SaveBmp("pictures/emblem.bmp", Emblem());
  SaveBmp("pictures/photo.bmp", Photo());
  SaveBmp("pictures/curtain.bmp", Curtain());
  SaveBmp("fade.bmp", FadeStrip());
  SaveBmp("view.bmp", View());
  SaveBmp("viewtile.bmp", ViewTile());
  SaveWav("sounds/laser.wav", Laser());
  SaveWav("sounds/boom.wav", Boom());
  SaveWav("sounds/chime.wav", Chime());
  SaveWav("sounds/blip.wav", Blip());
  SaveWav("sounds/whoosh.wav", Whoosh());
  SaveWav("sounds/music.wav", Music());
  SaveMidi("theme.mid");
  return failed ? 1 : 0;
}
