// Streaming: a four-second ring refilled from a sound pack while it plays. The mix runs at
// 22050 Hz 16-bit mono, the streams' own format, so every pulled sample is a stored one.
#include <functional>

#include "sound_support.h"

using namespace sound_support;

namespace {

constexpr int kRate = 22050;  // frames a second; 44100 bytes a second

// One pack entry of 16-bit mono samples at 22050 Hz, or 8-bit ones.
Bytes StreamEntry(const std::string& name, const Bytes& data, int bits = 16) {
  Bytes f = Fmt(1, kRate, bits);
  Put(f, 0, 2);
  Bytes b;
  Put(b, static_cast<uint32_t>(data.size()), 4);
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  Put(b, 18, 4);
  b.insert(b.end(), f.begin(), f.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Sample i of a test sound: a ramp that tells where in the sound it was taken.
int16_t Ramp(int i) { return static_cast<int16_t>(1 + i % 30000); }

Bytes RampData(int frames) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) s[static_cast<size_t>(i)] = Ramp(i);
  return Samples16(s);
}

class Streams : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ASSERT_EQ(tuSound::SelectFormat(1, 22, 16), 1);
  }
  // Pulls `seconds` of the mono mix `step` seconds at a time, refilling after each.
  std::vector<int16_t> Play(double seconds, double step = 0.1) {
    std::vector<int16_t> out;
    int steps = static_cast<int>(seconds / step + 0.5);
    int frames = static_cast<int>(kRate * step + 0.5);
    for (int i = 0; i < steps; ++i) {
      std::vector<int16_t> part(static_cast<size_t>(frames));
      platform::AudioPull(part.data(), frames);
      out.insert(out.end(), part.begin(), part.end());
      tuSound::Streaming();
    }
    return out;
  }
  bool Playing(int id) {
    uint32_t status = 0;
    platform::AudioGetStatus(tuSound::snd.objects[id].channels[0].buffer, &status);
    return status & platform::AUDIO_STATUS_PLAYING;
  }
  const tuSound::StreamRecord& Record(int id) { return tuSound::snd.objects[id].stream; }
};

// The frames where `got` differs from the sound expected at each output frame.
int Mismatches(const std::vector<int16_t>& got, const std::function<int16_t(int)>& expected) {
  int bad = 0;
  for (size_t i = 0; i < got.size(); ++i) bad += got[i] != expected(static_cast<int>(i));
  return bad;
}

TEST_F(Streams, UnderFiveSecondsLoadsWholeAndFromFiveSecondsStreams) {
  WriteFile("m.pak", StreamEntry("SHORT.WAV", RampData(kRate * 49 / 10)) +
                         StreamEntry("LONG.WAV", RampData(kRate * 5)));
  tuSound::PackPath("m.pak");
  int shortId = tuSound::LoadStream("short.wav", 0);
  ASSERT_EQ(shortId, 0);
  EXPECT_EQ(Record(shortId).dataSize, 0u);
  EXPECT_EQ(tuSound::snd.objects[shortId].fromPack, 1);
  EXPECT_EQ(tuSound::snd.objects[shortId].channelCount, 1);
  EXPECT_EQ(platform::AudioBufferBytes(tuSound::snd.objects[shortId].channels[0].buffer),
            static_cast<uint32_t>(kRate * 49 / 10 * 2));

  int id = tuSound::LoadStream("LONG.wav", 0);
  ASSERT_EQ(id, 1);
  const tuSound::StreamRecord& r = Record(id);
  EXPECT_EQ(r.dataSize, static_cast<uint32_t>(kRate * 5 * 2));
  EXPECT_EQ(r.bufferSize, 176400u);
  EXPECT_EQ(r.halfSize, 88200u);
  EXPECT_EQ(platform::AudioBufferBytes(tuSound::snd.objects[id].channels[0].buffer), 176400u);
  EXPECT_EQ(tuSound::snd.objects[id].echoState, -1);
  EXPECT_EQ(tuSound::snd.objects[id].fromPack, 1);
  EXPECT_STREQ(r.packPath, tuSound::CurrentPackPath());
  EXPECT_TRUE(platform::RecordedBoxes().empty());
}

TEST_F(Streams, RefillsTakeTwoSecondsAndTheLastTwoOfAPassShareTheRest) {
  WriteFile("m.pak", StreamEntry("A.WAV", RampData(kRate * 21 / 2)));  // 10.5 s
  tuSound::PackPath("m.pak");
  int id = tuSound::LoadStream("a.wav", 0);
  ASSERT_GE(id, 0);
  tuSound::PlayLoop(id, 0);
  std::vector<uint32_t> chunks;
  uint32_t consumed = Record(id).consumed;
  for (int step = 0; step < 120 && chunks.size() < 6; ++step) {
    Play(0.1);
    uint32_t now = Record(id).consumed;
    if (now != consumed) chunks.push_back(now > consumed ? now - consumed : now + 463050 - consumed);
    consumed = now;
  }
  EXPECT_EQ(chunks, (std::vector<uint32_t>{88200, 88200, 88200, 55125, 55125, 88200}));
}

