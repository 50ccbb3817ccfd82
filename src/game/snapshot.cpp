#include "game/snapshot.h"

#include <cstring>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace {

// Word by word: each step (h ^ w) * odd is one-to-one in h and in w, so a single changed word
// always changes the digest.
class Digest {
 public:
  void Word(uint32_t w) { h_ = (h_ ^ w) * 0x100000001B3ull; }
  void Int(int v) { Word(static_cast<uint32_t>(v)); }
  void Float(float f) {
    uint32_t w;
    std::memcpy(&w, &f, sizeof w);
    Word(w);
  }
  template <size_t N>
  void Ints(const int (&a)[N]) {
    for (int v : a) Int(v);
  }
  template <size_t S, size_t L>
  void Grid(const int (&g)[S][L]) {
    for (const auto& row : g) Ints(row);
  }
  void Bytes(const uint8_t* p, size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
      uint32_t w;
      std::memcpy(&w, p + i, 4);
      Word(w);
    }
    uint32_t tail = 0;
    for (size_t k = 0; i < n; ++i, ++k) tail |= static_cast<uint32_t>(p[i]) << (8 * k);
    Word(tail ^ static_cast<uint32_t>(n));
  }
  void Rect(const tu::Rect& r) {
    Int(r.left), Int(r.top), Int(r.right), Int(r.bottom);
  }
  uint64_t Value() const { return h_; }

 private:
  uint64_t h_ = 0xCBF29CE484222325ull;
};

// A field added to one of these needs its place in the lists below; these sizes (x86-64) are
// those of the fields listed, with the padding after the byte fields.
static_assert(sizeof(PlayerState) == 3256, "PlayerState changed: list its new field in the digest");
static_assert(sizeof(ComputerState) == 40, "ComputerState changed: list its new field in the digest");
static_assert(sizeof(GameKeys) == 96, "GameKeys changed: list its new field in the digest");
static_assert(sizeof(GameState) == 7268, "GameState changed: list its new field in the digest");

void AddPlayer(Digest& d, const PlayerState& p) {
  d.Int(p.phase);
  d.Grid(p.cells);
  d.Grid(p.tileFrame);
  d.Grid(p.offsetX);
  d.Grid(p.offsetY);
  d.Grid(p.moveDir);
  d.Grid(p.justSet);
  d.Bytes(p.eraseFlag, sizeof p.eraseFlag);
  d.Int(p.pieceSlot), d.Int(p.pieceLine);
  d.Ints(p.pieceColor);
  d.Ints(p.satellite[0]), d.Ints(p.satellite[1]);
  d.Ints(p.next);
  d.Int(p.colorCount), d.Int(p.fallInterval), d.Int(p.lockDelay);
  d.Word(p.fallTime), d.Word(p.dropTime), d.Word(p.repeatTime);
  d.Word(p.setTime), d.Word(p.eraseTime), d.Word(p.animTime), d.Word(p.shimmerTime), d.Word(p.chainTime);
  const uint8_t flags[3] = {p.stepFlag, p.garbageFalling, p.gameOver};
  d.Bytes(flags, 3);
  d.Int(p.animCounter), d.Int(p.shimmerFrame), d.Int(p.score), d.Int(p.chain), d.Int(p.maxChain);
  d.Int(p.chainShown), d.Int(p.erasedCount), d.Int(p.garbageIn), d.Int(p.garbageOut);
}

void AddGame(Digest& d, const GameState& g, bool computers = true) {
  for (const PlayerState& p : g.player) AddPlayer(d, p);
  d.Int(g.gameMode), d.Int(g.menuLevel);
  d.Ints(g.levelCursor), d.Ints(g.difficulty), d.Ints(g.pausedPhase);
  d.Int(g.resultStep);
  d.Word(g.resultTime);
  d.Grid(g.groupMarks);
  d.Int(g.groupNo);
  const GameKeys& k = g.keys;
  d.Ints(k.left), d.Ints(k.right), d.Ints(k.drop), d.Ints(k.turnCw), d.Ints(k.turnCcw);
  d.Ints(k.menuUp), d.Ints(k.menuDown), d.Ints(k.confirm);
  d.Int(k.pause), d.Int(k.pauseSecond);
  d.Ints(k.pauseUp), d.Ints(k.pauseDown), d.Ints(k.pauseConfirm);
  d.Ints(g.computerLevel);
  for (const ComputerState& c : g.computer) {
    if (!computers) break;
    d.Word(c.rng);
    d.Int(c.planned), d.Int(c.replans), d.Int(c.slot), d.Int(c.line), d.Int(c.orientation);
    d.Int(c.aligned), d.Int(c.dropping);
    d.Word(c.nextPress);
    d.Int(c.decisions);
  }
  d.Word(g.random.state[0]), d.Word(g.random.state[1]);
  d.Word(g.clock), d.Int(g.clockMs), d.Int(g.cadence), d.Word(g.gameStep);
}

