#pragma once
#include <cstdint>
#include <string>

#include "script.h"

// The simulator online: one game of a match with another copy over the network, this side's
// player-1 keys from its script, paced on real time. The run ends at a step of the shared
// session confirmed on both sides, and the live state is left at it for the dump.
namespace sim {

// Exit statuses of an online run besides the simulator's own (0 to 4).
constexpr int kExitNoResult = 5;   // the connection was lost or never made, or the other side left
constexpr int kExitOutOfSync = 6;  // the two sides' games differ
constexpr int kExitRefused = 7;    // the other side refused this one (versions, rules) or the reverse

// Reads "HOST:PORT": a host name or address (a bracketed [IPv6] too) and a port from 1 to 65535;
// false with the reason.
bool ParseHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* why);

struct OnlineRun {
  bool host = false;       // listen for a joiner, else join `address`
  uint16_t port = 0;       // host: 0 for any free one (printed)
  std::string address;     // join: the host's address
  std::string relay;       // through the relay at relay:relayPort when not empty: the host is
  uint16_t relayPort = 0;  // given a room code, the joiner gives `code`
  std::string code;
  int level = 0;           // this side's difficulty on the versus level screen
  uint32_t steps = 1;      // the shared session's steps to confirm
  int waitSeconds = 60;    // host: how long to wait for a joiner
  bool watch = false;      // watch the game at `address`:`port`, or the relay's room `code`
};

struct OnlineResult {
  uint32_t steps = 0;     // the confirmed steps the live state stands at
  bool gameOver = false;  // the game ended at `steps`, before the run's end
  bool otherConfirmed = false;  // the other side was seen to confirm them too before leaving
  uint64_t calls = 0, stalled = 0;  // steps asked for, and of them not taken (stalled or waiting)
  uint32_t rollbacks = 0, stepsRunAgain = 0, deepest = 0, roundTripMs = 0;
  std::string replay;     // a watcher's replay of the game as far as it ran
};

// Plays the match's first game. A host through a relay prints "room CODE" on standard output
// as soon as the relay gives the code. On success (0) the live game state is the confirmed state at
// `result->steps` and the session's recording holds those steps; otherwise the status, with the
// reason on standard error.
int PlayOnline(const OnlineRun& run, const Script& script, OnlineResult* result);

// Watches the match's first game (run.watch) headless, a frame each 1/60 s, to the confirmed step
// `run.steps` (or the game's end). On success (0) the live game state is the state at
// `result->steps`, as the players' runs leave theirs, and `result->replay` its replay; otherwise
// the status (kExitNoResult, kExitOutOfSync, kExitRefused), the reason on standard error.
int WatchOnline(const OnlineRun& run, OnlineResult* result);

}  // namespace sim
