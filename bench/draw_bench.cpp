// Drawing benchmarks: each library operation beside a direct SDL or memcpy baseline doing the
// same work in the same run. The "allocs" counter is heap allocations per iteration.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <tu/effects.h>
#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/display.h"
#include "platform/headless.h"
#include "platform/rows.h"
#include "platform/seams.h"
#include "platform/surface.h"
#include "platform/window.h"

namespace {
std::atomic<long> allocations{0};
}

// Counting replacement of the global allocator (malloc underneath, so free matches it).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }

namespace {

constexpr int W = 640, H = 480;
int tile = 0;
SDL_Surface* sdlBack = nullptr;
SDL_Surface* sdlTile = nullptr;
SDL_Surface* sdlTileRle = nullptr;
SDL_Surface* sdlScreen = nullptr;
int sheet = 0, frame = 0;             // a sheet of 10 x 4 tiles; a full-screen frame sheet
SDL_Surface* sdlSheetRle = nullptr;
SDL_Surface* sdlFrameRle = nullptr;
// With QUORBISTANE_BENCH_WINDOW=1 (and a display) presents go to a real window.
bool windowed = false;

// A diamond on black, like the game's blocks: the corners are transparent.
uint16_t TilePixel(int x, int y) {
  int dx = x < 16 ? 15 - x : x - 16, dy = y < 16 ? 15 - y : y - 16;
  return dx + dy < 16 ? uint16_t(0x0841 * ((x + y) % 31 + 1)) : 0;
}

// A full-screen frame sheet like the game's: opaque borders, bevels and plates around
// transparent fields, rows of 0 to 6 runs.
uint16_t FramePixel(int x, int y) {
  static const int parts[][4] = {{0, 0, 640, 6},     {0, 474, 640, 480},  {0, 0, 6, 480},
                                 {634, 0, 640, 480}, {75, 137, 83, 449},  {239, 137, 247, 449},
                                 {364, 137, 372, 449}, {528, 137, 536, 449}, {202, 7, 404, 71},
                                 {35, 60, 110, 118}, {132, 63, 207, 121}, {404, 63, 479, 121},
                                 {501, 60, 576, 118}, {75, 445, 247, 449}, {364, 445, 536, 449}};
  for (const auto& p : parts)
    if (x >= p[0] && x < p[2] && y >= p[1] && y < p[3]) return uint16_t(0x0841 * ((x * 3 + y) % 31 + 1));
  return 0;
}

// An RLE-accelerated SDL surface with the pixels of `pixel`.
template <class Pixel>
SDL_Surface* SdlKeyedRle(int w, int h, Pixel pixel) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch)[x] = pixel(x, y);
  SDL_SetColorKey(s, SDL_TRUE, 0);
  SDL_SetSurfaceRLE(s, 1);
  return s;
}

// A sprite of our own with the same pixels.
template <class Pixel>
int Sprite(int w, int h, Pixel pixel) {
  int id = tuDraw::CreateObject(w, h, tuDraw::kVideoMemory);
  tu::platform::Surface* s = tuDraw::draw.sprites[id].surface;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) tu::platform::WritePixel(s, x, y, pixel(x, y));
  return id;
}

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  const char* env = getenv("QUORBISTANE_BENCH_WINDOW");
  windowed = env && *env == '1';
  tu::platform::SetHeadless(!windowed);
  tu::platform::SetDesktopDepth(16);
  tuSystem::Init();
  tuSystem::sys.fullScreen = 0;
  if (windowed) {
    tu::platform::WindowOptions o;
    o.title = "draw bench";
    const char* why = nullptr;
    if (!tu::platform::CreateMainWindow(o, &why)) {
      fprintf(stderr, "no window: %s\n", why);
      exit(1);
    }
  }
  tuDraw::Screen(W, H, tuDraw::kScreenVideoMemory);
  tuDraw::SetVSync(0);
  tile = tuDraw::CreateObject(32, 32, tuDraw::kVideoMemory);
  tu::platform::Surface* t = tuDraw::draw.sprites[tile].surface;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) tu::platform::WritePixel(t, x, y, TilePixel(x, y));
  tu::platform::Surface* screen = tuDraw::draw.sprites[1].surface;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) tu::platform::WritePixel(screen, x, y, uint32_t(x ^ y));

  auto sheetPixel = [](int x, int y) { return TilePixel(x % 32, y % 32); };
  sheet = Sprite(320, 128, sheetPixel);
  frame = Sprite(W, H, FramePixel);
  sdlSheetRle = SdlKeyedRle(320, 128, sheetPixel);
  sdlFrameRle = SdlKeyedRle(W, H, FramePixel);

  sdlBack = SDL_CreateRGBSurfaceWithFormat(0, W, H, 16, SDL_PIXELFORMAT_RGB565);
  sdlScreen = SDL_CreateRGBSurfaceWithFormat(0, W, H, 16, SDL_PIXELFORMAT_RGB565);
  // The same pixels as our Screen sprite: a copy must read memory, not a page of zeros that
  // the system lends to a picture never written.
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(sdlScreen->pixels) + y * sdlScreen->pitch)[x] = uint16_t(x ^ y);
  sdlTile = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 16, SDL_PIXELFORMAT_RGB565);
  sdlTileRle = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 16, SDL_PIXELFORMAT_RGB565);
  for (SDL_Surface* s : {sdlTile, sdlTileRle})
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch)[x] = TilePixel(x, y);
  SDL_SetColorKey(sdlTile, SDL_TRUE, 0);
  SDL_SetColorKey(sdlTileRle, SDL_TRUE, 0);
  SDL_SetSurfaceRLE(sdlTileRle, 1);
}

