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
#include "net/relay_client.h"
#include "net/relay_protocol.h"

namespace online {
namespace {

constexpr uint32_t kOutcomeMs = 5000;   // the win and lose pictures, unless confirmed sooner
constexpr uint32_t kEndShownMs = 4000;  // the reason a match ended, before the title
static_assert(kRelayPort == net::kRelayDefaultPort, "the settings' relay port is the relay's");

// Colours (0x00BBGGRR) of the pages' text: the menu's cream, a pale blue, a warning red.
constexpr uint32_t kCream = 0xC8E6FF, kPale = 0xF0D2C8, kRed = 0x6060FF;

struct Keys {
  int up = 0, down = 0, left = 0, right = 0, confirm = 0, back = 0, pause = 0;
};

struct State {
  Page page = Page::Off;
  // The relay a match goes through, if it does; before the match, which uses it to its end.
  std::unique_ptr<net::RelayTransport> relay;
  std::unique_ptr<net::Match> match;
  std::unique_ptr<net::Watcher> watcher;  // watching instead of playing
  std::string watchersShown;              // the players' "N watching" line this frame
  std::string relayName;  // the relay's host:port, as the pages name it
  std::string watched, watchedVia;  // what is watched (a room's code, an address) and how
  bool codeTold = false;  // the room's code is on standard output
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
  int startKind = 0;  // 0 none, 1 host, 2 join, 3 watch
  uint16_t startPort = kDefaultPort;
  bool startPortGiven = false;
  std::string startAddress;
  std::string relayArgument;  // --relay's, which stands for relay_address for the whole run
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
  tuSystem::GetKey(BoundKey(0, kActPause), &k.pause);
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

// The match says goodbye and goes, then the relay it went through; a watcher leaves.
void DropMatch() {
  if (st.match) st.match->Leave();
  st.match.reset();
  st.relay.reset();
  if (st.watcher) st.watcher->Leave();
  st.watcher.reset();
}

// Back to the title menu with the ONLINE item under the cursor.
void ToTitle() {
  DropMatch();
  StopMusic();
  BackToMenu(0);
  game.gameMode = kModeOnline;
  st.page = Page::Off;
  RunInactive(false);
}

void EndMatch(const std::string& reason) {
  // Told on standard error too, for a window started from a script.
  fprintf(stderr, "quorbistane: %s: %s\n", st.watcher ? "watching is over" : "the online match is over",
          reason.c_str());
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

// What went wrong last, at the foot over the title's key line: on up to three lines when it is
// long (a path in it).
void StatusText() {
  if (st.status.empty()) return;
  std::vector<std::string> lines = WrapText(st.status, 84);
  if (lines.size() == 1) {
    Box(16, 438, 624, 474);
    Text(440, 470, lines[0], kRed, 14);
    return;
  }
  const int n = static_cast<int>(std::min<size_t>(lines.size(), 3)), top = 474 - 2 - 15 * n;
  Box(16, top - 2, 624, 476);
  for (int i = 0; i < n; ++i) Text(top + 15 * i, top + 15 * i + 15, lines[i], kRed, 12);
}

// The relay this run goes through: --relay's, else the settings file's ("" none).
const std::string& RelaySetting() { return st.relayArgument.empty() ? settings.relayAddress : st.relayArgument; }

std::string NoRelayMessage() {
  std::string path = SettingsFilePath();
  return "no relay is set: add relay_address = HOST[:PORT] to " + (path.empty() ? std::string("the settings file") : path) +
         " (the README tells how to run a relay)";
}

// The relay this run goes through, read: false with the reason on the status line (none set, or
// a malformed one).
bool RelayInUse(std::string* host, uint16_t* port) {
  std::string error;
  if (RelaySetting().empty()) {
    st.status = NoRelayMessage();
    return false;
  }
  if (!ParseAddress(RelaySetting(), kRelayPort, host, port, &error)) {
    st.status = "relay_address: " + error;
    return false;
  }
  return true;
}

// Starts a match through the relay: hosting (a room whose code the relay gives) or joining the
// room of `code`. False with the reason on the status line.
bool StartOnRelay(bool hosting, const std::string& code) {
  std::string host, error;
  uint16_t port = 0;
  if (!RelayInUse(&host, &port)) return false;
  std::unique_ptr<net::RelayTransport> t =
      hosting ? net::HostOnRelay(host, port, &error) : net::JoinOnRelay(host, port, code, &error);
  if (!t) {
    st.status = (hosting ? "cannot host on the relay: " : "cannot join through the relay: ") + error;
    return false;
  }
  DropMatch();
  auto m = std::make_unique<net::Match>();
  m->Use(*t, hosting ? 0 : 1);
  st.relay = std::move(t);
  st.match = std::move(m);
  st.relayName = host + ":" + std::to_string(port);
  st.codeTold = false;
  st.status.clear();
  if (hosting)
    fprintf(stderr, "quorbistane: hosting an online game through the relay at %s\n", st.relayName.c_str());
  else
    fprintf(stderr, "quorbistane: joining room %s through the relay at %s\n", st.relay->RoomCode().c_str(),
            st.relayName.c_str());
  Enter(hosting ? Page::Host : Page::Connecting);
  return true;
}

// How many watch the game, for its players: a small line at the foot's right, only when any do.
void WatchersLine() {
  const int n = st.match ? st.match->Watchers() : 0;
  if (n <= 0) return;
  st.watchersShown = std::to_string(n) + " watching";
  PageText(520, 462, 636, 478, st.watchersShown.c_str(), kPale, tuDraw::kAlignRight, 11);
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

// The ONLINE page's items, top to bottom; the page is laid out for as many as there are.
enum ChoiceItem { kHostItem, kHostOnRelayItem, kJoinItem, kWatchItem, kBackItem, kChoiceCount };
const char* const kChoiceItems[kChoiceCount] = {"HOST A GAME", "HOST ON RELAY", "JOIN A GAME", "WATCH A GAME",
                                                "BACK"};

// The line under the items: what the one under the cursor does.
std::string ChoiceHint(int item) {
  char line[160];
  switch (item) {
    case kHostItem:
      snprintf(line, sizeof line, "on port %u: the other player types this machine's address", kDefaultPort);
      return line;
    case kHostOnRelayItem:
      if (RelaySetting().empty()) return "needs a relay: relay_address in the settings file";
      return "through the relay at " + RelaySetting() + ": the other player types the room's code";
    case kJoinItem:
      return "type the host's address, or the room's code for a game on the relay";
    case kWatchItem:
      return "a game a second behind its players: the host's address or the room's code";
    default:
      return "one player on each machine, each with player 1's keys";
  }
}

void ChoicePage() {
  Backdrop();
  // Laid out from the foot up, under the title's picture: the hint line ends at 430, the items
  // stand above it, and the page's name above them while it fits (a fifth item takes its place).
  const int itemsTop = 410 - 40 * kChoiceCount;
  const bool named = itemsTop - 35 >= 212;
  Box(110, itemsTop - (named ? 35 : 5), 530, 435);
  if (named) Text(itemsTop - 32, itemsTop - 4, "ONLINE", kPale, 20);
  Keys& k = st.keys;
  if (Pressed(k.up)) st.cursor = (st.cursor + kChoiceCount - 1) % kChoiceCount, gameout::Play(assets.buttonSound);
  if (Pressed(k.down)) st.cursor = (st.cursor + 1) % kChoiceCount, gameout::Play(assets.buttonSound);
  Items(kChoiceItems, kChoiceCount, itemsTop, st.cursor);
  Text(412, 430, ChoiceHint(st.cursor), kPale, 12);
  StatusText();
  if (Pressed(k.back)) {
    gameout::Play(assets.buttonSound2);
    ToTitle();
    return;
  }
  if (!Pressed(k.confirm)) return;
  gameout::Play(assets.buttonSound2);
  switch (st.cursor) {
    case kHostItem:
      StartHost(kDefaultPort);
      break;
    case kHostOnRelayItem:
      StartHostOnRelay();
      break;
    case kJoinItem:
    case kWatchItem:
      st.status.clear();
      st.typed = settings.joinAddress;
      Enter(st.cursor == kJoinItem ? Page::Join : Page::Watch);
      break;
    default:
      ToTitle();
  }
}

void WaitingPage() {
  Backdrop();
  Box(70, 225, 570, 435);
  net::Match& m = *st.match;
  char line[160];
  const std::string code = st.relay ? st.relay->RoomCode() : std::string();
  if (st.page == Page::Host && st.relay) {
    Text(232, 262, "HOSTING ON THE RELAY", kCream, 22);
    if (code.empty()) {
      Text(300, 324, "connecting to the relay at " + st.relayName + "…", kPale, 15);
      snprintf(line, sizeof line, "waiting for the relay's answer… %u s", (Now() - st.since) / 1000);
    } else {
      Text(266, 284, "the other player joins with this room code:", kPale, 13);
      Text(290, 344, SpacedCode(code), kCream, 40);
      Text(348, 366, "(JOIN A GAME, then the code typed in, in either case)", kPale, 12);
      snprintf(line, sizeof line, "waiting for a player… %u s", (Now() - st.since) / 1000);
    }
  } else if (st.relay) {
    Text(232, 262, "JOINING A ROOM", kCream, 22);
    Text(272, 318, SpacedCode(code), kCream, 32);
    Text(322, 340, "through the relay at " + st.relayName, kPale, 13);
    snprintf(line, sizeof line, "connecting... %u s", (Now() - st.since) / 1000);
  } else if (st.page == Page::Host) {
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
    DropMatch();
    Enter(Page::Choice);
  }
}

// What the text typed on the JOIN (or WATCH) page will be taken as, said under it as it is typed.
std::string JoinKindLine(const std::string& typed, bool watch) {
  JoinTarget t;
  std::string error;
  if (typed.empty() || !ParseJoinTarget(typed, &t, &error)) return "";
  const std::string verb = watch ? "watches" : "joins";
  if (!t.roomCode) return "an address: " + verb + " " + t.host + " on port " + std::to_string(t.port) + " directly";
  if (RelaySetting().empty()) return "a room code: needs a relay (relay_address in the settings file)";
  return "a room code: " + verb + " through the relay at " + RelaySetting();
}

// The JOIN page, and the WATCH page that takes the same addresses and codes.
void JoinPage() {
  const bool watch = st.page == Page::Watch;
  Backdrop();
  Box(70, 225, 570, 435);
  Text(232, 262, watch ? "WATCH A GAME" : "JOIN A GAME", kCream, 22);
  Text(268, 288, "type the host's address (host:port) or the room's code", kPale, 13);
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
  Text(334, 352, JoinKindLine(st.typed, watch), kPale, 13);
  Text(360, 378, watch ? "Enter: watch     Backspace on an empty line: back"
                       : "Enter: connect     Backspace on an empty line: back",
       kPale, 12);
  StatusText();
  if (back) {
    st.status.clear();
    Enter(Page::Choice);
    st.cursor = watch ? kWatchItem : kJoinItem;
    return;
  }
  if (!tuSystem::IsKeyPressed(tu::kKeyEnter)) return;
  if (watch)
    StartWatch(st.typed);
  else
    StartJoin(st.typed);
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
  WatchersLine();
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
  WatchersLine();
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
  WatchersLine();
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
  WatchersLine();
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
  WatchersLine();
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
  Text(240, 270, st.watcher ? "WATCHING IS OVER" : "THE ONLINE MATCH IS OVER", kCream, 20);
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

// ---- Watching: the game drawn from the watcher's live state, as a local versus game is

constexpr uint32_t kStepsPerSecond = 60;

// The watcher's leaving keys: the pause key (the game's keys do nothing here) or Backspace.
bool LeaveKeys() { return Pressed(st.keys.pause) || tuSystem::IsKeyPressed(tu::kKeyBackspace); }

// The foot line under the watched game: that this is watching, which game, how far behind while
// it catches up; and how to leave.
void WatchFoot(const net::Watcher& w) {
  char line[160];
  const uint32_t behind = w.StepsBehind();
  if (w.Phase() == net::WatchPhase::GameOver)
    snprintf(line, sizeof line, "WATCHING · game %u is over · waiting for the next game…", w.GameNumber());
  else if (behind > net::Watcher::kLagSteps + net::Watcher::kCatchUpSlack)
    snprintf(line, sizeof line, "WATCHING · game %u · catching up, %.1f s behind", w.GameNumber(),
             static_cast<double>(behind) / kStepsPerSecond);
  else
    snprintf(line, sizeof line, "WATCHING · game %u", w.GameNumber());
  PageText(4, 462, 460, 478, line, kPale, tuDraw::kAlignLeft, 11);
  snprintf(line, sizeof line, "%s or Backspace: leave", PageKeyName(BoundKey(0, kActPause)));
  PageText(460, 462, 636, 478, line, kPale, tuDraw::kAlignRight, 11);
}

// Connecting, then connected with no game running yet.
void WatchWaitingPage() {
  Backdrop();
  Box(70, 225, 570, 435);
  const net::Watcher& w = *st.watcher;
  Text(232, 262, "WATCHING", kCream, 22);
  Text(272, 318, st.watched, kCream, st.watched.size() > 24 ? 17 : 32);
  Text(322, 340, st.watchedVia, kPale, 13);
  char line[160];
  if (w.Phase() == net::WatchPhase::Connecting)
    snprintf(line, sizeof line, "connecting… %u s", (Now() - st.since) / 1000);
  else
    snprintf(line, sizeof line, "connected: waiting for a game to start… %u s", (Now() - st.since) / 1000);
  Text(382, 404, line, kPale, 15);
  snprintf(line, sizeof line, "%s or Backspace: cancel", PageKeyName(BoundKey(0, kActTurnCcw)));
  Text(408, 428, line, kPale, 12);
  if (Pressed(st.keys.back) || LeaveKeys()) {
    gameout::Play(assets.buttonSound2);
    DropMatch();
    Enter(Page::Choice);
    st.cursor = kWatchItem;
  }
}

void WatchStep() { st.watcher->Advance(Now()); }

// The watcher's phase decides the page. A game taken up after its opening wipe (come in
// mid-game) would stay silent: the versus music starts as the wipe's end starts it.
void FollowWatch() {
  net::Watcher& w = *st.watcher;
  switch (w.Phase()) {
    case net::WatchPhase::Ended:
      if (st.page != Page::Ended) EndMatch(w.EndReason());
      break;
    case net::WatchPhase::Playing:
      if (st.page != Page::Playing) {
        fprintf(stderr, "quorbistane: watching game %u from step %u\n", w.GameNumber(), w.CurrentStep());
        StopMusic();
        if (game.player[0].phase != kPhaseWipeIn) gameout::PlayLoop(assets.music[4]);
        Enter(Page::Playing);
      }
      break;
    case net::WatchPhase::GameOver:
      if (st.page != Page::Outcome) {
        const net::WatchOutcome o = w.Outcome();
        fprintf(stderr, "quorbistane: watched game %u is over at step %u: %d to %d\n", w.GameNumber(),
                w.CurrentStep(), o.score[0], o.score[1]);
        Enter(Page::Outcome);
      }
      break;
    default:
      break;
  }
}

// A frame while watching: the feed taken, the steps due run, the page drawn.
void WatchFrame() {
  if (st.page == Page::Ended) {
    gameout::Clear();
    EndedPage();
    return;
  }
  net::Watcher& w = *st.watcher;
  if ((st.page == Page::Playing || st.page == Page::Outcome) && LeaveKeys()) {
    gameout::Play(assets.buttonSound2);
    fprintf(stderr, "quorbistane: left watching\n");
    ToTitle();
    return;
  }
  w.Poll(Now());
  if (st.page == Page::Playing) RunSteps(WatchStep);
  FollowWatch();
  switch (st.page) {
    case Page::Connecting:
      gameout::Clear();
      WatchWaitingPage();
      break;
    case Page::Playing:
    case Page::Outcome:
      DrawGamePicture(false);
      if (st.page == Page::Outcome) DrawVersusOutcome();
      WatchFoot(w);
      break;
    case Page::Ended:
      gameout::Clear();
      EndedPage();
      break;
    default:
      break;
  }
}

}  // namespace

void Install() {
  OnlineHooks h;
  h.frame = Frame;
  h.open = Open;
  h.started = Started;
  h.stopped = Stopped;
  h.argument = TakeArgument;
  h.argumentsDone = ArgumentsDone;
  h.secondCopy = [] { return true; };
  h.usage =
      " [--host [PORT] | --join HOST:PORT | --watch HOST:PORT] [--relay HOST[:PORT] (--host | --join CODE | --watch "
      "CODE)]";
  h.help =
      "  --host [PORT]  hosts an online game on PORT (7370 if left out; 0 any free one)\n"
      "  --join HOST:PORT  joins the online game hosted at HOST:PORT\n"
      "  --relay HOST[:PORT] --host  hosts through the relay at HOST:PORT (7380 if left out)\n"
      "                 and prints \"room CODE\" on standard output once the relay gives the code\n"
      "  --relay HOST[:PORT] --join CODE  joins the room CODE through the relay\n"
      "  --watch HOST:PORT  watches the online game hosted at HOST:PORT (its players' port)\n"
      "  --relay HOST[:PORT] --watch CODE  watches the game of the room CODE through the relay\n"
      "                 (without --relay, a CODE goes through relay_address of the settings file)\n"
      "                 (any online start may run beside another copy of the game, to try it on\n"
      "                 one machine)\n";
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
  if (kind == 1 && !st.relayArgument.empty())
    StartHostOnRelay();
  else if (kind == 1)
    StartHost(st.startPort);
  else if (kind == 2)
    StartJoin(st.startAddress);
  else
    StartWatch(st.startAddress);
  // A start that failed is told on the page that ends the match, then the title.
  if (st.page == Page::Choice) EndMatch(st.status);
}

void Stopped() {
  DropMatch();
  st.page = Page::Off;
}

int TakeArgument(int argc, char** argv, int i, std::string* error) {
  if (strcmp(argv[i], "--relay") == 0) {
    std::string h;
    uint16_t port = 0;
    if (!st.relayArgument.empty()) {
      *error = "--relay is given twice";
      return -1;
    }
    if (i + 1 == argc) {
      *error = "--relay needs HOST[:PORT]";
      return -1;
    }
    if (!ParseAddress(argv[i + 1], kRelayPort, &h, &port, error)) {
      *error = "--relay: " + *error;
      return -1;
    }
    st.relayArgument = argv[i + 1];
    return 2;
  }
  bool host = strcmp(argv[i], "--host") == 0, join = strcmp(argv[i], "--join") == 0;
  bool watch = strcmp(argv[i], "--watch") == 0;
  if (!host && !join && !watch) return 0;
  if (st.startKind != 0) {
    *error = "only one of --host, --join and --watch, once";
    return -1;
  }
  if (host) {
    st.startKind = 1;
    st.startPort = kDefaultPort;
    st.startPortGiven = false;
    if (i + 1 < argc && argv[i + 1][0] != '-') {
      st.startPortGiven = true;
      if (!ParsePort(argv[i + 1], true, &st.startPort, error)) {
        *error = "--host: " + *error;
        st.startKind = 0;
        return -1;
      }
      return 2;
    }
    return 1;
  }
  JoinTarget target;
  const std::string option = argv[i];
  if (i + 1 == argc) {
    *error = option + " needs HOST:PORT, or a room code with --relay";
    return -1;
  }
  if (!ParseJoinTarget(argv[i + 1], &target, error)) {
    *error = option + ": " + *error;
    return -1;
  }
  st.startKind = watch ? 3 : 2;
  st.startAddress = argv[i + 1];
  return 2;
}

bool ArgumentsDone(std::string* error) {
  if (st.relayArgument.empty()) return true;
  JoinTarget target;
  std::string why;
  if (st.startKind == 0)
    *error = "--relay goes with --host, --join CODE or --watch CODE";
  else if (st.startKind == 1 && st.startPortGiven)
    *error = "--host takes no port with --relay: the relay gives the room a code";
  else if (st.startKind >= 2 && !(ParseJoinTarget(st.startAddress, &target, &why) && target.roomCode))
    *error = std::string(st.startKind == 2 ? "--join" : "--watch") + " needs a room code with --relay, not '" +
             st.startAddress + "'";
  else
    return true;
  return false;
}

bool StartHostOnRelay() { return StartOnRelay(true, ""); }

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
  std::string error;
  JoinTarget target;
  if (!ParseJoinTarget(address, &target, &error)) {
    st.status = error;
    return false;
  }
  if (target.roomCode) {
    st.typed = address;
    return StartOnRelay(false, target.code);
  }
  const std::string& host = target.host;
  uint16_t port = target.port;
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

bool StartWatch(const std::string& address) {
  std::string error;
  JoinTarget target;
  if (!ParseJoinTarget(address, &target, &error)) {
    st.status = error;
    return false;
  }
  auto w = std::make_unique<net::Watcher>();
  std::string where, via;
  if (target.roomCode) {
    std::string relay;
    uint16_t port = 0;
    if (!RelayInUse(&relay, &port)) return false;
    if (!w->WatchOnRelay(relay, port, target.code, &error)) {
      st.status = "cannot watch through the relay: " + error;
      return false;
    }
    where = SpacedCode(target.code);
    via = "through the relay at " + relay + ":" + std::to_string(port);
  } else {
    if (!w->WatchAt(target.host, target.port, &error)) {
      st.status = "cannot watch: " + error;
      return false;
    }
    where = target.host + ":" + std::to_string(target.port);
    via = "the game hosted there, directly";
  }
  DropMatch();
  st.watcher = std::move(w);
  st.watched = where;
  st.watchedVia = via;
  st.typed = address;
  st.status.clear();
  if (target.roomCode)
    fprintf(stderr, "quorbistane: watching room %s %s\n", target.code.c_str(), via.c_str());
  else
    fprintf(stderr, "quorbistane: watching the game hosted at %s\n", where.c_str());
  Enter(Page::Connecting);
  return true;
}

bool Frame() {
  if (st.page == Page::Off) return false;
  PollKeys();
  st.watchersShown.clear();
  if (st.watcher) {
    WatchFrame();
    gameout::Present();
    return true;
  }
  if (st.match && st.page != Page::Playing) {
    st.match->Poll(Now());
    // A script that started the host learns the room's code as soon as it is known.
    if (st.relay && st.match->Side() == 0 && !st.codeTold && !st.relay->RoomCode().empty()) {
      st.codeTold = true;
      printf("room %s\n", st.relay->RoomCode().c_str());
      fflush(stdout);
      fprintf(stderr, "quorbistane: room %s on the relay at %s\n", st.relay->RoomCode().c_str(), st.relayName.c_str());
    }
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
    case Page::Watch:
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
net::Watcher* CurrentWatcher() { return st.watcher.get(); }
const std::string& WatchersShown() { return st.watchersShown; }
const std::string& DesyncReport() { return st.desync; }
const std::string& EndedReason() { return st.endReason; }
std::string RoomCode() { return st.relay ? st.relay->RoomCode() : std::string(); }

void UseMatch(std::unique_ptr<net::Match> match, Page page) {
  DropMatch();
  st.match = std::move(match);
  st.status.clear();
  Enter(page);
}

void UseWatcher(std::unique_ptr<net::Watcher> watcher, Page page) {
  DropMatch();
  st.watcher = std::move(watcher);
  st.watched = "in this process";
  st.watchedVia.clear();
  st.status.clear();
  Enter(page);
}

}  // namespace online
