// The online pages and game in the window, driven headless against a second match over the
// in-process transport: the level screen, a game played with this side's player-1 keys (its
// pause key sent to nobody), the outcome and the continue question, the next game, the other
// side leaving, and the title after the reason is shown. And the state dump of a desync.
#include <gtest/gtest.h>

#include <functional>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>
#include <sstream>

#include "file_support.h"
#include "game/playback.h"
#include "game/records.h"
#include "game/replay.h"
#include "game_support.h"
#include "net/match.h"
#include "net/relay.h"
#include "net/relay_client.h"
#include "online/online.h"
#include "system/frame_keys.h"

namespace {
using namespace game_support;
using net::MatchPhase;
using online::Page;

class OnlineScene : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    net::LinkConditions c;
    c.roundTripMs = 40, c.jitterMs = 5, c.loss = 0.02, c.seed = 9;
    fake = std::make_unique<net::FakeLink>(c);
    auto mine = std::make_unique<net::Match>();
    // Two matches in one process: each keeps its own state, and only this window's records.
    for (net::Match* m : {mine.get(), &other}) m->SetOwnState(true);
    other.SetRecording(false);
    mine->Use(fake->End(0), 0);
    other.Use(fake->End(1), 1);
    online::UseMatch(std::move(mine), Page::Host);
  }
  void TearDown() override {
    online::Stopped();
    GameTest::TearDown();
  }
  // One frame of the window (16 ms) and the other side's part of it: a step while it plays
  // (holding "fall faster", so its games end soon), a poll otherwise.
  void Frame() {
    tu::platform::AdvanceTick(16);
    fake->Advance(16);
    gameout::recorder.Start();
    ASSERT_TRUE(online::Frame());
    if (other.Phase() == MatchPhase::Playing)
      other.Step(1 << kActDown, fake->Now());
    else
      other.Poll(fake->Now());
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
  std::unique_ptr<net::FakeLink> fake;
  net::Match other;
};

TEST_F(OnlineScene, LevelsAGameItsOutcomeTheNextGameAndTheOtherLeaving) {
  ASSERT_TRUE(RunUntil(Page::Levels, 200));
  Tap(vk::Down);
  Tap(vk::X);  // Normal
  EXPECT_EQ(online::CurrentMatch()->Level(0), 1);
  EXPECT_EQ(online::CurrentPage(), Page::Levels);  // the other side has not chosen
  other.ChooseLevel(2);
  ASSERT_TRUE(RunUntil(Page::Playing, 200));
  EXPECT_EQ(online::CurrentMatch()->LastStart().difficulty[1], 2);

  file_support::Folder dir;
  OpenRecords(dir.File("records.ini"));
  // The pause key pressed in an online game pauses nothing: the game goes on to its end.
  for (int i = 0; i < 60; ++i) Frame();
  Tap(vk::Space);
  Key(vk::Down, true);
  ASSERT_TRUE(RunUntil(Page::Outcome, 10000)) << online::CurrentMatch()->EndReason();
  Key(vk::Down, false);
  // The confirmed outcome counts once, whatever steps were predicted and run again before it.
  const Tally& t = records.session[kPairPlayers];
  EXPECT_EQ(t.wins[0] + t.wins[1], 1);
  OpenRecords("");
  const GameSnapshot& s = online::CurrentMatch()->Game().KeptState();
  EXPECT_NE(s.game.player[0].phase, kPhasePaused);
  EXPECT_GT(online::CurrentMatch()->GameOverStep(), 100u);
  Frame();
  // The winner's picture over the field that did not top out, the loser's over the other.
  bool firstLost = s.game.player[0].gameOver == 1;
  EXPECT_GE(FindDraw(firstLost ? 392 : 93, 234, kFont, 220, 192), 0);
  EXPECT_GE(FindDraw(firstLost ? 71 : 359, 234, kFont, 176, 241), 0);

  Tap(vk::X);
  ASSERT_EQ(online::CurrentPage(), Page::Question);
  EXPECT_GE(FindDraw(222, 284, kFont, 0, 552), 0);  // yes under the cursor
  Tap(vk::Right);
  Tap(vk::Left);
  Tap(vk::X);  // yes
  EXPECT_EQ(online::CurrentPage(), Page::Answered);
  other.AnswerContinue(true);
  ASSERT_TRUE(RunUntil(Page::Playing, 200));
  EXPECT_EQ(online::CurrentMatch()->GameNumber(), 2u);

  // The other side leaves: the reason is shown a few seconds, then the title with ONLINE chosen.
  other.Leave();
  ASSERT_TRUE(RunUntil(Page::Ended, 800));
  EXPECT_EQ(online::CurrentMatch()->EndReason().rfind("the other player left", 0), 0u);
  ASSERT_TRUE(RunUntil(Page::Off, 300)) << static_cast<int>(online::CurrentPage());
  EXPECT_EQ(online::CurrentMatch(), nullptr);
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  EXPECT_EQ(game.menuLevel, 0);
  EXPECT_EQ(game.gameMode, kModeOnline);
  EXPECT_EQ(tuSystem::sys.configFlags & tuSystem::kConfigRunInactive, 0u);
}

