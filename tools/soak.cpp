// The soak: the real program, headless, through the simulator's frame path, for many frames of
// random but valid key input. It plays one-player games at every difficulty, versus games and
// games against the computer (random keys for player 1 alone) in turn, answers the continue
// question both ways, never presses Escape and never picks the menu's quit item. After every frame it checks the game state's invariants; the first broken
// one is printed with the frame and the seed, and the exit code is 1.
//
//   quorbistane-soak [FRAMES] [SEED] [--versus] [--mix] [--sync] [--help] [--version]
//   (defaults: 1000000 frames, seed 1)
//
// --versus plays versus games only. --mix measures the sound mixed as the clock moves, as the
// device would take it, and reports the loudest sample and the samples at full scale. --sync is
// the sync test: after every frame the game is put back 1 to 8 steps (in a fixed cycle) and those
// steps are run again with the same keys, without drawing or sound; every step run again must
// reach the state of its first run (the same checksum). Mismatches are printed (the first few)
// and counted, and any gives exit code 1.
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <random>
#include <string>

#include <tu/tuSystem.h>
#include <tu/version.h>

#include "base/text.h"
#include "sim/progress.h"

#include "game/computer.h"
#include "game/game.h"
#include "game/model.h"
#include "game/output.h"
#include "game/playback.h"
#include "game/settings.h"
#include "game/snapshot.h"
#include "platform/keyboard.h"
#include "platform/seams.h"

namespace {

constexpr int kFrameMs = 16;

// The kinds of game the soak plays in turn: one player at difficulty 0..3, versus, and against
// the computer.
constexpr int kVersus = 4, kComputer = 5;
constexpr int kPlan[8] = {0, kComputer, kVersus, 1, kComputer, 2, kVersus, 3};

struct Counts {
  long long frames = 0;
  long long games[5] = {};
  long long computerGames[kComputerLevels] = {};
  long long pieces = 0;
  long long continues[2] = {};  // yes, no
  long long pauses = 0;
  int maxChain = 0;
};

class Keys {
 public:
  // Presses or releases a key as a keyboard would: the state changes and the window hears of it.
  void Set(int vk, bool down) {
    if (down_[vk] == down) return;
    down_[vk] = down;
    tuSystem::PressKey(vk, down);
  }
  bool Down(int vk) const { return down_[vk]; }
  // A tap: down now, up after `frames` frame steps.
  void Tap(int vk, int frames) {
    Set(vk, true);
    if (releaseIn_[vk] < frames) releaseIn_[vk] = frames;
  }
  // Held: down now, up after `frames` frame steps (0 = until released by hand).
  void Hold(int vk, int frames) { Tap(vk, frames); }
  // Counts down the taps; releases the keys whose time is up.
  void Tick() {
    for (int vk = 0; vk < 256; ++vk)
      if (releaseIn_[vk] > 0 && --releaseIn_[vk] == 0) Set(vk, false);
  }
  void ReleaseAll() {
    for (int vk = 0; vk < 256; ++vk) {
      releaseIn_[vk] = 0;
      Set(vk, false);
    }
  }
  bool AnyDown() const {
    for (bool d : down_)
      if (d) return true;
    return false;
  }

 private:
  bool down_[256] = {};
  int releaseIn_[256] = {};
};

class Driver {
 public:
  Driver(unsigned seed, bool versusOnly) : rng_(seed), versusOnly_(versusOnly) {}

  // Puts this frame's key changes in place (before the frame runs).
  void Input() {
    keys_.Tick();
    int scene = tuSystem::sys.sceneNo;
    if (scene != 1) paused_ = 0;
    if (scene == 2)
      Menu();
    else if (scene == 1 && (game.player[0].phase == kPhaseOver || game.player[1].phase == kPhaseOver))
      Result();
    else if (scene == 1)
      Play();
    else if (Chance(30) && !keys_.AnyDown())
      keys_.Tap(vk::X, 1);  // any other scene: confirm now and then
  }

  int Kind() const { return versusOnly_ ? kVersus : kPlan[plan_ % 8]; }
  void NextPlan() { ++plan_; }

