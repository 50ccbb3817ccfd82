#include "platform/font.h"
#include "platform/seams.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "base/text.h"

namespace tu::platform {

const char* const kMinchoFaceName = "標準明朝";
const char* const kGothicFaceName = "標準ゴシック";

struct Font {
  char path[512] = {};
  int index = 0;       // face index inside the file
  int pixelHeight = 0; // the request's height, as the cache key
  int style = 0;       // TTF_STYLE_* bits
  int escapement = 0;
  TTF_Font* ttf = nullptr;
  int cellHeight = 0;
  int ascent = 0;
  int refs = 0;
  uint64_t lastUse = 0;
  uint64_t generation = 0;
};

namespace {

constexpr int kDefaultCellHeight = 16;
constexpr int kCachedFonts = 32;
constexpr int kCachedNames = 32;

struct Resolved {
  char name[kFaceNameBytes + 1] = {};
  char path[512] = {};
  int index = 0;
  bool used = false;
};

// Recently rendered lines: a line drawn every frame (the frame meter) is rendered once.
constexpr int kCachedLines = 8;
struct RenderedLine {
  const Font* font = nullptr;
  uint64_t fontGeneration = 0;
  std::string text;
  std::vector<uint8_t> coverage;
  int width = 0, height = 0;
  uint64_t lastUse = 0;
};

struct FontCache {
  Font fonts[kCachedFonts];
  Resolved names[kCachedNames];
  int nextName = 0;
  uint64_t clock = 0;
  uint64_t generation = 0;  // stamps each opened font, so a reused slot never matches old lines
  RenderedLine lines[kCachedLines];
};
FontCache cache;

// Face names given to font files by AddFontFile.
struct FontFileName {
  char name[kFaceNameBytes + 1] = {};
  char path[512] = {};
  bool used = false;
};
FontFileName fontFiles[kMaxFontFiles];

const FontFileName* FindFontFile(const char* name) {
  for (const FontFileName& f : fontFiles)
    if (f.used && strcmp(f.name, name) == 0) return &f;
  return nullptr;
}

// A resolution cached before a name was given to a file would hide the file.
void ForgetResolutions() {
  for (Resolved& r : cache.names) r = Resolved{};
  cache.nextName = 0;
}

bool StartEngine() {
  if (TTF_WasInit()) return true;
  return TTF_Init() == 0;
}

int KindOf(FcCharSet* cs) {
  if (!cs) return kCharSetAnsi;
  // Hiragana and a common ideograph: a face that has both sets Japanese text.
  if (FcCharSetHasChar(cs, 0x3042) && FcCharSetHasChar(cs, 0x6F22)) return kCharSetJapanese;
  if (!FcCharSetHasChar(cs, 'A') && !FcCharSetHasChar(cs, 'a')) return kCharSetSymbol;
  return kCharSetAnsi;
}

// The best match of a fontconfig pattern string or family name; false when none.
bool MatchPattern(FcPattern* pattern, char* path, int pathSize, int* index,
                  const char* mustHaveFamily) {
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  bool ok = false;
  if (match) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
      ok = true;
      if (mustHaveFamily) {
        // fontconfig always offers some face; only accept one that carries the asked name.
        ok = false;
        FcChar8* family = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
          if (strcasecmp(reinterpret_cast<const char*>(family), mustHaveFamily) == 0) {
            ok = true;
            break;
          }
        }
      }
      if (ok) {
        tu::CopyCut(path, pathSize, reinterpret_cast<const char*>(file));
        int idx = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &idx) != FcResultMatch) idx = 0;
        *index = idx;
      }
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return ok;
}

bool MatchNamed(const char* name, char* path, int pathSize, int* index) {
  FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(name));
  return p && MatchPattern(p, path, pathSize, index, nullptr);
}

