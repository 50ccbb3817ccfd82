#pragma once

// The headless simulator: the real program driven frame by frame from a key script.
namespace sim {

// Runs with the command-line arguments; returns the exit code (0 done, 2 usage, script or
// state errors, 1 anything else).
int Run(int argc, char** argv);

}  // namespace sim
