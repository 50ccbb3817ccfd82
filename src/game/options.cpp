// The OPTIONS screen of the title menu.
#include "game/options.h"

#include <cctype>
#include <cstdio>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/model.h"
#include "game/output.h"
#include "game/settings.h"

namespace {

// The screen's own key states: each player's menu keys, so both can work it (and the pads, which
// hold those keys), and while a key is awaited every key that can be bound.
struct Keys {
  int up[2] = {}, down[2] = {}, left[2] = {}, right[2] = {}, confirm[2] = {}, back[2] = {};
  int any[256] = {};
};

struct State {
  int row = 0, column = 0;
  int capturing = 0;
  char message[128] = {};
  bool warning = false;  // the message is a refusal or a failure
  Keys keys;
};
State st;

// Colours of the title's words (0x00BBGGRR): cream and gold, the players' red and blue, and
// the dark outline as a shadow.
constexpr uint32_t kCream = 0xE6FBFF, kGold = 0x5AC6F6, kRed = 0x5A5AFF, kBlue = 0xFF8C5A;
constexpr uint32_t kShadow = 0x38141E, kWarning = 0x506EFF, kInfo = 0xFFDC78, kHelp = 0xC0B0A8;

constexpr int kKeyRowY = 70, kRowHeight = 20, kLabelX = 56, kColumnX[2] = {318, 468};
constexpr int kSettingsY = 240, kPadsY = 384, kBackY = 408, kMessageY = 436, kHelpY = 458;

const char* const kActionLabels[kActions] = {"MOVE LEFT",          "MOVE RIGHT",        "FALL FASTER, MENU DOWN",
                                             "MENU UP",            "TURN CLOCKWISE, CHOOSE", "TURN ANTICLOCKWISE",
                                             "PAUSE"};

int RowY(int row) {
  if (row <= kRowDefaults) return kKeyRowY + kRowHeight * row;
  if (row < kRowBack) return kSettingsY + kRowHeight * (row - kRowMusic);
  return kBackY;
}

bool Pressed(const int* states) {
  return states[0] == tu::kKeyStatePressed || states[1] == tu::kKeyStatePressed;
}

void PollMenuKeys() {
  Keys& k = st.keys;
  for (int pl = 0; pl < 2; ++pl) {
    tuSystem::GetKey(BoundKey(pl, kActUp), &k.up[pl]);
    tuSystem::GetKey(BoundKey(pl, kActDown), &k.down[pl]);
    tuSystem::GetKey(BoundKey(pl, kActLeft), &k.left[pl]);
    tuSystem::GetKey(BoundKey(pl, kActRight), &k.right[pl]);
    tuSystem::GetKey(BoundKey(pl, kActTurnCw), &k.confirm[pl]);
    tuSystem::GetKey(BoundKey(pl, kActTurnCcw), &k.back[pl]);
  }
}

// Every key that can be bound, its state advanced; the first one pressed now, or 0.
int PollAnyKey() {
  int first = 0;
  for (int vk = 1; vk < 256; ++vk) {
    if (KeyReserved(vk)) continue;
    tuSystem::GetKey(vk, &st.keys.any[vk]);
    if (!first && st.keys.any[vk] == tu::kKeyStatePressed) first = vk;
  }
  return first;
}

void Say(bool warning, const char* format, const char* a = "", const char* b = "") {
  snprintf(st.message, sizeof st.message, format, a, b);
  st.warning = warning;
}

void Upper(char* s) {
  for (; *s; ++s) *s = static_cast<char>(toupper(static_cast<unsigned char>(*s)));
}

// The key's name as the screen shows it: upper case, like the game's words.
void KeyLabel(int vk, char* out, int size) {
  snprintf(out, static_cast<size_t>(size), "%s", tuSystem::KeyName(vk));
  Upper(out);
}

void ActionLabel(int index, char* out, int size) {
  snprintf(out, static_cast<size_t>(size), "PLAYER %d %s", index / kActions + 1, kActionLabels[index % kActions]);
}

void Store() {
  if (!SaveSettings()) Say(true, "NOT SAVED: THE REASON IS ON STANDARD ERROR");
}

void TakeKey(int vk) {
  int pl = st.column, action = st.row - kRowFirstKey;
  st.capturing = 0;
  char key[32], other[64];
  KeyLabel(vk, key, sizeof key);
  if (vk == BoundKey(pl, action)) {
    Say(false, "%s KEPT", key);
    return;
  }
  int taken = KeyTakenBy(settings, pl, action, vk);
  if (taken >= 0) {
    ActionLabel(taken, other, sizeof other);
    Say(true, "%s IS %s: NOT TAKEN", key, other);
    gameout::Play(assets.buttonSound);
    return;
  }
  settings.keys[pl][action] = vk;
  ApplyPadKeys();
  Say(false, "%s TAKEN", key);
  gameout::Play(assets.buttonSound2);
  Store();
  // The screen's menu keys may have changed: the new key, still held, is no press.
  PollMenuKeys();
}

int StepVolume(int percent, int dir) {
  int v = dir > 0 ? (percent / 10 + 1) * 10 : ((percent + 9) / 10 - 1) * 10;
  return v < 0 ? 0 : v > 100 ? 100 : v;
}

// Left, right or the choosing key (dir 0) on a row of settings.
void Change(int dir) {
  Settings& s = settings;
  switch (st.row) {
    case kRowMusic:
    case kRowEffects: {
      if (dir == 0) return;
      int& v = st.row == kRowMusic ? s.musicVolume : s.effectsVolume;
      v = StepVolume(v, dir);
      ApplyVolumes();
      break;
    }
    case kRowMute:
      s.mute = !s.mute;
      ApplyVolumes();
      break;
    case kRowOnTop:
      s.windowOnTop = !s.windowOnTop;
      tuSystem::SetWindowOnTop(s.windowOnTop);
      break;
    case kRowFpsMeter:
      s.fpsMeter = !s.fpsMeter;
      break;
    case kRowFullScreen:
      s.fullScreen = !s.fullScreen;
      // The window follows at once, as with F11.
      tuSystem::SetFullScreen(s.fullScreen);
      NoteFullScreen();
      break;
    case kRowScaling:
      s.scaling = s.scaling == tuSystem::kScaleFill ? tuSystem::kScaleWhole : tuSystem::kScaleFill;
      tuSystem::SetScaling(s.scaling);
      break;
    default:
      return;
  }
  st.message[0] = 0;
  // After the change, so a new effects volume is heard at once.
  gameout::Play(assets.buttonSound2);
  Store();
}

void Choose() {
  if (st.row < kRowDefaults) {
    st.capturing = 1;
    st.message[0] = 0;
    PollAnyKey();  // keys held now are no presses
    gameout::Play(assets.buttonSound2);
  } else if (st.row == kRowDefaults) {
    Settings d = DefaultSettings();
    for (int pl = 0; pl < 2; ++pl)
      for (int a = 0; a < kActions; ++a) settings.keys[pl][a] = d.keys[pl][a];
    ApplyPadKeys();
    Say(false, "EVERY KEY IS BACK TO ITS DEFAULT");
    gameout::Play(assets.buttonSound2);
    Store();
    PollMenuKeys();
  } else if (st.row == kRowBack) {
    game.menuLevel = 0;
    gameout::Play(assets.buttonSound2);
  } else {
    Change(0);
  }
}

void Steer() {
  const Keys& k = st.keys;
  if (Pressed(k.up)) {
    st.row = st.row == 0 ? kOptionsRows - 1 : st.row - 1;
    gameout::Play(assets.buttonSound);
  } else if (Pressed(k.down)) {
    st.row = st.row == kOptionsRows - 1 ? 0 : st.row + 1;
    gameout::Play(assets.buttonSound);
  } else if (Pressed(k.left) || Pressed(k.right)) {
    int dir = Pressed(k.left) ? -1 : 1;
    if (st.row < kRowDefaults) {
      st.column = dir < 0 ? 0 : 1;
      gameout::Play(assets.buttonSound);
    } else {
      Change(dir);
    }
  } else if (Pressed(k.confirm)) {
    Choose();
  } else if (Pressed(k.back)) {
    game.menuLevel = 0;
    gameout::Play(assets.buttonSound2);
  }
}

// ---- Drawing: the sprites first (the backdrop, the word, the bar under the cursor), then the
// text in one scope.

void DrawBar(int x, int y, int width) {
  int font = assets.fontSprite;
  // The bar art is 360 wide with an edge on its left: a longer bar goes on with its plain part.
  int first = width < 360 ? width : 360;
  gameout::Draw(x, y, font, 0, 552, first, 552 + kRowHeight);
  for (int done = first; done < width; done += 356) {
    int part = width - done < 356 ? width - done : 356;
    gameout::Draw(x + done, y, font, 4, 552, 4 + part, 552 + kRowHeight);
  }
}

void Shadowed(int x, int y, const char* text, uint32_t colour) {
  tuDraw::SetTextColors(kShadow, 0, 1);
  tuDraw::Text(x + 1, y + 1, text);
  tuDraw::SetTextColors(colour, 0, 1);
  tuDraw::Text(x, y, text);
}

const char* OnOff(int on) { return on ? "ON" : "OFF"; }

void DrawText() {
  const Settings& s = settings;
  char line[256];
  tuDraw::BeginTextFace("DejaVu Sans", 15, 0, tuDraw::kWeightBold, 0, 0);
  Shadowed(kColumnX[0], kKeyRowY - 22, "PLAYER 1", kRed);
  Shadowed(kColumnX[1], kKeyRowY - 22, "PLAYER 2", kBlue);
  for (int a = 0; a < kActions; ++a) {
    int y = RowY(kRowFirstKey + a);
    Shadowed(kLabelX, y, kActionLabels[a], kCream);
    for (int pl = 0; pl < 2; ++pl) {
      bool awaited = st.capturing && st.row == a && st.column == pl;
      if (awaited) {
        if (tuSystem::sys.blinkOn) Shadowed(kColumnX[pl], y, "PRESS A KEY", kInfo);
        continue;
      }
      KeyLabel(BoundKey(pl, a), line, sizeof line);
      Shadowed(kColumnX[pl], y, line, kGold);
    }
  }
  Shadowed(kLabelX, RowY(kRowDefaults), "DEFAULTS", kCream);
  struct Value {
    int row;
    const char* label;
  };
  const Value values[] = {{kRowMusic, "MUSIC VOLUME"},          {kRowEffects, "EFFECTS VOLUME"},
                          {kRowMute, "MUTE"},                   {kRowOnTop, "WINDOW ON TOP"},
                          {kRowFpsMeter, "FRAME-RATE METER"},   {kRowFullScreen, "FULLSCREEN AT START"},
                          {kRowScaling, "SCALING"}};
  for (const Value& v : values) {
    int y = RowY(v.row);
    Shadowed(kLabelX, y, v.label, kCream);
    switch (v.row) {
      case kRowMusic: snprintf(line, sizeof line, "%d %%", s.musicVolume); break;
      case kRowEffects: snprintf(line, sizeof line, "%d %%", s.effectsVolume); break;
      case kRowMute: snprintf(line, sizeof line, "%s", OnOff(s.mute)); break;
      case kRowOnTop: snprintf(line, sizeof line, "%s", OnOff(s.windowOnTop)); break;
      case kRowFpsMeter: snprintf(line, sizeof line, "%s", s.fpsMeter ? "SHOWN" : "HIDDEN"); break;
      case kRowFullScreen: snprintf(line, sizeof line, "%s", OnOff(s.fullScreen)); break;
      default:
        snprintf(line, sizeof line, "%s", s.scaling == tuSystem::kScaleFill ? "FILL THE SCREEN" : "WHOLE FACTOR");
        break;
    }
    Shadowed(kColumnX[0], y, line, kGold);
  }
  Shadowed(kLabelX, kPadsY, "PADS", kCream);
  for (int pl = 0; pl < 2; ++pl) {
    snprintf(line, sizeof line, "%s", tuSystem::PadConnected(pl) ? "PAD CONNECTED" : "NO PAD");
    Shadowed(kColumnX[pl], kPadsY, line, tuSystem::PadConnected(pl) ? (pl ? kBlue : kRed) : kHelp);
  }
  Shadowed(kLabelX, RowY(kRowBack), "BACK", kCream);
  if (st.message[0]) Shadowed(kLabelX, kMessageY, st.message, st.warning ? kWarning : kInfo);
  tuDraw::EndText();

  // The keys of the screen, in smaller letters, as they are bound now.
  char up[32], down[32], left[32], right[32], choose[32], back[32];
  KeyLabel(BoundKey(0, kActUp), up, sizeof up);
  KeyLabel(BoundKey(0, kActDown), down, sizeof down);
  KeyLabel(BoundKey(0, kActLeft), left, sizeof left);
  KeyLabel(BoundKey(0, kActRight), right, sizeof right);
  KeyLabel(BoundKey(0, kActTurnCw), choose, sizeof choose);
  KeyLabel(BoundKey(0, kActTurnCcw), back, sizeof back);
  if (st.capturing)
    snprintf(line, sizeof line, "PRESS THE NEW KEY (THE KEY IT HAS KEEPS IT)");
  else if (st.row < kRowDefaults)
    snprintf(line, sizeof line, "%s %s: ROW   %s %s: PLAYER   %s: CHANGE   %s: BACK", up, down, left, right, choose, back);
  else
    snprintf(line, sizeof line, "%s %s: ROW   %s %s %s: CHANGE   %s: BACK", up, down, left, right, choose, back);
  tuDraw::BeginTextFace("DejaVu Sans", 12, 0, tuDraw::kWeightNormal, 0, 0);
  Shadowed(kLabelX, kHelpY, line, kHelp);
  tuDraw::EndText();
}

void Draw() {
  gameout::Draw(0, 0, assets.backSprites[3], 0, 0, 640, 480);
  gameout::Draw(202, 10, assets.fontSprite, 0, 381, 236, 416);
  int y = RowY(st.row) - 2;
  if (st.row < kRowDefaults)
    DrawBar(kColumnX[st.column] - 8, y, 140);
  else
    DrawBar(kLabelX - 8, y, st.row >= kRowMusic && st.row < kRowBack ? 420 : 140);
  DrawText();
}

}  // namespace

void OpenOptions() {
  st = State{};
  PollMenuKeys();
}

OptionsCursor CurrentOptionsCursor() { return {st.row, st.column, st.capturing}; }

void OptionsScreen() {
  // Polled every frame, so their states are current when a captured key comes up again.
  PollMenuKeys();
  if (st.capturing) {
    int vk = PollAnyKey();
    if (vk) TakeKey(vk);
  } else {
    Steer();
  }
  // Drawn in the frame that leaves it too: the title follows in the next.
  Draw();
}
