#pragma once
#include <cstdint>

#include <tu/keys.h>

#include "game/game_random.h"

// The game's state: the two players' fields and pieces, the menu and result state, the key
// states and the constant tables. Everything is plain static data, read and set by name.

// Block codes of the colour grid.
constexpr int kEmpty = 0;
constexpr int kErasing = 6;
constexpr int kWall = 7;
constexpr int kGarbage = 9;  // entered garbage that has no colour yet

// Phases of a player (stored and compared by number).
constexpr int kPhaseSpawn = 0;
constexpr int kPhaseControl = 1;
constexpr int kPhaseSettle = 2;
constexpr int kPhaseGlide = 3;
constexpr int kPhaseMatch = 4;
constexpr int kPhaseErase = 5;
constexpr int kPhaseSetFlash = 6;
constexpr int kPhaseInit = 7;
constexpr int kPhaseWipeIn = 8;
constexpr int kPhaseOver = 9;
constexpr int kPhaseColorGarbage = 11;
constexpr int kPhasePaused = 12;

// Field storage: slots 0..6 across, lines 0..17 down; slot 0, slot 6, line 17 and slot 5 of odd
// lines are walls. Live cells: slots 1..5 (1..4 on odd lines) by lines 0..16.
constexpr int kSlots = 7;
constexpr int kLines = 18;
constexpr int kLiveCells = 77;
// A scan hands out at most one group number per live cell; flags cover 0..kLiveCells.
constexpr int kEraseFlags = kLiveCells + 1;

constexpr int kScoreMax = 99999;

// Keys the game names, by the library's key codes: the default keys of its actions (settings.h
// binds the keys it polls) and the two the program keeps for itself.
namespace vk {
constexpr int Space = tu::kKeySpace, Left = tu::kKeyLeft, Up = tu::kKeyUp, Right = tu::kKeyRight,
              Down = tu::kKeyDown;
constexpr int A = tu::kKeyA, D = tu::kKeyD, H = tu::kKeyH, J = tu::kKeyJ, S = tu::kKeyS, W = tu::kKeyW,
              X = tu::kKeyX, Z = tu::kKeyZ;
constexpr int Escape = tu::kKeyEscape, F11 = tu::kKeyF11;
}  // namespace vk

struct PlayerState {
  int phase = kPhaseInit;
  int cells[kSlots][kLines] = {};
  int tileFrame[kSlots][kLines] = {};  // 0..2 shimmer row, 3 the freshly set look
  int offsetX[kSlots][kLines] = {};    // subtracted from the screen position while gliding
  int offsetY[kSlots][kLines] = {};
  int moveDir[kSlots][kLines] = {};  // 0 none, 1 down, 2 lower-left, 3 lower-right
  int justSet[kSlots][kLines] = {};
  uint8_t eraseFlag[kEraseFlags] = {};
  int pieceSlot = 3, pieceLine = 0;
  int pieceColor[3] = {};           // pivot, satellite 1, satellite 2; 0 once set
  int satellite[2][2] = {{-1, 1}, {0, 1}};  // (slot, line) offsets in the pivot line's parity
  int next[6] = {};
  int colorCount = 4;
  int fallInterval = 1200;
  int lockDelay = 960;
  uint32_t fallTime = 0;
  uint32_t dropTime = 0;
  uint32_t repeatTime = 700;
  uint32_t setTime = 0, eraseTime = 0, animTime = 0, shimmerTime = 0, chainTime = 0;
  uint8_t stepFlag = 0;
  int animCounter = 0;
  int shimmerFrame = 0;
  int score = 0;
  int chain = 0;
  int maxChain = 0;
  int chainShown = 0;
  int erasedCount = 0;
  int garbageIn = 0;
  int garbageOut = 0;
  uint8_t garbageFalling = 0;
  uint8_t gameOver = 0;
};

