#include "game/pages.h"

#include <cstdio>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "game/assets.h"
#include "game/model.h"
#include "game/output.h"
#include "game/settings.h"

void PageText(int left, int top, int right, int bottom, const char* text, uint32_t color, int align, int size) {
  tuDraw::BeginTextFace("DejaVu Sans", size, 0, tuDraw::kWeightBold, 0, 0);
  tuDraw::SetTextColors(color, 0, 1);
  tuDraw::TextRect(left, top, right, bottom, text, align);
  tuDraw::EndText();
}

const char* PageKeyName(int vk) {
  const char* name = tuSystem::KeyName(vk);
  return name && name[0] ? name : "?";
}

void PageBackground(int left, int top, int right, int bottom) {
  gameout::Draw(0, 0, assets.backSprites[3], 0, 0, 640, 480);
  gameout::Draw((640 - (right - left)) / 2, 6, assets.fontSprite, left, top, right, bottom);
}

void PageFrame(int left, int top, int right, int bottom) {
  PageBackground(left, top, right, bottom);
  char line[128];
  snprintf(line, sizeof line, "%s / %s : back", PageKeyName(PieceKey(0, 3)), PageKeyName(PieceKey(0, 4)));
  PageText(440, 460, 632, 478, line, 0xC8D2F0, tuDraw::kAlignRight, 12);

  GameKeys& k = game.keys;
  tuSystem::GetKey(PieceKey(0, 4), &k.turnCcw[0]);
  tuSystem::GetKey(PieceKey(1, 4), &k.turnCcw[1]);
  for (int pl = 0; pl < 2; ++pl)
    if (k.confirm[pl] == tu::kKeyStatePressed || k.turnCcw[pl] == tu::kKeyStatePressed) {
      game.menuLevel = 0;
      gameout::Play(assets.buttonSound2);
      return;
    }
}