 private:
  bool Chance(int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(rng_) == 0; }
  int Range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  // Menu keys are single taps with a pause between them, so every tap is seen as a press.
  bool MenuReady() {
    if (keys_.AnyDown()) return false;
    if (wait_ > 0) {
      --wait_;
      return false;
    }
    wait_ = Range(1, 6);
    return true;
  }

  // Moves a cursor over 0..4 one tap at a time towards `target`.
  void Steer(int cursor, int target, int up, int down, int confirm) {
    if (cursor == target)
      keys_.Tap(confirm, 1);
    else
      keys_.Tap(cursor < target ? down : up, 1);
  }

  void Menu() {
    answer_ = -1;
    if (!MenuReady()) return;
    int kind = Kind();
    switch (game.menuLevel) {
      case 0:
        // Items 0 one player, 1 versus, 2 against the computer, 3 options, 4 quit: the last two
        // are never confirmed.
        Steer(game.gameMode, kind == kVersus ? kModeVersus : kind == kComputer ? kModeComputer : kModeOnePlayer,
              vk::Up, vk::Down, vk::X);
        break;
      case 1: {
        // Difficulties 0..2 at their items, 3 at the hidden fifth position; the fourth item
        // (back) is confirmed now and then on purpose.
        if (levelTarget_[0] < 0)
          levelTarget_[0] = Chance(40) ? 3 : kind >= kVersus ? Range(0, 2) : kind == 3 ? 4 : kind;
        Steer(game.levelCursor[0], levelTarget_[0], vk::Up, vk::Down, vk::X);
        if (game.levelCursor[0] == levelTarget_[0]) levelTarget_[0] = -1;
        break;
      }
      case 2: {
        // Player 2's list, or the computer's strength, chosen with player 1's keys.
        if (levelTarget_[1] < 0) levelTarget_[1] = Chance(20) ? 3 : Range(0, 4);
        if (game.gameMode == kModeComputer)
          Steer(game.levelCursor[1], levelTarget_[1], vk::Up, vk::Down, vk::X);
        else
          Steer(game.levelCursor[1], levelTarget_[1], vk::W, vk::S, vk::J);
        if (game.levelCursor[1] == levelTarget_[1]) levelTarget_[1] = -1;
        break;
      }
      default:
        break;
    }
  }

  void Result() {
    if (answer_ < 0) answer_ = Range(0, 1);  // 0 continue, 1 back to the menu
    if (!MenuReady()) return;
    if (game.resultStep == 1) {
      // Waiting for the outcome pictures: a confirm now and then cuts it short.
      if (Chance(3)) keys_.Tap(Chance(2) ? vk::X : vk::J, 1);
      return;
    }
    if (game.resultStep != 2) return;
    bool versus = game.gameMode == kModeVersus;  // against the computer, player 1 answers alone
    static constexpr int kToggle[4] = {vk::Left, vk::Right, vk::A, vk::D};
    if (game.levelCursor[0] != answer_)
      keys_.Tap(kToggle[versus ? Range(0, 3) : Range(0, 1)], 1);
    else
      keys_.Tap(versus && Chance(2) ? vk::J : vk::X, 1);
  }

  void Play() {
    answer_ = -1;
    // The pause: Space now and then, and again a little later.
    if (paused_ > 0) {
      if (--paused_ == 0) keys_.Tap(vk::Space, 1);
      return;
    }
    if (!keys_.Down(vk::Space) && Chance(1500)) {
      keys_.Tap(vk::Space, 1);
      paused_ = Range(3, 120);
      return;
    }
    int players = game.gameMode == kModeVersus ? 2 : 1;  // the computer plays player 2 by itself
    for (int pl = 0; pl < players; ++pl) {
      if (!Chance(4)) continue;
      int vk = PieceKey(pl, Range(0, 4));
      if (keys_.Down(vk)) continue;
      if (Chance(3))
        keys_.Hold(vk, Range(5, 90));  // held: repeats, slides and fast drops
      else
        keys_.Tap(vk, Range(1, 3));
    }
  }

