// first_game: the game the guide's first-game page builds step by step. A ball bounces off
// three walls; the paddle keeps it from the fourth. Each return scores; a ball lost ends the
// game, and Space starts another.
// Uses: tuSystem::Program, Main, IsKeyDown, IsKeyPressed, sys.frameSeconds, sys.sceneEntered;
// tuDraw::Screen, Clear, Rect, FillCircle, BeginText, Text, EndText, Present; tuSound::LoadObject,
// Play; tu::Rgb.
// Sounds: hit.wav beside the program (without it the game says so on stderr and plays silent).
// Keys: Left and Right move the paddle, Space starts again; Escape ends.
#include <tu/tuDraw.h>
#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include <cstdio>

namespace {

constexpr int kPlay = 1, kOver = 2;  // scene numbers
constexpr int kWidth = 640, kHeight = 480, kPaddleY = 450, kPaddleHalf = 50, kRadius = 8;

float paddleX = kWidth / 2;
float ballX, ballY, speedX, speedY;
int score = 0;
int hit = tuSound::kNoSound;

void LoadAssets() {
  tuDraw::Screen(kWidth, kHeight, tuDraw::kScreenVideoMemory);
  hit = tuSound::LoadObject("hit.wav", 2);
  tuSystem::sys.sceneNo = kPlay;
}

void Label(int x, int y, int height, const char* text) {
  tuDraw::BeginText(tuDraw::kFaceGothic, height, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(tu::kWhite, tu::kBlack, 1);
  tuDraw::Text(x, y, text);
  tuDraw::EndText();
}

void PlayScene() {
  const float dt = tuSystem::sys.frameSeconds;  // seconds since the last frame
  if (tuSystem::sys.sceneEntered) {             // the first frame of a game
    ballX = kWidth / 2, ballY = 100, speedX = 180, speedY = 220;
    score = 0;
  }
  // The paddle: 400 pixels a second while an arrow is down.
  if (tuSystem::IsKeyDown(tu::kKeyLeft)) paddleX -= 400 * dt;
  if (tuSystem::IsKeyDown(tu::kKeyRight)) paddleX += 400 * dt;
  if (paddleX < kPaddleHalf) paddleX = kPaddleHalf;
  if (paddleX > kWidth - kPaddleHalf) paddleX = kWidth - kPaddleHalf;
  // The ball: it moves, turns at the walls, and at the paddle it turns and speeds up.
  ballX += speedX * dt;
  ballY += speedY * dt;
  if (ballX < kRadius || ballX > kWidth - kRadius) speedX = -speedX;
  if (ballY < kRadius) speedY = -speedY;
  if (speedY > 0 && ballY + kRadius >= kPaddleY && ballY < kPaddleY + 10 &&
      ballX > paddleX - kPaddleHalf && ballX < paddleX + kPaddleHalf) {
    speedY = -speedY * 1.05f;
    speedX += (ballX - paddleX) * 2;  // the paddle's edge sends it sideways
    ++score;
    tuSound::Play(hit, tuSound::kPlayNext);
  }
  if (ballY > kHeight) tuSystem::sys.sceneNo = kOver;
  // Drawing: everything, every frame, into the back buffer; Present shows it.
  tuDraw::Clear();
  tuDraw::Rect(static_cast<int>(paddleX) - kPaddleHalf, kPaddleY,
               static_cast<int>(paddleX) + kPaddleHalf, kPaddleY + 10, tu::Rgb(80, 160, 255),
               tu::kWhite, 1);
  tuDraw::FillCircle(static_cast<int>(ballX), static_cast<int>(ballY), kRadius, tu::kYellow);
  char line[32];
  snprintf(line, sizeof line, "Score %d", score);
  Label(10, 8, 20, line);
  tuDraw::Present();
}

void OverScene() {
  tuDraw::Clear();
  char line[32];
  snprintf(line, sizeof line, "Score %d", score);
  Label(220, 180, 40, line);
  Label(220, 250, 20, "Space: play again");
  if (tuSystem::IsKeyPressed(tu::kKeySpace)) tuSystem::sys.sceneNo = kPlay;
  tuDraw::Present();
}

}  // namespace

int main(int argc, char** argv) {
  tuSystem::Program program;
  program.title = "First game";
  program.errorsToStderr = 1;  // a missing hit.wav is said on stderr instead of in a box
  program.loadAssets = LoadAssets;
  program.scenes[kPlay] = PlayScene;
  program.scenes[kOver] = OverScene;
  return tuSystem::Main(argc, argv, program);
}
