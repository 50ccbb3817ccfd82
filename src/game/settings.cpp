#include "game/settings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tu/tuSound.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/ini_file.h"
#include "game/model.h"

Settings settings = DefaultSettings();

namespace {

IniFile file;
Settings inFile = DefaultSettings();  // what the file holds, as far as it is valid
bool saving = true;
bool loaded = false;
int seenFullScreen = 0;
tuSystem::PadMapping padKeys;

constexpr const char* kActionNames[kActions] = {"left", "right", "down", "up", "turn_cw", "turn_ccw", "pause"};

struct Flag {
  const char* name;
  int Settings::*field;
};
constexpr Flag kFlags[] = {{"mute", &Settings::mute},
                           {"window_on_top", &Settings::windowOnTop},
                           {"fps_meter", &Settings::fpsMeter},
                           {"fullscreen", &Settings::fullScreen}};
constexpr Flag kVolumes[] = {{"music_volume", &Settings::musicVolume}, {"effects_volume", &Settings::effectsVolume}};

bool Number(const std::string& s, int lo, int hi, int* out) {
  if (s.empty() || s.size() > 4) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  int v = atoi(s.c_str());
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool SameText(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

const char* ScalingName(int mode) { return mode == tuSystem::kScaleFill ? "fill" : "whole"; }

// The keys the file gives, over the defaults. A file that binds one key to two actions is not
// half taken: all keys stay the defaults, and the clash is told.
void ReadKeys(Settings& s) {
  Settings read = s;
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a) {
      std::string name = KeySettingName(pl, a);
      const std::string* v = file.Get(name);
      if (!v) continue;
      int vk = tuSystem::KeyFromName(v->c_str());
      if (vk == 0)
        file.Report(name, "no key is called \"" + *v + "\": the default key stays");
      else if (KeyReserved(vk))
        file.Report(name, "\"" + *v + "\" cannot be bound (Escape ends the game, F11 switches fullscreen): the default key stays");
      else
        read.keys[pl][a] = vk;
    }
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a) {
      int other = KeyTakenBy(read, pl, a, read.keys[pl][a]);
      if (other < 0) continue;
      std::string first = KeySettingName(pl, a), second = KeySettingName(other / kActions, other % kActions);
      fprintf(stderr, "quorbistane: %s: %s and %s are both %s: the default keys are used\n", file.Path().c_str(),
              first.c_str(), second.c_str(), tuSystem::KeyName(read.keys[pl][a]));
      return;
    }
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a) s.keys[pl][a] = read.keys[pl][a];
}

void ReadOthers(Settings& s) {
  for (const Flag& f : kVolumes) {
    const std::string* v = file.Get(f.name);
    if (v && !Number(*v, 0, 100, &(s.*f.field))) file.Report(f.name, "\"" + *v + "\" is not 0 to 100: the default stays");
  }
  for (const Flag& f : kFlags) {
    const std::string* v = file.Get(f.name);
    if (v && !Number(*v, 0, 1, &(s.*f.field))) file.Report(f.name, "\"" + *v + "\" is not 0 or 1: the default stays");
  }
  if (const std::string* v = file.Get("join_address")) {
    if (AddressCharsValid(*v))
      s.joinAddress = *v;
    else
      file.Report("join_address", "\"" + *v + "\" is not an address (letters, digits, '.', '-' and ':', 60 at most): it is not offered");
  }
  if (const std::string* v = file.Get("relay_address")) {
    std::string host, why;
    uint16_t port = 0;
    if (v->empty() || ParseAddress(*v, kRelayPort, &host, &port, &why))
      s.relayAddress = *v;
    else
      file.Report("relay_address", "\"" + *v + "\" is not a relay's address (host or host:port): " + why +
                                       "; online play goes through no relay");
  }
  if (const std::string* v = file.Get("scaling")) {
    if (SameText(*v, "whole"))
      s.scaling = tuSystem::kScaleWhole;
    else if (SameText(*v, "fill"))
      s.scaling = tuSystem::kScaleFill;
    else
      file.Report("scaling", "\"" + *v + "\" is not whole or fill: the default stays");
  }
}

}  // namespace

