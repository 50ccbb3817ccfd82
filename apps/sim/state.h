#pragma once
#include <nlohmann/json.hpp>
#include <string>

// The game state as JSON: applying a partial state before the run, dumping it after.
namespace sim {

// Applies the fields present in `state`; false with `error` naming the field on unknown fields
// or wrong shapes (the state is then partly applied; the caller stops).
bool ApplyState(const nlohmann::json& state, std::string* error);

// The game-wide fields and both player records.
nlohmann::ordered_json DumpGame();

}  // namespace sim
