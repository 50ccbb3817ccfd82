#pragma once
// The game's music and sound effects, composed here as note data and rendered by the synthesiser.
#include <string>
#include <vector>

namespace assetgen {

struct Sound {
  std::string file;       // relative to the game folder, e.g. "BGM/eBGM.wav"
  int rate = 22050;
  bool loop = false;      // music that plays over and over: its end leads into its start
  std::vector<float> samples;
};

// Renders all twelve sounds; false (with a message) when a score is malformed.
bool MakeSounds(std::vector<Sound>& out);

}  // namespace assetgen
