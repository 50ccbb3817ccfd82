#pragma once
// Shared set-up for the sound tests: WAV images built in memory, a scratch program folder,
// the sound device in headless mode and pulled mix frames.
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "headless.h"
#include "platform/audio.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "sound/tuSound.h"

namespace sound_support {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// One chunk: id, size, body and the pad byte of an odd size. `statedSize` overrides the size.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t statedSize = -1) {
  Bytes b(id, id + 4);
  Put32(b, statedSize >= 0 ? static_cast<uint32_t>(statedSize) : static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE") {
  Bytes body(form, form + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

// The 16 PCM bytes of a "fmt " chunk; `blockAlign` 0 means the matching value.
inline Bytes FmtBody(int channels, uint32_t rate, int bits, int tag = 1, int blockAlign = 0) {
  Bytes b;
  int align = blockAlign ? blockAlign : channels * (bits / 8);
  Put16(b, static_cast<uint32_t>(tag));
  Put16(b, static_cast<uint32_t>(channels));
  Put32(b, rate);
  Put32(b, rate * static_cast<uint32_t>(align));
  Put16(b, static_cast<uint32_t>(align));
  Put16(b, static_cast<uint32_t>(bits));
  return b;
}

inline Bytes Samples16(const std::vector<int16_t>& s) {
  Bytes b;
  for (int16_t v : s) Put16(b, static_cast<uint16_t>(v));
  return b;
}

inline Bytes Wav(int channels, uint32_t rate, int bits, const Bytes& data) {
  return Riff({Chunk("fmt ", FmtBody(channels, rate, bits)), Chunk("data", data)});
}

// A mono 16-bit sound of `frames` frames of one value.
inline Bytes Dc16(int frames, int16_t value, uint32_t rate = 44100) {
  return Wav(1, rate, 16, Samples16(std::vector<int16_t>(static_cast<size_t>(frames), value)));
}

// A full-scale sine with a whole number of periods (period in frames).
inline std::vector<int16_t> Sine(int frames, int period, double amplitude = 32767.0) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i)
    s[static_cast<size_t>(i)] =
        static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * i / period)));
  return s;
}

// Pulls stereo 16-bit frames (the default primary format) from the headless mixer.
inline std::vector<int16_t> Pull(int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  platform::AudioPull(out.data(), frames);
  return out;
}

inline int PeakOf(const std::vector<int16_t>& s, int channel, int channels = 2) {
  int peak = 0;
  for (size_t i = static_cast<size_t>(channel); i < s.size(); i += static_cast<size_t>(channels))
    peak = std::max(peak, std::abs(static_cast<int>(s[i])));
  return peak;
}

class SoundTest : public testing_support::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    char pattern[] = "/tmp/quorbistane_sound_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    platform::SetExeFolderOverride(dir_ + "/");
    platform::ClearResources();
    platform::AudioSetDeviceAvailable(true);
    ASSERT_EQ(tuSound::Init(), 1);
    tuSound::ResetObjects();
  }
  void TearDown() override {
    tuSound::ResetObjects();
    tuSound::Release();
    platform::AudioSetDeviceAvailable(true);
    platform::ClearResources();
    platform::SetExeFolderOverride("");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Writes a file below the scratch program folder (creating sub-folders).
  void WriteFile(const std::string& name, const Bytes& bytes) {
    std::filesystem::path p = std::filesystem::path(dir_) / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  platform::AudioBuffer* Buffer(int id, int ch) { return tuSound::snd.objects[id].channels[ch].buffer; }
  bool Playing(int id, int ch) {
    uint32_t status = 0;
    platform::AudioGetStatus(Buffer(id, ch), &status);
    return (status & platform::AUDIO_STATUS_PLAYING) != 0;
  }
  uint32_t Cursor(int id, int ch) {
    uint32_t play = 0;
    platform::AudioGetPosition(Buffer(id, ch), &play, nullptr);
    return play;
  }
  size_t Boxes() const { return platform::RecordedBoxes().size(); }
  std::string LastBox() const {
    return platform::RecordedBoxes().empty() ? "" : platform::RecordedBoxes().back().text;
  }

  std::string dir_;
};

}  // namespace sound_support
