// Picture packs: any bytes as a pack, searched for names that are and are not in it.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  if (!fuzz::WriteInput("in.pak", data, size)) return 0;
  tuDraw::SetPackFile("in.pak");
  for (const char* name : {"PAL8.BMP", "rgb24.bmp", "MISSING.BMP"}) {
    int id = tuDraw::LoadPack(name, 2);
    if (id >= 4) {
      tuDraw::SwapPack("RGB24.BMP", id, 2);
      tuDraw::Draw(0, 0, id, 0, 0, 640, 480);
      tuDraw::DeleteObject(id);
    }
  }
  fuzz::ForgetBoxes();
  return 0;
}
