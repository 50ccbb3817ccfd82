// MIDI music: Standard MIDI Files written here, played through the synthesiser in headless
// mode, with the end of a piece arriving as the window's notify message.
#include <cstring>

#include "platform/midi.h"
#include "sound_support.h"

namespace {

using sound_support::Bytes;
using sound_support::Put;

void PutBig(Bytes& b, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A format-0 file of 96 ticks per quarter note at 120 beats a minute: `notes` notes of
// `ticks` ticks each (96 ticks = half a second), one after the other.
Bytes Smf(int notes = 1, int ticks = 96) {
  Bytes track;
  for (int i = 0; i < notes; ++i) {
    uint8_t key = static_cast<uint8_t>(60 + i % 12);
    track.insert(track.end(), {0x00, 0x90, key, 100});
    track.push_back(static_cast<uint8_t>(0x80 | (ticks >> 7)));
    track.push_back(static_cast<uint8_t>(ticks & 0x7F));
    track.insert(track.end(), {0x80, key, 0});
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  Bytes b = {'M', 'T', 'h', 'd'};
  PutBig(b, 6, 4);
  PutBig(b, 0, 2);
  PutBig(b, 1, 2);
  PutBig(b, 96, 2);
  b.insert(b.end(), {'M', 'T', 'r', 'k'});
  PutBig(b, static_cast<uint32_t>(track.size()), 4);
  b.insert(b.end(), track.begin(), track.end());
  return b;
}

std::string Mode() {
  char answer[32];
  platform::MidiCommand("status midi mode", answer, sizeof answer);
  return answer;
}

class MidiTest : public sound_support::SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    platform::SetMidiSoundFont(nullptr);
    tuSound::InitMidi();
  }
  void TearDown() override {
    tuSound::CloseMidi();
    platform::ClearMessages();
    SoundTest::TearDown();
  }
  // Pulls up to `seconds` of output, 1024 frames at a time, until a notify message arrives;
  // gives the seconds pulled and the message's code (0 if none), and the loudest sample.
  double PullUntilNotify(double seconds, uintptr_t* code, int* peak) {
    *code = 0;
    int frames = 0;
    while (frames < seconds * 44100) {
      std::vector<int16_t> s = sound_support::Pull(1024);
      frames += 1024;
      if (peak) *peak = std::max({*peak, sound_support::Peak(s, 0), sound_support::Peak(s, 1)});
      platform::Message m;
      while (platform::PeekMessage(&m)) {
        if (m.message == platform::MM_MCINOTIFY) {
          *code = m.wParam;
          return frames / 44100.0;
        }
      }
    }
    return frames / 44100.0;
  }
};

// Passes a message to the window procedure, as the frame loop does.
void Dispatch(uintptr_t code) { tuSystem::WndProc(platform::MM_MCINOTIFY, code, 1); }

TEST_F(MidiTest, APieceSoundsAndLoopsAtEveryEndWhileLoopingIsOn) {
  WriteFile("tune.mid", Smf(2));
  tuSound::PlayMidi("tune.mid", 1);
  EXPECT_EQ(tuSound::midi.open, 1);
  EXPECT_EQ(Mode(), "playing");
  uintptr_t code = 0;
  int peak = 0;
  double at = PullUntilNotify(6.0, &code, &peak);
  EXPECT_EQ(code, platform::MCI_NOTIFY_SUCCESSFUL);
  EXPECT_NEAR(at, 1.0, 0.1);  // two notes of half a second
  EXPECT_GT(peak, 1000);
  EXPECT_EQ(Mode(), "stopped");

  Dispatch(code);  // restarts the piece
  EXPECT_EQ(Mode(), "playing");
  peak = 0;
  at = PullUntilNotify(6.0, &code, &peak);
  EXPECT_EQ(code, platform::MCI_NOTIFY_SUCCESSFUL);
  EXPECT_NEAR(at, 1.0, 0.1);
  EXPECT_GT(peak, 1000);
  Dispatch(code);
  EXPECT_EQ(Mode(), "playing");
  EXPECT_EQ(tuSound::midi.open, 1);
}

TEST_F(MidiTest, WithoutLoopingThePieceClosesAtItsEnd) {
  WriteFile("tune.mid", Smf(1));
  for (int once : {0, 1}) {
    SCOPED_TRACE(once ? "MidiOnce while playing" : "PlayMidi with loop 0");
    tuSound::PlayMidi("tune.mid", once ? 1 : 0);
    if (once) tuSound::MidiOnce();
    uintptr_t code = 0;
    PullUntilNotify(6.0, &code, nullptr);
    ASSERT_EQ(code, platform::MCI_NOTIFY_SUCCESSFUL);
    Dispatch(code);
    EXPECT_EQ(tuSound::midi.open, 0);
    EXPECT_EQ(Mode(), "");  // no device any more
    // The last note's release dies away; nothing starts again.
    PullUntilNotify(3.0, &code, nullptr);
    int peak = 0;
    PullUntilNotify(0.5, &code, &peak);
    EXPECT_EQ(peak, 0);
    EXPECT_EQ(code, 0u);
  }
}

TEST_F(MidiTest, OnlyASuccessfulNotifyWhileStoppedRestartsThePiece) {
  WriteFile("tune.mid", Smf(1));
  tuSound::PlayMidi("tune.mid", 1);
  uintptr_t code = 0;
  PullUntilNotify(6.0, &code, nullptr);
  ASSERT_EQ(code, platform::MCI_NOTIFY_SUCCESSFUL);
  for (uintptr_t other : {platform::MCI_NOTIFY_SUPERSEDED, platform::MCI_NOTIFY_ABORTED,
                          platform::MCI_NOTIFY_FAILURE}) {
    Dispatch(other);
    EXPECT_EQ(Mode(), "stopped") << other;
  }
  Dispatch(platform::MCI_NOTIFY_SUCCESSFUL);
  EXPECT_EQ(Mode(), "playing");
  // A successful notify that arrives after the piece was restarted (the reply is "playing")
  // does nothing: a restart would supersede the pending notify.
  Dispatch(platform::MCI_NOTIFY_SUCCESSFUL);
  platform::Message m;
  EXPECT_FALSE(platform::PeekMessage(&m));
  EXPECT_EQ(Mode(), "playing");
}

TEST_F(MidiTest, ANewPieceAbortsTheNotifyOfTheOldOne) {
  WriteFile("a.mid", Smf(4));
  WriteFile("b.mid", Smf(1));
  tuSound::PlayMidi("a.mid", 1);
  sound_support::Pull(4410);
  tuSound::PlayMidi("b.mid", 1);
  platform::Message m;
  ASSERT_TRUE(platform::PeekMessage(&m));
  EXPECT_EQ(m.message, platform::MM_MCINOTIFY);
  EXPECT_EQ(m.wParam, platform::MCI_NOTIFY_ABORTED);
  Dispatch(m.wParam);
  EXPECT_EQ(Mode(), "playing");
  uintptr_t code = 0;
  double at = PullUntilNotify(6.0, &code, nullptr);
  EXPECT_EQ(code, platform::MCI_NOTIFY_SUCCESSFUL);
  EXPECT_NEAR(at, 0.5, 0.1);  // the new piece's length, not the old one's
}

TEST_F(MidiTest, PathsWithSpacesAreQuotedInTheOpenCommand) {
  WriteFile("my music/a tune.mid", Smf(1));
  tuSound::PlayMidi("my music/a tune.mid", 0);
  EXPECT_EQ(Mode(), "playing");
  uintptr_t code = 0;
  int peak = 0;
  PullUntilNotify(6.0, &code, &peak);
  EXPECT_EQ(code, platform::MCI_NOTIFY_SUCCESSFUL);
  EXPECT_GT(peak, 1000);
}

TEST_F(MidiTest, FilesThatAreNoMidiPlayNothingAndTheOpenFlagStaysAsDesigned) {
  WriteFile("text.mid", Bytes{'h', 'e', 'l', 'l', 'o'});
  Bytes garbage = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'X', 'Y', 'Z', 0, 0, 0, 1, 7};
  WriteFile("garbage.mid", garbage);
  for (const char* name : {"text.mid", "missing.mid", "garbage.mid"}) {
    SCOPED_TRACE(name);
    tuSound::PlayMidi(name, 1);
    EXPECT_EQ(tuSound::midi.open, 1);
    uintptr_t code = 0;
    int peak = 0;
    PullUntilNotify(1.0, &code, &peak);
    // Nothing plays (a note would peak above 1000; what may remain of an earlier piece cut
    // off is far below that).
    EXPECT_LT(peak, 200);
    // A header without a readable track fails at once; the failure restarts nothing.
    EXPECT_EQ(code, std::string(name) == "garbage.mid" ? platform::MCI_NOTIFY_FAILURE : 0u);
    if (code) Dispatch(code);
    PullUntilNotify(0.5, &code, &peak);
    EXPECT_EQ(code, 0u);
    tuSound::StopMidi();
    EXPECT_EQ(tuSound::midi.open, 0);
  }
  // A file cut inside its track plays what it holds and ends.
  Bytes cut = Smf(1);
  cut.resize(cut.size() - 6);
  WriteFile("cut.mid", cut);
  tuSound::PlayMidi("cut.mid", 0);
  uintptr_t code = 0;
  PullUntilNotify(3.0, &code, nullptr);
  EXPECT_NE(code, 0u);
  Dispatch(code);
  tuSound::StopMidi();
  EXPECT_TRUE(platform::RecordedBoxes().empty());
}

