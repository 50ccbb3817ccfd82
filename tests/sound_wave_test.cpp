// The RIFF WAVE reader: chunk layouts it must accept, and bad files it must refuse cleanly.
#include <cstdlib>
#include <cstring>

#include "sound_support.h"

using namespace sound_support;

namespace {

class WaveReader : public SoundTest {
 protected:
  void TearDown() override {
    free(format_);
    free(data_);
    SoundTest::TearDown();
  }
  int Read(const Bytes& file) {
    WriteFile("t.wav", file);
    free(format_);
    free(data_);
    return tuSound::ReadWave(Path("t.wav").c_str(), &format_, &formatLength_, &data_, &dataSize_);
  }
  platform::WaveFormat Format() const {
    platform::WaveFormat f;
    memcpy(&f, format_, sizeof f);
    return f;
  }
  Bytes Data() const { return Bytes(data_, data_ + dataSize_); }

  uint8_t* format_ = nullptr;
  uint8_t* data_ = nullptr;
  int formatLength_ = -1, dataSize_ = -1;
};

const Bytes kSamples = {1, 2, 3, 4, 5, 6};

TEST_F(WaveReader, ReadsPlainPcm) {
  ASSERT_EQ(Read(Wav(2, 22050, 8, kSamples)), 0);
  EXPECT_EQ(formatLength_, 18);
  platform::WaveFormat f = Format();
  EXPECT_EQ(f.formatTag, 1);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.samplesPerSec, 22050u);
  EXPECT_EQ(f.avgBytesPerSec, 44100u);
  EXPECT_EQ(f.blockAlign, 2);
  EXPECT_EQ(f.bitsPerSample, 8);
  EXPECT_EQ(f.extraSize, 0);
  EXPECT_EQ(Data(), kSamples);
}

TEST_F(WaveReader, FindsItsChunksWhereverTheyAre) {
  // An 18-byte "fmt " (its two trailing bytes skipped) and an odd-sized chunk with its pad byte.
  Bytes fmt18 = FmtBody(1, 44100, 16);
  fmt18.push_back(0);
  fmt18.push_back(0);
  ASSERT_EQ(Read(Riff({Chunk("fmt ", fmt18), Chunk("odd ", Bytes{9, 9, 9}), Chunk("data", kSamples)})), 0);
  EXPECT_EQ(formatLength_, 18);
  EXPECT_EQ(Format().formatTag, 1);
  EXPECT_EQ(Data(), kSamples);

  // A list chunk between "fmt " and "data".
  ASSERT_EQ(Read(Riff({Chunk("fmt ", FmtBody(1, 44100, 16)), Chunk("LIST", Bytes(30, 'x')),
                       Chunk("data", kSamples)})),
            0);
  EXPECT_EQ(Data(), kSamples);

  // "data" before "fmt ": the data search starts again from the beginning of the body.
  ASSERT_EQ(Read(Riff({Chunk("data", kSamples), Chunk("fmt ", FmtBody(1, 8000, 16))})), 0);
  EXPECT_EQ(Format().samplesPerSec, 8000u);
  EXPECT_EQ(Data(), kSamples);

  // A RIFF size beyond the file (as some writers leave it) still reads what is there.
  Bytes loose = Wav(1, 44100, 16, kSamples);
  loose[4] = 0xFF;
  loose[5] = 0xFF;
  ASSERT_EQ(Read(loose), 0);
  EXPECT_EQ(Data(), kSamples);
}

TEST_F(WaveReader, KeepsTheExtraBytesOfOtherFormats) {
  Bytes fmt = FmtBody(1, 44100, 4, 2, 256);
  Put16(fmt, 4);
  fmt.insert(fmt.end(), {0xA, 0xB, 0xC, 0xD});
  ASSERT_EQ(Read(Riff({Chunk("fmt ", fmt), Chunk("data", kSamples)})), 0);
  EXPECT_EQ(formatLength_, 22);
  EXPECT_EQ(Format().formatTag, 2);
  EXPECT_EQ(Format().extraSize, 4);
  EXPECT_EQ(Bytes(format_ + 18, format_ + 22), (Bytes{0xA, 0xB, 0xC, 0xD}));

  // Extra bytes that do not fit in the chunk are a short read.
  Bytes shortFmt = FmtBody(1, 44100, 4, 2, 256);
  Put16(shortFmt, 40);
  EXPECT_EQ(Read(Riff({Chunk("fmt ", shortFmt), Chunk("data", kSamples)})), 1);
}

