#pragma once

// The headless simulator: the real program driven frame by frame from a key script.
namespace sim {

// Runs with the command-line arguments; returns the exit code: 0 done, 1 an output cannot be
// written or the program did not start, 2 bad arguments, script or state, 3 the program raised an
// error box (unless --allow-errors).
int Run(int argc, char** argv);

}  // namespace sim
