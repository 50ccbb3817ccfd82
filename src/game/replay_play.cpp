// Recording every game as it is played, and playing a replay back through the same steps.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>
#include <tu/version.h>

#include "game/model.h"
#include "game/output.h"
#include "game/playback.h"
#include "game/settings.h"
#include "game/snapshot.h"

namespace {

// Raised by hand whenever a rule changes in code rather than in a table: replays of the old
// rules are then refused instead of diverging.
constexpr uint32_t kRulesRevision = 1;
constexpr uint32_t kCheckEvery = 60;

struct Recording {
  bool on = false;
  ReplayHeader header;
  ReplayWriter writer;
  StepInput last;
  uint32_t steps = 0;  // steps begun
  bool held = false;   // ended, not yet written (an online game's, until its end is confirmed)
  int64_t heldStep = -1;
};
Recording rec;
RecordMode recordMode = RecordMode::Played;

// Whether this step is recorded: a step run again only when an online session runs it with its
// final inputs.
bool Recorded() {
  if (recordMode == RecordMode::Off) return false;
  return recordMode == RecordMode::Online || !gameout::Rerun();
}
int recordingsEnded = 0;

// Where recordings go: unset is the player's folder in a window, nowhere headless.
struct Destination {
  bool set = false;
  std::string folder, file;
};
Destination dest;

// The game's choices a replay names: a playback puts the game's own aside and gives them back.
struct Choices {
  int gameMode = 0, difficulty[2] = {}, computerLevel[2] = {-1, -1}, clockMs = kCadenceClock;
  GameRandom random;
};

Choices CurrentChoices() {
  Choices c;
  c.gameMode = game.gameMode;
  for (int pl = 0; pl < 2; ++pl) {
    c.difficulty[pl] = game.difficulty[pl];
    c.computerLevel[pl] = game.computerLevel[pl];
  }
  c.clockMs = game.clockMs;
  c.random = game.random;
  return c;
}

void UseChoices(const Choices& c) {
  game.gameMode = c.gameMode;
  for (int pl = 0; pl < 2; ++pl) {
    game.difficulty[pl] = c.difficulty[pl];
    game.computerLevel[pl] = c.computerLevel[pl];
  }
  game.clockMs = c.clockMs;
  game.random = c.random;
}

struct Playback {
  bool on = false, finished = false;
  Choices kept;
  Replay replay;
  size_t nextEvent = 0, nextCheck = 0;
  uint32_t length = 0;  // steps to play
  StepInput held;
  int speed = 1;
  std::string error;
};
Playback play;

InputSource inputSource = nullptr;
void* inputContext = nullptr;

class Hash {
 public:
  void Add(uint64_t v) { h_ = (h_ ^ v) * 0x100000001B3ull; }
  uint64_t Value() const { return h_; }

 private:
  uint64_t h_ = 0xCBF29CE484222325ull;
};

uint64_t SeedOf(const GameRandom& r) { return (static_cast<uint64_t>(r.state[1]) << 32) | r.state[0]; }

// Into a string that keeps its room from game to game: starting a recording allocates nothing.
void LocalDate(std::string& out) {
  time_t t = time(nullptr);
  struct tm tm {};
  localtime_r(&t, &tm);
  char buf[32];
  strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  out.assign(buf);
}

}  // namespace

uint32_t ReplayLength(const Replay& r) {
  if (r.end.present) return r.end.steps;
  uint32_t n = 0;
  if (!r.events.empty()) n = r.events.back().step + 1;
  if (!r.checks.empty() && r.checks.back().step > n) n = r.checks.back().step;
  return n;
}

uint64_t RuleTableHash() {
  Hash h;
  h.Add(kRulesRevision);
  for (const DifficultyInfo& d : kDifficulty) h.Add(static_cast<uint64_t>(d.colorCount) << 32 | static_cast<uint32_t>(d.fallInterval));
  for (int s : kGarbageSlots) h.Add(static_cast<uint64_t>(s));
  for (int o = 1; o <= 4; ++o)
    for (int k = 0; k < 2; ++k) h.Add(static_cast<uint64_t>(SatelliteEdge(o, k)));
  h.Add(kScoreMax), h.Add(kSlots), h.Add(kLines), h.Add(kLiveCells);
  return h.Value();
}

