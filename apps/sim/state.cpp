#include "state.h"

#include <functional>
#include <map>

#include "game/model.h"
#include "shell/tuSystem.h"

namespace sim {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

struct Fail {
  std::string what;
};

int Int(const json& v, const std::string& name) {
  if (!v.is_number_integer()) throw Fail{name + ": expected an integer"};
  long long n = v.get<long long>();
  if (n < INT32_MIN || n > UINT32_MAX) throw Fail{name + ": out of range"};
  return static_cast<int>(static_cast<int64_t>(n));
}

template <size_t N>
void IntArray(const json& v, int (&out)[N], const std::string& name) {
  if (!v.is_array() || v.size() != N) throw Fail{name + ": expected an array of " + std::to_string(N) + " integers"};
  for (size_t i = 0; i < N; ++i) out[i] = Int(v[i], name + "[" + std::to_string(i) + "]");
}

void Grid(const json& v, int (&out)[kSlots][kLines], const std::string& name) {
  if (!v.is_array() || v.size() != kSlots)
    throw Fail{name + ": expected " + std::to_string(kSlots) + " arrays of " + std::to_string(kLines) + " integers"};
  for (int s = 0; s < kSlots; ++s) IntArray(v[s], out[s], name + "[" + std::to_string(s) + "]");
}

// `field`: 17 strings for lines 0..16, one character per live slot; walls as a started game has them.
void Field(const json& v, PlayerState& p, const std::string& name) {
  if (!v.is_array() || v.size() != 17) throw Fail{name + ": expected 17 strings (lines 0 to 16)"};
  int cells[kSlots][kLines];
  for (int s = 0; s < kSlots; ++s)
    for (int l = 0; l < kLines; ++l) cells[s][l] = IsLiveCell(s, l) ? kEmpty : kWall;
  for (int line = 0; line < 17; ++line) {
    std::string where = name + "[" + std::to_string(line) + "]";
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

template <class T>
std::function<void(const json&, PlayerState&, const std::string&)> Scalar(T PlayerState::*m) {
  return [m](const json& v, PlayerState& p, const std::string& n) { p.*m = static_cast<T>(Int(v, n)); };
}

using PlayerSetter = std::function<void(const json&, PlayerState&, const std::string&)>;

const std::map<std::string, PlayerSetter>& PlayerFields() {
  static const std::map<std::string, PlayerSetter> fields = {
      {"phase", Scalar(&PlayerState::phase)},
      {"cells", [](const json& v, PlayerState& p, const std::string& n) { Grid(v, p.cells, n); }},
      {"field", Field},
      {"tileFrame", [](const json& v, PlayerState& p, const std::string& n) { Grid(v, p.tileFrame, n); }},
      {"pieceSlot", Scalar(&PlayerState::pieceSlot)},
      {"pieceLine", Scalar(&PlayerState::pieceLine)},
      {"pieceColor", [](const json& v, PlayerState& p, const std::string& n) { IntArray(v, p.pieceColor, n); }},
      {"satellite",
       [](const json& v, PlayerState& p, const std::string& n) {
         if (!v.is_array() || v.size() != 2) throw Fail{n + ": expected [[ds, dl], [ds, dl]]"};
         for (int i = 0; i < 2; ++i) IntArray(v[i], p.satellite[i], n + "[" + std::to_string(i) + "]");
       }},
      {"next", [](const json& v, PlayerState& p, const std::string& n) { IntArray(v, p.next, n); }},
      {"colorCount", Scalar(&PlayerState::colorCount)},
      {"fallInterval", Scalar(&PlayerState::fallInterval)},
      {"lockDelay", Scalar(&PlayerState::lockDelay)},
      {"score", Scalar(&PlayerState::score)},
      {"chain", Scalar(&PlayerState::chain)},
      {"maxChain", Scalar(&PlayerState::maxChain)},
      {"garbageIn", Scalar(&PlayerState::garbageIn)},
      {"garbageOut", Scalar(&PlayerState::garbageOut)},
      {"garbageFalling", Scalar(&PlayerState::garbageFalling)},
      {"gameOver", Scalar(&PlayerState::gameOver)},
      {"fallTime", Scalar(&PlayerState::fallTime)},
      {"dropTime", Scalar(&PlayerState::dropTime)},
      {"repeatTime", Scalar(&PlayerState::repeatTime)},
      {"setTime", Scalar(&PlayerState::setTime)},
      {"eraseTime", Scalar(&PlayerState::eraseTime)},
      {"animTime", Scalar(&PlayerState::animTime)},
      {"shimmerTime", Scalar(&PlayerState::shimmerTime)},
      {"chainTime", Scalar(&PlayerState::chainTime)},
  };
  return fields;
}

ordered_json GridJson(const int (&g)[kSlots][kLines]) {
  ordered_json a = ordered_json::array();
  for (int s = 0; s < kSlots; ++s) a.push_back(std::vector<int>(g[s], g[s] + kLines));
  return a;
}

ordered_json PlayerJson(const PlayerState& p) {
  ordered_json j;
  j["phase"] = p.phase;
  j["cells"] = GridJson(p.cells);
  j["tileFrame"] = GridJson(p.tileFrame);
  j["pieceSlot"] = p.pieceSlot;
  j["pieceLine"] = p.pieceLine;
  j["pieceColor"] = std::vector<int>(p.pieceColor, p.pieceColor + 3);
  j["satellite"] = {{p.satellite[0][0], p.satellite[0][1]}, {p.satellite[1][0], p.satellite[1][1]}};
  j["next"] = std::vector<int>(p.next, p.next + 6);
  j["colorCount"] = p.colorCount;
  j["fallInterval"] = p.fallInterval;
  j["lockDelay"] = p.lockDelay;
  j["score"] = p.score;
  j["chain"] = p.chain;
  j["maxChain"] = p.maxChain;
  j["garbageIn"] = p.garbageIn;
  j["garbageOut"] = p.garbageOut;
  j["garbageFalling"] = p.garbageFalling;
  j["gameOver"] = p.gameOver;
  j["fallTime"] = p.fallTime;
  j["dropTime"] = p.dropTime;
  j["repeatTime"] = p.repeatTime;
  j["setTime"] = p.setTime;
  j["eraseTime"] = p.eraseTime;
  j["animTime"] = p.animTime;
  j["shimmerTime"] = p.shimmerTime;
  j["chainTime"] = p.chainTime;
  return j;
}

void ApplyPlayer(const json& v, PlayerState& p, const std::string& name) {
  if (!v.is_object()) throw Fail{name + ": expected an object"};
  if (v.contains("cells") && v.contains("field")) throw Fail{name + ": give either cells or field"};
  for (auto it = v.begin(); it != v.end(); ++it) {
    auto f = PlayerFields().find(it.key());
    std::string where = name + "." + it.key();
    if (f == PlayerFields().end()) throw Fail{where + ": unknown field"};
    f->second(it.value(), p, where);
  }
}

}  // namespace

bool ApplyState(const json& state, std::string* error) {
  try {
    if (!state.is_object()) throw Fail{"state: expected a JSON object"};
    for (auto it = state.begin(); it != state.end(); ++it) {
      const std::string& k = it.key();
      const json& v = it.value();
      if (k == "sceneNo") tuSystem::sys.sceneNo = Int(v, k);
      else if (k == "prevSceneNo") tuSystem::sys.prevSceneNo = Int(v, k);
      else if (k == "gameMode") game.gameMode = Int(v, k);
      else if (k == "menuLevel") game.menuLevel = Int(v, k);
      else if (k == "levelCursor") IntArray(v, game.levelCursor, k);
      else if (k == "difficulty") IntArray(v, game.difficulty, k);
      else if (k == "resultStep") game.resultStep = Int(v, k);
      else if (k == "players") {
        if (!v.is_array() || v.size() > 2) throw Fail{"players: expected an array of up to two objects"};
        for (size_t i = 0; i < v.size(); ++i)
          ApplyPlayer(v[i], game.player[i], "players[" + std::to_string(i) + "]");
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
  ordered_json j;
  j["sceneNo"] = tuSystem::sys.sceneNo;
  j["gameMode"] = game.gameMode;
  j["menuLevel"] = game.menuLevel;
  j["levelCursor"] = {game.levelCursor[0], game.levelCursor[1]};
  j["difficulty"] = {game.difficulty[0], game.difficulty[1]};
  j["resultStep"] = game.resultStep;
  j["players"] = {PlayerJson(game.player[0]), PlayerJson(game.player[1])};
  return j;
}

}  // namespace sim
