#pragma once
// Shared set-up for the sound tests: WAV images built in memory, a scratch program folder,
// the device in headless mode and pulled mix frames (16-bit stereo unless changed).
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <tu/tuSound.h>

#include "headless.h"
#include "platform/audio.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/seams.h"

namespace sound_support {

using Bytes = std::vector<uint8_t>;

inline void Put(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One chunk with its pad byte; `size` overrides the stated size.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t size = -1) {
  Bytes b(id, id + 4);
  Put(b, static_cast<uint32_t>(size >= 0 ? size : static_cast<int64_t>(body.size())), 4);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE") {
  Bytes body(form, form + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

// The 16 bytes of a "fmt " chunk; `align` 0 means the matching block align.
inline Bytes Fmt(int channels, uint32_t rate, int bits, int tag = 1, int align = 0) {
  Bytes b;
  align = align ? align : channels * (bits / 8);
  Put(b, static_cast<uint32_t>(tag), 2);
  Put(b, static_cast<uint32_t>(channels), 2);
  Put(b, rate, 4);
  Put(b, rate * static_cast<uint32_t>(align), 4);
  Put(b, static_cast<uint32_t>(align), 2);
  Put(b, static_cast<uint32_t>(bits), 2);
  return b;
}

// The 40-byte format block of the extensible form whose sub-format is `tag` (PCM or float).
inline Bytes Extensible(int channels, uint32_t rate, int bits, int tag = 1) {
  Bytes b = Fmt(channels, rate, bits, 0xFFFE);
  Put(b, 22, 2);                              // extra size
  Put(b, static_cast<uint32_t>(bits), 2);     // valid bits
  Put(b, channels == 2 ? 3u : 4u, 4);         // speakers: front left and right, or centre
  Put(b, static_cast<uint32_t>(tag), 4);      // the sub-format: the tag, then fixed bytes
  for (uint8_t v : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
    b.push_back(v);
  return b;
}

inline Bytes Samples16(const std::vector<int16_t>& s) {
  Bytes b;
  for (int16_t v : s) Put(b, static_cast<uint16_t>(v), 2);
  return b;
}

// A canonical mono 16-bit WAV (44-byte header) of `frames` frames of one value.
inline Bytes Dc16(int frames, int16_t value, uint32_t rate = 44100) {
  Bytes data = Samples16(std::vector<int16_t>(static_cast<size_t>(frames), value));
  return Riff({Chunk("fmt ", Fmt(1, rate, 16)), Chunk("data", data)});
}

inline std::vector<int16_t> Pull(int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  tu::platform::AudioPull(out.data(), frames);
  return out;
}

// Largest magnitude on one side (0 left, 1 right) of stereo frames.
inline int Peak(const std::vector<int16_t>& s, int side) {
  int peak = 0;
  for (size_t i = static_cast<size_t>(side); i < s.size(); i += 2)
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
    tu::platform::SetExeFolderOverride(dir_ + "/");
    tu::platform::ClearResources();
    tu::platform::AudioSetDeviceAvailable(true);
    ASSERT_EQ(tuSound::Init(), 1);
    tuSound::ResetObjects();
  }
  void TearDown() override {
    tuSound::ResetObjects();
    tuSound::Release();
    tu::platform::AudioSetDeviceAvailable(true);
    tu::platform::ClearResources();
    tu::platform::SetExeFolderOverride("");
    std::filesystem::remove_all(dir_);
  }
  void WriteFile(const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(dir_ + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string LastBox() const {
    return tu::platform::RecordedBoxes().empty() ? "" : tu::platform::RecordedBoxes().back().text;
  }
  std::string dir_;
};

}  // namespace sound_support
