// Text and primitive benchmarks: the interlude's frame (108 lines, each through its own device
// context and pen, plus the meter and the present) and the frames-per-second meter alone.
// The "allocs" counter is heap allocations per iteration.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "draw/tuDraw.h"
#include "game/game.h"
#include "platform/desktop.h"
#include "platform/headless.h"
#include "present/interlude.h"
#include "shell/tuSystem.h"

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

void Count(benchmark::State& state, long before) {
  state.counters["allocs"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
}

void EnsureDisplay() {
  if (tuDraw::draw.backSurface) return;
  platform::SetHeadless(true);
  platform::SetDesktopDepth(16);
  tuSystem::Init();
  tuSystem::sys.fullScreen = 0;
  tuDraw::Screen(640, 480, 1);
  tuDraw::SetVSync(0);
}

void BM_InterludeFrame(benchmark::State& state) {
  EnsureDisplay();
  tuSystem::sys.sceneEntered = 0;
  InterludeScene();
  long before = allocations.load();
  for (auto _ : state) InterludeScene();
  Count(state, before);
  state.SetLabel("clear, 108 lines, number, meter, present");
}
BENCHMARK(BM_InterludeFrame)->Unit(benchmark::kMicrosecond);

void BM_InterludeLines(benchmark::State& state) {
  EnsureDisplay();
  int o = 20;
  long before = allocations.load();
  for (auto _ : state) {
    for (int i = -12; i <= 15; ++i) {
      int x = 40 * i;
      tuDraw::Line(x + o, 0, x + o + 480, 480, 150, 1);
      tuDraw::Line(x + o + 480, 0, x + o, 480, 150, 1);
      tuDraw::Line(x - o, 0, x - o, 480, 50, 1);
      if (i < 12) tuDraw::Line(0, 40 * i, 640, 40 * i, 50, 1);
    }
    o = o % 40 + 1;
  }
  Count(state, before);
  state.SetItemsProcessed(state.iterations() * 108);
}
BENCHMARK(BM_InterludeLines)->Unit(benchmark::kMicrosecond);

void BM_DrawFps(benchmark::State& state) {
  EnsureDisplay();
  tuSystem::DrawFps();
  long before = allocations.load();
  for (auto _ : state) tuSystem::DrawFps();
  Count(state, before);
}
BENCHMARK(BM_DrawFps)->Unit(benchmark::kMicrosecond);

void BM_TextBox(benchmark::State& state) {
  EnsureDisplay();
  tuDraw::BeginText(1, 16, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0x000000, 1);
  for (auto _ : state)
    tuDraw::TextBox(20, 300, 620, 470, "テキストボックスの文字送り。Line breaks, hanging stops、and shadows.",
                    0x100);
  tuDraw::EndText();
}
BENCHMARK(BM_TextBox)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
