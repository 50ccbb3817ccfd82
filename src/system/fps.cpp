// The frames-per-second meter: calls counted over two-second windows, drawn as one text line.
#include <cstdint>
#include <cstdio>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "platform/clock.h"

namespace tuSystem {

FpsState fps;

void DrawFps() {
  if (!fps.started) {
    // The first window runs from the program's load, so the first call already samples.
    fps.nextSample = loadStamps[3];
    fps.started = 1;
  }
  uint32_t now = tu::platform::Tick();
  // Compared by unsigned difference, so the window keeps working across the tick's wrap.
  if (static_cast<int32_t>(now - fps.nextSample) >= 0) {
    fps.current = static_cast<float>(fps.frameCount / 2.0);
    if (fps.current > fps.highest) fps.highest = fps.current;
    if (fps.current > 0.0f && fps.current < fps.lowest) fps.lowest = fps.current;
    fps.nextSample = tu::platform::Tick() + 2000;
    fps.frameCount = 0;
  }
  if (fps.frameCount < 999) ++fps.frameCount;
  snprintf(fps.text, sizeof fps.text, "%3.1f fps ( max %3.1f / min %3.1f )",
           static_cast<double>(fps.current), static_cast<double>(fps.highest),
           static_cast<double>(fps.lowest));
  tuDraw::BeginText(1, 12, 0, 0, 0, 0);
  tuDraw::SetTextColors(0xFFFFFF, 0x800000, 0);
  tuDraw::Text(0, 0, fps.text);
  tuDraw::EndText();
}

}  // namespace tuSystem