// One key state (tu::kKeyState...) per key and use, index = player.
struct GameKeys {
  int left[2] = {}, right[2] = {}, drop[2] = {}, turnCw[2] = {}, turnCcw[2] = {};  // piece control
  int menuUp[2] = {}, menuDown[2] = {};  // up arrow / W, down arrow / S in the menu
  int confirm[2] = {};                   // X / J: menu and result sequence
  int pause = 0;
  int pauseSecond = 0;  // player 2's pause key, when it is not player 1's
  // The pause menu's own states of the menu up, down and confirm keys. The title menu's states
  // are not used for it: a pause taken and left with the pause key must leave every other key
  // state of the game as it was. They are primed when a pause begins.
  int pauseUp[2] = {}, pauseDown[2] = {}, pauseConfirm[2] = {};
};

// Values of `gameMode`, which is also the cursor of the menu's first level (the quit item last).
constexpr int kModeOnePlayer = 0, kModeVersus = 1, kModeComputer = 2, kModeOptions = 3, kModeRecords = 4,
              kModeReplays = 5, kModeHowTo = 6, kModeQuit = 7;
// The ONLINE item: beside the quit item, between the small row and quit in the cursor's order.
constexpr int kModeOnline = 8;
// Menu levels of the screens reached from the title menu.
constexpr int kMenuOptions = 4, kMenuRecords = 5, kMenuHowTo = 6, kMenuReplays = 7;

// A computer player's state between frames: its choice for the piece in play and its pace.
struct ComputerState {
  uint32_t rng = 0x2545F491u;  // its own generator, so the game's colour sequence is untouched
  int planned = 0;             // a place is chosen for the piece in play
  int replans = 0;             // choices made again for this piece after a broken path
  int slot = 3, line = 0, orientation = 1;  // where the piece is to be set
  int aligned = 0;             // the piece is above its place: only the drop is left
  int dropping = 0;            // drop is held until the piece is set
  uint32_t nextPress = 0;      // no key is pressed before this tick
  int decisions = 0;           // pieces decided in this game
};

struct GameState {
  PlayerState player[2];
  int gameMode = 0;  // kModeOnePlayer, kModeVersus or kModeComputer (versus against the computer)
  int menuLevel = 0;
  // The menu's difficulty cursors; [0] doubles as the continue question's yes/no cursor and, in
  // a game, [1] as the pause menu's (kPauseContinue, kPauseToTitle).
  int levelCursor[2] = {};
  int difficulty[2] = {};
  int pausedPhase[2] = {kPhasePaused, kPhasePaused};
  int resultStep = 0;
  uint32_t resultTime = 0;
  int groupMarks[kSlots][kLines] = {};
  int groupNo = 0;
  GameKeys keys;
  // Strength 0..3 of the computer playing each field through its keys; -1 a person.
  int computerLevel[2] = {-1, -1};
  ComputerState computer[2];
  // Every colour the game deals comes from here, seeded once when the program starts.
  GameRandom random;
  // The game's clock, in ms: every step advances it by one step of its rule before anything
  // else, and nothing in a step reads a real clock. `clockMs` kCadenceClock is the 60-a-second
  // cadence of 16, 17 and 17 ms (`cadence` is the place in it); 0 or more, that many ms a step.
  uint32_t clock = 0;
  int clockMs = -1;
  int cadence = 0;
  // Steps since the game in play started: the step numbers of its replay.
  uint32_t gameStep = 0;
};
extern GameState game;

// Puts the whole game state back to its process-start values (timers from the load stamps).
void ResetGame();

// ---- The step's clock (step.cpp)
constexpr int kCadenceClock = -1;
// The length in ms of the step at `cadence` (0, 1, 2, ...) under the clock rule `clockMs`.
uint32_t StepLength(int clockMs, int cadence);
// Advances the game's clock by one step.
void AdvanceGameClock();
// The length of the step the clock last advanced by.
uint32_t LastStepLength();
// The game's clock: the time of the step being run.
inline uint32_t GameClock() { return game.clock; }

// ---- Tables
struct DifficultyInfo {
  int colorCount;
  int fallInterval;
};
extern const DifficultyInfo kDifficulty[4];
extern const int kGarbageSlots[5];  // slots of line 0 that garbage fills, in order

