// PNG files through the sprite loader: any bytes behind the PNG signature (chunk checksums set
// right) load as a sprite or fail with a report, and a loaded picture draws, blended or keyed,
// plain and stretched.
#include "fuzz_support.h"
#include "media_crc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartLibrary();
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> file(kSignature, kSignature + 8);
  const bool signed_ = size >= 8 && memcmp(data, kSignature, 8) == 0;
  file.insert(file.end(), data + (signed_ ? 8 : 0), data + size);
  fuzz::FixPngChecksums(file);
  if (!fuzz::WriteInput("in.png", file.data(), file.size())) return 0;
  int id = tuDraw::LoadObject("in.png", 2);
  if (id >= 4) {
    tuDraw::Draw(-7, 5, id, 0, 0, 4000, 4000);
    tuDraw::DrawScaled(3, -2, id, 0, 0, 3, 3, 17, 5);
    tuDraw::DrawOpaque(1, 1, id, 0, 0, 2, 2);
    tuDraw::DeleteObject(id);
  }
  fuzz::ForgetBoxes();
  return 0;
}
