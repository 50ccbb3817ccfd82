#pragma once

// The ids of the game's pictures and sounds, as LoadAssets leaves them. A failed load leaves
// the library's failure value (sprite id 0, sound id -1).
struct GameAssets {
  int blockSprite = 0;
  int fieldSprite = 0;
  int backSprites[4] = {};  // Easy, Normal, Hard, black (hidden level and versus)
  int titleSprite = 0;
  int fontSprite = 0;
  int music[5] = {-1, -1, -1, -1, -1};  // one-player difficulty 0..3, then versus
  int slideSetSound = -1;
  int setSound = -1;
  int eraseSound = -1;
  int rankMusic1 = -1;
  int rankMusic2 = -1;
  int buttonSound = -1;
  int buttonSound2 = -1;
};
extern GameAssets assets;
