#include "platform/headless.h"

#include "platform/clock.h"
#include "platform/seams.h"

namespace tu::platform {
namespace {
bool headless = false;
}

void SetHeadless(bool on) {
  headless = on;
  UseManualClock(on);
}
bool Headless() { return headless; }

}  // namespace tu::platform
