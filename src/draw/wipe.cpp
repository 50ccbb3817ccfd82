// Clip-rectangle wipe: collapsing clipRect and growing it back (or shrinking it) frame by frame.
#include <cstdlib>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

namespace tuDraw {

namespace {
// One opening step; true when the rectangle is whole again.
bool Open(tu::Rect& c, const tu::Rect& v, int s) {
  auto openVertical = [&] {
    c.top -= s;
    c.bottom += s;
    if (c.top <= v.top || c.bottom >= v.bottom) c.top = v.top, c.bottom = v.bottom;
  };
  auto openHorizontal = [&] {
    c.left -= s;
    c.right += s;
    if (c.left <= v.left || c.right >= v.right) c.left = v.left, c.right = v.right;
  };
  switch (draw.wipePattern) {
    case kWipeFromBottom:
      c.top -= s;
      if (c.top <= v.top) c.top = v.top;
      return c.top == v.top;
    case kWipeFromTop:
      c.bottom += s;
      if (c.bottom >= v.bottom) c.bottom = v.bottom;
      return c.bottom == v.bottom;
    case kWipeFromRight:
      c.left -= s;
      if (c.left <= v.left) c.left = v.left;
      return c.left == v.left;
    case kWipeFromLeft:
      c.right += s;
      if (c.right >= v.right) c.right = v.right;
      return c.right == v.right;
    case kWipeFromMiddleRow: openVertical(); return c.top == v.top;
    case kWipeFromMiddleColumn: openHorizontal(); return c.left == v.left;
    case kWipeFromCentre:
      openHorizontal();
      openVertical();
      break;
    case kWipeTallFirst:
      if (c.top == v.top && c.bottom == v.bottom)
        openHorizontal();
      else
        openVertical();
      break;
    case kWipeWideFirst:
      if (c.left == v.left && c.right == v.right)
        openVertical();
      else
        openHorizontal();
      break;
    default: return true;
  }
  return c == v;
}

// One closing step; true when the rectangle has closed.
bool Close(tu::Rect& c, const tu::Rect& v, int s) {
  const int mx = (v.right - v.left) / 2 + v.left, my = (v.bottom - v.top) / 2 + v.top;
  const int h = draw.wipeBand / 2;
  switch (draw.wipePattern) {
    case kWipeFromBottom: c.top += s; return c.top >= v.bottom;
    case kWipeFromTop: c.bottom -= s; return c.bottom <= v.top;
    case kWipeFromRight: c.left += s; return c.left >= v.right;
    case kWipeFromLeft: c.right -= s; return c.right <= v.left;
    case kWipeFromMiddleRow:
      c.top += s;
      c.bottom -= s;
      return c.top >= c.bottom;
    case kWipeFromMiddleColumn:
      c.left += s;
      c.right -= s;
      return c.left >= c.right;
    case kWipeFromCentre:
      c.left += s, c.right -= s, c.top += s, c.bottom -= s;
      if (c.left >= c.right) c.left = c.right = mx;
      if (c.top >= c.bottom) c.top = c.bottom = my;
      return c.left == c.right && c.top == c.bottom;
    case kWipeTallFirst:
      if (c.left != mx - h && c.right != mx + h) {
        c.left += s;
        c.right -= s;
        if (!(c.left < mx - h && c.right > mx + h)) c.left = mx - h, c.right = mx + h;
        return false;
      }
      c.top += s;
      c.bottom -= s;
      return c.top >= c.bottom;
    case kWipeWideFirst:
      if (c.top != my - h && c.bottom != my + h) {
        c.top += s;
        c.bottom -= s;
        if (!(c.top < my - h && c.bottom > my + h)) c.top = my - h, c.bottom = my + h;
        return false;
      }
      c.left += s;
      c.right -= s;
      return c.left >= c.right;
    default: return true;
  }
}
}  // namespace

int StartWipe(int direction, int pattern, float speed, int band) {
  if (draw.wipeState > 0) return 0;
  if (draw.wipeState == -1) draw.clipRect = draw.wipeSaved;
  draw.wipeSaved = draw.clipRect;
  if (pattern == kWipeRandom)
    pattern = rand() % (kWipeWideFirst - kWipeFromBottom + 1) + kWipeFromBottom;
  draw.wipeDone = 0;
  draw.wipeAux = 0;
  draw.wipeDirection = direction;
  draw.wipePattern = pattern;
  draw.wipeSpeed = speed;
  draw.wipeBand = band;
  if (direction != kWipeOpen) {
    draw.wipeState = 2;
    return 1;
  }
  draw.wipeState = 1;
  const tu::Rect& v = draw.wipeSaved;
  tu::Rect& c = draw.clipRect;
  const int mx = (v.right - v.left) / 2 + v.left, my = (v.bottom - v.top) / 2 + v.top;
  const int h = band / 2;
  switch (pattern) {
    case kWipeFromBottom: c.top = v.bottom; break;
    case kWipeFromTop: c.bottom = v.top; break;
    case kWipeFromRight: c.left = v.right; break;
    case kWipeFromLeft: c.right = v.left; break;
    case kWipeFromMiddleRow: c.top = c.bottom = my; break;
    case kWipeFromMiddleColumn: c.left = c.right = mx; break;
    case kWipeFromCentre:
    case kWipeTallFirst:
    case kWipeWideFirst:
      c.left = c.right = mx;
      c.top = c.bottom = my;
      if (pattern == kWipeTallFirst) c.left = mx - h, c.right = mx + h;
      if (pattern == kWipeWideFirst) c.top = my - h, c.bottom = my + h;
      break;
    default: break;
  }
  return 1;
}

int StepWipe() { return StepWipe(tuSystem::sys.frameSeconds); }

int StepWipe(float seconds) {
  if (draw.wipeState <= 0) return 0;
  const int s = static_cast<int>(seconds * draw.wipeSpeed) + 1;
  if (draw.wipeDirection == kWipeOpen) {
    if (Open(draw.clipRect, draw.wipeSaved, s)) {
      draw.wipeState = 0;
      draw.wipeDone = 1;
    }
  } else if (Close(draw.clipRect, draw.wipeSaved, s)) {
    draw.wipeState = -1;
    draw.wipeAux = 1;
  }
  return 1;
}

void EndWipe() {
  draw.wipeSaved = draw.clipRect;
  draw.clipRect.right = draw.clipRect.left;
  draw.clipRect.bottom = draw.clipRect.top;
  draw.wipeState = -1;
}

}  // namespace tuDraw
