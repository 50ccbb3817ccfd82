// Two rollback sessions in one process over a link of 100 ms round trip, jitter and loss: their
// confirmed states agree step for step, a changed state is found out, a cut link ends the game,
// and the host's recording plays back to the same end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game/playback.h"
#include "game/snapshot.h"
#include "game_support.h"
#include "net_test_link.h"

namespace {
using namespace game_support;
using net::SessionState;

struct Duel {
  explicit Duel(const net_test::Conditions& c, uint32_t seed, int delay = 3) : link(c), keys{net_test::Keys(seed), net_test::Keys(seed + 101)} {
    for (int side = 0; side < 2; ++side) {
      net::SessionConfig config;
      config.side = side;
      config.inputDelay = delay;
      config.record = side == 0;  // one recorder in the process: the host's
      config.ownState = true;
      std::string error;
      EXPECT_TRUE(s[side].Start(config, link.EndOf(side), 0, &error)) << error;
    }
  }
  // Runs both sides on virtual time, one ms at a time, until `done` or `ms` pass; the joiner
  // starts 40 ms late. Every confirmed digest is kept.
  template <typename Done>
  void Run(uint32_t ms, Done done) {
    for (uint32_t end = now + ms; now < end && !done(); ++now) {
      link.SetNow(now);
      for (int side = 0; side < 2; ++side) {
        if (s[side].State() == SessionState::Ended || now * 1000ull < due[side]) continue;
        s[side].Step(keys[side].Next(), now);
        due[side] += 16667 + 1000ull * static_cast<unsigned>(s[side].ExtraMsPerStep());
        uint64_t d = 0;
        while (digests[side].size() < s[side].ConfirmedSteps()) {
          if (!s[side].ConfirmedDigest(static_cast<uint32_t>(digests[side].size() + 1), &d)) {
            ADD_FAILURE() << "side " << side << " lost the digest of a confirmed step";
            return;
          }
          digests[side].push_back(d);
        }
      }
    }
  }
  bool Over() const {
    return s[0].State() == SessionState::Ended || s[1].State() == SessionState::Ended;
  }

  net_test::Link link;
  net_test::Keys keys[2];
  net::Session s[2];
  std::vector<uint64_t> digests[2];
  uint64_t due[2] = {0, 40000};
  uint32_t now = 0;
};

class Session : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    RecordReplaysTo("", "");
  }
  void TearDown() override {
    StopPlayback();
    GameTest::TearDown();
  }
  // The live state set for a versus game's first step; both sides start from it.
  void NewGame(uint32_t seed) {
    ResetGame();
    tuSystem::sys.sceneNo = 1;
    tuDraw::draw.clipRect = {0, 0, 640, 480};
    game.gameMode = kModeVersus;
    game.difficulty[0] = game.difficulty[1] = 3;
    game.clockMs = kCadenceClock;
    game.random.state[0] = seed * 2654435761u;
    game.random.state[1] = seed;
    P(0).phase = P(1).phase = kPhaseInit;
  }
  std::unique_ptr<Duel> Play(uint32_t seed, const net_test::Conditions& c, int delay = 3) {
    NewGame(seed);
    return std::make_unique<Duel>(c, seed, delay);
  }
};

TEST_F(Session, TwentyGamesOverALossyLinkConfirmTheSameStates) {
  uint32_t rollbacks = 0, compared = 0;
  for (uint32_t g = 1; g <= 20; ++g) {
    SCOPED_TRACE(g);
    net_test::Conditions c;
    c.seed = g;
    auto duel = Play(g, c, 2 + static_cast<int>(g % 4));
    duel->Run(12000, [&] { return duel->Over() || duel->digests[1].size() >= 450; });
    for (const net::Session& s : duel->s) {
      EXPECT_NE(s.State(), SessionState::Ended) << s.EndReason();
      EXPECT_LE(s.Stats().deepest, static_cast<uint32_t>(net::Session::kMaxAhead));
      rollbacks += s.Stats().rollbacks;
      compared += s.Stats().checksumsCompared;
    }
    size_t common = std::min(duel->digests[0].size(), duel->digests[1].size());
    ASSERT_GE(common, 400u);
    for (size_t i = 0; i < common; ++i) ASSERT_EQ(duel->digests[0][i], duel->digests[1][i]) << "step " << i + 1;
  }
  EXPECT_GT(rollbacks, 200u);
  EXPECT_GT(compared, 400u);
}

