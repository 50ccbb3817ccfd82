#pragma once
// Words set in an installed font, scaled to fill a rectangle, with an outline so they read on
// any background.
#include <string>

#include "image.h"

namespace assetgen {

struct TextStyle {
  Col top, bottom;       // vertical gradient of the letters
  Col outline;           // drawn around the letters
  float outlineWidth = 2.0f;
  float maxStretch = 1.5f;   // widest horizontal stretch relative to the height's scale
  float minStretch = 0.7f;   // narrowest
};

class TextSetter {
 public:
  // Opens the faces: an explicit file first, then what fontconfig offers for the family.
  bool Open();
  void Close();
  // Sets `text` (UTF-8) inside (l, t, r, b), right and bottom exclusive. `serif` picks the
  // display face used for the title.
  bool Fit(Image& img, int l, int t, int r, int b, const std::string& text, const TextStyle& st,
           bool serif = false);
  const std::string& facePath() const { return sansPath_; }

 private:
  void* sans_ = nullptr;
  void* serif_ = nullptr;
  std::string sansPath_, serifPath_;
};

// The font file for a fontconfig pattern, or "" when none matches.
std::string FindFontFile(const char* pattern);

}  // namespace assetgen
