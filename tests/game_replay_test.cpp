// Replay files: what the writer writes reads back the same, every malformed file is refused
// with the line at fault, and the player's folder saves, prunes, keeps and lists them.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_support.h"
#include "game/replay.h"

using namespace file_support;

namespace {

const std::string kGood =
    "quorbistane replay 1\ngame 1.4.0\nrules 0123456789ABCDEF\nseed 748FEA9B853C49E6\n"
    "clock 16/17/17 start 123456\nmode versus\ndifficulty 2 1\ncomputer -1 2\ndate 2026-12-09 11:31:08\nsteps\n"
    "0 1 left down\n60 check 0123456789abcdef\nend 18000 score 1234 567 winner 1\n";

// kGood with its first `from` replaced by `to`.
std::string Edit(const std::string& from, const std::string& to) {
  std::string s = kGood;
  size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string ParseError(const std::string& text) {
  Replay r;
  std::string error;
  EXPECT_FALSE(ParseReplay(text.data(), text.size(), &r, &error)) << text;
  return error;
}

TEST(ReplayFile, EveryMalformedFileIsRefusedNamingWhatIsWrong) {
  const struct {
    std::string text;
    const char* told;
  } cases[] = {
      {"", "not a replay file"},
      {Edit("versus", std::string("vers\0us", 7)), "not a replay file"},
      {"\x89PNG\r\n\x1a\n", "not a replay file"},
      {"quorbistane replay 1x\n", "not a replay file"},
      {Edit("replay 1", "replay 2"), "replay format 2 is not read by this game (it reads format 1)"},
      {kGood.substr(0, kGood.find("mode")), "replay file cut short in its header"},
      {Edit("mode versus\n", "mode versus\ncolour red\n"), "line 7: unknown header line 'colour'"},
      {Edit("computer", "mode one-player\ncomputer"), "line 8: a second 'mode' line"},
      {Edit("seed 748FEA9B853C49E6\n", ""), "line 9: the header has no 'seed' line"},
      {Edit("1.4.0", std::string(199, 'v')), "line 2: longer than 200"},
      {Edit("1.4.0", std::string(33, 'v')), "line 2: the game's version"},
      {Edit("rules 0123456789ABCDEF", "rules 0123456789ABCDEG"), "line 3: the rule hash is 16 hex digits"},
      {Edit("16/17/17", "-1"), "line 5: clock '-1' is neither"},
      {Edit("16/17/17", "100001"), "line 5: clock '100001' is neither"},
      {Edit("start 123456", "start 4294967296"), "line 5: clock start '4294967296' out of range"},
      {Edit("mode versus", "mode duel"), "line 6: the mode is"},
      {Edit("difficulty 2 1", "difficulty 2 4"), "line 7: not a difficulty line"},
      {Edit("computer -1 2", "computer -2 2"), "line 8: not a computer line"},
      {Edit("11:31:08", "11:31"), "line 9: not a date line"},
      {Edit("0 1 left down", "0 1 jump down"), "line 11: unknown action 'jump'"},
      {Edit("0 1 left down", "0 3 left down"), "line 11: player '3' is not 1 or 2"},
      {Edit("0 1 left down", "0 1 left sideways"), "line 11: 'sideways' is neither down nor up"},
      {Edit("0 1 left down", "2147483648 1 left down"), "line 11: step '2147483648' out of range"},
      {Edit("0 1 left down", "0  1 left down"), "line 11: fields are separated by single spaces"},
      {Edit("0 1 left down", "0\t1 left down"), "line 11: not a step line"},
      {Edit("0 1 left down\n", "0 1 left down\n\n"), "line 12: an empty line"},
      {Edit("60 check", "60 chek"), "line 12: not a step line"},
      {Edit("0123456789abcdef\n", "0123456789abcdef\n59 2 cw up\n"), "line 13: step 59 comes after step 60"},
      {Edit("0123456789abcdef", "0123456789abcde"), "line 12: the check's digest"},
      {Edit("end 18000", "end 12"), "line 13: step 12 comes after step 60"},
      {Edit("winner 1", "winner 3"), "line 13: the winner is"},
      {Edit("score 1234", "score -1"), "line 13: a score out of range"},
      {kGood + "0 1 up up\n", "line 14: text after the end line"},
  };
  for (const auto& c : cases) {
    std::string error = ParseError(c.text);
    EXPECT_NE(error.find(c.told), std::string::npos) << "told: " << error << "\nwanted: " << c.told;
  }
}

Replay Sample() {
  Replay r;
  r.header.gameVersion = "1.4.0";
  r.header.ruleHash = 0x00AB00CD00EF0012u;
  r.header.seed = 0xFEDCBA9876543210u;
  r.header.clockMs = 20;
  r.header.clockStart = 4294967295u;
  r.header.mode = 2;
  r.header.difficulty[0] = 3;
  r.header.computer[1] = 3;
  r.header.date = "2026-01-02 03:04:05";
  for (uint32_t s = 0; s < 200; s += 7)
    r.events.push_back({s, static_cast<uint8_t>(s % 2), static_cast<uint8_t>(s % kReplayActions), s % 3 == 0});
  r.checks = {{60, 1}, {120, 0xFFFFFFFFFFFFFFFFu}, {180, 2}};
  r.end = {true, 200, {99999, 0}, 2};
  return r;
}

TEST(ReplayFile, WhatTheWriterWritesReadsBackTheSameWithoutGrowingItsBuffer) {
  Replay r = Sample();
  ReplayWriter w;
  w.Begin(r.header);
  const char* buffer = w.Text().data();
  size_t c = 0;
  for (const ReplayEvent& e : r.events) {  // as a game writes them: a check after its step's events
    for (; c < r.checks.size() && r.checks[c].step < e.step; ++c) w.Check(r.checks[c].step, r.checks[c].digest);
    w.Event(e);
  }
  for (; c < r.checks.size(); ++c) w.Check(r.checks[c].step, r.checks[c].digest);
  w.End(r.end);
  EXPECT_EQ(w.Text().data(), buffer);
  EXPECT_NE(w.Text().find("clock 20 start 4294967295\nmode computer\n"), std::string::npos);
  ASSERT_EQ(FormatReplay(r), w.Text());

  Replay back;
  std::string error;
  ASSERT_TRUE(ParseReplay(w.Text().data(), w.Text().size(), &back, &error)) << error;
  // Every field is written, so the same text again is the same replay.
  EXPECT_EQ(FormatReplay(back), w.Text());
  EXPECT_EQ(back.checks[1].digest, 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(back.events[5].step, 35u);

  // Lines ending in "\r\n" read the same; a file cut before its end line is a game cut short.
  std::string crlf;
  for (char ch : w.Text()) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  crlf.resize(crlf.rfind("end "));
  ASSERT_TRUE(ParseReplay(crlf.data(), crlf.size(), &back, &error)) << error;
  EXPECT_FALSE(back.end.present);
  EXPECT_EQ(back.events.size(), r.events.size());
}

// Kept compressed, a replay reads back the same; broken, cut short or unpacking past the limit,
// it is refused with a message.
TEST(ReplayFile, ACompressedReplayReadsTheSameAndABrokenOneIsRefused) {
  std::string text = FormatReplay(Sample());
  std::string packed = CompressReplay(text);
  ASSERT_LT(packed.size(), text.size());
  Replay back;
  std::string error;
  ASSERT_TRUE(DecodeReplay(packed.data(), packed.size(), &back, &error)) << error;
  EXPECT_EQ(FormatReplay(back), text);
  std::string huge = CompressReplay(text + std::string(kMaxReplayBytes, '#'));
  struct Case {
    std::string data;
    const char* words;
  } cases[] = {
      {packed.substr(0, packed.size() / 2), "broken or cut short"},
      {packed.substr(0, 10) + std::string(40, 'x'), "broken or cut short"},
      {huge, "unpacks to more than"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(DecodeReplay(c.data.data(), c.data.size(), &back, &error));
    EXPECT_NE(error.find(c.words), std::string::npos) << error;
  }
}

TEST(ReplayFile, AReplayOfAnotherVersionOrRuleTableNamesBoth) {
  Replay r = Sample();
  std::string error;
  EXPECT_TRUE(ReplayFits(r.header, "1.4.0", 0x00AB00CD00EF0012u, &error));
  EXPECT_FALSE(ReplayFits(r.header, "1.5.0", 0x12CD, &error));
  EXPECT_EQ(error, "this replay was made by quorbistane 1.4.0 with rules 00AB00CD00EF0012; "
                   "this is quorbistane 1.5.0 with rules 00000000000012CD");
}

TEST(ReplayFile, AFileThatCannotBeAReplayIsRefusedUnreadAndNamed) {
  Folder dir;
  Replay r;
  std::string error;
  EXPECT_FALSE(ReadReplayFile(dir.File("none.replay"), &r, &error));
  EXPECT_EQ(error, "cannot read " + dir.File("none.replay") + ": No such file or directory");
  mkdir(dir.File("a.replay").c_str(), 0755);
  EXPECT_FALSE(ReadReplayFile(dir.File("a.replay"), &r, &error));
  EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
  Write(dir.File("big.replay"), "");
  ASSERT_EQ(truncate(dir.File("big.replay").c_str(), kMaxReplayBytes + 1), 0);
  EXPECT_FALSE(ReadReplayFile(dir.File("big.replay"), &r, &error));
  EXPECT_EQ(error, dir.File("big.replay") + " is too large for a replay (4194305 bytes)");
  Write(dir.File("bad.replay"), Edit("0 1 left", "0 1 jump"));
  EXPECT_FALSE(ReadReplayFile(dir.File("bad.replay"), &r, &error));
  EXPECT_EQ(error, dir.File("bad.replay") + ": line 11: unknown action 'jump'");
}

ReplayHeader At(int second, int mode = 1) {
  ReplayHeader h;
  char date[32];
  snprintf(date, sizeof date, "2026-12-09 %02d:%02d:%02d", 10 + second / 3600, second / 60 % 60, second % 60);
  h.date = date;
  h.mode = mode;
  h.gameVersion = "1.4.0";
  return h;
}

TEST(ReplayStore, TheNewestHundredArePlainlyKeptBesideThoseMarkedKept) {
  Folder dir;
  std::string folder = dir.File("q/replays");
  std::string path, error;
  for (int i = 0; i < 103; ++i) {
    ReplayWriter w;
    w.Begin(At(i));
    ASSERT_TRUE(SaveReplay(folder, At(i), w.Text(), &path, &error)) << error;
    if (i == 1 || i == 50) {
      ASSERT_TRUE(KeepReplay(path, true, &path, &error)) << error;
    }
  }
  EXPECT_EQ(path, folder + "/2026-12-09-100142-versus.replay");
  std::vector<ReplayEntry> list = ListReplays(folder);
  ASSERT_EQ(list.size(), 102u);  // 101 plain ones, the oldest of them pruned, and the 2 kept
  EXPECT_EQ(list.front().header.date, "2026-12-09 10:01:42");
  EXPECT_EQ(list.back().header.date, "2026-12-09 10:00:01");
  EXPECT_TRUE(list.back().kept);
  EXPECT_TRUE(list[102 - 50].kept);
  EXPECT_FALSE(Exists(folder + "/2026-12-09-100000-versus.replay"));

  // A replay dated before all the others (a clock set back) is not the one pruned.
  ReplayHeader old;
  old.date = "2026-12-09 00:00:05";
  old.mode = 1;
  ASSERT_TRUE(SaveReplay(folder, old, "x", &path, &error)) << error;
  EXPECT_EQ(path, folder + "/2026-12-09-000005-versus.replay");
  EXPECT_TRUE(Exists(path));
  EXPECT_FALSE(Exists(folder + "/2026-12-09-100002-versus.replay"));
  EXPECT_EQ(dir.Names().find(".new"), std::string::npos);
}

TEST(ReplayStore, ReplaysOfOneSecondAreNumberedListedNewestFirstAndKeptByARename) {
  Folder dir;
  std::string folder = dir.File("r"), a, b, c, error;
  ReplayWriter w;
  w.Begin(At(7, 0));
  ASSERT_TRUE(SaveReplay(folder, At(7, 0), w.Text(), &a, &error)) << error;
  ASSERT_TRUE(SaveReplay(folder, At(7, 0), w.Text(), &b, &error)) << error;
  EXPECT_EQ(b, folder + "/2026-12-09-100007-one-player-2.replay");
  Write(folder + "/2026-12-09-235959-versus.replay", "quorbistane replay 1\ngame 1\n");  // cut short
  ASSERT_TRUE(KeepReplay(a, true, &c, &error)) << error;
  EXPECT_EQ(c, folder + "/2026-12-09-100007-one-player.kept.replay");
  // The plain name is free again: a new save must not take it while a kept one holds the date.
  ASSERT_TRUE(SaveReplay(folder, At(7, 0), w.Text(), &a, &error)) << error;
  EXPECT_EQ(a, folder + "/2026-12-09-100007-one-player-3.replay");

  std::vector<ReplayEntry> list = ListReplays(folder);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].path, a);
  EXPECT_EQ(list[1].path, b);
  EXPECT_EQ(list[2].path, c);
  EXPECT_TRUE(list[2].kept);

  Write(folder + "/2026-12-09-100007-one-player.replay", "mine");
  EXPECT_FALSE(KeepReplay(c, false, &a, &error));
  EXPECT_NE(error.find("already exists"), std::string::npos) << error;
  EXPECT_TRUE(Exists(c));
  EXPECT_FALSE(KeepReplay(folder + "/x.txt", true, &a, &error));
  EXPECT_FALSE(SaveReplay(folder + "/2026-12-09-100007-one-player.replay/sub", At(1), "x", &a, &error));
  EXPECT_NE(error.find("cannot make the replay folder"), std::string::npos) << error;
}

}  // namespace
