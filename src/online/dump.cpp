// A game state written out as text, so two sides' states at a desync can be compared by eye
// or with diff.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "online/online.h"

namespace online {
namespace {

void Row(FILE* f, const char* name, const int* v, int n) {
  fprintf(f, "%s =", name);
  for (int i = 0; i < n; ++i) fprintf(f, " %d", v[i]);
  fputc('\n', f);
}

void Player(FILE* f, int pl, const PlayerState& p) {
  fprintf(f, "\n# player %d\n", pl + 1);
  fprintf(f, "p%d.phase = %d\np%d.score = %d\np%d.chain = %d\np%d.maxChain = %d\n", pl + 1, p.phase, pl + 1,
          p.score, pl + 1, p.chain, pl + 1, p.maxChain);
  fprintf(f, "p%d.piece = %d %d\np%d.satellite = %d %d %d %d\n", pl + 1, p.pieceSlot, p.pieceLine, pl + 1,
          p.satellite[0][0], p.satellite[0][1], p.satellite[1][0], p.satellite[1][1]);
  char name[32];
  snprintf(name, sizeof name, "p%d.pieceColor", pl + 1);
  Row(f, name, p.pieceColor, 3);
  snprintf(name, sizeof name, "p%d.next", pl + 1);
  Row(f, name, p.next, 6);
  fprintf(f, "p%d.colorCount = %d\np%d.fallInterval = %d\np%d.fallTime = %u\np%d.dropTime = %u\n", pl + 1,
          p.colorCount, pl + 1, p.fallInterval, pl + 1, p.fallTime, pl + 1, p.dropTime);
  fprintf(f, "p%d.garbageIn = %d\np%d.garbageOut = %d\np%d.garbageFalling = %d\np%d.gameOver = %d\n", pl + 1,
          p.garbageIn, pl + 1, p.garbageOut, pl + 1, p.garbageFalling, pl + 1, p.gameOver);
  fprintf(f, "p%d.erasedCount = %d\np%d.shimmerFrame = %d\np%d.stepFlag = %d\n", pl + 1, p.erasedCount, pl + 1,
          p.shimmerFrame, pl + 1, p.stepFlag);
  for (int line = 0; line < kLines; ++line) {
    int row[kSlots];
    for (int slot = 0; slot < kSlots; ++slot) row[slot] = p.cells[slot][line];
    snprintf(name, sizeof name, "p%d.cells.%02d", pl + 1, line);
    Row(f, name, row, kSlots);
  }
}

}  // namespace

bool WriteStateDump(const std::string& path, const GameSnapshot& s, const std::string& heading, std::string* error) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) {
    *error = "cannot write " + path + ": " + strerror(errno);
    return false;
  }
  const GameState& g = s.game;
  fprintf(f, "# %s\n", heading.c_str());
  fprintf(f, "digest = %016llx\n", static_cast<unsigned long long>(Checksum(s)));
  fprintf(f, "gameStep = %u\nclock = %u\ncadence = %d\nclockMs = %d\n", g.gameStep, g.clock, g.cadence, g.clockMs);
  fprintf(f, "sceneNo = %d\ngameMode = %d\ndifficulty = %d %d\nresultStep = %d\nresultTime = %u\n", s.sceneNo,
          g.gameMode, g.difficulty[0], g.difficulty[1], g.resultStep, g.resultTime);
  fprintf(f, "random = %08x %08x\n", g.random.state[0], g.random.state[1]);
  fprintf(f, "wipe = %d %d\n", s.wipeState, s.wipeDone);
  for (int pl = 0; pl < 2; ++pl) Player(f, pl, g.player[pl]);
  bool ok = !ferror(f);
  if (fclose(f) != 0) ok = false;
  if (!ok) *error = "cannot write " + path + ": " + strerror(errno);
  return ok;
}

}  // namespace online
