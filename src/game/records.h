#pragma once
#include <string>

// The player's records: the best five one-player scores of each level with the game's longest
// chain and its date, and the tally of versus games for each pairing, of this session and of
// all time. Kept in an IniFile in the user's data folder; every problem with it is told on
// standard error and the game goes on with what it could read. Nothing is read or written
// until OpenRecords names a file.

constexpr int kRecordLevels = 4;  // Easy, Normal, Hard and the hidden level
constexpr int kRecordRanks = 5;
// Pairings of the versus tally: player 1 against player 2, then player 1 against the computer
// at each strength 0..3.
constexpr int kPairPlayers = 0;
constexpr int kPairings = 1 + kRecordLevels;

struct ScoreRecord {
  int score = 0;
  int chain = 0;
  char date[11] = {};  // YYYY-MM-DD
};

struct Tally {
  int wins[2] = {};  // of the pairing's first side (player 1) and second side
};

struct Records {
  ScoreRecord scores[kRecordLevels][kRecordRanks];
  int count[kRecordLevels] = {};  // records held per level, best first
  Tally session[kPairings];       // since the program started; never written
  Tally allTime[kPairings];
  int lastRank = 0;  // rank 1..5 the last one-player game took, 0 for none: the game-over screen tells it
};
extern Records records;

// $XDG_DATA_HOME/quorbistane/records.ini (else ~/.local/share/quorbistane/records.ini); "" with
// no home to put it in (told on standard error).
std::string DefaultRecordsPath();
// Forgets every record and reads `path`; "" closes the records: nothing is read or written.
void OpenRecords(const std::string& path);
bool RecordsOpen();

// A one-player game over at `level` 0..3: the score enters the table when it is among the five
// best (a score of 0 never does). Returns its rank 1..5 or 0. The file is read again first, so
// what another run or a hand edit put there is kept.
int RecordScore(int level, int score, int chain, const char* date);
// A versus game won by side `winner` (0 player 1, 1 the other) of `pairing`.
void RecordWin(int pairing, int winner);
// Today's local date as YYYY-MM-DD.
std::string TodaysDate();

// Called once when a game ends in an outcome: records it from the game's state.
void RecordGameOver();
