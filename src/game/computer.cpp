// The computer player: what a field is worth to it, the search for the best place of the piece
// in play (and of the next one) on the field model, and a hand on the keys that steers it there.
#include "game/computer.h"

#include <cstring>

#include <tu/tuSystem.h>

#include "game/computer_moves.h"
#include "game/model.h"
#include "game/settings.h"

using namespace computer;

namespace {

// ---------------------------------------------------------------- levels

struct Level {
  int lookahead;  // pieces searched: 1 the piece in play, 2 also the next one
  int beam;       // places of the piece in play searched further with the next one
  int potential;  // looks for chains that one more block would set off
  int mistake;    // per mille of pieces put on any place within reach, without thought
  int noise;      // spread of the random amount added to each place's worth
  int reactMs, gapMs, dropMs;  // before the first press of a piece, between presses, before the drop
  // What a field is worth:
  int height;     // per block, times its height
  int centre;     // times the square of the centre's rise above the safe line
  int hole;       // per empty cell covered on both upper edges
  int pair, triple;  // per group of two and of three blocks of one colour
  int erase;      // per block erased by the piece
  int chain;      // times the square of the chain set off by the piece, from two steps on
  int garbage;    // per garbage block the piece earns
  int setUp;      // times the square of the longest chain one more block would set off
};

constexpr Level kLevels[kComputerLevels] = {
    // look beam pot mistake noise react gap drop | height centre hole pair triple erase chain garbage setUp
    {1, 0, 0, 220, 400, 520, 300, 420, 2, 40, 10, 4, 6, 30, 0, 0, 0},
    {1, 0, 0, 50, 60, 300, 170, 160, 4, 80, 40, 14, 30, 14, 40, 10, 0},
    {2, 6, 0, 20, 30, 160, 110, 80, 4, 110, 60, 16, 36, 4, 130, 40, 0},
    {2, 12, 1, 0, 0, 0, 0, 0, 4, 120, 70, 18, 40, 2, 160, 50, 90},
};

constexpr int kLost = -1000000000;
constexpr int kSafeLine = 8;  // the centre may rise to this line without worry


// ---------------------------------------------------------------- judging a field

uint32_t NextRandom(uint32_t& x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

// The topmost occupied line over the entry cells' three half-block columns (17 when empty).
int CentreTop(const Board& b) {
  const Lattice& L = Cells();
  int top = 17;
  for (int i = 0; i < L.count; ++i)
    if (L.column[i] >= 3 && L.column[i] <= 5 && b.c[L.cell[i]] != kEmpty && L.line[i] < top) top = L.line[i];
  return top;
}

// The longest chain that one more block of some colour, set on a free resting place open from
// above, would set off (0 when none would erase anything).
int LongestTrigger(const Board& b) {
  const Lattice& L = Cells();
  int best = 0;
  for (int i = 0; i < L.count; ++i) {
    int cell = L.cell[i], l = L.line[i];
    if (b.c[cell] != kEmpty) continue;
    // It rests there, and a falling block can come to it.
    bool rests = l == 16 || (b.c[L.downLeft[i]] != kEmpty && b.c[L.downRight[i]] != kEmpty);
    if (!rests || (l >= 2 && b.c[L.above[i]] != kEmpty) || (b.c[L.upLeft[i]] != kEmpty && b.c[L.upRight[i]] != kEmpty))
      continue;
    int tried = 0;
    for (int e = 0; e < 4; ++e) {
      int j = L.near[i][e];
      if (j < 0 || !Colour(b.c[L.cell[j]])) continue;
      int colour = b.c[L.cell[j]];
      if (tried & (1 << colour)) continue;
      tried |= 1 << colour;
      Board t = b;
      t.c[cell] = static_cast<uint8_t>(colour);
      Add(t.changed, i);
      Add(t.loose, i);
      Positions seen = {0, 0};
      if (Group(t, i, colour, seen, nullptr) < 4) continue;
      Outcome o = Resolve(t);
      if (o.chain > best) best = o.chain;
    }
  }
  return best;
}

// What a resting field is worth to its player.
int Worth(const Board& b, const Level& lv) {
  if (EntryBlocked(b)) return kLost;
  const Lattice& L = Cells();
  int score = 0, centreTop = 17;
  Positions seen = {0, 0};
  for (int i = 0; i < L.count; ++i) {
    int code = b.c[L.cell[i]], l = L.line[i];
    if (code == kEmpty) {
      if (l > 0 && b.c[L.upLeft[i]] != kEmpty && b.c[L.upRight[i]] != kEmpty) score -= lv.hole;
      continue;
    }
    score -= lv.height * (17 - l);
    if (L.column[i] >= 3 && L.column[i] <= 5 && l < centreTop) centreTop = l;
    if (!Colour(code) || Has(seen, i)) continue;
    int n = Group(b, i, code, seen, nullptr);
    if (n == 2) score += lv.pair;
    if (n == 3) score += lv.triple;
  }
  int rise = kSafeLine - centreTop;
  if (rise > 0) score -= lv.centre * rise * rise;
  return score;
}

// What a field's readiness for a chain is worth: the dearest part of judging it, so it is added
// only to the most promising fields.
int SetUpWorth(const Board& b, const Level& lv) {
  int k = LongestTrigger(b);
  return k >= 2 ? lv.setUp * k * k : 0;
}

// What the piece's own erasures are worth, more so when the field or the other field is high.
int Gain(const Outcome& o, const Level& lv, int danger, int attack) {
  int chainPart = o.chain >= 2 ? lv.chain * o.chain * o.chain : 0;
  return lv.erase * o.erased * (1 + danger) + chainPart + lv.garbage * o.garbage * (1 + attack);
}

// Places that leave the same field with the same gain are one choice: each field is judged once.
// A set of the fields met, by a digest of their cells and gain, each checked cell by cell.
class FieldSet {
 public:
  void Clear() {
    if (++round_ == 0) {
      memset(slot_, 0, sizeof slot_);
      round_ = 1;
    }
    count_ = 0;
  }
  // The number under which an equal field was noted since Clear, else -1 after noting this one
  // under the next number (0, 1, ...).
  int Note(const Board& b, int gain) {
    if (count_ >= kEntries) return -1;  // more places than ever met in play: judged each
    uint64_t h = 0x9E3779B97F4A7C15ull * static_cast<uint32_t>(gain + 1);
    for (int i = 0; i < kCells; i += 8) {
      uint64_t w = 0;
      memcpy(&w, b.c + i, i + 8 <= kCells ? 8 : kCells - i);
      h += (w ^ kMix[i / 8 % 4]) * (0xFF51AFD7ED558CCDull + 2 * static_cast<uint64_t>(i));
    }
    h ^= h >> 31;
    uint32_t key = static_cast<uint32_t>(h >> 32);
    for (uint32_t at = static_cast<uint32_t>(h) & (kTable - 1);; at = (at + 1) & (kTable - 1)) {
      Slot& t = slot_[at];
      if (t.round != round_) {
        t = {key, round_, static_cast<int16_t>(count_)};
        memcpy(cells_[count_], b.c, kCells);
        gain_[count_] = gain;
        ++count_;
        return -1;
      }
      if (t.key == key && gain_[t.entry] == gain && memcmp(cells_[t.entry], b.c, kCells) == 0) return t.entry;
    }
  }

 private:
  static constexpr int kEntries = 512, kTable = 1024;  // the table at most half full
  static constexpr uint64_t kMix[4] = {0x2545F4914F6CDD1Dull, 0x9FB21C651E98DF25ull, 0xC2B2AE3D27D4EB4Full,
                                       0x165667B19E3779F9ull};
  struct Slot {
    uint32_t key;
    uint16_t round;
    int16_t entry;
  };
  Slot slot_[kTable] = {};
  uint16_t round_ = 0;
  uint8_t cells_[kEntries][kCells];
  int gain_[kEntries];
  int count_ = 0;
};

struct Option {
  Piece at;
  Board after;
  int gain;   // what its own erasures earn
  int score;  // gain and the worth of what follows
  int noise;  // the random part of the score
  int ways;   // places that leave this field
};

Reach reachSlow;  // for the few starts a flood does not cover

constexpr int kSetUpKept = 3;  // fields after the next piece judged for their chains as well

// The best worth of the next piece over every place it can reach on `b`.
int BestNext(const Board& b, const int colours[3], const Level& lv, int danger, int attack, Places& reach,
             FieldSet& fields) {
  if (EntryBlocked(b)) return kLost;
  reach.Search(b, {3, 0, 1}, reachSlow);
  fields.Clear();
  int best = kLost;
  // The best few by the plain worth, kept in order (value and field).
  int keptValue[kSetUpKept];
  Board kept[kSetUpKept];
  int keptCount = 0;
  for (int i = 0; i < reach.lockCount; ++i) {
    Board t = b;
    SetPiece(t, LockOf(reach.locks[i]), colours);
    int gain = Gain(Resolve(t), lv, danger, attack);
    if (fields.Note(t, gain) >= 0) continue;  // judged already
    int w = Worth(t, lv);
    if (w == kLost) continue;
    int v = w + gain;
    if (v > best) best = v;
    if (!lv.potential) continue;
    int at = keptCount < kSetUpKept ? keptCount++ : kSetUpKept;
    while (at > 0 && keptValue[at - 1] < v) {
      if (at < kSetUpKept) keptValue[at] = keptValue[at - 1], kept[at] = kept[at - 1];
      --at;
    }
    if (at < kSetUpKept) keptValue[at] = v, kept[at] = t;
  }
  for (int i = 0; i < keptCount; ++i) {
    int v = keptValue[i] + SetUpWorth(kept[i], lv);
    if (v > best) best = v;
  }
  return best;
}

// Search scratch, kept out of the frame's stack.
Places reachFirst, reachNext;
FieldSet firstFields, nextFields;
Option options[2 * kStates];

}  // namespace

Placement ChoosePlacement(int pl, int level) {
  Placement out;
  if (pl < 0 || pl > 1) return out;
  if (level < 0) level = 0;
  if (level >= kComputerLevels) level = kComputerLevels - 1;
  const Level& lv = kLevels[level];
  const PlayerState& p = game.player[pl];
  const PlayerState& other = game.player[1 - pl];
  ComputerState& cs = game.computer[pl];
  Piece start{p.pieceSlot, p.pieceLine, PieceOrientation(p)};
  if (start.orientation == 0 || start.slot < 0 || start.slot >= kSlots || start.line < 0 || start.line >= kLines)
    return out;

  Board b = Board::Of(p);
  // A high field makes erasing now worth more; a high field on the other side makes garbage so.
  int danger = CentreTop(b) < kSafeLine - 2 ? 2 : 0;
  int attack = 0;
  if (game.gameMode != kModeOnePlayer && CentreTop(Board::Of(other)) < kSafeLine - 2) attack = 2;

  reachFirst.Search(b, start, reachSlow);
  firstFields.Clear();
  int n = 0;
  for (int i = 0; i < reachFirst.lockCount; ++i) {
    Option& op = options[n];
    op.at = LockOf(reachFirst.locks[i]);
    op.after = b;
    SetPiece(op.after, op.at, p.pieceColor);
    op.gain = Gain(Resolve(op.after), lv, danger, attack);
    int twin = firstFields.Note(op.after, op.gain);
    int noise = lv.noise > 0 ? static_cast<int>(NextRandom(cs.rng) % (2 * lv.noise + 1)) - lv.noise : 0;
    if (twin >= 0) {
      // The same field as a place met before: of the two, the one that needs no slide, so no
      // wait for the fall timer, is kept. Judged as each place would be on its own, the field
      // keeps the best of their random parts, and a plain mistake falls on it as often as on
      // all of them.
      Option& first = options[twin];
      bool slides = (op.at.line ^ start.line) & 1;
      if (!slides && ((first.at.line ^ start.line) & 1)) first.at = op.at;
      if (noise > first.noise && first.score != kLost) first.score += noise - first.noise, first.noise = noise;
      first.ways += 1;
      continue;
    }
    ++n;
    int w = Worth(op.after, lv);
    op.score = w == kLost ? kLost : w + op.gain + noise;
    op.noise = noise;
    op.ways = 1;
  }
  if (n == 0) return out;

  int chosen = 0;
  if (lv.mistake > 0 && static_cast<int>(NextRandom(cs.rng) % 1000) < lv.mistake) {
    // A plain mistake: any place within reach that does not lose at once.
    int alive = 0;
    for (int i = 0; i < n; ++i) alive += options[i].score != kLost ? options[i].ways : 0;
    int pick = alive > 0 ? static_cast<int>(NextRandom(cs.rng) % static_cast<uint32_t>(alive)) : 0;
    for (int i = 0; i < n && pick >= 0; ++i)
      if (options[i].score != kLost && (pick -= options[i].ways) < 0) chosen = i;
  } else {
    if (lv.lookahead >= 2) {
      // The best places so far, each judged again by the best place of the next piece after it.
      int order[2 * kStates];
      for (int i = 0; i < n; ++i) order[i] = i;
      int keep = n < lv.beam ? n : lv.beam;
      for (int i = 0; i < keep; ++i)
        for (int j = i + 1; j < n; ++j)
          if (options[order[j]].score > options[order[i]].score) {
            int t = order[i];
            order[i] = order[j];
            order[j] = t;
          }
      for (int k = 0; k < keep; ++k) {
        Option& op = options[order[k]];
        if (op.score == kLost) continue;
        Board next = op.after;
        DropGarbage(next, p.garbageIn);
        int second = BestNext(next, p.next, lv, danger, attack, reachNext, nextFields);
        // Losing with the next piece is still better than losing with this one.
        op.score = second == kLost ? kLost + 1 : op.gain + second;
      }
      for (int k = keep; k < n; ++k) options[order[k]].score = kLost;
    }
    for (int i = 1; i < n; ++i)
      if (options[i].score > options[chosen].score) chosen = i;
  }
  out.slot = options[chosen].at.slot;
  out.line = options[chosen].at.line;
  out.orientation = options[chosen].at.orientation;
  out.valid = 1;
  return out;
}

namespace {

Reach reachSteer;

// The next press on the way from `from` to `target` (where the piece is set), or -1 when the
// target is out of reach; `onlyDrops` tells that nothing but falling remains.
int NextAction(const Board& b, const Piece& from, const Piece& target, bool* onlyDrops) {
  reachSteer.Search(b, from);
  int t = StateOf(target);
  if (!reachSteer.Locks(t)) {
    t += kStates;  // set where a kick leaves it
    if (!reachSteer.Locks(t)) return -1;
  }
  int first = -1;
  *onlyDrops = true;
  for (int s = t; reachSteer.parent[s] >= 0; s = reachSteer.parent[s]) {
    first = reachSteer.action[s];
    if (first != kDrop) *onlyDrops = false;
  }
  return first < 0 ? kDrop : first;
}

// The state of the key that makes `action` (a slide's is its move key).
int KeyState(int pl, int action) {
  const GameKeys& k = game.keys;
  switch (action) {
    case kSlideLeft:
    case kMoveLeft: return k.left[pl];
    case kMoveRight:
    case kSlideRight: return k.right[pl];
    case kDrop: return k.drop[pl];
    case kTurnCw: return k.turnCw[pl];
    default: return k.turnCcw[pl];
  }
}

uint32_t Jitter(ComputerState& cs, int ms) {
  if (ms <= 0) return 0;
  // A human hand: between three quarters and one and a quarter of the level's pace.
  return static_cast<uint32_t>(ms * 3 / 4 + static_cast<int>(NextRandom(cs.rng) % static_cast<uint32_t>(ms / 2 + 1)));
}

bool Before(uint32_t now, uint32_t tick) { return static_cast<int32_t>(now - tick) < 0; }

// A fresh generator for a new game, from what the game has drawn for it: the same seed and the
// same play give the same computer.
uint32_t SeedFor(int pl, int level) {
  uint32_t h = 2166136261u ^ static_cast<uint32_t>(pl * 7 + level);
  for (const PlayerState& p : game.player) {
    for (int c : p.pieceColor) h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
    for (int c : p.next) h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
  }
  return h ? h : 1u;
}

// A slide's move key goes down at most this long before the timed step, so that its first
// repeated move (more than 150 ms after the press) comes at least a long frame after the step.
constexpr int kSlideLead = 110;

// The keys for a slide: its move key held so that the fall timer runs out while the key is held
// and before the key's first repeated move; the slide then takes the timed step's place.
int SlideKeys(int pl, const Level& lv, int action, uint32_t now) {
  const PlayerState& p = game.player[pl];
  ComputerState& cs = game.computer[pl];
  int bit = 1 << (action == kSlideLeft ? kMoveLeft : kMoveRight);
  uint32_t due = p.fallTime + static_cast<uint32_t>(p.fallInterval) + 1;  // the timed step's first tick
  int state = KeyState(pl, action);
  // Held: kept while the step comes before the repeat, else let go to press again in time.
  if (state == 1 || state == 3) return static_cast<int32_t>(due - p.repeatTime) <= kSlideLead ? bit : 0;
  if (state != 0 || Before(now, cs.nextPress) || static_cast<int32_t>(due - now) > kSlideLead) return 0;
  cs.nextPress = now + Jitter(cs, lv.gapMs);
  return bit;
}

// The keys (bit k for PieceKey(pl, k)) the computer holds in this frame.
int Steer(int pl, int level, uint32_t now) {
  if (pl < 0 || pl > 1 || level < 0 || level >= kComputerLevels) return 0;
  const Level& lv = kLevels[level];
  const PlayerState& p = game.player[pl];
  ComputerState& cs = game.computer[pl];
  if (p.phase == kPhaseInit || p.phase == kPhaseWipeIn) {
    cs = ComputerState{};
    cs.rng = SeedFor(pl, level);
    return 0;
  }
  if (p.phase == kPhasePaused) return 0;
  if (p.phase != kPhaseControl) {
    cs.planned = cs.aligned = cs.dropping = 0;
    return 0;
  }
  Piece at{p.pieceSlot, p.pieceLine, PieceOrientation(p)};
  if (!cs.planned) {
    Placement t = ChoosePlacement(pl, level);
    cs.planned = 1;
    cs.replans = 0;
    cs.slot = t.slot, cs.line = t.line, cs.orientation = t.valid ? t.orientation : 0;
    cs.nextPress = now + Jitter(cs, lv.reactMs);
    cs.decisions += 1;
  }
  if (cs.dropping) return 1 << kDrop;
  if (cs.orientation == 0 || at.orientation == 0) return 0;  // nothing to steer: gravity sets it
  // A move key down since the last frame may be held for a slide, whatever the pace.
  bool moveKeyDown = ((KeyState(pl, kMoveLeft) | KeyState(pl, kMoveRight)) & 1) != 0;
  if (Before(now, cs.nextPress) && !moveKeyDown) return 0;

  Board b = Board::Of(p);
  bool onlyDrops = false;
  int action = NextAction(b, at, {cs.slot, cs.line, cs.orientation}, &onlyDrops);
  if (action < 0) {
    // The piece fell past its way (time ran on while the keys were slow): choose again once from
    // where it is, else let it fall.
    if (cs.replans > 0) return 1 << kDrop;
    Placement t = ChoosePlacement(pl, level);
    cs.replans += 1;
    cs.slot = t.slot, cs.line = t.line, cs.orientation = t.valid ? t.orientation : 0;
    return 0;
  }
  if (action == kSlideLeft || action == kSlideRight) return SlideKeys(pl, lv, action, now);
  if (Before(now, cs.nextPress)) return 0;
  if (onlyDrops) {
    // In place: a moment's look, then drop held down to the end, so the piece falls fast and is
    // set as soon as it is blocked.
    if (!cs.aligned && lv.dropMs > 0) {
      cs.aligned = 1;
      cs.nextPress = now + Jitter(cs, lv.dropMs);
      return 0;
    }
    cs.dropping = 1;
    return 1 << kDrop;
  }
  // Let the key come up first, so the press counts.
  if (KeyState(pl, action) != tu::kKeyStateUp) return 0;
  cs.nextPress = now + Jitter(cs, lv.gapMs);
  return 1 << action;
}

}  // namespace

void ComputerKeys(uint32_t now) {
  for (int pl = 0; pl < 2; ++pl) {
    int level = game.computerLevel[pl];
    if (level < 0) continue;
    if (level >= kComputerLevels) level = kComputerLevels - 1;
    int held = Steer(pl, level, now);
    // Whatever keys the player's actions are bound to: the rules poll those.
    for (int k = 0; k < 5; ++k) tuSystem::DriveKey(PieceKey(pl, k), (held >> k) & 1);
  }
}

void ReleaseComputerKeys() { tuSystem::ReleaseDrivenKeys(); }