// The host's recording holds the confirmed inputs only: it plays back, its checks passing, to
// the state both sides confirmed at the game's end.
TEST_F(Session, AGameWithRollbacksLeavesAReplayThatPlaysBackToItsEnd) {
  net_test::Conditions c;
  c.seed = 77;
  auto duel = Play(5, c);
  int ended = RecordingsEnded();
  duel->Run(120000, [&] { return duel->Over() || RecordingsEnded() != ended; });
  ASSERT_NE(RecordingsEnded(), ended) << duel->s[0].EndReason();
  EXPECT_GT(duel->s[0].Stats().rollbacks, 10u);
  Replay r;
  std::string error;
  ASSERT_TRUE(ParseReplay(RecordedText().data(), RecordedText().size(), &r, &error)) << error;
  uint32_t steps = ReplayLength(r);
  ASSERT_GT(steps, 100u);
  ASSERT_LE(steps, duel->digests[0].size());
  duel->Run(2000, [&] { return duel->Over() || duel->digests[1].size() >= steps; });
  ASSERT_GE(duel->digests[1].size(), steps);
  uint64_t confirmed = duel->digests[0][steps - 1];
  EXPECT_EQ(confirmed, duel->digests[1][steps - 1]);

  ASSERT_TRUE(StartPlayback(r, &error)) << error;
  for (uint32_t i = 0; i < steps && !PlaybackFinished(); ++i) GameStep();
  EXPECT_TRUE(PlaybackFinished());
  EXPECT_EQ(PlaybackError(), "");
  EXPECT_EQ(ReplayDigest(), confirmed);
}

// A change to one side's state shows at the next compared digest; on a link without delay every
// step is confirmed as it runs, so no rollback takes the change away.
TEST_F(Session, AChangedStateIsOutOfSyncAtTheNextComparedStep) {
  net_test::Conditions quick{0, 0, 0, 3};
  auto duel = Play(9, quick, 2);
  duel->Run(5000, [&] { return duel->s[1].CurrentStep() >= 45; });
  ASSERT_EQ(duel->s[1].CurrentStep(), 45u);
  ASSERT_EQ(duel->s[1].ConfirmedSteps(), 45u);
  duel->s[1].KeptState().game.player[0].score += 10;
  duel->Run(5000, [&] { return duel->s[0].State() == SessionState::Ended && duel->s[1].State() == SessionState::Ended; });
  for (const net::Session& s : duel->s) {
    EXPECT_EQ(s.State(), SessionState::Ended);
    EXPECT_EQ(s.EndReason(), "out of sync at step 60");
  }
}

// A cut link: the steps stop 8 past the last confirmed one, "waiting" after 0.75 s, and the game
// ends without a result 10 s after the last message.
TEST_F(Session, ACutLinkWaitsThenEndsWithoutAResult) {
  net_test::Conditions c;
  auto duel = Play(3, c);
  duel->Run(3000, [] { return false; });
  ASSERT_FALSE(duel->Over());
  duel->link.Cut();
  uint32_t cut = duel->now;
  duel->Run(1000, [] { return false; });
  for (const net::Session& s : duel->s) {
    EXPECT_EQ(s.State(), SessionState::Waiting);
    EXPECT_EQ(s.CurrentStep() - s.ConfirmedSteps(), static_cast<uint32_t>(net::Session::kMaxAhead));
    EXPECT_GT(s.WaitingSeconds(duel->now), 0.75);
  }
  duel->Run(12000, [&] { return duel->s[0].State() == SessionState::Ended && duel->s[1].State() == SessionState::Ended; });
  for (const net::Session& s : duel->s) EXPECT_EQ(s.EndReason(), "connection lost — no result");
  EXPECT_GE(duel->now - cut, 10000u - 200u);
  EXPECT_LE(duel->now - cut, 10000u + 50u);
}

// The joiner starts 100 ms (6 steps) after the host: the host is told to wait a little longer
// per step until the two run level.
TEST_F(Session, ASideThatRunsAheadSlowsUntilLevel) {
  net_test::Conditions quick{0, 0, 0, 5};
  auto duel = Play(4, quick, 2);
  duel->due[1] = 100000;
  duel->Run(150, [] { return false; });
  EXPECT_EQ(duel->s[0].ExtraMsPerStep(), net::Session::kMaxExtraMs);
  EXPECT_EQ(duel->s[1].ExtraMsPerStep(), 0);
  EXPECT_EQ(duel->s[0].CurrentStep() - duel->s[1].CurrentStep(), 6u);
  duel->Run(3000, [] { return false; });
  EXPECT_LE(duel->s[0].CurrentStep() - duel->s[1].CurrentStep() + 1, 2u);
  EXPECT_EQ(duel->s[0].ExtraMsPerStep(), 0);
  EXPECT_EQ(duel->s[0].State(), SessionState::Playing);
}

