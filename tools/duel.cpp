// The computer's levels measured against each other: the real game, headless and without
// drawing, with a computer on every field. For each pairing of two levels it plays games against
// the computer (the sides change every game, both fields at one difficulty, as the menu sets them)
// and prints the wins, the chains, the pieces and the garbage sent per minute of play; then, for
// each level, one-player games at Normal until the field tops out or the time allowed a game has
// passed, and the pieces set by then. The same arguments give the same figures.
//
//   quorbistane-duel [--games N] [--solo N] [--pair A:B] [--difficulty D] [--minutes N] [--seed N]
//     --games       games per pairing (default 200)
//     --solo        one-player games per level (default 20)
//     --pair        only the pairing of levels A and B (0 Easy, 1 Normal, 2 Hard, 3 the hidden level)
//     --difficulty  the fields' difficulty in the pairings, 0..3 (default 1, Normal)
//     --minutes     minutes of play after which a game is left undecided (default 60)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <tu/tuSystem.h>
#include <tu/version.h>

#include "base/text.h"
#include "sim/progress.h"
#include "game/computer.h"
#include "game/game.h"
#include "game/model.h"
#include "platform/seams.h"

namespace {

constexpr int kFrameMs = 16;
long maxFrames = 60L * 60 * 1000 / kFrameMs;  // a game still running then is left undecided
const char* const kNames[kComputerLevels] = {"Easy", "Normal", "Hard", "Hidden"};

struct Tally {
  long games = 0, wins = 0;
  long frames = 0, pieces = 0, garbage = 0;
  long chains = 0, chainSteps = 0;  // chains ended, and their steps together
  int longest = 0;
  long gamesWithThree = 0;  // games with a chain of three or more
  long undecided = 0;  // games still running when the time allowed ran out
};

// Starts a game as the continue question's yes does, with the given computers on the fields.
void StartGame(int mode, const int level[2], const int difficulty[2]) {
  game.gameMode = mode;
  for (int pl = 0; pl < 2; ++pl) {
    game.computerLevel[pl] = level[pl];
    game.difficulty[pl] = difficulty[pl];
  }
  game.resultStep = 0;
  game.menuLevel = 0;
  ResetRound();
  game.player[0].phase = game.player[1].phase = kPhaseInit;
  tuSystem::sys.sceneNo = 1;
}

// Plays one game to its end; the tallies of the levels on fields 0 and 1 (field 1 unused alone).
bool PlayGame(int mode, const int level[2], const int difficulty[2], Tally* t[2]) {
  StartGame(mode, level, difficulty);
  int players = mode == kModeOnePlayer ? 1 : 2;
  int last[2] = {kPhaseInit, kPhaseInit};
  int out[2] = {0, 0};
  int longest[2] = {0, 0};
  long frames = 0;
  for (; frames < maxFrames; ++frames) {
    if (!tuSystem::RunFrame(kFrameMs)) return false;
    bool over = false;
    for (int pl = 0; pl < players; ++pl) {
      const PlayerState& p = game.player[pl];
      if (last[pl] == kPhaseControl && p.phase == kPhaseSetFlash) ++t[pl]->pieces;
      if (last[pl] == kPhaseMatch && p.phase == kPhaseSpawn && p.chain > 0) {
        ++t[pl]->chains;
        t[pl]->chainSteps += p.chain;
        if (p.chain > longest[pl]) longest[pl] = p.chain;
      }
      if (p.garbageOut < out[pl]) t[pl]->garbage += out[pl];
      out[pl] = p.garbageOut;
      last[pl] = p.phase;
      over = over || p.phase == kPhaseOver;
    }
    if (over) break;
  }
  for (int pl = 0; pl < players; ++pl) {
    Tally& x = *t[pl];
    ++x.games;
    x.frames += frames;
    if (longest[pl] > x.longest) x.longest = longest[pl];
    if (longest[pl] >= 3) ++x.gamesWithThree;
    if (frames >= maxFrames) ++x.undecided;
    else if (players == 2 && game.player[pl].gameOver == 0) ++x.wins;
  }
  return true;
}

double PerMinute(long n, long frames) { return frames > 0 ? n * 60000.0 / (static_cast<double>(frames) * kFrameMs) : 0.0; }

void PrintLevel(const char* name, const Tally& t) {
  printf("  %-7s wins %4ld/%-4ld  chain avg %.2f  longest %2d  chain>=3 in %3.0f%% of games  pieces/min %5.1f  "
         "garbage/min %5.1f\n",
         name, t.wins, t.games, t.chains ? static_cast<double>(t.chainSteps) / t.chains : 0.0, t.longest,
         t.games ? 100.0 * t.gamesWithThree / t.games : 0.0, PerMinute(t.pieces, t.frames),
         PerMinute(t.garbage, t.frames));
}

const char kUsage[] =
    "usage: quorbistane-duel [--games N] [--solo N] [--pair A:B] [--difficulty D] [--minutes N] [--seed N]\n"
    "                        [--help] [--version]\n";
const char kHelp[] =
    "Plays the computer's strengths (0 Easy, 1 Normal, 2 Hard, 3 the hidden level) against each\n"
    "other headless, then each alone, and prints wins, chains, pieces and garbage per minute.\n"
    "  --games N       games a pairing, 0 to 100000 (default 200)\n"
    "  --solo N        one-player games a strength, 0 to 100000 (default 20)\n"
    "  --pair A:B      only the pairing of strengths A and B (0..3)\n"
    "  --difficulty D  both fields' difficulty, 0 to 3 (default 1, Normal)\n"
    "  --minutes N     the longest game in minutes of play, 1 to 1440 (default 60)\n"
    "  --seed N        0 to 4294967295 (default 1)\n"
    "On a terminal a line on standard error tells the progress every few seconds.\n"
    "Exit status: 0 done, 1 the program ended, 2 a wrong command line.\n";

int Usage(const std::string& why) {
  fprintf(stderr, "quorbistane-duel: %s\n%s", why.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long games = 200, solo = 20, seed = 1, difficulty = 1, minutes = 60;
  int onlyA = -1, onlyB = -1;
  for (int i = 1; i < argc; ++i)
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      printf("%s%s", kUsage, kHelp);
      return 0;
    } else if (!strcmp(argv[i], "--version")) {
      printf("quorbistane-duel %s\n", TU_VERSION_STRING);
      return 0;
    }
  for (int i = 1; i < argc; i += 2) {  // every option takes a value
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!strcmp(a, "--games")) {
      if (!tu::ParseInteger(v, 0, 100000, &games)) return Usage("--games needs a number of games from 0 to 100000");
    } else if (!strcmp(a, "--solo")) {
      if (!tu::ParseInteger(v, 0, 100000, &solo)) return Usage("--solo needs a number of games from 0 to 100000");
    } else if (!strcmp(a, "--difficulty")) {
      if (!tu::ParseInteger(v, 0, 3, &difficulty)) return Usage("--difficulty needs a difficulty 0..3");
    } else if (!strcmp(a, "--minutes")) {
      if (!tu::ParseInteger(v, 1, 24 * 60, &minutes)) return Usage("--minutes needs a number of minutes, 1 to 1440");
    } else if (!strcmp(a, "--seed")) {
      if (!tu::ParseInteger(v, 0, 4294967295L, &seed)) return Usage("--seed needs a number from 0 to 4294967295");
    } else if (!strcmp(a, "--pair")) {
      if (!v || strlen(v) != 3 || v[1] != ':' || v[0] < '0' || v[0] > '3' || v[2] < '0' || v[2] > '3' || v[0] == v[2])
        return Usage("--pair needs two different levels 0..3, as A:B");
      onlyA = v[0] - '0';
      onlyB = v[2] - '0';
      if (onlyA > onlyB) std::swap(onlyA, onlyB);
    } else {
      return Usage("unknown argument '" + tu::Printable(a) + "'");
    }
  }