TEST_F(MidiTest, AMissingSoundFontLeavesMidiSilentWithOneLineAndSoundsUnharmed) {
  WriteFile("tune.mid", Smf(1));
  WriteFile("beep.wav", sound_support::Dc16(4410, 8000));
  platform::SetMidiSoundFont(Path("nothing.sf2").c_str());
  testing::internal::CaptureStderr();
  tuSound::PlayMidi("tune.mid", 1);
  tuSound::PlayMidi("tune.mid", 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("nothing.sf2"), std::string::npos);
  EXPECT_EQ(Mode(), "");

  int id = tuSound::LoadObject("beep.wav", 1);
  ASSERT_GE(id, 0);
  tuSound::Play(id, 0);
  std::vector<int16_t> s = sound_support::Pull(1024);
  EXPECT_NEAR(sound_support::Peak(s, 0), 8000, 200);
  EXPECT_TRUE(platform::RecordedBoxes().empty());

  platform::SetMidiSoundFont(nullptr);
  tuSound::PlayMidi("tune.mid", 1);
  EXPECT_EQ(Mode(), "playing");
}

TEST_F(MidiTest, CommandsTheSequencerDoesNotKnowFail) {
  WriteFile("tune.mid", Smf(1));
  EXPECT_NE(platform::MidiCommand("status midi mode", nullptr, 0), platform::MIDI_OK);
  EXPECT_NE(platform::MidiCommand("rewind midi", nullptr, 0), platform::MIDI_OK);
  EXPECT_NE(platform::MidiCommand("open \"unterminated type sequencer alias midi", nullptr, 0),
            platform::MIDI_OK);
  tuSound::PlayMidi("tune.mid", 1);
  EXPECT_NE(platform::MidiCommand("play other", nullptr, 0), platform::MIDI_OK);
  EXPECT_NE(platform::MidiCommand("seek midi to end", nullptr, 0), platform::MIDI_OK);
  EXPECT_NE(platform::MidiCommand("", nullptr, 0), platform::MIDI_OK);
  std::string open = "open \"" + Path("tune.mid") + "\" type sequencer alias midi";
  EXPECT_EQ(platform::MidiCommand(open.c_str(), nullptr, 0), platform::MIDI_ERR_ALIAS_IN_USE);
  EXPECT_EQ(Mode(), "playing");
  tuSound::CloseMidi();
  EXPECT_EQ(Mode(), "");
  EXPECT_EQ(tuSound::midi.open, 1);  // CloseMidi leaves the flag as it was
}

}  // namespace
