// The RIFF WAVE reader: chunk layouts it must accept, and bad files it must refuse cleanly.
#include <cstdlib>
#include <cstring>

#include "sound_support.h"

using namespace sound_support;

namespace {

class WaveReader : public SoundTest {
 protected:
  void TearDown() override {
    Free();
    SoundTest::TearDown();
  }
  void Free() {
    free(format_);
    free(data_);
  }
  int Read(const Bytes& file) {
    WriteFile("t.wav", file);
    Free();
    return tuSound::ReadWave(Path("t.wav").c_str(), &format_, &formatLength_, &data_, &dataSize_);
  }
  tu::platform::WaveFormat Format() const {
    tu::platform::WaveFormat f;
    memcpy(&f, format_, sizeof f);
    return f;
  }
  Bytes Data() const { return Bytes(data_, data_ + dataSize_); }
  uint8_t* format_ = nullptr;
  uint8_t* data_ = nullptr;
  int formatLength_ = -1, dataSize_ = -1;
};

const Bytes kSamples = {1, 2, 3, 4, 5, 6};

TEST_F(WaveReader, FindsItsChunksWhereverTheyAre) {
  // An 18-byte "fmt " whose last two bytes are skipped, and an odd chunk with its pad byte.
  Bytes fmt18 = Fmt(2, 22050, 8);
  fmt18.resize(18);
  ASSERT_EQ(Read(Riff({Chunk("fmt ", fmt18), Chunk("odd ", {9, 9, 9}), Chunk("data", kSamples)})), 0);
  EXPECT_EQ(formatLength_, 18);
  tu::platform::WaveFormat f = Format();
  EXPECT_EQ(f.formatTag, 1);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.samplesPerSec, 22050u);
  EXPECT_EQ(f.avgBytesPerSec, 44100u);
  EXPECT_EQ(f.blockAlign, 2);
  EXPECT_EQ(f.bitsPerSample, 8);
  EXPECT_EQ(f.extraSize, 0);
  EXPECT_EQ(Data(), kSamples);
  // A list chunk between "fmt " and "data".
  ASSERT_EQ(Read(Riff({Chunk("fmt ", Fmt(1, 44100, 16)), Chunk("LIST", Bytes(30, 'x')), Chunk("data", kSamples)})), 0);
  EXPECT_EQ(Data(), kSamples);
  // "data" before "fmt ": the data search starts again from the beginning of the body.
  ASSERT_EQ(Read(Riff({Chunk("data", kSamples), Chunk("fmt ", Fmt(1, 8000, 16))})), 0);
  EXPECT_EQ(Format().samplesPerSec, 8000u);
  EXPECT_EQ(Data(), kSamples);
  // A RIFF size beyond the file, as some writers leave it, still reads what is there.
  Bytes loose = Dc16(3, 7);
  loose[5] = 0xFF;
  ASSERT_EQ(Read(loose), 0);
  EXPECT_EQ(dataSize_, 6);
  // Other formats keep their extra bytes, which must lie inside the chunk.
  Bytes adpcm = Fmt(1, 44100, 4, 2, 256);
  Put(adpcm, 4, 2);
  Put(adpcm, 0x0D0C0B0A, 4);
  ASSERT_EQ(Read(Riff({Chunk("fmt ", adpcm), Chunk("data", kSamples)})), 0);
  EXPECT_EQ(formatLength_, 22);
  EXPECT_EQ(Format().extraSize, 4);
  EXPECT_EQ(Bytes(format_ + 18, format_ + 22), (Bytes{0xA, 0xB, 0xC, 0xD}));
  adpcm[16] = 40;
  EXPECT_EQ(Read(Riff({Chunk("fmt ", adpcm), Chunk("data", kSamples)})), 1);
  adpcm[16] = 5;  // one byte past the chunk
  EXPECT_EQ(Read(Riff({Chunk("fmt ", adpcm), Chunk("data", kSamples)})), 1);
  // The reader does not judge the format's fields: a 24-bit file reads as it is.
  ASSERT_EQ(Read(Riff({Chunk("fmt ", Fmt(2, 48000, 24)), Chunk("data", kSamples)})), 0);
  EXPECT_EQ(Format().bitsPerSample, 24);
  EXPECT_EQ(Format().blockAlign, 6);
  EXPECT_EQ(Data(), kSamples);
}

TEST_F(WaveReader, RefusesBadFilesWithoutBlocks) {
  Bytes good = Dc16(3, 7);
  Bytes notRiff = good, fmt14 = Fmt(1, 44100, 16), noAlign = Fmt(1, 44100, 16);
  memcpy(notRiff.data(), "RIFX", 4);
  fmt14.resize(14);
  noAlign[12] = noAlign[13] = 0;
  auto with = [](const Bytes& fmt) { return Riff({Chunk("fmt ", fmt), Chunk("data", kSamples)}); };
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"header only", Bytes(good.begin(), good.begin() + 12)},
      {"truncated data", Bytes(good.begin(), good.end() - 2)},
      {"data claims more than the file", Riff({Chunk("fmt ", Fmt(1, 44100, 16)), Chunk("data", kSamples, 0x7FFFFFF0)})},
      {"not RIFF", notRiff},
      {"not WAVE", Riff({Chunk("fmt ", Fmt(1, 44100, 16)), Chunk("data", kSamples)}, "AVI ")},
      {"no fmt", Riff({Chunk("data", kSamples)})},
      {"no data", Riff({Chunk("fmt ", Fmt(1, 44100, 16))})},
      {"short fmt", with(fmt14)},
      // Formats that describe no sound: their readers would divide by zero.
      {"no channels", with(Fmt(0, 44100, 16, 1, 2))},
      {"rate 0", with(Fmt(1, 0, 16))},
      {"block align 0", with(noAlign)},
  };
  for (const auto& [what, bytes] : cases) {
    EXPECT_EQ(Read(bytes), 1) << what;
    EXPECT_TRUE(!format_ && !data_ && formatLength_ == 0 && dataSize_ == 0) << what;
  }
  EXPECT_EQ(tuSound::ReadWave(Path("missing.wav").c_str(), &format_, &formatLength_, &data_, &dataSize_), 1);
  EXPECT_EQ(tuSound::ReadWave(dir_.c_str(), &format_, &formatLength_, &data_, &dataSize_), 1);
}

// Damaged copies of a valid file (bytes changed, sizes rewritten, cut short) either read with
// sizes that fit the file or fail cleanly.
TEST_F(WaveReader, DamagedFilesNeverReadPastTheirEnd) {
  Bytes base = Riff({Chunk("fmt ", Fmt(2, 44100, 16)), Chunk("LIST", Bytes(7, 'i')), Chunk("data", Bytes(64, 0x55))});
  uint32_t seed = 12345;
  auto next = [&seed]() { return (seed = seed * 1103515245u + 12345u) >> 8; };
  for (int round = 0; round < 300; ++round) {
    Bytes b = base;
    for (int e = 1 + static_cast<int>(next() % 4); e > 0 && !b.empty(); --e) {
      size_t at = next() % b.size();
      if (next() % 3 == 0)
        b[at] = static_cast<uint8_t>(next());
      else if (next() % 2 == 0 && at + 4 <= b.size())
        memset(&b[at], 0xFF, 4);  // a size claiming a great deal
      else
        b.resize(at);
    }
    if (Read(b) == 0)
      EXPECT_LE(static_cast<size_t>(dataSize_) + 44, b.size()) << round;
    else
      EXPECT_TRUE(!format_ && !data_ && dataSize_ == 0) << round;
  }
}

}  // namespace
