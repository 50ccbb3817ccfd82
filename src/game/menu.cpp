// The title menu and the reset of both players' round state.
#include <cstdio>
#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/computer.h"
#include "game/game.h"
#include "game/model.h"
#include "game/options.h"
#include "game/output.h"
#include "game/settings.h"
#include "game/pages.h"
#include "game/playback.h"

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

// One player, versus, versus the computer, a row of the four small items (options, records,
// replays, how to play) and quit, centred on the title's panel. The small items' bars meet end
// to end: the row spans the panel.
constexpr int kModeItemCount = kModeQuit + 1;
constexpr MenuItem kModeItems[kModeItemCount] = {
    {142, 236, 0, 0, 356, 41, 356, 593},
    {204, 275, 0, 46, 232, 84, 232, 590},
    {160, 312, 0, 340, 320, 381, 320, 593},
    {102, 356, 0, 836, 96, 857, 96, 573},
    {198, 356, 0, 642, 104, 663, 104, 573},
    {302, 356, 110, 836, 214, 857, 104, 573},
    {406, 356, 130, 642, 262, 663, 132, 573},
    {175, 380, 0, 90, 289, 137, 289, 593},
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

// The title picture names the default menu keys under its panel. With other keys bound there,
// the line is covered and says the keys bound now, in the same colours.
void DrawKeyHint() {
  constexpr int kActs[3] = {kActUp, kActDown, kActTurnCw};
  Settings d = DefaultSettings();
  bool same = true;
  for (int pl = 0; pl < 2; ++pl)
    for (int a : kActs) same = same && BoundKey(pl, a) == d.keys[pl][a];
  if (same) return;
  char keys[2][96];
  for (int pl = 0; pl < 2; ++pl)
    snprintf(keys[pl], sizeof keys[pl], "%s %s %s", tuSystem::KeyName(BoundKey(pl, kActUp)),
             tuSystem::KeyName(BoundKey(pl, kActDown)), tuSystem::KeyName(BoundKey(pl, kActTurnCw)));
  char line[240];
  snprintf(line, sizeof line, "1P  %s      2P  %s      Esc  quit", keys[0], keys[1]);
  tuDraw::Rect(126, 443, 514, 470, 0x461923, 0x461923, 1);
  tuDraw::BeginTextFace("DejaVu Sans", 14, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(0xF0D2C8, 0, 1);
  tuDraw::TextRect(0, 448, 640, 470, line, tuDraw::kAlignCentre);
  tuDraw::EndText();
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

// The ONLINE item, drawn in the small row's style beside the quit item, when the program has
// online play. Its place in the cursor's order is between the small row and quit, so the
// other items keep their order and numbers.
constexpr MenuItem kOnlineItem = {470, 393, 0, 0, 0, 0, 84, 573};

bool OnlineItemShown() { return InstalledOnline().open != nullptr; }

// The next item from `mode` up (-1) or down (+1) the cursor's order.
int NextMode(int mode, int dir) {
  static constexpr int kOrder[] = {kModeOnePlayer, kModeVersus, kModeComputer, kModeOptions, kModeRecords,
                                   kModeReplays, kModeHowTo, kModeOnline, kModeQuit};
  constexpr int n = sizeof kOrder / sizeof kOrder[0];
  int at = 0;
  while (at < n && kOrder[at] != mode) ++at;
  do at = ((at < n ? at : 0) + dir + n) % n;
  while (kOrder[at] == kModeOnline && !OnlineItemShown());
  return kOrder[at];
}

void DrawOnlineItem(bool highlighted) {
  const MenuItem& it = kOnlineItem;
  if (highlighted) gameout::Draw(it.x, it.y, assets.fontSprite, 0, 552, it.hiRight, it.hiBottom);
  PageText(it.x, it.y + 1, it.x + it.hiRight, it.hiBottom - 552 + it.y, "ONLINE", 0xFFE6E0, tuDraw::kAlignCentre, 17);
}

void ModeLevel() {
  GameKeys& k = game.keys;
  DrawItems(kModeItems, kModeItemCount, game.gameMode);
  if (OnlineItemShown()) DrawOnlineItem(game.gameMode == kModeOnline);
  if (k.menuUp[0] == tu::kKeyStatePressed) {
    game.gameMode = NextMode(game.gameMode, -1);
    gameout::Play(assets.buttonSound);
  }
  if (k.menuDown[0] == tu::kKeyStatePressed) {
    game.gameMode = NextMode(game.gameMode, +1);
    gameout::Play(assets.buttonSound);
  }
  if (k.confirm[0] == tu::kKeyStatePressed) {
    game.menuLevel = 1;
    gameout::Play(assets.buttonSound2);
  }
  if (game.menuLevel == 1 && game.gameMode == kModeOnline) {
    game.menuLevel = 0;
    if (OnlineItemShown()) InstalledOnline().open();
  }
  if (game.menuLevel == 1 && game.gameMode == kModeOptions) {
    game.menuLevel = kMenuOptions;
    OpenOptions();
  }
  if (game.menuLevel == 1 && game.gameMode == kModeRecords) game.menuLevel = kMenuRecords;
  if (game.menuLevel == 1 && game.gameMode == kModeReplays) {
    game.menuLevel = kMenuReplays;
    OpenReplaysPage();
  }
  if (game.menuLevel == 1 && game.gameMode == kModeHowTo) game.menuLevel = kMenuHowTo;
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

void BackToMenu(int level) {
  // An opening wipe frozen by the pause would leave the menu clipped.
  while (tuDraw::draw.wipeState > 0 && tuDraw::StepWipe(1.0f)) {
  }
  game.menuLevel = level;
  game.resultStep = 0;
  for (int id : assets.music) gameout::Stop(id);
  ResetRound();
  game.player[0].phase = game.player[1].phase = kPhaseInit;
  game.levelCursor[0] = game.levelCursor[1] = 0;
  tuSystem::sys.sceneNo = 2;
  tuSystem::sys.prevSceneNo = 0;
}

void LeavePlayback() {
  StopPlayback();
  BackToMenu(kMenuReplays);
  // The list's keys take the keys as they are: the one that left is no press there.
  GameKeys& k = game.keys;
  for (int pl = 0; pl < 2; ++pl) {
    tuSystem::GetKey(BoundKey(pl, kActUp), &k.menuUp[pl]);
    tuSystem::GetKey(BoundKey(pl, kActDown), &k.menuDown[pl]);
    tuSystem::GetKey(BoundKey(pl, kActTurnCw), &k.confirm[pl]);
    tuSystem::GetKey(BoundKey(pl, kActTurnCcw), &k.turnCcw[pl]);
  }
}

void MenuScene() {
  // A game played back that left for the title (its player did) goes back to the list.
  if (PlaybackActive()) LeavePlayback();
  RunSteps(MenuStep);
}

void MenuStep() {
  AdvanceGameClock();
  // A fullscreen switch made in a game is written here, out of play.
  if (NoteFullScreen()) SaveSettings();
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
  if (game.menuLevel < kMenuOptions) {
    gameout::Draw(0, 0, assets.titleSprite, 0, 0, 640, 480);
    DrawKeyHint();
  }
  for (PlayerState& p : game.player) {
    p.shimmerTime = p.eraseTime = p.setTime = p.animTime = p.chainTime = 0;
    p.animCounter = 0;
    p.pieceSlot = 3;
    p.pieceLine = 0;
    p.chain = p.chainShown = p.maxChain = p.shimmerFrame = p.score = 0;
    p.dropTime = 0;
    p.fallTime = GameClock();
    p.lockDelay = 960;
    p.gameOver = 0;
    ResetSatellites(p);
  }
  // Keys held in the menu must not steer the first piece.
  GameKeys& k = game.keys;
  k.left[0] = k.right[0] = k.drop[0] = k.turnCw[0] = tu::kKeyStateUp;

  for (int pl = 0; pl < 2; ++pl) {
    tuSystem::GetKey(BoundKey(pl, kActUp), &k.menuUp[pl]);
    tuSystem::GetKey(BoundKey(pl, kActDown), &k.menuDown[pl]);
    tuSystem::GetKey(BoundKey(pl, kActTurnCw), &k.confirm[pl]);
  }

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
    case kMenuOptions:
      OptionsScreen();
      break;
    case kMenuRecords:
      RecordsPage();
      break;
    case kMenuHowTo:
      HowToPage();
      break;
    case kMenuReplays:
      ReplaysPage();
      break;
    default:
      break;
  }
  gameout::Present();
}