// Positions of a w x h picture cycle over the screen, all inside it.
struct Walker {
  int i = 0, w = 32, h = 32;
  void Next(int* x, int* y) {
    i = (i + 1) % 300;
    *x = (i * 37) % (W - w);
    *y = (i * 23) % (H - h);
  }
};

void Finish(benchmark::State& state, long before) {
  state.counters["allocs"] = benchmark::Counter(
      double(allocations.load() - before) / double(state.iterations()));
}

// body(x, y, i) at the walker's places, i counting the places; allocations counted.
template <class Body>
void Walked(benchmark::State& state, Walker w, Body body) {
  SetUpOnce();
  int x, y;
  long before = allocations.load();
  for (auto _ : state) {
    w.Next(&x, &y);
    body(x, y, w.i);
  }
  Finish(state, before);
}

template <class Body>
void Repeated(benchmark::State& state, Body body) {
  SetUpOnce();
  long before = allocations.load();
  for (auto _ : state) body();
  Finish(state, before);
}

void BM_DrawKeyedTile(benchmark::State& state) {
  Walked(state, Walker{}, [](int x, int y, int) { tuDraw::Draw(x, y, tile, 0, 0, 32, 32); });
}
BENCHMARK(BM_DrawKeyedTile);

void BM_SdlBlitKeyedTile(benchmark::State& state) {
  SetUpOnce();
  Walker w;
  int x, y;
  long before = allocations.load();
  for (auto _ : state) {
    w.Next(&x, &y);
    SDL_Rect d{x, y, 32, 32};
    SDL_BlitSurface(sdlTile, nullptr, sdlBack, &d);
  }
  Finish(state, before);
}
BENCHMARK(BM_SdlBlitKeyedTile);

void BM_SdlBlitKeyedTileRle(benchmark::State& state) {
  SetUpOnce();
  Walker w;
  int x, y;
  long before = allocations.load();
  for (auto _ : state) {
    w.Next(&x, &y);
    SDL_Rect d{x, y, 32, 32};
    SDL_BlitSurface(sdlTileRle, nullptr, sdlBack, &d);
  }
  Finish(state, before);
}
BENCHMARK(BM_SdlBlitKeyedTileRle);

// A tile of a sheet of 10 x 4 tiles, as the game draws its blocks: the copy starts in the
// middle of the sheet's rows.
void BM_DrawKeyedTileOfSheet(benchmark::State& state) {
  Walked(state, Walker{}, [](int x, int y, int i) {
    const int l = (i % 10) * 32, t = (i % 4) * 32;
    tuDraw::Draw(x, y, sheet, l, t, l + 32, t + 32);
  });
}
BENCHMARK(BM_DrawKeyedTileOfSheet);

void BM_SdlBlitKeyedTileOfSheetRle(benchmark::State& state) {
  Walked(state, Walker{}, [](int x, int y, int i) {
    SDL_Rect s{(i % 10) * 32, (i % 4) * 32, 32, 32}, d{x, y, 32, 32};
    SDL_BlitSurface(sdlSheetRle, &s, sdlBack, &d);
  });
}
BENCHMARK(BM_SdlBlitKeyedTileOfSheetRle);

// The full-screen frame sheet, keyed, over the whole back buffer.
void BM_DrawKeyedFrameSheet(benchmark::State& state) {
  Repeated(state, [] { tuDraw::Draw(0, 0, frame, 0, 0, W, H); });
}
BENCHMARK(BM_DrawKeyedFrameSheet);

