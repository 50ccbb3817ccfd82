#pragma once
// Shared set-up for the game's tests: headless library, a fresh game state, distinct asset ids
// so that recorded draws and sounds can be told apart, and helpers to build fields.
#include <cstdlib>
#include <initializer_list>

#include <tu/tuDraw.h>

#include "game/game.h"
#include "game/input.h"
#include "game/model.h"
#include "game/output.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "headless.h"
#include "game/assets.h"

namespace game_support {

enum Ids {
  kBlock = 4, kField, kBackEasy, kBackNormal, kBackHard, kBackBlack, kTitle, kFont,
  kMusic0 = 20, kSliSet = 25, kSet, kErase, kButton = 30, kButtonK,
};

inline void UseTestAssets() {
  assets = GameAssets{};
  assets.blockSprite = kBlock;
  assets.fieldSprite = kField;
  for (int i = 0; i < 4; ++i) assets.backSprites[i] = kBackEasy + i;
  assets.titleSprite = kTitle;
  assets.fontSprite = kFont;
  for (int i = 0; i < 5; ++i) assets.music[i] = kMusic0 + i;
  assets.slideSetSound = kSliSet;
  assets.setSound = kSet;
  assets.eraseSound = kErase;
  assets.buttonSound = kButton;
  assets.buttonSound2 = kButtonK;
}

struct Cell {
  int slot, line, code;
};

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetHeadless(100000);
    ResetGame();
    // A step of the game's clock is a frame of the manual clock.
    game.clockMs = 16;
    SetPacedSteps(0);
    UseInput(StepInput{});
    ResetSettings();
    UseTestAssets();
    gameout::recorder.Start();
    srand(1);
  }
  void TearDown() override { gameout::recorder.on = false; }

  PlayerState& P(int pl = 0) { return game.player[pl]; }

  // One frame of `scene` (the menu, by default) on the manual clock, its draws and sounds recorded.
  void SceneFrame(void (*scene)() = MenuScene, uint32_t ms = 16) {
    tu::platform::AdvanceTick(ms);
    game.clockMs = static_cast<int>(ms);  // the frame's step is as long
    gameout::recorder.Start();
    scene();
  }
  // A key pressed for one frame and released over two: it reads pressed again only after a poll
  // saw it up.
  void TapIn(int vk, void (*scene)() = MenuScene) {
    Key(vk, true);
    SceneFrame(scene);
    Key(vk, false);
    SceneFrame(scene);
    SceneFrame(scene);
  }

  // An empty field with its walls, as a started game has it.
  void EmptyField(int pl = 0) {
    PlayerState& p = P(pl);
    for (auto& col : p.cells)
      for (int& c : col) c = 0;
    for (int line = 0; line < kLines; ++line) {
      p.cells[0][line] = p.cells[6][line] = kWall;
      if (line & 1) p.cells[5][line] = kWall;
    }
    for (int slot = 0; slot < kSlots; ++slot) p.cells[slot][17] = kWall;
  }
  void Put(std::initializer_list<Cell> cells, int pl = 0) {
    for (const Cell& c : cells) P(pl).cells[c.slot][c.line] = c.code;
  }
  // Fills every live cell: even lines with `even`, odd lines with `odd` (neighbours are always
  // on adjacent lines, so two different codes never touch themselves).
  void FillAlternating(int even, int odd, int pl = 0) {
    ForLiveCells(0, 16, [&](int s, int l) { P(pl).cells[s][l] = (l & 1) ? odd : even; });
  }
  int CountCode(int code, int pl = 0) {
    int n = 0;
    ForLiveCells(0, 16, [&](int s, int l) { n += P(pl).cells[s][l] == code; });
    return n;
  }
  int SoundCount(gameout::SoundKind kind, int id) {
    int n = 0;
    for (int i = 0; i < gameout::recorder.soundCount; ++i)
      n += gameout::recorder.sounds[i].kind == kind && gameout::recorder.sounds[i].id == id;
    return n;
  }
  // Index of the first recorded draw matching these values, or -1.
  int FindDraw(int x, int y, int id, int left, int top, int from = 0) {
    for (int i = from; i < gameout::recorder.drawCount; ++i) {
      const gameout::DrawCall& d = gameout::recorder.draws[i];
      if (d.x == x && d.y == y && d.id == id && d.left == left && d.top == top) return i;
    }
    return -1;
  }
  int CountDraws(int id, int left, int top) {
    int n = 0;
    for (int i = 0; i < gameout::recorder.drawCount; ++i) {
      const gameout::DrawCall& d = gameout::recorder.draws[i];
      n += d.id == id && d.left == left && d.top == top;
    }
    return n;
  }
  // The key as the keyboard has it, and the input of a rule called directly.
  void Key(int vk, bool down) {
    tu::platform::InjectKey(vk, down);
    UseInput(ReadInput());
  }
  uint32_t Now() { return game.clock; }
  void SetClockTo(uint32_t t) {
    tu::platform::SetTick(t);
    game.clock = t;
  }
  // One frame of `scene` whose step runs at game time `t`.
  void SceneAt(void (*scene)(), uint32_t t) {
    SetClockTo(t - static_cast<uint32_t>(game.clockMs));
    scene();
  }
  // A running opening wipe ends at its next step: its edges cross the screen in one.
  void SkipOpeningWipe() {
    if (tuDraw::draw.wipeState > 0) tuDraw::draw.wipeSpeed = 1e6f;
  }
  // Time passing between rules called directly: the game's clock and the shell's.
  void AdvanceClock(uint32_t ms) {
    tu::platform::AdvanceTick(ms);
    game.clock += ms;
  }
};

// Runs `run` as another machine would (the other side of an online game, or its players when the
// window watches): what it does to this process's live game state, scene and output is undone.
template <typename F>
void AsOtherMachine(F run) {
  GameSnapshot live;
  Snapshot(live);
  const int scene = tuSystem::sys.sceneNo;
  const gameout::Output output = gameout::output;
  gameout::output = {false, false};
  run();
  gameout::output = output;
  tuSystem::sys.sceneNo = scene;
  Restore(live);
}

}  // namespace game_support
