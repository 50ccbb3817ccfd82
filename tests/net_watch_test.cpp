// Watchers of an online match in one process over the lossy in-process transport: one from the
// start and one who comes mid-game both end the game in the players' state with a replay that
// plays to the same end; a ninth is refused and what a watcher sends is dropped; a feed that is
// out of order, false or of another game is refused with its reason, never a crash; a catch-up
// taken at the game's last step ends it once the end is told.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/playback.h"
#include "game/replay.h"
#include "game/snapshot.h"
#include "game_support.h"
#include "net/match.h"
#include "net/watch.h"

namespace {
using namespace game_support;
using net::MatchPhase;
using net::WatchPhase;

// The replay's text without its date line: the only line that names when it was written.
std::string Undated(const std::string& text) {
  size_t at = text.find("\ndate ");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + text.substr(text.find('\n', at + 1));
}

struct Watched {
  explicit Watched(uint64_t seed) : fake(Conditions(seed)) {
    for (int side = 0; side < 2; ++side) {
      m[side].SetRecording(side == 0);  // the host's replay, to compare the watchers' with
      m[side].SetOwnState(true);
      m[side].Use(fake.End(side), side);
    }
  }
  static net::LinkConditions Conditions(uint64_t seed) {
    net::LinkConditions c;
    c.roundTripMs = 100, c.jitterMs = 20, c.loss = 0.05, c.duplicate = 0.01, c.reorder = 0.01, c.seed = seed;
    return c;
  }
  net::Watcher& AddWatcher() {
    w.push_back(std::make_unique<net::Watcher>());
    w.back()->SetOwnState(true);
    w.back()->SetSaving(false);
    w.back()->Use(fake.AddWatcher());
    return *w.back();
  }
  // Virtual time: both players step each 16.7 ms while playing (holding "fall faster", so a game
  // soon tops out, player 2 moving now and then), the watchers take a frame at the same pace.
  void Run(uint32_t ms, const std::function<bool()>& done) {
    for (uint32_t end = fake.Now() + ms; fake.Now() < end && !done();) {
      fake.Advance(1);
      bool due = fake.Now() * 60 / 1000 != (fake.Now() - 1) * 60 / 1000;
      for (int side = 0; side < 2; ++side) {
        net::Match& s = m[side];
        if (s.Phase() == MatchPhase::Playing) {
          uint8_t held = 1 << kActDown;
          if (side == 1 && (fake.Now() / 400) % 3 == 1) held |= 1 << kActLeft;
          if (due) s.Step(held, fake.Now());
        } else {
          s.Poll(fake.Now());
        }
      }
      for (auto& v : w) {
        v->Poll(fake.Now());
        if (due) v->Advance(fake.Now());
      }
    }
  }
  void ToLevels() {
    Run(2000, [&] { return m[0].Phase() == MatchPhase::Levels && m[1].Phase() == MatchPhase::Levels; });
    m[0].ChooseLevel(0);
    m[1].ChooseLevel(1);
  }