  std::mt19937 rng_;
  bool versusOnly_;
  Keys keys_;
  unsigned plan_ = 0;
  int wait_ = 0;
  int paused_ = 0;
  int answer_ = -1;
  int levelTarget_[2] = {-1, -1};
};

bool DesignedPhase(int phase) { return (phase >= kPhaseSpawn && phase <= kPhaseOver) || phase == kPhaseColorGarbage || phase == kPhasePaused; }

// The first broken invariant of player `pl`, or null.
const char* BrokenInvariant(int pl, char* buf, size_t size) {
  const PlayerState& p = game.player[pl];
  if (!DesignedPhase(p.phase)) {
    snprintf(buf, size, "player %d: phase %d is not a designed phase", pl + 1, p.phase);
    return buf;
  }
  // A pause keeps the phase it interrupted: a player paused before its start phase ran has no
  // walls yet.
  // Player 2 of a one-player game has no field: it only shares the pause and the game over.
  int shown = p.phase == kPhasePaused ? game.pausedPhase[pl] : p.phase;
  bool inPlay = pl == 0 || game.gameMode != kModeOnePlayer;
  for (int s = 0; s < kSlots; ++s)
    for (int l = 0; l < kLines; ++l) {
      int c = p.cells[s][l];
      if (!((c >= 0 && c <= kWall) || c == kGarbage)) {
        snprintf(buf, size, "player %d: code %d at slot %d, line %d", pl + 1, c, s, l);
        return buf;
      }
      bool wall = s == 0 || s == 6 || l == 17 || (s == 5 && (l & 1));
      if (inPlay && shown != kPhaseInit && wall && c != kWall) {
        snprintf(buf, size, "player %d: wall missing at slot %d, line %d (code %d, phase %d)", pl + 1, s, l, c,
                 p.phase);
        return buf;
      }
    }
  if (p.score < 0 || p.score > kScoreMax) {
    snprintf(buf, size, "player %d: score %d outside 0..%d", pl + 1, p.score, kScoreMax);
    return buf;
  }
  if (p.garbageIn < 0 || p.garbageOut < 0) {
    snprintf(buf, size, "player %d: garbage counter negative (in %d, out %d)", pl + 1, p.garbageIn, p.garbageOut);
    return buf;
  }
  // The falling piece: every block on a live cell, or one half-block (line -1) above the field.
  bool pieceLive = inPlay && (p.phase == kPhaseControl || (p.phase == kPhasePaused && game.pausedPhase[pl] == kPhaseControl));
  if (pieceLive) {
    int blocks[3][2] = {{p.pieceSlot, p.pieceLine},
                        {p.pieceSlot + p.satellite[0][0], p.pieceLine + p.satellite[0][1]},
                        {p.pieceSlot + p.satellite[1][0], p.pieceLine + p.satellite[1][1]}};
    for (auto& b : blocks) {
      bool ok = b[1] == -1 ? (b[0] >= 1 && b[0] <= 5) : IsLiveCell(b[0], b[1]);
      if (!ok) {
        snprintf(buf, size, "player %d: piece block at slot %d, line %d is outside the lattice", pl + 1, b[0], b[1]);
        return buf;
      }
    }
  }
  // A computer's choice is a place on the lattice in a known orientation.
  const ComputerState& c = game.computer[pl];
  if (game.computerLevel[pl] >= 0 && c.planned &&
      (c.orientation < 0 || c.orientation > 4 || c.slot < 0 || c.slot >= kSlots || c.line < 0 || c.line >= kLines)) {
    snprintf(buf, size, "player %d: the computer chose slot %d, line %d, orientation %d", pl + 1, c.slot, c.line,
             c.orientation);
    return buf;
  }
  return nullptr;
}

// The mix as the clock moves, at the device's format: its loudest sample and how many samples
// reached full scale, where the device's saturating sum clips.
class MixMeter {
 public:
  static void Take(const tuSystem::MixedSound& sound, void* self) { static_cast<MixMeter*>(self)->Measure(sound); }
  void Measure(const tuSystem::MixedSound& sound) {
    if (sound.bits != 16) return;  // the game never changes the format
    const int16_t* out = static_cast<const int16_t*>(sound.samples);
    const int n = sound.frames * sound.channels;
    for (int i = 0; i < n; ++i) {
      int v = out[i] < 0 ? -out[i] : out[i];
      if (v > peak_) peak_ = v;
      clipped_ += out[i] == 32767 || out[i] == -32768;
    }
    samples_ += n;
  }
  void Print() const {
    double db = peak_ > 0 ? 20.0 * std::log10(peak_ / 32768.0) : -INFINITY;
    printf("mix: %lld samples, peak %d (%.2f dBFS), %lld at full scale\n", samples_, peak_, db, clipped_);
  }

