#include "platform/desktop.h"

namespace platform {
namespace {
int depth = 16;
}

int DesktopDepth() { return depth; }
void SetDesktopDepth(int bits) {
  if (bits == 16 || bits == 32) depth = bits;
}

}  // namespace platform
