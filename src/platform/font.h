#pragma once
#include <cstdint>

// Fonts: the installed faces as fontconfig lists them, opened through SDL2_ttf at a height in
// pixels. The two standard Japanese face names map to the installed Mincho and Gothic faces;
// any other name is matched by fontconfig and falls back to the Gothic face.
namespace tu::platform {

// Character-set kinds reported for a face, from what it covers.
constexpr int kCharSetAnsi = 0;
constexpr int kCharSetSymbol = 2;
constexpr int kCharSetJapanese = 128;

// Face names hold at most this many bytes (cut on a character boundary).
constexpr int kFaceNameBytes = 31;

// The standard face names, UTF-8.
extern const char* const kMinchoFaceName;  // "標準明朝"
extern const char* const kGothicFaceName;  // "標準ゴシック"

struct FaceInfo {
  char family[kFaceNameBytes + 1] = {};
  int charSet = kCharSetAnsi;
};

// Calls `visit` for every installed family name, in byte order of the names, until it returns
// false. Returns the number of calls made.
int ListFaces(bool (*visit)(const FaceInfo& face, void* user), void* user);

// What a font is created from.
struct FontRequest {
  char face[kFaceNameBytes + 1] = {};
  int height = 0;      // > 0: cell height in pixels; < 0: character (em) height; 0: default
  int weight = 0;      // 0 default (normal); 600 and above bold
  bool italic = false;
  bool underline = false;
  int escapement = 0;  // text direction in tenths of a degree, anticlockwise
};

struct Font;

// Opens the font, shared with earlier requests of the same face, size and style. Null only when
// no font at all can be opened (no face installed, or the font engine cannot start).
Font* OpenFont(const FontRequest& request);
void CloseFont(Font* font);

int FontCellHeight(const Font* font);  // the height of a rendered line
int FontAscent(const Font* font);
int FontEscapement(const Font* font);

// Extent of a UTF-8 string: width of its advance and the cell height. False for null arguments.
bool MeasureText(Font* font, const char* utf8, int* width, int* height);
// How many bytes of `utf8` fit in `maxWidth` pixels, ending on a character boundary; the width
// they take goes to `width` when it is not null.
int FitText(Font* font, const char* utf8, int maxWidth, int* width);

// An 8-bit coverage picture of a string (0 empty .. 255 full), cell-high, owned by the font
// module until the next RenderCoverage call. Recent lines are kept: drawing the same line again
// renders nothing and allocates nothing.
struct Coverage {
  const uint8_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
};
// False when there is nothing to draw (empty string, no font, render failure).
bool RenderCoverage(Font* font, const char* utf8, Coverage* out);

// Drops every cached face and resolution (fonts still held stay valid until closed).
void ResetFontCache();

// Font files of the program's own: `name` becomes a face name that resolves to the file at
// `path` before any installed face is asked. Adding a name again points it at the new file.
constexpr int kMaxFontFiles = 16;
enum class FontFileResult { Added, Unreadable, TableFull };
// Unreadable when the file cannot be opened as a font (missing, not a font, no font engine).
FontFileResult AddFontFile(const char* name, const char* path);
// Forgets every font file name (fonts opened from them stay valid until closed).
void ForgetFontFiles();

}  // namespace tu::platform
