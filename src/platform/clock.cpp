#include "platform/clock.h"
#include "platform/seams.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tu::platform {
namespace {
std::atomic<bool> manual{false};
std::atomic<uint32_t> manualTick{0};
}  // namespace

uint32_t Tick() {
  if (manual.load(std::memory_order_relaxed)) return manualTick.load(std::memory_order_relaxed);
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(ms);
}

void UseManualClock(bool on) { manual = on; }
bool ManualClock() { return manual; }
void SetTick(uint32_t tick) { manualTick = tick; }
void AdvanceTick(uint32_t ms) { manualTick.fetch_add(ms, std::memory_order_relaxed); }

void SleepMs(uint32_t ms) {
  if (manual) {
    AdvanceTick(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace tu::platform
