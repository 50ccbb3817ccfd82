#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "sim/script.h"
#include "sim/state.h"
#include "game/model.h"
#include "headless.h"

namespace {

TEST(SimScript, EventsTapsCommentsAndOrder) {
  sim::Script s;
  std::string error;
  ASSERT_TRUE(sim::ParseScript("# menu\n\n3 x tap\n1 left down   # hold\n5 left up\n2 65 down\n", &s, &error))
      << error;
  ASSERT_EQ(s.events.size(), 5u);
  EXPECT_EQ(s.lastFrame, 5);
  EXPECT_EQ(s.events[0].frame, 1);
  EXPECT_EQ(s.events[0].vk, 37);
  EXPECT_TRUE(s.events[0].down);
  EXPECT_EQ(s.events[1].vk, 65);
  EXPECT_EQ(s.events[2].frame, 3);
  EXPECT_EQ(s.events[2].vk, 'X');
  EXPECT_TRUE(s.events[2].down);
  EXPECT_EQ(s.events[3].frame, 4);  // the tap's release, one frame later
  EXPECT_FALSE(s.events[3].down);
}

// Every key by the name the settings file uses, in any case, names of two words included.
TEST(SimScript, KeysByTheirNamesInAnyCase) {
  sim::Script s;
  std::string error;
  ASSERT_TRUE(sim::ParseScript("1 Q down\n2 keypad 4 tap\n3 Left Shift up\n", &s, &error)) << error;
  ASSERT_EQ(s.events.size(), 4u);
  EXPECT_EQ(s.events[0].vk, 'Q');
  EXPECT_EQ(s.events[1].vk, tu::kKeyPad4);
  EXPECT_EQ(s.events[2].vk, tu::kKeyPad4);  // the tap's release
  EXPECT_EQ(s.events[3].vk, tu::kKeyLeftShift);
}

TEST(SimScript, MalformedLinesAreErrorsNamingTheLine) {
  sim::Script s;
  std::string error;
  for (const char* bad : {"1 x press", "x 1 down", "1 nokey down", "1 x", "1 x down extra", "-1 x down",
                          "1 256 down", "1 0 down", "1 keypad down"}) {
    std::string text = std::string("0 x down\n") + bad + "\n";
    EXPECT_FALSE(sim::ParseScript(text, &s, &error)) << bad;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

class SimState : public testing_support::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ResetGame();
  }
  bool Apply(const char* text, std::string* error) {
    return sim::ApplyState(nlohmann::json::parse(text), error);
  }
};

TEST_F(SimState, FieldStringsFillLiveCellsAndWalls) {
  std::string error;
  std::string field = "[";
  for (int line = 0; line < 17; ++line) {
    if (line) field += ",";
    field += line == 16 ? "\"12g.3\"" : line == 15 ? "\"...6\"" : (line & 1) ? "\"....\"" : "\".....\"";
  }
  field += "]";
  ASSERT_TRUE(Apply((R"({"sceneNo": 1, "gameMode": 1, "players": [{"phase": 0, "score": 40, "field": )" +
                     field + "}]}").c_str(),
                    &error))
      << error;
  const PlayerState& p = game.player[0];
  EXPECT_EQ(tuSystem::sys.sceneNo, 1);
  EXPECT_EQ(game.gameMode, 1);
  EXPECT_EQ(p.score, 40);
  EXPECT_EQ(p.cells[1][16], 1);
  EXPECT_EQ(p.cells[2][16], 2);
  EXPECT_EQ(p.cells[3][16], kGarbage);
  EXPECT_EQ(p.cells[4][16], kEmpty);
  EXPECT_EQ(p.cells[5][16], 3);
  EXPECT_EQ(p.cells[4][15], kErasing);
  EXPECT_EQ(p.cells[0][5], kWall);
  EXPECT_EQ(p.cells[6][5], kWall);
  EXPECT_EQ(p.cells[5][5], kWall);  // odd lines have four live slots
  EXPECT_EQ(p.cells[3][17], kWall);
}

TEST_F(SimState, UnknownFieldsAndWrongShapesNameTheField) {
  std::string error;
  EXPECT_FALSE(Apply(R"({"sceneNumber": 1})", &error));
  EXPECT_NE(error.find("sceneNumber"), std::string::npos);
  EXPECT_FALSE(Apply(R"({"players": [{"scores": 1}]})", &error));
  EXPECT_NE(error.find("players[0].scores"), std::string::npos);
  EXPECT_FALSE(Apply(R"({"players": [{"satellite": [[1, 0]]}]})", &error));
  EXPECT_NE(error.find("satellite"), std::string::npos);
  EXPECT_FALSE(Apply(R"({"players": [{"cells": [[0]]}]})", &error));
  EXPECT_NE(error.find("cells"), std::string::npos);
  EXPECT_FALSE(Apply(R"({"players": [{"field": ["....."]}]})", &error));
  EXPECT_FALSE(Apply(R"({"players": [{}, {}, {}]})", &error));
  EXPECT_FALSE(Apply(R"({"difficulty": 2})", &error));
  EXPECT_FALSE(Apply(R"({"players": [{"score": "10"}]})", &error));
}

TEST_F(SimState, DumpRoundTripsThroughApply) {
  game.player[1].score = 1234;
  game.player[1].satellite[1][0] = 1;
  game.player[1].cells[2][9] = 4;
  game.player[0].fallTime = 4000000000u;
  nlohmann::json dumped = nlohmann::json::parse(sim::DumpGame().dump());
  ResetGame();
  nlohmann::json players = dumped["players"];
  std::string error;
  ASSERT_TRUE(sim::ApplyState({{"players", players}}, &error)) << error;
  EXPECT_EQ(game.player[1].score, 1234);
  EXPECT_EQ(game.player[1].satellite[1][0], 1);
  EXPECT_EQ(game.player[1].cells[2][9], 4);
  EXPECT_EQ(game.player[0].fallTime, 4000000000u);
}

// Counts the members of an aggregate: the most braced initialisers it takes, one per member.
struct AnyValue {
  template <class T>
  operator T() const;
};
template <size_t>
using AnyOf = AnyValue;
template <class T, size_t... I>
constexpr bool TakesInitialisers(std::index_sequence<I...>) {
  return requires { T{{AnyOf<I>{}}...}; };
}
template <class T, size_t N = 0>
constexpr size_t MemberCount() {
  if constexpr (TakesInitialisers<T>(std::make_index_sequence<N + 1>{}))
    return MemberCount<T, N + 1>();
  else
    return N;
}

// Each table names every member of its record once, so no member of the model is left out.
TEST(SimStateTable, EveryMemberOfTheModelHasOneField) {
  auto members = [](std::span<const sim::FieldSpec> table, sim::Record record) {
    std::set<size_t> offsets;
    size_t fields = 0;
    for (const sim::FieldSpec& f : table)
      if (f.record == record) {
        offsets.insert(f.offset);
        ++fields;
      }
    EXPECT_EQ(offsets.size(), fields) << "two fields name one member";
    return offsets.size();
  };
  EXPECT_EQ(members(sim::PlayerFields(), sim::Record::Player), MemberCount<PlayerState>());
  EXPECT_EQ(members(sim::KeyFields(), sim::Record::Keys), MemberCount<GameKeys>());
  EXPECT_EQ(members(sim::ComputerFields(), sim::Record::Computer), MemberCount<ComputerState>());
  // The players, the keys and the computers have tables of their own.
  EXPECT_EQ(members(sim::GameFields(), sim::Record::Game) + 3, MemberCount<GameState>());
}

// Every field set to the ends of its range comes back from the dump under its name, and one
// step past either end is refused, naming the field.
TEST_F(SimState, EveryFieldTakesItsRangeAndNothingBeyond) {
  using nlohmann::json;
  auto fill = [](const sim::FieldSpec& f, bool top, int64_t nudge) {
    auto one = [&](int col) {
      const sim::Range& r = f.RangeOf(col);
      return json((top ? r.max : r.min) + nudge);
    };
    if (f.cols == 0) return one(0);
    json row = json::array();
    for (int c = 0; c < f.cols; ++c) row.push_back(one(f.rows ? c : 0));
    if (f.rows == 0) return row;
    return json(std::vector<json>(f.rows, row));
  };
  auto state = [&](bool top, const sim::FieldSpec* only, int64_t nudge) {
    json s = json::object(), keys = json::object(), player = json::object(), computer = json::object();
    for (const sim::FieldSpec& f : sim::GameFields()) s[f.name] = fill(f, top, &f == only ? nudge : 0);
    for (const sim::FieldSpec& f : sim::KeyFields()) keys[f.name] = fill(f, top, &f == only ? nudge : 0);
    for (const sim::FieldSpec& f : sim::PlayerFields()) player[f.name] = fill(f, top, &f == only ? nudge : 0);
    for (const sim::FieldSpec& f : sim::ComputerFields()) computer[f.name] = fill(f, top, &f == only ? nudge : 0);
    s["keys"] = keys;
    s["players"] = {player, player};
    s["computer"] = {computer, computer};
    return s;
  };
  std::string error;
  for (bool top : {false, true}) {
    json s = state(top, nullptr, 0);
    ASSERT_TRUE(sim::ApplyState(s, &error)) << error;
    EXPECT_EQ(json::parse(sim::DumpGame().dump()), s) << (top ? "max" : "min");
  }
  for (auto table : {sim::GameFields(), sim::KeyFields(), sim::PlayerFields(), sim::ComputerFields()})
    for (const sim::FieldSpec& f : table)
      for (bool top : {false, true}) {
        EXPECT_FALSE(sim::ApplyState(state(top, &f, top ? 1 : -1), &error)) << f.name;
        EXPECT_NE(error.find(std::string(f.name) + (f.cols ? "[" : ":")), std::string::npos) << error;
      }
  // Values inside a range that the game never holds: phase 10, block code 8, a satellite on
  // its pivot's line, a chain count on display after a single step; and no fractions.
  json player;
  player["cells"] = std::vector<std::vector<int>>(kSlots, std::vector<int>(kLines, 0));
  player["cells"][2][3] = 8;
  EXPECT_FALSE(sim::ApplyState({{"players", json::array({player})}}, &error));
  EXPECT_NE(error.find("players[0].cells[2][3]: 8 is outside 0..9 except 8"), std::string::npos) << error;
  struct Bad {
    const char* state;
    const char* name;
  } bad[] = {{R"({"pausedPhase": [10, 0]})", "pausedPhase[0]"},
             {R"({"players": [{"phase": 10}]})", "phase"},
             {R"({"players": [{"satellite": [[0, 0], [0, 1]]}]})", "satellite[0][1]"},
             {R"({"players": [{"chainShown": 1}]})", "chainShown"},
             {R"({"players": [{"score": 1.5}]})", "score"}};
  for (const Bad& b : bad) {
    EXPECT_FALSE(Apply(b.state, &error)) << b.state;
    EXPECT_NE(error.find(b.name), std::string::npos) << error;
  }
}

}  // namespace
