// Streaming: a four-second ring refilled from a sound pack while it plays. The mix runs at
// 22050 Hz 16-bit mono, the streams' own format, so every pulled sample is a stored one.
#include <functional>

#include "sound_support.h"

using namespace sound_support;

namespace {

constexpr int kRate = 22050;  // frames a second; 44100 bytes a second

// A pack entry of samples at 22050 Hz (mono 16 bits unless said otherwise).
Bytes Entry(const std::string& name, const Bytes& data, int bits = 16, int channels = 1) {
  Bytes b;
  Put(b, static_cast<uint32_t>(data.size()), 4);
  for (char c : name) b.push_back(static_cast<uint8_t>(c));
  b.push_back(0);
  Put(b, 18, 4);
  for (uint8_t v : Fmt(channels, kRate, bits)) b.push_back(v);
  Put(b, 0, 2);
  for (uint8_t v : data) b.push_back(v);
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

// The frames where `got` differs from what is expected at each output frame.
int Mismatches(const std::vector<int16_t>& got, const std::function<int16_t(int)>& expected) {
  int bad = 0;
  for (size_t i = 0; i < got.size(); ++i) bad += got[i] != expected(static_cast<int>(i));
  return bad;
}

class Streams : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    ASSERT_EQ(tuSound::SelectFormat(1, 22, 16), 1);
  }
  // Loads `name` from a pack holding just `data`.
  int Load(const Bytes& data, int loopOffset, int bits = 16) {
    WriteFile("m.pak", Entry("A.WAV", data, bits));
    tuSound::PackPath("m.pak");
    return tuSound::LoadStream("a.wav", loopOffset);
  }
  // Pulls `seconds` of the mix `step` seconds at a time, refilling after each.
  std::vector<int16_t> Play(double seconds, double step = 0.1) {
    std::vector<int16_t> out;
    int frames = static_cast<int>(kRate * step + 0.5);
    for (int i = 0; i < static_cast<int>(seconds / step + 0.5); ++i) {
      std::vector<int16_t> part(static_cast<size_t>(frames));
      tu::platform::AudioPull(part.data(), frames);
      out.insert(out.end(), part.begin(), part.end());
      tuSound::Streaming();
    }
    return out;
  }
  bool Playing(int id) {
    uint32_t status = 0;
    tu::platform::AudioGetStatus(tuSound::snd.objects[id].channels[0].buffer, &status);
    return status & tu::platform::AUDIO_STATUS_PLAYING;
  }
  const tuSound::StreamRecord& Record(int id) { return tuSound::snd.objects[id].stream; }
};

