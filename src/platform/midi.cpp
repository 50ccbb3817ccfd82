#include "platform/midi.h"

#include <fluidsynth.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace tu::platform {

namespace {

constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// The synthesiser's default gain is quiet beside the sound effects.
constexpr double kGain = 0.8;

struct Device {
  std::string fontPath = kDefaultSoundFont;
  std::string failedFont;  // the font last reported as unusable, so it is reported once
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  int synthRate = 0;
  int sourceId = -1;
  // The open piece. The fields below are read by the mixer: change them with it held.
  bool open = false;
  std::string alias;
  std::vector<uint8_t> file;  // the piece as checked and rebuilt by CleanMidiFile
  bool unreadable = false;    // the file opened, but its tracks are malformed
  fluid_player_t* player = nullptr;
  bool playing = false;
  bool atEnd = false;
  bool notifyPending = false;
};
Device dev;

// Holds the mixer off while the piece's state changes.
struct MixerHold {
  MixerHold() { AudioLockMixer(); }
  ~MixerHold() { AudioUnlockMixer(); }
  MixerHold(const MixerHold&) = delete;
  MixerHold& operator=(const MixerHold&) = delete;
};

void Quiet(int, const char*, void*) {}

uint32_t Big32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t Big16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// A variable-length number of at most four bytes; false when it runs past `end` or is longer.
bool ReadVarLen(const uint8_t*& p, const uint8_t* end, uint32_t* value) {
  uint32_t v = 0;
  for (int i = 0; i < 4 && p < end; ++i) {
    uint8_t b = *p++;
    v = v << 7 | (b & 0x7F);
    if (!(b & 0x80)) {
      *value = v;
      return true;
    }
  }
  return false;
}

// One track's events: each complete inside the chunk, data bytes below 0x80, running status
// only after a channel message, a tempo of three bytes that is not zero. The track ends at its
// end-of-track event or at the chunk's end.
bool TrackWellFormed(const uint8_t* p, const uint8_t* end) {
  uint8_t running = 0;
  while (p < end) {
    uint32_t delta = 0, length = 0;
    if (!ReadVarLen(p, end, &delta) || p >= end) return false;
    uint8_t status = *p;
    if (status & 0x80) {
      ++p;
    } else if (running) {
      status = running;
    } else {
      return false;
    }
    if (status == 0xFF) {
      if (p >= end) return false;
      uint8_t type = *p++;
      if (!ReadVarLen(p, end, &length) || length > static_cast<uint32_t>(end - p)) return false;
      if (type == 0x51 && (length != 3 || (p[0] | p[1] | p[2]) == 0)) return false;
      if (type == 0x2F) return true;
      p += length;
      running = 0;
    } else if (status == 0xF0 || status == 0xF7) {
      if (!ReadVarLen(p, end, &length) || length > static_cast<uint32_t>(end - p)) return false;
      p += length;
      running = 0;
    } else if (status > 0xF0) {
      return false;  // system common and real-time messages have no place in a file
    } else {
      int data = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
      if (end - p < data) return false;
      for (int i = 0; i < data; ++i)
        if (p[i] & 0x80) return false;
      p += data;
      running = status;
    }
  }
  return true;
}
}  // namespace

