// The ONLINE pages and the online game in the game's window.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/game.h"
#include "game/input.h"
#include "game/model.h"
#include "game/output.h"
#include "game/pages.h"
#include "game/playback.h"
#include "game/records.h"
#include "game/settings.h"
#include "online/address.h"
#include "online/online.h"

namespace online {
namespace {

constexpr uint32_t kOutcomeMs = 5000;   // the win and lose pictures, unless confirmed sooner
constexpr uint32_t kEndShownMs = 4000;  // the reason a match ended, before the title

// Colours (0x00BBGGRR) of the pages' text: the menu's cream, a pale blue, a warning red.
constexpr uint32_t kCream = 0xC8E6FF, kPale = 0xF0D2C8, kRed = 0x6060FF;

struct Keys {
  int up = 0, down = 0, left = 0, right = 0, confirm = 0, back = 0;
};

struct State {
  Page page = Page::Off;
  std::unique_ptr<net::Match> match;
  int cursor = 0;
  std::string typed;
  std::string status;
  std::string endReason;
  std::string desync;
  uint32_t since = 0;
  bool chosen = false;
  bool drawn = false;
  Keys keys;
  // The command line's start, begun once the assets are loaded.
  int startKind = 0;  // 0 none, 1 host, 2 join
  uint16_t startPort = kDefaultPort;
  std::string startAddress;
} st;

uint32_t Now() { return tuSystem::Tick(); }

bool Pressed(int state) { return state == tu::kKeyStatePressed; }

// Player 1's menu keys, and the anticlockwise key (or Backspace) to go back.
void PollKeys() {
  Keys& k = st.keys;
  tuSystem::GetKey(BoundKey(0, kActUp), &k.up);
  tuSystem::GetKey(BoundKey(0, kActDown), &k.down);
  tuSystem::GetKey(BoundKey(0, kActLeft), &k.left);
  tuSystem::GetKey(BoundKey(0, kActRight), &k.right);
  tuSystem::GetKey(BoundKey(0, kActTurnCw), &k.confirm);
  tuSystem::GetKey(BoundKey(0, kActTurnCcw), &k.back);
}

// The other side depends on this one's steps and answers: an online window runs on while it is
// behind another or minimised.
void RunInactive(bool on) {
  if (on)
    tuSystem::sys.configFlags |= tuSystem::kConfigRunInactive;
  else
    tuSystem::sys.configFlags &= ~tuSystem::kConfigRunInactive;
}

void Enter(Page p) {
  RunInactive(p != Page::Off);
  st.page = p;
  st.since = Now();
  st.cursor = 0;
  st.chosen = false;
  // Keys held as a page opens are no presses on it.
  PollKeys();
}

void StopMusic() {
  for (int id : assets.music) gameout::Stop(id);
}

// Back to the title menu with the ONLINE item under the cursor.
void ToTitle() {
  if (st.match) st.match->Leave();
  st.match.reset();
  StopMusic();
  BackToMenu(0);
  game.gameMode = kModeOnline;
  st.page = Page::Off;
  RunInactive(false);
}

void EndMatch(const std::string& reason) {
  st.endReason = reason;
  Enter(Page::Ended);
}

// ---- Drawing

void Text(int top, int bottom, const std::string& text, uint32_t color, int size) {
  PageText(0, top, 640, bottom, text.c_str(), color, tuDraw::kAlignCentre, size);
}

void Box(int left, int top, int right, int bottom) { tuDraw::Rect(left, top, right, bottom, 0x461923, 0x461923, 1); }

void Backdrop() {
  gameout::Clear();
  gameout::Draw(0, 0, assets.titleSprite, 0, 0, 640, 480);
}

void StatusText() {
  if (!st.status.empty()) Text(440, 470, st.status, kRed, 14);
}

// A list of text items in the menu's style, the highlight bar under the cursor.
void Items(const char* const* items, int count, int top, int cursor) {
  for (int i = 0; i < count; ++i) {
    int y = top + 40 * i;
    if (i == cursor) gameout::Draw(180, y, assets.fontSprite, 0, 552, 280, 590);
    Text(y + 2, y + 38, items[i], kCream, 26);
  }
}

// ---- The pages

const char* const kChoiceItems[3] = {"HOST A GAME", "JOIN A GAME", "BACK"};

void ChoicePage() {
  Backdrop();
  Box(110, 225, 530, 435);
  Text(228, 258, "ONLINE", kPale, 20);
  Keys& k = st.keys;
  if (Pressed(k.up)) st.cursor = (st.cursor + 2) % 3, gameout::Play(assets.buttonSound);
  if (Pressed(k.down)) st.cursor = (st.cursor + 1) % 3, gameout::Play(assets.buttonSound);
  Items(kChoiceItems, 3, 268, st.cursor);
  Text(392, 412, "one player on each machine, each with player 1's keys", kPale, 12);
  StatusText();
  if (Pressed(k.back)) {
    gameout::Play(assets.buttonSound2);
    ToTitle();
    return;
  }
  if (!Pressed(k.confirm)) return;
  gameout::Play(assets.buttonSound2);
  if (st.cursor == 0) {
    StartHost(kDefaultPort);
  } else if (st.cursor == 1) {
    st.status.clear();
    st.typed = settings.joinAddress;
    Enter(Page::Join);
  } else {
    ToTitle();
  }
}

void WaitingPage() {
  Backdrop();
  Box(70, 225, 570, 435);
  net::Match& m = *st.match;
  char line[160];
  if (st.page == Page::Host) {
    snprintf(line, sizeof line, "HOSTING ON PORT %u", m.Port());
    Text(232, 262, line, kCream, 22);
    Text(266, 284, "the other player joins at one of these addresses:", kPale, 13);
    std::vector<std::string> addresses = LocalAddresses();
    int y = 288;
    for (size_t i = 0; i < addresses.size() && i < 4; ++i, y += 22) {
      snprintf(line, sizeof line, "%s:%u", addresses[i].c_str(), m.Port());
      Text(y, y + 22, line, kCream, 17);
    }
    snprintf(line, sizeof line, "waiting for a player… %u s", (Now() - st.since) / 1000);
  } else {
    Text(232, 262, "JOINING", kCream, 22);
    Text(270, 292, st.typed, kCream, 17);
    snprintf(line, sizeof line, "connecting... %u s", (Now() - st.since) / 1000);
  }
  Text(382, 404, line, kPale, 15);
  snprintf(line, sizeof line, "%s or Backspace: cancel", PageKeyName(BoundKey(0, kActTurnCcw)));
  Text(408, 428, line, kPale, 12);
  StatusText();
  if (Pressed(st.keys.back) || tuSystem::IsKeyPressed(tu::kKeyBackspace)) {
    gameout::Play(assets.buttonSound2);
    st.match->Leave();
    st.match.reset();
    Enter(Page::Choice);
  }
}

void JoinPage() {
  Backdrop();
  Box(70, 225, 570, 435);
  Text(232, 262, "JOIN A GAME", kCream, 22);
  Text(268, 288, "type the host's address and port (host:port)", kPale, 13);
  for (int vk = 1; vk < 256; ++vk) {
    if (!tuSystem::IsKeyPressed(vk)) continue;
    char c = AddressChar(vk);
    if (c && st.typed.size() < kMaxAddressLength) st.typed += c;
  }
  bool back = false;
  if (tuSystem::IsKeyPressed(tu::kKeyBackspace)) {
    if (st.typed.empty())
      back = true;
    else
      st.typed.pop_back();
  }
  tuDraw::Rect(110, 296, 530, 326, 0x2A0E14, 0xC8E6FF, 1);
  bool caret = (Now() / 500) % 2 == 0;
  Text(300, 324, st.typed + (caret ? "_" : " "), kCream, 18);
  Text(340, 360, "Enter: connect     Backspace on an empty line: back", kPale, 12);
  StatusText();
  if (back) {
    st.status.clear();
    Enter(Page::Choice);
    st.cursor = 1;
    return;
  }
  if (tuSystem::IsKeyPressed(tu::kKeyEnter)) StartJoin(st.typed);
}

struct LevelItem {
  int x, y, left, top, right, bottom, hiRight, hiBottom;
};
constexpr LevelItem kLevelItems[4] = {
    {255, 234, 0, 143, 133, 181, 133, 590},
    {209, 284, 0, 192, 217, 230, 217, 590},
    {251, 334, 0, 242, 144, 280, 144, 590},
    {253, 384, 159, 416, 298, 457, 139, 593},
};
const char* const kLevelNames[3] = {"EASY", "NORMAL", "HARD"};

void LevelsPage() {
  Backdrop();
  net::Match& m = *st.match;
  int side = m.Side();
  // The player label of this side: 1P for the host, 2P for the joiner.
  if (side == 0)
    gameout::Draw(123, 234, assets.fontSprite, 0, 416, 61, 457);
  else
    gameout::Draw(123, 234, assets.fontSprite, 78, 416, 142, 457);
  int font = assets.fontSprite;
  char line[120];
  if (!st.chosen) {
    const LevelItem& hi = kLevelItems[st.cursor];
    gameout::Draw(hi.x, hi.y, font, 0, 552, hi.hiRight, hi.hiBottom);
    for (const LevelItem& it : kLevelItems) gameout::Draw(it.x, it.y, font, it.left, it.top, it.right, it.bottom);
    Keys& k = st.keys;
    // Easy, Normal, Hard and back: an online game has no hidden level.
    if (Pressed(k.up)) {
      st.cursor = (st.cursor + 3) % 4;
      gameout::Play(assets.buttonSound);
    }
    if (Pressed(k.down)) {
      st.cursor = (st.cursor + 1) % 4;
      gameout::Play(assets.buttonSound);
    }
    if (Pressed(k.confirm)) {
      gameout::Play(assets.buttonSound2);
      if (st.cursor == 3) {
        ToTitle();
        return;
      }
      m.ChooseLevel(st.cursor);
      st.chosen = true;
    }
  } else {
    Box(200, 240, 600, 330);
    int mine = m.Level(side);
    snprintf(line, sizeof line, "you: %s", mine >= 0 && mine <= 2 ? kLevelNames[mine] : "?");
    PageText(200, 248, 600, 274, line, kCream, tuDraw::kAlignCentre, 20);
    PageText(200, 286, 600, 310, "waiting for the other player to choose...", kPale, tuDraw::kAlignCentre, 14);
  }
  // The foot line, over the title's key line: what the other side has chosen.
  int other = m.Level(1 - side);
  if (other >= 0 && other <= 2)
    snprintf(line, sizeof line, "the other player (%s) chose %s", side == 0 ? "2P" : "1P", kLevelNames[other]);
  else
    snprintf(line, sizeof line, "the other player (%s, version %s) is choosing", side == 0 ? "2P" : "1P",
             m.OtherVersion().c_str());
  Box(126, 443, 514, 470);
  Text(446, 468, line, kPale, 13);
}

// The game as it stands, with the round trip in a corner and the notice of a silent partner.
void DrawPlaying() {
  DrawGamePicture(false);
  const net::Match& m = *st.match;
  char line[80];
  snprintf(line, sizeof line, "%s  %u ms", m.Side() == 0 ? "you 1P" : "you 2P", m.RoundTripMs());
  PageText(4, 462, 200, 478, line, kPale, tuDraw::kAlignLeft, 11);
  if (m.Game().State() == net::SessionState::Waiting) {
    Box(150, 214, 490, 256);
    snprintf(line, sizeof line, "waiting for the other player… %.0f s", m.Game().WaitingSeconds(Now()));
    Text(224, 248, line, kCream, 16);
  }
  st.drawn = true;
}

void PlayStep() {
  net::Match& m = *st.match;
  if (m.Phase() != net::MatchPhase::Playing) return;
  // This side's own player-1 keys; the pause would stop both games, so it is not sent.
  uint8_t held = ReadInput().held[0] & static_cast<uint8_t>(~(1u << kActPause));
  m.Step(held, Now());
  int extra = m.Game().ExtraMsPerStep();
  if (extra > 0) DelaySteps(static_cast<uint32_t>(extra));
  if (gameout::output.draw && m.Phase() == net::MatchPhase::Playing) DrawPlaying();
}

// A desync: this side's replay and a dump of its last confirmed state go to the replays folder.
void KeepDesyncReport(net::Match& m) {
  std::string error;
  if (!SaveRecording(&error)) fprintf(stderr, "quorbistane: %s\n", error.c_str());
  std::string folder = ReplaysFolderInUse();
  if (folder.empty()) return;
  GameSnapshot s;
  uint32_t steps = m.Game().ConfirmedSteps();
  if (!m.Game().ConfirmedState(steps, &s)) Snapshot(s);
  char stamp[32];
  time_t t = time(nullptr);
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", localtime(&t));
  char name[96];
  snprintf(name, sizeof name, "desync-%s-game%u-side%d.txt", stamp, m.GameNumber(), m.Side() + 1);
  std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
  char heading[160];
  snprintf(heading, sizeof heading, "%s; side %d; confirmed steps %u", m.EndReason().c_str(), m.Side() + 1, steps);
  if (WriteStateDump(path, s, heading, &error)) {
    st.desync = path;
    fprintf(stderr, "quorbistane: %s: the replay and %s are kept\n", m.EndReason().c_str(), path.c_str());
  } else {
    fprintf(stderr, "quorbistane: %s\n", error.c_str());
  }
}

// After a step or a poll: the phase the match is in now decides the page.
void Follow() {
  net::Match& m = *st.match;
  switch (m.Phase()) {
    case net::MatchPhase::Ended:
      if (st.page == Page::Ended) break;
      if (st.page == Page::Playing) {
        if (m.EndReason().rfind("out of sync", 0) == 0) {
          KeepDesyncReport(m);
        } else {
          std::string error;
          if (!SaveRecording(&error)) fprintf(stderr, "quorbistane: %s\n", error.c_str());
        }
      }
      EndMatch(m.EndReason());
      break;
    case net::MatchPhase::Levels:
      if (st.page == Page::Host || st.page == Page::Connecting) {
        fprintf(stderr, "quorbistane: connected to the other player (%s), side %d\n", m.OtherVersion().c_str(),
                m.Side() + 1);
        Enter(Page::Levels);
      }
      break;
    case net::MatchPhase::Playing:
      if (st.page != Page::Playing) {
        static const char* const kLevels[3] = {"Easy", "Normal", "Hard"};
        auto level = [&](int side) { return m.Level(side) >= 0 && m.Level(side) <= 2 ? kLevels[m.Level(side)] : "?"; };
        fprintf(stderr, "quorbistane: online game %u starts: 1P %s, 2P %s\n", m.GameNumber(), level(0), level(1));
        StopMusic();
        Enter(Page::Playing);
      }
      break;
    case net::MatchPhase::Continue:
      if (st.page == Page::Playing) {
        std::string error;
        if (!SaveRecording(&error)) fprintf(stderr, "quorbistane: %s\n", error.c_str());
        // The confirmed outcome counts in the versus tally (the game's own step does not count
        // an online game's, which may be a prediction).
        RecordGameOver();
        Enter(Page::Outcome);
      }
      break;
    default:
      break;
  }
}

void PlayingPage() {
  st.drawn = false;
  RunSteps(PlayStep);
  if (!st.drawn && st.match->Phase() == net::MatchPhase::Playing) DrawPlaying();
  Follow();
}

void OutcomePage() {
  DrawGamePicture(false);
  DrawVersusOutcome();
  if (Now() - st.since > kOutcomeMs || Pressed(st.keys.confirm)) Enter(Page::Question);
}

void QuestionPage() {
  DrawGamePicture(false);
  Keys& k = st.keys;
  if (Pressed(k.left) || Pressed(k.right)) {
    st.cursor = 1 - st.cursor;
    gameout::Play(assets.buttonSound);
  }
  DrawContinueQuestion(st.cursor);
  if (!Pressed(k.confirm)) return;
  gameout::Play(assets.buttonSound2);
  bool yes = st.cursor == 0;
  st.match->AnswerContinue(yes);
  StopMusic();
  if (!yes) {
    EndMatch("you said no");
    return;
  }
  Enter(Page::Answered);
}

void AnsweredPage() {
  DrawGamePicture(false);
  Box(150, 234, 490, 276);
  Text(244, 268, "waiting for the other player's answer...", kCream, 15);
}

}  // namespace

std::vector<std::string> WrapText(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.size();
    if (end - at > width) {
      end = text.rfind(' ', at + width);
      if (end == std::string::npos || end <= at) end = at + width;
    }
    lines.push_back(text.substr(at, end - at));
    at = end;
    while (at < text.size() && text[at] == ' ') ++at;
  }
  return lines;
}

