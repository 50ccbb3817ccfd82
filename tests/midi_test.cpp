// MIDI music: Standard MIDI Files written here, played through the synthesiser in headless
// mode, with the end of a piece arriving as the window's notify message.
#include "platform/midi.h"
#include "platform/seams.h"
#include "sound_support.h"

namespace {

using sound_support::Bytes;
using tu::platform::MCI_NOTIFY_ABORTED;
using tu::platform::MCI_NOTIFY_SUCCESSFUL;

// A format-0 file at 96 ticks a quarter note and 120 beats a minute: `notes` notes of half a
// second, one after the other.
Bytes Smf(int notes) {
  Bytes t;
  for (int i = 0; i < notes; ++i) {
    uint8_t key = static_cast<uint8_t>(60 + i);
    t.insert(t.end(), {0x00, 0x90, key, 100, 0x60, 0x80, key, 0});
  }
  t.insert(t.end(), {0x00, 0xFF, 0x2F, 0x00});
  const uint8_t head[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                          'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(t.size())};
  Bytes b(std::begin(head), std::end(head));
  for (uint8_t v : t) b.push_back(v);
  return b;
}

std::string Mode() {
  char answer[32];
  tu::platform::MidiCommand("status midi mode", answer, sizeof answer);
  return answer;
}

// Hands a notify message to the window procedure, as the frame loop does.
void Dispatch(uintptr_t code) { tuSystem::WndProc(tu::platform::MM_MCINOTIFY, code, 1); }

class Midi : public sound_support::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    tu::platform::SetMidiSoundFont(nullptr);
    tuSound::InitMidi();
  }
  void TearDown() override {
    tuSound::CloseMidi();
    tu::platform::ClearMessages();
    SoundTest::TearDown();
  }
  // Pulls at most `seconds` of the mix until a notify message is queued; `code` gets its code
  // (0 if none came), `peak` the loudest sample. Returns the seconds pulled.
  double PullUntilNotify(double seconds, uintptr_t* code, int* peak = nullptr) {
    *code = 0;
    int frames = 0;
    tu::platform::Message m;
    while (frames < seconds * 44100 && !*code) {
      std::vector<int16_t> s = sound_support::Pull(1024);
      frames += 1024;
      if (peak) *peak = std::max({*peak, sound_support::Peak(s, 0), sound_support::Peak(s, 1)});
      while (tu::platform::PeekMessage(&m))
        if (m.message == tu::platform::MM_MCINOTIFY) *code = m.wParam;
    }
    return frames / 44100.0;
  }
};

TEST_F(Midi, APieceLoopsAtEachEndWhileLoopingIsOnAndClosesOnceItIsOff) {
  WriteFile("tune.mid", Smf(2));
  tuSound::PlayMidi("tune.mid", 1);
  EXPECT_EQ(tuSound::midi.open, 1);
  for (int pass = 0; pass < 3; ++pass) {
    SCOPED_TRACE(pass);
    if (pass == 2) tuSound::MidiOnce();  // this pass is the last
    EXPECT_EQ(Mode(), "playing");
    uintptr_t code = 0;
    int peak = 0;
    EXPECT_NEAR(PullUntilNotify(6.0, &code, &peak), 1.0, 0.1);  // two half-second notes
    EXPECT_EQ(code, MCI_NOTIFY_SUCCESSFUL);
    EXPECT_GT(peak, 1000);
    EXPECT_EQ(Mode(), "stopped");
    Dispatch(code);
  }
  EXPECT_EQ(tuSound::midi.open, 0);
  EXPECT_EQ(Mode(), "");  // closed
  uintptr_t code = 0;
  PullUntilNotify(2.0, &code);
  int peak = 0;
  PullUntilNotify(0.5, &code, &peak);
  EXPECT_EQ(peak, 0);
  EXPECT_EQ(code, 0u);
}