  net::FakeLink fake;
  net::Match m[2];
  std::vector<std::unique_ptr<net::Watcher>> w;
};

class Watching : public GameTest {};

TEST_F(Watching, FromTheStartAndMidGameBothEndInThePlayersStateWithTheirReplay) {
  auto p = std::make_unique<Watched>(11);
  net::Watcher& early = p->AddWatcher();
  p->ToLevels();
  p->Run(3000, [&] { return p->m[1].Phase() == MatchPhase::Playing && p->m[1].Game().ConfirmedSteps() > 240; });
  ASSERT_EQ(p->m[1].Phase(), MatchPhase::Playing) << p->m[1].EndReason();
  EXPECT_EQ(early.Phase(), WatchPhase::Playing) << early.EndReason();
  EXPECT_GE(early.StepsBehind(), net::Watcher::kLagSteps - 12) << "a second behind the players";
  net::Watcher& late = p->AddWatcher();
  p->Run(120000, [&] {
    return (p->m[0].Phase() == MatchPhase::Continue && early.Phase() == WatchPhase::GameOver &&
            late.Phase() == WatchPhase::GameOver) ||
           p->m[0].Phase() == MatchPhase::Ended || early.Phase() == WatchPhase::Ended || late.Phase() == WatchPhase::Ended;
  });
  ASSERT_EQ(p->m[0].Phase(), MatchPhase::Continue) << p->m[0].EndReason();
  for (net::Watcher* v : {&early, &late}) {
    ASSERT_EQ(v->Phase(), WatchPhase::GameOver) << v->EndReason();
    EXPECT_EQ(v->GameOverStep(), p->m[0].GameOverStep());
    EXPECT_EQ(Checksum(v->KeptState()), Checksum(p->m[0].Game().KeptState()));
    EXPECT_EQ(v->Dropped(), 0u);
    EXPECT_EQ(Undated(v->ReplayText()), Undated(RecordedText()));
  }
  EXPECT_EQ(p->m[0].Watchers(), 2);
  const GameSnapshot end = p->m[0].Game().KeptState();
  EXPECT_NE(end.game.player[0].gameOver, end.game.player[1].gameOver);
  EXPECT_EQ(late.Outcome().winner, end.game.player[0].gameOver ? 2 : 1);

  // The late watcher's replay, played back, ends in the same state.
  Replay r;
  std::string error;
  const std::string text = late.ReplayText();
  ASSERT_TRUE(ParseReplay(text.data(), text.size(), &r, &error)) << error;
  ASSERT_TRUE(StartPlayback(r, &error)) << error;
  for (int i = 0; i < 100000 && !PlaybackFinished(); ++i) GameStep();
  EXPECT_EQ(PlaybackError(), "");
  EXPECT_EQ(game.gameStep, p->m[0].GameOverStep());
  EXPECT_EQ(ReplayDigest(), [&] {
    Restore(end);
    return ReplayDigest();
  }());
  StopPlayback();

  // The next game after two yeses: both watchers follow it from its start.
  p->m[0].AnswerContinue(true);
  p->m[1].AnswerContinue(true);
  p->Run(3000, [&] { return early.GameNumber() == 2 && late.GameNumber() == 2 && late.CurrentStep() > 0; });
  EXPECT_EQ(early.Phase(), WatchPhase::Playing) << early.EndReason();
  EXPECT_EQ(late.GameNumber(), 2u);
  // The match's end ends watching.
  p->m[0].Leave();
  p->Run(15000, [&] { return early.Phase() == WatchPhase::Ended && late.Phase() == WatchPhase::Ended; });
  EXPECT_EQ(late.EndReason(), "the game ended without a result (player 1 left)");
}

TEST_F(Watching, ANinthIsRefusedAndWhatAWatcherSendsIsDropped) {
  auto p = std::make_unique<Watched>(3);
  for (int i = 0; i < 9; ++i) p->AddWatcher();
  p->ToLevels();
  p->Run(1500, [] { return false; });
  EXPECT_EQ(p->m[0].Watchers(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_NE(p->w[i]->Phase(), WatchPhase::Ended) << i << p->w[i]->EndReason();
  EXPECT_EQ(p->w[8]->Phase(), WatchPhase::Ended);
  EXPECT_EQ(p->w[8]->EndReason(), "the game has 8 watchers already");

  // A watcher that sends inputs after its handshake: dropped and counted, the game goes on.
  net::Transport& sly = p->fake.AddWatcher();
  net::Message watch, inputs;
  watch.type = net::MessageType::Watch;
  inputs.type = net::MessageType::Inputs;
  inputs.inputs = {1, 0, 1, {0x7F}, net::kNoStep};
  uint8_t b[net::kMaxMessageBytes];
  p->w[0]->Leave();  // a place for it
  p->Run(500, [] { return false; });
  EXPECT_EQ(p->m[0].Watchers(), 7);
  ASSERT_TRUE(sly.Send(net::Channel::Control, b, net::Encode(watch, b)));
  p->Run(500, [] { return false; });
  for (net::Channel c : {net::Channel::Control, net::Channel::Control, net::Channel::Inputs})
    ASSERT_TRUE(sly.Send(c, b, net::Encode(inputs, b)));
  p->Run(2000, [] { return false; });
  EXPECT_EQ(p->m[0].Watchers(), 8);
  EXPECT_EQ(p->m[0].WatcherDatagramsDropped(), 3u);
  EXPECT_EQ(p->m[0].Phase(), MatchPhase::Playing) << p->m[0].EndReason();
  EXPECT_EQ(p->m[1].Phase(), MatchPhase::Playing) << p->m[1].EndReason();
}

// A feed written by hand: a watcher is refused what does not fit, with the reason.
TEST_F(Watching, AFeedOutOfOrderFalseOrOfAnotherGameIsRefused) {
  net::Start start = {1, 0x1234, 2, {0, 0}};
  SetUpOnlineGame(start);
  GameSnapshot s;
  Snapshot(s);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&s);
  auto game = [&](uint64_t digest) {
    net::Message m;
    m.type = net::MessageType::WatchGame;
    snprintf(m.watchGame.gameVersion, sizeof m.watchGame.gameVersion, "%s", GameVersion());
    m.watchGame.ruleHash = RuleTableHash();
    m.watchGame.start = start;
    m.watchGame.from = 0;
    m.watchGame.chunks = (sizeof s + net::kMaxChunkBytes - 1) / net::kMaxChunkBytes;
    m.watchGame.snapshotBytes = sizeof s;
    m.watchGame.digest = digest;
    return m;
  };
  auto chunk = [&](int i, uint32_t gameNo = 1) {
    net::Message m;
    m.type = net::MessageType::Chunk;
    size_t at = static_cast<size_t>(i) * net::kMaxChunkBytes;
    size_t n = std::min<size_t>(net::kMaxChunkBytes, sizeof s - at);
    m.chunk.game = gameNo;
    m.chunk.index = static_cast<uint16_t>(i);
    m.chunk.count = static_cast<uint16_t>((sizeof s + net::kMaxChunkBytes - 1) / net::kMaxChunkBytes);
    m.chunk.size = static_cast<uint8_t>(n);
    std::memcpy(m.chunk.data, bytes + at, n);
    return m;
  };
  const int chunks = static_cast<int>((sizeof s + net::kMaxChunkBytes - 1) / net::kMaxChunkBytes);
  auto all = [&](uint64_t digest, std::vector<int> order) {
    std::vector<net::Message> v = {game(digest)};
    for (int i : order) v.push_back(chunk(i));
    return v;
  };
  std::vector<int> inOrder;
  for (int i = 0; i < chunks; ++i) inOrder.push_back(i);
  std::vector<int> swapped = inOrder;
  std::swap(swapped[2], swapped[3]);
  net::Message otherRuns, gap;
  otherRuns.type = gap.type = net::MessageType::Runs;
  otherRuns.runs = {7, 0, 1, {}};
  gap.runs = {1, 5, 1, {}};
  net::Message foreign = game(Checksum(s));
  foreign.watchGame.ruleHash ^= 1;
  struct Case {
    const char* what;
    std::vector<net::Message> feed;
    const char* endsWith;  // "" : goes on
    uint32_t dropped;
    bool over = false;     // the game's end stands (GameOver)
  } cases[] = {
      {"whole", all(Checksum(s), inOrder), "", 0},
      {"chunks swapped", all(Checksum(s), swapped), "the catch-up came out of order (chunk 3 of game 1 where chunk 2", 0},
      {"false digest", all(Checksum(s) ^ 1, inOrder), "the catch-up's snapshot does not match its digest", 0},
      {"runs of another game", [&] {
         auto v = all(Checksum(s), inOrder);
         v.push_back(otherRuns);
         return v;
       }(), "", 1},
      {"a gap in the runs", [&] {
         auto v = all(Checksum(s), inOrder);
         v.push_back(gap);
         return v;
       }(), "the feed skipped from step 0 to step 5", 0},
      {"other rules", {foreign}, "the game is version", 0},
      {"the game over at the catch-up's step, told after it", [&] {
         auto v = all(Checksum(s), inOrder);
         v[0].watchGame.from = 5;  // the snapshot stands for step 5, the 5 steps before it follow
         net::Message runs, over;
         runs.type = net::MessageType::Runs;
         runs.runs = {1, 0, 1, {}};
         runs.runs.run[0].length = 5;
         over.type = net::MessageType::Over;
         over.over = {1, 5};
         v.push_back(runs);
         v.push_back(over);
         return v;
       }(), "", 0, true},
  };
  for (const Case& c : cases) {
    net::FakeLink fake(net::LinkConditions{});
    net::Watcher w;
    w.SetOwnState(true);
    w.SetSaving(false);
    w.Use(fake.AddWatcher());
    net::Transport& host = fake.End(0);
    net::Event e;
    for (int i = 0; i < 5; ++i) {
      w.Poll(fake.Now());
      host.Poll(&e);
      fake.Advance(1);
    }
    ASSERT_EQ(host.Watchers(), 1) << c.what;
    for (const net::Message& m : c.feed) {
      uint8_t b[net::kMaxMessageBytes];
      size_t n = net::Encode(m, b);
      ASSERT_GT(n, 0u) << c.what;
      host.SendToWatchers(b, n);
    }
    for (int i = 0; i < 5; ++i) {
      fake.Advance(1);
      w.Poll(fake.Now());
    }
    if (*c.endsWith) {
      EXPECT_EQ(w.Phase(), WatchPhase::Ended) << c.what;
      EXPECT_EQ(w.EndReason().rfind(c.endsWith, 0), 0u) << c.what << ": " << w.EndReason();
    } else {
      EXPECT_EQ(w.Phase(), c.over ? WatchPhase::GameOver : WatchPhase::Playing) << c.what << ": " << w.EndReason();
      EXPECT_EQ(Checksum(w.KeptState()), Checksum(s)) << c.what;
    }
    EXPECT_EQ(w.Dropped(), c.dropped) << c.what;
  }
}

}  // namespace
