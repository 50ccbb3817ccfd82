#include "game/game.h"
#include "game/records.h"

int main(int argc, char** argv) {
  OpenRecords(DefaultRecordsPath());
  return tuSystem::Main(argc, argv, GameProgram());
}
