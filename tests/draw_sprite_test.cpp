#include <cstring>
#include <filesystem>

#include "draw_support.h"

using namespace draw_support;

namespace {

class Sprites : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    ASSERT_EQ(tuDraw::Screen(64, 48, 1), 1);
    // 4 x 4: black top-left corner, red elsewhere, a white centre pixel.
    WriteFile("BMP/a.bmp", MakeBmp(4, 4, 24, [](int x, int y) -> uint32_t {
                if (x == 0 && y == 0) return 0;
                return x == 2 && y == 2 ? 0xFFFFFF : 0xFF0000;
              }));
  }
  const tuDraw::SpriteObject& Entry(int id) { return tuDraw::draw.sprites[id]; }
};

TEST_F(Sprites, LoadsTakeIdsFromFourAndBlackIsTransparentByDefault) {
  int ids[8];
  for (int& id : ids) id = tuDraw::LoadObject("BMP/a.bmp", 2);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ids[i], 4 + i);
  EXPECT_EQ(Boxes(), 0u);
  const auto& e = Entry(4);
  EXPECT_STREQ(e.name, "BMP/a.bmp");
  EXPECT_EQ(e.width, 4);
  EXPECT_EQ(e.height, 4);
  EXPECT_EQ(e.colorKey, 0);
  EXPECT_EQ(Pixel(4, 1, 0), 0xF800u);
  FillBack(0x1234);
  tuDraw::Draw(10, 10, 4, 0, 0, 4, 4);
  EXPECT_EQ(Back(10, 10), 0x1234u);  // black corner keyed out
  EXPECT_EQ(Back(11, 10), 0xF800u);
  EXPECT_EQ(Back(12, 12), 0xFFFFu);
  tuDraw::DrawOpaque(20, 10, 4, 0, 0, 4, 4);
  EXPECT_EQ(Back(20, 10), 0u);
  // A freed id is handed out again first.
  tuDraw::DeleteObject(6);
  EXPECT_EQ(Entry(6).name[0], 0);
  EXPECT_EQ(tuDraw::LoadObject("BMP/a.bmp", 2), 6);
}

TEST_F(Sprites, CornerKeyAndExplicitKeys) {
  tuDraw::SetColorKeyFromCorner();
  WriteFile("BMP/b.bmp", MakeBmp(2, 1, 24, [](int x, int) { return x ? 0x000000u : 0x00FF00u; }));
  int id = tuDraw::LoadObject("BMP/b.bmp", 2);
  ASSERT_EQ(id, 4);
  EXPECT_EQ(Entry(id).colorKey, -1);
  FillBack(0x1111);
  tuDraw::Draw(0, 0, id, 0, 0, 2, 1);
  EXPECT_EQ(Back(0, 0), 0x1111u);  // green corner transparent
  EXPECT_EQ(Back(1, 0), 0u);       // black now drawn
  tuDraw::SetColorKey(Ref(0x00FF00));
  EXPECT_EQ(tuDraw::draw.colorKeyFromCorner, 0);
  int second = tuDraw::LoadObject("BMP/b.bmp", 2);
  EXPECT_EQ(Entry(second).colorKey, Ref(0x00FF00));
  tuDraw::SetObjectColorKey(id, 0);
  FillBack(0x1111);
  tuDraw::Draw(0, 0, id, 0, 0, 2, 1);
  EXPECT_EQ(Back(0, 0), 0x07E0u);
  EXPECT_EQ(Back(1, 0), 0x1111u);
  tuDraw::CopyColorKey(second, id);
  FillBack(0x1111);
  tuDraw::Draw(0, 0, second, 0, 0, 2, 1);
  EXPECT_EQ(Back(1, 0), 0x1111u);
  EXPECT_EQ(Entry(second).colorKey, Ref(0x00FF00));  // the entry keeps its own record
}

