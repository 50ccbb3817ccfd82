#pragma once

// The OPTIONS screen, a level of the title menu: each player's keys (captured by pressing the
// new key), the volumes and mute, the window's switches and the pads. Every change is in force
// at once and written to the settings file (settings.h).

// When the title menu opens it: the cursor at the top, and keys held now are no presses on it.
void OpenOptions();
// One frame of the screen: reads the menu keys of both players and draws it.
void OptionsScreen();

// Rows of the screen, top to bottom: the seven actions' keys, DEFAULTS, the sound, the window,
// BACK (the pads' line between them is not a row).
enum OptionsRow {
  kRowFirstKey = 0,
  kRowDefaults = 7,
  kRowMusic,
  kRowEffects,
  kRowMute,
  kRowOnTop,
  kRowFpsMeter,
  kRowFullScreen,
  kRowScaling,
  kRowBack,
  kOptionsRows
};
// The cursor (row, and on a key row the player's column 0 or 1) and whether a key is awaited.
struct OptionsCursor {
  int row, column, capturing;
};
OptionsCursor CurrentOptionsCursor();