TEST_F(Midi, OnlyASuccessfulNotifyWhileStoppedRestartsAndANewPieceAbortsTheOld) {
  WriteFile("tune.mid", Smf(1));
  tuSound::PlayMidi("tune.mid", 1);
  uintptr_t code = 0;
  PullUntilNotify(6.0, &code);
  ASSERT_EQ(code, MCI_NOTIFY_SUCCESSFUL);
  for (uintptr_t other : {tu::platform::MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_ABORTED,
                          tu::platform::MCI_NOTIFY_FAILURE}) {
    Dispatch(other);
    EXPECT_EQ(Mode(), "stopped") << other;
  }
  Dispatch(MCI_NOTIFY_SUCCESSFUL);
  EXPECT_EQ(Mode(), "playing");
  // A success that arrives after a restart (the reply is "playing") does nothing: a restart
  // would supersede the pending notify.
  Dispatch(MCI_NOTIFY_SUCCESSFUL);
  tu::platform::Message m;
  EXPECT_FALSE(tu::platform::PeekMessage(&m));

  // A new piece, its path with spaces, aborts the old one's notify and plays to its own end.
  WriteFile("my music/long tune.mid", Smf(3));
  tuSound::PlayMidi("my music/long tune.mid", 0);
  ASSERT_TRUE(tu::platform::PeekMessage(&m));
  EXPECT_EQ(m.wParam, MCI_NOTIFY_ABORTED);
  Dispatch(m.wParam);
  EXPECT_EQ(Mode(), "playing");
  int peak = 0;
  EXPECT_NEAR(PullUntilNotify(6.0, &code, &peak), 1.5, 0.1);
  EXPECT_EQ(code, MCI_NOTIFY_SUCCESSFUL);
  EXPECT_GT(peak, 1000);

  // A piece goes on across a change of the mix rate: half the frames now last as long.
  tuSound::PlayMidi("my music/long tune.mid", 0);
  ASSERT_EQ(tuSound::SelectFormat(2, 22, 16), 1);
  EXPECT_NEAR(PullUntilNotify(6.0, &code), 0.75, 0.05);
  EXPECT_EQ(code, MCI_NOTIFY_SUCCESSFUL);
}

TEST_F(Midi, BadFilesAndAMissingSoundFontLeaveMidiSilentAndHarmNothing) {
  WriteFile("text.mid", Bytes{'h', 'e', 'l', 'l', 'o'});
  WriteFile("garbage.mid", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'X', 0, 0, 9});
  WriteFile("tune.mid", Smf(3));
  tuSound::PlayMidi("tune.mid", 1);
  sound_support::Pull(4410);  // cut off while its first note sounds
  for (const char* name : {"garbage.mid", "text.mid", "missing.mid"}) {
    SCOPED_TRACE(name);
    tuSound::PlayMidi(name, 1);
    EXPECT_EQ(tuSound::midi.open, 1);  // the failed open goes unnoticed
    uintptr_t code = 0;
    int peak = 0;
    PullUntilNotify(0.5, &code, &peak);
    EXPECT_EQ(peak, 0);
    // A header without a readable track fails at once; a failure restarts nothing.
    EXPECT_EQ(code, std::string(name) == "garbage.mid" ? tu::platform::MCI_NOTIFY_FAILURE : 0u);
    Dispatch(code);
    PullUntilNotify(0.5, &code);
    EXPECT_EQ(code, 0u);
    tuSound::StopMidi();
    EXPECT_EQ(tuSound::midi.open, 0);
  }
  EXPECT_NE(tu::platform::MidiCommand("rewind midi", nullptr, 0), tu::platform::MIDI_OK);
  EXPECT_NE(tu::platform::MidiCommand("open \"unterminated type sequencer alias midi", nullptr, 0),
            tu::platform::MIDI_OK);

  WriteFile("beep.wav", sound_support::Dc16(4410, 8000));
  tu::platform::SetMidiSoundFont(Path("nothing.sf2").c_str());
  testing::internal::CaptureStderr();
  tuSound::PlayMidi("tune.mid", 1);
  tuSound::PlayMidi("tune.mid", 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("nothing.sf2"), std::string::npos);
  EXPECT_EQ(Mode(), "");
  int id = tuSound::LoadObject("beep.wav", 1);
  tuSound::Play(id, 0);
  EXPECT_NEAR(sound_support::Peak(sound_support::Pull(1024), 0), 8000, 200);
  EXPECT_TRUE(tu::platform::RecordedBoxes().empty());
}

