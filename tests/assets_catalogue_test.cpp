// LoadAssets through the library: the display, eight pictures and twelve sounds in the designed
// order, the menu as the first scene, a missing file reported once without stopping, and the
// game drawn with them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>
#include <string>

#include <tu/tuDraw.h>
#include <tu/tuSound.h>

#include "assets_support.h"
#include "game/assets.h"
#include "game/game.h"
#include "game/model.h"
#include "headless.h"
#include "platform/seams.h"
#include "platform/surface.h"

namespace {

const char* const kPictures[] = {"BMP/block.bmp",     "BMP/Field.bmp",     "BMP/EasyBack.bmp",
                                 "BMP/NomalBack.bmp", "BMP/HardBack.bmp",  "BMP/BlackBack.bmp",
                                 "BMP/Title.bmp",     "BMP/Font.bmp"};
const char* const kSounds[] = {"BGM/eBGM.wav", "BGM/nBGM.wav",  "BGM/hBGM.wav",  "BGM/bBGM.wav",
                               "BGM/vsBGM.wav", "SE/sliset.wav", "SE/set.wav",    "SE/erase.wav",
                               "BGM/RANK.wav",  "BGM/RANK2.wav", "SE/BUTTON.wav", "SE/BUTTONK.wav"};

class Catalogue : public testing_support::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    assets = GameAssets{};
    tu::platform::SetExeFolderOverride(asset_files::Dir() + "/");
  }
  void TearDown() override {
    tuSound::Release();
    tuDraw::Release();
    tu::platform::SetExeFolderOverride("");
    if (!scratch_.empty()) std::system(("rm -rf '" + scratch_ + "'").c_str());
  }
  // A game folder holding every file but `left out`, as links to the built ones.
  void UseFolderWithout(const std::string& leftOut) {
    char tmpl[] = "/tmp/quorbistane-catalogue-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    scratch_ = tmpl;
    for (const char* sub : {"/BMP", "/BGM", "/SE"}) ASSERT_EQ(mkdir((scratch_ + sub).c_str(), 0755), 0);
    auto link = [&](const char* name) {
      if (leftOut == name) return;
      ASSERT_EQ(symlink(asset_files::PathOf(name).c_str(), (scratch_ + "/" + name).c_str()), 0);
    };
    for (const char* n : kPictures) link(n);
    for (const char* n : kSounds) link(n);
    tu::platform::SetExeFolderOverride(scratch_ + "/");
  }
  std::string scratch_;
};

TEST_F(Catalogue, LoadsEightPicturesAndTwelveSoundsInOrderThenShowsTheMenu) {
  tuSystem::sys.sceneNo = 0;
  tuSystem::sys.prevSceneNo = 5;
  LoadAssets();
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
  EXPECT_EQ(tuDraw::draw.screenWidth, 640);
  EXPECT_EQ(tuDraw::draw.screenHeight, 480);
  const int sprites[] = {assets.blockSprite,    assets.fieldSprite,    assets.backSprites[0], assets.backSprites[1],
                         assets.backSprites[2], assets.backSprites[3], assets.titleSprite,    assets.fontSprite};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(sprites[i], 4 + i) << kPictures[i];
  const int sounds[] = {assets.music[0],      assets.music[1],    assets.music[2],   assets.music[3],
                        assets.music[4],      assets.slideSetSound, assets.setSound, assets.eraseSound,
                        assets.rankMusic1,    assets.rankMusic2, assets.buttonSound, assets.buttonSound2};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(sounds[i], i) << kSounds[i];
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
  EXPECT_EQ(tuSystem::sys.prevSceneNo, 0);
  // Each picture came in whole, at its own size.
  asset_files::Picture p;
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(asset_files::ReadBmp(kPictures[i], p));
    EXPECT_EQ(tuDraw::draw.sprites[sprites[i]].width, p.w) << kPictures[i];
    EXPECT_EQ(tuDraw::draw.sprites[sprites[i]].height, p.h) << kPictures[i];
  }
}

