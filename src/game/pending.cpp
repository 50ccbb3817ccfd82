// Placeholder scenes until the game's menu and gameplay exist: each clears the back buffer
// and presents it.
#include "draw/tuDraw.h"
#include "game/game.h"

void MenuScene() {
  tuDraw::Clear();
  tuDraw::Present();
}

void GameScene() {
  tuDraw::Clear();
  tuDraw::Present();
}