// ---- Lattice geometry
enum Edge { UpperLeft, LowerLeft, UpperRight, LowerRight };
// Slot offset of the edge neighbour `e` of a cell on `line` (line offset: -1 upper, +1 lower).
int EdgeSlot(int line, Edge e);
int EdgeLine(Edge e);
bool IsLiveCell(int slot, int line);
bool InStorage(int slot, int line);
// The code at (slot, line); places outside the storage (line -1 above the field included) read
// as wall, so every movement test treats them as occupied.
int CellAt(const PlayerState& p, int slot, int line);
inline bool Occupied(const PlayerState& p, int slot, int line) { return CellAt(p, slot, line) != kEmpty; }
// Screen position of the top-left corner of the tile at (slot, line) in player `pl`'s field.
int CellX(int pl, int slot, int line);
int CellY(int line);
// The garbage blocks that a count announced to a player brings into his field over the coming
// spawns: up to five enter at a spawn, and of a count of six to ten the rest is dropped.
int GarbageToFall(int announced);

// Calls `fn(slot, line)` for every live cell: lines `from` to `to` (either direction), slots 1..5.
template <class Fn>
void ForLiveCells(int from, int to, Fn fn) {
  int step = from <= to ? 1 : -1;
  for (int line = from;; line += step) {
    for (int slot = 1; slot <= 5; ++slot)
      if (slot < 5 || (line & 1) == 0) fn(slot, line);
    if (line == to) break;
  }
}

// One draw of a block colour 1..colorCount from the game's generator; a count outside 1..5 (set
// from outside the game) is taken as the nearest valid one.
int RandomColor(int colorCount);
// Starts the opening wipe at `speed` pixels a second, its pattern drawn from the game's
// generator (the wipe's pace, and so the game's start, depends on it); nothing while one runs.
void StartOpeningWipe(float speed);

// ---- Menu (menu.cpp)
int ResetRound();
// Leaves the game for the menu at `level` as the game's own end does when the continue question
// is answered no, without the outcome or the question: the music stops and the round is reset.
void BackToMenu(int level);

// ---- Gameplay (play.cpp); `now` is the frame's tick
void RunPhase(int pl, uint32_t now);
void PhaseInit(int pl);
void PhaseWipeIn(int pl);
void PhaseSpawn(int pl);
void PhaseSetFlash(int pl, uint32_t now);
// The pause key pauses both players and resumes them; while paused, the pause menu takes the
// menu keys: continue, or return to the title. True when the menu asks to leave the game, which
// the frame does once it is drawn.
bool HandlePause();
constexpr int kPauseContinue = 0, kPauseToTitle = 1;

// ---- Piece control (control.cpp)
void PhaseControl(int pl, uint32_t now);
// Orientation 1..4 of the piece from satellite 1 (0 if it is none of them).
int PieceOrientation(const PlayerState& p);
void SetOrientation(PlayerState& p, int orientation);
// The edge of the pivot on which satellite k (0 or 1) sits in orientation 1..4.
Edge SatelliteEdge(int orientation, int k);

// ---- Gravity (gravity.cpp)
void PhaseSettle(int pl);
void PhaseGlide(int pl);
void PhaseColorGarbage(int pl);

// ---- Matching (match.cpp)
int CountGroup(int pl, int slot, int line, int color, int mark);
void PhaseMatch(int pl);
void PhaseErase(int pl, uint32_t now);

// ---- Shimmer (shimmer.cpp): every 330 ms the next shimmer row, paused or not; part of the step
void AdvanceShimmer(int pl, uint32_t now);

// ---- Rendering (render.cpp); drawing reads the state and changes none of it
int DrawNumber(int x, int y, int value);
void DrawPlayer(int pl, uint32_t now);
// The marks of announced garbage: one per five rows, one per row of five, one per single block.
struct GarbageMarks {
  int fiveRows, rows, singles;
};
GarbageMarks MarksFor(int announced);
// After both players: the player labels, the coming-piece labels, the announced garbage, the
// pause pictures and the pause menu.
void DrawLabels();

// ---- Game over (result.cpp): the outcome, the continue question and what its answer starts.
// The step acts on what the frame showed: the picture is drawn before it.
void ResultStep(uint32_t now);
void DrawResult();
