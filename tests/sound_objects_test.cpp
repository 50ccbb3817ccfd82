// The sound object table: loading, channel selection, playback, parameters, echo, the
// rebuild across a format change, and silent mode.
#include <cstring>

#include "sound_support.h"

using namespace sound_support;

namespace {

class SoundObjects : public SoundTest {
 protected:
  // A mono 16-bit constant sound of `frames` frames written as `name`; returns LoadObject.
  int Load(const std::string& name, int mix, int frames = 1000, int16_t value = 1000,
           uint32_t rate = 44100) {
    WriteFile(name, Dc16(frames, value, rate));
    return tuSound::LoadObject(name.c_str(), mix);
  }
  const tuSound::SoundObject& Obj(int id) { return tuSound::snd.objects[id]; }
  int Volume(int id, int ch) {
    int v = 1;
    platform::AudioGetVolume(Buffer(id, ch), &v);
    return v;
  }
  int Pan(int id, int ch) {
    int v = 1;
    platform::AudioGetPan(Buffer(id, ch), &v);
    return v;
  }
  uint32_t Frequency(int id, int ch) {
    uint32_t v = 1;
    platform::AudioGetFrequency(Buffer(id, ch), &v);
    return v;
  }
};

TEST_F(SoundObjects, LoadFillsTheLowestFreeEntryWithIndependentBuffers) {
  int a = Load("SE/set.wav", 2);
  int b = tuSound::LoadObject("SE/set.wav", 2);
  ASSERT_EQ(a, 0);
  ASSERT_EQ(b, 1);
  EXPECT_EQ(Boxes(), 0u);
  EXPECT_STREQ(Obj(a).name, "SE/set.wav");
  EXPECT_EQ(Obj(a).channelCount, 2);
  EXPECT_EQ(Obj(a).echoState, 0);
  EXPECT_EQ(Obj(a).baseFrequency, 44100u);
  EXPECT_EQ(Obj(a).channels[1].frequency, 44100u);
  EXPECT_NE(Buffer(a, 0), Buffer(b, 0));
  EXPECT_NE(Buffer(a, 0), Buffer(a, 1));

  tuSound::SetVolume(b, -10000, -1);
  tuSound::Play(a, -1);
  tuSound::Play(b, -1);
  EXPECT_EQ(Pull(10)[0], 1000);  // only the first one is heard

  // A deleted entry is free again and the next load takes it.
  tuSound::DeleteObject(a);
  EXPECT_EQ(Obj(a).used, 0);
  EXPECT_EQ(Buffer(a, 0), nullptr);
  EXPECT_EQ(Obj(a).channelCount, 1);
  EXPECT_EQ(Load("SE/other.wav", -3), 0);
  EXPECT_EQ(Obj(0).echoState, -1);
  EXPECT_EQ(Obj(0).channelCount, 3);
}

TEST_F(SoundObjects, AutomaticStartsTakeTheChannelsInTurn) {
  int id = Load("se.wav", 2);
  tuSound::Play(id, -1);
  Pull(100);
  tuSound::Play(id, -1);
  Pull(100);
  EXPECT_TRUE(Playing(id, 0));
  EXPECT_TRUE(Playing(id, 1));
  EXPECT_EQ(Cursor(id, 0), 400u);
  EXPECT_EQ(Cursor(id, 1), 200u);
  tuSound::Play(id, -1);  // the third start cuts the first off from its beginning
  EXPECT_EQ(Cursor(id, 0), 0u);
  EXPECT_EQ(Cursor(id, 1), 200u);
  EXPECT_EQ(Obj(id).nextChannel, 1);
  EXPECT_EQ(Obj(id).looping, 0);

  tuSound::Stop(id, 1);
  EXPECT_FALSE(Playing(id, 1));
  EXPECT_EQ(Cursor(id, 1), 0u);
  EXPECT_TRUE(Playing(id, 0));

  // A one-shot ends by itself; a looping start goes on.
  tuSound::PlayLoop(id, 1);
  EXPECT_EQ(Obj(id).looping, 1);
  Pull(2000);
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_TRUE(Playing(id, 1));
  EXPECT_EQ(tuSound::GetPosition(id), 0u);  // channel 0 ended and went back to its start
  tuSound::PlayLoop(id, 0);
  Pull(10);
  EXPECT_EQ(tuSound::GetPosition(id), 20u);
  tuSound::Stop(id, -1);
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_FALSE(Playing(id, 1));
  EXPECT_EQ(tuSound::GetPosition(id), 0u);
}

TEST_F(SoundObjects, SelectorsAndIdsOutsideTheTableAreIgnored) {
  int id = Load("se.wav", 2);
  tuSound::SetVolume(id, -500, 2);
  tuSound::SetVolume(id, -500, 10);
  tuSound::Play(id, 2);
  tuSound::PlayLoop(id, 99);
  tuSound::Pause(id, 5);
  tuSound::Stop(id, 2);
  for (int ch = 0; ch < tuSound::kMaxChannels; ++ch) EXPECT_EQ(Obj(id).channels[ch].volume, 0);
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_FALSE(Playing(id, 1));
  for (int bad : {-1, 1, 69, 70, 1000}) {
    tuSound::Play(bad, -1);
    tuSound::SetVolume(bad, -100, -1);
    tuSound::Pause(bad, -1);
    tuSound::Echo(bad, 0, 3, 100);
    tuSound::DeleteObject(bad);
    EXPECT_EQ(tuSound::GetPosition(bad), 0u);
  }
  EXPECT_EQ(Obj(1).used, 0);
  EXPECT_EQ(Obj(1).channels[0].volume, 0);
  EXPECT_EQ(Boxes(), 0u);

  // A mix of 0 gives an entry without channels; starting it does nothing.
  int none = Load("none.wav", 0);
  ASSERT_EQ(none, 1);
  EXPECT_EQ(Obj(none).channelCount, 0);
  tuSound::Play(none, -1);
  tuSound::Play(none, 0);
  tuSound::SetPan(none, 100, -2);
  EXPECT_EQ(tuSound::GetPosition(none), 0u);
}

TEST_F(SoundObjects, ParametersClampAndAddressTheirChannels) {
  int id = Load("a.wav", 3, 1000, 1000, 22050);
  tuSound::AddVolume(id, 500, -1);
  EXPECT_EQ(Obj(id).channels[0].volume, 0);
  tuSound::AddVolume(id, -7000, -1);
  tuSound::AddVolume(id, -7000, -1);
  EXPECT_EQ(Obj(id).channels[2].volume, -10000);
  EXPECT_EQ(Volume(id, 2), -10000);
  tuSound::SetVolume(id, 5, 0);
  EXPECT_EQ(Volume(id, 0), 0);
  tuSound::ResetVolume(id, -1);
  EXPECT_EQ(Volume(id, 1), 0);

  tuSound::AddPan(id, -20000, -1);
  EXPECT_EQ(Pan(id, 1), -10000);
  tuSound::SetPan(id, 12345, 1);
  EXPECT_EQ(Pan(id, 1), 10000);
  tuSound::PanLeft(id, 2);
  EXPECT_EQ(Obj(id).channels[2].pan, -10000);
  tuSound::PanRight(id, 0);
  EXPECT_EQ(Pan(id, 0), 10000);
  tuSound::ResetPan(id, -1);
  EXPECT_EQ(Pan(id, 2), 0);

  tuSound::AddFrequency(id, -50000, 0);
  EXPECT_EQ(Frequency(id, 0), 100u);
  EXPECT_EQ(Obj(id).channels[0].frequency, 100u);
  tuSound::AddFrequency(id, 2000000000, 1);
  EXPECT_EQ(Frequency(id, 1), 100000u);
  tuSound::SetFrequency(id, 1000, 2);
  EXPECT_EQ(Frequency(id, 2), 23050u);
  tuSound::SetFrequency(id, -2000000000, 2);
  EXPECT_EQ(Frequency(id, 2), 100u);
  tuSound::ResetFrequency(id, -1);
  EXPECT_EQ(Frequency(id, 0), 22050u);
  EXPECT_EQ(Frequency(id, 1), 22050u);

  // -2 addresses only the channel the next automatic start will use.
  tuSound::Play(id, -1);
  tuSound::SetVolume(id, -300, -2);
  EXPECT_EQ(Volume(id, 0), 0);
  EXPECT_EQ(Volume(id, 1), -300);
  EXPECT_EQ(Volume(id, 2), 0);
}

TEST_F(SoundObjects, PauseTwiceResumesWhereItStoppedAndLoopsAgain) {
  int id = Load("loop.wav", 1, 100);
  tuSound::PlayLoop(id, -1);
  Pull(130);
  tuSound::Pause(id, -1);
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_EQ(Obj(id).channels[0].savedPosition, 60u);
  Pull(50);
  EXPECT_EQ(Cursor(id, 0), 60u);
  tuSound::Pause(id, -1);
  EXPECT_TRUE(Playing(id, 0));
  Pull(150);  // past the end: it loops
  EXPECT_TRUE(Playing(id, 0));
  EXPECT_EQ(Cursor(id, 0), 160u);

  // After a one-shot start the resumed channel ends at the end of the sound.
  tuSound::Play(id, 0);
  Pull(10);
  tuSound::Pause(id, 0);
  tuSound::Pause(id, 0);
  Pull(95);
  EXPECT_FALSE(Playing(id, 0));

  // A channel never paused resumes from its start.
  int other = Load("other.wav", 2, 100);
  tuSound::Pause(other, 1);
  EXPECT_TRUE(Playing(other, 1));
  EXPECT_EQ(Cursor(other, 1), 0u);
}

TEST_F(SoundObjects, EchoStepsTheVolumeOnTheNextChannelsUntilItsCount) {
  srand(1);
  int id = Load("echo.wav", 3);
  tuSystem::sys.frameSeconds = 0.05f;
  tuSound::SetVolume(id, -800, -1);
  tuSound::Play(id, -2);
  EXPECT_EQ(Obj(id).echoState, 1);
  EXPECT_EQ(Volume(id, 0), 0);  // the start resets every channel
  EXPECT_TRUE(Playing(id, 0));

  tuSound::Echo(id, 100, 2, 700);  // 50 ms: not yet
  EXPECT_FALSE(Playing(id, 1));
  tuSound::Echo(id, 100, 2, 700);
  EXPECT_TRUE(Playing(id, 1));
  EXPECT_EQ(Volume(id, 1), -700);
  EXPECT_EQ(Obj(id).echoState, 2);
  tuSound::Echo(id, 100, 2, 700);
  tuSound::Echo(id, 100, 2, 700);
  EXPECT_TRUE(Playing(id, 2));
  EXPECT_EQ(Volume(id, 2), -1400);
  EXPECT_EQ(Obj(id).echoState, 0);  // count reached
  tuSound::Stop(id, -1);
  for (int i = 0; i < 4; ++i) tuSound::Echo(id, 100, 2, 700);
  EXPECT_FALSE(Playing(id, 0));

  // Stop(id, -1) ends a running echo; a looping echo loops its echoes too.
  tuSound::PlayLoop(id, -2);
  EXPECT_EQ(Obj(id).echoLooping, 1);
  tuSound::Echo(id, 0, 5, 100);
  uint32_t status = 0;
  platform::AudioGetStatus(Buffer(id, 1), &status);
  EXPECT_EQ(status, platform::AUDIO_STATUS_PLAYING | platform::AUDIO_STATUS_LOOPING);
  tuSound::Stop(id, -1);
  EXPECT_EQ(Obj(id).echoState, 0);
  tuSound::Echo(id, 0, 5, 100);
  EXPECT_FALSE(Playing(id, 0));
  EXPECT_FALSE(Playing(id, 1));

  // Objects loaded with mix 1 or a negative mix start plainly with -2.
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
  for (int round = 0; round < 20; ++round) {
    tuSound::Play(id, -2);
    int direction = Obj(id).sweepDirection;
    for (int i = 0; i < 9; ++i) {
      tuSound::EchoSweep(id, 0, 9, 100, 7);  // 70 pan units a frame: hits both walls
      EXPECT_GE(Obj(id).sweepPan, -30.0f);
      EXPECT_LE(Obj(id).sweepPan, 30.0f);
      reversals += Obj(id).sweepDirection != direction;
      direction = Obj(id).sweepDirection;
    }
    for (int ch = 0; ch < 10; ++ch) {
      EXPECT_GE(Pan(id, ch), -30);
      EXPECT_LE(Pan(id, ch), 30);
    }
  }
  EXPECT_GT(reversals, 20);
}

TEST_F(SoundObjects, FormatChangeKeepsEveryIdAndItsSettings) {
  int a = Load("a.wav", 2, 4410);
  int b = Load("b.wav", 1, 4410, 2000, 22050);
  tuSound::SetVolume(a, -600, 1);
  tuSound::SetPan(a, 300, 1);
  tuSound::SetFrequency(a, 1000, 1);
  tuSound::Play(a, -1);
  tuSound::Play(a, -1);
  ASSERT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  platform::WaveFormat f = platform::AudioPrimaryFormat();
  EXPECT_EQ(f.samplesPerSec, 22050u);
  EXPECT_EQ(f.blockAlign, 4);
  EXPECT_EQ(f.avgBytesPerSec, 88200u);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.bitsPerSample, 16);