bool ResolveUncached(const char* face, char* path, int pathSize, int* index) {
  if (strcmp(face, kMinchoFaceName) == 0) {
    if (MatchNamed("serif:lang=ja", path, pathSize, index)) return true;
  } else if (face[0] && strcmp(face, kGothicFaceName) != 0) {
    FcPattern* p = FcPatternCreate();
    if (p) {
      FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
      if (MatchPattern(p, path, pathSize, index, face)) return true;
    }
  }
  // The Gothic face: the standard name, the empty name and every name nothing matches.
  if (MatchNamed("sans-serif:lang=ja", path, pathSize, index)) return true;
  return MatchNamed("sans-serif", path, pathSize, index);
}

bool Resolve(const char* face, char* path, int pathSize, int* index) {
  char key[kFaceNameBytes + 1];
  tu::CopyCut(key, sizeof key, face ? face : "");
  if (const FontFileName* file = FindFontFile(key)) {
    tu::CopyCut(path, pathSize, file->path);
    *index = 0;
    return true;
  }
  for (const Resolved& r : cache.names) {
    if (r.used && strcmp(r.name, key) == 0) {
      tu::CopyCut(path, pathSize, r.path);
      *index = r.index;
      return true;
    }
  }
  Resolved r;
  if (!ResolveUncached(key, r.path, sizeof r.path, &r.index)) return false;
  tu::CopyCut(r.name, sizeof r.name, key);
  r.used = true;
  cache.names[cache.nextName] = r;
  cache.nextName = (cache.nextName + 1) % kCachedNames;
  tu::CopyCut(path, pathSize, r.path);
  *index = r.index;
  return true;
}

// Chooses the point size whose cell (ascent + descent) is the largest not above `cell`.
void FitCellHeight(TTF_Font* ttf, int cell) {
  int size = std::max(cell, 1);
  TTF_SetFontSize(ttf, size);
  int h = TTF_FontHeight(ttf);
  if (h > cell && h > 0) {
    size = std::max(1, cell * size / h);
    TTF_SetFontSize(ttf, size);
  }
  while (size > 1 && TTF_FontHeight(ttf) > cell) TTF_SetFontSize(ttf, --size);
  for (int tries = 0; tries < 4; ++tries) {
    TTF_SetFontSize(ttf, size + 1);
    if (TTF_FontHeight(ttf) > cell) break;
    ++size;
  }
  TTF_SetFontSize(ttf, size);
}

void DropFont(Font& f) {
  if (f.ttf) TTF_CloseFont(f.ttf);
  f = Font{};
}

}  // namespace

int ListFaces(bool (*visit)(const FaceInfo& face, void* user), void* user) {
  if (!visit) return 0;
  std::vector<FaceInfo> faces;
  FcPattern* all = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
  FcFontSet* set = (all && objects) ? FcFontList(nullptr, all, objects) : nullptr;
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcCharSet* cs = nullptr;
      if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &cs) != FcResultMatch) cs = nullptr;
      int kind = KindOf(cs);
      FcChar8* family = nullptr;
      for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch;
           ++n) {
        FaceInfo info;
        tu::CopyCut(info.family, sizeof info.family, reinterpret_cast<const char*>(family));
        info.charSet = kind;
        auto same = std::find_if(faces.begin(), faces.end(), [&](const FaceInfo& f) {
          return strcmp(f.family, info.family) == 0;
        });
        if (same == faces.end()) {
          faces.push_back(info);
        } else if (kind == kCharSetJapanese ||
                   (kind == kCharSetAnsi && same->charSet == kCharSetSymbol)) {
          // One family over several files: report the widest coverage among them.
          same->charSet = kind;
        }
      }
    }
    FcFontSetDestroy(set);
  }
  if (objects) FcObjectSetDestroy(objects);
  if (all) FcPatternDestroy(all);
  std::sort(faces.begin(), faces.end(),
            [](const FaceInfo& a, const FaceInfo& b) { return strcmp(a.family, b.family) < 0; });
  int calls = 0;
  for (const FaceInfo& f : faces) {
    ++calls;
    if (!visit(f, user)) break;
  }
  return calls;
}

