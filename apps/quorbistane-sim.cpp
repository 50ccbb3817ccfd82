#include "sim/sim.h"

int main(int argc, char** argv) { return sim::Run(argc, argv); }
