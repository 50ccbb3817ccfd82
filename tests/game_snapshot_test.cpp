// The whole game saved, put back and compared: a restored game runs on as it did, and the
// checksum sees every field.
#include <functional>

#include <tu/tuDraw.h>

#include "game/snapshot.h"
#include "game_support.h"

using namespace game_support;

namespace {

class Snapshots : public GameTest {
 protected:
  // A versus game of both players pressing keys by a fixed pattern of the frame number.
  void SetUp() override {
    GameTest::SetUp();
    SeedRandom(game.random, 99);
    tuSystem::sys.sceneNo = 1;
    game.gameMode = kModeVersus;
    game.difficulty[0] = 2;
    game.difficulty[1] = 3;
  }
  void Frame(int f) {
    static constexpr int kKeys[] = {vk::Left, vk::Right, vk::Down, vk::X, vk::Z, vk::A, vk::D, vk::S, vk::J, vk::H};
    for (int k = 0; k < 10; ++k) Key(kKeys[k], (f * 7 + k * 13) % 23 < 3);
    SkipOpeningWipe();
    tu::platform::AdvanceTick(16);
    GameScene();
  }
};

TEST_F(Snapshots, ARestoredGameRunsOnAsBeforeWithOrWithoutOutput) {
  for (int f = 0; f < 300; ++f) Frame(f);
  GameSnapshot saved;
  Snapshot(saved);
  uint64_t sums[200];
  for (int f = 300; f < 500; ++f) {
    Frame(f);
    sums[f - 300] = Checksum();
  }
  ASSERT_NE(sums[0], sums[199]);
  ASSERT_GT(P(0).score + P(1).score + CountCode(kEmpty) + CountCode(kEmpty, 1), 0);
  for (bool output : {true, false}) {
    Restore(saved);
    EXPECT_EQ(Checksum(), Checksum(saved));
    gameout::output = {output, output};
    for (int f = 300; f < 500; ++f) {
      Frame(f);
      ASSERT_EQ(Checksum(), sums[f - 300]) << "frame " << f << (output ? "" : ", drawing and sound off");
    }
    gameout::output = {true, true};
  }
}

TEST_F(Snapshots, EveryFieldCountsInTheChecksum) {
  for (int f = 0; f < 120; ++f) Frame(f);
  GameSnapshot base;
  Snapshot(base);
  const uint64_t sum = Checksum(base);
  const std::pair<const char*, std::function<void(GameSnapshot&)>> changes[] = {
      {"a cell", [](GameSnapshot& s) { s.game.player[1].cells[3][9] ^= 1; }},
      {"an offset", [](GameSnapshot& s) { s.game.player[0].offsetY[5][16] += 1; }},
      {"an erase flag", [](GameSnapshot& s) { s.game.player[0].eraseFlag[kEraseFlags - 1] ^= 1; }},
      {"the last byte flag", [](GameSnapshot& s) { s.game.player[1].gameOver ^= 1; }},
      {"a timer", [](GameSnapshot& s) { s.game.player[0].shimmerTime += 1; }},
      {"the last player field", [](GameSnapshot& s) { s.game.player[1].garbageOut += 1; }},
      {"a group mark", [](GameSnapshot& s) { s.game.groupMarks[6][17] += 1; }},
      {"a key state", [](GameSnapshot& s) { s.game.keys.pause ^= 1; }},
      {"the computer's generator", [](GameSnapshot& s) { s.game.computer[1].rng ^= 1; }},
      {"the colour generator's high half", [](GameSnapshot& s) { s.game.random.state[1] ^= 1u << 8; }},
      {"a pause menu key", [](GameSnapshot& s) { s.game.keys.pauseConfirm[1] ^= 1; }},
      {"the interlude", [](GameSnapshot& s) { s.interlude.offset += 1; }},
      {"the clock", [](GameSnapshot& s) { s.tick += 1; }},
      {"the scene", [](GameSnapshot& s) { s.sceneNo += 1; }},
      {"the frame time", [](GameSnapshot& s) { s.frameSeconds += 0.001f; }},
      {"a held key of the computer", [](GameSnapshot& s) { s.drivenKeys[255] ^= 2; }},
      {"the wipe", [](GameSnapshot& s) { s.wipeSaved.bottom += 1; }},
      {"the fade", [](GameSnapshot& s) { s.scrollViewOn ^= 1; }},
  };
  for (const auto& [what, change] : changes) {
    GameSnapshot s = base;
    change(s);
    EXPECT_NE(Checksum(s), sum) << what;
    // Put back and taken again, the changed field survives.
    Restore(s);
    EXPECT_EQ(Checksum(), Checksum(s)) << what;
  }
}

TEST_F(Snapshots, DrawingChangesNothing) {
  EmptyField();
  EmptyField(1);
  FillAlternating(1, 2);
  FillAlternating(3, 4, 1);
  for (PlayerState& p : game.player) {
    p.shimmerTime = Now() - 5000;  // a shimmer row is due
    p.chainShown = 12;
    p.chainTime = Now();
    p.garbageIn = 13;
  }
  P(0).phase = P(1).phase = kPhasePaused;
  uint64_t before = Checksum();
  for (int pl = 0; pl < 2; ++pl) DrawPlayer(pl, Now());
  DrawLabels();
  EXPECT_GT(gameout::recorder.drawCount, 2 * 77);
  EXPECT_EQ(Checksum(), before);
  // The step moves the shimmer on.
  AdvanceShimmer(0, Now());
  EXPECT_NE(Checksum(), before);
}

}  // namespace
