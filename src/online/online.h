#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/snapshot.h"
#include "net/match.h"
#include "net/watch.h"

// Online play in the game's window: the ONLINE pages (host, join or watch), the versus level
// screen of each side, the game played through a net::Match, its outcome and the continue
// question, a game watched through a net::Watcher, and the end of a match (or of watching) told
// on screen before the title comes back. The program never ends on a network failure.
namespace online {

enum class Page : uint8_t {
  Off,        // not online: the game's scenes run
  Choice,     // HOST, HOST ON RELAY, JOIN, WATCH, BACK
  Host,       // hosting: the port and this machine's addresses, or the relay's room code;
              // waiting for a player
  Join,       // typing host:port or a room code
  Watch,      // typing host:port or a room code, to watch
  Connecting, // joining: waiting for the host's (or the relay's) answer; watching: that, then
              // waiting for a game to start
  Levels,     // this side's difficulty, then waiting for the other's
  Playing,    // a game in the rollback session, or the game watched, a second behind
  Outcome,    // the game is over: the win and lose pictures (watching: then the wait for the
              // next game)
  Question,   // continue? yes / no
  Answered,   // yes said: waiting for the other side
  Ended,      // the match is over: its reason, then the title
};

// Puts online play into the game: the menu's ONLINE item, the frame hook, the command line's
// --host [PORT], --join HOST:PORT, --watch HOST:PORT and --relay HOST[:PORT] with --host,
// --join CODE or --watch CODE.
void Install();

// The hooks (game.h OnlineHooks).
bool Frame();
void Open();
void Started();
void Stopped();
int TakeArgument(int argc, char** argv, int i, std::string* error);
bool ArgumentsDone(std::string* error);

// Starts hosting on `port` (0: any free one), hosting a room on the relay (--relay's, else the
// settings' relay_address), or joining `address` ("host:port", or a room code: through the
// relay); false (and the reason on the page's status line) when it cannot start.
bool StartHost(uint16_t port);
bool StartHostOnRelay();
bool StartJoin(const std::string& address);
// Starts watching the game hosted at `address` ("host:port", the port its players join on), or
// the room of a code through the relay; false (and the reason on the status line) as StartJoin.
bool StartWatch(const std::string& address);

Page CurrentPage();
// The page's status line: what went wrong last ("" none).
const std::string& StatusLine();
// The text typed on the JOIN or WATCH page.
const std::string& TypedAddress();
// The reason the Ended page tells.
const std::string& EndedReason();
// The room's code of a match through the relay ("" none, or not given yet).
std::string RoomCode();
// The match under way (null when none); tests hand one in over a fake link.
net::Match* CurrentMatch();
void UseMatch(std::unique_ptr<net::Match> match, Page page);
// The game being watched (null when none); tests hand one in over a fake link.
net::Watcher* CurrentWatcher();
void UseWatcher(std::unique_ptr<net::Watcher> watcher, Page page);
// The players' line of how many watch ("2 watching") as the last frame drew it ("" none drawn).
const std::string& WatchersShown();
// Where the last desync's files were written ("" none).
const std::string& DesyncReport();

// `text` in lines of at most `width` characters, broken at spaces where it can be.
std::vector<std::string> WrapText(const std::string& text, size_t width);

// A readable dump of a game state (name = value lines: the game's fields and both players'
// fields, rows of cells), for a report of a desync. False with a message when it cannot be
// written.
bool WriteStateDump(const std::string& path, const GameSnapshot& s, const std::string& heading, std::string* error);

}  // namespace online
