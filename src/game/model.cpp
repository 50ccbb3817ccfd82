#include "game/model.h"

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

GameState game;

const DifficultyInfo kDifficulty[4] = {{4, 1200}, {4, 900}, {5, 600}, {5, 300}};
const int kGarbageSlots[5] = {3, 2, 4, 1, 5};

void ResetGame() {
  game = GameState{};
  // The game's three stopwatches start at the tick the program was loaded.
  game.player[0].fallTime = tuSystem::loadStamps[0];
  game.player[1].fallTime = tuSystem::loadStamps[1];
  game.resultTime = tuSystem::loadStamps[2];
  // The game's clock starts where the shell's stands (a tool's run sets that one).
  game.clock = tuSystem::Tick();
}

int RandomColor(int colorCount) { return DrawColor(game.random, colorCount); }

void StartOpeningWipe(float speed) {
  if (tuDraw::draw.wipeState > 0) return;
  int patterns = tuDraw::kWipeWideFirst - tuDraw::kWipeFromBottom + 1;
  tuDraw::StartWipe(tuDraw::kWipeOpen, tuDraw::kWipeFromBottom + RandomBelow(game.random, patterns), speed, 3);
}

int EdgeSlot(int line, Edge e) {
  bool odd = (line & 1) != 0;
  switch (e) {
    case UpperLeft:
    case LowerLeft:
      return odd ? 0 : -1;
    case UpperRight:
    case LowerRight:
      return odd ? 1 : 0;
  }
  return 0;
}

int EdgeLine(Edge e) { return (e == UpperLeft || e == UpperRight) ? -1 : 1; }

bool InStorage(int slot, int line) { return slot >= 0 && slot < kSlots && line >= 0 && line < kLines; }

bool IsLiveCell(int slot, int line) {
  return line >= 0 && line <= 16 && slot >= 1 && (slot <= 4 || (slot == 5 && (line & 1) == 0));
}

int CellAt(const PlayerState& p, int slot, int line) {
  return InStorage(slot, line) ? p.cells[slot][line] : kWall;
}

int CellX(int pl, int slot, int line) { return (pl == 0 ? 47 : 336) + 32 * slot + ((line & 1) ? 16 : 0); }

int CellY(int line) { return 157 + 16 * line; }

int GarbageToFall(int announced) {
  if (announced <= 0) return 0;
  if (announced <= 5) return announced;
  // Each spawn takes a row of five; a count of six to ten left at a spawn loses its rest.
  return 5 * ((announced - 1) / 5);
}
