#include <cstdio>

#include "platform/gamepad.h"
#include "shell/tuSystem.h"

namespace tuSystem {

static_assert(int{kPadInputs} == int{platform::kPadInputs} &&
                  int{kPadSouth} == int{platform::kPadSouth} &&
                  int{kPadStart} == int{platform::kPadStart} &&
                  int{kPadRightShoulder} == int{platform::kPadRightShoulder},
              "the library's pad inputs are the platform's, in the same order");

int UsePads(const PadMapping& mapping) {
  uint8_t keys[platform::kPadPlayers][platform::kPadInputs];
  for (int p = 0; p < platform::kPadPlayers; ++p)
    for (int i = 0; i < platform::kPadInputs; ++i) {
      int vk = mapping.keys[p][i];
      keys[p][i] = static_cast<uint8_t>(vk > 0 && vk < 256 ? vk : 0);
    }
  const char* why = nullptr;
  if (!platform::StartPads(keys, &why)) {
    fprintf(stderr, "%s: game pads cannot be used: %s\n", sys.title, why);
    return 0;
  }
  return 1;
}

void StopPads() { platform::StopPads(); }

int PadConnected(int player) { return platform::PadConnected(player) ? 1 : 0; }

}  // namespace tuSystem