void BM_SdlBlitKeyedFrameSheetRle(benchmark::State& state) {
  Repeated(state, [] { SDL_BlitSurface(sdlFrameRle, nullptr, sdlBack, nullptr); });
}
BENCHMARK(BM_SdlBlitKeyedFrameSheetRle);

// A picture that an effect has read (a translucent copy) and that is then drawn keyed: reading
// leaves its opaque-run index in place, so the draw costs what BM_DrawKeyedTile does.
void BM_DrawKeyedTileAfterEffectRead(benchmark::State& state) {
  SetUpOnce();
  static const int read = [] {
    int id = tuDraw::CreateObject(32, 32, tuDraw::kVideoMemory);
    tu::platform::Surface* s = tuDraw::draw.sprites[id].surface;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) tu::platform::WritePixel(s, x, y, TilePixel(x, y));
    tuDraw::Draw(0, 0, id, 0, 0, 32, 32);
    return id;
  }();
  tuDraw::DrawHalf(0, 0, read, 0, 0, 32, 32);
  Walked(state, Walker{}, [](int x, int y, int) { tuDraw::Draw(x, y, read, 0, 0, 32, 32); });
}
BENCHMARK(BM_DrawKeyedTileAfterEffectRead);

// A sprite rewritten every frame (text, work sprites) and drawn keyed: no re-encoding, no
// allocation once it has settled.
void BM_DrawRewrittenTile(benchmark::State& state) {
  SetUpOnce();
  static int work = tuDraw::CreateObject(32, 32, tuDraw::kVideoMemory);
  tu::platform::Surface* s = tuDraw::draw.sprites[work].surface;
  for (int i = 0; i < 3; ++i) {
    tu::platform::WritePixel(s, 1, 1, 0x1234);
    tuDraw::Draw(0, 0, work, 0, 0, 32, 32);
  }
  Walker w;
  int x, y;
  long before = allocations.load();
  for (auto _ : state) {
    w.Next(&x, &y);
    tu::platform::WritePixel(s, x & 31, y & 31, uint32_t(x));
    tuDraw::Draw(x, y, work, 0, 0, 32, 32);
  }
  Finish(state, before);
}
BENCHMARK(BM_DrawRewrittenTile);

void BM_DrawOpaqueFullScreen(benchmark::State& state) {
  SetUpOnce();
  long before = allocations.load();
  for (auto _ : state) tuDraw::DrawOpaque(0, 0, 1, 0, 0, W, H);
  Finish(state, before);
}
BENCHMARK(BM_DrawOpaqueFullScreen);

void BM_SdlBlitOpaqueFullScreen(benchmark::State& state) {
  SetUpOnce();
  long before = allocations.load();
  for (auto _ : state) SDL_BlitSurface(sdlScreen, nullptr, sdlBack, nullptr);
  Finish(state, before);
}
BENCHMARK(BM_SdlBlitOpaqueFullScreen);

// A 200 x 120 part of the Screen sprite, from places all over it to places all over the back
// buffer: rows of 400 bytes at every alignment.
constexpr int kSubW = 200, kSubH = 120;

void BM_DrawOpaqueSubRect(benchmark::State& state) {
  Walked(state, Walker{0, kSubW, kSubH}, [](int x, int y, int) {
    const int l = W - kSubW - x, t = H - kSubH - y;
    tuDraw::DrawOpaque(x, y, 1, l, t, l + kSubW, t + kSubH);
  });
}
BENCHMARK(BM_DrawOpaqueSubRect);

void BM_SdlBlitOpaqueSubRect(benchmark::State& state) {
  Walked(state, Walker{0, kSubW, kSubH}, [](int x, int y, int) {
    SDL_Rect s{W - kSubW - x, H - kSubH - y, kSubW, kSubH}, d{x, y, kSubW, kSubH};
    SDL_BlitSurface(sdlScreen, &s, sdlBack, &d);
  });
}
BENCHMARK(BM_SdlBlitOpaqueSubRect);

void BM_Clear(benchmark::State& state) {
  SetUpOnce();
  long before = allocations.load();
  for (auto _ : state) tuDraw::Clear();
  Finish(state, before);
}
BENCHMARK(BM_Clear);

void BM_SdlFillRect(benchmark::State& state) {
  SetUpOnce();
  long before = allocations.load();
  for (auto _ : state) SDL_FillRect(sdlBack, nullptr, 0);
  Finish(state, before);
}
BENCHMARK(BM_SdlFillRect);