// The game's replay is in the replays folder and plays back to the state both sides confirmed;
// the continue question answered no ends the match on both sides.
TEST_F(OnlineScene, TheReplayIsKeptAndANoEndsTheMatchOnBothSides) {
  file_support::Folder dir;
  RecordReplaysTo(dir.File(""), "");
  ASSERT_TRUE(RunUntil(Page::Levels, 200));
  Tap(vk::X);
  other.ChooseLevel(0);
  ASSERT_TRUE(RunUntil(Page::Playing, 200));
  Key(vk::Down, true);
  ASSERT_TRUE(RunUntil(Page::Outcome, 10000));
  Key(vk::Down, false);
  RecordReplaysTo("", "");
  std::vector<ReplayEntry> kept = ListReplays(dir.File(""));
  ASSERT_EQ(kept.size(), 1u);
  Replay r;
  std::string error;
  ASSERT_TRUE(ReadReplayFile(kept[0].path, &r, &error)) << error;
  EXPECT_GT(ReplayLength(r), 100u);
  GameSnapshot confirmed = online::CurrentMatch()->Game().KeptState();
  Restore(confirmed);
  uint64_t end = ReplayDigest();
  ASSERT_TRUE(StartPlayback(r, &error)) << error;
  for (uint32_t i = 0; i < ReplayLength(r) && !PlaybackFinished(); ++i) GameStep();
  EXPECT_TRUE(PlaybackFinished());
  EXPECT_EQ(PlaybackError(), "");
  EXPECT_EQ(ReplayDigest(), end);
  StopPlayback();
  Frame();
  Tap(vk::X);
  Tap(vk::Right);
  Tap(vk::X);  // no
  EXPECT_EQ(online::CurrentPage(), Page::Ended);
  for (int i = 0; i < 60; ++i) Frame();
  EXPECT_EQ(other.Phase(), MatchPhase::Ended);
  EXPECT_EQ(other.EndReason(), "the other player said no");
}

// A desync stops the game, says at which step, and leaves this side's state dump in the replays
// folder for a report.
TEST_F(OnlineScene, ADesyncStopsTheGameAndKeepsAStateDump) {
  file_support::Folder dir;
  RecordReplaysTo(dir.File(""), "");
  ASSERT_TRUE(RunUntil(Page::Levels, 200));
  Tap(vk::X);
  other.ChooseLevel(0);
  ASSERT_TRUE(RunUntil(Page::Playing, 200));
  for (int i = 0; i < 20; ++i) Frame();
  other.Game().KeptState().game.player[1].score += 10;  // the other side's game goes its own way
  ASSERT_TRUE(RunUntil(Page::Ended, 400));
  RecordReplaysTo("", "");
  const std::string& reason = online::CurrentMatch()->EndReason();
  EXPECT_EQ(reason.rfind("out of sync at step ", 0), 0u) << reason;
  const std::string& dump = online::DesyncReport();
  ASSERT_EQ(dump.rfind(dir.File("desync-"), 0), 0u) << dump;
  std::ifstream in(dump);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.rfind("# " + reason + "; side 1", 0), 0u) << first;
}

// The pages through a relay on 127.0.0.1 in this process: the window hosts a room (its code
// on standard output) or joins one by typing the code; the other side is a bare match on the
// relay's client. Each test is bounded: at most 5 s of real time for a page to come.
class OnlineRelayScene : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    StartRelay();
  }
  void StartRelay() {
    net::RelayConfig c;
    c.port = 0;
    c.bindAddress = "127.0.0.1";
    c.seed = 7;
    c.log = nullptr;
    relay = std::make_unique<net::Relay>(c);
    std::string error;
    ASSERT_TRUE(relay->Start(&error)) << error;
    settings.relayAddress = "127.0.0.1:" + std::to_string(relay->Port());
  }
  void TearDown() override {
    online::Stopped();
    other.reset();
    otherEnd.reset();
    relay.reset();
    GameTest::TearDown();
  }
  // One frame of the window on the real clock's pace (the relay and ENet run on it), the relay
  // and the other side served.
  void Frame() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (relay) relay->Poll(0);
    tu::platform::AdvanceTick(16);
    tuSystem::TakeFrameKeys();
    gameout::recorder.Start();
    online::Frame();
    if (other) AsOtherMachine([&] { other->Poll(tuSystem::Tick()); });
  }
  // A key pressed for a frame and let go for two (a key polled as released reads held, not
  // pressed, when it goes down again at once).
  void Tap(int vk) {
    Key(vk, true);
    Frame();
    Key(vk, false);
    Frame();
    Frame();
  }
  bool Until(const std::function<bool()>& done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
         !done() && std::chrono::steady_clock::now() < end;)
      Frame();
    return done();
  }
  // The other side's match on its own end of the relay.
  void OtherUses(std::unique_ptr<net::RelayTransport> end, int side) {
    otherEnd = std::move(end);
    other = std::make_unique<net::Match>();
    other->SetOwnState(true);
    other->SetRecording(false);
    other->Use(*otherEnd, side);
  }
  void OpenItem(int downs) {
    online::Open();
    Frame();
    for (int i = 0; i < downs; ++i) Tap(vk::Down);
    Tap(vk::X);
  }
  bool BothAtLevels() {
    return online::CurrentPage() == Page::Levels && other && other->Phase() == MatchPhase::Levels;
  }

  std::unique_ptr<net::Relay> relay;
  std::unique_ptr<net::RelayTransport> otherEnd;  // before the match that uses it
  std::unique_ptr<net::Match> other;
};