const char* GameVersion() { return TU_VERSION_STRING; }

void RecordReplaysTo(const std::string& folder, const std::string& file) {
  dest.set = true;
  dest.folder = folder;
  dest.file = file;
}

const std::string& ReplaysFolderInUse() {
  if (!dest.set) {
    dest.set = true;
    if (!tuSystem::IsHeadless()) dest.folder = ReplayFolder();
  }
  return dest.folder;
}

void BeginGame() {
  // The game's choices stay: mode, difficulties, computers, the generator and the clock.
  for (PlayerState& p : game.player) {
    p = PlayerState{};
    p.fallTime = game.clock;
  }
  game.menuLevel = 0;
  game.levelCursor[0] = game.levelCursor[1] = 0;
  game.pausedPhase[0] = game.pausedPhase[1] = kPhasePaused;
  game.resultStep = 0;
  game.resultTime = game.clock;
  std::memset(game.groupMarks, 0, sizeof game.groupMarks);
  game.groupNo = 0;
  game.keys = GameKeys{};
  game.cadence = 0;
  game.gameStep = 0;
  // No wipe runs as a game starts (the scene's change ends the menu's): its fields start afresh.
  tuDraw::DrawState& dr = tuDraw::draw;
  if (dr.wipeState != 0) dr.clipRect = dr.wipeSaved;
  dr.wipeSaved = dr.clipRect;
  dr.wipeState = dr.wipeDone = dr.wipeAux = dr.wipeDirection = dr.wipePattern = dr.wipeBand = 0;
  dr.wipeSpeed = 0.0f;

  if (play.on || !Recorded()) return;
  ReplayHeader& h = rec.header;
  h.format = kReplayFormat;
  h.gameVersion.assign(GameVersion());
  h.ruleHash = RuleTableHash();
  h.seed = SeedOf(game.random);
  h.clockMs = game.clockMs;
  h.clockStart = game.clock;
  h.mode = game.gameMode;
  for (int pl = 0; pl < 2; ++pl) {
    h.difficulty[pl] = game.difficulty[pl];
    h.computer[pl] = game.computerLevel[pl];
  }
  LocalDate(h.date);
  rec.writer.Begin(h);
  rec.last = StepInput{};
  rec.steps = 0;
  rec.on = true;
  rec.held = false;
  rec.heldStep = -1;
}

StepInput StepInputOf() {
  if (play.on) {
    const std::vector<ReplayEvent>& ev = play.replay.events;
    while (play.nextEvent < ev.size() && ev[play.nextEvent].step <= game.gameStep) {
      const ReplayEvent& e = ev[play.nextEvent++];
      uint8_t bit = static_cast<uint8_t>(1u << e.action);
      play.held.held[e.player] = e.down ? (play.held.held[e.player] | bit) : (play.held.held[e.player] & ~bit);
    }
    return play.held;
  }
  StepInput in = inputSource ? inputSource(game.gameStep, inputContext) : ReadInput();
  if (!Recorded()) return in;
  rec.steps = game.gameStep + 1;
  if (rec.on && !(in == rec.last)) {
    for (int pl = 0; pl < 2; ++pl)
      for (int a = 0; a < kReplayActions; ++a)
        if (in.Held(pl, a) != rec.last.Held(pl, a))
          rec.writer.Event({game.gameStep, static_cast<uint8_t>(pl), static_cast<uint8_t>(a), in.Held(pl, a)});
    rec.last = in;
  }
  return in;
}

bool InputFromSource() { return inputSource != nullptr; }

void UseInputSource(InputSource source, void* context) {
  inputSource = source;
  inputContext = context;
}

void EndStep() {
  ++game.gameStep;
  if (rec.on && Recorded() && game.gameStep % kCheckEvery == 0) rec.writer.Check(game.gameStep, ReplayDigest());
  if (!play.on || play.finished) return;
  const std::vector<ReplayCheck>& checks = play.replay.checks;
  while (play.nextCheck < checks.size() && checks[play.nextCheck].step < game.gameStep) ++play.nextCheck;
  if (play.nextCheck < checks.size() && checks[play.nextCheck].step == game.gameStep &&
      checks[play.nextCheck].digest != ReplayDigest()) {
    char msg[64];
    snprintf(msg, sizeof msg, "replay diverges at step %u", static_cast<unsigned>(game.gameStep));
    play.error = msg;
    play.finished = true;
  }
  if (game.gameStep >= play.length) play.finished = true;
}