// The shell's and the drawing's fields a step reads, paired with the snapshot's: `move(kept,
// live)` copies one way or the other. One list serves both ways, so they cannot drift apart.
template <class Move>
void ShellFields(GameSnapshot& s, Move move) {
  tuSystem::SystemState& sys = tuSystem::sys;
  move(s.sceneNo, sys.sceneNo), move(s.prevSceneNo, sys.prevSceneNo), move(s.sceneEntered, sys.sceneEntered);
  move(s.nextSceneNo, sys.nextSceneNo), move(s.scenesSuspended, sys.scenesSuspended);
  move(s.keyCaptureMode, sys.keyCaptureMode);
  move(s.frameSeconds, sys.frameSeconds);
  move(s.lastFrameTime, sys.lastFrameTime);
  move(s.drivenKeys, sys.drivenKeys);
  tuDraw::DrawState& dr = tuDraw::draw;
  move(s.clipRect, dr.clipRect), move(s.wipeSaved, dr.wipeSaved);
  move(s.wipeState, dr.wipeState), move(s.wipeDone, dr.wipeDone), move(s.wipeAux, dr.wipeAux);
  move(s.wipeDirection, dr.wipeDirection), move(s.wipePattern, dr.wipePattern), move(s.wipeBand, dr.wipeBand);
  move(s.wipeSpeed, dr.wipeSpeed);
  move(s.fadeStep, dr.fadeStep), move(s.fadeDirection, dr.fadeDirection), move(s.scrollViewOn, dr.scrollViewOn);
}

template <class T>
void CopyField(T& to, const T& from) {
  std::memcpy(&to, &from, sizeof to);  // arrays too
}

}  // namespace

void Snapshot(GameSnapshot& out) {
  out.game = game;
  out.interlude = interlude;
  out.tick = tuSystem::Tick();
  ShellFields(out, [](auto& kept, auto& live) { CopyField(kept, live); });
}

void Restore(const GameSnapshot& s) {
  game = s.game;
  interlude = s.interlude;
  tuSystem::SetClock(s.tick);
  ShellFields(const_cast<GameSnapshot&>(s), [](auto& kept, auto& live) { CopyField(live, kept); });
}

uint64_t Checksum(const GameSnapshot& s) {
  Digest d;
  AddGame(d, s.game);
  d.Int(s.interlude.offset), d.Int(s.interlude.number);
  d.Word(s.tick);
  d.Int(s.sceneNo), d.Int(s.prevSceneNo), d.Int(s.sceneEntered), d.Int(s.nextSceneNo), d.Int(s.scenesSuspended);
  d.Int(s.keyCaptureMode);
  d.Float(s.frameSeconds);
  d.Word(s.lastFrameTime);
  d.Bytes(s.drivenKeys, sizeof s.drivenKeys);
  d.Rect(s.clipRect), d.Rect(s.wipeSaved);
  d.Int(s.wipeState), d.Int(s.wipeDone), d.Int(s.wipeAux), d.Int(s.wipeDirection), d.Int(s.wipePattern);
  d.Int(s.wipeBand);
  d.Float(s.wipeSpeed);
  d.Int(s.fadeStep), d.Int(s.fadeDirection), d.Int(s.scrollViewOn);
  return d.Value();
}

uint64_t ReplayDigest() {
  Digest d;
  AddGame(d, game, false);
  const tuDraw::DrawState& dr = tuDraw::draw;
  d.Rect(dr.clipRect), d.Rect(dr.wipeSaved);
  d.Int(dr.wipeState), d.Int(dr.wipeDone), d.Int(dr.wipeAux), d.Int(dr.wipeDirection), d.Int(dr.wipePattern);
  d.Int(dr.wipeBand);
  d.Float(dr.wipeSpeed);
  return d.Value();
}

uint64_t Checksum() {
  static GameSnapshot live;  // a frame allocates nothing, on the heap or in a large stack frame
  Snapshot(live);
  return Checksum(live);
}
