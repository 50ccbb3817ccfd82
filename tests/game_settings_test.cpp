// What the settings file sets: the keys' bindings (the rules, the menus, the computer and the
// OPTIONS screen go by them) and the volumes that reach the sound device.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assets_support.h"
#include "game/computer.h"
#include "game/options.h"
#include "game/settings.h"
#include "file_support.h"
#include "game_support.h"
#include "platform/instance.h"

using namespace file_support;
using namespace game_support;

namespace {

// ---- What the settings say

class SettingsFile : public GameTest {
 protected:
  Settings Loaded(const std::string& text, std::string* told = nullptr) {
    Write(path, text);
    testing::internal::CaptureStderr();
    LoadSettings(path);
    std::string t = testing::internal::GetCapturedStderr();
    if (told) *told = t;
    return settings;
  }
  Folder dir;
  std::string path = dir.File("settings.ini");
};

TEST_F(SettingsFile, NamesAndValuesInAnyCaseAndEveryBadValueKeepsItsDefault) {
  std::string told;
  Settings s = Loaded(
      "p1_left = q\nP2_TURN_CW = keypad 4\np2_pause = Return\nmusic_volume = 30\neffects_volume = 130\n"
      "mute = yes\nwindow_on_top = 0\nfps_meter = 0\nfullscreen = 1\nscaling = FILL\np1_right = Escape\n"
      "p1_down = Nowhere\n",
      &told);
  Settings d = DefaultSettings();
  EXPECT_EQ(s.keys[0][kActLeft], tu::kKeyQ);
  EXPECT_EQ(s.keys[1][kActTurnCw], tu::kKeyPad4);
  EXPECT_EQ(s.keys[1][kActPause], tu::kKeyEnter);
  EXPECT_EQ(s.keys[0][kActPause], tu::kKeySpace);
  EXPECT_EQ(s.musicVolume, 30);
  EXPECT_EQ(s.effectsVolume, d.effectsVolume);
  EXPECT_EQ(s.mute, 0);
  EXPECT_EQ(s.windowOnTop, 0);
  EXPECT_EQ(s.fpsMeter, 0);
  EXPECT_EQ(s.fullScreen, 1);
  EXPECT_EQ(s.scaling, tuSystem::kScaleFill);
  EXPECT_EQ(s.keys[0][kActRight], d.keys[0][kActRight]) << "Escape cannot be bound";
  EXPECT_EQ(s.keys[0][kActDown], d.keys[0][kActDown]);
  for (const char* line : {":5:", ":6:", ":11:", ":12:"}) EXPECT_NE(told.find(path + line), std::string::npos) << line;
}

// Two actions on one key would leave one of them dead: no key of the file is taken then. The
// pause actions may share a key, as they do by default.
TEST_F(SettingsFile, AKeyBoundTwiceLeavesEveryKeyAtItsDefault) {
  std::string told;
  Settings s = Loaded("p1_left = W\np1_pause = P\np2_pause = P\n", &told);
  Settings d = DefaultSettings();
  for (int pl = 0; pl < 2; ++pl)
    for (int a = 0; a < kActions; ++a) EXPECT_EQ(s.keys[pl][a], d.keys[pl][a]) << pl << " " << a;
  EXPECT_NE(told.find("p1_left and p2_up are both W"), std::string::npos) << told;
  s = Loaded("p1_pause = P\np2_pause = P\np1_left = Left Shift\n");
  EXPECT_EQ(s.keys[0][kActPause], 'P');
  EXPECT_EQ(s.keys[1][kActPause], 'P');
  EXPECT_EQ(s.keys[0][kActLeft], tu::kKeyLeftShift);
}

// Only what changed is written: a line with a bad value the player has not changed stays.
TEST_F(SettingsFile, ASaveWritesWhatChangedAndKeepsTheRest) {
  Loaded("# mine\nmusic_volume = loud\np1_left = Q\n");
  settings.effectsVolume = 40;
  settings.keys[1][kActLeft] = tu::kKeyPad4;
  ASSERT_TRUE(SaveSettings());
  EXPECT_EQ(Read(path), "# mine\nmusic_volume = loud\np1_left = Q\np2_left = Keypad 4\neffects_volume = 40\n");
  Settings again = Loaded(Read(path));
  EXPECT_EQ(again.keys[1][kActLeft], tu::kKeyPad4);
  EXPECT_EQ(again.effectsVolume, 40);
}

// The last address joined is offered again; one that is not an address is told and not offered.
TEST_F(SettingsFile, TheLastAddressJoinedIsKeptAndABadOneIsNotOffered) {
  Loaded("p1_left = Q\n");
  EXPECT_EQ(settings.joinAddress, "");
  settings.joinAddress = "game-host.lan:7370";
  ASSERT_TRUE(SaveSettings());
  EXPECT_EQ(Read(path), "p1_left = Q\njoin_address = game-host.lan:7370\n");
  EXPECT_EQ(Loaded(Read(path)).joinAddress, "game-host.lan:7370");
  std::string told;
  const std::string bad[] = {"10.0.0.1:70; rm -rf", "host/7370", std::string(61, 'a')};
  for (const std::string& b : bad) {
    EXPECT_EQ(Loaded("join_address = " + b + "\n", &told).joinAddress, "") << b;
    EXPECT_NE(told.find("settings.ini:1: \"" + b + "\" is not an address"), std::string::npos) << told;
  }
}

// The relay online play goes through: host or host:port, read as the pages will use it; one
// that is not an address is told with its reason and no relay is used; none means none.
TEST_F(SettingsFile, TheRelaysAddressIsCheckedAsItIsRead) {
  struct Case {
    const char* value;  // null: no line
    const char* kept;
    const char* told;  // "" nothing
  };
  const Case cases[] = {
      {"relay.example.org", "relay.example.org", ""},
      {"10.0.0.5:7999", "10.0.0.5:7999", ""},
      {"", "", ""},
      {nullptr, "", ""},
      {"relay:0", "", "\"relay:0\" is not a relay's address (host or host:port): '0' is not a port"},
      {"relay:1:2", "", "has more than one ':'"},
      {"relay lan", "", "an address has letters, digits"},
      {":7380", "", "does not name a host"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(no line)");
    std::string told;
    Settings s = Loaded(c.value ? std::string("relay_address = ") + c.value + "\n" : "mute = 1\n", &told);
    EXPECT_EQ(s.relayAddress, c.kept);
    if (*c.told == 0) {
      EXPECT_EQ(told, "");
    } else {
      EXPECT_NE(told.find("settings.ini:1: "), std::string::npos) << told;
      EXPECT_NE(told.find(c.told), std::string::npos) << told;
      EXPECT_NE(told.find("goes through no relay"), std::string::npos) << told;
    }
  }
  EXPECT_EQ(SettingsFilePath(), path);
}

// No home, so no folder: the defaults, and a change is told as not saved rather than written
// wherever the game was started.
TEST_F(SettingsFile, WithoutASettingsFolderTheDefaultsPlayAndNothingIsWritten) {
  testing::internal::CaptureStderr();
  LoadSettings("");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no settings folder"), std::string::npos);
  EXPECT_EQ(settings.keys[0][kActLeft], vk::Left);
  settings.mute = 1;
  EXPECT_FALSE(SaveSettings());
}

// ---- The keys' bindings at work

// The computer holds player 2's keys as they are bound, never the defaults.
TEST_F(SettingsFile, TheComputerDrivesTheKeysPlayerTwosActionsAreBoundTo) {
  Loaded("p2_left = Keypad 4\np2_right = Keypad 6\np2_down = Keypad 2\np2_turn_cw = Keypad 9\np2_turn_ccw = Keypad 7\n");
  tuSystem::sys.sceneNo = 1;
  game.gameMode = kModeComputer;
  game.difficulty[0] = game.difficulty[1] = 1;
  game.computerLevel[1] = 3;
  int driven = 0, pieces = 0;
  for (int f = 0; f < 1500; ++f) {
    SkipOpeningWipe();
    tu::platform::AdvanceTick(16);
    int before = P(1).phase;
    GameScene();
    pieces += before == kPhaseControl && P(1).phase == kPhaseSetFlash;
    for (int k = 0; k < 5; ++k) {
      driven += tuSystem::sys.drivenKeys[PieceKey(1, k)] == 2;
      ASSERT_EQ(tuSystem::sys.drivenKeys[DefaultSettings().keys[1][k < 3 ? k : k + 1]], 0);
    }
  }
  EXPECT_GT(driven, 0);
  EXPECT_GE(pieces, 5) << "the computer did not play through its bound keys";
}

// ---- The OPTIONS screen

class Options : public SettingsFile {
 protected:
  void SetUp() override {
    SettingsFile::SetUp();
    Loaded("");
    tuSystem::sys.sceneNo = 2;
    game.gameMode = kModeOptions;
    Tap(vk::X);
    ASSERT_EQ(game.menuLevel, kMenuOptions);
  }
  void Frame() { SceneFrame(); }
  void Tap(int vk) { TapIn(vk); }
};

TEST_F(Options, ANewKeyIsTakenAKeyBoundElsewhereIsRefusedAndDefaultsBringBackTheDescribedKeys) {
  Tap(vk::Right);  // player 2's column, on MOVE LEFT
  Tap(vk::X);
  ASSERT_EQ(CurrentOptionsCursor().capturing, 1);
  Tap(tu::kKeyK);
  EXPECT_EQ(BoundKey(1, kActLeft), tu::kKeyK);
  EXPECT_EQ(Read(path), "p2_left = K\n");
  // X is player 1's clockwise turn: refused, the binding stays.
  Tap(vk::X);
  Tap(vk::X);
  EXPECT_EQ(CurrentOptionsCursor().capturing, 0);
  EXPECT_EQ(BoundKey(1, kActLeft), tu::kKeyK);
  EXPECT_EQ(BoundKey(0, kActTurnCw), vk::X);
  // Both players' pause on one key: that one key may share.
  for (int i = 0; i < kActPause; ++i) Tap(vk::Down);
  for (int pl : {0, 1}) {
    Tap(pl ? vk::Right : vk::Left);
    Tap(vk::X);
    Tap(tu::kKeyP);
    EXPECT_EQ(BoundKey(pl, kActPause), tu::kKeyP);
  }
  Tap(vk::Down);  // DEFAULTS
  ASSERT_EQ(CurrentOptionsCursor().row, kRowDefaults);
  Tap(vk::X);
  EXPECT_EQ(BoundKey(1, kActLeft), vk::A);
  EXPECT_EQ(BoundKey(0, kActPause), vk::Space);
  EXPECT_EQ(Read(path), "p2_left = A\np1_pause = Space\np2_pause = Space\n");
}

TEST_F(Options, SettingsChangeAtOnceAreWrittenAndTheBackKeyLeaves) {
  for (int i = 0; i < kRowEffects; ++i) Tap(vk::Down);
  Tap(vk::Left);
  Tap(vk::Left);
  EXPECT_EQ(settings.effectsVolume, 80);
  Tap(vk::Down);  // MUTE
  Tap(vk::X);
  EXPECT_EQ(settings.mute, 1);
  for (int i = kRowMute; i < kRowScaling; ++i) Tap(vk::Down);
  Tap(vk::Right);
  EXPECT_EQ(settings.scaling, tuSystem::kScaleFill);
  EXPECT_EQ(tuSystem::Scaling(), tuSystem::kScaleFill);
  tuSystem::SetScaling(tuSystem::kScaleWhole);
  EXPECT_EQ(Read(path), "effects_volume = 80\nmute = 1\nscaling = fill\n");
  Tap(vk::Z);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(game.gameMode, kModeOptions);
}

// ---- The volumes reach the sound device

// The game as it runs, headless, its mix heard through the public sound sink: a button sound
// in the menu and the music of a game that has just begun.
struct Heard {
  int effectsPeak = 0, musicPeak = 0;
};

Heard Listen(const std::string& settingsFile) {
  testing_support::ResetHeadless();
  tuSystem::UseHeadless();
  tu::platform::SetExeFolderOverride(asset_files::Dir() + "/");
  testing::internal::CaptureStderr();
  LoadSettings(settingsFile);
  testing::internal::GetCapturedStderr();
  SetSettingsSaving(false);
  char arg0[] = "quorbistane";
  char* argv[] = {arg0};
  Heard h;
  int* peak = &h.effectsPeak;
  tuSystem::SetSoundSink(
      [](const tuSystem::MixedSound& s, void* out) {
        const int16_t* p = static_cast<const int16_t*>(s.samples);
        int& m = **static_cast<int**>(out);
        for (int i = 0; i < s.frames * s.channels; ++i) m = std::max(m, std::abs(int{p[i]}));
      },
      &peak);
  EXPECT_EQ(tuSystem::Start(1, argv, GameProgram()), 1);
  auto frames = [](int n) {
    for (int i = 0; i < n; ++i) EXPECT_TRUE(tuSystem::RunFrame(16));
  };
  frames(5);
  tuSystem::PressKey(vk::X, 1);  // the one-player game: the choosing sound
  frames(40);
  tuSystem::PressKey(vk::X, 0);
  int ignored = 0;
  peak = &ignored;
  frames(5);
  tuSystem::PressKey(vk::X, 1);  // Easy: the game begins, its music after the opening wipe
  frames(2);
  tuSystem::PressKey(vk::X, 0);
  for (int i = 0; i < 300 && game.player[0].phase != kPhaseControl; ++i) frames(1);
  EXPECT_EQ(game.player[0].phase, kPhaseControl);
  peak = &h.musicPeak;
  frames(30);
  tuSystem::SetSoundSink(nullptr, nullptr);
  tuSystem::PressKey(vk::Escape, 1);
  tuSystem::RunFrame(16);
  tu::platform::ReleaseInstance();
  tu::platform::SetExeFolderOverride("");
  ResetSettings();
  return h;
}

TEST(SettingsVolumes, EachVolumeScalesWhatReachesTheDeviceAndMuteSilencesBoth) {
  Folder dir;
  Heard full = Listen(dir.File("none.ini"));
  ASSERT_GT(full.effectsPeak, 1000);
  ASSERT_GT(full.musicPeak, 1000);
  const struct {
    const char* text;
    double effects, music;
  } cases[] = {
      {"effects_volume = 50\n", 0.5, 1.0},
      {"music_volume = 50\neffects_volume = 10\n", 0.1, 0.5},
      {"mute = 1\n", 0.0, 0.0},
  };
  for (const auto& c : cases) {
    Write(dir.File("s.ini"), c.text);
    Heard h = Listen(dir.File("s.ini"));
    EXPECT_NEAR(h.effectsPeak, c.effects * full.effectsPeak, 0.02 * full.effectsPeak + 2) << c.text;
    EXPECT_NEAR(h.musicPeak, c.music * full.musicPeak, 0.02 * full.musicPeak + 2) << c.text;
  }
}

}  // namespace
