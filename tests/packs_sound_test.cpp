// Sound packs: the exact entries MakePack writes, loading and rebuilding pack objects, entries
// after a non-PCM one, and damaged packs.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

#include "sound_support.h"

using namespace sound_support;

namespace {

// The 18-byte format block of a mono 16-bit sound.
Bytes Pcm18(uint32_t rate = 44100) {
  Bytes f = Fmt(1, rate, 16);
  Put(f, 0, 2);
  return f;
}

// One entry as the pack stores it.
Bytes Entry(const std::string& name, const std::vector<int16_t>& samples, Bytes format = Pcm18()) {
  Bytes data = Samples16(samples), b;
  Put(b, static_cast<uint32_t>(data.size()), 4);
  for (char c : name) b.push_back(static_cast<uint8_t>(c));
  b.push_back(0);
  Put(b, static_cast<uint32_t>(format.size()), 4);
  for (uint8_t v : format) b.push_back(v);
  for (uint8_t v : data) b.push_back(v);
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SoundPacks : public SoundTest {
 protected:
  Bytes ReadPack(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  // The first sample the object plays.
  int Level(int id) {
    tuSound::Play(id, 0);
    int16_t v = Pull(1)[0];
    tuSound::Stop(id, -1);
    return v;
  }
};

TEST_F(SoundPacks, MakePackWritesExactEntriesThatLoadInAnyCase) {
  WriteFile("SE/erase.wav", Dc16(3, 1000));
  WriteFile("SE/set.WAV", Dc16(2, -2000, 22050));
  WriteFile("SE/broken.wav", Bytes{'R', 'I', 'F', 'F'});  // left out
  WriteFile("SE/notes.txt", Bytes{'x'});
  EXPECT_EQ(tuSound::MakePack("se.pak", "SE", 1), 1);
  Bytes erase = Entry("ERASE.WAV", {1000, 1000, 1000}), set = Entry("SET.WAV", {-2000, -2000}, Pcm18(22050));
  EXPECT_EQ(ReadPack("se.pak"), erase + set);

  tuSound::PackPath("se.pak");
  int id = tuSound::LoadPack("erase.wav", 2);
  ASSERT_EQ(id, 0);
  EXPECT_STREQ(tuSound::snd.objects[id].name, "erase.wav");
  EXPECT_EQ(tuSound::snd.objects[id].fromPack, 1);
  EXPECT_EQ(tuSound::snd.objects[id].echoState, 0);
  EXPECT_EQ(Level(id), 1000);
  int second = tuSound::LoadPack("SET.wav", -1);
  EXPECT_EQ(tuSound::snd.objects[second].baseFrequency, 22050u);
  EXPECT_EQ(Level(second), -2000);
  // A format change rebuilds pack objects from the pack, with their settings.
  tuSound::SetVolume(id, -600, 1);
  ASSERT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  int volume = 0;
  tu::platform::AudioGetVolume(tuSound::snd.objects[id].channels[1].buffer, &volume);
  EXPECT_EQ(volume, -600);
  EXPECT_EQ(Level(id), 1000);

  // Without replace the entries are appended again, and the first copy is the one found.
  WriteFile("SE/erase.wav", Dc16(3, 3000));
  EXPECT_EQ(tuSound::MakePack("se.pak", "SE", 0), 1);
  Bytes erase3 = Entry("ERASE.WAV", {3000, 3000, 3000});
  EXPECT_EQ(ReadPack("se.pak"), erase + set + erase3 + set);
  EXPECT_EQ(Level(tuSound::LoadPack("ERASE.WAV", 1)), 1000);
  EXPECT_EQ(tuSound::MakePack("se.pak", "SE", 1), 1);
  EXPECT_EQ(ReadPack("se.pak"), erase3 + set);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(SoundPacks, EntriesAfterANonPcmOneStayReachable) {
  Bytes adpcm = Fmt(1, 22050, 4, 2, 256);
  Put(adpcm, 32, 2);                    // extra size
  adpcm.insert(adpcm.end(), 32, 0x55);  // the extra bytes
  WriteFile("mixed.pak", Entry("ODD.WAV", std::vector<int16_t>(150, 7), adpcm) +
                             Entry("PLAIN.WAV", {1234, 1234}));
  tuSound::PackPath("mixed.pak");
  EXPECT_EQ(Level(tuSound::LoadPack("plain.wav", 1)), 1234);
  EXPECT_EQ(tuSound::LoadPack("odd.wav", 1), -1);  // found, but no buffer takes it
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : サウンドバッファが生成できません");
}

TEST_F(SoundPacks, WiderSamplesAndExtensibleHeadersArePackedAndPlay) {
  Bytes fmt24 = Fmt(2, 44100, 24);
  Put(fmt24, 0, 2);
  Bytes wide = {0x00, 0x10, 0x00, 0x00, 0xF0, 0xFF};  // left 4096, right -4096 (as 16 bits: ±16)
  Bytes half = {0x00, 0x00, 0x00, 0x3F};              // 0.5 as a float
  WriteFile("W/wide.wav", Riff({Chunk("fmt ", Fmt(2, 44100, 24)), Chunk("data", wide)}));
  WriteFile("W/half.wav", Riff({Chunk("fmt ", Extensible(1, 44100, 32, 3)), Chunk("data", half)}));
  EXPECT_EQ(tuSound::MakePack("w.pak", "W", 1), 1);
  Bytes pack = ReadPack("w.pak");
  for (const auto& [name, format, data] : {std::tuple{"WIDE.WAV", fmt24, wide},
                                           std::tuple{"HALF.WAV", Extensible(1, 44100, 32, 3), half}}) {
    Bytes entry;
    Put(entry, static_cast<uint32_t>(data.size()), 4);
    entry.insert(entry.end(), name, name + strlen(name) + 1);
    Put(entry, static_cast<uint32_t>(format.size()), 4);
    entry.insert(entry.end(), format.begin(), format.end());
    entry.insert(entry.end(), data.begin(), data.end());
    EXPECT_NE(std::search(pack.begin(), pack.end(), entry.begin(), entry.end()), pack.end()) << name;
  }
  tuSound::PackPath("w.pak");
  int w = tuSound::LoadPack("wide.wav", 1), h = tuSound::LoadPack("half.wav", 1);
  tuSound::Play(w, 0);
  auto out = Pull(1);
  EXPECT_EQ(out[0], 16);
  EXPECT_EQ(out[1], -16);
  EXPECT_EQ(Level(h), 16384);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(SoundPacks, MissingEmptyAndDamagedPacksReportAndLeaveTheEntryFree) {
  EXPECT_EQ(tuSound::LoadPack("a.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : パックファイル名が指定されていません");
  tuSound::PackPath("p.pak");
  WriteFile("p.pak", Entry("A.WAV", {5}));
  EXPECT_EQ(tuSound::LoadPack("a.wav", 11), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : ミックス数が多過ぎます");
  EXPECT_EQ(tuSound::LoadPack(std::string(31, 'a').c_str(), 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : ファイル名が長すぎます");

  Bytes good = Entry("B.WAV", {9, 9}), hugeData = Entry("A.WAV", {5}), hugeFormat = hugeData;
  hugeData[3] = 0x7F;        // data size far beyond the file
  hugeFormat[4 + 6 + 3] = 0x7F;  // format size far beyond the file
  Bytes noZero = Entry(std::string(300, 'N'), {5});
  noZero.erase(noZero.begin() + 4 + 300);  // the name runs on without its zero byte
  const std::pair<const char*, Bytes> damaged[] = {
      {"empty", {}},
      {"a name not in the pack", Entry("A.WAV", {5})},
      {"B cut inside its samples", Bytes(good.begin(), good.end() - 1)},
      {"B cut inside its format size", Bytes(good.begin(), good.begin() + 12)},
      {"data size beyond the file", hugeData + good},
      {"format size beyond the file", hugeFormat + good},
      {"name without zero byte", noZero + good},
      {"half a data size", Bytes{1, 0}},
  };
  for (const auto& [what, bytes] : damaged) {
    SCOPED_TRACE(what);
    WriteFile("p.pak", bytes);
    tu::platform::ClearRecordedBoxes();
    EXPECT_EQ(tuSound::LoadPack("b.wav", 1), -1);
    EXPECT_EQ(LastBox(), "tuSound::LoadPack : WAVEファイルを読み込めません");
    EXPECT_EQ(tu::platform::RecordedBoxes().size(), 1u);
    EXPECT_EQ(tuSound::snd.objects[0].used, 0);
  }
}

}  // namespace