namespace {

void EndedPage() {
  Backdrop();
  Box(40, 225, 600, 435);
  Text(240, 270, "THE ONLINE MATCH IS OVER", kCream, 20);
  // A refusal names both versions and their rules: too long for one line.
  std::vector<std::string> lines = WrapText(st.endReason, 64);
  for (size_t i = 0; i < lines.size() && i < 3; ++i)
    Text(276 + 18 * static_cast<int>(i), 294 + 18 * static_cast<int>(i), lines[i], kRed, 14);
  if (!st.desync.empty()) {
    Text(334, 350, "this side's replay and state are kept for a report:", kPale, 12);
    Text(352, 368, st.desync, kPale, 11);
  }
  char line[80];
  uint32_t left = (kEndShownMs - std::min(kEndShownMs, Now() - st.since) + 999) / 1000;
  snprintf(line, sizeof line, "back to the title in %u s", left);
  Text(395, 415, line, kPale, 13);
  if (Now() - st.since > kEndShownMs || Pressed(st.keys.confirm)) ToTitle();
}

}  // namespace

void Install() {
  OnlineHooks h;
  h.frame = Frame;
  h.open = Open;
  h.started = Started;
  h.stopped = Stopped;
  h.argument = TakeArgument;
  h.secondCopy = [] { return true; };
  h.usage = " [--host [PORT] | --join HOST:PORT]";
  h.help =
      "  --host [PORT]  hosts an online game on PORT (7370 if left out; 0 any free one)\n"
      "  --join HOST:PORT  joins the online game hosted at HOST:PORT\n"
      "                 (either may run beside another copy of the game, to try it on one machine)\n";
  InstallOnline(h);
}