TEST_F(OnlineRelayScene, HostOnRelayShowsTheRoomsCodeAndTheJoinerBringsBothToTheirLevels) {
  testing::internal::CaptureStdout();
  OpenItem(1);  // HOST ON RELAY
  ASSERT_EQ(online::CurrentPage(), Page::Host) << online::StatusLine();
  bool coded = Until([] { return !online::RoomCode().empty(); });
  std::string out = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(coded);
  const std::string code = online::RoomCode();
  EXPECT_EQ(out, "room " + code + "\n");
  EXPECT_TRUE(relay->RoomOpen(code));
  std::string error;
  OtherUses(net::JoinOnRelay("127.0.0.1", relay->Port(), code, &error), 1);
  ASSERT_TRUE(otherEnd) << error;
  ASSERT_TRUE(Until([&] { return BothAtLevels(); })) << other->EndReason();
  EXPECT_EQ(online::CurrentMatch()->Side(), 0);
}

TEST_F(OnlineRelayScene, TheJoinPageTakesATypedCodeThroughTheRelay) {
  std::string error;
  OtherUses(net::HostOnRelay("127.0.0.1", relay->Port(), &error), 0);
  ASSERT_TRUE(otherEnd) << error;
  ASSERT_TRUE(Until([&] { return !otherEnd->RoomCode().empty(); }));
  settings.joinAddress = "";
  OpenItem(2);  // JOIN A GAME
  ASSERT_EQ(online::CurrentPage(), Page::Join);
  // Typed as a player would, lower case, a dash in the middle.
  std::string code = otherEnd->RoomCode();
  for (size_t i = 0; i < code.size(); ++i) {
    if (i == 3) Tap(tu::kKeyMinus);
    Tap(code[i]);
  }
  Tap(tu::kKeyEnter);
  ASSERT_EQ(online::CurrentPage(), Page::Connecting) << online::StatusLine();
  EXPECT_EQ(online::RoomCode(), code);
  ASSERT_TRUE(Until([&] { return BothAtLevels(); })) << online::CurrentMatch()->EndReason();
  EXPECT_EQ(online::CurrentMatch()->Side(), 1);
  EXPECT_EQ(settings.joinAddress, "") << "a room's code is used once: it is not offered again";
}

// The WATCH page takes a typed code as the JOIN page does: the window watches the room of two
// bare matches through the relay, waits for their game and follows it.
TEST_F(OnlineRelayScene, TheWatchPageWatchesARoomByItsCode) {
  std::string error;
  OtherUses(net::HostOnRelay("127.0.0.1", relay->Port(), &error), 0);
  ASSERT_TRUE(otherEnd) << error;
  ASSERT_TRUE(Until([&] { return !otherEnd->RoomCode().empty(); }));
  const std::string code = otherEnd->RoomCode();
  auto joinerEnd = net::JoinOnRelay("127.0.0.1", relay->Port(), code, &error);
  ASSERT_TRUE(joinerEnd) << error;
  net::Match joiner;
  joiner.SetOwnState(true);
  joiner.SetRecording(false);
  joiner.Use(*joinerEnd, 1);
  settings.joinAddress = "";
  OpenItem(3);  // WATCH A GAME
  ASSERT_EQ(online::CurrentPage(), Page::Watch);
  for (char c : code) Tap(c);
  Tap(tu::kKeyEnter);
  ASSERT_EQ(online::CurrentPage(), Page::Connecting) << online::StatusLine();
  ASSERT_NE(online::CurrentWatcher(), nullptr);
  // The players step as their machines would; the window's watcher has the live state.
  auto both = [&](auto done) {
    AsOtherMachine([&] {
      for (net::Match* p : {&joiner, other.get()})
        if (p->Phase() == MatchPhase::Playing) p->Step(0, tuSystem::Tick()); else p->Poll(tuSystem::Tick());
    });
    return done();
  };
  ASSERT_TRUE(Until([&] {
    return both([&] {
      return online::CurrentWatcher()->Phase() == net::WatchPhase::Waiting && joiner.Phase() == MatchPhase::Levels &&
             other->Phase() == MatchPhase::Levels;
    });
  })) << online::CurrentWatcher()->EndReason();
  other->ChooseLevel(0);
  joiner.ChooseLevel(0);
  ASSERT_TRUE(Until([&] { return both([] { return online::CurrentPage() == Page::Playing; }); }))
      << online::CurrentWatcher()->EndReason();
  EXPECT_EQ(online::CurrentWatcher()->GameNumber(), 1u);
  EXPECT_EQ(other->Watchers(), 1);
  EXPECT_EQ(joiner.Watchers(), 1);
}

