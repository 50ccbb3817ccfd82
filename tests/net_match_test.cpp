// Two online matches in one process over the in-process transport: the hello and the levels
// start a game; its end is confirmed at the same step on both sides; two yeses start the next
// game with a new seed, a no ends the match; differing versions and a cut link are told.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "game/playback.h"
#include "game/snapshot.h"
#include "game_support.h"
#include "net/match.h"

namespace {
using namespace game_support;
using net::MatchPhase;

struct Pair {
  explicit Pair(uint64_t seed) : fake(Conditions(seed)) {
    for (int side = 0; side < 2; ++side) {
      m[side].SetRecording(false);
      m[side].SetOwnState(true);
      m[side].Use(fake.End(side), side);
    }
  }
  static net::LinkConditions Conditions(uint64_t seed) {
    net::LinkConditions c;
    c.roundTripMs = 100, c.jitterMs = 20, c.loss = 0.05, c.duplicate = 0.01, c.reorder = 0.01, c.seed = seed;
    return c;
  }
  // Both sides on virtual time, a step each 16.7 ms while playing (both hold "fall faster", so
  // a game soon tops out), a poll otherwise, until `done` or `ms` pass.
  template <typename Done>
  void Run(uint32_t ms, Done done) {
    for (uint32_t end = fake.Now() + ms; fake.Now() < end && !done();) {
      fake.Advance(1);
      bool due = fake.Now() * 60 / 1000 != (fake.Now() - 1) * 60 / 1000;
      for (net::Match& s : m) {
        if (s.Phase() == MatchPhase::Playing) {
          if (due) s.Step(1 << kActDown, fake.Now());
        } else {
          s.Poll(fake.Now());
        }
      }
    }
  }
  bool Both(MatchPhase p) const { return m[0].Phase() == p && m[1].Phase() == p; }

  net::FakeLink fake;
  net::Match m[2];
};

class OnlineMatch : public GameTest {};

TEST_F(OnlineMatch, AGameEndsAtTheSameConfirmedStateAndTwoYesesStartTheNext) {
  auto p = std::make_unique<Pair>(5);
  p->Run(2000, [&] { return p->Both(MatchPhase::Levels); });
  ASSERT_TRUE(p->Both(MatchPhase::Levels)) << p->m[0].EndReason() << " / " << p->m[1].EndReason();
  p->m[1].ChooseLevel(2);
  p->Run(500, [] { return false; });
  EXPECT_EQ(p->m[0].Level(1), 2);
  EXPECT_EQ(p->m[0].Phase(), MatchPhase::Levels);  // the host has not chosen yet
  p->m[0].ChooseLevel(0);
  p->Run(120000, [&] { return p->Both(MatchPhase::Continue) || p->m[0].Phase() == MatchPhase::Ended; });
  ASSERT_TRUE(p->Both(MatchPhase::Continue)) << p->m[0].EndReason() << " / " << p->m[1].EndReason();
  ASSERT_NE(p->m[0].GameOverStep(), net::kNoStep);
  EXPECT_GT(p->m[0].GameOverStep(), 300u) << "a game of pieces that fall faster lasts a few seconds";
  EXPECT_EQ(p->m[0].GameOverStep(), p->m[1].GameOverStep());
  const GameSnapshot& a = p->m[0].Game().KeptState();
  EXPECT_EQ(Checksum(a), Checksum(p->m[1].Game().KeptState()));
  EXPECT_EQ(a.game.difficulty[0], 0);
  EXPECT_EQ(a.game.difficulty[1], 2);
  EXPECT_NE(a.game.resultStep, 0);
  uint64_t firstSeed = p->m[1].LastStart().seed;

  p->m[1].AnswerContinue(true);
  p->Run(1000, [] { return false; });
  EXPECT_EQ(p->m[0].OtherAnswer(), 1);
  EXPECT_EQ(p->m[1].Phase(), MatchPhase::Continue);  // waits for the host's answer
  p->m[0].AnswerContinue(true);
  p->Run(1000, [&] { return p->Both(MatchPhase::Playing); });
  ASSERT_TRUE(p->Both(MatchPhase::Playing));
  EXPECT_EQ(p->m[1].GameNumber(), 2u);
  EXPECT_NE(p->m[1].LastStart().seed, firstSeed);

  p->Run(120000, [&] { return p->Both(MatchPhase::Continue) || p->m[0].Phase() == MatchPhase::Ended; });
  ASSERT_TRUE(p->Both(MatchPhase::Continue));
  p->m[0].AnswerContinue(true);
  p->m[1].AnswerContinue(false);
  p->Run(1000, [&] { return p->Both(MatchPhase::Ended); });
  EXPECT_EQ(p->m[0].EndReason(), "the other player said no");
  EXPECT_EQ(p->m[1].EndReason(), "you said no");
}

TEST_F(OnlineMatch, DifferentVersionsAreRefusedNamingBoth) {
  auto p = std::make_unique<Pair>(2);
  p->m[1].SetIdentity("9.9.9", 0xABCDu);
  p->Run(2000, [&] { return p->Both(MatchPhase::Ended); });
  ASSERT_TRUE(p->Both(MatchPhase::Ended));
  for (const net::Match& s : p->m) {
    EXPECT_NE(s.EndReason().find("9.9.9 (rules 000000000000abcd)"), std::string::npos) << s.EndReason();
    EXPECT_NE(s.EndReason().find(std::string("version ") + GameVersion()), std::string::npos) << s.EndReason();
  }
  EXPECT_EQ(p->m[0].EndReason().rfind("the other copy is version 9.9.9", 0), 0u) << p->m[0].EndReason();
}

// A link cut on the level screen or in a game ends the match without a result; a host still
// waiting for its player goes on waiting.
TEST_F(OnlineMatch, ACutLinkEndsTheMatchWithoutAResult) {
  for (bool inGame : {false, true}) {
    SCOPED_TRACE(inGame);
    auto p = std::make_unique<Pair>(3);
    p->Run(2000, [&] { return p->Both(MatchPhase::Levels); });
    if (inGame) {
      p->m[0].ChooseLevel(1);
      p->m[1].ChooseLevel(1);
      p->Run(2000, [] { return false; });
      ASSERT_TRUE(p->Both(MatchPhase::Playing));
    }
    p->fake.Cut();
    p->Run(12000, [&] { return p->Both(MatchPhase::Ended); });
    for (const net::Match& s : p->m) EXPECT_EQ(s.EndReason(), "connection lost — no result");
  }
  net::FakeLink alone(Pair::Conditions(4));
  net::Match host;
  host.Use(alone.End(0), 0);
  alone.Cut();
  for (int i = 0; i < 20000; i += 100) host.Poll(static_cast<uint32_t>(i));
  EXPECT_EQ(host.Phase(), MatchPhase::Connecting);
}

}  // namespace