 private:
  long long samples_ = 0, clipped_ = 0;
  int peak_ = 0;
};

// The sync test: the states after the last frames, their checksums and the keys each frame ran
// with, in rings; after each frame the game goes back some steps and runs them again.
class SyncTest {
 public:
  static constexpr int kDepth = 8;  // steps run again at most

  // After frame `f` ran with `keys` down: keeps its state, then runs the last 1..kDepth steps
  // again. The first frame is never run again: before it the loop also takes the window's
  // start-up messages (activation, the frame clock's reset), which are no step of the game.
  void After(long long f, const uint8_t keys[256]) {
    std::copy(keys, keys + 256, keys_[Slot(f)]);
    Keep(f + 1);
    if (f == 0) return;
    int back = static_cast<int>(f % kDepth) + 1;
    if (back > f) back = static_cast<int>(f);
    ++rollbacks_;
    Restore(states_[Slot(f + 1 - back)]);
    gameout::output = {false, false};
    for (long long j = f + 1 - back; j <= f; ++j) {
      Press(keys_[Slot(j)]);
      tuSystem::SetClock(tuSystem::Tick() + kFrameMs);
      tuSystem::FrameStep();
      ++steps_;
      uint64_t sum = Checksum();
      if (sum != sums_[Slot(j + 1)]) {
        if (++mismatches_ <= 10)
          fprintf(stderr,
                  "quorbistane-soak: sync: step %lld run again from step %lld: checksum %016llx, first run "
                  "%016llx\n",
                  j, f + 1 - back, static_cast<unsigned long long>(sum),
                  static_cast<unsigned long long>(sums_[Slot(j + 1)]));
        break;
      }
    }
    gameout::output = {true, true};
    // The run goes on from its own state, whatever the steps run again gave.
    Restore(states_[Slot(f + 1)]);
    Press(keys_[Slot(f)]);
  }
  void Print() const {
    printf("sync: %lld rollbacks, %lld steps run again, %lld mismatches\n", rollbacks_, steps_, mismatches_);
  }
  long long Mismatches() const { return mismatches_; }

 private:
  static int Slot(long long step) { return static_cast<int>(step % (kDepth + 1)); }
  void Keep(long long step) {
    Snapshot(states_[Slot(step)]);
    sums_[Slot(step)] = Checksum(states_[Slot(step)]);
  }
  // The keyboard as it was in that step (keys only: the window's own key messages are no input
  // of the game's rules).
  static void Press(const uint8_t keys[256]) {
    for (int vk = 0; vk < 256; ++vk) {
      bool down = keys[vk] != 0;
      if (((tu::platform::KeyDownState(vk) & 0x80) != 0) != down) tu::platform::InjectKey(vk, down);
    }
  }

  GameSnapshot states_[kDepth + 1];
  uint64_t sums_[kDepth + 1] = {};
  uint8_t keys_[kDepth + 1][256] = {};
  long long rollbacks_ = 0, steps_ = 0, mismatches_ = 0;
};

// Every game the run plays is recorded; each, once ended, is played back from its replay with
// the run put aside, and must end in the state the game ended in.
class ReplayProof {
 public:
  void After(long long f) {
    if (RecordingsEnded() == seen_) return;
    seen_ = RecordingsEnded();
    Snapshot(kept_);
    uint64_t want = ReplayDigest();
    Replay r;
    std::string error;
    bool ok = ParseReplay(RecordedText().data(), RecordedText().size(), &r, &error) && StartPlayback(r, &error);
    if (ok) {
      gameout::output = {false, false};
      for (uint32_t s = 0; s < ReplayLength(r) && !PlaybackFinished(); ++s) GameStep();
      gameout::output = {true, true};
      ok = PlaybackError().empty() && ReplayDigest() == want;
      if (!ok) error = PlaybackError().empty() ? "its last state differs" : PlaybackError();
      StopPlayback();
    }
    Restore(kept_);
    ++games_;
    bytes_ += RecordedText().size();
    if (!ok && ++failures_ <= 10)
      fprintf(stderr, "quorbistane-soak: frame %lld: the replay of the game that ended: %s\n", f, error.c_str());
  }
  void Print() const {
    printf("replays: %lld games played back, %lld differ, %.1f KB a game\n", games_, failures_,
           games_ ? bytes_ / 1024.0 / static_cast<double>(games_) : 0.0);
  }
  long long Failures() const { return failures_; }

