// Text and primitive benchmarks: the interlude's frame (108 lines, each through its own device
// context and pen, plus the meter and the present) and the frames-per-second meter alone.
#include <benchmark/benchmark.h>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/game.h"
#include "game/interlude.h"
#include "platform/seams.h"

namespace {

void EnsureDisplay() {
  if (tuDraw::draw.backSurface) return;
  tu::platform::SetHeadless(true);
  tu::platform::SetDesktopDepth(16);
  tuSystem::Init();
  tuSystem::sys.fullScreen = 0;
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);
  tuDraw::SetVSync(0);
}

void BM_InterludeFrame(benchmark::State& state) {
  EnsureDisplay();
  tuSystem::sys.sceneEntered = 0;
  for (auto _ : state) InterludeScene();
  state.SetLabel("clear, 108 lines, number, meter, present");
}
BENCHMARK(BM_InterludeFrame)->Unit(benchmark::kMicrosecond);

void BM_InterludeLines(benchmark::State& state) {
  EnsureDisplay();
  int o = 20;
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
  state.SetItemsProcessed(state.iterations() * 108);
}
BENCHMARK(BM_InterludeLines)->Unit(benchmark::kMicrosecond);

void BM_DrawFps(benchmark::State& state) {
  EnsureDisplay();
  for (auto _ : state) tuSystem::DrawFps();
}
BENCHMARK(BM_DrawFps)->Unit(benchmark::kMicrosecond);

void BM_TextBox(benchmark::State& state) {
  EnsureDisplay();
  tuDraw::BeginText(tuDraw::kFaceGothic, 16, 0, tuDraw::kWeightNormal, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0x000000, 1);
  for (auto _ : state)
    tuDraw::TextBox(20, 300, 620, 470, "テキストボックスの文字送り。Line breaks, hanging stops、and shadows.",
                    tuDraw::kTextShadow);
  tuDraw::EndText();
}
BENCHMARK(BM_TextBox)->Unit(benchmark::kMicrosecond);

}  // namespace
