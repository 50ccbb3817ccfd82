#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A replay: everything needed to play a game again step by step. It is a text file of the
// game's own:
//
//   quorbistane replay 1
//   game 1.4.0
//   rules 0123456789ABCDEF
//   seed 748FEA9B853C49E6
//   clock 16/17/17 start 123456        (or "clock 16 start 123456": 16 ms every step)
//   mode versus                        (one-player, versus or computer)
//   difficulty 2 1
//   computer -1 2                      (strength 0..3 of a computer player, -1 a person)
//   date 2026-12-09 11:31:08
//   steps
//   0 1 left down                      (STEP PLAYER ACTION down|up; players 1 and 2)
//   60 check 0123456789ABCDEF          (the game's digest after step 60; every 60 steps)
//   end 18000 score 1234 567 winner 1  (steps played, scores, winner 1, 2 or 0 for none)
//
// Lines end in "\n" ("\r\n" is read too); fields are separated by single spaces; STEP numbers
// never go down. Numbers in hex are 16 upper- or lower-case digits.

// The actions a replay names, in the order of the settings' actions (settings.h kAct...).
constexpr int kReplayActions = 7;
// "left", "right", "down", "up", "cw", "ccw", "pause"; nullptr outside 0..6.
const char* ReplayActionName(int action);

constexpr int kReplayFormat = 1;
// A replay file larger than this is refused unread.
constexpr size_t kMaxReplayBytes = 4u << 20;

// `clockMs` kReplayCadenceClock: the game's own clock, 16, 17 and 17 ms repeating; otherwise that
// many ms a step (0 to 100000, as the simulator's frames may be).
constexpr int kReplayCadenceClock = -1;
struct ReplayHeader {
  int format = kReplayFormat;
  std::string gameVersion;
  uint64_t ruleHash = 0;
  uint64_t seed = 0;  // the game's generator state when the game started
  int clockMs = kReplayCadenceClock;
  uint32_t clockStart = 0;
  int mode = 0;  // kModeOnePlayer, kModeVersus or kModeComputer
  int difficulty[2] = {};
  int computer[2] = {-1, -1};
  std::string date;  // "YYYY-MM-DD hh:mm:ss", local time
};

struct ReplayEvent {
  uint32_t step = 0;
  uint8_t player = 0;  // 0 or 1 (written 1 or 2)
  uint8_t action = 0;  // 0..kReplayActions-1
  bool down = false;
};

struct ReplayCheck {
  uint32_t step = 0;
  uint64_t digest = 0;
};

struct ReplayEnd {
  bool present = false;  // false: the file ends without its end line (a game cut short)
  uint32_t steps = 0;
  int score[2] = {};
  int winner = 0;  // 1 or 2, 0 for none (one player)
};

struct Replay {
  ReplayHeader header;
  std::vector<ReplayEvent> events;  // in step order
  std::vector<ReplayCheck> checks;  // in step order
  ReplayEnd end;
};

// ---- Writing, a line at a time into a buffer reserved up front: appending while a game is
// played allocates nothing until the buffer holds about 256 KB.
class ReplayWriter {
 public:
  void Begin(const ReplayHeader& h);  // clears, reserves, writes the header and "steps"
  void Event(const ReplayEvent& e);
  void Check(uint32_t step, uint64_t digest);
  void End(const ReplayEnd& e);
  const std::string& Text() const { return text_; }
  // Cuts the text back to `length` characters (a mark taken earlier), keeping its room.
  void Truncate(size_t length) {
    if (length < text_.size()) text_.resize(length);
  }

 private:
  std::string text_;
};

// The whole replay as text (the writer's output for the same content).
std::string FormatReplay(const Replay& r);

// Reads a replay from text. False with a message fit for a player ("line 12: unknown action
// 'jump'", "not a replay file", "replay file cut short in its header", ...) for anything that
// is not a well-formed replay: binary data, a missing or repeated header line, steps going
// down, a player other than 1 or 2, numbers out of range. A missing end line is not an error.
bool ParseReplay(const char* data, size_t size, Replay* out, std::string* error);
// The player's folder keeps replays gzip-compressed (a quarter of the text or less; any gzip
// tool shows the text). DecodeReplay reads either: compressed data is inflated first, and
// refused when it would be larger than kMaxReplayBytes.
std::string CompressReplay(const std::string& text);
bool DecodeReplay(const char* data, size_t size, Replay* out, std::string* error);
// Reads and decodes a file; a file over kMaxReplayBytes, missing or unreadable is refused with
// a message naming it.
bool ReadReplayFile(const std::string& path, Replay* out, std::string* error);
// False, with a message naming both, when the replay was made by another game version or
// another rule table than `version` and `ruleHash`, or in another format.
bool ReplayFits(const ReplayHeader& h, const std::string& version, uint64_t ruleHash, std::string* error);

// ---- The player's replays: $XDG_DATA_HOME/quorbistane/replays/ (else
// ~/.local/share/quorbistane/replays/). Every file is NAME.replay; a replay the player keeps is
// NAME.kept.replay and is never removed by pruning.
constexpr int kReplaysKept = 100;

struct ReplayEntry {
  std::string path;
  ReplayHeader header;
  ReplayEnd end;
  bool kept = false;
};

// The folder of the player's replays (not created).
std::string ReplayFolder();
// Writes `text`, compressed, as a new replay in `folder` (created when missing), named after the date and
// mode ("2026-12-09-113108-versus.replay", a number added when taken), then removes the oldest
// replays that are not kept beyond the last kReplaysKept. The new file's path in `*path`.
bool SaveReplay(const std::string& folder, const ReplayHeader& h, const std::string& text, std::string* path,
                std::string* error);
// The replays in `folder`, newest first. Files that cannot be read as replays are left out
// (and named on standard error).
std::vector<ReplayEntry> ListReplays(const std::string& folder);
// Marks a replay kept or not (a rename); the new path in `*path`.
bool KeepReplay(const std::string& path, bool keep, std::string* newPath, std::string* error);
