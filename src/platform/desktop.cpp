#include "platform/desktop.h"
#include "platform/seams.h"

namespace tu::platform {
namespace {
int depth = 16;
int depthBeforeMode = 0;  // 0: no display mode in force
}

int DesktopDepth() { return depth; }
void SetDesktopDepth(int bits) {
  if (bits == 16 || bits == 32) depth = bits;
}

bool SetDisplayModeDepth(int bits) {
  if (bits != 16 && bits != 32) return false;
  if (depthBeforeMode == 0) depthBeforeMode = depth;
  depth = bits;
  return true;
}

void RestoreDisplayMode() {
  if (depthBeforeMode == 0) return;
  depth = depthBeforeMode;
  depthBeforeMode = 0;
}

}  // namespace tu::platform
