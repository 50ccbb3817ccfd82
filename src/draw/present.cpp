// The end of every frame: fade overlay, scrolling view, and the copy of the back buffer into
// the window, paced to the display's refresh.
#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/display.h"

namespace tuDraw {

namespace {
constexpr int kScreenSprite = 1;

// x offset of a shaking row or band: rand() % (2(B - s) + 2) - (B - s + 1). Past the band the
// modulus is negative: the remainder keeps the sign of rand(), so rows shift right. Only the
// step where the modulus is 0 has no shake.
int Shake(int band, int step) {
  int m = 2 * (band - step) + 2;
  return m != 0 ? rand() % m - (band - step + 1) : 0;
}

void DrawFadePattern(int pattern, int s) {
  const int B = draw.fadeBand < 1 ? 1 : draw.fadeBand;
  const int W = draw.screenWidth, H = draw.screenHeight;
  const int k = B - s + 1;
  switch (pattern) {
    case kFadeRows:
      for (int y = 0; y < H; ++y)
        if (y % s != 0) DrawOpaque(0, y, kScreenSprite, 0, y, W, y + 1);
      break;
    case kFadeBands:
      for (int y = 0; y < H; y += B) DrawOpaque(0, y, kScreenSprite, 0, y, W, y + s + 1);
      break;
    case kFadeShakingRows:
      for (int y = 0; y < H; ++y)
        if (y % s != 0) DrawOpaque(Shake(B, s), y, kScreenSprite, 0, y, W, y + 1);
      break;
    case kFadeShakingBands:
      for (int y = 0; y < H; y += B) DrawOpaque(Shake(B, s), y, kScreenSprite, 0, y, W, y + s + 1);
      break;
    case kFadeFromTop: DrawOpaque(0, (-H / B) * k, kScreenSprite, 0, 0, W, H); break;
    case kFadeFromBottom: DrawOpaque(0, (H / B) * k, kScreenSprite, 0, 0, W, H); break;
    case kFadeFromLeft: DrawOpaque((-W / B) * k, 0, kScreenSprite, 0, 0, W, H); break;
    case kFadeFromRight: DrawOpaque((W / B) * k, 0, kScreenSprite, 0, 0, W, H); break;
    case kFadeCloseRows:
      DrawOpaque(0, ((-H / 2) / B) * k, kScreenSprite, 0, 0, W, H / 2);
      DrawOpaque(0, H / 2 + ((H / 2) / B) * k, kScreenSprite, 0, H / 2, W, H);
      break;
    case kFadeCloseColumns:
      DrawOpaque(((-W / 2) / B) * k, 0, kScreenSprite, 0, 0, W / 2, H);
      DrawOpaque(W / 2 + ((W / 2) / B) * k, 0, kScreenSprite, W / 2, 0, W, H);
      break;
    case kFadeSpreadRight: DrawOpaque(0, 0, kScreenSprite, 0, 0, (W / B) * s, H); break;
    case kFadeSpreadLeft: DrawOpaque((W / B) * k, 0, kScreenSprite, (W / B) * k, 0, W, H); break;
    default: break;
  }
}

void FadeOverlay() {
  int s = draw.fadeStep;
  if (draw.fadePattern == kFadeTile) {
    int left = (s - 1) * 64;
    for (int i = 0; i < 10; ++i)
      for (int j = 0; j < 10; ++j) Draw(i * 64, j * 48, draw.fadeTileSprite, left, 0, left + 64, 48);
  } else {
    DrawFadePattern(draw.fadePattern, s);
  }
  draw.fadeStep += draw.fadeDirection;
  if ((draw.fadeDirection == -1 && draw.fadeStep < 1) ||
      (draw.fadeDirection == 1 && draw.fadeStep > 10) || draw.fadeDirection == 0) {
    draw.fadeStep = 0;
    draw.fadeDirection = 0;
  }
}

void ScrollView() {
  const float dt = tuSystem::sys.frameSeconds;
  for (int i = 0; i <= 10; ++i)
    for (int j = 0; j <= 10; ++j)
      Draw(i * 64 + static_cast<int>(draw.scrollTileX), j * 48 + static_cast<int>(draw.scrollTileY),
           draw.viewTileSprite, 0, 0, 64, 48);
  draw.scrollTileX -= 10.0f * dt;
  draw.scrollTileY -= 10.0f * dt;
  if (draw.scrollTileX <= -64.0f) draw.scrollTileX += 64.0f;
  if (draw.scrollTileY <= -48.0f) draw.scrollTileY += 48.0f;

  const tu::Rect& c = draw.clipRect;
  int clipWidth = c.right - c.left, clipHeight = c.bottom - c.top;
  int p = static_cast<int>(draw.scrollPos);
  Draw(c.left, c.top, draw.viewSprite, 0, p, clipWidth, p + clipHeight);

  switch (tuSystem::sys.scrollKey) {
    case tu::kKeyUp: draw.scrollPos -= 100.0f * dt; break;
    case tu::kKeyLeft: draw.scrollPos -= 300.0f * dt; break;
    case tu::kKeyDown: draw.scrollPos += 100.0f * dt; break;
    case tu::kKeyRight: draw.scrollPos += 300.0f * dt; break;
    default: break;
  }
  if (draw.scrollPos < 0.0f) draw.scrollPos = 0.0f;
  if (static_cast<float>(draw.viewHeight - clipHeight) < draw.scrollPos)
    draw.scrollPos = static_cast<float>(draw.viewHeight - clipHeight);
}
}  // namespace

void Present() {
  if (draw.fadeStep != 0) FadeOverlay();
  if (draw.scrollViewOn) ScrollView();
  const tu::Rect& s = draw.presentSourceRect;
  const tu::Rect& c = tuSystem::sys.clientRect;
  // The window is the client area: the destination is clientRect in window coordinates.
  int ox = tuSystem::sys.clientX, oy = tuSystem::sys.clientY;
  tu::platform::CopyResult r = tu::platform::PresentFrame(
      draw.backSurface, {s.left, s.top, s.right, s.bottom},
      {c.left - ox, c.top - oy, c.right - ox, c.bottom - oy}, draw.waitForVBlank != 0);
  if (r == tu::platform::CopyResult::Lost) Restore();
}

void FadeOut() {
  draw.fadeStep = 1;
  draw.fadeDirection = 1;
}

void FadeIn() {
  draw.fadeStep = 10;
  draw.fadeDirection = -1;
}

void SetFade(int pattern, int band) {
  draw.fadePattern = pattern;
  draw.fadeBand = band < 1 ? 1 : band;
}

void SetFadeTile(const char* fileName) {
  SetColorKey(0);
  draw.fadeTileSprite = LoadObject(fileName, kVideoMemory);
}

void SetScrollView(const char* viewFile, const char* tileFile, int viewHeight) {
  SetColorKey(0);
  if (draw.viewSprite != 0) {
    SwapObject(viewFile, draw.viewSprite, 2);
    SwapObject(tileFile, draw.viewTileSprite, 2);
  } else {
    draw.viewSprite = LoadObject(viewFile, 2);
    draw.viewTileSprite = LoadObject(tileFile, 2);
  }
  draw.scrollPos = 0.0f;
  draw.viewHeight = viewHeight;
}

void ToggleScrollView() {
  if (draw.scrollViewOn)
    draw.scrollViewOn = 0;
  else if (draw.viewHeight != 0)
    draw.scrollViewOn = 1;
}

}  // namespace tuDraw