TEST_F(Streams, ALoopingStreamRepeatsFromItsLoopPoint) {
  const int frames = kRate * 6, loopFrame = kRate * 5 / 2;
  WriteFile("m.pak", StreamEntry("A.WAV", RampData(frames)));
  tuSound::PackPath("m.pak");
  for (int loop : {0, loopFrame}) {
    SCOPED_TRACE(loop);
    int id = tuSound::LoadStream("a.wav", loop * 2);
    ASSERT_GE(id, 0);
    tuSound::PlayLoop(id, -1);
    std::vector<int16_t> got = Play(16.0);
    int span = frames - loop;
    EXPECT_EQ(Mismatches(got, [&](int i) {
                return Ramp(i < frames ? i : loop + (i - frames) % span);
              }), 0);
    tuSound::DeleteObject(id);
  }
  EXPECT_TRUE(platform::RecordedBoxes().empty());
}

TEST_F(Streams, PlayRestartsFromTheFirstSampleNotTheLoopPoint) {
  const int frames = kRate * 5, loopFrame = kRate * 3;
  WriteFile("m.pak", StreamEntry("A.WAV", RampData(frames)));
  tuSound::PackPath("m.pak");
  int id = tuSound::LoadStream("a.wav", loopFrame * 2);
  tuSound::PlayLoop(id, 0);
  Play(7.0);  // well past the loop
  tuSound::Play(id, 0);
  std::vector<int16_t> got = Play(3.0);
  EXPECT_EQ(Mismatches(got, Ramp), 0);
}

TEST_F(Streams, ANonLoopingStreamEndsAfterItsSilentRefill) {
  for (int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    const int frames = kRate * 5;
    Bytes data = bits == 16 ? RampData(frames) : Bytes(static_cast<size_t>(frames), 0xC0);
    WriteFile("m.pak", StreamEntry("A.WAV", data, bits));
    tuSound::PackPath("m.pak");
    int id = tuSound::LoadStream("a.wav", 0);
    ASSERT_GE(id, 0);
    tuSound::Play(id, 0);
    // Refilled every 0.3 s, the stream is stopped only after some of the silence has played.
    std::vector<int16_t> got = Play(6.0, 0.3);
    std::vector<int16_t> after(got.begin() + frames, got.end());
    got.resize(frames);
    if (bits == 16) EXPECT_EQ(Mismatches(got, Ramp), 0);
    else EXPECT_EQ(Mismatches(got, [](int) { return int16_t(0x40 * 256); }), 0);
    // Silence (for 8-bit samples too, whose silence is 0x80), then the stream stops.
    EXPECT_EQ(Mismatches(after, [](int) { return int16_t(0); }), 0);
    EXPECT_FALSE(Playing(id));
    EXPECT_EQ(Record(id).endCountdown, 0);
    tuSound::DeleteObject(id);
  }
}

TEST_F(Streams, LoopPointsOutsideTheSoundAndNearItsEndStayBounded) {
  const int frames = kRate * 5;
  WriteFile("m.pak", StreamEntry("A.WAV", RampData(frames)));
  tuSound::PackPath("m.pak");
  // A loop point past the end loops to the start.
  int id = tuSound::LoadStream("a.wav", frames * 2 + 1000);
  tuSound::PlayLoop(id, 0);
  std::vector<int16_t> got = Play(8.0);
  EXPECT_EQ(Mismatches(got, [&](int i) { return Ramp(i % frames); }), 0);
  tuSound::DeleteObject(id);
  // A loop point half a second before the end: played once, the stream still ends.
  id = tuSound::LoadStream("a.wav", (frames - kRate / 2) * 2);
  tuSound::Play(id, 0);
  Play(8.0);
  EXPECT_FALSE(Playing(id));
}

TEST_F(Streams, ARebuildReloadsAStreamFromItsOwnPack) {
  WriteFile("a.pak", StreamEntry("A.WAV", RampData(kRate * 5)));
  WriteFile("b.pak", StreamEntry("A.WAV", Bytes(kRate * 10, 0)));
  tuSound::PackPath("a.pak");
  int id = tuSound::LoadStream("a.wav", 0);
  tuSound::SetVolume(id, -100, 0);
  tuSound::PackPath("b.pak");
  ASSERT_EQ(tuSound::SelectFormat(1, 22, 16), 1);
  EXPECT_NE(Record(id).dataSize, 0u);
  int volume = 0;
  platform::AudioGetVolume(tuSound::snd.objects[id].channels[0].buffer, &volume);
  EXPECT_EQ(volume, -100);
  tuSound::SetVolume(id, 0, 0);
  tuSound::Play(id, 0);
  EXPECT_EQ(Mismatches(Play(1.0), Ramp), 0);
}

TEST_F(Streams, APackThatGoesAwayIsReportedAndNothingBreaks) {
  WriteFile("m.pak", StreamEntry("A.WAV", RampData(kRate * 6)));
  tuSound::PackPath("m.pak");
  EXPECT_EQ(tuSound::LoadStream("b.wav", 0), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadStream : WAVEファイルを読み込めません");
  int id = tuSound::LoadStream("a.wav", 0);
  tuSound::PlayLoop(id, 0);
  Play(0.5);
  std::filesystem::remove(Path("m.pak"));
  Play(2.0);
  EXPECT_EQ(LastBox(), "tuSound::Streaming : パックファイル名が指定されていません");
  tuSound::Play(id, 0);
  EXPECT_EQ(LastBox(), "tuSound::ResetStream : パックファイル名が指定されていません");
  tuSound::PackPath("gone.pak");
  EXPECT_EQ(tuSound::LoadStream("a.wav", 0), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadStream : パックファイル名が指定されていません");
  EXPECT_EQ(tuSound::LoadStream(std::string(31, 'a').c_str(), 0), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadStream : ファイル名が長すぎます");
}

}  // namespace