void Open() {
  st.status.clear();
  st.desync.clear();
  Enter(Page::Choice);
}

void Started() {
  int kind = st.startKind;
  st.startKind = 0;
  if (kind == 0) return;
  Open();
  if (kind == 1)
    StartHost(st.startPort);
  else
    StartJoin(st.startAddress);
  // A start that failed is told on the page that ends the match, then the title.
  if (st.page == Page::Choice) EndMatch(st.status);
}

void Stopped() {
  if (st.match) st.match->Leave();
  st.match.reset();
  st.page = Page::Off;
}

int TakeArgument(int argc, char** argv, int i, std::string* error) {
  bool host = strcmp(argv[i], "--host") == 0, join = strcmp(argv[i], "--join") == 0;
  if (!host && !join) return 0;
  if (st.startKind != 0) {
    *error = "only one of --host and --join, once";
    return -1;
  }
  if (host) {
    st.startKind = 1;
    st.startPort = kDefaultPort;
    if (i + 1 < argc && argv[i + 1][0] != '-') {
      if (!ParsePort(argv[i + 1], true, &st.startPort, error)) {
        *error = "--host: " + *error;
        st.startKind = 0;
        return -1;
      }
      return 2;
    }
    return 1;
  }
  std::string h;
  uint16_t port = 0;
  if (i + 1 == argc) {
    *error = "--join needs HOST:PORT";
    return -1;
  }
  if (!ParseHostPort(argv[i + 1], &h, &port, error)) {
    *error = "--join: " + *error;
    return -1;
  }
  st.startKind = 2;
  st.startAddress = argv[i + 1];
  return 2;
}