bool AddressCharsValid(const std::string& text) {
  if (text.size() > kMaxAddressLength) return false;
  for (char c : text) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' ||
              c == ':';
    if (!ok) return false;
  }
  return true;
}

bool ParsePortText(const std::string& text, bool allowZero, uint16_t* port, std::string* error) {
  bool digits = !text.empty() && text.size() <= 5;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  long v = digits ? std::stol(text) : -1;
  if (v < (allowZero ? 0 : 1) || v > 65535) {
    *error = "'" + text + "' is not a port (" + (allowZero ? "0" : "1") + " to 65535)";
    return false;
  }
  *port = static_cast<uint16_t>(v);
  return true;
}

bool ParseAddress(const std::string& text, uint16_t defaultPort, std::string* host, uint16_t* port,
                  std::string* error) {
  if (text.empty()) {
    *error = "no address: type host:port";
    return false;
  }
  if (!AddressCharsValid(text)) {
    *error = "an address has letters, digits, '.', '-' and ':' only, 60 at most";
    return false;
  }
  size_t colon = text.find(':');
  if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
    *error = "'" + text + "' has more than one ':'";
    return false;
  }
  std::string name = text.substr(0, colon);
  if (name.empty() || name.front() == '.' || name.front() == '-' || name.back() == '.' || name.back() == '-' ||
      name.find("..") != std::string::npos) {
    *error = "'" + text + "' does not name a host";
    return false;
  }
  uint16_t p = defaultPort;
  if (colon != std::string::npos && !ParsePortText(text.substr(colon + 1), false, &p, error)) return false;
  *host = name;
  *port = p;
  return true;
}

Settings DefaultSettings() {
  Settings s;
  const int keys[2][kActions] = {
      {vk::Left, vk::Right, vk::Down, vk::Up, vk::X, vk::Z, vk::Space},
      {vk::A, vk::D, vk::S, vk::W, vk::J, vk::H, vk::Space},
  };
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a) s.keys[pl][a] = keys[pl][a];
  return s;
}

void ResetSettings() {
  settings = DefaultSettings();
  inFile = settings;
  file = IniFile{};
  loaded = false;
  saving = true;
  seenFullScreen = 0;
}

int PieceKey(int pl, int k) {
  static const int kPiece[5] = {kActLeft, kActRight, kActDown, kActTurnCw, kActTurnCcw};
  return BoundKey(pl, kPiece[k]);
}

std::string KeySettingName(int pl, int action) {
  return std::string(pl == 0 ? "p1_" : "p2_") + kActionNames[action];
}

bool KeyReserved(int vk) { return vk == vk::Escape || vk == vk::F11 || tuSystem::KeyName(vk)[0] == 0; }

int KeyTakenBy(const Settings& s, int pl, int action, int vk) {
  for (int q = 0; q < 2; ++q)
    for (int a = 0; a < kActions; ++a) {
      if ((q == pl && a == action) || s.keys[q][a] != vk) continue;
      if (a == kActPause && action == kActPause) continue;
      return q * kActions + a;
    }
  return -1;
}

int VolumeToHundredths(int percent) {
  if (percent <= 0) return -10000;
  if (percent >= 100) return 0;
  return static_cast<int>(std::lround(2000.0 * std::log10(percent / 100.0)));
}

std::string DefaultSettingsPath() {
  const char* folder = tuSystem::ConfigFolder("quorbistane");
  // No folder (no home at all): no path, rather than a file wherever the game was started.
  return folder ? std::string(folder) + "settings.ini" : std::string();
}

std::string SettingsFilePath() { return file.Path().empty() ? DefaultSettingsPath() : file.Path(); }

