#pragma once
#include <cstdint>

// The frame-time record. With TU_FRAMETIMES=FILE in the environment, the display keeps, for
// every presented frame, when it reached the screen and when the event pump that fed it ran
// (the pump samples the key states that the frame's key polls read). The record lives in
// memory taken once when it starts and is written to FILE when the display closes; each later
// display session of the process adds its own record after the earlier ones.
// scripts/frametimes prints the statistics.
//
// File: one block per display session. Comment lines start with '#': the first of a block
// ("# frame times, session N: ...") starts it, the second names the present path, the refresh
// rate and a pair of clock readings taken together ("steady_us S epoch_us E"), which place the
// steady times on the wall clock. Then one line per frame: "PRESENT_US POLL_US", steady-clock
// microseconds (POLL_US is 0 before the first pump).
namespace tu::platform {

// Starts a record for `path`, sized for an hour of frames at the refresh rate or more; a
// record already running ends first (written to its own file).
void StartFrameRecord(const char* path, const char* presentPath, int refreshHz);
bool FrameRecordOn();
// The event pump has just taken every pending event: the key states are fresh.
void NoteEventPump();
// A frame has just been sent to the screen. Allocates nothing; a full record stops growing.
void NotePresent();
// Writes the record to its file and ends it. False, after a line on stderr, when the file
// cannot be written; true when there was no record.
bool FinishFrameRecord();

}  // namespace tu::platform
