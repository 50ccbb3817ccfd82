// Placeholder definitions of the font list, until the text module provides them.
#include "draw/tuDraw.h"

namespace tuDraw {

int EnumFonts() { return 0; }
void FreeFonts() {}

}  // namespace tuDraw