namespace {
void CloseRecording() {
  rec.on = false;
  ReplayEnd end;
  end.present = true;
  end.steps = rec.steps;
  const PlayerState* p = game.player;
  end.score[0] = p[0].score;
  end.score[1] = p[1].score;
  if (game.gameMode != kModeOnePlayer && p[0].gameOver != p[1].gameOver) end.winner = p[0].gameOver ? 2 : 1;
  rec.writer.End(end);
  rec.held = true;
  rec.heldStep = game.gameStep;
}
}  // namespace

void EndGameRecording() {
  if (!rec.on || !Recorded()) return;
  if (recordMode == RecordMode::Online) {
    CloseRecording();  // written by SaveRecording once the session has confirmed this step
    return;
  }
  std::string error;
  if (!SaveRecording(&error)) fprintf(stderr, "quorbistane: the game's replay is not kept: %s\n", error.c_str());
}

const std::string& RecordedText() { return rec.writer.Text(); }

int RecordingsEnded() { return recordingsEnded; }

void SetRecordMode(RecordMode mode) { recordMode = mode; }

RecordMark MarkRecording() { return {rec.writer.Text().size(), rec.last, rec.steps, rec.on, rec.held, rec.heldStep}; }

void RewindRecording(const RecordMark& m) {
  rec.writer.Truncate(m.length);
  rec.last = m.last;
  rec.steps = m.steps;
  rec.on = m.on;
  rec.held = m.held;
  rec.heldStep = m.heldStep;
}

int64_t HeldRecordingStep() { return rec.held ? rec.heldStep : -1; }

bool SaveRecording(std::string* error) {
  if (rec.on) CloseRecording();
  if (!rec.held) return true;
  rec.held = false;
  ++recordingsEnded;
  ReplaysFolderInUse();
  if (!dest.file.empty()) {
    FILE* f = fopen(dest.file.c_str(), "wb");
    const std::string& t = rec.writer.Text();
    bool ok = f && fwrite(t.data(), 1, t.size(), f) == t.size();
    if (f && fclose(f) != 0) ok = false;
    if (!ok) *error = "cannot write " + dest.file + ": " + strerror(errno);
    return ok;
  }
  if (dest.folder.empty()) return true;
  std::string path;
  return SaveReplay(dest.folder, rec.header, rec.writer.Text(), &path, error);
}

bool StartPlayback(const Replay& r, std::string* error) {
  if (!ReplayFits(r.header, GameVersion(), RuleTableHash(), error)) return false;
  const ReplayHeader& h = r.header;
  if (h.mode < kModeOnePlayer || h.mode > kModeComputer) {
    *error = "the replay's mode is not one of the game's";
    return false;
  }
  rec.on = false;
  rec.held = false;
  play = Playback{};
  play.on = true;
  play.kept = CurrentChoices();
  play.replay = r;
  play.length = ReplayLength(r);
  Choices c{h.mode, {h.difficulty[0], h.difficulty[1]}, {h.computer[0], h.computer[1]}, h.clockMs, {}};
  c.random.state[0] = static_cast<uint32_t>(h.seed);
  c.random.state[1] = static_cast<uint32_t>(h.seed >> 32);
  UseChoices(c);
  game.clock = h.clockStart;
  game.player[0].phase = game.player[1].phase = kPhaseInit;
  tuSystem::ReleaseDrivenKeys();
  tuSystem::sys.sceneNo = 1;
  tuSystem::sys.prevSceneNo = 0;
  if (play.length == 0) play.finished = true;
  return true;
}

bool PlaybackActive() { return play.on; }
bool PlaybackFinished() { return play.on && play.finished; }
const std::string& PlaybackError() { return play.error; }

void StopPlayback() {
  if (!play.on) return;
  UseChoices(play.kept);
  play = Playback{};
}

int PlaybackSpeed() { return play.speed; }
void SetPlaybackSpeed(int speed) { play.speed = speed; }