 private:
  int seen_ = 0;
  GameSnapshot kept_;
  long long games_ = 0, failures_ = 0;
  size_t bytes_ = 0;
};

int Fail(long long frame, unsigned seed, const char* what) {
  fprintf(stderr, "quorbistane-soak: frame %lld, seed %u: %s\n", frame, seed, what);
  return 1;
}

}  // namespace

const char kUsage[] = "usage: quorbistane-soak [FRAMES] [SEED] [--versus] [--mix] [--sync] [--help] [--version]\n";
const char kHelp[] =
    "Plays the real game headless with random keys of both players for FRAMES frames (default\n"
    "1000000) from SEED (0 to 4294967295, default 1), and checks the game state after every frame.\n"
    "On a terminal a line on standard error tells the progress every few seconds.\n"
    "  --versus  versus games only\n"
    "  --mix     measure the mixed sound: the loudest sample and the samples at full scale\n"
    "  --sync    after every frame go back 1 to 8 steps and run them again: the same checksums\n"
    "Exit status: 0 every frame kept the state whole; 1 a broken invariant (printed with its frame\n"
    "and the seed), a sync mismatch, a game whose replay ends elsewhere, or the program did not start;\n"
    "2 a wrong command line. Every game played is recorded and played back from its replay.\n";

int main(int argc, char** argv) {
  long long frames = 1000000;
  unsigned seed = 1;
  bool versusOnly = false, mix = false, sync = false;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    char* end = nullptr;
    bool ok = true;
    const char* why = "unknown argument";
    errno = 0;
    if (a == "--help" || a == "-h") {
      printf("%s%s", kUsage, kHelp);
      return 0;
    } else if (a == "--version") {
      printf("quorbistane-soak %s\n", TU_VERSION_STRING);
      return 0;
    } else if (a == "--versus") {
      versusOnly = true;
    } else if (a == "--mix") {
      mix = true;
    } else if (a == "--sync") {
      sync = true;
    } else if (a.rfind("--", 0) == 0) {
      ok = false;
    } else if (positional == 0) {
      why = "FRAMES must be a number of frames, 0 or more, not";
      frames = strtoll(argv[i], &end, 10);
      ok = *end == 0 && end != argv[i] && frames >= 0 && errno == 0;
      ++positional;
    } else if (positional == 1) {
      why = "SEED must be a number from 0 to 4294967295, not";
      long long s = strtoll(argv[i], &end, 10);
      ok = *end == 0 && end != argv[i] && s >= 0 && s <= 4294967295LL && errno == 0;
      seed = static_cast<unsigned>(s);
      ++positional;
    } else {
      ok = false;
    }
    if (!ok) {
      fprintf(stderr, "quorbistane-soak: %s '%s'\n%s", why, tu::Printable(a).c_str(), kUsage);
      return 2;
    }
  }

  tuSystem::UseHeadless();
  tuSystem::Program program = GameProgram();
  game.clockMs = kFrameMs;  // a step of the game's clock is a frame of the run
  program.fixedSeed = 1;
  program.seed = seed;
  char arg0[] = "quorbistane";
  char* args[] = {arg0};
  if (!tuSystem::Start(1, args, program)) {
    fprintf(stderr, "quorbistane-soak: the program did not start\n");
    return 1;
  }

  Driver driver(seed, versusOnly);
  MixMeter meter;
  if (mix) tuSystem::SetSoundSink(MixMeter::Take, &meter);
  Counts n;
  int lastPhase[2] = {game.player[0].phase, game.player[1].phase};
  int lastScene = tuSystem::sys.sceneNo;
  int lastResultStep = game.resultStep;
  static SyncTest syncTest;  // nine whole states: kept off the stack
  static ReplayProof replays;
  uint8_t keys[256];
  auto start = std::chrono::steady_clock::now();
  sim::Progress progress("quorbistane-soak", frames);
  char buf[256];
  for (long long f = 0; f < frames; ++f) {
    driver.Input();
    if (sync)
      for (int vk = 0; vk < 256; ++vk) keys[vk] = (tu::platform::KeyDownState(vk) & 0x80) != 0;
    if (!tuSystem::RunFrame(kFrameMs)) return Fail(f, seed, "the program ended (a quit was never asked for)");
    ++n.frames;
    progress.Frame(n.frames);
    if (sync) syncTest.After(f, keys);
    replays.After(f);

    for (int pl = 0; pl < 2; ++pl)
      if (const char* why = BrokenInvariant(pl, buf, sizeof buf)) return Fail(f, seed, why);
    // The menu reads the keyboard: no key stays in a computer's hold there.
    if (lastScene == 2 && tuSystem::sys.sceneNo == 2)
      for (int k = 0; k < 5; ++k)
        if (tuSystem::sys.drivenKeys[PieceKey(1, k)] != 0)
          return Fail(f, seed, "a key of player 2 is still held by the computer in the menu");

    // Counting: a game starts when player 1 leaves the start phase; a piece is set when a
    // player passes from control to the set flash.
    const PlayerState* p = game.player;
    if (lastPhase[0] == kPhaseInit && p[0].phase != kPhaseInit) {
      if (game.gameMode == kModeOnePlayer && game.difficulty[0] >= 0 && game.difficulty[0] <= 3)
        ++n.games[game.difficulty[0]];
      else if (game.gameMode == kModeVersus)
        ++n.games[kVersus];
      else if (game.gameMode == kModeComputer && game.computerLevel[1] >= 0 && game.computerLevel[1] < kComputerLevels)
        ++n.computerGames[game.computerLevel[1]];
    }
    for (int pl = 0; pl < 2; ++pl) {
      if (lastPhase[pl] == kPhaseControl && p[pl].phase == kPhaseSetFlash) ++n.pieces;
      if (p[pl].maxChain > n.maxChain) n.maxChain = p[pl].maxChain;
      if (p[pl].phase == kPhasePaused && lastPhase[pl] != kPhasePaused && pl == 0) ++n.pauses;
      lastPhase[pl] = p[pl].phase;
    }
    // The answer is taken when the result sequence leaves its question.
    if (lastResultStep == 3 && game.resultStep == 0) {
      if (tuSystem::sys.sceneNo == 1)
        ++n.continues[0];
      else
        ++n.continues[1];
    }
    lastResultStep = game.resultStep;
    // Each visit to the menu plays the next kind of game.
    if (lastScene != 2 && tuSystem::sys.sceneNo == 2) driver.NextPlan();
    lastScene = tuSystem::sys.sceneNo;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  printf("frames %lld (seed %u)\n", n.frames, seed);
  printf("one-player games by difficulty: %lld %lld %lld %lld\n", n.games[0], n.games[1], n.games[2], n.games[3]);
  printf("versus games: %lld\n", n.games[kVersus]);
  printf("games against the computer by level: %lld %lld %lld %lld\n", n.computerGames[0], n.computerGames[1],
         n.computerGames[2], n.computerGames[3]);
  printf("continue answered yes %lld, no %lld; pauses %lld\n", n.continues[0], n.continues[1], n.pauses);
  printf("pieces set %lld, max chain %d\n", n.pieces, n.maxChain);
  printf("%.0f frames/s (%.1f s)\n", seconds > 0 ? n.frames / seconds : 0.0, seconds);
  if (mix) meter.Print();
  replays.Print();
  if (replays.Failures() > 0) return 1;
  if (sync) {
    syncTest.Print();
    if (syncTest.Mismatches() > 0) return 1;
  }
  return 0;
}
