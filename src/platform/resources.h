#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Program resources: an embedded registry that is empty in the game and filled by tests
// (platform/seams.h).
namespace tu::platform {

// A resource of a kind as the library asks for them ("BITMAP" images without file header,
// "WAVE" images). Null when absent; names compare case-insensitively.
const std::vector<uint8_t>* FindResource(const std::string& type, const std::string& name);

}  // namespace tu::platform
