#include "game/game.h"
#include "game/settings.h"

int main(int argc, char** argv) {
  // The player's settings before the program starts: the pads take their keys from them.
  LoadSettings(DefaultSettingsPath());
  int code = tuSystem::Main(argc, argv, GameProgram());
  // A fullscreen switch made in a game that ended the program is written now.
  SaveSettings();
  return code;
}
