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
    case 1:
      c.top -= s;
      if (c.top <= v.top) c.top = v.top;
      return c.top == v.top;
    case 2:
      c.bottom += s;
      if (c.bottom >= v.bottom) c.bottom = v.bottom;
      return c.bottom == v.bottom;
    case 3:
      c.left -= s;
      if (c.left <= v.left) c.left = v.left;
      return c.left == v.left;
    case 4:
      c.right += s;
      if (c.right >= v.right) c.right = v.right;
      return c.right == v.right;
    case 5: openVertical(); return c.top == v.top;
    case 6: openHorizontal(); return c.left == v.left;
    case 7:
      openHorizontal();
      openVertical();
      break;
    case 8:
      if (c.top == v.top && c.bottom == v.bottom)
        openHorizontal();
      else
        openVertical();
      break;
    case 9:
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
    case 1: c.top += s; return c.top >= v.bottom;
    case 2: c.bottom -= s; return c.bottom <= v.top;
    case 3: c.left += s; return c.left >= v.right;
    case 4: c.right -= s; return c.right <= v.left;
    case 5:
      c.top += s;
      c.bottom -= s;
      return c.top >= c.bottom;
    case 6:
      c.left += s;
      c.right -= s;
      return c.left >= c.right;
    case 7:
      c.left += s, c.right -= s, c.top += s, c.bottom -= s;
      if (c.left >= c.right) c.left = c.right = mx;
      if (c.top >= c.bottom) c.top = c.bottom = my;
      return c.left == c.right && c.top == c.bottom;
    case 8:
      if (c.left != mx - h && c.right != mx + h) {
        c.left += s;
        c.right -= s;
        if (!(c.left < mx - h && c.right > mx + h)) c.left = mx - h, c.right = mx + h;
        return false;
      }
      c.top += s;
      c.bottom -= s;
      return c.top >= c.bottom;
    case 9:
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
  if (pattern == 0) pattern = rand() % 9 + 1;
  draw.wipeDone = 0;
  draw.wipeAux = 0;
  draw.wipeDirection = direction;
  draw.wipePattern = pattern;
  draw.wipeSpeed = speed;
  draw.wipeBand = band;
  if (direction != 0) {
    draw.wipeState = 2;
    return 1;
  }
  draw.wipeState = 1;
  const tu::Rect& v = draw.wipeSaved;
  tu::Rect& c = draw.clipRect;
  const int mx = (v.right - v.left) / 2 + v.left, my = (v.bottom - v.top) / 2 + v.top;
  const int h = band / 2;
  switch (pattern) {
    case 1: c.top = v.bottom; break;
    case 2: c.bottom = v.top; break;
    case 3: c.left = v.right; break;
    case 4: c.right = v.left; break;
    case 5: c.top = c.bottom = my; break;
    case 6: c.left = c.right = mx; break;
    case 7:
    case 8:
    case 9:
      c.left = c.right = mx;
      c.top = c.bottom = my;
      if (pattern == 8) c.left = mx - h, c.right = mx + h;
      if (pattern == 9) c.top = my - h, c.bottom = my + h;
      break;
    default: break;
  }
  return 1;
}

int StepWipe() {
  if (draw.wipeState <= 0) return 0;
  const int s = static_cast<int>(tuSystem::sys.frameSeconds * draw.wipeSpeed) + 1;
  if (draw.wipeDirection == 0) {
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
