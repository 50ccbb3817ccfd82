#include "game/records.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <tu/tuSystem.h>

#include "game/ini_file.h"
#include "game/model.h"

Records records;

namespace {

const char* const kLevelNames[kRecordLevels] = {"easy", "normal", "hard", "hidden"};
const char* const kPairNames[kPairings] = {"versus", "computer_easy", "computer_normal", "computer_hard",
                                           "computer_hidden"};
constexpr int kTallyMax = 999999999;
// A records file is a few hundred bytes; more than this is not one.
constexpr size_t kRecordsCap = 16 * 1024;

std::string path;
IniFile file;

std::string ScoreName(int level, int rank) { return std::string(kLevelNames[level]) + "_" + std::to_string(rank + 1); }

bool ValidDate(const char* s) {
  if (strlen(s) != 10) return false;
  for (int i = 0; i < 10; ++i)
    if (i == 4 || i == 7 ? s[i] != '-' : (s[i] < '0' || s[i] > '9')) return false;
  return true;
}

// A whole number lo..hi at *s and the blanks after it; *s moves past them.
bool Number(const char** s, long lo, long hi, int* out) {
  char* end = nullptr;
  errno = 0;
  long v = strtol(*s, &end, 10);
  if (end == *s || errno != 0 || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  for (*s = end; **s == ' ' || **s == '\t';) ++*s;
  return true;
}

// "score chain date"; an empty value is a rank without a record.
bool ParseScore(const std::string& v, ScoreRecord* r) {
  const char* s = v.c_str();
  if (!Number(&s, 1, kScoreMax, &r->score) || !Number(&s, 0, 19, &r->chain) || !ValidDate(s)) return false;
  memcpy(r->date, s, sizeof r->date);
  return true;
}

// "wins of the first side, wins of the second".
bool ParseTally(const std::string& v, Tally* t) {
  const char* s = v.c_str();
  Tally read;
  if (!Number(&s, 0, kTallyMax, &read.wins[0]) || !Number(&s, 0, kTallyMax, &read.wins[1]) || *s != 0) return false;
  *t = read;
  return true;
}

// Puts `r` among the level's records, best first; a tie goes below the records it ties with.
int Insert(int level, const ScoreRecord& r) {
  int& n = records.count[level];
  ScoreRecord* table = records.scores[level];
  int at = 0;
  while (at < n && table[at].score >= r.score) ++at;
  if (at >= kRecordRanks) return 0;
  if (n < kRecordRanks) ++n;
  for (int i = n - 1; i > at; --i) table[i] = table[i - 1];
  table[at] = r;
  return at + 1;
}

// The all-time records from the file as it is now; the session tally stays. A file refused
// as a whole (too big, not text, unreadable) leaves the records in memory as they were.
void ReadFile() {
  if (path.empty() || !file.Load(path, kRecordsCap)) return;
  for (int l = 0; l < kRecordLevels; ++l) records.count[l] = 0;
  for (Tally& t : records.allTime) t = Tally{};
  for (int l = 0; l < kRecordLevels; ++l)
    for (int rank = 0; rank < kRecordRanks; ++rank) {
      std::string name = ScoreName(l, rank);
      const std::string* v = file.Get(name);
      if (!v || v->empty()) continue;
      ScoreRecord r;
      if (ParseScore(*v, &r))
        Insert(l, r);
      else
        file.Report(name, "not a record (score 1-99999, chain 0-19, date YYYY-MM-DD): ignored");
    }
  for (int p = 0; p < kPairings; ++p) {
    const std::string* v = file.Get(kPairNames[p]);
    if (v && !v->empty() && !ParseTally(*v, &records.allTime[p]))
      file.Report(kPairNames[p], "not a tally (two counts of wins): ignored");
  }
}

void WriteFile() {
  if (path.empty()) return;
  for (int l = 0; l < kRecordLevels; ++l)
    for (int rank = 0; rank < kRecordRanks; ++rank) {
      std::string name = ScoreName(l, rank);
      if (rank < records.count[l]) {
        const ScoreRecord& r = records.scores[l][rank];
        file.Set(name, std::to_string(r.score) + " " + std::to_string(r.chain) + " " + r.date);
      } else if (file.Get(name)) {
        file.Set(name, "");  // a rank left empty: what its line held is in another rank or broken
      }
    }
  for (int p = 0; p < kPairings; ++p) {
    const Tally& t = records.allTime[p];
    if (t.wins[0] || t.wins[1])  // a line that is there stays as it is until there is a win to count
      file.Set(kPairNames[p], std::to_string(t.wins[0]) + " " + std::to_string(t.wins[1]));
  }
  file.Save();
}

}  // namespace

std::string DefaultRecordsPath() {
  // Named only: the folder is made when the first record is written.
  const char* folder = tuSystem::DataFolder("quorbistane");
  if (!folder) {
    fprintf(stderr, "quorbistane: no folder for the records: they are not kept\n");
    return "";
  }
  return std::string(folder) + "records.ini";
}

void OpenRecords(const std::string& p) {
  records = Records{};
  path = p;
  file = IniFile{};
  ReadFile();
}

bool RecordsOpen() { return !path.empty(); }

int RecordScore(int level, int score, int chain, const char* date) {
  if (path.empty() || level < 0 || level >= kRecordLevels || score < 1) return 0;
  ScoreRecord r;
  r.score = score < kScoreMax ? score : kScoreMax;
  r.chain = chain < 0 ? 0 : chain > 19 ? 19 : chain;
  snprintf(r.date, sizeof r.date, "%s", ValidDate(date) ? date : "0000-00-00");
  ReadFile();
  int rank = Insert(level, r);
  if (rank) WriteFile();
  return rank;
}

void RecordWin(int pairing, int winner) {
  if (path.empty() || pairing < 0 || pairing >= kPairings || winner < 0 || winner > 1) return;
  Tally& s = records.session[pairing];
  if (s.wins[winner] < kTallyMax) ++s.wins[winner];
  ReadFile();
  Tally& t = records.allTime[pairing];
  if (t.wins[winner] < kTallyMax) ++t.wins[winner];
  WriteFile();
}

std::string TodaysDate() {
  time_t now = time(nullptr);
  struct tm local {};
  char s[16] = "0000-00-00";
  if (localtime_r(&now, &local)) strftime(s, sizeof s, "%Y-%m-%d", &local);
  return s;
}

void RecordGameOver() {
  records.lastRank = 0;
  if (path.empty()) return;
  const PlayerState* p = game.player;
  if (game.gameMode == kModeOnePlayer) {
    records.lastRank = RecordScore(game.difficulty[0], p[0].score, p[0].maxChain, TodaysDate().c_str());
    return;
  }
  if (p[0].gameOver == p[1].gameOver) return;  // no outcome to count
  int winner = p[0].gameOver ? 1 : 0;
  if (game.gameMode == kModeVersus)
    RecordWin(kPairPlayers, winner);
  else if (game.gameMode == kModeComputer && game.computerLevel[1] >= 0 && game.computerLevel[1] < kRecordLevels)
    RecordWin(1 + game.computerLevel[1], winner);
}
