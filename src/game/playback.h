#pragma once
#include <cstdint>
#include <string>

#include "game/input.h"
#include "game/replay.h"

// Replays in the running game: every game is recorded as it is played, and a replay is played
// back through the same steps, its input taken from the file.

// A digest of the rule tables and constants a game depends on; a replay made under other rules
// cannot be played back.
uint64_t RuleTableHash();
// The game's version as replays name it.
const char* GameVersion();

// Where recorded games go: the player's replay folder (the default in a window; headless runs
// keep none unless told), a file of the caller's (the simulator's --record), or nowhere ("" for
// both).
void RecordReplaysTo(const std::string& folder, const std::string& file);
// The folder the REPLAYS page lists and recordings go to; "" for none.
const std::string& ReplaysFolderInUse();

// ---- Called by the game's step
// A game starts at this step (its players are at their first phase): puts every field that is
// not the game's choice (mode, difficulties, computers, generator, clock) to its starting value,
// the same whether the game is played or played back, and starts its recording.
void BeginGame();
// The input of this step: from the keys, from the replay played back, or from the source set
// by UseInputSource. Recorded (unless played back).
StepInput StepInputOf();
// An outside source of each step's input (an online session, which knows both players'):
// `source(step, context)` gives the input of the game's step `step` (game.gameStep) in place
// of the keys. Null gives the keys back.
using InputSource = StepInput (*)(uint32_t step, void* context);
void UseInputSource(InputSource source, void* context);
// Whether the steps take their input from such a source (an online game is being stepped).
bool InputFromSource();
// After the step: the checks of a recording and of a playback. A playback that does not match
// its file stops.
void EndStep();
// The game is over (its outcome shown) or left for the title: the recording ends and is kept.
void EndGameRecording();
// The replay written so far (the simulator writes it at the end of its run).
const std::string& RecordedText();

// ---- An online session's recording
// Played: steps run with output are recorded, re-runs are not (the sync test's). Online: re-runs
// are recorded too (a session runs steps again with their final inputs after rewinding the
// recorder), and a game's end holds its recording until SaveRecording. Off: nothing is recorded
// (a second game in the same process).
enum class RecordMode : uint8_t { Played, Online, Off };
void SetRecordMode(RecordMode mode);
// The recorder's position before a step, to rewind to when that step is run again.
struct RecordMark {
  size_t length = 0;
  StepInput last;
  uint32_t steps = 0;
  bool on = false, held = false;
  int64_t heldStep = -1;
};
RecordMark MarkRecording();
void RewindRecording(const RecordMark& m);
// The step whose close ended a recording that waits for SaveRecording (Online mode), or -1.
int64_t HeldRecordingStep();
// How many recordings have ended: a tool checks each one when this moves.
int RecordingsEnded();
// Ends the recording as it stands and writes it where RecordReplaysTo says; writes a recording
// an online game ended and held.
bool SaveRecording(std::string* error);

// ---- Playback
// Sets the game up at the start of `r` and plays it in the game's scene. False with a message
// when the replay does not fit this game.
bool StartPlayback(const Replay& r, std::string* error);
// The steps `r` lasts: its end line's count, or for one cut short as far as its lines go.
uint32_t ReplayLength(const Replay& r);
bool PlaybackActive();
// The playback's end: the replay has no more steps, or diverged ("replay diverges at step N"
// in `PlaybackError`), or was left.
bool PlaybackFinished();
const std::string& PlaybackError();
// Stops playing back and forgets the replay; the game's mode, levels, computers, clock rule and
// generator are given back as they were before it.
void StopPlayback();
// Steps taken for each step due: 1, 2 or 4; 0 while paused.
int PlaybackSpeed();
void SetPlaybackSpeed(int speed);

// ---- Watching (playback_view.cpp; leaving in menu.cpp)
// The frame's playback keys (player 1's pause, left and right for the speed, anticlockwise to
// go back to the list; once finished, clockwise too) and the steps to take of the `due` ones.
int PlaybackFrame(int due);
// The line at the foot of the screen: the speed or the pause, the keys, the end or the divergence.
void DrawPlaybackBar();
// Leaves the playback for the REPLAYS page.
void LeavePlayback();
