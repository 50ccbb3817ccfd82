#include "game/game.h"
#include "online/online.h"

int main(int argc, char** argv) {
  online::Install();
  return GameMain(argc, argv);
}