TEST_F(Streams, UnderFiveSecondsLoadsWholeAndLongerSoundsRefillTwoSecondsAtATime) {
  WriteFile("m.pak", Entry("SHORT.WAV", RampData(kRate * 49 / 10)) +
                         Entry("FIVE.WAV", RampData(kRate * 5)) +
                         Entry("LONG.WAV", RampData(kRate * 21 / 2)));
  tuSound::PackPath("m.pak");
  int whole = tuSound::LoadStream("short.wav", 0);
  EXPECT_EQ(Record(whole).dataSize, 0u);
  EXPECT_EQ(tuSound::snd.objects[whole].fromPack, 1);
  EXPECT_EQ(tu::platform::AudioBufferBytes(tuSound::snd.objects[whole].channels[0].buffer),
            uint32_t(kRate * 49 / 10 * 2));
  int five = tuSound::LoadStream("FIVE.wav", 0);
  EXPECT_EQ(Record(five).dataSize, uint32_t(kRate * 5 * 2));
  EXPECT_EQ(Record(five).bufferSize, 176400u);
  EXPECT_EQ(Record(five).halfSize, 88200u);

  // 10.5 s: 88200-byte refills, except that the last two of a pass share what is left.
  int id = tuSound::LoadStream("long.wav", 0);
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
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(Streams, ALoopingStreamRepeatsFromItsLoopPointAndPlayRestartsAtTheFirstSample) {
  const int frames = kRate * 6;
  // Loop points: the start, the middle, and one past the end, which loops to the start.
  for (int loop : {0, kRate * 5 / 2, frames + 500}) {
    SCOPED_TRACE(loop);
    int id = Load(RampData(frames), loop * 2);
    ASSERT_GE(id, 0);
    tuSound::PlayLoop(id, -1);
    int from = loop < frames ? loop : 0;
    EXPECT_EQ(Mismatches(Play(16.0), [&](int i) {
                return Ramp(i < frames ? i : from + (i - frames) % (frames - from));
              }), 0);
    tuSound::Play(id, 0);
    EXPECT_EQ(Mismatches(Play(3.0), Ramp), 0);
    tuSound::DeleteObject(id);
  }
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(Streams, WideStereoFramesStayWholeThroughRefillsAndTheLoop) {
  // 24-bit stereo (6-byte frames), both sides the ramp, the data ending in a partial frame.
  const int frames = kRate * 6 + 1;
  Bytes data;
  for (int i = 0; i < frames; ++i)
    for (int side = 0; side < 2; ++side) Put(data, static_cast<uint32_t>(Ramp(i)) << 8, 3);
  data.insert(data.end(), {0x7F, 0x7F, 0x7F});
  WriteFile("m.pak", Entry("A.WAV", data, 24, 2));
  tuSound::PackPath("m.pak");
  const int loop = kRate * 5 / 2 + 1;
  int id = tuSound::LoadStream("a.wav", loop * 6);
  ASSERT_GE(id, 0);
  tuSound::PlayLoop(id, -1);
  EXPECT_EQ(Mismatches(Play(16.0), [&](int i) { return Ramp(i < frames ? i : loop + (i - frames) % (frames - loop)); }), 0);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(Streams, ANonLoopingStreamEndsAfterItsSilentRefill) {
  const int frames = kRate * 5;
  for (int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    int id = Load(bits == 16 ? RampData(frames) : Bytes(size_t(frames), 0xC0), 0, bits);
    tuSound::Play(id, 0);
    // Refilled every 0.3 s, the stream is stopped only after some of the silence has played.
    std::vector<int16_t> got = Play(6.0, 0.3);
    std::vector<int16_t> after(got.begin() + frames, got.end());
    got.resize(frames);
    EXPECT_EQ(Mismatches(got, [&](int i) { return bits == 16 ? Ramp(i) : int16_t(0x4000); }), 0);
    // Silence, also for 8-bit samples (whose silence is 0x80), and the stream has stopped.
    EXPECT_EQ(Mismatches(after, [](int) { return int16_t(0); }), 0);
    EXPECT_FALSE(Playing(id));
    tuSound::DeleteObject(id);
  }
  // A loop point half a second before the end must not keep the countdown from ending.
  int id = Load(RampData(frames), (frames - kRate / 2) * 2);
  tuSound::Play(id, 0);
  Play(8.0);
  EXPECT_FALSE(Playing(id));
}

TEST_F(Streams, ARebuildUsesTheStreamsOwnPackAndAVanishedPackIsReported) {
  int id = Load(RampData(kRate * 6), 0);
  WriteFile("b.pak", Entry("A.WAV", Bytes(kRate * 10, 0)));
  tuSound::SetVolume(id, -100, 0);
  tuSound::PackPath("b.pak");
  ASSERT_EQ(tuSound::SelectFormat(1, 22, 16), 1);
  int volume = 0;
  tu::platform::AudioGetVolume(tuSound::snd.objects[id].channels[0].buffer, &volume);
  EXPECT_EQ(volume, -100);
  tuSound::SetVolume(id, 0, 0);
  tuSound::PlayLoop(id, 0);
  EXPECT_EQ(Mismatches(Play(3.0), Ramp), 0);

  std::filesystem::remove(Path("m.pak"));
  Play(2.0);
  EXPECT_EQ(LastBox(), "tuSound::Streaming : パックファイル名が指定されていません");
  tuSound::Play(id, 0);
  EXPECT_EQ(LastBox(), "tuSound::ResetStream : パックファイル名が指定されていません");
  tuSound::PackPath("b.pak");  // the rebuild left the stream's own pack as the current one
  EXPECT_EQ(tuSound::LoadStream("b.wav", 0), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadStream : WAVEファイルを読み込めません");
  tuSound::PackPath("gone.pak");
  EXPECT_EQ(tuSound::LoadStream("a.wav", 0), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadStream : パックファイル名が指定されていません");
}

}  // namespace
