// The RECORDS page: the five best scores of each one-player level and the versus tallies.
#include <cstdio>

#include <tu/tuDraw.h>

#include "game/assets.h"
#include "game/output.h"
#include "game/pages.h"
#include "game/records.h"

namespace {

// The level names of the word sheet: Easy, Normal, Hard, and the hidden level's.
constexpr int kLevelWords[kRecordLevels][4] = {
    {0, 143, 133, 181}, {0, 192, 217, 230}, {0, 242, 144, 280}, {0, 796, 150, 834}};
const char* const kPairLabels[kPairings] = {"1P  vs  2P", "1P  vs  CPU Easy", "1P  vs  CPU Normal",
                                            "1P  vs  CPU Hard", "1P  vs  CPU Hidden"};
constexpr uint32_t kHeadColor = 0xB4A08C, kTextColor = 0xF0F0F0, kEmptyColor = 0x786450;

void ScoreTable(int level, int x, int y) {
  const int* w = kLevelWords[level];
  gameout::Draw(x, y, assets.fontSprite, w[0], w[1], w[2], w[3]);
  y += 40;
  PageText(x + 20, y, x + 100, y + 16, "SCORE", kHeadColor, tuDraw::kAlignRight, 11);
  PageText(x + 106, y, x + 170, y + 16, "CHAIN", kHeadColor, tuDraw::kAlignCentre, 11);
  PageText(x + 180, y, x + 284, y + 16, "DATE", kHeadColor, tuDraw::kAlignLeft, 11);
  for (int rank = 0; rank < kRecordRanks; ++rank) {
    int ry = y + 16 + 16 * rank;
    char n[8], score[8], chain[8];
    snprintf(n, sizeof n, "%d", rank + 1);
    PageText(x, ry, x + 14, ry + 16, n, kHeadColor, tuDraw::kAlignRight);
    if (rank >= records.count[level]) {
      PageText(x + 20, ry, x + 100, ry + 16, "-----", kEmptyColor, tuDraw::kAlignRight);
      continue;
    }
    const ScoreRecord& r = records.scores[level][rank];
    snprintf(score, sizeof score, "%d", r.score);
    snprintf(chain, sizeof chain, "%d", r.chain);
    PageText(x + 20, ry, x + 100, ry + 16, score, kTextColor, tuDraw::kAlignRight);
    PageText(x + 106, ry, x + 170, ry + 16, chain, kTextColor, tuDraw::kAlignCentre);
    PageText(x + 180, ry, x + 284, ry + 16, r.date, kTextColor, tuDraw::kAlignLeft);
  }
}

void TallyTable(int x, int y) {
  gameout::Draw(x, y, assets.fontSprite, 0, 46, 232, 84);
  PageText(x + 300, y + 20, x + 440, y + 36, "THIS SESSION", kHeadColor, tuDraw::kAlignCentre, 11);
  PageText(x + 450, y + 20, x + 590, y + 36, "ALL TIME", kHeadColor, tuDraw::kAlignCentre, 11);
  for (int p = 0; p < kPairings; ++p) {
    int ry = y + 40 + 16 * p;
    char session[32], all[32];
    snprintf(session, sizeof session, "%d - %d", records.session[p].wins[0], records.session[p].wins[1]);
    snprintf(all, sizeof all, "%d - %d", records.allTime[p].wins[0], records.allTime[p].wins[1]);
    PageText(x + 8, ry, x + 296, ry + 16, kPairLabels[p], kTextColor, tuDraw::kAlignLeft);
    PageText(x + 300, ry, x + 440, ry + 16, session, kTextColor, tuDraw::kAlignCentre);
    PageText(x + 450, ry, x + 590, ry + 16, all, kTextColor, tuDraw::kAlignCentre);
  }
}

}  // namespace

void RecordsPage() {
  PageFrame(0, 666, 260, 707);
  for (int l = 0; l < kRecordLevels; ++l) ScoreTable(l, l % 2 ? 336 : 28, l < 2 ? 52 : 188);
  TallyTable(28, 326);
  if (!RecordsOpen()) PageText(28, 460, 400, 478, "Records are not kept in this run.", kEmptyColor, tuDraw::kAlignLeft, 12);
}
