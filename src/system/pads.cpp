#include <cstdio>

#include <tu/tuSystem.h>

#include "platform/gamepad.h"

namespace tuSystem {

static_assert(int{kPadInputs} == int{tu::platform::kPadInputs} &&
                  int{kPadSouth} == int{tu::platform::kPadSouth} &&
                  int{kPadStart} == int{tu::platform::kPadStart} &&
                  int{kPadRightShoulder} == int{tu::platform::kPadRightShoulder},
              "the library's pad inputs are the platform's, in the same order");

int UsePads(const PadMapping& mapping) {
  uint8_t keys[tu::platform::kPadPlayers][tu::platform::kPadInputs];
  for (int p = 0; p < tu::platform::kPadPlayers; ++p)
    for (int i = 0; i < tu::platform::kPadInputs; ++i) {
      int vk = mapping.keys[p][i];
      keys[p][i] = static_cast<uint8_t>(vk > 0 && vk < 256 ? vk : 0);
    }
  const char* why = nullptr;
  if (!tu::platform::StartPads(keys, &why)) {
    fprintf(stderr, "%s: game pads cannot be used: %s\n", sys.title, why);
    return 0;
  }
  return 1;
}

void StopPads() { tu::platform::StopPads(); }

int PadConnected(int player) { return tu::platform::PadConnected(player) ? 1 : 0; }

}  // namespace tuSystem
