#include "script.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include <tu/keys.h>
#include <tu/tuSystem.h>

#include "base/text.h"

namespace sim {

int KeyCode(const std::string& name) {
  static const struct {
    const char* name;
    int vk;
  } kNames[] = {{"left", tu::kKeyLeft}, {"right", tu::kKeyRight}, {"up", tu::kKeyUp},
                {"down", tu::kKeyDown}, {"space", tu::kKeySpace},  {"escape", tu::kKeyEscape},
                {"x", tu::kKeyX},       {"z", tu::kKeyZ},          {"a", tu::kKeyA},
                {"d", tu::kKeyD},       {"s", tu::kKeyS},          {"w", tu::kKeyW},
                {"j", tu::kKeyJ},       {"h", tu::kKeyH}};
  for (const auto& k : kNames)
    if (name == k.name) return k.vk;
  bool digits = !name.empty() && name.size() <= 3;
  for (char c : name) digits = digits && isdigit(static_cast<unsigned char>(c));
  if (digits) {
    int vk = atoi(name.c_str());
    return vk >= 1 && vk <= 255 ? vk : -1;
  }
  // Any other key by the name the settings file uses, in any case ("Q", "keypad 4").
  int vk = tuSystem::KeyFromName(name.c_str());
  return vk > 0 ? vk : -1;
}

namespace {
bool ParseFrame(const std::string& s, int* frame) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (!isdigit(static_cast<unsigned char>(c))) return false;
  *frame = atoi(s.c_str());
  return true;
}
}  // namespace

bool ParseScript(const std::string& text, Script* out, std::string* error) {
  *out = Script{};
  std::istringstream in(text);
  std::string line;
  int number = 0;
  struct Timed {
    KeyEvent e;
    int order;
  };
  std::vector<Timed> timed;
  while (std::getline(in, line)) {
    ++number;
    auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty()) continue;  // blank or comment only
    auto fail = [&](const std::string& why) {
      *error = "script line " + std::to_string(number) + ": " + why + ": \"" + tu::Printable(line, 40) + "\"";
      return false;
    };
    if (words.size() < 3) return fail("expected FRAME KEY down|up|tap");
    // A key's name may have spaces ("Keypad 4", "Left Shift"): all between the frame and the action.
    const std::string& f = words.front();
    const std::string& action = words.back();
    std::string key = words[1];
    for (size_t i = 2; i + 1 < words.size(); ++i) key += " " + words[i];
    int frame;
    if (!ParseFrame(f, &frame)) return fail("bad frame number");
    int vk = KeyCode(key);
    if (vk < 0) return fail("unknown key '" + tu::Printable(key) + "'");
    if (action == "down" || action == "up") {
      timed.push_back({{frame, vk, action == "down"}, static_cast<int>(timed.size())});
    } else if (action == "tap") {
      timed.push_back({{frame, vk, true}, static_cast<int>(timed.size())});
      timed.push_back({{frame + 1, vk, false}, static_cast<int>(timed.size())});
    } else {
      return fail("unknown action '" + tu::Printable(action) + "'");
    }
    out->lastFrame = std::max(out->lastFrame, frame);
  }
  std::stable_sort(timed.begin(), timed.end(),
                   [](const Timed& a, const Timed& b) { return a.e.frame < b.e.frame; });
  for (const Timed& t : timed) out->events.push_back(t.e);
  return true;
}

}  // namespace sim
