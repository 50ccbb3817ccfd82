// Start-up: the display, the user's folder, the two packs, the streamed music, the fade tile
// and the scrolling view. Every file is named relative to the program's folder.
#include <cstdio>

#include "showcase.h"

namespace showcase {

Pictures pic;
Sounds sfx;
bool midiReady = false;

namespace {

// A pack that cannot be opened would fail once per entry, a box each: look once and say so.
bool Readable(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  fclose(f);
  return true;
}

bool BesideProgram(const char* name) {
  char path[512];
  snprintf(path, sizeof path, "%s%s", tuSystem::GetPath(tuSystem::kPathProgram), name);
  return Readable(path);
}

}  // namespace

void LoadAssets() {
  // A 640 x 480 back buffer of the desktop's format; without it nothing can be shown, and the
  // library has said why.
  if (!tuDraw::Screen(640, 480, tuDraw::kScreenVideoMemory)) {
    tuSystem::Exit();
    return;
  }
  OpenUserFolder();

  pic = Pictures{};
  tuDraw::SetColorKey(0);  // black is transparent in every picture
  tuDraw::SetPackFile("pics.pak");
  if (Readable(tuDraw::PackFile())) {
    pic.ship = tuDraw::LoadPack("ship.bmp", tuDraw::kVideoMemory);
    pic.enemy = tuDraw::LoadPack("enemy.bmp", tuDraw::kVideoMemory);
    pic.shots = tuDraw::LoadPack("shots.bmp", tuDraw::kVideoMemory);
    pic.blast = tuDraw::LoadPack("blast.bmp", tuDraw::kVideoMemory);
    pic.stars = tuDraw::LoadPack("stars.bmp", tuDraw::kVideoMemory);
    pic.nebula = tuDraw::LoadPack("nebula.bmp", tuDraw::kVideoMemory);
    pic.emblem = tuDraw::LoadPack("emblem.bmp", tuDraw::kVideoMemory);
    pic.photo = tuDraw::LoadPack("photo.bmp", tuDraw::kVideoMemory);
    pic.curtain = tuDraw::LoadPack("curtain.bmp", tuDraw::kVideoMemory);
  } else {
    tuSystem::Error("showcase", "the picture pack pics.pak cannot be read", 0);
  }

  sfx = Sounds{-1, -1, -1, -1, -1, -1};
  tuSound::PackPath("sounds.pak");
  if (!tuSound::snd.available) {
    // No sound device: the library runs silent and loads nothing; so does the showcase.
  } else if (Readable(tuSound::CurrentPackPath())) {
    sfx.laser = tuSound::LoadPack("laser.wav", 4);  // four channels: shots overlap
    sfx.boom = tuSound::LoadPack("boom.wav", 4);
    sfx.chime = tuSound::LoadPack("chime.wav", 6);  // 2..10 channels can echo
    sfx.blip = tuSound::LoadPack("blip.wav", 2);
    sfx.whoosh = tuSound::LoadPack("whoosh.wav", 5);
    // Twelve seconds at 22050 Hz, 16-bit mono: a four-second intro, then the loop.
    sfx.music = tuSound::LoadStream("music.wav", 4 * 22050 * 2);
  } else {
    tuSystem::Error("showcase", "the sound pack sounds.pak cannot be read", 0);
  }
  midiReady = BesideProgram("theme.mid");
  if (!midiReady) tuSystem::Error("showcase", "the title music theme.mid cannot be read", 0);

  tuDraw::SetFadeTile("fade.bmp");
  // A chart 1440 pixels tall over a drifting grid; it scrolls with the arrow keys when shown.
  tuDraw::SetScrollView("view.bmp", "viewtile.bmp", 1440);
  tuSystem::sys.sceneNo = kTitleScene;
}

}  // namespace showcase