bool ResolveFace(const char* face, char* path, int pathSize) {
  int index = 0;
  return Resolve(face, path, pathSize, &index);
}

Font* OpenFont(const FontRequest& request) {
  if (!StartEngine()) return nullptr;
  char path[512];
  int index = 0;
  if (!Resolve(request.face, path, sizeof path, &index)) return nullptr;
  int style = TTF_STYLE_NORMAL;
  if (request.weight >= 600) style |= TTF_STYLE_BOLD;
  if (request.italic) style |= TTF_STYLE_ITALIC;
  if (request.underline) style |= TTF_STYLE_UNDERLINE;
  int height = request.height == 0 ? kDefaultCellHeight : request.height;
  ++cache.clock;
  for (Font& f : cache.fonts) {
    if (f.ttf && f.index == index && f.pixelHeight == height && f.style == style &&
        f.escapement == request.escapement && strcmp(f.path, path) == 0) {
      ++f.refs;
      f.lastUse = cache.clock;
      return &f;
    }
  }
  // A free slot, else the least recently used font nobody holds.
  Font* slot = nullptr;
  for (Font& f : cache.fonts) {
    if (!f.ttf) {
      slot = &f;
      break;
    }
    if (f.refs == 0 && (!slot || f.lastUse < slot->lastUse)) slot = &f;
  }
  if (!slot) return nullptr;
  DropFont(*slot);
  int startSize = height > 0 ? height : -height;
  TTF_Font* ttf = TTF_OpenFontIndex(path, std::max(startSize, 1), index);
  if (!ttf) return nullptr;
  if (height > 0) FitCellHeight(ttf, height);
  TTF_SetFontStyle(ttf, style);
  TTF_SetFontHinting(ttf, TTF_HINTING_MONO);
  Font& f = *slot;
  tu::CopyCut(f.path, sizeof f.path, path);
  f.index = index;
  f.pixelHeight = height;
  f.style = style;
  f.escapement = request.escapement;
  f.ttf = ttf;
  f.ascent = TTF_FontAscent(ttf);
  f.cellHeight = TTF_FontHeight(ttf);
  f.refs = 1;
  f.lastUse = cache.clock;
  f.generation = ++cache.generation;
  return &f;
}

void CloseFont(Font* font) {
  if (font && font->refs > 0) --font->refs;
}

int FontCellHeight(const Font* font) { return font ? font->cellHeight : 0; }
int FontAscent(const Font* font) { return font ? font->ascent : 0; }
int FontEscapement(const Font* font) { return font ? font->escapement : 0; }
const char* FontFile(const Font* font) { return font ? font->path : ""; }

bool MeasureText(Font* font, const char* utf8, int* width, int* height) {
  if (!font || !font->ttf || !utf8) return false;
  int w = 0, h = 0;
  if (utf8[0] && TTF_SizeUTF8(font->ttf, utf8, &w, &h) != 0) return false;
  if (width) *width = w;
  if (height) *height = font->cellHeight;
  return true;
}

int FitText(Font* font, const char* utf8, int maxWidth, int* width) {
  if (width) *width = 0;
  if (!font || !font->ttf || !utf8 || !utf8[0] || maxWidth <= 0) return 0;
  int extent = 0, count = 0;
  if (TTF_MeasureUTF8(font->ttf, utf8, maxWidth, &extent, &count) != 0) return 0;
  // `count` is in characters: walk that many UTF-8 characters.
  int bytes = 0;
  for (int c = 0; c < count && utf8[bytes]; ++c) {
    ++bytes;
    while ((static_cast<unsigned char>(utf8[bytes]) & 0xC0) == 0x80) ++bytes;
  }
  if (width) {
    std::string part(utf8, static_cast<size_t>(bytes));
    MeasureText(font, part.c_str(), width, nullptr);
  }
  return bytes;
}