namespace {
// Over UDP on 127.0.0.1: a joiner of the same version reaches the level screen with its host,
// and its leaving is told; one of another version is refused on both sides. Polled for 3 s at
// most.
TEST(OnlineMatchOnUdp, AJoinerIsTalkedToOrRefusedAndItsLeavingIsTold) {
  for (bool sameVersion : {true, false}) {
    SCOPED_TRACE(sameVersion);
    net::Match host, joiner;
    std::string error;
    ASSERT_TRUE(host.Host(0, &error)) << error;
    ASSERT_NE(host.Port(), 0);
    ASSERT_TRUE(joiner.Join("127.0.0.1", host.Port(), &error)) << error;
    if (!sameVersion) joiner.SetIdentity("0.0.1", 1);
    MatchPhase want = sameVersion ? MatchPhase::Levels : MatchPhase::Ended;
    auto start = std::chrono::steady_clock::now();
    auto poll = [&](MatchPhase a, MatchPhase b) {
      while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        uint32_t ms = static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        MatchPhase h = host.Poll(ms), j = joiner.Poll(ms);
        if (h == a && j == b) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return false;
    };
    ASSERT_TRUE(poll(want, want)) << host.EndReason() << " / " << joiner.EndReason();
    if (sameVersion) {
      // The joiner's goodbye waits for the host's answer: the host is served meanwhile.
      std::thread leaving([&] { joiner.Leave(); });
      while (host.Phase() != MatchPhase::Ended && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        host.Poll(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      leaving.join();
      EXPECT_EQ(joiner.EndReason(), "you left");
      EXPECT_EQ(host.EndReason(), "the other player left");
    } else {
      EXPECT_EQ(host.OtherVersion(), "0.0.1");
      EXPECT_NE(joiner.EndReason().find("this one version 0.0.1"), std::string::npos) << joiner.EndReason();
    }
  }
}
}  // namespace
