#pragma once
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

// The game state as JSON: applying a partial state before the run, dumping it after. Both go
// through one table of fields, so whatever can be set is dumped under the same name and the
// other way round.
namespace sim {

// The values a field can hold: min..max, less those marked in `gaps` (bit v - min).
struct Range {
  int64_t min, max;
  uint64_t gaps = 0;
  bool Holds(int64_t v) const { return v >= min && v <= max && !(v - min < 64 && (gaps >> (v - min)) & 1); }
  std::string Text() const;
};

enum class Store : uint8_t { Int, Unsigned, Byte };  // int32_t, uint32_t, uint8_t
// tuSystem::sys, game, game.keys, a player, a player's computer
enum class Record : uint8_t { System, Game, Keys, Player, Computer };

// One field of the model: a scalar, an array (`rows` 0) or a grid of `rows` x `cols`.
struct FieldSpec {
  const char* name;
  Record record;
  Store store;
  size_t offset;
  int rows, cols;
  Range range;
  Range second;  // pairs (cols 2): the second of each pair; min > max when `range` covers both
  const Range& RangeOf(int col) const { return col == 1 && second.min <= second.max ? second : range; }
};

// Game-wide fields (the shell's scene and blink state, the game's menu, pause and result state,
// the computer's level on each field); besides these the state has "keys", "players" and
// "computer" (what each field's computer has chosen and its own generator).
std::span<const FieldSpec> GameFields();
std::span<const FieldSpec> KeyFields();
std::span<const FieldSpec> PlayerFields();
std::span<const FieldSpec> ComputerFields();

// Applies the fields present in `state`; false with `error` naming the field on unknown fields,
// wrong shapes or values the game cannot hold (the state is then partly applied; the caller
// stops).
bool ApplyState(const nlohmann::json& state, std::string* error);

// The game-wide fields, the key states, both player records and both computers' states.
nlohmann::ordered_json DumpGame();

}  // namespace sim