  EXPECT_EQ(Obj(a).used, 1);
  EXPECT_STREQ(Obj(a).name, "a.wav");
  EXPECT_EQ(Obj(b).channelCount, 1);
  EXPECT_EQ(Volume(a, 1), -600);
  EXPECT_EQ(Pan(a, 1), 300);
  EXPECT_EQ(Frequency(a, 1), 45100u);
  EXPECT_EQ(Volume(a, 0), 0);
  EXPECT_EQ(Frequency(b, 0), 22050u);
  EXPECT_EQ(Obj(a).baseFrequency, 44100u);
  EXPECT_FALSE(Playing(a, 0));  // new buffers start stopped

  tuSound::Play(b, -1);
  auto out = Pull(100);
  EXPECT_EQ(out[0], 2000);
  EXPECT_EQ(out[199], 2000);

  ASSERT_EQ(tuSound::SelectFormat(1, 32000, 8), 1);
  EXPECT_EQ(platform::AudioPrimaryFormat().samplesPerSec, 32000u);
  EXPECT_EQ(platform::AudioPrimaryFormat().avgBytesPerSec, 32000u);
  EXPECT_EQ(Boxes(), 0u);

  // A refused format is reported; the objects wait without buffers and calls are harmless.
  EXPECT_EQ(tuSound::SelectFormat(3, 44, 16), 0);
  EXPECT_EQ(LastBox(), "tuSound::SelectFormat : 再生フォーマットを変更できません");
  EXPECT_EQ(Buffer(a, 0), nullptr);
  tuSound::Play(a, -1);
  tuSound::Pause(a, -1);
  tuSound::SetVolume(a, -100, 0);
  EXPECT_EQ(tuSound::GetPosition(a), 0u);
  ASSERT_EQ(tuSound::SelectFormat(2, 44, 16), 1);
  EXPECT_NE(Buffer(a, 0), nullptr);
  EXPECT_EQ(Volume(a, 0), -100);
  EXPECT_EQ(Volume(a, 1), -600);
}