bool RenderCoverage(Font* font, const char* utf8, Coverage* out) {
  if (!out) return false;
  *out = Coverage{};
  if (!font || !font->ttf || !utf8 || !utf8[0]) return false;
  ++cache.clock;
  RenderedLine* slot = &cache.lines[0];
  for (RenderedLine& l : cache.lines) {
    if (l.font == font && l.fontGeneration == font->generation && l.text == utf8) {
      l.lastUse = cache.clock;
      out->pixels = l.coverage.data();
      out->width = l.width;
      out->height = l.height;
      out->pitch = l.width;
      return true;
    }
    if (l.lastUse < slot->lastUse) slot = &l;
  }
  // One-bit glyphs, as the host draws text at its default quality: exact colours, and nothing
  // half-transparent around glyphs drawn into colour-keyed sprites.
  SDL_Color white{255, 255, 255, 255};
  SDL_Surface* s = TTF_RenderUTF8_Solid(font->ttf, utf8, white);
  if (!s) return false;
  bool ok = s->format->BitsPerPixel == 8 && s->format->palette;
  if (ok) {
    // The palette's red is the coverage: 0 for the background, 255 for the glyphs.
    uint8_t level[256] = {};
    for (int i = 0; i < s->format->palette->ncolors && i < 256; ++i)
      level[i] = s->format->palette->colors[i].r;
    RenderedLine& l = *slot;
    l.font = font;
    l.fontGeneration = font->generation;
    l.text = utf8;
    l.width = s->w;
    l.height = s->h;
    l.lastUse = cache.clock;
    l.coverage.resize(static_cast<size_t>(s->w) * s->h);
    const uint8_t* src = static_cast<const uint8_t*>(s->pixels);
    for (int y = 0; y < s->h; ++y)
      for (int x = 0; x < s->w; ++x)
        l.coverage[static_cast<size_t>(y) * s->w + x] = level[src[y * s->pitch + x]];
    out->pixels = l.coverage.data();
    out->width = l.width;
    out->height = l.height;
    out->pitch = l.width;
  }
  SDL_FreeSurface(s);
  return ok;
}

void RestrictFontsTo(const char* folder) {
  static FcConfig* systemConfig = nullptr;
  if (!systemConfig) {
    systemConfig = FcConfigGetCurrent();
    if (systemConfig) FcConfigReference(systemConfig);
  }
  ResetFontCache();
  if (!folder) {
    if (systemConfig) FcConfigSetCurrent(systemConfig);
    return;
  }
  FcConfig* only = FcConfigCreate();
  if (!only) return;
  FcConfigAppFontAddDir(only, reinterpret_cast<const FcChar8*>(folder));
  FcConfigSetCurrent(only);  // holds its own reference
  FcConfigDestroy(only);
}

FontFileResult AddFontFile(const char* name, const char* path) {
  if (!name || !path || !StartEngine()) return FontFileResult::Unreadable;
  char key[kFaceNameBytes + 1];
  tu::CopyCut(key, sizeof key, name);
  FontFileName* slot = const_cast<FontFileName*>(FindFontFile(key));
  if (!slot) {
    for (FontFileName& f : fontFiles)
      if (!f.used) {
        slot = &f;
        break;
      }
  }
  // The file must open as a font now: a bad file is reported when it is added, not when text
  // is drawn in it.
  TTF_Font* probe = TTF_OpenFont(path, 12);
  if (!probe) return FontFileResult::Unreadable;
  TTF_CloseFont(probe);
  if (!slot) return FontFileResult::TableFull;
  tu::CopyCut(slot->name, sizeof slot->name, key);
  tu::CopyCut(slot->path, sizeof slot->path, path);
  slot->used = true;
  ForgetResolutions();
  return FontFileResult::Added;
}

void ForgetFontFiles() {
  for (FontFileName& f : fontFiles) f = FontFileName{};
  ForgetResolutions();
}

void ResetFontCache() {
  for (Font& f : cache.fonts)
    if (f.refs == 0) DropFont(f);
  for (Resolved& r : cache.names) r = Resolved{};
  for (RenderedLine& l : cache.lines) l = RenderedLine{};
  cache.nextName = 0;
}

}  // namespace tu::platform
