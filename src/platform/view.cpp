#include "platform/view.h"

#include <algorithm>
#include <cstdint>

namespace tu::platform {
namespace {
int FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return static_cast<int>(q);
}
}  // namespace

namespace {
bool fillView = false;
}  // namespace

void SetFillView(bool on) { fillView = on; }
bool FillView() { return fillView; }

View FitView(int logicalWidth, int logicalHeight, int areaWidth, int areaHeight, bool fill) {
  View v;
  if (logicalWidth <= 0 || logicalHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) {
    v.w = v.h = 0;
    return v;
  }
  int factor = std::min(areaWidth / logicalWidth, areaHeight / logicalHeight);
  if (factor >= 1 && !fill) {
    v.factor = factor;
    v.w = logicalWidth * factor;
    v.h = logicalHeight * factor;
  } else {
    v.factor = 0;
    // The limiting side takes the whole area; the other follows the logical aspect.
    if (int64_t{areaWidth} * logicalHeight <= int64_t{areaHeight} * logicalWidth) {
      v.w = areaWidth;
      v.h = std::max(1, static_cast<int>(int64_t{areaWidth} * logicalHeight / logicalWidth));
    } else {
      v.h = areaHeight;
      v.w = std::max(1, static_cast<int>(int64_t{areaHeight} * logicalWidth / logicalHeight));
    }
  }
  if (fill && v.w % logicalWidth == 0 && v.w / logicalWidth * logicalHeight == v.h) v.factor = v.w / logicalWidth;
  v.x = (areaWidth - v.w) / 2;
  v.y = (areaHeight - v.h) / 2;
  return v;
}

int RealToLogical(int real, int pos, int size, int logicalSize) {
  if (size <= 0) return 0;
  return FloorDiv(int64_t{real - pos} * logicalSize, size);
}

int LogicalToReal(int logical, int pos, int size, int logicalSize) {
  if (logicalSize <= 0) return pos;
  return pos + FloorDiv(int64_t{logical} * size, logicalSize);
}

int OpeningFactor(int width, int height, int usableWidth, int usableHeight, int frameWidth,
                  int frameHeight) {
  if (width <= 0 || height <= 0) return 1;
  const int64_t roomX = int64_t{usableWidth} - std::max(frameWidth, 0);
  const int64_t roomY = int64_t{usableHeight} - std::max(frameHeight, 0);
  const int64_t fits = std::min(roomX / width, roomY / height);
  return static_cast<int>(std::clamp<int64_t>(fits, 1, 1 << 16));
}

}  // namespace tu::platform
