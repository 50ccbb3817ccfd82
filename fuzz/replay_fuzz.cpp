// Replay files: any bytes parse or are refused with a message; what parses is written again and
// must read back as the same replay, and be written the same way a second time.
#include <cstdint>
#include <string>

#include "game/replay.h"

namespace {

bool Same(const Replay& a, const Replay& b) {
  const ReplayHeader &h = a.header, &g = b.header;
  if (h.format != g.format || h.gameVersion != g.gameVersion || h.ruleHash != g.ruleHash || h.seed != g.seed ||
      h.clockMs != g.clockMs || h.clockStart != g.clockStart || h.mode != g.mode || h.date != g.date)
    return false;
  for (int p = 0; p < 2; ++p)
    if (h.difficulty[p] != g.difficulty[p] || h.computer[p] != g.computer[p] || a.end.score[p] != b.end.score[p])
      return false;
  if (a.events.size() != b.events.size() || a.checks.size() != b.checks.size()) return false;
  for (size_t i = 0; i < a.events.size(); ++i) {
    const ReplayEvent &e = a.events[i], &f = b.events[i];
    if (e.step != f.step || e.player != f.player || e.action != f.action || e.down != f.down) return false;
  }
  for (size_t i = 0; i < a.checks.size(); ++i)
    if (a.checks[i].step != b.checks[i].step || a.checks[i].digest != b.checks[i].digest) return false;
  return a.end.present == b.end.present && a.end.steps == b.end.steps && a.end.winner == b.end.winner;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Replay first;
  std::string error;
  if (!DecodeReplay(reinterpret_cast<const char*>(data), size, &first, &error)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  std::string text = FormatReplay(first);
  Replay second;
  if (!ParseReplay(text.data(), text.size(), &second, &error) || !Same(first, second) || FormatReplay(second) != text)
    __builtin_trap();
  return 0;
}
