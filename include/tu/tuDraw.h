#pragma once
#include <cstdint>

#include <tu/types.h>

// Opaque to games: the library's platform layer defines it, and its header is not installed.
namespace tu::platform {
struct Surface;
}

// tuDraw: display, sprites, drawing into the back buffer, text, primitives, effects, frame end.
//
// What a game calls, most of it every frame:
//   Screen                           the back buffer, once, in the loader
//   LoadObject, LoadPack             pictures into sprite ids
//   Clear, Draw, DrawScaled          the picture, sprite by sprite
//   Rect, Line, FillCircle, FillPolygon   shapes, in tu::Rgb colours (<tu/types.h>)
//   BeginText, Text, TextBox, EndText     text
//   Present                          show the frame (ends every scene)
//   FadeOut, FadeIn, SaveScreen      transitions; a capture
// The effect blitters are in <tu/effects.h>; the lookup tables they read, with the other
// workings of the display, in <tu/internal/draw.h>. Both are included at the end.
namespace tuDraw {

constexpr int kMaxSprites = 1024;
constexpr int kFirstFreeSprite = 4;  // 0..3 are the internal sprites
constexpr int kMaxNameLength = 30;

// Where Screen puts the back buffer and the internal sprites (`memoryMode`). The Font sprites
// (2 and 3) are in system memory in every mode.
constexpr int kScreenSystemMemory = 0;  // all in system memory (any value but 1 and 3)
constexpr int kScreenVideoMemory = 1;   // all where the driver places them (video memory)
constexpr int kScreenMixedMemory = 3;   // as kScreenVideoMemory, sprites 0 and 1 in system memory
// Where a sprite's surface goes (`memoryKind` of the loaders). The table records kVideoMemory,
// whatever the loader was given.
constexpr int kSystemMemory = 1;  // system memory (any value but 2)
constexpr int kVideoMemory = 2;   // where the driver places it (video memory)
// A sprite's colour key that is the colour of its image's top-left pixel.
constexpr int kColorKeyFromCorner = -1;

// One entry of the sprite table. A free entry has an empty name.
struct SpriteObject {
  tu::platform::Surface* surface = nullptr;
  char name[32] = {};  // file or resource name; "*" for a blank sprite
  int fromPack = 0;
  int memoryKind = kVideoMemory;
  int colorKey = 0;  // host colour value (0x00BBGGRR), or kColorKeyFromCorner
  uint16_t width = 0, height = 0;
};

// One colour channel of the back buffer's pixel format.
struct Channel {
  uint32_t mask = 0;
  uint16_t shift = 0;     // trailing zero bits of the mask
  uint32_t max = 0;       // mask >> shift: 31 or 63 at 16 bits
  uint16_t shift5 = 0;    // where a 5-bit intensity goes: shift + 1 for a 6-bit channel
};

struct PixelFormatInfo {
  Channel red, green, blue;
  uint32_t halfMask = 0;  // every channel without its top bit
  uint32_t fullMask = 0;  // every channel bit
  int bitsPerPixel = 0;
};

// Display, sprite, transition and wipe state read by the shell's frame loop and keyboard polling.
struct DrawState {
  int screenWidth = 0, screenHeight = 0;
  int displayDepth = 16;  // asked of a full-screen display; the desktop's depth when windowed
  int fallbackDepth1 = 0, fallbackDepth2 = 0;
  int hardwareDevice = 0;
  int canStretch = 0;
  int displayOpen = 0;  // the platform display (primary surface) exists
  tu::platform::Surface* backSurface = nullptr;
  tu::Rect clipRect;
  tu::Rect presentSourceRect;
  int waitForVBlank = 1;
  PixelFormatInfo pixelFormat;
  // Sprites and the colour-key setting for images put into sprites
  SpriteObject sprites[kMaxSprites];
  int colorKeyValue = 0;
  int colorKeyFromCorner = 0;
  // Transitions and the scrolling view
  int fadeStep = 0, fadeDirection = 0, fadePattern = 0, fadeBand = 10;
  int fadeTileSprite = 0;
  int scrollViewOn = 0;
  int viewHeight = 0;
  float scrollPos = 0.0f, scrollTileX = 0.0f, scrollTileY = 0.0f;
  int viewSprite = 0, viewTileSprite = 0;
  // Clip-rectangle wipe
  int wipeState = 0, wipeDone = 0, wipeAux = 0;
  tu::Rect wipeSaved;
  int wipeDirection = 0, wipePattern = 0, wipeBand = 0;
  float wipeSpeed = 0.0f;
};
extern DrawState draw;

// ---- Display
// Screen's width that stands for the window's size (width and height from the shell).
constexpr int kWindowSize = -1;
// The largest width or height Screen takes.
constexpr int kMaxScreenSide = 4096;
// Sets up a back buffer of width x height, the internal sprites, the pixel format and tables,
// then starts the other services. width kWindowSize takes the shell's window size; any other
// size also becomes the window's: its client area shows the back buffer at the largest whole
// factor whose window fits the display's usable area (a window that cannot fit at all shows
// it reduced). memoryMode kScreen...Memory. 1, or 0 after a reported failure; a width or
// height outside 1..kMaxScreenSide is refused that way, before anything changes.
int Screen(int width, int height, int memoryMode);
// The pixel value of a colour in the back buffer's layout (see tu::Pixel565): the value
// FillRectValue, DrawNoise, SmokeFeed and DrawRotateColor take. 0 before Screen.
int PixelOf(int red, int green, int blue);
// Frees every sprite and the display.
void Release();
void SetDepths(int depth, int fallback1, int fallback2);
void SetClip(int left, int top, int right, int bottom);
void SetVSync(int on);
int DesktopDepth();

// ---- Sprites (ids 0..1023; anything else is ignored); memoryKind kVideoMemory or kSystemMemory
// Loads a BMP file beside the program, else a bitmap resource of that name. Sprite id or 0.
// A PNG file (told by its first bytes, whatever its name) loads as well: one with transparency
// (an alpha channel, a transparent palette entry or colour) is blended pixel by pixel by Draw,
// DrawTo, DrawScaled and the row effects built on them, and its colour key is not used; the
// opaque draws copy its colours alone. One without transparency is drawn like a BMP, colour key
// included. A PNG that cannot be decoded is reported with its name. SwapObject and Restore
// load PNG files the same way.
int LoadObject(const char* name, int memoryKind);
// A blank (black) sprite. Sprite id or 0.
int CreateObject(int width, int height, int memoryKind);
// Replaces the image of an existing entry, keeping its id. 1, or 0 after a report.
int SwapObject(const char* name, int id, int memoryKind);
void DeleteObject(int id);
// Brings every surface back after a loss and reloads every file sprite.
void Restore();
void SetColorKey(int colorref);
void SetColorKeyFromCorner();
void SetObjectColorKey(int id, int colorref);
void SetObjectColorKeyFromCorner(int id);
void CopyColorKey(int destId, int sourceId);

// ---- Picture packs (entries of 16-bit 5-5-5 pixels under upper-cased file names)
// The pack file, relative to the program folder, that LoadPack, SwapPack and Restore read.
void SetPackFile(const char* name);
const char* PackFile();  // the full path, empty before SetPackFile
// Loads an entry (any case) into a new sprite. Sprite id, or 0 after a report.
int LoadPack(const char* name, int memoryKind);
// Loads an entry into sprite `id`, keeping the id. The id, or 0 after a report.
int SwapPack(const char* name, int id, int memoryKind);
// Appends every BMP of `folder` ("" = the program folder) to the pack, emptied first when
// `startAfresh`. Needs a desktop of more than 16 bits. 1, or 0 after a report.
int Convert(const char* packName, const char* folder, int startAfresh);

// ---- Drawing into the back buffer; every draw clips against clipRect
void Clear();
void ClearObject(int id);
void Draw(int x, int y, int id, int left, int top, int right, int bottom);
void DrawOpaque(int x, int y, int id, int left, int top, int right, int bottom);
void DrawTo(int destId, int x, int y, int id, int left, int top, int right, int bottom);
void DrawToOpaque(int destId, int x, int y, int id, int left, int top, int right, int bottom);
void DrawScaled(int x, int y, int id, int left, int top, int right, int bottom, int width,
                int height);
void DrawScaledOpaque(int x, int y, int id, int left, int top, int right, int bottom, int width,
                      int height);
// Row effects (one source row per copy).
void DrawWave(int x, int y, int amplitude, int period, float speed, int id, int left, int top,
              int right, int bottom, int alternate);
void DrawTiled(float speedX, float speedY, int id, int left, int top, int right, int bottom);
void DrawWaveScroll(int x, int y, int amplitude, int period, float waveSpeed, float scrollSpeed,
                    int id, int left, int top, int right, int bottom);
void DrawWaveColumns(int topY, int bottomY, int amplitude, int period, float waveSpeed,
                     float scrollSpeed, int id, int left, int top, int right, int bottom);
void DrawStretchRows(int x, int y, int band, int id, int left, int top, int right, int bottom);
void DrawScanlines(int x, int y, int step, int id, int left, int top, int right, int bottom);
void DrawJitter(int x, int y, int jitter, int id, int left, int top, int right, int bottom);
void DrawRoll(int x, int y, int forward, float speed, int id, int left, int top, int right,
              int bottom);
// Bits of DrawMirror's mode: keyed copy, flipped.
constexpr int kMirrorX = 1;  // left to right
constexpr int kMirrorY = 2;  // top to bottom
void DrawMirror(int x, int y, int mode, int id, int left, int top, int right, int bottom);

// ---- Text (UTF-8). A scope holds the back buffer's device context with one font; it must be
// ended before the next begins, and no sprite may be drawn into the back buffer meanwhile.
constexpr int kMaxFonts = 200;
constexpr int kTextBoxRects = 1024;  // entry 0 is the bounding rectangle, then one per character

// Kinds of installed face (FontEntry::kind).
constexpr int kFontEmpty = -1;    // no face in the entry
constexpr int kFontJapanese = 1;  // character set 128
constexpr int kFontOther = 2;
constexpr int kFontSymbol = 3;    // character set 2

// One installed face.
struct FontEntry {
  char faceName[36] = {};
  int kind = kFontEmpty;
  uint8_t charSet = 0;
};

// The font description every scope writes into and creates its font from.
struct FontDescription {
  int height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
  char faceName[32] = {};
};

struct TextState {
  FontDescription fontBlock;
  int fontBlockAllocated = 0;
  FontEntry fonts[kMaxFonts];
  int fontCount = 0;
  int textBoxDraws = 0;
  int fontHeight = 0;
  uint32_t textColor = 0, backColor = 0;
  int scopeOpen = 0;  // 0 none, 1 on the back buffer, 2 on the Font buffer sprite
  tu::Rect charRects[kTextBoxRects];
  int charCount = 0;   // characters laid out by the last text box
  int shownCount = 0;  // RevealText's count
  float revealSeconds = 0.0f;
};
extern TextState text;

// Allocates the font description and lists up to 200 installed faces. 1.
int EnumFonts();
void FreeFonts();
// Faces BeginText and BeginSmoothText take by number.
constexpr int kFaceMincho = 0;  // "標準明朝"
constexpr int kFaceGothic = 1;  // "標準ゴシック"
constexpr int kFaceLast = -1;   // the face chosen last (any other number)
// Weights of BeginText.
constexpr int kWeightNormal = 0;
constexpr int kWeightBold = 1;
constexpr int kWeightDefault = -1;  // the font's own (any other number)
// Alignments of TextRect.
constexpr int kAlignLeft = 0;
constexpr int kAlignCentre = 1;
constexpr int kAlignRight = 2;
// Style bits of the text boxes; the low byte is extra spacing between lines in pixels.
constexpr int kTextLineSpacing = 0xFF;    // mask of the line spacing
constexpr int kTextShadow = 0x100;        // a shadow in the back colour, one pixel right and down
constexpr int kTextDoubleRight = 0x200;   // each character drawn twice, the second one pixel right
constexpr int kTextDoubleDown = 0x400;    // each character drawn twice, the second one pixel down

// face kFace..., weight kWeight...; angle in degrees.
void BeginText(int face, int height, int angle, int weight, int italic, int underline);
void BeginTextFace(const char* faceName, int height, int angle, int weight, int italic,
                   int underline);
void SetTextColors(uint32_t textColor, uint32_t backColor, int transparent);
void Text(int x, int y, const char* text);
// align kAlignLeft, kAlignCentre or kAlignRight (anything else draws nothing); words wrap.
// Returns the height of the text.
int TextRect(int left, int top, int right, int bottom, const char* text, int align);
// The height the text takes in the rectangle, drawing nothing.
int MeasureTextRect(int left, int top, int right, int bottom, const char* text);
void EndText();
// One-call white-on-blue text in the Gothic face, 12 pixels high.
void PrintAt(int x, int y, const char* text);
void PrintFormat(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Lays text out from (x, y) within the right and bottom limits into the Font sprite and draws
// it. style: kTextShadow, kTextDoubleRight, kTextDoubleDown and the extra line spacing (0..255).
void TextBox(int x, int y, int rightLimit, int bottomLimit, const char* text, int style);
void TextBoxLayout(int x, int y, int rightLimit, int bottomLimit, const char* text, int style);
// The same, rendered at twice the size into the Font buffer sprite and reduced for smooth edges
// (inside a smooth scope). The doubled box must fit the screen-sized buffer: up to half the
// screen's width and height from (x, y).
void TextBoxSmooth(int x, int y, int rightLimit, int bottomLimit, const char* text, int style);
void TextBoxSmoothLayout(int x, int y, int rightLimit, int bottomLimit, const char* text,
                         int style);
void BeginSmoothText(int face, int height);
void BeginSmoothTextFace(const char* faceName, int height);
void EndSmoothText();
// Makes a TrueType or OpenType font file beside the program ("fonts/title.ttf") a face that
// BeginTextFace and BeginSmoothTextFace take by that same name, ahead of any installed face.
// Up to kMaxFontFiles names; loading a name again reads its file again. The faces stay until
// the program ends. 1, or 0 after a report: a name longer than 30 characters, a file that is
// missing or not a font, or no room left.
constexpr int kMaxFontFiles = 16;
int LoadFont(const char* fileName);
// The size of one line of text as Text draws it in the open scope's font: its advance width
// and the line's height, in screen pixels (a smooth scope's doubled font is measured at the
// size it is shown at). 1, or 0 with both sizes 0 outside a scope. Either pointer may be null.
int MeasureText(const char* text, int* width, int* height);
// Shows the last text box one more character each `secondsPerChar`; 1 once it is all shown.
int RevealText(float secondsPerChar);

// ---- Primitives on the back buffer (clipped to the surface, not to clipRect) and capture.
// Colours are host colour values 0x00BBGGRR.
struct Point {
  int x = 0, y = 0;
};
void GetPixel(int x, int y, int* red, int* green, int* blue);
void SetPixel(int x, int y, uint32_t color);
// From (x1, y1) to (x2, y2) without the end point.
void Line(int x1, int y1, int x2, int y2, uint32_t color, int width);
void Rect(int left, int top, int right, int bottom, uint32_t fill, uint32_t edge, int width);
// Cubic curves through 1 + 3n points.
void Bezier(const Point* points, int count, uint32_t color, int width);
// Fills of Polygon.
constexpr int kHatchNone = 0;         // the outline alone
constexpr int kHatchOpaque = 1;       // a diagonal cross hatch, gaps in `background` (any other)
constexpr int kHatchTransparent = 2;  // a diagonal cross hatch, gaps left as they are
void Polygon(const Point* points, int count, uint32_t color, uint32_t background, int width,
             int hatch);
void InvertRect(int left, int top, int right, int bottom);
// The edge of Rect alone, the inside left as it is.
void FrameRect(int left, int top, int right, int bottom, uint32_t color, int width);
// A polygon filled in `color`, its edges included (where edges cross, the parts inside an odd
// number of times are filled). Fewer than 3 points draw the edges alone.
void FillPolygon(const Point* points, int count, uint32_t color);
// The ellipse inscribed in the box (right and bottom exclusive): the pixels whose centres lie
// on or inside it. Ellipse draws a ring `width` pixels wide along the inside of its edge;
// FillEllipse fills it. A box of no width or height draws nothing.
void Ellipse(int left, int top, int right, int bottom, uint32_t color, int width);
void FillEllipse(int left, int top, int right, int bottom, uint32_t color);
// The circle around pixel (x, y): the pixels whose centres lie within radius + 1/2 of its
// centre, 2 * radius + 1 pixels across (radius 0 is the pixel itself; a negative radius draws
// nothing). Circle draws a ring `width` pixels wide inside that edge; FillCircle fills it.
void Circle(int x, int y, int radius, uint32_t color, int width);
void FillCircle(int x, int y, int radius, uint32_t color);
// Copies that rectangle of the back buffer to (0, 0) of the sprite.
void GrabScreen(int id, int left, int top, int right, int bottom);
// Writes the top-left width x height of the back buffer as a 24-bit BMP file beside the program,
// or at the path itself when the name begins with "/". 1 when the whole file was written; 0 when
// the back buffer cannot be locked, the file cannot be written, or the desktop is not 16 or 32
// bits deep. No error is reported.
int SaveScreen(const char* fileName, int width, int height);

// ---- Frame end: fade overlay, scrolling view, vertical-blank wait, copy to the window
void Present();
void FadeOut();
void FadeIn();
// Fade patterns: how FadeOut covers the picture in ten steps; FadeIn runs them backwards. All
// but kFadeTile cover it with the Screen sprite (1); bands are `band` rows wide, and the sliding
// and spreading ones move 1/band of the screen a step.
constexpr int kFadeTile = 0;          // the fade tile strip's frames, tiled over the screen
constexpr int kFadeRows = 1;          // more and more of its rows
constexpr int kFadeBands = 2;         // each band filling from its top row
constexpr int kFadeShakingRows = 3;   // as kFadeRows, each row shaken sideways
constexpr int kFadeShakingBands = 4;  // as kFadeBands, each band shaken sideways
constexpr int kFadeFromTop = 5;       // sliding in from above
constexpr int kFadeFromBottom = 6;    // sliding in from below
constexpr int kFadeFromLeft = 7;      // sliding in from the left
constexpr int kFadeFromRight = 8;     // sliding in from the right
constexpr int kFadeCloseRows = 9;     // its halves sliding in from above and below
constexpr int kFadeCloseColumns = 10; // its halves sliding in from the left and the right
constexpr int kFadeSpreadRight = 11;  // spreading from the left edge rightwards
constexpr int kFadeSpreadLeft = 12;   // spreading from the right edge leftwards
// A kFade... pattern, and the band width of the others than kFadeTile (at least 1).
void SetFade(int pattern, int band);
// Loads the fade tile strip: ten 64 x 48 frames side by side.
void SetFadeTile(const char* fileName);
void SetScrollView(const char* viewFile, const char* tileFile, int viewHeight);
void ToggleScrollView();

// ---- Clip-rectangle wipe
// Directions: the clip rectangle opens from the pattern's start to the whole, or closes back.
constexpr int kWipeOpen = 0;
constexpr int kWipeClose = 1;  // any other number
// Patterns, as they open; closing runs them backwards.
constexpr int kWipeRandom = 0;         // one of the patterns below, at random
constexpr int kWipeFromBottom = 1;     // from the bottom edge upwards
constexpr int kWipeFromTop = 2;        // from the top edge downwards
constexpr int kWipeFromRight = 3;      // from the right edge leftwards
constexpr int kWipeFromLeft = 4;       // from the left edge rightwards
constexpr int kWipeFromMiddleRow = 5;  // from the middle row up and down
constexpr int kWipeFromMiddleColumn = 6;  // from the middle column left and right
constexpr int kWipeFromCentre = 7;     // from the centre point every way
constexpr int kWipeTallFirst = 8;  // from a centred row `band` wide: up and down, then sideways
constexpr int kWipeWideFirst = 9;  // from a centred column `band` high: sideways, then up and down
// Starts a wipe whose edges move about `speed` pixels a second; 0 while one runs, else 1.
int StartWipe(int direction, int pattern, float speed, int band);
// Moves the running wipe by the frame's time (0 when none runs, else 1), or by `seconds`: a
// game with a fixed step moves it by the step's length, whatever the display's rate.
int StepWipe();
int StepWipe(float seconds);
void EndWipe();

}  // namespace tuDraw

#include <tu/effects.h>
#include <tu/internal/draw.h>