TEST_F(WaveReader, RefusesBadFilesWithoutBlocks) {
  Bytes good = Wav(1, 44100, 16, kSamples);
  Bytes truncated(good.begin(), good.end() - 2);
  Bytes huge = Riff({Chunk("fmt ", FmtBody(1, 44100, 16)), Chunk("data", kSamples, 0x7FFFFFF0)});
  Bytes notRiff = good;
  memcpy(notRiff.data(), "RIFX", 4);
  Bytes notWave = Riff({Chunk("fmt ", FmtBody(1, 44100, 16)), Chunk("data", kSamples)}, "AVI ");
  Bytes fmt14 = FmtBody(1, 44100, 16);
  fmt14.resize(14);
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"header only", Bytes(good.begin(), good.begin() + 12)},
      {"truncated data", truncated},
      {"data claims more than the file", huge},
      {"not RIFF", notRiff},
      {"not WAVE", notWave},
      {"no fmt", Riff({Chunk("data", kSamples)})},
      {"no data", Riff({Chunk("fmt ", FmtBody(1, 44100, 16))})},
      {"short fmt", Riff({Chunk("fmt ", fmt14), Chunk("data", kSamples)})},
      {"zero channels", Riff({Chunk("fmt ", FmtBody(0, 44100, 16, 1, 2)), Chunk("data", kSamples)})},
      {"zero rate", Riff({Chunk("fmt ", FmtBody(1, 0, 16)), Chunk("data", kSamples)})},
      {"24 bits", Riff({Chunk("fmt ", FmtBody(1, 44100, 24)), Chunk("data", kSamples)})},
      {"block align", Riff({Chunk("fmt ", FmtBody(2, 44100, 16, 1, 2)), Chunk("data", kSamples)})},
  };
  for (const auto& [what, bytes] : cases) {
    EXPECT_EQ(Read(bytes), 1) << what;
    EXPECT_EQ(format_, nullptr) << what;
    EXPECT_EQ(data_, nullptr) << what;
    EXPECT_EQ(formatLength_, 0) << what;
    EXPECT_EQ(dataSize_, 0) << what;
  }
  EXPECT_EQ(tuSound::ReadWave(Path("missing.wav").c_str(), &format_, &formatLength_, &data_,
                              &dataSize_),
            1);
  EXPECT_EQ(tuSound::ReadWave(dir_.c_str(), &format_, &formatLength_, &data_, &dataSize_), 1);
}

}  // namespace

namespace {

// Damaged copies of a valid file (bytes changed, sizes rewritten, cut short) either read
// with sizes that fit the file or fail cleanly.
TEST_F(WaveReader, DamagedFilesNeverReadPastTheirEnd) {
  Bytes fmt = FmtBody(2, 44100, 16);
  Bytes base = Riff({Chunk("fmt ", fmt), Chunk("LIST", Bytes(7, 'i')),
                     Chunk("data", Bytes(64, 0x55))});
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 400; ++round) {
    Bytes b = base;
    int edits = 1 + static_cast<int>(next() % 4);
    for (int e = 0; e < edits; ++e) {
      size_t at = next() % b.size();
      switch (next() % 3) {
        case 0: b[at] = static_cast<uint8_t>(next()); break;
        case 1:  // a size field claiming a great deal
          if (at + 4 <= b.size()) memset(&b[at], 0xFF, 4);
          break;
        default: b.resize(at); break;
      }
      if (b.empty()) break;
    }
    int r = Read(b);
    if (r == 0) {
      ASSERT_NE(format_, nullptr);
      ASSERT_NE(data_, nullptr);
      EXPECT_GE(formatLength_, 18);
      EXPECT_LE(static_cast<size_t>(dataSize_) + 44, b.size() + 8) << round;
    } else {
      EXPECT_EQ(r, 1);
      EXPECT_EQ(format_, nullptr);
      EXPECT_EQ(data_, nullptr);
    }
  }
}

}  // namespace