TEST_F(Sprites, NameLengthLimitIsThirtyCharacters) {
  std::string name30 = "BMP/" + std::string(22, 'n') + ".bmp";
  ASSERT_EQ(name30.size(), 30u);
  WriteFile(name30, MakeBmp(1, 1, 24, [](int, int) { return 0x808080u; }));
  EXPECT_EQ(tuDraw::LoadObject(name30.c_str(), 2), 4);
  std::string name31 = "BMP/" + std::string(23, 'n') + ".bmp";
  EXPECT_EQ(tuDraw::LoadObject(name31.c_str(), 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::LoadObject : ファイル名またはリソース名が長すぎます");
  EXPECT_EQ(Entry(5).name[0], 0);  // refused before an entry is taken
  EXPECT_EQ(tuDraw::SwapObject(name31.c_str(), 4, 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::SwapObject : ファイル名またはリソース名が長すぎます");
  EXPECT_STREQ(Entry(4).name, name30.c_str());
}

TEST_F(Sprites, TableFullAfter1020Sprites) {
  for (int i = 0; i < 1020; ++i) ASSERT_EQ(tuDraw::CreateObject(1, 1, 2), 4 + i);
  EXPECT_EQ(Boxes(), 0u);
  EXPECT_EQ(tuDraw::LoadObject("BMP/a.bmp", 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::LoadObject : オブジェクト数が多過ぎます");
  EXPECT_EQ(tuDraw::CreateObject(1, 1, 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::CreateObject : オブジェクト数が多過ぎます");
}

TEST_F(Sprites, FailedLoadKeepsItsEntryAndDeleteLeavesItTaken) {
  WriteFile("BMP/bad.bmp", {'B', 'M', 1, 2, 3});
  EXPECT_EQ(tuDraw::LoadObject("BMP/bad.bmp", 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::LoadObject : BMPファイルを読み込めません");
  EXPECT_EQ(Boxes(), 1u);
  EXPECT_STREQ(Entry(4).name, "BMP/bad.bmp");
  EXPECT_EQ(Entry(4).surface, nullptr);
  tuDraw::DeleteObject(4);
  EXPECT_STREQ(Entry(4).name, "BMP/bad.bmp");
  EXPECT_EQ(tuDraw::LoadObject("BMP/missing.bmp", 2), 0);
  EXPECT_EQ(tuDraw::LoadObject("BMP/a.bmp", 2), 6);
  // Drawing the failed entry draws nothing and raises nothing.
  FillBack(0x2222);
  tuDraw::Draw(0, 0, 4, 0, 0, 4, 4);
  EXPECT_EQ(Back(0, 0), 0x2222u);
  EXPECT_EQ(Boxes(), 2u);
}

TEST_F(Sprites, ResourceFallbackByName) {
  auto file = MakeBmp(3, 1, 24, [](int, int) { return 0x0000FFu; });
  tu::platform::RegisterResource("BITMAP", "TILE", std::vector<uint8_t>(file.begin() + 14, file.end()));
  int id = tuDraw::LoadObject("tile", 2);
  ASSERT_EQ(id, 4);
  EXPECT_EQ(Entry(id).width, 3);
  EXPECT_EQ(Pixel(id, 2, 0), 0x001Fu);
}

TEST_F(Sprites, CreateObjectRefusesUnusableSizes) {
  EXPECT_EQ(tuDraw::CreateObject(0, 10, 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::CreateObject : スプライトを作成できません");
  EXPECT_EQ(Entry(4).height, 10) << "the requested size stays in the taken entry";
  EXPECT_EQ(tuDraw::CreateObject(100000, 100000, 2), 0);
  EXPECT_EQ(tuDraw::CreateObject(-3, 4, 2), 0);
  EXPECT_EQ(Boxes(), 3u);
  int id = tuDraw::CreateObject(5, 6, 1);
  EXPECT_GT(id, 0);
  EXPECT_STREQ(Entry(id).name, "*");
  EXPECT_EQ(Entry(id).height, 6);
  EXPECT_TRUE(tu::platform::SurfaceInSystemMemory(Entry(id).surface));
}

TEST_F(Sprites, SwapKeepsTheIdAndTakesTheNewSize) {
  int id = tuDraw::LoadObject("BMP/a.bmp", 2);
  WriteFile("BMP/wide.bmp", MakeBmp(7, 2, 24, [](int, int) { return 0xFFFFFFu; }));
  EXPECT_EQ(tuDraw::SwapObject("BMP/wide.bmp", id, 2), 1);
  EXPECT_STREQ(Entry(id).name, "BMP/wide.bmp");
  EXPECT_EQ(Entry(id).width, 7);
  EXPECT_EQ(Entry(id).height, 2);
  EXPECT_EQ(Pixel(id, 6, 1), 0xFFFFu);
  EXPECT_EQ(tuDraw::SwapObject("BMP/none.bmp", id, 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::SwapObject : BMPファイルを読み込めません");
  EXPECT_EQ(Entry(id).surface, nullptr);
  EXPECT_EQ(Entry(id).width, 7) << "a failed swap leaves the size";
}

TEST_F(Sprites, IdsOutsideTheTableAreIgnoredEverywhere) {
  for (int id : {-1, 1024, 5000, -100000}) {
    tuDraw::Draw(0, 0, id, 0, 0, 4, 4);
    tuDraw::DrawOpaque(0, 0, id, 0, 0, 4, 4);
    tuDraw::DrawTo(id, 0, 0, 0, 0, 0, 4, 4);
    tuDraw::DrawToOpaque(0, 0, 0, id, 0, 0, 4, 4);
    tuDraw::DrawScaled(0, 0, id, 0, 0, 4, 4, 8, 8);
    tuDraw::ClearObject(id);
    tuDraw::DeleteObject(id);
    EXPECT_EQ(tuDraw::SwapObject("BMP/a.bmp", id, 2), 0);
    tuDraw::SetObjectColorKey(id, 0);
    tuDraw::SetObjectColorKeyFromCorner(id);
    tuDraw::CopyColorKey(id, 0);
    tuDraw::CopyColorKey(0, id);
    tuDraw::DrawMirror(0, 0, 0, id, 0, 0, 4, 4);
  }
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(Sprites, RestoreAfterALossReloadsFilesAndReportsARemovedOne) {
  int a = tuDraw::LoadObject("BMP/a.bmp", 2);
  tuDraw::SetColorKeyFromCorner();
  WriteFile("BMP/gone.bmp", MakeBmp(2, 2, 24, [](int, int) { return 0x00FF00u; }));
  int gone = tuDraw::LoadObject("BMP/gone.bmp", 2);
  int blank = tuDraw::CreateObject(3, 3, 2);
  tu::platform::Fill(Entry(blank).surface, {0, 0, 3, 3}, 0x4444);
  std::filesystem::remove(folder + "BMP/gone.bmp");
  tuDraw::SetColorKey(Ref(0x0000FF));

  tu::platform::MarkAllSurfacesLost();
  EXPECT_TRUE(tu::platform::PrimaryLost());
  FillBack(0x1111);  // a lost back buffer takes nothing
  tuDraw::Draw(0, 0, a, 0, 0, 4, 4);  // meets the loss: restores, this draw is lost
  EXPECT_FALSE(tu::platform::PrimaryLost());
  EXPECT_FALSE(tu::platform::IsLost(tuDraw::draw.backSurface));
  EXPECT_EQ(Back(1, 0), 0u);
  EXPECT_EQ(Pixel(a, 1, 0), 0xF800u);  // image reloaded
  EXPECT_EQ(Entry(a).colorKey, 0);
  EXPECT_EQ(Entry(a).surface != nullptr, true);
  EXPECT_EQ(Pixel(blank, 0, 0), 0u);  // blank sprites come back empty
  EXPECT_EQ(Entry(gone).surface, nullptr);
  ASSERT_EQ(Boxes(), 1u);
  EXPECT_EQ(LastBox(), "tuDraw::SwapObject : BMPファイルを読み込めません");
  // The global setting is the last reloaded entry's key.
  EXPECT_EQ(tuDraw::draw.colorKeyValue, -1);
  EXPECT_EQ(tuDraw::draw.colorKeyFromCorner, 0);
  tuDraw::Draw(0, 0, a, 0, 0, 4, 4);
  EXPECT_EQ(Back(1, 0), 0xF800u);
}

}  // namespace
