#pragma once
#include <cstdint>
#include <string>

#include <tu/tuSystem.h>

// The player's settings: the keys of each player's actions, the volumes, the window. Read from
// a settings file at start (an IniFile), changed on the OPTIONS screen, written when changed.
// Without a file every setting keeps the game's own default.

// A player's actions, in the settings file's order. Down also moves the menus' cursor down and
// Up moves it up; turning clockwise also chooses in the menus.
enum Action { kActLeft, kActRight, kActDown, kActUp, kActTurnCw, kActTurnCcw, kActPause, kActions };

struct Settings {
  int keys[2][kActions] = {};  // key codes (<tu/keys.h>)
  int musicVolume = 100;       // per cent, 0..100
  int effectsVolume = 100;
  int mute = 0;
  int windowOnTop = 1;
  int fpsMeter = 1;
  int fullScreen = 0;  // at start; F11 changes it too
  int scaling = 0;     // tuSystem::kScaleWhole or kScaleFill
  // The last address an online game was joined at ("host:port"), offered again; "" for none.
  std::string joinAddress;
  // The relay server online play may go through ("host" or "host:port"); "" for none. The
  // game knows no relay of its own: the player names one in the file.
  std::string relayAddress;
};
// The longest address the settings keep and the JOIN page takes.
constexpr size_t kMaxAddressLength = 60;
// Whether `text` may be an address to join: letters, digits, '.', '-' and ':' only, and not
// longer than kMaxAddressLength.
bool AddressCharsValid(const std::string& text);
// A port as typed: digits only, 0..65535 (`allowZero` false: 1..65535). False with a message.
bool ParsePortText(const std::string& text, bool allowZero, uint16_t* port, std::string* error);
// "host:port" (a name or a dotted IPv4 address, then a port 1..65535); the port may be left out
// ("host"), which gives `defaultPort`. False with a message that names what is wrong.
bool ParseAddress(const std::string& text, uint16_t defaultPort, std::string* host, uint16_t* port,
                  std::string* error);
// A relay's port when relay_address names none.
constexpr uint16_t kRelayPort = 7380;
extern Settings settings;

// Player 1 on the arrows, X and Z, player 2 on A, D, S, W, J and H; Space pauses for both.
Settings DefaultSettings();
void ResetSettings();  // settings = DefaultSettings(), nothing read or written

// The key bound to a player's action.
inline int BoundKey(int pl, int action) { return settings.keys[pl][action]; }
// The five piece keys in the order the rules poll them: left, right, drop, clockwise, anticlockwise.
int PieceKey(int pl, int k);

// The file's name of a setting of keys: "p1_left" .. "p2_pause".
std::string KeySettingName(int pl, int action);
// Keys that cannot be bound: Escape ends the program, F11 switches fullscreen, and codes without
// a key of their own (the generic Shift, Ctrl and Alt).
bool KeyReserved(int vk);
// The action (player * kActions + action) other than (pl, action) that `vk` is bound to in `s`,
// or -1. Both pause actions may share a key: it pauses the game for both.
int KeyTakenBy(const Settings& s, int pl, int action, int vk);

// A volume in per cent as the sound objects take it, in hundredths of a decibel: the level's
// amplitude follows the per cent (50 % is half the amplitude, -6 dB); 0 % is silence (-10000).
int VolumeToHundredths(int percent);

// $XDG_CONFIG_HOME/quorbistane/settings.ini (else ~/.config/quorbistane/settings.ini); empty
// when the user has no home.
std::string DefaultSettingsPath();
// The path of the settings file in use (the one LoadSettings read), else DefaultSettingsPath().
std::string SettingsFilePath();
// Settings from the defaults and the file; every problem with it is told on standard error and
// the default stays; an empty path gives the defaults, never saved. Call before GameProgram,
// which hands the pads their keys.
void LoadSettings(const std::string& path);
// Whether changes are written to the file (the simulator only reads it).
void SetSettingsSaving(bool on);
// Writes the settings that differ from what the file last held; a failure is told and the file
// keeps what it had. True when the file holds the settings now.
bool SaveSettings();

// Puts the settings into force: the volumes of the loaded sounds, the window's switches, the
// pads' keys. ApplySettings does all at start (after the assets are loaded).
void ApplySettings();
void ApplyVolumes();
void ApplyPadKeys();
// Once a frame from the scenes: a fullscreen switch made with F11 becomes the setting. True
// when it changed it; SaveSettings writes it (the menu at once, a game when it is over).
bool NoteFullScreen();
// Each pad plays as its player's keys: directions move, drop and steer the menus, the south and
// west buttons turn clockwise and choose, the east button turns anticlockwise, Start pauses.
const tuSystem::PadMapping& PadKeys();
