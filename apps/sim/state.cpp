#include "state.h"

#include <cstring>
#include <type_traits>

#include <tu/tuSystem.h>

#include "game/model.h"

namespace sim {

using nlohmann::json;
using nlohmann::ordered_json;

std::string Range::Text() const {
  std::string t = std::to_string(min) + ".." + std::to_string(max);
  std::string except;
  for (int64_t v = min; v <= max && v - min < 64; ++v)
    if ((gaps >> (v - min)) & 1) except += (except.empty() ? "" : ", ") + std::to_string(v);
  return except.empty() ? t : t + " except " + except;
}

namespace {

static_assert(std::is_standard_layout_v<PlayerState> && std::is_standard_layout_v<GameState> &&
              std::is_standard_layout_v<GameKeys> && std::is_standard_layout_v<tuSystem::SystemState>);

// What the rules let each field reach.
constexpr Range kFlag{0, 1};
constexpr Range kTick{0, UINT32_MAX};
constexpr Range kKeyState{0, 3};
constexpr Range kPhase{0, kPhasePaused, 1u << 10};  // 10 is no phase
constexpr Range kCell{0, kGarbage, 1u << 8};       // 8 is no block code
constexpr Range kGroup{0, kLiveCells};              // at most one group number per live cell
constexpr Range kColor{0, 5};                       // 0: none (a set piece, nothing drawn yet)
// A chain erases four blocks or more a step and nothing enters the field during one.
constexpr int kMaxChain = kLiveCells / 4;
// Garbage of a chain: the step number per step, plus the size bonuses, which need blocks that
// the longest chain does not have (a chain one step shorter earns 173).
constexpr int kMaxChainGarbage = kMaxChain * (kMaxChain + 1) / 2;
constexpr Range kSame{1, 0};

template <class T>
FieldSpec Spec(const char* name, Record record, size_t offset, Range range, Range second = kSame) {
  using E = std::remove_all_extents_t<T>;
  static_assert(std::is_same_v<E, int> || std::is_same_v<E, uint32_t> || std::is_same_v<E, uint8_t>);
  Store store = std::is_same_v<E, int> ? Store::Int : std::is_same_v<E, uint32_t> ? Store::Unsigned : Store::Byte;
  int rows = std::rank_v<T> == 2 ? static_cast<int>(std::extent_v<T, 0>) : 0;
  int cols = std::rank_v<T> == 2 ? static_cast<int>(std::extent_v<T, 1>)
             : std::rank_v<T> == 1 ? static_cast<int>(std::extent_v<T, 0>)
                                   : 0;
  return {name, record, store, offset, rows, cols, range, second};
}

// The field's name is the model's own member name.
#define SIM_FIELD(rec, Type, member, ...) \
  Spec<decltype(Type::member)>(#member, Record::rec, offsetof(Type, member), __VA_ARGS__)

const FieldSpec kGameFields[] = {
    SIM_FIELD(System, tuSystem::SystemState, sceneNo, {0, 3}),
    SIM_FIELD(System, tuSystem::SystemState, prevSceneNo, {0, 3}),
    SIM_FIELD(System, tuSystem::SystemState, sceneEntered, kFlag),
    SIM_FIELD(System, tuSystem::SystemState, blinkOn, kFlag),
    SIM_FIELD(System, tuSystem::SystemState, nextBlink, kTick),
    SIM_FIELD(Game, GameState, gameMode, {0, kModeQuit}),  // the last: the menu's quit item
    SIM_FIELD(Game, GameState, menuLevel, {0, 2}),
    SIM_FIELD(Game, GameState, levelCursor, {0, 4}),
    SIM_FIELD(Game, GameState, difficulty, {0, 3}),
    SIM_FIELD(Game, GameState, pausedPhase, kPhase),
    SIM_FIELD(Game, GameState, resultStep, {0, 3}),
    SIM_FIELD(Game, GameState, resultTime, kTick),
    SIM_FIELD(Game, GameState, groupNo, kGroup),
    SIM_FIELD(Game, GameState, groupMarks, kGroup),
    SIM_FIELD(Game, GameState, computerLevel, {-1, 3}),  // -1: a person plays the field
    // The colour generator's count, low word and high word: every value is a valid state.
    Spec<decltype(GameRandom::state)>("random", Record::Game, offsetof(GameState, random), kTick),
    SIM_FIELD(Game, GameState, clock, kTick),
    SIM_FIELD(Game, GameState, clockMs, {-1, 100000}),  // -1: 16, 17, 17 ms
    SIM_FIELD(Game, GameState, cadence, {0, 2}),
    SIM_FIELD(Game, GameState, gameStep, kTick),
};

const FieldSpec kComputerFields[] = {
    SIM_FIELD(Computer, ComputerState, rng, {1, UINT32_MAX}),  // 0 would stay 0
    SIM_FIELD(Computer, ComputerState, planned, kFlag),
    SIM_FIELD(Computer, ComputerState, replans, kFlag),
    SIM_FIELD(Computer, ComputerState, slot, {0, 5}),  // 0 with orientation 0: nothing to steer
    SIM_FIELD(Computer, ComputerState, line, {0, 16}),
    SIM_FIELD(Computer, ComputerState, orientation, {0, 4}),
    SIM_FIELD(Computer, ComputerState, aligned, kFlag),
    SIM_FIELD(Computer, ComputerState, dropping, kFlag),
    SIM_FIELD(Computer, ComputerState, nextPress, kTick),
    SIM_FIELD(Computer, ComputerState, decisions, {0, INT32_MAX}),
};

const FieldSpec kKeyFields[] = {
    SIM_FIELD(Keys, GameKeys, left, kKeyState),     SIM_FIELD(Keys, GameKeys, right, kKeyState),
    SIM_FIELD(Keys, GameKeys, drop, kKeyState),     SIM_FIELD(Keys, GameKeys, turnCw, kKeyState),
    SIM_FIELD(Keys, GameKeys, turnCcw, kKeyState),  SIM_FIELD(Keys, GameKeys, menuUp, kKeyState),
    SIM_FIELD(Keys, GameKeys, menuDown, kKeyState), SIM_FIELD(Keys, GameKeys, confirm, kKeyState),
    SIM_FIELD(Keys, GameKeys, pause, kKeyState),    SIM_FIELD(Keys, GameKeys, pauseSecond, kKeyState),
    SIM_FIELD(Keys, GameKeys, pauseUp, kKeyState),  SIM_FIELD(Keys, GameKeys, pauseDown, kKeyState),
    SIM_FIELD(Keys, GameKeys, pauseConfirm, kKeyState),
};

const FieldSpec kPlayerFields[] = {
    SIM_FIELD(Player, PlayerState, phase, kPhase),
    SIM_FIELD(Player, PlayerState, cells, kCell),
    SIM_FIELD(Player, PlayerState, tileFrame, {0, 3}),
    SIM_FIELD(Player, PlayerState, offsetX, {-16, 16}),  // half a block sideways
    SIM_FIELD(Player, PlayerState, offsetY, {0, 32}),    // a whole block down
    SIM_FIELD(Player, PlayerState, moveDir, {0, 3}),
    SIM_FIELD(Player, PlayerState, justSet, kFlag),
    SIM_FIELD(Player, PlayerState, eraseFlag, kFlag),
    SIM_FIELD(Player, PlayerState, pieceSlot, {1, 5}),
    SIM_FIELD(Player, PlayerState, pieceLine, {0, 16}),
    SIM_FIELD(Player, PlayerState, pieceColor, kColor),
    SIM_FIELD(Player, PlayerState, satellite, {-1, 1}, {-1, 1, 1u << 1}),  // never on the pivot's line
    SIM_FIELD(Player, PlayerState, next, kColor),
    SIM_FIELD(Player, PlayerState, colorCount, {4, 5}),
    SIM_FIELD(Player, PlayerState, fallInterval, {10, 1200}),
    SIM_FIELD(Player, PlayerState, lockDelay, {960, 960}),
    SIM_FIELD(Player, PlayerState, score, {0, kScoreMax}),
    SIM_FIELD(Player, PlayerState, chain, {0, kMaxChain}),
    SIM_FIELD(Player, PlayerState, maxChain, {0, kMaxChain}),
    SIM_FIELD(Player, PlayerState, chainShown, {0, kMaxChain, 1u << 1}),  // shown from the second step
    SIM_FIELD(Player, PlayerState, erasedCount, {0, kLiveCells}),
    // Only grows in the one-player game, where player 1's garbage collects in player 2's
    // counter: the top leaves room for one more chain's garbage.
    SIM_FIELD(Player, PlayerState, garbageIn, {0, INT32_MAX - kMaxChainGarbage}),
    SIM_FIELD(Player, PlayerState, garbageOut, {0, kMaxChainGarbage}),
    SIM_FIELD(Player, PlayerState, garbageFalling, kFlag),
    SIM_FIELD(Player, PlayerState, gameOver, kFlag),
    SIM_FIELD(Player, PlayerState, fallTime, kTick),
    SIM_FIELD(Player, PlayerState, dropTime, kTick),
    SIM_FIELD(Player, PlayerState, repeatTime, kTick),
    SIM_FIELD(Player, PlayerState, setTime, kTick),
    SIM_FIELD(Player, PlayerState, eraseTime, kTick),
    SIM_FIELD(Player, PlayerState, animTime, kTick),
    SIM_FIELD(Player, PlayerState, shimmerTime, kTick),
    SIM_FIELD(Player, PlayerState, chainTime, kTick),
    SIM_FIELD(Player, PlayerState, stepFlag, kFlag),
    SIM_FIELD(Player, PlayerState, animCounter, {0, 32}),
    SIM_FIELD(Player, PlayerState, shimmerFrame, {0, 2}),
};

#undef SIM_FIELD

struct Fail {
  std::string what;
};

char* Base(Record r, int player) {
  switch (r) {
    case Record::System:
      return reinterpret_cast<char*>(&tuSystem::sys);
    case Record::Game:
      return reinterpret_cast<char*>(&game);
    case Record::Keys:
      return reinterpret_cast<char*>(&game.keys);
    case Record::Computer:
      return reinterpret_cast<char*>(&game.computer[player]);
    case Record::Player:
      break;
  }
  return reinterpret_cast<char*>(&game.player[player]);
}

size_t StoreSize(Store s) { return s == Store::Byte ? 1 : 4; }

int64_t Load(const FieldSpec& f, int player, int index) {
  const char* at = Base(f.record, player) + f.offset + StoreSize(f.store) * index;
  switch (f.store) {
    case Store::Int: {
      int32_t v;
      memcpy(&v, at, 4);
      return v;
    }
    case Store::Unsigned: {
      uint32_t v;
      memcpy(&v, at, 4);
      return v;
    }
    case Store::Byte:
      break;
  }
  return static_cast<uint8_t>(*at);
}

// The value has been checked against the field's range, so it fits the store.
void Save(const FieldSpec& f, int player, int index, int64_t v) {
  char* at = Base(f.record, player) + f.offset + StoreSize(f.store) * index;
  if (f.store == Store::Int) {
    int32_t x = static_cast<int32_t>(v);
    memcpy(at, &x, 4);
  } else if (f.store == Store::Unsigned) {
    uint32_t x = static_cast<uint32_t>(v);
    memcpy(at, &x, 4);
  } else {
    *at = static_cast<char>(static_cast<uint8_t>(v));
  }
}

int64_t Value(const json& v, const Range& r, const std::string& where) {
  if (!v.is_number_integer()) throw Fail{where + ": expected an integer"};
  bool fits;
  int64_t n = 0;
  if (v.is_number_unsigned()) {
    uint64_t u = v.get<uint64_t>();
    fits = r.max >= 0 && u <= static_cast<uint64_t>(r.max);
    if (fits) n = static_cast<int64_t>(u);
  } else {
    n = v.get<int64_t>();
    fits = true;
  }
  if (!fits || !r.Holds(n)) throw Fail{where + ": " + v.dump() + " is outside " + r.Text()};
  return n;
}

std::string Index(const std::string& name, int i) { return name + "[" + std::to_string(i) + "]"; }

void ApplyRow(const FieldSpec& f, int player, const json& v, int row, const std::string& where) {
  if (!v.is_array() || v.size() != static_cast<size_t>(f.cols))
    throw Fail{where + ": expected an array of " + std::to_string(f.cols) + " integers"};
  for (int c = 0; c < f.cols; ++c)
    Save(f, player, row * f.cols + c, Value(v[c], f.rows ? f.RangeOf(c) : f.range, Index(where, c)));
}

void ApplyField(const FieldSpec& f, int player, const json& v, const std::string& where) {
  if (f.cols == 0) {
    Save(f, player, 0, Value(v, f.range, where));
  } else if (f.rows == 0) {
    ApplyRow(f, player, v, 0, where);
  } else {
    if (!v.is_array() || v.size() != static_cast<size_t>(f.rows))
      throw Fail{where + ": expected " + std::to_string(f.rows) + " arrays of " + std::to_string(f.cols) +
                 " integers"};
    for (int r = 0; r < f.rows; ++r) ApplyRow(f, player, v[r], r, Index(where, r));
  }
}

ordered_json DumpField(const FieldSpec& f, int player) {
  auto row = [&](int r) {
    ordered_json a = ordered_json::array();
    for (int c = 0; c < f.cols; ++c) a.push_back(Load(f, player, r * f.cols + c));
    return a;
  };
  if (f.cols == 0) return Load(f, player, 0);
  if (f.rows == 0) return row(0);
  ordered_json g = ordered_json::array();
  for (int r = 0; r < f.rows; ++r) g.push_back(row(r));
  return g;
}

const FieldSpec* Find(std::span<const FieldSpec> table, const std::string& name) {
  for (const FieldSpec& f : table)
    if (name == f.name) return &f;
  return nullptr;
}

// `field`: 17 strings for lines 0..16, one character per live slot; walls as a started game has them.
void Field(const json& v, PlayerState& p, const std::string& name) {
  if (!v.is_array() || v.size() != 17) throw Fail{name + ": expected 17 strings (lines 0 to 16)"};
  int cells[kSlots][kLines];
  for (int s = 0; s < kSlots; ++s)
    for (int l = 0; l < kLines; ++l) cells[s][l] = IsLiveCell(s, l) ? kEmpty : kWall;
  for (int line = 0; line < 17; ++line) {
    std::string where = Index(name, line);
    if (!v[line].is_string()) throw Fail{where + ": expected a string"};
    std::string row = v[line].get<std::string>();
    size_t want = (line & 1) ? 4 : 5;
    if (row.size() != want) throw Fail{where + ": expected " + std::to_string(want) + " characters"};
    for (size_t i = 0; i < want; ++i) {
      char c = row[i];
      int code;
      if (c == '.')
        code = kEmpty;
      else if (c >= '1' && c <= '6')
        code = c - '0';
      else if (c == 'g')
        code = kGarbage;
      else
        throw Fail{where + ": unknown cell '" + std::string(1, c) + "'"};
      cells[i + 1][line] = code;
    }
  }
  memcpy(p.cells, cells, sizeof cells);
}

// The fields of one table present in the object `v`; `name` prefixes the messages.
void ApplyObject(std::span<const FieldSpec> table, int player, const json& v, const std::string& name) {
  if (!v.is_object()) throw Fail{name + ": expected an object"};
  for (auto it = v.begin(); it != v.end(); ++it) {
    std::string where = name + "." + it.key();
    if (table.data() == kPlayerFields && it.key() == "field") {
      Field(it.value(), game.player[player], where);
      continue;
    }
    const FieldSpec* f = Find(table, it.key());
    if (!f) throw Fail{where + ": unknown field"};
    ApplyField(*f, player, it.value(), where);
  }
}

ordered_json DumpObject(std::span<const FieldSpec> table, int player) {
  ordered_json j = ordered_json::object();
  for (const FieldSpec& f : table) j[f.name] = DumpField(f, player);
  return j;
}

}  // namespace

std::span<const FieldSpec> GameFields() { return kGameFields; }
std::span<const FieldSpec> KeyFields() { return kKeyFields; }
std::span<const FieldSpec> PlayerFields() { return kPlayerFields; }
std::span<const FieldSpec> ComputerFields() { return kComputerFields; }

bool ApplyState(const json& state, std::string* error) {
  try {
    if (!state.is_object()) throw Fail{"state: expected a JSON object"};
    for (auto it = state.begin(); it != state.end(); ++it) {
      const std::string& k = it.key();
      const json& v = it.value();
      if (k == "players") {
        if (!v.is_array() || v.size() > 2) throw Fail{"players: expected an array of up to two objects"};
        for (size_t i = 0; i < v.size(); ++i) {
          std::string name = Index("players", static_cast<int>(i));
          if (v[i].is_object() && v[i].contains("cells") && v[i].contains("field"))
            throw Fail{name + ": give either cells or field"};
          ApplyObject(kPlayerFields, static_cast<int>(i), v[i], name);
        }
      } else if (k == "computer") {
        if (!v.is_array() || v.size() > 2) throw Fail{"computer: expected an array of up to two objects"};
        for (size_t i = 0; i < v.size(); ++i)
          ApplyObject(kComputerFields, static_cast<int>(i), v[i], Index("computer", static_cast<int>(i)));
      } else if (k == "keys") {
        ApplyObject(kKeyFields, 0, v, k);
      } else if (const FieldSpec* f = Find(kGameFields, k)) {
        ApplyField(*f, 0, v, k);
      } else {
        throw Fail{k + ": unknown field"};
      }
    }
    return true;
  } catch (const Fail& f) {
    *error = "state: " + f.what;
    return false;
  }
}

ordered_json DumpGame() {
  ordered_json j = DumpObject(kGameFields, 0);
  j["keys"] = DumpObject(kKeyFields, 0);
  j["players"] = {DumpObject(kPlayerFields, 0), DumpObject(kPlayerFields, 1)};
  j["computer"] = {DumpObject(kComputerFields, 0), DumpObject(kComputerFields, 1)};
  return j;
}

}  // namespace sim
