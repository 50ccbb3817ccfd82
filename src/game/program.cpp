#include "game/game.h"
#include "game/model.h"

namespace {
// Each pad plays as the keyboard's player: directions move, drop and choose in the menu, the
// south and west buttons turn clockwise, the east button anticlockwise, Start pauses.
tuSystem::PadMapping PadKeys() {
  tuSystem::PadMapping m;
  const int keys[2][6] = {{vk::Left, vk::Right, vk::Up, vk::Down, vk::X, vk::Z},
                          {vk::A, vk::D, vk::W, vk::S, vk::J, vk::H}};
  for (int p = 0; p < 2; ++p) {
    int* k = m.keys[p];
    k[tuSystem::kPadLeft] = keys[p][0];
    k[tuSystem::kPadRight] = keys[p][1];
    k[tuSystem::kPadUp] = keys[p][2];
    k[tuSystem::kPadDown] = keys[p][3];
    k[tuSystem::kPadSouth] = k[tuSystem::kPadWest] = keys[p][4];
    k[tuSystem::kPadEast] = keys[p][5];
    k[tuSystem::kPadStart] = vk::Space;
  }
  return m;
}
const tuSystem::PadMapping kPads = PadKeys();

// The colours the game deals follow from the seed the shell started with: the fixed seed of a
// tool's run, else the time.
void Load() {
  SeedRandom(game.random, tuSystem::sys.seed);
  LoadAssets();
}
}  // namespace

tuSystem::Program GameProgram() {
  // The load stamps exist by now: the game's timers start from them.
  ResetGame();
  tuSystem::Program p;
  p.loadAssets = Load;
  p.scenes[1] = GameScene;
  p.scenes[2] = MenuScene;
  p.scenes[3] = InterludeScene;
  p.pads = &kPads;
  return p;
}
