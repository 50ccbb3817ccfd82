#pragma once
#include <string>
#include <vector>

// Key scripts of the simulator: one event per line, "FRAME KEY down|up|tap".
namespace sim {

struct KeyEvent {
  int frame;
  int vk;
  bool down;
};

struct Script {
  std::vector<KeyEvent> events;  // in the order they apply; tap gives down then up a frame later
  int lastFrame = -1;            // the highest frame any event names
};

// Parses a script; on a malformed line returns false with `error` naming the line.
bool ParseScript(const std::string& text, Script* out, std::string* error);
// A key of the script: the names left right up down space escape x z a d s w j h, a key code
// 1..255, or any name tuSystem::KeyFromName knows, in any case ("Q", "keypad 4"). -1 for none.
int KeyCode(const std::string& name);

}  // namespace sim
