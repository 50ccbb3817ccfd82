// The simulator's key scripts: any text parses or is refused with a line number.
#include <string>

#include "sim/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Script script;
  std::string error;
  if (!sim::ParseScript(std::string(reinterpret_cast<const char*>(data), size), &script, &error) &&
      error.find("line ") == std::string::npos)
    __builtin_trap();  // a refusal must name the line
  return 0;
}
