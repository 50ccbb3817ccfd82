#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Program resources: an embedded registry that is empty in the game and filled by tests.
namespace tu::platform {

// Kinds as the library asks for them ("BITMAP" images without file header, "WAVE" images).
void RegisterResource(const std::string& type, const std::string& name, std::vector<uint8_t> bytes);
void ClearResources();
// Null when absent; names compare case-insensitively.
const std::vector<uint8_t>* FindResource(const std::string& type, const std::string& name);

}  // namespace tu::platform