TEST_F(SoundObjects, ReleaseAndRestoreAndTheSystemPlayerKeepTheTable) {
  int a = Load("a.wav", 2);
  tuSound::SetPan(a, -400, 0);
  tuSound::Release();
  EXPECT_EQ(Buffer(a, 0), nullptr);
  EXPECT_FALSE(platform::AudioIsOpen());
  EXPECT_STREQ(Obj(a).name, "a.wav");
  tuSound::Restore();
  EXPECT_TRUE(platform::AudioIsOpen());
  EXPECT_EQ(Pan(a, 0), -400);

  WriteFile("chime.wav", Dc16(2205, 500, 22050));
  tuSound::PlaySystemSound("chime.wav");
  EXPECT_EQ(platform::AudioLastPlayToEndFrames(), 4410u);
  EXPECT_TRUE(platform::AudioIsOpen());
  EXPECT_EQ(Pan(a, 0), -400);
  tuSound::PlaySystemSound(Path("chime.wav").c_str());
  EXPECT_EQ(platform::AudioLastPlayToEndFrames(), 4410u);
  tuSound::PlaySystemSound("missing.wav");
  EXPECT_TRUE(platform::AudioIsOpen());
  EXPECT_EQ(Pan(a, 0), -400);
  EXPECT_EQ(Boxes(), 0u);

  // A second Init without Release lets go of the old buffers first.
  tuSound::Play(a, 0);
  ASSERT_EQ(tuSound::Init(), 1);
  EXPECT_EQ(Buffer(a, 0), nullptr);
  EXPECT_EQ(Pull(10)[0], 0);
}

