// Picture files through the sprite loader: any bytes load as a sprite or fail with a report.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  if (!fuzz::WriteInput("in.bmp", data, size)) return 0;
  int id = tuDraw::LoadObject("in.bmp", 2);
  if (id >= 4) {
    tuDraw::Draw(-7, 5, id, 0, 0, 4000, 4000);  // the loaded picture is drawable
    tuDraw::DeleteObject(id);
  }
  fuzz::ForgetBoxes();
  return 0;
}
