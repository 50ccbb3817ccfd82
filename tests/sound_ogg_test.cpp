// Ogg Vorbis sounds: decoded whole by LoadObject, streamed by LoadStreamFile through the same
// ring as pack entries and looping at the same place, and WAV files streamed from the file.
// The mix runs at 22050 Hz 16-bit mono, the sounds' own format, so every pulled sample is a
// decoded one and can be compared with what the decoder's own file interface gives.
#include <tu/random.h>

#include "../fuzz/media_crc.h"
#include "media_support.h"
#include "sound_support.h"

using namespace sound_support;

namespace {

constexpr int kRate = 22050;

// A sound with no repeating part: a rising tone under noise, so every stretch of it is unlike
// every other and a sample taken from the wrong place shows.
std::vector<int16_t> Music(int frames) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  tu::Random random(99);
  double phase = 0.0;
  for (int i = 0; i < frames; ++i) {
    phase += 2.0 * 3.14159265358979 * (200.0 + 600.0 * i / frames) / kRate;
    s[static_cast<size_t>(i)] = static_cast<int16_t>(9000.0 * std::sin(phase) + random.Range(-3000, 3000));
  }
  return s;
}

class OggSounds : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ASSERT_EQ(tuSound::SelectFormat(1, 22, 16), 1);
  }
  // Pulls `seconds` of the mix 0.1 s at a time, refilling the streams after each.
  std::vector<int16_t> Play(double seconds) {
    std::vector<int16_t> out;
    const int frames = kRate / 10;
    for (int i = 0; i < static_cast<int>(seconds * 10 + 0.5); ++i) {
      std::vector<int16_t> part(static_cast<size_t>(frames));
      tu::platform::AudioPull(part.data(), frames);
      out.insert(out.end(), part.begin(), part.end());
      tuSound::Streaming();
    }
    return out;
  }
  // Frames of `got` that differ from the sound played from its start and then looping back to
  // frame `loop` at every end.
  static int Mismatches(const std::vector<int16_t>& got, const std::vector<int16_t>& sound, size_t loop) {
    int bad = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      size_t at = i < sound.size() ? i : loop + (i - sound.size()) % (sound.size() - loop);
      bad += got[i] != sound[at];
    }
    return bad;
  }
};

TEST_F(OggSounds, AnOggStreamLoopsAtItsLoopPointSampleForSampleAndSurvivesARebuild) {
  WriteFile("BGM/theme.ogg", media_support::MakeOgg(1, kRate, Music(6 * kRate)));
  const std::vector<int16_t> decoded = media_support::DecodeOggFile(Path("BGM/theme.ogg").c_str());
  ASSERT_EQ(decoded.size(), static_cast<size_t>(6 * kRate));
  const size_t loop = 5 * kRate / 2;  // 2.5 s, in frames; the offset counts 16-bit bytes
  int id = tuSound::LoadStreamFile("BGM/theme.ogg", static_cast<int>(loop * 2));
  ASSERT_GE(id, 0) << LastBox();
  const tuSound::StreamRecord& r = tuSound::snd.objects[id].stream;
  EXPECT_EQ(r.source, tuSound::kStreamFromOgg);
  EXPECT_EQ(r.dataSize, 6u * kRate * 2);
  EXPECT_EQ(r.bufferSize, 4u * kRate * 2) << "four seconds of ring, as for pack streams";
  tuSound::PlayLoop(id, tuSound::kPlayNext);
  // 6 s, then the 3.5 s from the loop point twice and part of a third pass.
  EXPECT_EQ(Mismatches(Play(14.0), decoded, loop), 0);

  // A new mix format rebuilds the stream from its file; it plays from its start again.
  ASSERT_EQ(tuSound::SelectFormat(1, 22, 16), 1);
  EXPECT_EQ(tuSound::snd.objects[id].stream.source, tuSound::kStreamFromOgg);
  tuSound::Play(id, tuSound::kPlayNext);
  EXPECT_EQ(Mismatches(Play(3.0), decoded, loop), 0);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty()) << LastBox();
}

