#include "frame.h"

#include <vector>

#include <tu/tuSound.h>

#include "game/output.h"
#include "platform/audio.h"
#include "platform/display.h"
#include "platform/seams.h"
#include "png.h"

namespace sim {

bool WritePresentedFrame(const std::string& file, std::string* error) {
  std::vector<uint8_t> rgb;
  int w = 0, h = 0;
  if (!tu::platform::LastFrameRgb(rgb, &w, &h)) {
    *error = "no frame has been presented";
    return false;
  }
  if (!WritePng(file, w, h, rgb)) {
    *error = "cannot write " + file;
    return false;
  }
  return true;
}

SoundCounter::SoundCounter() { gameout::recorder.Start(); }

void SoundCounter::AfterFrame() {
  for (int i = 0; i < gameout::recorder.soundCount; ++i) {
    const gameout::SoundCall& c = gameout::recorder.sounds[i];
    if (c.kind != gameout::SoundStop && c.id >= 0 && c.id < tuSound::kMaxSounds) ++starts_[c.id];
  }
  gameout::recorder.Start();  // draws and sounds of the next frame only
}

nlohmann::ordered_json SoundCounter::Json() const {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (int id = 0; id < tuSound::kMaxSounds; ++id) {
    const tuSound::SoundObject& o = tuSound::snd.objects[id];
    if (!o.used) continue;
    bool playing = false;
    for (int ch = 0; ch < o.channelCount; ++ch) {
      uint32_t status = 0;
      if (o.channels[ch].buffer && tu::platform::AudioGetStatus(o.channels[ch].buffer, &status) == 0 &&
          (status & tu::platform::AUDIO_STATUS_PLAYING))
        playing = true;
    }
    out[o.name] = {{"started", starts_[id]}, {"playing", playing}};
  }
  return out;
}

}  // namespace sim
