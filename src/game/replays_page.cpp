// The REPLAYS page: the player's replays newest first, each with its date, mode, levels and
// outcome; the chosen one is played back in the game's screen, or marked kept.
#include <cstdio>
#include <string>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/model.h"
#include "game/output.h"
#include "game/pages.h"
#include "game/playback.h"
#include "game/settings.h"

namespace {

constexpr int kRowsShown = 17;
constexpr int kListTop = 78, kRowHeight = 20;
constexpr uint32_t kHeadColor = 0xB4A08C, kTextColor = 0xF0F0F0, kKeptColor = 0x50C8F0, kNoteColor = 0x786450,
                   kErrorColor = 0x5050F0, kDoneColor = 0x8CDC8C, kKeysColor = 0xC8D2F0;
constexpr uint32_t kCursorFill = 0x6E3A1E, kCursorEdge = 0xE6B48C;
const char* const kLevelNames[4] = {"Easy", "Normal", "Hard", "Hidden"};

struct Page {
  bool stale = true;  // the folder is read at the page's next frame
  std::string folder;
  std::vector<ReplayEntry> list;
  int cursor = 0, first = 0;  // first: the list's entry on the top row
  std::string status;
  bool statusIsError = false;
  int left = 0, right = 0;  // player 1's keys that mark a replay kept
};
Page page;

const char* LevelName(int level) { return level >= 0 && level < 4 ? kLevelNames[level] : "?"; }

void ModeAndLevels(const ReplayHeader& h, char* mode, size_t modeSize, char* levels, size_t levelsSize) {
  switch (h.mode) {
    case kModeOnePlayer:
      snprintf(mode, modeSize, "1P");
      snprintf(levels, levelsSize, "%s", LevelName(h.difficulty[0]));
      break;
    case kModeVersus:
      snprintf(mode, modeSize, "VS");
      snprintf(levels, levelsSize, "%s / %s", LevelName(h.difficulty[0]), LevelName(h.difficulty[1]));
      break;
    default:
      snprintf(mode, modeSize, "VS COMPUTER");
      snprintf(levels, levelsSize, "%s / CPU %s", LevelName(h.difficulty[0]), LevelName(h.computer[1]));
      break;
  }
}

void Outcome(const ReplayEntry& e, char* out, size_t size) {
  if (e.header.mode == kModeOnePlayer) {
    if (e.end.present)
      snprintf(out, size, "SCORE %d", e.end.score[0]);
    else
      snprintf(out, size, "CUT SHORT");
    return;
  }
  if (e.end.present && (e.end.winner == 1 || e.end.winner == 2))
    snprintf(out, size, "%dP WINS", e.end.winner);
  else
    snprintf(out, size, "NO WINNER");
}

void Say(const std::string& text, bool error) {
  page.status = text;
  page.statusIsError = error;
  if (error) fprintf(stderr, "quorbistane: %s\n", text.c_str());
}

// Keys held as the page appears are no presses on it.
void PrimeKeys() {
  tuSystem::GetKey(BoundKey(0, kActLeft), &page.left);
  tuSystem::GetKey(BoundKey(0, kActRight), &page.right);
  GameKeys& k = game.keys;
  for (int pl = 0; pl < 2; ++pl) tuSystem::GetKey(BoundKey(pl, kActTurnCcw), &k.turnCcw[pl]);
}

// Reads the folder again; the cursor stays on the same replay when it is still there.
void ReadFolder() {
  std::string at = page.cursor < static_cast<int>(page.list.size()) ? page.list[page.cursor].path : "";
  page.stale = false;
  page.folder = ReplaysFolderInUse();
  page.list = ListReplays(page.folder);
  page.cursor = 0;
  for (size_t i = 0; i < page.list.size(); ++i)
    if (page.list[i].path == at) page.cursor = static_cast<int>(i);
  PrimeKeys();
}

void Scroll() {
  if (page.cursor < page.first) page.first = page.cursor;
  if (page.cursor >= page.first + kRowsShown) page.first = page.cursor - kRowsShown + 1;
  int most = static_cast<int>(page.list.size()) - kRowsShown;
  if (page.first > most) page.first = most > 0 ? most : 0;
}

void Play() {
  const ReplayEntry& e = page.list[page.cursor];
  Replay r;
  std::string error;
  if (!ReadReplayFile(e.path, &r, &error) || !StartPlayback(r, &error)) {
    Say(error, true);
    gameout::Play(assets.buttonSound);
    return;
  }
  gameout::Play(assets.buttonSound2);
  page.status.clear();
  page.stale = true;  // what was played may have been pruned or renamed meanwhile
}

void ToggleKept() {
  ReplayEntry& e = page.list[page.cursor];
  std::string path, error;
  if (!KeepReplay(e.path, !e.kept, &path, &error)) {
    Say(error, true);
    return;
  }
  e.path = path;
  e.kept = !e.kept;
  Say(e.kept ? "Kept: this replay is never removed to make room for new ones."
             : "No longer kept: it goes once " + std::to_string(kReplaysKept) + " newer ones are kept.",
      false);
  gameout::Play(assets.buttonSound);
}

// The keys of a step: back to the title, the cursor, kept or not, play.
void Steer() {
  GameKeys& k = game.keys;
  for (int pl = 0; pl < 2; ++pl) tuSystem::GetKey(BoundKey(pl, kActTurnCcw), &k.turnCcw[pl]);
  tuSystem::GetKey(BoundKey(0, kActLeft), &page.left);
  tuSystem::GetKey(BoundKey(0, kActRight), &page.right);
  auto pressed = [](int state) { return state == tu::kKeyStatePressed; };
  if (pressed(k.turnCcw[0]) || pressed(k.turnCcw[1])) {
    game.menuLevel = 0;
    page.status.clear();
    gameout::Play(assets.buttonSound2);
    return;
  }
  int count = static_cast<int>(page.list.size());
  if (count == 0) return;
  for (int pl = 0; pl < 2; ++pl) {
    if (pressed(k.menuUp[pl])) {
      page.cursor = (page.cursor + count - 1) % count;
      gameout::Play(assets.buttonSound);
    }
    if (pressed(k.menuDown[pl])) {
      page.cursor = (page.cursor + 1) % count;
      gameout::Play(assets.buttonSound);
    }
  }
  if (pressed(page.left) || pressed(page.right)) ToggleKept();
  if (pressed(k.confirm[0]) || pressed(k.confirm[1])) Play();
}

void DrawList() {
  const int x = 24;
  PageText(x + 6, kListTop - 20, x + 50, kListTop - 4, "KEPT", kHeadColor, tuDraw::kAlignLeft, 11);
  PageText(x + 56, kListTop - 20, x + 220, kListTop - 4, "DATE", kHeadColor, tuDraw::kAlignLeft, 11);
  PageText(x + 224, kListTop - 20, x + 330, kListTop - 4, "MODE", kHeadColor, tuDraw::kAlignLeft, 11);
  PageText(x + 334, kListTop - 20, x + 470, kListTop - 4, "LEVELS", kHeadColor, tuDraw::kAlignLeft, 11);
  PageText(x + 474, kListTop - 20, x + 586, kListTop - 4, "RESULT", kHeadColor, tuDraw::kAlignRight, 11);
  int count = static_cast<int>(page.list.size());
  if (count > kRowsShown) {
    char where[48];
    snprintf(where, sizeof where, "%d-%d of %d", page.first + 1, page.first + kRowsShown, count);
    PageText(440, 30, 616, 46, where, kHeadColor, tuDraw::kAlignRight, 11);
  }
  for (int row = 0; row < kRowsShown && page.first + row < count; ++row) {
    const ReplayEntry& e = page.list[page.first + row];
    int y = kListTop + kRowHeight * row;
    if (page.first + row == page.cursor) tuDraw::Rect(x, y, 616, y + kRowHeight, kCursorFill, kCursorEdge, 1);
    char mode[16], levels[48], outcome[32];
    ModeAndLevels(e.header, mode, sizeof mode, levels, sizeof levels);
    Outcome(e, outcome, sizeof outcome);
    if (e.kept) PageText(x + 6, y + 2, x + 50, y + 18, "KEPT", kKeptColor, tuDraw::kAlignLeft, 11);
    PageText(x + 56, y + 2, x + 220, y + 18, e.header.date.c_str(), kTextColor, tuDraw::kAlignLeft, 13);
    PageText(x + 224, y + 2, x + 330, y + 18, mode, kTextColor, tuDraw::kAlignLeft, 13);
    PageText(x + 334, y + 2, x + 470, y + 18, levels, kTextColor, tuDraw::kAlignLeft, 13);
    PageText(x + 474, y + 2, x + 586, y + 18, outcome, kTextColor, tuDraw::kAlignRight, 13);
  }
}

void DrawFoot() {
  char keys[160];
  snprintf(keys, sizeof keys, "%s %s : choose    %s : play    %s : keep    %s : back",
           PageKeyName(BoundKey(0, kActUp)), PageKeyName(BoundKey(0, kActDown)), PageKeyName(BoundKey(0, kActTurnCw)),
           PageKeyName(BoundKey(0, kActRight)), PageKeyName(BoundKey(0, kActTurnCcw)));
  PageText(8, 460, 632, 478, keys, kKeysColor, tuDraw::kAlignRight, 12);
  if (!page.status.empty())
    PageText(24, 438, 616, 456, page.status.c_str(), page.statusIsError ? kErrorColor : kDoneColor,
             tuDraw::kAlignLeft, 12);
}

}  // namespace

void OpenReplaysPage() {
  page.cursor = page.first = 0;
  page.list.clear();
  page.status.clear();
  ReadFolder();
}

const std::vector<ReplayEntry>& ListedReplays() { return page.list; }
int ReplaysCursor() { return page.cursor; }
const std::string& ReplaysStatus() { return page.status; }

void ReplaysPage() {
  if (page.stale) ReadFolder();
  Steer();
  Scroll();
  PageBackground(0, 860, 260, 901);
  if (page.list.empty()) {
    char line[128];
    if (page.folder.empty())
      snprintf(line, sizeof line, "Replays are not kept in this run: there is no folder for them.");
    else
      snprintf(line, sizeof line, "No replays yet: every game played is kept here, the last %d of them.",
               kReplaysKept);
    PageText(24, 200, 616, 220, line, kNoteColor, tuDraw::kAlignCentre, 14);
  } else {
    DrawList();
  }
  DrawFoot();
}