TEST_F(OggSounds, AWavFileStreamsFromTheFileAndShortSoundsLoadWhole) {
  std::vector<int16_t> ramp(static_cast<size_t>(5 * kRate));
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(1 + i % 30000);
  WriteFile("music.wav", Riff({Chunk("fmt ", Fmt(1, kRate, 16)), Chunk("data", Samples16(ramp))}));
  int id = tuSound::LoadStreamFile("music.wav", 2 * kRate);  // loops to 1 s
  ASSERT_GE(id, 0) << LastBox();
  EXPECT_EQ(tuSound::snd.objects[id].stream.source, tuSound::kStreamFromWave);
  tuSound::PlayLoop(id, tuSound::kPlayNext);
  EXPECT_EQ(Mismatches(Play(11.0), ramp, kRate), 0);

  // Under five seconds: an ordinary object, decoded whole, OGG or not.
  std::vector<int16_t> shortSound = Music(2 * kRate);
  WriteFile("SE/hit.ogg", media_support::MakeOgg(1, kRate, shortSound));
  const std::vector<int16_t> decoded = media_support::DecodeOggFile(Path("SE/hit.ogg").c_str());
  int whole = tuSound::LoadStreamFile("SE/hit.ogg", 0);
  ASSERT_GE(whole, 0) << LastBox();
  EXPECT_EQ(tuSound::snd.objects[whole].stream.dataSize, 0u);
  EXPECT_EQ(tuSound::snd.objects[whole].channelCount, 1);
  tuSound::Stop(id, tuSound::kAllChannels);
  tuSound::Play(whole, tuSound::kPlayNext);
  std::vector<int16_t> got = Play(2.0);
  got.resize(decoded.size());
  EXPECT_EQ(got, decoded);
}

TEST_F(OggSounds, LoadObjectDecodesAStereoOggWhatEverItsName) {
  // Left and right apart: the left a tone, the right silent.
  std::vector<int16_t> stereo(static_cast<size_t>(2 * kRate / 2));
  for (size_t i = 0; i < stereo.size(); i += 2) stereo[i] = static_cast<int16_t>(12000 * std::sin(i * 0.05));
  WriteFile("SE/shot.wav", media_support::MakeOgg(2, kRate, stereo));  // an OGG under a WAV name
  int id = tuSound::LoadObject("SE/shot.wav", 2);
  ASSERT_GE(id, 0) << LastBox();
  ASSERT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  tuSound::Play(id, tuSound::kPlayNext);
  std::vector<int16_t> mix(static_cast<size_t>(kRate / 4) * 2);
  tu::platform::AudioPull(mix.data(), kRate / 4);
  EXPECT_GT(Peak(mix, 0), 8000);
  EXPECT_LT(Peak(mix, 1), 2000);
  EXPECT_EQ(tuSound::snd.objects[id].channelCount, 2);
}

TEST_F(OggSounds, ABrokenOggIsReportedByNameAndNothingIsTaken) {
  media_support::Bytes good = media_support::MakeOgg(1, kRate, Music(kRate));
  WriteFile("SE/cut.ogg", media_support::Bytes(good.begin(), good.begin() + 60));
  WriteFile("SE/junk.ogg", {'O', 'g', 'g', 'S', 1, 2, 3});
  // A codebook of no dimension: the decoder would divide by it.
  media_support::Bytes flat = good;
  const uint8_t setup[] = {5, 'v', 'o', 'r', 'b', 'i', 's'};
  auto book = std::search(flat.begin(), flat.end(), std::begin(setup), std::end(setup)) + 8;
  ASSERT_TRUE(std::equal(book, book + 3, "BCV"));
  book[3] = book[4] = 0;
  fuzz::FixOggChecksums(flat);
  WriteFile("SE/flat.ogg", flat);
  for (const char* name : {"SE/cut.ogg", "SE/junk.ogg", "SE/flat.ogg"}) {
    EXPECT_EQ(tuSound::LoadObject(name, 1), -1);
    EXPECT_EQ(LastBox(), std::string("tuSound::LoadObject : Ogg Vorbisファイルを読み込めません (") + name + ")");
    EXPECT_EQ(tuSound::LoadStreamFile(name, 0), -1);
    EXPECT_EQ(LastBox(), std::string("tuSound::LoadStreamFile : Ogg Vorbisファイルを読み込めません (") + name + ")");
  }
  EXPECT_EQ(tuSound::LoadStreamFile("SE/none.ogg", 0), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadStreamFile : WAVEファイルを読み込めません");
  for (const tuSound::SoundObject& o : tuSound::snd.objects) EXPECT_EQ(o.used, 0);
  WriteFile("SE/good.ogg", good);
  EXPECT_EQ(tuSound::LoadObject("SE/good.ogg", 1), 0) << "the first entry is still free";
}

}  // namespace