// A file the fuzzer found: a header claiming 29,261 tracks and no track chunk, only an unknown
// one. Handed to the synthesiser's player it kept the mixer busy for minutes.
const uint8_t kEndlessPlayer[] = {
    0x4d, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x72, 0x4d, 0x60, 0x01, 0x68,
    0x00, 0x54, 0x6b, 0x00, 0x00, 0x00, 0x26, 0x40, 0xff, 0x51, 0x03, 0x3a, 0xef, 0xc0, 0x00,
    0xa1, 0x00, 0x40, 0x00, 0x01, 0xe4, 0x00, 0x00, 0x68, 0x07, 0x00, 0x00, 0x3c, 0x64, 0xa1,
    0x00, 0xb9, 0x6f, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

// Smf(1) with its single track's events replaced by `events` (end of track not added).
Bytes WithEvents(std::initializer_list<uint8_t> events) {
  Bytes b = Smf(1);
  b.resize(22);
  b.insert(b.end(), events);
  b[21] = static_cast<uint8_t>(events.size());
  return b;
}

TEST(MidiFiles, MalformedTracksHeadersAndChunksAreRefused) {
  Bytes out;
  ASSERT_TRUE(tu::platform::CleanMidiFile(Smf(3), out));
  EXPECT_EQ(out, Smf(3));  // a clean file comes back as it was
  ASSERT_TRUE(tu::platform::CleanMidiFile(WithEvents({0x00, 0x90, 60, 100, 0x10, 61, 100}), out))
      << "running status after a note";
  ASSERT_TRUE(tu::platform::CleanMidiFile(WithEvents({0x00, 0xC0, 5, 0x00, 0xD0, 64}), out))
      << "program change and channel pressure take one data byte";
  struct Case {
    const char* what;
    Bytes file;
  } cases[] = {
      {"found by the fuzzer", Bytes(std::begin(kEndlessPlayer), std::end(kEndlessPlayer))},
      {"delta time of five bytes", WithEvents({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100})},
      {"running status with nothing before", WithEvents({0x00, 60, 100})},
      {"running status after a meta event",
       WithEvents({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 61, 100})},
      {"data byte with the top bit", WithEvents({0x00, 0x90, 0xBC, 100})},
      {"note cut by the chunk's end", WithEvents({0x00, 0x90, 60})},
      {"meta event longer than the chunk", WithEvents({0x00, 0xFF, 0x01, 0x09, 'a'})},
      {"system exclusive longer than the chunk", WithEvents({0x00, 0xF0, 0x05, 0x01, 0xF7})},
      {"tempo of two bytes", WithEvents({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})},
      {"tempo of zero", WithEvents({0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00})},
      {"a real-time message", WithEvents({0x00, 0xF8})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(tu::platform::CleanMidiFile(c.file, out));
    EXPECT_TRUE(out.empty());
  }
  Bytes smpte = Smf(1);
  smpte[12] = 0xE7;  // -25 frames a second
  Bytes noTracks = Smf(1);
  noTracks.resize(14);
  Bytes cut = Smf(2);
  cut.pop_back();  // the track chunk claims a byte more than the file holds
  Bytes format3 = Smf(1);
  format3[9] = 3;
  for (const Bytes& b : {smpte, noTracks, cut, format3})
    EXPECT_FALSE(tu::platform::CleanMidiFile(b, out));
}

TEST(MidiFiles, OtherChunksAreLeftOutAndTheTrackCountIsTheTracksFound) {
  Bytes one = Smf(1), two = Smf(2);
  Bytes file(one.begin(), one.begin() + 14);
  file[11] = 9;  // the header claims nine tracks
  const uint8_t other[] = {'X', 'y', 'z', 'w', 0, 0, 0, 3, 1, 2, 3};
  file.insert(file.end(), std::begin(other), std::end(other));
  file.insert(file.end(), one.begin() + 14, one.end());
  file.insert(file.end(), two.begin() + 14, two.end());
  file.insert(file.end(), {0, 0, 0});  // trailing bytes too few for a chunk
  Bytes out;
  ASSERT_TRUE(tu::platform::CleanMidiFile(file, out));
  Bytes want(one.begin(), one.begin() + 14);
  want[9] = 1;   // two tracks: format 1
  want[11] = 2;  // the tracks there are
  want.insert(want.end(), one.begin() + 14, one.end());
  want.insert(want.end(), two.begin() + 14, two.end());
  EXPECT_EQ(out, want);
}

TEST_F(Midi, AFileThatFailsTheCheckOpensAndFailsAtOnceWhenPlayed) {
  WriteFile("endless.mid", Bytes(std::begin(kEndlessPlayer), std::end(kEndlessPlayer)));
  std::string open = "open \"" + Path("endless.mid") + "\" type sequencer alias midi";
  ASSERT_EQ(tu::platform::MidiCommand(open.c_str(), nullptr, 0), tu::platform::MIDI_OK);
  EXPECT_EQ(tu::platform::MidiCommand("play midi notify", nullptr, 0), tu::platform::MIDI_OK);
  uintptr_t code = 0;
  int peak = 0;
  EXPECT_LT(PullUntilNotify(2.0, &code, &peak), 0.1);
  EXPECT_EQ(code, tu::platform::MCI_NOTIFY_FAILURE);
  EXPECT_EQ(peak, 0);
  EXPECT_EQ(Mode(), "stopped");
  EXPECT_EQ(tu::platform::MidiCommand("close midi", nullptr, 0), tu::platform::MIDI_OK);
  // The next piece plays as usual.
  WriteFile("tune.mid", Smf(1));
  tuSound::PlayMidi("tune.mid", 0);
  PullUntilNotify(0.3, &code, &peak);
  EXPECT_GT(peak, 0);
}

}  // namespace
