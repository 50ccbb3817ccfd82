#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Writes 8-bit RGB rows (width * 3 bytes each, top row first) as a PNG file. False on failure.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace sim