TEST_F(Session, ABadConfigurationOrMessageIsRefused) {
  net_test::Link link({0, 0, 0, 1});
  auto s = std::make_unique<net::Session>();
  std::string error;
  net::SessionConfig c;
  c.inputDelay = 6;
  EXPECT_FALSE(s->Start(c, link.EndOf(0), 0, &error));
  EXPECT_EQ(error, "the input delay must be 2 to 5 steps, not 6");
  c.inputDelay = 2;
  c.side = 2;
  EXPECT_FALSE(s->Start(c, link.EndOf(0), 0, &error));
  EXPECT_EQ(error, "the session's side must be 0 (host) or 1 (joiner), not 2");

  // Inputs past what the other side can have, an ack of a step never sent, a checksum of no
  // step: counted and dropped, the game goes on.
  NewGame(1);
  c.side = 0;
  c.record = false;
  ASSERT_TRUE(s->Start(c, link.EndOf(0), 0, &error));
  net::MessageLink& other = link.EndOf(1);
  net::Message m;
  m.type = net::MessageType::Inputs;
  m.inputs = {1, 50, 1, {}, net::kNoStep};
  other.Send(net::Channel::Inputs, m);
  m.inputs = {1, 2, 1, {}, 900};
  other.Send(net::Channel::Inputs, m);
  m.type = net::MessageType::Checksum;
  m.checksum = {1, 0, 5};
  other.Send(net::Channel::Control, m);
  link.SetNow(60);
  EXPECT_EQ(s->Step(0, 60), SessionState::Playing);
  EXPECT_EQ(s->Stats().messagesRefused, 3u);
}


// The same over the encoded messages of the in-process transport, which also duplicates and
// reorders: the sides agree; a datagram that is no message is dropped and counted; a cut ends
// the game at once.
TEST_F(Session, OverTheTransportTheSidesAgreeAndACutEndsTheGame) {
  NewGame(12);
  net::LinkConditions c;
  c.roundTripMs = 100, c.jitterMs = 20, c.loss = 0.05, c.duplicate = 0.02, c.reorder = 0.02, c.seed = 12;
  net::FakeLink fake(c);
  net::TransportLink ends[2] = {net::TransportLink(fake.End(0)), net::TransportLink(fake.End(1))};
  auto s = std::make_unique<net::Session[]>(2);
  for (int side = 0; side < 2; ++side) {
    net::SessionConfig config;
    config.side = side;
    config.record = false;
    config.ownState = true;
    std::string error;
    ASSERT_TRUE(s[side].Start(config, ends[side], fake.Now(), &error)) << error;
  }
  const uint8_t junk[3] = {0xEE, 1, 2};
  fake.End(1).Send(net::Channel::Control, junk, sizeof junk);  // never lost nor doubled
  net_test::Keys keys[2] = {net_test::Keys(3), net_test::Keys(4)};
  uint64_t d0 = 0, d1 = 0;
  for (int ms = 0; ms < 10000 && s[1].ConfirmedSteps() < 300; ++ms) {
    fake.Advance(1);
    for (int side = 0; side < 2; ++side)
      if (ms * 60 / 1000 != (ms + 1) * 60 / 1000) s[side].Step(keys[side].Next(), fake.Now());
  }
  for (int side = 0; side < 2; ++side) ASSERT_NE(s[side].State(), SessionState::Ended) << s[side].EndReason();
  ASSERT_GE(s[0].ConfirmedSteps(), 300u);
  ASSERT_GE(s[1].ConfirmedSteps(), 300u);
  uint32_t at = std::min(s[0].ConfirmedSteps(), s[1].ConfirmedSteps());
  ASSERT_TRUE(s[0].ConfirmedDigest(at, &d0));
  ASSERT_TRUE(s[1].ConfirmedDigest(at, &d1));
  EXPECT_EQ(d0, d1);
  EXPECT_EQ(ends[0].Refused(), 1);
  fake.Cut();
  for (int side = 0; side < 2; ++side) {
    EXPECT_EQ(s[side].Step(0, fake.Now()), SessionState::Ended);
    EXPECT_EQ(s[side].EndReason(), "connection lost — no result");
  }
}
}  // namespace