TEST(CatalogueFiles, EverySoundReadsThroughTheLibraryInAFormatTheDeviceTakes) {
  for (const char* name : kSounds) {
    uint8_t *format = nullptr, *data = nullptr;
    int formatLength = 0, dataSize = 0;
    ASSERT_EQ(tuSound::ReadWave(asset_files::PathOf(name).c_str(), &format, &formatLength, &data, &dataSize), 0)
        << name;
    ASSERT_GE(formatLength, 18) << name;
    const int tag = format[0] | format[1] << 8, channels = format[2] | format[3] << 8;
    const int rate = int(asset_files::U32(std::vector<uint8_t>(format, format + 8), 4));
    const int align = format[12] | format[13] << 8, bits = format[14] | format[15] << 8;
    EXPECT_EQ(tag, 1) << name;
    EXPECT_TRUE(channels == 1 || channels == 2) << name;
    EXPECT_TRUE(rate == 22050 || rate == 44100) << name;
    EXPECT_EQ(bits, 16) << name;
    EXPECT_EQ(align, channels * 2) << name;
    EXPECT_GT(dataSize, 0) << name;
    EXPECT_EQ(dataSize % align, 0) << name;
    std::free(format);
    std::free(data);
  }
}

TEST_F(Catalogue, AMissingEffectIsReportedOnceAndTheRestStillLoads) {
  UseFolderWithout("SE/erase.wav");
  LoadAssets();
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 1u);
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].text, "tuSound::LoadObject : WAVEリソースが見つかりません");
  const std::string& shown = tu::platform::RecordedBoxes()[0].shownText;
  EXPECT_NE(shown.find("from " + scratch_ + "/"), std::string::npos) << shown;
  EXPECT_NE(shown.find("file not found:\n    SE/erase.wav\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("goes on without these sounds"), std::string::npos) << shown;
  EXPECT_EQ(tuSystem::sys.shutdownDone, 0);
  EXPECT_EQ(assets.eraseSound, -1);
  EXPECT_EQ(assets.fontSprite, 11);
  // The sounds after the missing one still load, each under an id of its own.
  const int after[] = {assets.rankMusic1, assets.rankMusic2, assets.buttonSound, assets.buttonSound2};
  int prev = assets.setSound;
  for (int id : after) {
    EXPECT_GT(id, prev);
    prev = id;
  }
  EXPECT_EQ(tuSystem::sys.sceneNo, 2);
}

TEST_F(Catalogue, AMissingPictureLeavesSpriteZeroAndTheNextPicturesLoad) {
  UseFolderWithout("BMP/NomalBack.bmp");
  LoadAssets();
  ASSERT_EQ(tu::platform::RecordedBoxes().size(), 1u);
  EXPECT_NE(tu::platform::RecordedBoxes()[0].text.find("tuDraw::LoadObject"), std::string::npos);
  EXPECT_EQ(assets.backSprites[1], 0);
  EXPECT_GT(assets.backSprites[2], assets.backSprites[0]);
  EXPECT_GT(assets.fontSprite, assets.titleSprite);
  EXPECT_EQ(assets.buttonSound2, 11);
}

// The game started headless as the real one starts: each file that did not load is named on
// standard error with its folder and reason, all of them in one box; a picture missing or
// broken ends the game with status 1, sounds alone let it play.
TEST_F(Catalogue, StartedWithoutAPictureOrASoundTheGameSaysSoOnceAndEndsOnlyForThePicture) {
  struct Case {
    const char* leftOut;
    const char* broken;  // replaced by a text file
    int status;          // Main's result; -1: the game runs
    std::vector<std::string> said;
  } cases[] = {
      {"BMP/Field.bmp", nullptr, 1,
       {"cannot load picture BMP/Field.bmp from FOLDER: file not found\n", "without the picture above: ending"}},
      {"", "BMP/Title.bmp", 1, {"cannot load picture BMP/Title.bmp from FOLDER: not a picture (neither a BMP nor a PNG file)\n"}},
      {"SE/erase.wav", "BGM/RANK.wav", -1,
       {"cannot load sound SE/erase.wav from FOLDER: file not found\n",
        "cannot load sound BGM/RANK.wav from FOLDER: not a WAV file\n", "playing on without the sounds above"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.leftOut) + (c.broken ? c.broken : ""));
    testing_support::ResetHeadless();
    UseFolderWithout(c.broken ? c.broken : c.leftOut);
    if (c.broken) {
      ASSERT_EQ(std::system(("echo not a picture >'" + scratch_ + "/" + c.broken + "'").c_str()), 0);
    }
    if (c.broken && c.leftOut[0]) {
      ASSERT_EQ(unlink((scratch_ + "/" + c.leftOut).c_str()), 0);
    }
    tuSystem::UseHeadless();
    char arg0[] = "quorbistane";
    char* argv[] = {arg0};
    testing::internal::CaptureStderr();
    int status = -1;
    if (c.status >= 0) {
      status = tuSystem::Main(1, argv, GameProgram());
    } else {
      ASSERT_EQ(tuSystem::Start(1, argv, GameProgram()), 1);
      for (int f = 0; f < 10; ++f) ASSERT_TRUE(tuSystem::RunFrame(16));
      EXPECT_EQ(tuSystem::sys.sceneNo, 2);  // the menu runs
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status);
    for (std::string s : c.said) {
      if (auto at = s.find("FOLDER"); at != std::string::npos) s.replace(at, 6, scratch_ + "/");
      EXPECT_NE(err.find(s), std::string::npos) << "missing: " << s << "\nin: " << err;
    }
    ASSERT_EQ(tu::platform::RecordedBoxes().size(), 1u);
    const tu::platform::RecordedBox& box = tu::platform::RecordedBoxes()[0];
    EXPECT_EQ(box.caption, "エラー発生");
    EXPECT_EQ(box.shownCaption, "Quorbistane: error");
    // What the desktop shows is plain ASCII, which any box font can draw.
    for (unsigned char ch : box.shownText) EXPECT_LT(ch, 0x80) << box.shownText;
    tuSound::Release();
    tuDraw::Release();
    std::system(("rm -rf '" + scratch_ + "'").c_str());
    scratch_.clear();
  }
}

TEST_F(Catalogue, APieceAmongEmptyCellsIsDrawnPixelForPixelOverTheFrame) {
  LoadAssets();
  ASSERT_TRUE(tu::platform::RecordedBoxes().empty());
  ResetGame();
  PlayerState& p = game.player[0];
  for (int slot = 0; slot < kSlots; ++slot)
    for (int line = 0; line < kLines; ++line) p.cells[slot][line] = IsLiveCell(slot, line) ? kEmpty : kWall;
  p.pieceSlot = 3, p.pieceLine = 6;
  p.satellite[0][0] = -1, p.satellite[0][1] = 1, p.satellite[1][0] = 0, p.satellite[1][1] = 1;
  p.pieceColor[0] = 1, p.pieceColor[1] = 4, p.pieceColor[2] = 2;
  uint32_t now = tu::platform::Tick();
  p.shimmerTime = now;
  DrawPlayer(0, now);
  // Both satellites, every pixel of their tiles: no line or dot of the empty cells around and
  // under them is drawn over them.
  auto* block = tuDraw::draw.sprites[assets.blockSprite].surface;
  for (int k = 0; k < 2; ++k) {
    int slot = p.pieceSlot + p.satellite[k][0], line = p.pieceLine + p.satellite[k][1], x0 = CellX(0, slot, line),
        y0 = CellY(line), tile = 32 * p.pieceColor[k + 1], differ = 0, drawn = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        uint32_t src = tu::platform::ReadPixel(block, tile + x, y);
        if (src == 0) continue;
        ++drawn;
        differ += tu::platform::ReadPixel(tuDraw::draw.backSurface, x0 + x, y0 + y) != src;
      }
    EXPECT_GT(drawn, 400);
    EXPECT_EQ(differ, 0) << "satellite " << k;
  }
}

}  // namespace
