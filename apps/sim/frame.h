#pragma once
#include <nlohmann/json.hpp>
#include <string>

// What the simulator reads off the running program besides the game state: presented frames
// and the sounds the game started.
namespace sim {

// Writes the frame presented last as a PNG file; false with a reason.
bool WritePresentedFrame(const std::string& file, std::string* error);

// Counts the sound starts of the game frame by frame.
class SoundCounter {
 public:
  SoundCounter();
  void AfterFrame();
  // For each sound file name: the number of starts and whether it plays at the end.
  nlohmann::ordered_json Json() const;

 private:
  int starts_[70] = {};
};

}  // namespace sim
