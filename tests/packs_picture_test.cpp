// Picture packs: the exact entries Convert writes, loading entries into sprites on 16- and
// 32-bit desktops and after a surface loss, and damaged packs.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "draw_support.h"

using namespace draw_support;

namespace {

using Bytes = std::vector<uint8_t>;

// One entry as the pack stores it.
Bytes Entry(int w, int h, const std::string& name, const std::vector<uint16_t>& words) {
  Bytes b;
  auto put16 = [&b](uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
  put16(uint32_t(w));
  put16(uint32_t(h));
  for (char c : name) b.push_back(uint8_t(c));
  b.push_back(0);
  for (uint16_t v : words) put16(v);
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes kA = Entry(2, 1, "A.BMP", {0x0000, 0x0001});
const Bytes kB = Entry(1, 1, "B.BMP", {0x7FFF});

class PicturePacks : public DrawTest {
 protected:
  void Start(int depth) {
    tuDraw::Release();
    tu::platform::SetDesktopDepth(depth);
    ASSERT_EQ(tuDraw::Screen(64, 48, 1), 1);
  }
  void SetUp() override {
    DrawTest::SetUp();
    Start(16);
  }
  Bytes ReadPack(const std::string& name) {
    std::ifstream in(folder + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  const tuDraw::SpriteObject& Sprite(int id) { return tuDraw::draw.sprites[id]; }
  // The id the next new sprite gets: shows that nothing was left taken.
  int NextFreeId() {
    int id = tuDraw::CreateObject(1, 1, 2);
    tuDraw::DeleteObject(id);
    return id;
  }
};

TEST_F(PicturePacks, ConvertWritesFiveBitWordsOnlyFromAFullColourDesktop) {
  std::filesystem::create_directories(folder + "pics");
  WriteFile("pics/A.bmp", MakeBmp(2, 1, 24, [](int x, int) { return x ? 0x010203u : 0u; }));
  WriteFile("pics/b.bmp", MakeBmp(1, 1, 24, [](int, int) { return 0xFFFFFFu; }));
  WriteFile("tones.bmp", MakeBmp(3, 1, 24, [](int x, int) {
              return std::vector<uint32_t>{0x07FF07u, 0x081018u, 0x000001u}[size_t(x)];
            }));
  WriteFile("broken.bmp", Bytes{'B', 'M', 1, 2, 3});
  EXPECT_EQ(tuDraw::Convert("pics.pak", "pics", 1), 0);
  EXPECT_EQ(LastBox(), "tuDraw::Convert : 画面をフルカラーにして下さい");
  EXPECT_FALSE(std::filesystem::exists(folder + "pics.pak"));

  Start(32);
  ASSERT_EQ(tuDraw::Convert("pics.pak", "pics", 1), 1);
  EXPECT_EQ(ReadPack("pics.pak"), kA + kB);
  ASSERT_EQ(tuDraw::Convert("pics.pak", "pics", 0), 1);  // appended again
  EXPECT_EQ(ReadPack("pics.pak"), kA + kB + kA + kB);
  ASSERT_EQ(tuDraw::Convert("pics.pak", "pics", 1), 1);
  EXPECT_EQ(ReadPack("pics.pak"), kA + kB);
  // The program folder itself; the broken bitmap is reported by the loader and left out.
  ASSERT_EQ(tuDraw::Convert("root.pak", "", 1), 1);
  EXPECT_EQ(ReadPack("root.pak"), Entry(3, 1, "TONES.BMP", {31 << 5, 1 << 10 | 2 << 5 | 3, 1}));
  EXPECT_EQ(LastBox(), "tuDraw::LoadObject : BMPファイルを読み込めません");
  EXPECT_EQ(NextFreeId(), 4);
}

TEST_F(PicturePacks, EntriesLoadInAnyCaseOnBothDesktopsAndAfterALoss) {
  WriteFile("p.pak", kA + kB + Entry(1, 1, "B.BMP", {0x001F}));
  tuDraw::SetPackFile("p.pak");
  int b = tuDraw::LoadPack("b.bmp", 2);
  ASSERT_EQ(b, 4);
  EXPECT_STREQ(Sprite(b).name, "B.BMP");
  EXPECT_EQ(Sprite(b).fromPack, 1);
  EXPECT_EQ(Pixel(b, 0, 0), 0xFFDFu);  // the first copy; green's lowest bit stays 0
  int a = tuDraw::LoadPack("A.bmp", 1);
  ASSERT_EQ(a, 5);
  EXPECT_EQ(Sprite(a).width, 2);
  FillBack(0x1234);
  tuDraw::Draw(0, 0, a, 0, 0, 2, 1);
  EXPECT_EQ(Back(0, 0), 0x1234u);  // black is transparent
  EXPECT_EQ(Back(1, 0), 0x0001u);  // the near-black pixel stays visible
  ASSERT_EQ(tuDraw::SwapPack("b.bmp", a, 2), a);
  EXPECT_EQ(Sprite(a).width, 1);
  EXPECT_EQ(Pixel(a, 0, 0), 0xFFDFu);
  // After a loss pack sprites are reloaded from the pack named at that moment.
  WriteFile("q.pak", Entry(1, 1, "B.BMP", {31 << 10}));
  tuDraw::SetPackFile("q.pak");
  tu::platform::MarkAllSurfacesLost();
  tuDraw::Draw(0, 0, b, 0, 0, 1, 1);  // meets the loss and restores
  EXPECT_EQ(Pixel(b, 0, 0), 0xF800u);
  EXPECT_STREQ(Sprite(b).name, "B.BMP");
  EXPECT_EQ(Sprite(b).fromPack, 1);
  EXPECT_EQ(NextFreeId(), 6);  // the scratch sprites are gone
  EXPECT_EQ(Boxes(), 0u);

  Start(32);
  tuDraw::SetPackFile("p.pak");
  EXPECT_EQ(Pixel(tuDraw::LoadPack("B.BMP", 2), 0, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(tuDraw::LoadPack("a.bmp", 2), 1, 0), 0x000008u);
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(PicturePacks, MissingEmptyAndDamagedPacksReportAndLeaveNothingTaken) {
  EXPECT_EQ(tuDraw::LoadPack("a.bmp", 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::LoadPack : パックファイル名が指定されていません");
  tuDraw::SetPackFile("missing.pak");
  EXPECT_EQ(tuDraw::SwapPack("a.bmp", 4, 2), 0);
  EXPECT_EQ(LastBox(), "tuDraw::SwapPack : パックファイル名が指定されていません");

  Bytes noZero = Entry(1, 1, std::string(200, 'X'), {1});
  noZero.erase(noZero.begin() + 4 + 200);  // the name runs on without its zero byte
  const std::pair<const char*, Bytes> damaged[] = {
      {"empty", {}},
      {"only A", kA},
      {"B cut short", kA + Bytes(kB.begin(), kB.end() - 1)},
      {"B's size beyond the file", kA + Entry(0xFFFF, 0xFFFF, "B.BMP", {1, 2, 3})},
      {"A's size beyond the file", Entry(0x8000, 0x8000, "A.BMP", {}) + kB},
      {"name without zero byte", noZero + kB},
      {"name cut by the end", Bytes{1, 0, 1, 0, 'B', '.'}},
      {"half a header", Bytes{1, 0, 1}},
  };
  for (const auto& [what, bytes] : damaged) {
    SCOPED_TRACE(what);
    WriteFile("bad.pak", bytes);
    tuDraw::SetPackFile("bad.pak");
    tu::platform::ClearRecordedBoxes();
    EXPECT_EQ(tuDraw::LoadPack("b.bmp", 2), 0);
    EXPECT_EQ(LastBox(), "tuDraw::LoadPack : BMPファイルを読み込めません");
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_EQ(NextFreeId(), 4);
  }
}

TEST_F(PicturePacks, AFailedExpansionLeavesTheTargetTaken) {
  WriteFile("p.pak", kA + kB);
  tuDraw::SetPackFile("p.pak");
  tu::platform::FailSurfaceCreationAfter(1);  // the target is made, its scratch sprite is not
  EXPECT_EQ(tuDraw::LoadPack("a.bmp", 2), 0);
  tu::platform::FailSurfaceCreationAfter(-1);
  EXPECT_EQ(LastBox(), "tuDraw::CreateObject : スプライトを作成できません");
  EXPECT_STREQ(Sprite(4).name, "*");
  EXPECT_NE(Sprite(4).surface, nullptr);
  EXPECT_EQ(NextFreeId(), 6);
}

}  // namespace
