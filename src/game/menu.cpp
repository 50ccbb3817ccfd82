// The title menu and the reset of both players' round state.
#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/computer.h"
#include "game/game.h"
#include "game/model.h"
#include "game/output.h"

namespace {

void ResetSatellites(PlayerState& p) {
  p.satellite[0][0] = -1;
  p.satellite[0][1] = 1;
  p.satellite[1][0] = 0;
  p.satellite[1][1] = 1;
}

void DrawPieceColors(PlayerState& p) {
  for (int k = 0; k < 3; ++k) p.pieceColor[k] = RandomColor(p.colorCount);
}

// Both players' coming pieces, interleaved, all with player 1's colour count.
void DrawNextColors() {
  PlayerState& p1 = game.player[0];
  PlayerState& p2 = game.player[1];
  int c = p1.colorCount;
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 3; ++j) {
      p1.next[3 * k + j] = RandomColor(c);
      p2.next[3 * k + j] = RandomColor(c);
    }
}

void ClearLiveCells() {
  ForLiveCells(16, 0, [](int slot, int line) {
    game.groupMarks[slot][line] = 0;
    for (PlayerState& p : game.player) {
      p.cells[slot][line] = 0;
      p.tileFrame[slot][line] = 0;
    }
  });
}

void ResetCounters(PlayerState& p) {
  p.gameOver = 0;
  p.garbageFalling = 0;
  p.garbageOut = 0;
  p.garbageIn = 0;
  p.erasedCount = 0;
}

struct MenuItem {
  int x, y;
  int left, top, right, bottom;  // item picture
  int hiRight, hiBottom;         // highlight picture: (0, 552, hiRight, hiBottom)
};

// One player, versus, versus the computer and quit, centred on the title's panel.
constexpr MenuItem kModeItems[4] = {
    {142, 240, 0, 0, 356, 41, 356, 593},
    {204, 287, 0, 46, 232, 84, 232, 590},
    {160, 332, 0, 340, 320, 381, 320, 593},
    {175, 378, 0, 90, 289, 137, 289, 593},
};
constexpr MenuItem kLevelItems[4] = {
    {255, 234, 0, 143, 133, 181, 133, 590},
    {209, 284, 0, 192, 217, 230, 217, 590},
    {251, 334, 0, 242, 144, 280, 144, 590},
    {253, 384, 159, 416, 298, 457, 139, 593},
};

// The highlight under the cursor first (none for a cursor past the items), then every item.
void DrawItems(const MenuItem* items, int count, int cursor) {
  int font = assets.fontSprite;
  if (cursor >= 0 && cursor < count) {
    const MenuItem& it = items[cursor];
    gameout::Draw(it.x, it.y, font, 0, 552, it.hiRight, it.hiBottom);
  }
  for (int i = 0; i < count; ++i) {
    const MenuItem& it = items[i];
    gameout::Draw(it.x, it.y, font, it.left, it.top, it.right, it.bottom);
  }
}

// `computer`: the strength of the computer playing player 2's field, -1 for none.
void StartGame(int computer) {
  game.computerLevel[0] = -1;
  game.computerLevel[1] = computer;
  game.menuLevel = 0;
  game.levelCursor[0] = game.levelCursor[1] = 0;
  StartOpeningWipe(1500.0f);
  tuSystem::sys.sceneNo = 1;
  tuSystem::sys.prevSceneNo = 0;
}

void ModeLevel() {
  GameKeys& k = game.keys;
  DrawItems(kModeItems, 4, game.gameMode);
  if (k.menuUp[0] == tu::kKeyStatePressed) {
    if (--game.gameMode < 0) game.gameMode = kModeQuit;
    gameout::Play(assets.buttonSound);
  }
  if (k.menuDown[0] == tu::kKeyStatePressed) {
    if (++game.gameMode > kModeQuit) game.gameMode = 0;
    gameout::Play(assets.buttonSound);
  }
  if (k.confirm[0] == tu::kKeyStatePressed) {
    game.menuLevel = 1;
    gameout::Play(assets.buttonSound2);
  }
  if (game.menuLevel == 1 && game.gameMode == kModeQuit) tuSystem::Exit();
}

// Moves a difficulty cursor over the four items and the hidden fifth position.
void MoveLevelCursor(int& cursor, int up, int down) {
  if (up == tu::kKeyStatePressed) {
    if (--cursor < 0) cursor = 4;
    gameout::Play(assets.buttonSound);
  }
  if (down == tu::kKeyStatePressed) {
    if (++cursor > 4) cursor = 0;
    gameout::Play(assets.buttonSound);
  }
}