bool StartHost(uint16_t port) {
  auto m = std::make_unique<net::Match>();
  std::string error;
  if (!m->Host(port, &error)) {
    st.status = "cannot host: " + error;
    return false;
  }
  st.status.clear();
  // Told on standard error too: a host started from a terminal (or a script) learns the port.
  fprintf(stderr, "quorbistane: hosting an online game on port %u\n", m->Port());
  st.match = std::move(m);
  Enter(Page::Host);
  return true;
}

bool StartJoin(const std::string& address) {
  std::string host, error;
  uint16_t port = 0;
  if (!ParseHostPort(address, &host, &port, &error)) {
    st.status = error;
    return false;
  }
  auto m = std::make_unique<net::Match>();
  if (!m->Join(host, port, &error)) {
    st.status = "cannot join: " + error;
    return false;
  }
  st.status.clear();
  st.typed = address;
  // The address is offered again next time.
  if (settings.joinAddress != address) {
    settings.joinAddress = address;
    SaveSettings();
  }
  st.match = std::move(m);
  Enter(Page::Connecting);
  return true;
}

bool Frame() {
  if (st.page == Page::Off) return false;
  PollKeys();
  if (st.match && st.page != Page::Playing) {
    st.match->Poll(Now());
    Follow();
  }
  if (st.page != Page::Playing) gameout::Clear();
  switch (st.page) {
    case Page::Choice:
      ChoicePage();
      break;
    case Page::Host:
    case Page::Connecting:
      WaitingPage();
      break;
    case Page::Join:
      JoinPage();
      break;
    case Page::Levels:
      LevelsPage();
      break;
    case Page::Playing:
      PlayingPage();
      break;
    case Page::Outcome:
      OutcomePage();
      break;
    case Page::Question:
      QuestionPage();
      break;
    case Page::Answered:
      AnsweredPage();
      break;
    case Page::Ended:
      EndedPage();
      break;
    case Page::Off:
      break;
  }
  gameout::Present();
  return true;
}

Page CurrentPage() { return st.page; }
const std::string& StatusLine() { return st.status; }
const std::string& TypedAddress() { return st.typed; }
net::Match* CurrentMatch() { return st.match.get(); }
const std::string& DesyncReport() { return st.desync; }

void UseMatch(std::unique_ptr<net::Match> match, Page page) {
  st.match = std::move(match);
  st.status.clear();
  Enter(page);
}

}  // namespace online
