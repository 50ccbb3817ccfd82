// Placeholder definitions of the font list and the picture packs, until the text and
// picture-pack modules provide them.
#include "draw/tuDraw.h"

namespace tuDraw {

int EnumFonts() { return 0; }
void FreeFonts() {}
// No pack exists yet, so no sprite is marked as coming from one.
int SwapPack(const char*, int, int) { return 0; }

}  // namespace tuDraw
