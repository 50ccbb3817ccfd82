// Comet Garden: a small scrolling shooter. Mines drift down and fire; the ship moves, shoots
// and has three bombs. Streamed music loops from its loop point; every shot and blast sounds
// from where it happens, a little higher or lower each time; a bomb echoes across the field.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "showcase.h"

namespace showcase {

namespace {

struct Shot {
  bool on;
  float x, y;
};
struct Mine {
  bool on;
  float x, y, vx, vy, age, fireIn;
  int hp;
};
struct Pellet {
  bool on;
  float x, y, vx, vy;
};
struct Blast {
  bool on;
  float x, y, age;
};

constexpr int kShots = 24, kMines = 16, kPellets = 24, kBlasts = 16;
constexpr float kTop = 48.0f, kBottom = 448.0f;  // the field between the heading and the key line
Shot shots[kShots];
Mine mines[kMines];
Pellet pellets[kPellets];
Blast blasts[kBlasts];

float shipX, shipY, cooldown, spawnIn, invulnerable, bombFlash, elapsed, overSeconds, starOffset;
int lives, bombs, score, bank;
bool over;

float Random(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(rand() % 10000) / 9999.0f; }

// Left of the screen sounds from the left.
int PanOf(float x) { return static_cast<int>((x - 320.0f) * 25.0f); }

template <typename T, int N>
T* FreeSlot(T (&table)[N]) {
  for (T& t : table)
    if (!t.on) return &t;
  return nullptr;
}

void Explode(float x, float y, int pitch) {
  if (Blast* b = FreeSlot(blasts)) *b = Blast{true, x, y, 0.0f};
  tuSound::SetPan(sfx.boom, PanOf(x), tuSound::kNextChannel);
  tuSound::SetFrequency(sfx.boom, pitch + static_cast<int>(Random(-1500, 1500)), tuSound::kNextChannel);
  tuSound::Play(sfx.boom, tuSound::kPlayNext);
}

void GameOver() {
  over = true;
  overSeconds = 0.0f;
  bool newBest = score > BestScore();
  KeepBestScore(score);
  char text[128];
  snprintf(text, sizeof text, "GAME OVER\nScore %d%s", score, newBest ? "\nA new best score!" : "");
  tuDraw::BeginText(tuDraw::kFaceGothic, 36, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(Color(255, 220, 120), Color(90, 20, 20), 1);
  tuDraw::TextBoxLayout(200, 170, 600, 400, text, tuDraw::kTextShadow | tuDraw::kTextDoubleRight | 6);
  tuDraw::EndText();
}

void Start() {
  for (Shot& s : shots) s.on = false;
  for (Mine& m : mines) m.on = false;
  for (Pellet& p : pellets) p.on = false;
  for (Blast& b : blasts) b.on = false;
  shipX = 320.0f;
  shipY = 400.0f;
  cooldown = spawnIn = invulnerable = bombFlash = elapsed = overSeconds = 0.0f;
  lives = 3;
  bombs = 3;
  score = 0;
  bank = 1;
  over = false;
}

void Hit() {
  Explode(shipX, shipY, -6000);
  invulnerable = 2.0f;
  if (--lives == 0) GameOver();
}

void UpdateShip(float dt) {
  int dx = Held(in.right) - Held(in.left), dy = Held(in.down) - Held(in.up);
  bank = 1 + dx;
  shipX = std::fmin(std::fmax(shipX + dx * 260.0f * dt, 16.0f), 624.0f);
  shipY = std::fmin(std::fmax(shipY + dy * 220.0f * dt, kTop + 40.0f), kBottom - 16.0f);
  cooldown -= dt;
  if (Held(in.fire) && cooldown <= 0.0f) {
    cooldown = 0.14f;
    if (Shot* s = FreeSlot(shots)) *s = Shot{true, shipX, shipY - 14.0f};
    tuSound::SetPan(sfx.laser, PanOf(shipX), tuSound::kNextChannel);  // the next start's
    tuSound::SetFrequency(sfx.laser, static_cast<int>(Random(-1200, 1200)), tuSound::kNextChannel);
    tuSound::Play(sfx.laser, tuSound::kPlayNext);
  }
  if (Pressed(in.bomb) && bombs > 0) {
    --bombs;
    bombFlash = 0.5f;
    for (Mine& m : mines)
      if (m.on) {
        m.on = false;
        score += 25;
        if (Blast* b = FreeSlot(blasts)) *b = Blast{true, m.x, m.y, 0.0f};
      }
    for (Pellet& p : pellets) p.on = false;
    tuSound::Play(sfx.whoosh, tuSound::kPlayEcho);  // EchoSweep below carries the echo on
  }
  if (Pressed(in.back)) GameOver();  // giving up ends the game as losing does
}

void UpdateField(float dt) {
  spawnIn -= dt;
  if (spawnIn <= 0.0f) {
    spawnIn = std::fmax(0.35f, 1.1f - elapsed * 0.02f);
    if (Mine* m = FreeSlot(mines))
      *m = Mine{true, Random(40, 600), kTop - 16.0f, Random(-50, 50), 60.0f + std::fmin(elapsed * 2.5f, 110.0f),
                0.0f, Random(1.0f, 3.0f), 2};
  }
  for (Mine& m : mines) {
    if (!m.on) continue;
    m.age += dt;
    m.x += m.vx * dt;
    if (m.x < 20.0f || m.x > 620.0f) m.vx = -m.vx;
    m.y += m.vy * dt;
    if (m.y > kBottom + 16.0f) m.on = false;
    m.fireIn -= dt;
    if (m.fireIn <= 0.0f && !over) {
      m.fireIn = Random(2.0f, 4.0f);
      float ax = shipX - m.x, ay = shipY - m.y, d = std::fmax(std::hypot(ax, ay), 1.0f);
      if (Pellet* p = FreeSlot(pellets)) *p = Pellet{true, m.x, m.y, ax / d * 170.0f, ay / d * 170.0f};
    }
    if (!over && invulnerable <= 0.0f && std::hypot(m.x - shipX, m.y - shipY) < 22.0f) {
      m.on = false;
      Hit();
    }
  }
  for (Shot& s : shots) {
    if (!s.on) continue;
    s.y -= 520.0f * dt;
    if (s.y < kTop) s.on = false;
    for (Mine& m : mines) {
      if (!s.on || !m.on || std::fabs(s.x - m.x) > 14.0f || std::fabs(s.y - m.y) > 16.0f) continue;
      s.on = false;
      if (--m.hp == 0) {
        m.on = false;
        score += 10;
        Explode(m.x, m.y, 0);
      }
    }
  }
  for (Pellet& p : pellets) {
    if (!p.on) continue;
    p.x += p.vx * dt;
    p.y += p.vy * dt;
    if (p.x < 0 || p.x > 640 || p.y < kTop || p.y > kBottom) p.on = false;
    if (p.on && !over && invulnerable <= 0.0f && std::hypot(p.x - shipX, p.y - shipY) < 9.0f) {
      p.on = false;
      Hit();
    }
  }
  for (Blast& b : blasts)
    if (b.on && (b.age += dt) >= 0.5f) b.on = false;
}

void DrawField() {
  tuDraw::Clear();
  // The clip rectangle keeps the field between the heading and the key line.
  tuDraw::SetClip(0, static_cast<int>(kTop), 640, static_cast<int>(kBottom));
  if (pic.nebula) tuDraw::DrawTiled(0.0f, 14.0f, pic.nebula, 0, 0, 256, 256);  // slow far gas
  if (pic.stars) {
    int dy = static_cast<int>(starOffset) % 128;
    for (int y = -128 + dy; y < 480; y += 128)
      for (int x = 0; x < 640; x += 128) tuDraw::Draw(x, y, pic.stars, 0, 0, 128, 128);
  }
  // Sprite 0 is one of the library's own: a picture that failed to load is left out.
  for (const Mine& m : mines) {
    if (!m.on || !pic.enemy) continue;
    int f = static_cast<int>(m.age * 12.0f) % 4;
    tuDraw::Draw(static_cast<int>(m.x) - 16, static_cast<int>(m.y) - 16, pic.enemy, f * 32, 0, f * 32 + 32, 32);
  }
  for (const Pellet& p : pellets)
    if (p.on && pic.shots) tuDraw::Draw(static_cast<int>(p.x) - 4, static_cast<int>(p.y) - 4, pic.shots, 8, 0, 16, 8);
  for (const Shot& s : shots)  // bolts add their light to what is behind them
    if (s.on && pic.shots) tuDraw::DrawAdd(static_cast<int>(s.x) - 2, static_cast<int>(s.y) - 7, pic.shots, 0, 0, 4, 14);
  if (!over && pic.ship) {
    int sx = static_cast<int>(shipX) - 16, sy = static_cast<int>(shipY) - 16;
    if (invulnerable <= 0.0f)
      tuDraw::Draw(sx, sy, pic.ship, bank * 32, 0, bank * 32 + 32, 32);
    else if (static_cast<int>(invulnerable * 8.0f) % 2)  // a blinking ghost while it recovers
      tuDraw::DrawHalf(sx, sy, pic.ship, bank * 32, 0, bank * 32 + 32, 32);
  }
  for (const Blast& b : blasts) {
    if (!b.on || !pic.blast) continue;
    int f = static_cast<int>(b.age * 16.0f);
    tuDraw::DrawAdd(static_cast<int>(b.x) - 24, static_cast<int>(b.y) - 24, pic.blast, f * 48, 0, f * 48 + 48, 48);
  }
  if (bombFlash > 0.4f) {
    tuDraw::Invert(0, static_cast<int>(kTop), 640, static_cast<int>(kBottom - kTop));
  } else if (bombFlash > 0.0f) {
    int r = static_cast<int>((0.4f - bombFlash) * 900.0f) + 8;
    tuDraw::Mosaic(static_cast<int>(shipX), static_cast<int>(shipY), r, 8);
  }
  if (over) tuDraw::DarkenRect(0, static_cast<int>(kTop), 640, static_cast<int>(kBottom), 1);
  tuDraw::SetClip(0, 0, 640, 480);
}

}  // namespace

void PlayScene() {
  tuSystem::SystemState& sys = tuSystem::sys;
  BeginFrame();
  if (sys.sceneEntered) {
    Start();
    BeginSheet();
    Heading("Comet Garden", "Arrows move   X fire   Z bomb   Backspace gives up   P capture   Esc quits");
    EndSheet();
    tuSound::StopMidi();
    tuSound::PlayLoop(sfx.music, 0);  // from the first sample; later passes from the loop point
    tuDraw::SetFade(tuDraw::kFadeTile, 10);
    tuDraw::FadeIn();
  }
  float dt = sys.frameSeconds;
  elapsed += dt;
  starOffset += 60.0f * dt;
  invulnerable -= dt;
  bombFlash -= dt;
  if (!over) UpdateShip(dt);
  UpdateField(dt);
  tuSound::EchoSweep(sfx.whoosh, 150, 4, 600, 4);  // every frame while the echo runs
  if (over) {
    overSeconds += dt;
    // The curtain closes from both halves and the title follows.
    if ((overSeconds > 1.0f && Pressed(in.ok)) || overSeconds > 5.0f) {
      FillCurtain();
      tuDraw::SetFade(tuDraw::kFadeCloseRows, 10);
      sys.nextSceneNo = kTitleScene;
      tuDraw::FadeOut();
    }
  }

  DrawField();
  DrawSheet(false);  // the heading and the key line over the field
  char status[96];
  snprintf(status, sizeof status, "Score %d   Best %d   Lives %d   Bombs %d", score, BestScore(), lives, bombs);
  Label(300, 22, 15, Color(230, 230, 255), status);
  if (over) tuDraw::RevealText(0.04f);
  EndFrame();
}

}  // namespace showcase
