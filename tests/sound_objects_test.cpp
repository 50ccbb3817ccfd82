// The sound object table: loading, channel selection, playback, parameters, echo, the
// rebuild across a format change, and silent mode.
#include "sound_support.h"

using namespace sound_support;

namespace {

class SoundObjects : public SoundTest {
 protected:
  // Writes a mono 16-bit constant sound as `name` and loads it.
  int Load(const std::string& name, int mix, int frames = 1000, int16_t value = 1000, uint32_t rate = 44100) {
    WriteFile(name, Dc16(frames, value, rate));
    return tuSound::LoadObject(name.c_str(), mix);
  }
  const tuSound::SoundObject& Obj(int id) { return tuSound::snd.objects[id]; }
  tu::platform::AudioBuffer* Buf(int id, int ch) { return Obj(id).channels[ch].buffer; }
  bool Playing(int id, int ch) {
    uint32_t status = 0;
    tu::platform::AudioGetStatus(Buf(id, ch), &status);
    return status & tu::platform::AUDIO_STATUS_PLAYING;
  }
  // The buffer's own cursor, volume, pan and frequency, as the mixer uses them.
  uint32_t Cursor(int id, int ch) { uint32_t v = 1; tu::platform::AudioGetPosition(Buf(id, ch), &v, nullptr); return v; }
  int Volume(int id, int ch) { int v = 1; tu::platform::AudioGetVolume(Buf(id, ch), &v); return v; }
  int Pan(int id, int ch) { int v = 1; tu::platform::AudioGetPan(Buf(id, ch), &v); return v; }
  uint32_t Hz(int id, int ch) { uint32_t v = 1; tu::platform::AudioGetFrequency(Buf(id, ch), &v); return v; }
};

TEST_F(SoundObjects, AutomaticStartsTakeTheChannelsInTurn) {
  int id = Load("SE/set.wav", 2);
  ASSERT_EQ(id, 0);
  EXPECT_EQ(tuSound::LoadObject("SE/set.wav", 2), 1);  // a second, independent object
  EXPECT_NE(Buf(0, 0), Buf(1, 0));
  EXPECT_EQ(Obj(id).echoState, 0);
  EXPECT_EQ(Obj(id).baseFrequency, 44100u);
  tuSound::Play(id, -1);
  Pull(100);
  tuSound::Play(id, -1);
  Pull(100);
  EXPECT_EQ(Cursor(id, 0), 400u);
  EXPECT_EQ(Cursor(id, 1), 200u);
  tuSound::Play(id, -1);  // the third start cuts the first off from its beginning
  EXPECT_EQ(Cursor(id, 0), 0u);
  EXPECT_EQ(Cursor(id, 1), 200u);
  EXPECT_TRUE(Playing(id, 0) && Playing(id, 1));
  tuSound::PlayLoop(id, 1);
  Pull(2000);  // the one-shot ends, the looping start goes on
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_TRUE(Playing(id, 1));
  tuSound::Stop(id, -1);
  EXPECT_FALSE(Playing(id, 1));
  EXPECT_EQ(Cursor(id, 1), 0u);
  tuSound::PlayLoop(id, 0);
  Pull(10);
  EXPECT_EQ(tuSound::GetPosition(id), 20u);
}

TEST_F(SoundObjects, TheChannelsOfASoundShareOneCopyOfItsSamples) {
  int id = Load("BGM/music.wav", 3, 1000, 1200);
  ASSERT_GE(id, 0);
  auto samples = [&](int ch) {
    void *first = nullptr, *second = nullptr;
    uint32_t a = 0, b = 0;
    tu::platform::AudioLock(Buf(id, ch), 0, 4, &first, &a, &second, &b);
    tu::platform::AudioUnlock(Buf(id, ch), first, a, second, b);
    return first;
  };
  EXPECT_EQ(samples(0), samples(1));
  EXPECT_EQ(samples(0), samples(2));
  // The channel that made the samples goes first; the others still sound them.
  tuSound::PlayLoop(id, 2);
  tu::platform::AudioReleaseBuffer(Buf(id, 0));
  tuSound::snd.objects[id].channels[0].buffer = nullptr;
  auto out = Pull(50);
  EXPECT_NE(out[98], 0);
  EXPECT_EQ(out[98], out[99]);
  tuSound::DeleteObject(id);
}

TEST_F(SoundObjects, SelectorsAndIdsOutsideTheTableAreIgnored) {
  int id = Load("se.wav", 2);
  for (int ch : {2, 10, 99}) {
    tuSound::SetVolume(id, -500, ch);
    tuSound::Play(id, ch);
    tuSound::Pause(id, ch);
  }
  for (int ch = 0; ch < tuSound::kMaxChannels; ++ch) EXPECT_EQ(Obj(id).channels[ch].volume, 0);
  EXPECT_FALSE(Playing(id, 0) || Playing(id, 1));
  for (int bad : {-1, 1, 70, 1000}) {
    tuSound::Play(bad, -1);
    tuSound::SetVolume(bad, -100, -1);
    tuSound::Echo(bad, 0, 3, 100);
    tuSound::DeleteObject(bad);
    EXPECT_EQ(tuSound::GetPosition(bad), 0u);
  }
  EXPECT_EQ(Obj(1).channels[0].volume, 0);
  // A mix of 0 gives an entry without channels; starting it does nothing.
  int none = Load("none.wav", 0);
  EXPECT_EQ(Obj(none).channelCount, 0);
  tuSound::Play(none, -1);
  tuSound::SetPan(none, 100, -2);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(SoundObjects, ParametersClampAndAddressTheirChannels) {
  int id = Load("a.wav", 3, 1000, 1000, 22050);
  tuSound::AddVolume(id, 500, -1);
  EXPECT_EQ(Volume(id, 0), 0);
  EXPECT_EQ(Obj(id).channels[0].volume, 0);  // what the next step adds to
  tuSound::AddVolume(id, -7000, -1);
  tuSound::AddVolume(id, -7000, -1);
  EXPECT_EQ(Volume(id, 2), -10000);
  tuSound::AddPan(id, -20000, -1);
  EXPECT_EQ(Pan(id, 1), -10000);
  tuSound::SetPan(id, 12345, 1);
  EXPECT_EQ(Pan(id, 1), 10000);
  tuSound::PanLeft(id, 2);
  EXPECT_EQ(Obj(id).channels[2].pan, -10000);
  tuSound::AddFrequency(id, -50000, 0);
  EXPECT_EQ(Hz(id, 0), 100u);
  tuSound::AddFrequency(id, 2000000000, 1);
  EXPECT_EQ(Hz(id, 1), 100000u);
  tuSound::SetFrequency(id, 1000, 2);
  EXPECT_EQ(Hz(id, 2), 23050u);
  tuSound::ResetFrequency(id, -1);
  EXPECT_EQ(Hz(id, 1), 22050u);
  tuSound::ResetVolume(id, -1);
  // -2 addresses only the channel the next automatic start will use.
  tuSound::Play(id, -1);
  tuSound::SetVolume(id, -300, -2);
  EXPECT_EQ(Volume(id, 0), 0);
  EXPECT_EQ(Volume(id, 1), -300);
  EXPECT_EQ(Volume(id, 2), 0);
  // After the last channel the turn comes back to the first.
  tuSound::Play(id, -1);
  tuSound::Play(id, -1);
  tuSound::SetVolume(id, -400, -2);
  EXPECT_EQ(Volume(id, 0), -400);
}

TEST_F(SoundObjects, PauseTwiceResumesWhereItStoppedAndLoopsAgain) {
  int id = Load("loop.wav", 2, 100);
  tuSound::PlayLoop(id, -1);
  Pull(130);
  tuSound::Pause(id, -1);  // each channel toggles by its own state
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_TRUE(Playing(id, 1));  // never paused: resumes from its start
  EXPECT_EQ(Cursor(id, 1), 0u);
  Pull(50);
  tuSound::Pause(id, -1);
  EXPECT_EQ(Cursor(id, 0), 60u);
  EXPECT_FALSE(Playing(id, 1));
  Pull(150);  // past the end: it loops
  EXPECT_TRUE(Playing(id, 0));
  EXPECT_EQ(Cursor(id, 0), 160u);
  tuSound::Play(id, 0);  // after a one-shot start the resumed channel ends with the sound
  Pull(10);
  tuSound::Pause(id, 0);
  tuSound::Pause(id, 0);
  Pull(95);
  EXPECT_FALSE(Playing(id, 0));
}

TEST_F(SoundObjects, EchoStepsTheVolumeUntilItsCountOrAStop) {
  int id = Load("echo.wav", 3);
  tuSystem::sys.frameSeconds = 0.05f;
  tuSound::SetVolume(id, -800, -1);
  tuSound::Play(id, -2);
  EXPECT_EQ(Volume(id, 0), 0);  // the start resets every channel
  tuSound::Echo(id, 100, 2, 700);  // 50 ms: not yet
  EXPECT_FALSE(Playing(id, 1));
  tuSound::Echo(id, 100, 2, 700);
  EXPECT_TRUE(Playing(id, 1));
  EXPECT_EQ(Volume(id, 1), -700);
  tuSound::Echo(id, 100, 2, 700);
  tuSound::Echo(id, 100, 2, 700);
  EXPECT_EQ(Volume(id, 2), -1400);
  EXPECT_EQ(Obj(id).echoState, 0);  // count reached
  tuSound::PlayLoop(id, -2);
  tuSound::Echo(id, 0, 5, 100);
  uint32_t status = 0;
  tu::platform::AudioGetStatus(Buf(id, 1), &status);
  EXPECT_EQ(status, tu::platform::AUDIO_STATUS_PLAYING | tu::platform::AUDIO_STATUS_LOOPING);
  tuSound::Stop(id, -1);
  tuSound::Echo(id, 0, 5, 100);
  EXPECT_FALSE(Playing(id, 0) || Playing(id, 1) || Playing(id, 2));
  // Mix 1 or a negative mix cannot echo: -2 is a plain start.
  int plain = Load("plain.wav", -3);
  tuSound::SetVolume(plain, -800, -1);
  tuSound::Play(plain, -2);
  EXPECT_EQ(Obj(plain).echoState, -1);
  EXPECT_EQ(Volume(plain, 0), -800);
  EXPECT_TRUE(Playing(plain, 0));
}

TEST_F(SoundObjects, EchoSweepStaysWithinThirtyPanUnits) {
  int id = Load("sweep.wav", 10);
  tuSystem::sys.frameSeconds = 0.1f;
  int reversals = 0;
  for (int round = 0; round < 10; ++round) {
    tuSound::Play(id, -2);
    for (int i = 0; i < 9; ++i) {
      int direction = Obj(id).sweepDirection;
      tuSound::EchoSweep(id, 0, 9, 100, 7);  // 70 units a frame: it meets both walls
      reversals += Obj(id).sweepDirection != direction;
    }
    for (int ch = 0; ch < 10; ++ch) EXPECT_LE(std::abs(Pan(id, ch)), 30);
  }
  EXPECT_EQ(reversals, 90);
}

TEST_F(SoundObjects, FormatChangeKeepsEveryIdAndItsSettings) {
  int a = Load("a.wav", 2, 4410);
  int b = Load("b.wav", 1, 4410, 2000, 22050);
  tuSound::SetVolume(a, -600, 1);
  tuSound::SetPan(a, 300, 1);
  tuSound::SetFrequency(a, 1000, 1);
  ASSERT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  tu::platform::WaveFormat f = tu::platform::AudioPrimaryFormat();
  EXPECT_EQ(f.samplesPerSec, 22050u);
  EXPECT_EQ(f.blockAlign, 4);
  EXPECT_EQ(f.avgBytesPerSec, 88200u);
  EXPECT_EQ(Volume(a, 1), -600);
  EXPECT_EQ(Pan(a, 1), 300);
  EXPECT_EQ(Hz(a, 1), 45100u);
  EXPECT_EQ(Hz(b, 0), 22050u);
  tuSound::Play(b, -1);
  EXPECT_EQ(Pull(1)[0], 2000);
  ASSERT_EQ(tuSound::SelectFormat(1, 32000, 8), 1);
  EXPECT_EQ(tu::platform::AudioPrimaryFormat().samplesPerSec, 32000u);
  // A refused format is reported; the objects wait without buffers and calls are harmless.
  EXPECT_EQ(tuSound::SelectFormat(3, 44, 16), 0);
  EXPECT_EQ(LastBox(), "tuSound::SelectFormat : 再生フォーマットを変更できません");
  EXPECT_EQ(Buf(a, 0), nullptr);
  tuSound::Play(a, -1);
  tuSound::Pause(a, -1);
  tuSound::SetVolume(a, -100, 0);
  ASSERT_EQ(tuSound::SelectFormat(2, 44, 16), 1);
  EXPECT_EQ(Volume(a, 0), -100);
  EXPECT_EQ(Volume(a, 1), -600);
}

TEST_F(SoundObjects, ReleaseRestoreAndTheSystemPlayerKeepTheTable) {
  int a = Load("a.wav", 2);
  tuSound::SetPan(a, -400, 0);
  tuSound::Release();
  EXPECT_FALSE(tu::platform::AudioIsOpen());
  tuSound::Restore();
  EXPECT_EQ(Pan(a, 0), -400);
  WriteFile("chime.wav", Dc16(2205, 500, 22050));
  tuSound::PlaySystemSound("chime.wav");
  EXPECT_EQ(tu::platform::AudioLastPlayToEndFrames(), 4410u);  // to its end, at the device's rate
  tuSound::PlaySystemSound("missing.wav");
  EXPECT_TRUE(tu::platform::AudioIsOpen());
  EXPECT_EQ(Pan(a, 0), -400);
  // A second Init without Release lets go of the old buffers first.
  tuSound::Play(a, 0);
  ASSERT_EQ(tuSound::Init(), 1);
  EXPECT_EQ(Buf(a, 0), nullptr);
  EXPECT_EQ(Pull(1)[0], 0);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

TEST_F(SoundObjects, LoadFallsBackToResourcesAndReportsWhatFails) {
  tu::platform::RegisterResource("WAVE", "CHIME", Dc16(50, 3000));
  ASSERT_EQ(tuSound::LoadObject("chime", 1), 0);
  tuSound::Play(0, 0);
  EXPECT_EQ(Pull(1)[0], 3000);
  tu::platform::RegisterResource("RCDATA", "raw", Dc16(50, 100));
  EXPECT_EQ(tuSound::LoadObject("raw", 1), 1);
  Bytes cut = Dc16(50, 3000);
  cut.resize(60);  // states 100 bytes of samples, holds 16
  tu::platform::RegisterResource("WAVE", "cut", cut);
  // A file the reader refuses (a format without channels or rate) is looked for among the
  // resources in turn.
  auto file = [](const Bytes& fmt) { return Riff({Chunk("fmt ", fmt), Chunk("data", Bytes(240, 1))}); };
  WriteFile("nochannels.wav", file(Fmt(0, 44100, 16, 1, 2)));
  WriteFile("norate.wav", file(Fmt(1, 0, 16)));
  for (const char* name : {"cut", "nothing.wav", "nochannels.wav", "norate.wav"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(tuSound::LoadObject(name, 1), -1);
    EXPECT_EQ(LastBox(), "tuSound::LoadObject : WAVEリソースが見つかりません");
  }
  // Readable files the device refuses: another format, formats the mixer cannot play (more
  // than two channels, fields that do not fit together, an unknown sub-format), no samples.
  Bytes adpcm = Fmt(1, 44100, 4, 2, 256);
  Put(adpcm, 0, 2);
  Bytes twoWords = Fmt(1, 44100, 64, 3);
  Put(twoWords, 0, 2);
  Bytes unknownSub = Extensible(2, 44100, 16);
  unknownSub[24] = 2;
  const std::pair<const char*, Bytes> refused[] = {
      {"adpcm.wav", file(adpcm)},
      {"empty.wav", Riff({Chunk("fmt ", Fmt(1, 44100, 16)), Chunk("data", {})})},
      {"six.wav", file(Fmt(6, 44100, 16))},
      {"align.wav", file(Fmt(2, 44100, 16, 1, 2))},
      {"twelve.wav", file(Fmt(1, 44100, 12))},
      {"double.wav", file(twoWords)},
      {"sub.wav", file(unknownSub)},
  };
  for (const auto& [name, bytes] : refused) {
    SCOPED_TRACE(name);
    WriteFile(name, bytes);
    EXPECT_EQ(tuSound::LoadObject(name, 3), -1);
    EXPECT_EQ(LastBox(), "tuSound::LoadObject : サウンドバッファが生成できません");
  }
  EXPECT_EQ(Obj(2).used, 0);
  EXPECT_EQ(Buf(2, 0), nullptr);
  EXPECT_EQ(tu::platform::RecordedBoxes()[0].caption, "エラー発生");
}

TEST_F(SoundObjects, TableLimitsAreReported) {
  WriteFile("s.wav", Dc16(10, 1));
  for (int i = 0; i < tuSound::kMaxSounds; ++i) ASSERT_EQ(tuSound::LoadObject("s.wav", 1), i);
  EXPECT_EQ(tuSound::LoadObject("s.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : オブジェクト数が多過ぎます");
  tuSound::DeleteObject(33);  // a deleted entry is free again and the next load takes it
  EXPECT_EQ(Buf(33, 0), nullptr);
  EXPECT_EQ(tuSound::LoadObject("s.wav", -3), 33);
  EXPECT_EQ(Obj(33).echoState, -1);
  EXPECT_EQ(Obj(33).channelCount, 3);
  for (int mix : {11, -11, INT32_MIN}) {
    EXPECT_EQ(tuSound::LoadObject("s.wav", mix), -1);
    EXPECT_EQ(LastBox(), "tuSound::LoadObject : ミックス数が多過ぎます");
  }
  EXPECT_EQ(tuSound::LoadObject(std::string(31, 'n').c_str(), 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : ファイル名またはリソース名が長すぎます");
  EXPECT_EQ(tu::platform::RecordedBoxes().size(), 5u);
}

TEST_F(SoundObjects, SilentModeDoesNothingAndSaysNothing) {
  tuSound::Release();
  tu::platform::AudioSetDeviceAvailable(false);
  EXPECT_EQ(tuSound::Init(), 0);
  WriteFile("s.wav", Dc16(10, 1));
  EXPECT_EQ(tuSound::LoadObject("s.wav", 2), -1);
  EXPECT_EQ(tuSound::LoadObject("s.wav", 50), -1);
  tuSound::PlayLoop(0, -2);
  tuSound::SetVolume(0, -100, -1);
  EXPECT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  tuSound::Restore();
  tuSound::PlaySystemSound("s.wav");
  EXPECT_EQ(Obj(0).used, 0);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
  EXPECT_EQ(tuSystem::ErrorRaised(), 0);
}

}  // namespace