void LoadSettings(const std::string& path) {
  settings = DefaultSettings();
  if (path.empty()) {
    file = IniFile{};
    loaded = true;
    inFile = settings;
    fprintf(stderr, "quorbistane: there is no settings folder: the default settings are used and changes are not saved\n");
    return;
  }
  file.Load(path);
  loaded = true;
  // A refused file gives nothing: every setting keeps its default.
  if (file.Writable()) {
    ReadKeys(settings);
    ReadOthers(settings);
  }
  inFile = settings;
}

void SetSettingsSaving(bool on) { saving = on; }

bool SaveSettings() {
  if (!loaded || !saving) return true;
  bool changed = false;
  auto set = [&](const std::string& name, const std::string& value) {
    file.Set(name, value);
    changed = true;
  };
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a)
      if (settings.keys[pl][a] != inFile.keys[pl][a]) set(KeySettingName(pl, a), tuSystem::KeyName(settings.keys[pl][a]));
  for (const Flag& f : kVolumes)
    if (settings.*f.field != inFile.*f.field) set(f.name, std::to_string(settings.*f.field));
  for (const Flag& f : kFlags)
    if (settings.*f.field != inFile.*f.field) set(f.name, std::to_string(settings.*f.field));
  if (settings.scaling != inFile.scaling) set("scaling", ScalingName(settings.scaling));
  if (settings.joinAddress != inFile.joinAddress) set("join_address", settings.joinAddress);
  if (settings.relayAddress != inFile.relayAddress) set("relay_address", settings.relayAddress);
  if (!changed) return true;
  if (!file.Save()) return false;
  inFile = settings;
  return true;
}

void ApplyVolumes() {
  int music = settings.mute ? -10000 : VolumeToHundredths(settings.musicVolume);
  int effects = settings.mute ? -10000 : VolumeToHundredths(settings.effectsVolume);
  for (int id : assets.music)
    if (id >= 0) tuSound::SetVolume(id, music, tuSound::kAllChannels);
  for (int id : {assets.rankMusic1, assets.rankMusic2})
    if (id >= 0) tuSound::SetVolume(id, music, tuSound::kAllChannels);
  for (int id : {assets.slideSetSound, assets.setSound, assets.eraseSound, assets.buttonSound, assets.buttonSound2})
    if (id >= 0) tuSound::SetVolume(id, effects, tuSound::kAllChannels);
}

const tuSystem::PadMapping& PadKeys() {
  for (int p = 0; p < 2; ++p) {
    int* k = padKeys.keys[p];
    k[tuSystem::kPadLeft] = BoundKey(p, kActLeft);
    k[tuSystem::kPadRight] = BoundKey(p, kActRight);
    k[tuSystem::kPadUp] = BoundKey(p, kActUp);
    k[tuSystem::kPadDown] = BoundKey(p, kActDown);
    k[tuSystem::kPadSouth] = k[tuSystem::kPadWest] = BoundKey(p, kActTurnCw);
    k[tuSystem::kPadEast] = BoundKey(p, kActTurnCcw);
    k[tuSystem::kPadStart] = BoundKey(p, kActPause);
  }
  return padKeys;
}

void ApplyPadKeys() { tuSystem::UsePads(PadKeys()); }

void ApplySettings() {
  ApplyVolumes();
  // Only what differs from the window as it opened is switched.
  if (!settings.windowOnTop) tuSystem::SetWindowOnTop(0);
  if (settings.scaling != tuSystem::Scaling()) tuSystem::SetScaling(settings.scaling);
  if (settings.fullScreen) tuSystem::SetFullScreen(1);
  seenFullScreen = tuSystem::FullScreen();
}

bool NoteFullScreen() {
  int now = tuSystem::FullScreen();
  if (now == seenFullScreen) return false;
  seenFullScreen = now;
  settings.fullScreen = now;
  return true;
}
