#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "game/replay.h"

// The title menu's pages, run by the menu scene in place of its lists. Either player's confirm
// or anticlockwise key (a pad's south or east button) goes back to the title menu.
void RecordsPage();
void HowToPage();

// The REPLAYS page: the player's replays newest first. Either player's up and down keys choose
// one, confirm plays it back, player 1's left or right key marks it kept or not, anticlockwise
// goes back to the title menu. The folder is read when the page opens and again when a playback
// started from it returns.
void ReplaysPage();
// When the title menu opens the page: the folder is read, the cursor set on the newest replay,
// and keys held now are no presses on it.
void OpenReplaysPage();
// What the page shows: its replays, the one at the cursor, the status line (empty: none).
const std::vector<ReplayEntry>& ListedReplays();
int ReplaysCursor();
const std::string& ReplaysStatus();

// The background and the heading (a rectangle of the word sheet, centred at the top) of a page.
void PageBackground(int left, int top, int right, int bottom);
// What the records and how-to-play pages share: PageBackground, the line that names the keys
// back, and those keys.
void PageFrame(int left, int top, int right, int bottom);
// One line of text in the pages' face, `size` pixels high, colour 0x00BBGGRR; align is one of
// tuDraw's kAlign values.
void PageText(int left, int top, int right, int bottom, const char* text, uint32_t color, int align, int size = 14);
// The name of a key as the pages show it ("Left", "X").
const char* PageKeyName(int vk);
