#pragma once

// The headless simulator: the real program driven frame by frame from a key script.
namespace sim {

// Runs with the command-line arguments; returns the exit code: 0 done, 1 an output cannot be
// written or the program did not start, 2 bad arguments, script or state, 3 the program raised an
// error box (unless --allow-errors), 4 a replay refused or diverging; online (online.h) 5 no
// result, 6 out of sync, 7 refused.
int Run(int argc, char** argv);

}  // namespace sim
