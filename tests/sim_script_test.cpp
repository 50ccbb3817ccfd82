#include <gtest/gtest.h>

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

TEST(SimScript, MalformedLinesAreErrorsNamingTheLine) {
  sim::Script s;
  std::string error;
  for (const char* bad : {"1 x press", "x 1 down", "1 q down", "1 x", "1 x down extra", "-1 x down",
                          "1 256 down", "1 0 down"}) {
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

}  // namespace