// Headless present: the frame copy that replaces the texture upload.
void BM_PresentHeadless(benchmark::State& state) {
  SetUpOnce();
  tuDraw::Present();  // the kept frame is allocated once
  long before = allocations.load();
  for (auto _ : state) tuDraw::Present();
  Finish(state, before);
}
BENCHMARK(BM_PresentHeadless);

void BM_MemcpyFrame(benchmark::State& state) {
  SetUpOnce();
  static std::vector<uint8_t> from(size_t(W) * H * 2, 1), to(size_t(W) * H * 2);
  long before = allocations.load();
  for (auto _ : state) {
    memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
  Finish(state, before);
}
BENCHMARK(BM_MemcpyFrame);

// The scaled framebuffer present's own work for a frame whose every row changed: each row
// compared, widened to 32 bits and to factor x factor blocks in the window's buffer (1280 x 960
// for factor 2, a 1920 x 1080 screen; 1920 x 1440 for 3, 2560 x 1440). Sending the rows to
// the X server is the server's work. The baseline is one memcpy of the scaled frame's bytes.
void BM_ScaledPresentRows(benchmark::State& state) {
  SetUpOnce();
  const int k = static_cast<int>(state.range(0));
  tu::platform::Surface* back = tuDraw::draw.sprites[1].surface;
  int pitch = 0;
  auto* pixels = static_cast<const uint8_t*>(tu::platform::Lock(back, &pitch));
  static std::vector<uint8_t> window;
  window.assign(size_t(W) * k * H * k * 4, 0);
  tu::platform::ChangedRows rows;
  rows.Reset(W, H, tu::platform::SurfaceFormat(back));
  rows.Send(pixels, pitch, window.data(), W * k * 4, tu::platform::RowTarget::Rgb32, k);  // its table
  long before = allocations.load();
  for (auto _ : state) {
    rows.SendAll();
    rows.Send(pixels, pitch, window.data(), W * k * 4, tu::platform::RowTarget::Rgb32, k);
    benchmark::ClobberMemory();
  }
  Finish(state, before);
  tu::platform::Unlock(back);
  state.SetBytesProcessed(int64_t(state.iterations()) * W * k * H * k * 4);
}
BENCHMARK(BM_ScaledPresentRows)->Arg(2)->Arg(3);

void BM_MemcpyScaledFrame(benchmark::State& state) {
  SetUpOnce();
  const size_t bytes = size_t(W) * state.range(0) * H * state.range(0) * 4;
  static std::vector<uint8_t> from, to;
  from.assign(bytes, 1);
  to.assign(bytes, 0);
  long before = allocations.load();
  for (auto _ : state) {
    memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  Finish(state, before);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_MemcpyScaledFrame)->Arg(2)->Arg(3);

// Windowed: tuDraw::Present (texture upload, copy, present; no vsync) beside the same SDL calls
// made directly on a second window.
void BM_PresentWindow(benchmark::State& state) {
  SetUpOnce();
  if (!windowed) {
    state.SkipWithError("set QUORBISTANE_BENCH_WINDOW=1 under a display");
    return;
  }
  tuDraw::Present();
  long before = allocations.load();
  for (auto _ : state) tuDraw::Present();
  Finish(state, before);
}
BENCHMARK(BM_PresentWindow);

void BM_SdlTexturePresent(benchmark::State& state) {
  SetUpOnce();
  if (!windowed) {
    state.SkipWithError("set QUORBISTANE_BENCH_WINDOW=1 under a display");
    return;
  }
  static SDL_Window* win = SDL_CreateWindow("baseline", 0, 0, W, H, SDL_WINDOW_SHOWN);
  static SDL_Renderer* ren = SDL_CreateRenderer(win, -1, SDL_RENDERER_ACCELERATED);
  static SDL_Texture* tex =
      SDL_CreateTexture(ren, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, W, H);
  SDL_RenderSetVSync(ren, 0);
  long before = allocations.load();
  for (auto _ : state) {
    SDL_UpdateTexture(tex, nullptr, sdlScreen->pixels, sdlScreen->pitch);
    SDL_RenderClear(ren);
    SDL_RenderCopy(ren, tex, nullptr, nullptr);
    SDL_RenderPresent(ren);
  }
  Finish(state, before);
}
BENCHMARK(BM_SdlTexturePresent);

}  // namespace

// main() comes from the benchmark binary's other file (one BENCHMARK_MAIN per binary).
