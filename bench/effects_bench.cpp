// Software effect benchmarks: sprite copies of a 64 x 64 sprite onto the 640 x 480 back buffer,
// a rotation, and full-screen area filters, beside a memcpy of the rows they write.
// "per_pixel" is the time per pixel walked.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/seams.h"
#include "platform/surface.h"

namespace {

constexpr int W = 640, H = 480, S = 64;
int sprite = 0;
tu::platform::Surface* spriteSurface = nullptr;

// The display may have been set up (or set up again) by other benchmarks of this program;
// the sprite is made again whenever it is not ours any more.
void SetUp() {
  if (!tuDraw::draw.displayOpen || tuDraw::draw.screenWidth != W || tuDraw::draw.screenHeight != H) {
    tu::platform::SetHeadless(true);
    tu::platform::SetDesktopDepth(16);
    tuSystem::Init();
    tuSystem::sys.fullScreen = 0;
    tuDraw::Screen(W, H, tuDraw::kScreenVideoMemory);
    tuDraw::SetVSync(0);
  }
  if (spriteSurface && tuDraw::draw.sprites[sprite].surface == spriteSurface) return;
  sprite = tuDraw::CreateObject(S, S, tuDraw::kVideoMemory);
  spriteSurface = tuDraw::draw.sprites[sprite].surface;
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) tu::platform::WritePixel(spriteSurface, x, y, uint32_t(0x0841 * ((x + y) % 31 + 1)));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) tu::platform::WritePixel(tuDraw::draw.backSurface, x, y, uint32_t((x * 7) ^ (y * 13)));
  tuDraw::SetClip(0, 0, W, H);
}

void PerPixel(benchmark::State& state, int pixels) {
  state.counters["per_pixel"] = benchmark::Counter(
      double(pixels), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Sprite positions cycle over the screen, all inside it.
struct Walker {
  int i = 0;
  void Next(int* x, int* y) {
    i = (i + 1) % 300;
    *x = (i * 37) % (W - S);
    *y = (i * 23) % (H - S);
  }
};

template <class Draw>
void Copy(benchmark::State& state, Draw draw) {
  SetUp();
  Walker w;
  int x, y;
  for (auto _ : state) {
    w.Next(&x, &y);
    benchmark::DoNotOptimize(draw(x, y));
  }
  PerPixel(state, S * S);
}

// Baseline of the sprite copies: a memcpy of each of the 64 rows they write, at the same places.
void BM_MemcpySpriteRows(benchmark::State& state) {
  SetUp();
  int fromPitch = 0, toPitch = 0;
  auto* from = static_cast<const uint8_t*>(tu::platform::LockForReading(spriteSurface, &fromPitch));
  auto* to = static_cast<uint8_t*>(tu::platform::Lock(tuDraw::draw.backSurface, &toPitch));
  tu::platform::Unlock(spriteSurface);
  tu::platform::Unlock(tuDraw::draw.backSurface);
  Copy(state, [&](int x, int y) {
    for (int j = 0; j < S; ++j) memcpy(to + (y + j) * toPitch + x * 2, from + j * fromPitch, S * 2);
    benchmark::ClobberMemory();
    return 1;
  });
}
BENCHMARK(BM_MemcpySpriteRows);

// Baseline of the full-screen filters: a memcpy of the whole back buffer.
void BM_MemcpyScreen(benchmark::State& state) {
  SetUp();
  static std::vector<uint8_t> from(size_t(W) * H * 2, 1), to(size_t(W) * H * 2);
  for (auto _ : state) {
    memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
  PerPixel(state, W * H);
}
BENCHMARK(BM_MemcpyScreen);

void BM_DrawHalf(benchmark::State& state) {
  Copy(state, [](int x, int y) { return tuDraw::DrawHalf(x, y, sprite, 0, 0, S, S); });
}
BENCHMARK(BM_DrawHalf);

void BM_DrawAdd(benchmark::State& state) {
  Copy(state, [](int x, int y) { return tuDraw::DrawAdd(x, y, sprite, 0, 0, S, S); });
}
BENCHMARK(BM_DrawAdd);

void BM_DrawFade(benchmark::State& state) {
  Copy(state, [](int x, int y) { return tuDraw::DrawFade(x, y, sprite, 0, 0, S, S, 12); });
}
BENCHMARK(BM_DrawFade);

void BM_DrawSub(benchmark::State& state) {
  Copy(state, [](int x, int y) { return tuDraw::DrawSub(x, y, sprite, 0, 0, S, S); });
}
BENCHMARK(BM_DrawSub);

void BM_DrawGrey(benchmark::State& state) {
  Copy(state, [](int x, int y) { return tuDraw::DrawGrey(x, y, sprite, 0, 0, S, S); });
}
BENCHMARK(BM_DrawGrey);

// A float member, for comparison: it converts per pixel.
void BM_DrawAlpha(benchmark::State& state) {
  Copy(state, [](int x, int y) { return tuDraw::DrawAlpha(x, y, sprite, 0, 0, S, S, 0.3f); });
}
BENCHMARK(BM_DrawAlpha);

void BM_DrawRotate(benchmark::State& state) {
  const int angle = int(state.range(0));
  Copy(state, [angle](int x, int y) {
    return tuDraw::DrawRotate(x, y, x + S, y + S, angle, sprite, 0, 0, S, S);
  });
}
BENCHMARK(BM_DrawRotate)->Arg(0)->Arg(30);

void BM_SmokeFullScreen(benchmark::State& state) {
  SetUp();
  for (auto _ : state) benchmark::DoNotOptimize(tuDraw::SmokeFlags(0, 0, W, H, 0, 0, 1));
  PerPixel(state, W * H);
}
BENCHMARK(BM_SmokeFullScreen);

void BM_MosaicFullScreen(benchmark::State& state) {
  SetUp();
  for (auto _ : state) benchmark::DoNotOptimize(tuDraw::Mosaic(W / 2, H / 2, W / 2, 8));
  PerPixel(state, W * H);
}
BENCHMARK(BM_MosaicFullScreen);

}  // namespace