void PlayerOneLevel() {
  GameKeys& k = game.keys;
  int& cursor = game.levelCursor[0];
  gameout::Draw(123, 234, assets.fontSprite, 0, 416, 61, 457);
  DrawItems(kLevelItems, 4, cursor);
  MoveLevelCursor(cursor, k.menuUp[0], k.menuDown[0]);
  if (k.confirm[0] == tu::kKeyStatePressed) {
    game.menuLevel = 2;
    gameout::Play(assets.buttonSound2);
  }
  if (game.menuLevel == 2) {
    if (cursor == 3)
      game.menuLevel = 0;
    else if (cursor == 4)
      cursor = 3;
    game.difficulty[0] = cursor;
    if (game.gameMode == kModeOnePlayer && game.menuLevel != 0) StartGame(-1);
  }
}

// Player 2's list in the versus game; in the game against the computer, the computer's strength,
// chosen with player 1's keys.
void SecondLevel() {
  GameKeys& k = game.keys;
  int& cursor = game.levelCursor[1];
  bool computer = game.gameMode == kModeComputer;
  int keys = computer ? 0 : 1;
  if (computer)
    gameout::Draw(123, 234, assets.fontSprite, 190, 597, 274, 638);
  else
    gameout::Draw(123, 234, assets.fontSprite, 78, 416, 142, 457);
  DrawItems(kLevelItems, 4, cursor);
  MoveLevelCursor(cursor, k.menuUp[keys], k.menuDown[keys]);
  if (k.confirm[keys] == tu::kKeyStatePressed) {
    game.menuLevel = 3;
    gameout::Play(assets.buttonSound2);
  }
  if (game.menuLevel == 3) {
    if (cursor == 3) {
      game.menuLevel = 1;
    } else {
      if (cursor == 4) cursor = 3;
      // The computer plays its field at player 1's difficulty: the list sets its skill alone.
      game.difficulty[1] = computer ? game.difficulty[0] : cursor;
      StartGame(computer ? cursor : -1);
    }
    game.levelCursor[1] = 0;
  }
}

}  // namespace

int ResetRound() {
  PlayerState& p1 = game.player[0];
  PlayerState& p2 = game.player[1];
  for (PlayerState& p : game.player) {
    ResetSatellites(p);
    p.pieceColor[1] = p.pieceColor[2] = 0;
    for (int& n : p.next) n = 0;
  }
  DrawPieceColors(p1);
  DrawNextColors();
  ClearLiveCells();
  for (PlayerState& p : game.player) {
    p.pieceLine = 0;
    p.pieceSlot = 3;
    p.score = 0;
  }
  DrawPieceColors(p1);
  DrawPieceColors(p2);
  for (PlayerState& p : game.player) ResetCounters(p);
  return 0;
}

void MenuScene() {
  // A computer's hold on player 2's keys ends with its game: the menu reads the keyboard.
  ReleaseComputerKeys();
  for (int id : assets.music) gameout::Stop(id);
  ResetRound();
  DrawPieceColors(game.player[0]);
  DrawPieceColors(game.player[1]);
  DrawNextColors();
  ClearLiveCells();
  for (PlayerState& p : game.player) {
    p.pieceLine = 0;
    p.pieceSlot = 3;
    p.score = 0;
    ResetCounters(p);
  }
  gameout::Clear();
  gameout::Draw(0, 0, assets.titleSprite, 0, 0, 640, 480);
  for (PlayerState& p : game.player) {
    p.shimmerTime = p.eraseTime = p.setTime = p.animTime = p.chainTime = 0;
    p.animCounter = 0;
    p.pieceSlot = 3;
    p.pieceLine = 0;
    p.chain = p.chainShown = p.maxChain = p.shimmerFrame = p.score = 0;
    p.dropTime = 0;
    p.fallTime = tuSystem::Tick();
    p.lockDelay = 960;
    p.gameOver = 0;
    ResetSatellites(p);
  }
  // Keys held in the menu must not steer the first piece.
  GameKeys& k = game.keys;
  k.left[0] = k.right[0] = k.drop[0] = k.turnCw[0] = tu::kKeyStateUp;

  tuSystem::GetKey(vk::Up, &k.menuUp[0]);
  tuSystem::GetKey(vk::Down, &k.menuDown[0]);
  tuSystem::GetKey(vk::W, &k.menuUp[1]);
  tuSystem::GetKey(vk::S, &k.menuDown[1]);
  tuSystem::GetKey(vk::X, &k.confirm[0]);
  tuSystem::GetKey(vk::J, &k.confirm[1]);

  switch (game.menuLevel) {
    case 0:
      ModeLevel();
      break;
    case 1:
      PlayerOneLevel();
      break;
    case 2:
      SecondLevel();
      break;
    default:
      break;
  }
  gameout::Present();
}
