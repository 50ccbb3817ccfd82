// The simulator's state files: any JSON applies or is refused naming the field; what applies
// is dumped again.
#include <nlohmann/json.hpp>
#include <string>

#include "game/model.h"
#include "sim/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nlohmann::json state =
      nlohmann::json::parse(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + size,
                            nullptr, false);
  if (state.is_discarded()) return 0;
  ResetGame();
  std::string error;
  sim::ApplyState(state, &error);
  (void)sim::DumpGame().dump();
  return 0;
}
