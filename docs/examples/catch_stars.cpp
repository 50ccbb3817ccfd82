// catch_stars: a whole small game. Stars fall; the basket catches them for a point each, and
// they fall faster as the score grows. Three stars missed end the game: a game-over screen
// shows the score and the best one, and Space starts again.
// Uses: tuSystem::Program and its switches, IsKeyDown, IsKeyPressed, sys.frameSeconds,
// sys.sceneEntered; tuDraw::Screen, Clear, Rect, FillPolygon, FillCircle, BeginText, Text,
// EndText, SaveScreen, Present; tuSound::LoadObject, Play; tu::Rgb, tu::Random; and the headless
// run (UseHeadless, Start, PressKey, RunFrame).
// Sounds: SE/set.wav and SE/erase.wav beside the program (the game's own, made by its build);
// without them the game says so on stderr and plays silent.
// Keys: Left and Right move the basket, Space starts again after the end; Escape ends.
// `catch_stars --autoplay FRAMES CAPTURE.bmp` plays FRAMES frames headless on the manual clock,
// the script steering to the lowest star, then saves the screen: exit code 0 when all went well.
#include <tu/random.h>
#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kPlay = 1, kOver = 2;  // scene numbers
constexpr int kWidth = 640, kHeight = 480, kBasketY = 440, kBasketHalf = 40;
constexpr int kMaxStars = 8, kLives = 3;

struct Star {
  bool falling = false;
  float x = 0, y = 0, speed = 0, spin = 0;
};
Star stars[kMaxStars];
float basketX = kWidth / 2, nextStar = 0;
int score = 0, best = 0, missed = 0;
int catchSound = tuSound::kNoSound, missSound = tuSound::kNoSound;
tu::Random random(2024);

void LoadAssets() {
  tuDraw::Screen(kWidth, kHeight, tuDraw::kScreenVideoMemory);
  catchSound = tuSound::LoadObject("SE/set.wav", 2);
  missSound = tuSound::LoadObject("SE/erase.wav", 1);
  tuSystem::sys.sceneNo = kPlay;
}

void DrawStar(float cx, float cy, float r, float turn, uint32_t color) {
  tuDraw::Point p[10];
  for (int i = 0; i < 10; ++i) {  // points and notches by turns
    float a = turn + i * 3.14159265f / 5, d = i % 2 ? r * 0.45f : r;
    p[i] = {static_cast<int>(cx + d * std::sin(a)), static_cast<int>(cy - d * std::cos(a))};
  }
  tuDraw::FillPolygon(p, 10, color);
}

