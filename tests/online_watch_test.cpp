// Watching in the window, driven headless: the window's watcher follows a match of two bare
// matches over the in-process transport, draws the game from the live state, ends each game in
// the players' confirmed state whatever its own keys do, waits between games and leaves on the
// pause key; one who comes in mid-game hears the versus music. The players' pages say how many
// watch.
#include <gtest/gtest.h>

#include <memory>

#include "game/snapshot.h"
#include "game_support.h"
#include "net/match.h"
#include "net/watch.h"
#include "online/online.h"

namespace {
using namespace game_support;
using net::MatchPhase;
using net::WatchPhase;
using online::Page;

class OnlineWatch : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    net::LinkConditions c;
    c.roundTripMs = 60, c.jitterMs = 10, c.loss = 0.03, c.seed = 5;
    fake = std::make_unique<net::FakeLink>(c);
    for (int side = 0; side < 2; ++side) {
      m[side].SetOwnState(true);  // the live state is the window's
      m[side].SetRecording(false);
      m[side].Use(fake->End(side), side);
    }
  }
  void TearDown() override {
    online::Stopped();
    GameTest::TearDown();
  }
  void Watch() {
    auto w = std::make_unique<net::Watcher>();
    w->SetSaving(false);
    w->Use(fake->AddWatcher());
    online::UseWatcher(std::move(w), Page::Connecting);
  }
  // One frame (16 ms) of the window and both players: a step each while they play (holding "fall
  // faster", so a game soon ends; player 2 moving left now and then), a poll otherwise.
  void Frame() {
    tu::platform::AdvanceTick(16);
    fake->Advance(16);
    gameout::recorder.Start();
    if (online::CurrentPage() != Page::Off) ASSERT_TRUE(online::Frame());
    AsOtherMachine([&] {
      for (int side = 0; side < 2; ++side) {
        uint8_t held = 1 << kActDown;
        if (side == 1 && (fake->Now() / 400) % 3 == 1) held |= 1 << kActLeft;
        if (m[side].Phase() == MatchPhase::Playing)
          m[side].Step(held, fake->Now());
        else
          m[side].Poll(fake->Now());
      }
    });
  }
  void Tap(int vk) {
    Key(vk, true);
    Frame();
    Key(vk, false);
    Frame();
  }
  bool RunUntil(Page p, int frames) {
    for (int i = 0; i < frames && online::CurrentPage() != p; ++i) Frame();
    return online::CurrentPage() == p;
  }
  void ToLevels() {
    for (int i = 0; i < 300 && !(m[0].Phase() == MatchPhase::Levels && m[1].Phase() == MatchPhase::Levels); ++i)
      Frame();
    ASSERT_EQ(m[1].Phase(), MatchPhase::Levels) << m[1].EndReason();
    m[0].ChooseLevel(0);
    m[1].ChooseLevel(1);
  }
  std::unique_ptr<net::FakeLink> fake;
  net::Match m[2];
};

TEST_F(OnlineWatch, TheWindowFollowsTheGameToThePlayersOutcomeWaitsForTheNextAndTellsTheEnd) {
  Watch();
  ASSERT_NO_FATAL_FAILURE(ToLevels());
  // Connected, no game yet: the waiting page.
  EXPECT_EQ(online::CurrentPage(), Page::Connecting);
  EXPECT_EQ(online::CurrentWatcher()->Phase(), WatchPhase::Waiting) << online::CurrentWatcher()->EndReason();
  ASSERT_TRUE(RunUntil(Page::Playing, 300)) << online::CurrentWatcher()->EndReason();
  for (int i = 0; i < 200; ++i) Frame();
  const net::Watcher& w = *online::CurrentWatcher();
  EXPECT_EQ(w.GameNumber(), 1u);
  EXPECT_GT(w.CurrentStep(), 100u);
  EXPECT_GE(w.StepsBehind(), net::Watcher::kLagSteps - 12) << "a second behind the players";
  EXPECT_GE(FindDraw(0, 0, kBackBlack, 0, 0), 0) << "the versus screen drawn from the live state";
  // The watcher's keys reach no game: a change would put it out of sync with the players.
  for (int vk : {vk::Left, vk::X, vk::Z, vk::Up}) Tap(vk);
  ASSERT_TRUE(RunUntil(Page::Outcome, 20000)) << w.EndReason();
  for (int i = 0; i < 200 && m[0].Phase() != MatchPhase::Continue; ++i) Frame();
  ASSERT_EQ(m[0].Phase(), MatchPhase::Continue) << m[0].EndReason();
  EXPECT_EQ(w.Phase(), WatchPhase::GameOver);
  EXPECT_EQ(w.GameOverStep(), m[0].GameOverStep());
  // The live state the window drew is the players' confirmed end, by the digest they compare.
  GameSnapshot live;
  Snapshot(live);
  const uint64_t shown = ReplayDigest();
  const GameSnapshot& end = m[0].Game().KeptState();
  Restore(end);
  EXPECT_EQ(shown, ReplayDigest());
  Restore(live);
  bool firstLost = end.game.player[0].gameOver == 1;
  EXPECT_GE(FindDraw(firstLost ? 392 : 93, 234, kFont, 220, 192), 0) << "the winner's picture";
  // Between games the outcome stays (no question for a watcher) until the next game starts.
  for (int i = 0; i < 400; ++i) Frame();
  EXPECT_EQ(online::CurrentPage(), Page::Outcome);
  m[0].AnswerContinue(true);
  m[1].AnswerContinue(true);
  ASSERT_TRUE(RunUntil(Page::Playing, 300)) << w.EndReason();
  EXPECT_EQ(w.GameNumber(), 2u);

  // The match's end ends watching: told for a few seconds, then the title; the program goes on.
  m[0].Leave();
  ASSERT_TRUE(RunUntil(Page::Ended, 1200));
  EXPECT_NE(online::EndedReason().find("without a result"), std::string::npos) << online::EndedReason();
  ASSERT_TRUE(RunUntil(Page::Off, 300));
  EXPECT_EQ(online::CurrentWatcher(), nullptr);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  EXPECT_EQ(game.gameMode, kModeOnline);
}

