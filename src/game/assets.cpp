// The game's one loading routine: the display, then every picture and sound in a fixed order,
// then the menu. What did not load is said once, in one box and on standard error: without a
// picture the game cannot be drawn and it ends; without sounds it plays on, silent where they
// are missing.
#include "game/assets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <tu/tuDraw.h>
#include <tu/tuSound.h>

#include "game/game.h"
#include "game/settings.h"

GameAssets assets;

namespace {

// Says which files of the game did not load since `mark` (the library has said each on
// standard error as it failed), in one box, and what follows. False when the game cannot run.
// The box groups the files by reason, a few names a line, so that even all twenty fit a
// small screen with the box's button.
bool SayWhatDidNotLoad(int mark) {
  const char* title = tuSystem::CurrentProgram().title;
  if (!title || !title[0]) title = "Quorbistane";
  int pictures = 0, files = 0;
  std::string folder;
  std::vector<std::pair<std::string, std::string>> byReason;  // reason, names
  for (int i = mark; i < tuSystem::LoadFailureCount(); ++i) {
    const tuSystem::LoadFailure* f = tuSystem::LoadFailureAt(i);
    if (!f) continue;
    ++files;
    if (strcmp(f->kind, "picture") == 0) ++pictures;
    if (folder.empty()) folder = f->folder;
    auto group = std::find_if(byReason.begin(), byReason.end(), [&](const auto& g) { return g.first == f->reason; });
    if (group == byReason.end()) group = byReason.insert(byReason.end(), {f->reason, ""});
    std::string& names = group->second;
    size_t lineLength = names.size() - (names.rfind('\n') == std::string::npos ? 0 : names.rfind('\n') + 1);
    if (!names.empty()) names += lineLength + strlen(f->name) > 56 ? ",\n    " : ", ";
    names += f->name;
  }
  if (files == 0) {
    tuSystem::ShowHeldErrors(nullptr);  // anything else the loads reported
    return true;
  }
  std::string text = std::string(title) + (files == 1 ? " cannot load this file" : " cannot load these files") +
                     " from " + folder + "\n";
  for (const auto& [reason, names] : byReason) text += "\n" + reason + ":\n    " + names + "\n";
  if (pictures > 0)
    text += "\nWithout its pictures the game cannot be played: it ends now.";
  else
    text += "\nThe game goes on without these sounds.";
  tuSystem::ShowHeldErrors(text.c_str());
  if (pictures > 0)
    fprintf(stderr, "%s: cannot be played without the picture%s above: ending\n", title, pictures == 1 ? "" : "s");
  else
    fprintf(stderr, "%s: playing on without the sound%s above\n", title, files == 1 ? "" : "s");
  return pictures == 0;
}

}  // namespace

void LoadAssets() {
  tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory);

  // Twenty boxes one after another would tell the player less than one that lists them all.
  const int mark = tuSystem::LoadFailureCount();
  tuSystem::HoldErrors(1);

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
  tuSystem::HoldErrors(0);

  // The player's settings come into force before the first frame: volumes, window, scaling.
  ApplySettings();

  tuSystem::sys.sceneNo = 2;
  tuSystem::sys.prevSceneNo = 0;
  if (!SayWhatDidNotLoad(mark)) {
    tuSystem::SetExitStatus(1);
    tuSystem::Exit();
  }
}