void DrawPlayfield() {
  tuDraw::Clear();
  for (int i = 0; i < 40; ++i)  // a sky of fixed faint dots
    tuDraw::FillCircle((i * 7919) % kWidth, (i * i * 53) % 400, 1, tu::Rgb(90, 90, 140));
  tuDraw::Rect(0, kBasketY + 24, kWidth, kHeight, tu::Rgb(30, 70, 40), tu::Rgb(30, 70, 40), 1);
  for (const Star& s : stars)
    if (s.falling) DrawStar(s.x, s.y, 14, s.spin, tu::kYellow);
  int x = static_cast<int>(basketX);
  tuDraw::Rect(x - kBasketHalf, kBasketY, x + kBasketHalf, kBasketY + 20, tu::Rgb(160, 100, 40),
               tu::Rgb(230, 180, 90), 2);
  char line[64];
  snprintf(line, sizeof line, "Score %d   Lives %d", score, kLives - missed);
  tuDraw::BeginText(tuDraw::kFaceGothic, 20, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(tu::kWhite, tu::kBlack, 1);
  tuDraw::Text(12, 8, line);
  tuDraw::EndText();
}

void PlayScene() {
  const float dt = tuSystem::sys.frameSeconds;
  if (tuSystem::sys.sceneEntered) {  // a new game
    for (Star& s : stars) s.falling = false;
    score = missed = 0;
    nextStar = 0;
  }
  float move = 360.0f * dt * (tuSystem::IsKeyDown(tu::kKeyRight) - tuSystem::IsKeyDown(tu::kKeyLeft));
  basketX = std::fmin(std::fmax(basketX + move, kBasketHalf), kWidth - kBasketHalf);
  if ((nextStar -= dt) <= 0) {  // a new star every 0.4 to 1.2 s
    nextStar = random.Range(400, 1200) / 1000.0f;
    for (Star& s : stars) {
      if (s.falling) continue;
      s = {true, static_cast<float>(random.Range(20, kWidth - 20)), -20,
           120.0f + 6.0f * score + random.Below(60), 0};
      break;
    }
  }
  for (Star& s : stars) {
    if (!s.falling) continue;
    s.y += s.speed * dt;
    s.spin += 2.0f * dt;
    if (s.y >= kBasketY && s.y < kBasketY + 20 && std::fabs(s.x - basketX) < kBasketHalf) {
      s.falling = false;
      ++score;
      tuSound::Play(catchSound, tuSound::kPlayNext);
    } else if (s.y > kHeight) {
      s.falling = false;
      tuSound::Play(missSound, tuSound::kPlayNext);
      if (++missed == kLives) tuSystem::sys.sceneNo = kOver;
    }
  }
  DrawPlayfield();
  tuDraw::Present();
}

void OverScene() {
  if (tuSystem::sys.sceneEntered && score > best) best = score;
  DrawPlayfield();
  tuDraw::Rect(120, 150, 520, 330, tu::Rgb(20, 20, 60), tu::kWhite, 2);
  char line[64];
  tuDraw::BeginText(tuDraw::kFaceGothic, 40, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(tu::Rgb(255, 120, 120), tu::kBlack, 1);
  tuDraw::Text(200, 170, "GAME OVER");
  tuDraw::EndText();
  tuDraw::BeginText(tuDraw::kFaceGothic, 20, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(tu::kWhite, tu::kBlack, 1);
  snprintf(line, sizeof line, "Score %d    Best %d", score, best);
  tuDraw::Text(200, 240, line);
  if (tuSystem::sys.blinkOn) tuDraw::Text(200, 280, "Space: play again");
  tuDraw::EndText();
  if (tuSystem::IsKeyPressed(tu::kKeySpace)) tuSystem::sys.sceneNo = kPlay;
  tuDraw::Present();
}

// The headless run: the script holds the arrow toward the lowest star, and Space on the
// game-over screen, like a player would.
int Autoplay(const tuSystem::Program& program, int frames, const char* capture) {
  tuSystem::UseHeadless();
  char name[] = "catch_stars";
  char* argv[] = {name, nullptr};
  if (!tuSystem::Start(1, argv, program)) return 1;
  int games = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const Star* low = nullptr;
    for (const Star& s : stars)
      if (s.falling && (!low || s.y > low->y)) low = &s;
    float target = low ? low->x : kWidth / 2;
    tuSystem::PressKey(tu::kKeyLeft, target < basketX - 8);
    tuSystem::PressKey(tu::kKeyRight, target > basketX + 8);
    bool over = tuSystem::sys.sceneNo == kOver;
    tuSystem::PressKey(tu::kKeySpace, over && frame % 20 == 0);
    games += over && frame % 20 == 0;
    if (!tuSystem::RunFrame(16)) return 1;
  }
  bool saved = tuDraw::SaveScreen(capture, kWidth, kHeight) == 1;
  printf("catch_stars: %d frames, score %d, best %d, %d restarts, capture %s\n", frames, score,
         best, games, saved ? capture : "not saved");
  tuSystem::PressKey(tu::kKeyEscape, 1);
  return saved && !tuSystem::RunFrame(16) && !tuSystem::ErrorRaised() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "Catch the stars";
  program.errorsToStderr = 1;  // a missing sound is said on stderr, not in a box
  program.loadAssets = LoadAssets;
  program.scenes[kPlay] = PlayScene;
  program.scenes[kOver] = OverScene;
  if (argc == 4 && strcmp(argv[1], "--autoplay") == 0)
    return Autoplay(program, atoi(argv[2]), argv[3]);
  return tuSystem::Main(argc, argv, program);
}