TEST_F(OnlineWatch, OneWhoComesMidGameHearsTheMusicAndThePauseKeyLeaves) {
  ASSERT_NO_FATAL_FAILURE(ToLevels());
  for (int i = 0; i < 400; ++i) Frame();
  ASSERT_EQ(m[0].Phase(), MatchPhase::Playing) << m[0].EndReason();
  EXPECT_EQ(m[0].Watchers(), 0);
  Watch();
  bool heard = false;
  for (int i = 0; i < 300 && online::CurrentPage() != Page::Playing; ++i) {
    Frame();
    heard = SoundCount(gameout::SoundLoop, kMusic0 + 4) > 0;
  }
  ASSERT_EQ(online::CurrentPage(), Page::Playing) << online::CurrentWatcher()->EndReason();
  EXPECT_TRUE(heard) << "the versus music starts with the game taken up";
  EXPECT_GT(online::CurrentWatcher()->CurrentStep(), 300u);
  EXPECT_EQ(m[0].Watchers(), 1);
  Tap(vk::Space);
  EXPECT_EQ(online::CurrentPage(), Page::Off);
  EXPECT_EQ(online::CurrentWatcher(), nullptr);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  // The players play on.
  for (int i = 0; i < 30; ++i) Frame();
  EXPECT_EQ(m[0].Phase(), MatchPhase::Playing) << m[0].EndReason();
}

// The players' pages: no line while nobody watches, "1 watching" on the level screen and in the
// game once one does.
TEST_F(OnlineWatch, ThePlayersSeeHowManyWatch) {
  auto mine = std::make_unique<net::Match>();
  net::FakeLink link(net::LinkConditions{});
  net::Match other;
  for (net::Match* p : {mine.get(), &other}) p->SetOwnState(true);
  other.SetRecording(false);
  mine->SetRecording(false);
  mine->Use(link.End(0), 0);
  other.Use(link.End(1), 1);
  online::UseMatch(std::move(mine), Page::Host);
  net::Watcher watcher;
  // The window's match leaves before the link it uses goes.
  struct LeaveFirst {
    ~LeaveFirst() { online::Stopped(); }
  } leaveFirst;
  watcher.SetOwnState(true);
  watcher.SetSaving(false);
  bool watching = false;
  auto frame = [&] {
    tu::platform::AdvanceTick(16);
    link.Advance(16);
    ASSERT_TRUE(online::Frame());
    AsOtherMachine([&] {
      if (other.Phase() == MatchPhase::Playing)
        other.Step(0, link.Now());
      else
        other.Poll(link.Now());
      if (watching) watcher.Poll(link.Now());
    });
  };
  for (int i = 0; i < 100 && online::CurrentPage() != Page::Levels; ++i) frame();
  ASSERT_EQ(online::CurrentPage(), Page::Levels);
  frame();
  EXPECT_EQ(online::WatchersShown(), "");
  watcher.Use(link.AddWatcher());
  watching = true;
  for (int i = 0; i < 100 && online::WatchersShown().empty(); ++i) frame();
  EXPECT_EQ(online::WatchersShown(), "1 watching");
  Key(vk::X, true);
  frame();
  Key(vk::X, false);
  other.ChooseLevel(0);
  for (int i = 0; i < 100 && online::CurrentPage() != Page::Playing; ++i) frame();
  ASSERT_EQ(online::CurrentPage(), Page::Playing);
  frame();
  EXPECT_EQ(online::WatchersShown(), "1 watching");
}

}  // namespace
