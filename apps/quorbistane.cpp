#include "game/game.h"

int main(int argc, char** argv) { return tuSystem::Main(argc, argv, GameProgram()); }