TEST_F(SoundObjects, LoadFallsBackToResourcesAndReportsWhatFails) {
  // A resource image: a canonical 44-byte header and the samples.
  Bytes image = Dc16(50, 3000);
  platform::RegisterResource("WAVE", "CHIME", image);
  int id = tuSound::LoadObject("chime", 1);
  ASSERT_EQ(id, 0);
  tuSound::Play(id, 0);
  EXPECT_EQ(Pull(1)[0], 3000);
  platform::RegisterResource("RCDATA", "raw", Dc16(50, 100));
  EXPECT_EQ(tuSound::LoadObject("raw", 1), 1);

  Bytes cut(image.begin(), image.begin() + 60);  // states 100 bytes, holds 16
  platform::RegisterResource("WAVE", "cut", cut);
  EXPECT_EQ(tuSound::LoadObject("cut", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : WAVEリソースが見つかりません");
  EXPECT_EQ(tuSound::LoadObject("nothing.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : WAVEリソースが見つかりません");
  EXPECT_EQ(Obj(2).used, 0);

  // Readable files the device refuses: another format, no samples.
  Bytes adpcm = FmtBody(1, 44100, 4, 2, 256);
  Put16(adpcm, 0);
  WriteFile("adpcm.wav", Riff({Chunk("fmt ", adpcm), Chunk("data", Bytes(256, 1))}));
  EXPECT_EQ(tuSound::LoadObject("adpcm.wav", 3), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : サウンドバッファが生成できません");
  WriteFile("empty.wav", Wav(1, 44100, 16, {}));
  EXPECT_EQ(tuSound::LoadObject("empty.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : サウンドバッファが生成できません");
  EXPECT_EQ(Obj(2).used, 0);
  EXPECT_EQ(Buffer(2, 0), nullptr);
  EXPECT_EQ(platform::RecordedBoxes()[0].caption, "エラー発生");
}

TEST_F(SoundObjects, TableLimitsAreReported) {
  WriteFile("s.wav", Dc16(10, 1));
  for (int i = 0; i < tuSound::kMaxSounds; ++i) ASSERT_EQ(tuSound::LoadObject("s.wav", 1), i);
  EXPECT_EQ(Boxes(), 0u);
  EXPECT_EQ(tuSound::LoadObject("s.wav", 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : オブジェクト数が多過ぎます");
  tuSound::DeleteObject(33);
  EXPECT_EQ(tuSound::LoadObject("s.wav", 1), 33);

  EXPECT_EQ(tuSound::LoadObject("s.wav", 11), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : ミックス数が多過ぎます");
  EXPECT_EQ(tuSound::LoadObject("s.wav", -11), -1);
  EXPECT_EQ(tuSound::LoadObject("s.wav", INT32_MIN), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : ミックス数が多過ぎます");
  std::string name31(31, 'n');
  EXPECT_EQ(tuSound::LoadObject(name31.c_str(), 1), -1);
  EXPECT_EQ(LastBox(), "tuSound::LoadObject : ファイル名またはリソース名が長すぎます");
  EXPECT_EQ(Boxes(), 5u);
}

TEST_F(SoundObjects, SilentModeDoesNothingAndSaysNothing) {
  tuSound::Release();
  platform::AudioSetDeviceAvailable(false);
  EXPECT_EQ(tuSound::Init(), 0);
  tuSound::ResetObjects();
  WriteFile("s.wav", Dc16(10, 1));
  EXPECT_EQ(tuSound::LoadObject("s.wav", 2), -1);
  EXPECT_EQ(tuSound::LoadObject("s.wav", 50), -1);
  tuSound::Play(0, -1);
  tuSound::PlayLoop(0, -2);
  tuSound::Stop(0, -1);
  tuSound::SetVolume(0, -100, -1);
  tuSound::Echo(0, 0, 1, 1);
  EXPECT_EQ(tuSound::GetPosition(0), 0u);
  EXPECT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  tuSound::Restore();
  tuSound::PlaySystemSound("s.wav");
  EXPECT_EQ(Obj(0).used, 0);
  EXPECT_EQ(Boxes(), 0u);
  EXPECT_EQ(tuSystem::ErrorRaised(), 0);
}

}  // namespace
