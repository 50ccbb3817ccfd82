#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "game/snapshot.h"
#include "net/protocol.h"
#include "net/session.h"
#include "net/transport.h"

// The host's side of watching (see net/watch.h): what its match sends its watchers. It keeps the
// running game's confirmed inputs and compared digests, so that a watcher who comes mid-game can
// be sent the whole game.
namespace net {

class WatchFeed {
 public:
  // `version` and `ruleHash` are the match's own, read when sent (a test may change them).
  WatchFeed(Transport& t, const std::string* version, const uint64_t* ruleHash);
  // A game starts (step 0): every watcher is told.
  void GameStarts(const Start& s);
  // After each call of the match: the steps newly confirmed (up to the game's end) and their
  // digests; the game's end once the match has checked it (`overState`: its state at
  // `overStep`); and a catch-up when a watcher came.
  void Update(const Session& session, const GameSnapshot* overState, uint32_t overStep);
  // The match is over: what is confirmed goes out, then the end, once.
  void Close(const Session* session, const std::string& reason);

 private:
  void Collect(const Session& session);
  void Send(const Message& m);
  void SendRuns(uint32_t from, uint32_t to);
  void Flush();
  void CatchUp(const Session& session, const GameSnapshot* overState);
  void Identity(WatchGame* g) const;

  Transport& t_;
  const std::string* version_;
  const uint64_t* ruleHash_;
  Start start_;  // game 0: none yet
  std::vector<uint16_t> inputs_;                          // the game's confirmed inputs, by step
  std::vector<std::pair<uint32_t, uint64_t>> digests_;  // the game's compared digests
  uint32_t sent_ = 0;     // steps sent to the watchers
  uint32_t checked_ = 0;  // steps whose digests were looked for
  uint32_t joined_ = 0;   // the transport's count of joins last seen
  uint32_t overStep_ = kNoStep;
  bool closed_ = false, broken_ = false;
};

}  // namespace net