bool CleanMidiFile(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  out.clear();
  if (in.size() < 14 || memcmp(in.data(), "MThd", 4) != 0) return false;
  uint32_t headLength = Big32(in.data() + 4);
  if (headLength < 6 || headLength > in.size() - 8) return false;
  uint16_t format = Big16(in.data() + 8), division = Big16(in.data() + 12);
  // Time in frames per second (top bit of the division) is not played.
  if (format > 2 || division == 0 || (division & 0x8000)) return false;
  std::vector<uint8_t> tracks;
  int count = 0;
  size_t pos = 8 + static_cast<size_t>(headLength);
  while (in.size() - pos >= 8) {
    const uint8_t* chunk = in.data() + pos;
    uint32_t length = Big32(chunk + 4);
    if (length > in.size() - pos - 8) return false;
    if (memcmp(chunk, "MTrk", 4) == 0) {
      if (count == 0xFFFF || !TrackWellFormed(chunk + 8, chunk + 8 + length)) return false;
      tracks.insert(tracks.end(), chunk, chunk + 8 + length);
      ++count;
    }
    pos += 8 + static_cast<size_t>(length);
  }
  if (count == 0) return false;
  if (format == 0 && count > 1) format = 1;
  const uint8_t head[14] = {'M', 'T', 'h', 'd', 0, 0, 0, 6,
                            static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
                            static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
                            static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
  out.assign(head, head + 14);
  out.insert(out.end(), tracks.begin(), tracks.end());
  return true;
}

namespace {

void FreeSynth() {
  if (dev.player) delete_fluid_player(dev.player);
  dev.player = nullptr;
  if (dev.synth) delete_fluid_synth(dev.synth);
  dev.synth = nullptr;
  if (dev.settings) delete_fluid_settings(dev.settings);
  dev.settings = nullptr;
  dev.synthRate = 0;
}

// The synthesiser at the mix rate, with the sound font loaded; false (after one line on
// stderr for each font that fails) when the font cannot be used.
bool EnsureSynth() {
  int rate = static_cast<int>(AudioPrimaryFormat().samplesPerSec);
  if (dev.synth && dev.synthRate == rate) return true;
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
    fluid_set_log_function(level, Quiet, nullptr);
  {
    MixerHold hold;
    FreeSynth();
  }
  fluid_settings_t* settings = new_fluid_settings();
  if (!settings) return false;
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_settings_setnum(settings, "synth.gain", kGain);
  // No reverb or chorus: their tails would carry one piece into the start of the next.
  fluid_settings_setint(settings, "synth.reverb.active", 0);
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  fluid_synth_t* synth = new_fluid_synth(settings);
  if (!synth || fluid_synth_sfload(synth, dev.fontPath.c_str(), 1) == FLUID_FAILED) {
    if (synth) delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    if (dev.failedFont != dev.fontPath) {
      fprintf(stderr, "%s: the MIDI sound font %s cannot be loaded; MIDI music is silent\n",
              ProgramName(), dev.fontPath.c_str());
      dev.failedFont = dev.fontPath;
    }
    return false;
  }
  MixerHold hold;
  dev.settings = settings;
  dev.synth = synth;
  dev.synthRate = rate;
  return true;
}

// Runs in the mixer: renders the synthesiser and notices the end of the piece.
void Render(void*, float* mix, int frames, int rate) {
  if (!dev.open || !dev.synth || rate <= 0) return;
  if (rate != dev.synthRate) {
    // The mix format changed under a playing piece: it goes on at the new rate.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    fluid_synth_set_sample_rate(dev.synth, static_cast<float>(rate));
#pragma GCC diagnostic pop
    dev.synthRate = rate;
  }
  fluid_synth_write_float(dev.synth, frames, mix, 0, 2, mix, 1, 2);
  if (!dev.playing || !dev.player) return;
  int total = fluid_player_get_total_ticks(dev.player);
  bool ended = fluid_player_get_status(dev.player) == FLUID_PLAYER_DONE ||
               (total > 0 && fluid_player_get_current_tick(dev.player) >= total);
  if (!ended) return;
  fluid_player_stop(dev.player);
  dev.playing = false;
  dev.atEnd = true;
  // A file the sequencer could not read ends before it began: that is a failure, which
  // nobody restarts.
  if (dev.notifyPending) {
    dev.notifyPending = false;
    PostMessageAsync(MM_MCINOTIFY, total > 0 ? MCI_NOTIFY_SUCCESSFUL : MCI_NOTIFY_FAILURE, 1);
  }
}

// A fresh player at the start of the piece. The mixer is held by the caller.
void Rewind() {
  if (dev.player) delete_fluid_player(dev.player);
  dev.player = nullptr;
  if (dev.synth) fluid_synth_all_sounds_off(dev.synth, -1);
  dev.playing = false;
  dev.atEnd = false;
  if (!dev.synth || dev.unreadable) return;
  dev.player = new_fluid_player(dev.synth);
  if (dev.player && fluid_player_add_mem(dev.player, dev.file.data(), dev.file.size()) != FLUID_OK) {
    delete_fluid_player(dev.player);
    dev.player = nullptr;
  }
}

// Ends a pending notify with `code`. The mixer is held by the caller.
void EndNotify(uintptr_t code) {
  if (!dev.notifyPending) return;
  dev.notifyPending = false;
  PostMessageAsync(MM_MCINOTIFY, code, 1);
}

void StopPlaying() {
  EndNotify(MCI_NOTIFY_ABORTED);
  if (dev.player && dev.playing) fluid_player_stop(dev.player);
  if (dev.synth) fluid_synth_all_sounds_off(dev.synth, -1);
  dev.playing = false;
}

bool Same(const std::string& a, const char* b) {
  if (a.size() != strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Words separated by blanks; a double-quoted word may hold blanks. False for an open quote.
bool Split(const char* s, std::vector<std::string>& words) {
  while (*s) {
    while (*s == ' ' || *s == '\t') ++s;
    if (!*s) break;
    std::string w;
    if (*s == '"') {
      const char* close = strchr(s + 1, '"');
      if (!close) return false;
      w.assign(s + 1, close);
      s = close + 1;
    } else {
      while (*s && *s != ' ' && *s != '\t') w.push_back(*s++);
    }
    words.push_back(w);
  }
  return true;
}

int Open(const std::vector<std::string>& w) {
  // open <path> type sequencer alias <alias>
  if (w.size() != 6 || !Same(w[2], "type") || !Same(w[3], "sequencer") || !Same(w[4], "alias"))
    return MIDI_ERR_UNKNOWN_COMMAND;
  if (dev.open) return MIDI_ERR_ALIAS_IN_USE;
  std::vector<uint8_t> bytes;
  // A Standard MIDI File starts with its header chunk of at least six bytes.
  if (!ReadFile(w[1], bytes) || bytes.size() < 14 || memcmp(bytes.data(), "MThd", 4) != 0)
    return MIDI_ERR_FILE;
  if (!EnsureSynth()) return MIDI_ERR_NO_SYNTH;
  if (dev.sourceId < 0) dev.sourceId = AudioAddSource(Render, nullptr);
  // Only what passes the check reaches the synthesiser's player: some malformed files keep it
  // busy without end. A file that fails still opens and fails when played, as a sequencer that
  // cannot read its tracks does.
  std::vector<uint8_t> clean;
  bool readable = CleanMidiFile(bytes, clean);
  MixerHold hold;
  dev.file.swap(clean);
  dev.unreadable = !readable;
  dev.alias = w[5];
  dev.notifyPending = false;
  // A new piece starts from silence: no voice and no reverb tail of the last one.
  // Voices that were cut off end at the next block of 64 frames: render them here, unheard.
  // (A system reset would drop the pending cut-off and leave them sounding.)
  if (dev.synth) {
    fluid_synth_all_sounds_off(dev.synth, -1);
    float scratch[2 * 64];
    for (int block = 0; block < 64; ++block) {
      fluid_synth_write_float(dev.synth, 64, scratch, 0, 2, scratch, 1, 2);
      bool silent = true;
      for (float v : scratch) silent = silent && v == 0.0f;
      if (silent && fluid_synth_get_active_voice_count(dev.synth) == 0) break;
    }
  }
  Rewind();
  dev.open = true;
  return MIDI_OK;
}

}  // namespace

int MidiCommand(const char* command, char* answer, int answerSize) {
  if (answer && answerSize > 0) answer[0] = 0;
  std::vector<std::string> w;
  if (!command || !Split(command, w) || w.size() < 2) return MIDI_ERR_UNKNOWN_COMMAND;
  if (Same(w[0], "open")) return Open(w);
  if (!dev.open || !Same(dev.alias, w[1].c_str())) {
    bool known = Same(w[0], "seek") || Same(w[0], "play") || Same(w[0], "stop") ||
                 Same(w[0], "close") || Same(w[0], "status");
    return known ? MIDI_ERR_NO_DEVICE : MIDI_ERR_UNKNOWN_COMMAND;
  }
  MixerHold hold;
  if (Same(w[0], "seek") && w.size() == 4 && Same(w[2], "to") && Same(w[3], "start")) {
    EndNotify(MCI_NOTIFY_ABORTED);
    Rewind();
    return MIDI_OK;
  }
  if (Same(w[0], "play") && (w.size() == 2 || (w.size() == 3 && Same(w[2], "notify")))) {
    EndNotify(MCI_NOTIFY_SUPERSEDED);
    bool notify = w.size() == 3;
    if (dev.unreadable) {
      if (notify) PostMessageAsync(MM_MCINOTIFY, MCI_NOTIFY_FAILURE, 1);
      return MIDI_OK;
    }
    if (dev.atEnd || !dev.player) {
      // Nothing left to play: the piece ends at once.
      if (notify) PostMessageAsync(MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 1);
      return MIDI_OK;
    }
    dev.notifyPending = notify;
    dev.playing = true;
    fluid_player_play(dev.player);
    return MIDI_OK;
  }
  if (Same(w[0], "stop") && w.size() == 2) {
    StopPlaying();
    return MIDI_OK;
  }
  if (Same(w[0], "close") && w.size() == 2) {
    StopPlaying();
    if (dev.player) delete_fluid_player(dev.player);
    dev.player = nullptr;
    dev.file.clear();
    dev.open = false;
    dev.atEnd = false;
    dev.unreadable = false;
    return MIDI_OK;
  }
  if (Same(w[0], "status") && w.size() == 3 && Same(w[2], "mode")) {
    if (answer && answerSize > 0)
      snprintf(answer, static_cast<size_t>(answerSize), "%s", dev.playing ? "playing" : "stopped");
    return MIDI_OK;
  }
  return MIDI_ERR_UNKNOWN_COMMAND;
}

void SetMidiSoundFont(const char* path) {
  std::string font = path && *path ? path : kDefaultSoundFont;
  if (font == dev.fontPath) return;
  dev.fontPath = font;
  MixerHold hold;
  // The next open loads the new font; a piece playing now goes on with the old one.
  if (!dev.open) FreeSynth();
}

const char* MidiSoundFont() { return dev.fontPath.c_str(); }

void MidiShutdown() {
  if (dev.sourceId >= 0) AudioRemoveSource(dev.sourceId);
  dev.sourceId = -1;
  MixerHold hold;
  dev.open = false;
  dev.playing = dev.atEnd = dev.notifyPending = dev.unreadable = false;
  dev.file.clear();
  FreeSynth();
}

}  // namespace tu::platform