// The relay's refusal and its stop end the match on its page; without a relay the pages say
// where to set one.
TEST_F(OnlineRelayScene, TheRelaysRefusalAndStopEndTheMatchAndNoRelaySaysWhereToSetOne) {
  EXPECT_TRUE(online::StartJoin("ACDEFG"));
  ASSERT_TRUE(Until([] { return online::CurrentPage() == Page::Ended; }));
  EXPECT_EQ(online::CurrentMatch()->EndReason(), "no room has that code");
  // A host waiting in its room hears the relay stop.
  online::Stopped();
  ASSERT_TRUE(online::StartHostOnRelay()) << online::StatusLine();
  ASSERT_TRUE(Until([] { return !online::RoomCode().empty(); }));
  // The stop waits for its clients' goodbyes: the window runs meanwhile, as it would.
  std::unique_ptr<net::Relay> stopping = std::move(relay);
  std::thread stop([&] { stopping->Stop(); });
  bool ended = Until([] { return online::CurrentPage() == Page::Ended; });
  stop.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(online::CurrentMatch()->EndReason(), "relay stopping");
  EXPECT_EQ(online::EndedReason(), "relay stopping");

  // A relay stopped while the window is not served, after it gave the code: its goodbye is read
  // afterwards, never taken for a relay that could not be reached.
  online::Stopped();
  ASSERT_NO_FATAL_FAILURE(StartRelay());
  ASSERT_TRUE(online::StartHostOnRelay()) << online::StatusLine();
  ASSERT_TRUE(Until([] { return !online::RoomCode().empty(); }));
  relay->Stop();
  ASSERT_TRUE(Until([] { return online::CurrentPage() == Page::Ended; }));
  const std::string& told = online::EndedReason();
  EXPECT_EQ(told, "relay stopping");

  online::Stopped();
  settings.relayAddress = "";
  for (int downs : {1, 2, 3}) {  // HOST ON RELAY, JOIN and WATCH by a code
    OpenItem(downs);
    if (downs >= 2) {
      ASSERT_EQ(online::CurrentPage(), downs == 2 ? Page::Join : Page::Watch) << online::StatusLine();
      for (int vk : {'a', 'c', 'd', 'e', 'f', 'g'}) Tap(vk - 'a' + 'A');
      Tap(tu::kKeyEnter);
      EXPECT_EQ(online::CurrentPage(), downs == 2 ? Page::Join : Page::Watch);
    } else {
      EXPECT_EQ(online::CurrentPage(), Page::Choice);
    }
    EXPECT_EQ(online::StatusLine().rfind("no relay is set: add relay_address = HOST[:PORT] to ", 0), 0u)
        << online::StatusLine();
    EXPECT_NE(online::StatusLine().find("the README tells how to run a relay"), std::string::npos);
    online::Stopped();
  }
}

TEST(OnlineStateDump, NamesTheFieldsOfBothPlayersAndTheirCells) {
  GameSnapshot s;
  s.game.gameStep = 1234;
  s.game.player[0].score = 40;
  s.game.player[1].cells[3][16] = 2;
  s.game.random.state[0] = 0xABCDu;
  file_support::Folder dir;
  std::string path = dir.File("desync.txt"), error;
  ASSERT_TRUE(online::WriteStateDump(path, s, "out of sync at step 1230", &error)) << error;
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string t = text.str();
  for (const char* line : {"# out of sync at step 1230\n", "gameStep = 1234\n", "p1.score = 40\n",
                           "p2.cells.16 = 0 0 0 2 0 0 0\n", "random = 0000abcd "})
    EXPECT_NE(t.find(line), std::string::npos) << line << " in\n" << t;
  EXPECT_FALSE(online::WriteStateDump(dir.File("no/such/folder.txt"), s, "", &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
}

}  // namespace