  maxFrames = minutes * 60 * 1000 / kFrameMs;

  // Headless on the manual clock, with the load-time stamps left as the real clock took them:
  // the figures in the README were measured so. UseHeadless would restart the stamps on this
  // clock, and the first game's first fall, which counts from them, would change every figure.
  tu::platform::SetHeadless(true);
  tu::platform::SetTick(0);
  tuSystem::Program program = GameProgram();
  game.clockMs = kFrameMs;  // a step of the game's clock is a frame of the run
  program.loadAssets = nullptr;  // no display and no sounds: the rules alone, as fast as they run
  program.fixedSeed = 1;
  program.seed = static_cast<unsigned>(seed);
  char arg0[] = "quorbistane";
  char* args[] = {arg0};
  if (!tuSystem::Start(1, args, program)) {
    fprintf(stderr, "quorbistane-duel: the program did not start\n");
    return 1;
  }

  const long pairings = onlyA >= 0 ? 1 : kComputerLevels * (kComputerLevels - 1) / 2;
  sim::Progress progress("quorbistane-duel", pairings * games + kComputerLevels * solo, 3.0, "game", 1);
  long long played = 0;
  static const char* const kDifficultyNames[4] = {"Easy", "Normal", "Hard", "the hidden difficulty"};
  if (games > 0)
    printf("games between the computer's levels (%ld per pairing, seed %ld; both fields at %s)\n", games, seed,
           kDifficultyNames[difficulty]);
  for (int lo = 0; lo < kComputerLevels && games > 0; ++lo)
    for (int hi = lo + 1; hi < kComputerLevels; ++hi) {
      if (onlyA >= 0 && (lo != onlyA || hi != onlyB)) continue;
      Tally t[2];  // [0] the lower level, [1] the higher
      for (long g = 0; g < games; ++g) {
        bool swap = g % 2 == 1;
        int level[2] = {swap ? hi : lo, swap ? lo : hi};
        int fields[2] = {static_cast<int>(difficulty), static_cast<int>(difficulty)};
        Tally* on[2] = {swap ? &t[1] : &t[0], swap ? &t[0] : &t[1]};
        if (!PlayGame(kModeComputer, level, fields, on)) {
          fprintf(stderr, "quorbistane-duel: the program ended\n");
          return 1;
        }
        progress.Frame(++played);
      }
      printf("%s against %s: %s wins %.1f%%", kNames[hi], kNames[lo], kNames[hi], 100.0 * t[1].wins / games);
      if (t[0].undecided) printf(" (%ld undecided after %ld minutes)", t[0].undecided, minutes);
      printf("\n");
      PrintLevel(kNames[hi], t[1]);
      PrintLevel(kNames[lo], t[0]);
    }

  if (solo > 0)
    printf("one-player games at Normal (%ld per level, at most %ld minutes each): pieces set before the field tops out\n",
           solo, minutes);
  for (int lv = 0; lv < kComputerLevels && solo > 0; ++lv) {
    Tally t, unused;
    long least = -1, most = 0;
    for (long g = 0; g < solo; ++g) {
      long before = t.pieces;
      int level[2] = {lv, -1};
      int difficulty[2] = {1, 1};
      Tally* on[2] = {&t, &unused};
      if (!PlayGame(kModeOnePlayer, level, difficulty, on)) {
        fprintf(stderr, "quorbistane-duel: the program ended\n");
        return 1;
      }
      progress.Frame(++played);
      long n = t.pieces - before;
      if (least < 0 || n < least) least = n;
      if (n > most) most = n;
    }
    printf("  %-7s pieces avg %6.1f  least %4ld  most %4ld  topped out in %ld of %ld games", kNames[lv],
           static_cast<double>(t.pieces) / solo, least, most, solo - t.undecided, solo);
    if (t.undecided) printf(" (the others still playing after %ld minutes)", minutes);
    printf("\n");
  }
  return 0;
}
