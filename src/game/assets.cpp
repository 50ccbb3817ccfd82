// The game's one loading routine: the display, then every picture and sound in a fixed order,
// then the menu. A failed load has already been reported by the library; the game runs on
// without that object.
#include "game/assets.h"

#include <tu/tuDraw.h>
#include <tu/tuSound.h>

#include "game/game.h"
#include "game/settings.h"

GameAssets assets;

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);

  assets.blockSprite = tuDraw::LoadObject("BMP/block.bmp", tuDraw::kVideoMemory);
  assets.fieldSprite = tuDraw::LoadObject("BMP/Field.bmp", tuDraw::kVideoMemory);
  assets.backSprites[0] = tuDraw::LoadObject("BMP/EasyBack.bmp", tuDraw::kVideoMemory);
  assets.backSprites[1] = tuDraw::LoadObject("BMP/NomalBack.bmp", tuDraw::kVideoMemory);
  assets.backSprites[2] = tuDraw::LoadObject("BMP/HardBack.bmp", tuDraw::kVideoMemory);
  assets.backSprites[3] = tuDraw::LoadObject("BMP/BlackBack.bmp", tuDraw::kVideoMemory);
  assets.titleSprite = tuDraw::LoadObject("BMP/Title.bmp", tuDraw::kVideoMemory);
  assets.fontSprite = tuDraw::LoadObject("BMP/Font.bmp", tuDraw::kVideoMemory);

  assets.music[0] = tuSound::LoadObject("BGM/eBGM.wav", 2);
  assets.music[1] = tuSound::LoadObject("BGM/nBGM.wav", 2);
  assets.music[2] = tuSound::LoadObject("BGM/hBGM.wav", 2);
  assets.music[3] = tuSound::LoadObject("BGM/bBGM.wav", 2);
  assets.music[4] = tuSound::LoadObject("BGM/vsBGM.wav", 2);
  assets.slideSetSound = tuSound::LoadObject("SE/sliset.wav", 2);
  assets.setSound = tuSound::LoadObject("SE/set.wav", 2);
  assets.eraseSound = tuSound::LoadObject("SE/erase.wav", 2);
  assets.rankMusic1 = tuSound::LoadObject("BGM/RANK.wav", 2);
  assets.rankMusic2 = tuSound::LoadObject("BGM/RANK2.wav", 2);
  assets.buttonSound = tuSound::LoadObject("SE/BUTTON.wav", 2);
  assets.buttonSound2 = tuSound::LoadObject("SE/BUTTONK.wav", 2);

  // The player's settings come into force before the first frame: volumes, window, scaling.
  ApplySettings();

  tuSystem::sys.sceneNo = 2;
  tuSystem::sys.prevSceneNo = 0;
}
