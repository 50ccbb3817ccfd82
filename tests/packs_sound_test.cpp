// Sound packs: the exact entry format written by MakePack, loading entries into sound objects,
// entries after a non-PCM one, damaged packs, and the rebuild of pack objects.
#include <fstream>
#include <iterator>

#include "sound_support.h"

using namespace sound_support;

namespace {

// One entry as the pack stores it; `format` is the whole format block.
Bytes PackEntry(const std::string& name, const Bytes& format, const Bytes& data) {
  Bytes b;
  Put(b, static_cast<uint32_t>(data.size()), 4);
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  Put(b, static_cast<uint32_t>(format.size()), 4);
  b.insert(b.end(), format.begin(), format.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// The 18-byte format block of a PCM sound.
Bytes Pcm18(int channels, uint32_t rate, int bits) {
  Bytes f = Fmt(channels, rate, bits);
  Put(f, 0, 2);
  return f;
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
  // The level the object plays at: the first pulled frame's left sample.
  int Level(int id) {
    tuSound::Play(id, 0);
    int16_t v = Pull(1)[0];
    tuSound::Stop(id, -1);
    return v;
  }
};

TEST_F(SoundPacks, MakePackWritesTheExactEntriesAndLoadPackFindsThemInAnyCase) {
  WriteFile("SE/erase.wav", Dc16(3, 1000));
  WriteFile("SE/set.WAV", Dc16(2, -2000, 22050));
  WriteFile("SE/notes.txt", Bytes{'x'});
  WriteFile("SE/broken.wav", Bytes{'R', 'I', 'F', 'F'});
  EXPECT_EQ(tuSound::MakePack("se.pak", "SE", 1), 1);
  Bytes erase = PackEntry("ERASE.WAV", Pcm18(1, 44100, 16), Samples16({1000, 1000, 1000}));
  Bytes set = PackEntry("SET.WAV", Pcm18(1, 22050, 16), Samples16({-2000, -2000}));
  EXPECT_EQ(ReadPack("se.pak"), erase + set);

  tuSound::PackPath("se.pak");
  int id = tuSound::LoadPack("erase.wav", 2);
  ASSERT_EQ(id, 0);
  EXPECT_STREQ(tuSound::snd.objects[id].name, "erase.wav");
  EXPECT_EQ(tuSound::snd.objects[id].fromPack, 1);
  EXPECT_EQ(tuSound::snd.objects[id].channelCount, 2);
  EXPECT_EQ(tuSound::snd.objects[id].echoState, 0);
  EXPECT_EQ(Level(id), 1000);
  int second = tuSound::LoadPack("SET.wav", -1);
  ASSERT_EQ(second, 1);
  EXPECT_EQ(tuSound::snd.objects[second].baseFrequency, 22050u);
  EXPECT_EQ(Level(second), -2000);
  EXPECT_TRUE(platform::RecordedBoxes().empty());

  // Without replace the same entries are appended again, and the first copy is found.
  WriteFile("SE/erase.wav", Dc16(3, 3000));
  EXPECT_EQ(tuSound::MakePack("se.pak", "SE", 0), 1);
  Bytes erase3 = PackEntry("ERASE.WAV", Pcm18(1, 44100, 16), Samples16({3000, 3000, 3000}));
  EXPECT_EQ(ReadPack("se.pak"), erase + set + erase3 + set);
  EXPECT_EQ(Level(tuSound::LoadPack("ERASE.WAV", 1)), 1000);
  EXPECT_EQ(tuSound::MakePack("se.pak", "SE", 1), 1);
  EXPECT_EQ(ReadPack("se.pak"), erase3 + set);
}

TEST_F(SoundPacks, EntriesAfterANonPcmOneStayReachable) {
  Bytes adpcm = Fmt(1, 22050, 4, 2, 256);
  Put(adpcm, 32, 2);                      // extra size
  adpcm.insert(adpcm.end(), 32, 0x55);    // coefficients
  WriteFile("mixed.pak", PackEntry("ODD.WAV", adpcm, Bytes(300, 7)) +
                             PackEntry("PLAIN.WAV", Pcm18(1, 44100, 16), Samples16({1234, 1234})));
  tuSound::PackPath("mixed.pak");
  int id = tuSound::LoadPack("plain.wav", 1);
  ASSERT_GE(id, 0);
  EXPECT_EQ(Level(id), 1234);
  // The non-PCM entry itself is found but cannot make a buffer.
  EXPECT_EQ(tuSound::LoadPack("odd.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : サウンドバッファが生成できません");
}

TEST_F(SoundPacks, MissingEmptyAndDamagedPacksReportAndLeaveTheEntryFree) {
  EXPECT_EQ(tuSound::LoadPack("a.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : パックファイル名が指定されていません");
  tuSound::PackPath("missing.pak");
  EXPECT_EQ(tuSound::LoadPack("a.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : パックファイル名が指定されていません");
  tuSound::PackPath("p.pak");
  WriteFile("p.pak", PackEntry("A.WAV", Pcm18(1, 44100, 16), Samples16({5})));
  EXPECT_EQ(tuSound::LoadPack("a.wav", 11), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : ミックス数が多過ぎます");
  EXPECT_EQ(tuSound::LoadPack(std::string(31, 'a').c_str(), 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadPack : ファイル名が長すぎます");

  Bytes good = PackEntry("B.WAV", Pcm18(1, 44100, 16), Samples16({9, 9}));
  Bytes hugeData = PackEntry("A.WAV", Pcm18(1, 44100, 16), Samples16({5}));
  hugeData[3] = 0x7F;  // data size far beyond the file
  Bytes hugeFormat = PackEntry("A.WAV", Pcm18(1, 44100, 16), Samples16({5}));
  hugeFormat[4 + 6 + 3] = 0x7F;  // format size far beyond the file
  Bytes noZero = PackEntry(std::string(300, 'N'), Pcm18(1, 44100, 16), Samples16({5}));
  noZero.erase(noZero.begin() + 4 + 300);  // the name runs on without its zero byte
  const std::pair<const char*, Bytes> damaged[] = {
      {"empty", {}},
      {"a name not in the pack", PackEntry("A.WAV", Pcm18(1, 44100, 16), Samples16({5}))},
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
    platform::ClearRecordedBoxes();
    EXPECT_EQ(tuSound::LoadPack("b.wav", 1), -1);
    EXPECT_EQ(LastBox(), "tuSound::LoadPack : WAVEファイルを読み込めません");
    EXPECT_EQ(platform::RecordedBoxes().size(), 1u);
    EXPECT_EQ(tuSound::snd.objects[0].used, 0);
  }
  // What cannot be read is left out of a pack.
  WriteFile("bad/x.wav", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0});
  tuSound::WritePackEntry("w.pak", "bad/x.wav");
  tuSound::WritePackEntry("w.pak", "bad/missing.wav");
  EXPECT_EQ(tuSound::MakePack("w.pak", "bad", 0), 1);
  EXPECT_FALSE(std::filesystem::exists(Path("w.pak")));
}

TEST_F(SoundPacks, AFormatChangeRebuildsPackObjectsFromThePackWithTheirSettings) {
  WriteFile("p.pak", PackEntry("A.WAV", Pcm18(1, 44100, 16), Samples16(std::vector<int16_t>(100, 4000))));
  tuSound::PackPath("p.pak");
  int id = tuSound::LoadPack("a.wav", 2);
  ASSERT_GE(id, 0);
  tuSound::SetVolume(id, -600, 1);
  tuSound::SetPan(id, 2000, 1);
  ASSERT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  const tuSound::SoundObject& o = tuSound::snd.objects[id];
  EXPECT_EQ(o.used, 1);
  EXPECT_EQ(o.fromPack, 1);
  ASSERT_NE(o.channels[1].buffer, nullptr);
  int volume = 0, pan = 0;
  platform::AudioGetVolume(o.channels[1].buffer, &volume);
  platform::AudioGetPan(o.channels[1].buffer, &pan);
  EXPECT_EQ(volume, -600);
  EXPECT_EQ(pan, 2000);
  EXPECT_EQ(Level(id), 4000);
  EXPECT_TRUE(platform::RecordedBoxes().empty());
}

}  // namespace
