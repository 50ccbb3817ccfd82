// Picture packs: many bitmaps in one file, each stored as 16-bit 5-5-5 words under its
// upper-cased file name. Building a pack from a folder, and loading an entry into a sprite.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "base/text.h"
#include "draw/sprite_key.h"
#include "platform/files.h"
#include "platform/surface.h"

namespace tuDraw {

namespace {

char packPath[512];

const char kNoPack[] = "パックファイル名が指定されていません";
const char kCannotRead[] = "BMPファイルを読み込めません";
const char kCannotExpand[] = "サーフェース間で展開できません";

// The longest name an entry may store, without its zero byte.
constexpr size_t kStoredNameLimit = 127;

struct PackEntry {
  uint16_t width = 0, height = 0;
};

// Reads one little-endian 16-bit value; false at the end of the file.
bool Read16(FILE* f, uint16_t* v) {
  uint8_t b[2];
  if (fread(b, 1, 2, f) != 2) return false;
  *v = static_cast<uint16_t>(b[0] | b[1] << 8);
  return true;
}

// Walks the entries from the start of the file until one carries `upper`. On success the file
// stands at the entry's first pixel word. Every size is checked against what the file still
// holds, so a damaged pack ends the search instead of over-reading.
bool FindEntry(FILE* f, const char* upper, PackEntry* out) {
  if (fseek(f, 0, SEEK_END) != 0) return false;
  long end = ftell(f);
  if (end < 0 || fseek(f, 0, SEEK_SET) != 0) return false;
  char stored[kStoredNameLimit + 1];
  while (!feof(f)) {
    PackEntry e;
    if (!Read16(f, &e.width) || !Read16(f, &e.height)) return false;
    size_t n = 0;
    for (;;) {
      int c = fgetc(f);
      if (c == EOF) return false;
      if (n > kStoredNameLimit) return false;  // no zero byte within the limit
      stored[n++] = static_cast<char>(c);
      if (c == 0) break;
    }
    long here = ftell(f);
    long pixels = 2L * e.width * e.height;
    if (here < 0 || pixels > end - here) return false;
    if (strcmp(stored, upper) == 0) {
      *out = e;
      return true;
    }
    if (fseek(f, pixels, SEEK_CUR) != 0) return false;
  }
  return false;
}

// Upper-cases ASCII letters only; other bytes (UTF-8 sequences) stay as they are.
void UpperAscii(char* s) {
  for (; *s; ++s)
    if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
}

// A 5-5-5 word as a pixel of `format`. At 16 bits each 5-bit intensity goes to the top of its
// channel (a 6-bit green keeps its lowest bit 0); at 32 bits it is widened to 8 bits.
uint32_t PackedToPixel(uint16_t word, tu::platform::PixelFormat format) {
  uint32_t r = (word >> 10) & 31, g = (word >> 5) & 31, b = word & 31;
  switch (format) {
    case tu::platform::PixelFormat::Rgb565: return r << 11 | g << 6 | b;
    case tu::platform::PixelFormat::Rgb555: return r << 10 | g << 5 | b;
    case tu::platform::PixelFormat::Xrgb8888:
      return (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
  }
  return 0;
}

// Frees the scratch sprite of a load.
void Discard(int id) {
  if (id >= kFirstFreeSprite) DeleteObject(id);
}

// Fills sprite `target` (already of the entry's size) with the entry's pixels, through a
// scratch sprite and one copy. The file stands at the first pixel word.
int Expand(const char* context, FILE* f, const PackEntry& e, int target) {
  int scratch = CreateObject(e.width, e.height, kVideoMemory);
  if (scratch == 0) return 0;
  tu::platform::Surface* s = draw.sprites[scratch].surface;
  int pitch = 0;
  auto* bits = static_cast<uint8_t*>(tu::platform::Lock(s, &pitch));
  if (!bits) {
    Discard(scratch);
    return 0;
  }
  tu::platform::PixelFormat format = tu::platform::SurfaceFormat(s);
  int bytesPerPixel = format == tu::platform::PixelFormat::Xrgb8888 ? 4 : 2;
  std::vector<uint8_t> row(2u * e.width);
  bool complete = true;
  for (int y = 0; y < e.height; ++y) {
    if (fread(row.data(), 1, row.size(), f) != row.size()) {
      complete = false;  // the size was checked; only a file changed meanwhile gets here
      break;
    }
    uint8_t* line = bits + static_cast<size_t>(y) * pitch;
    for (int x = 0; x < e.width; ++x) {
      uint32_t v = PackedToPixel(static_cast<uint16_t>(row[2 * x] | row[2 * x + 1] << 8), format);
      if (bytesPerPixel == 2) {
        uint16_t p = static_cast<uint16_t>(v);
        memcpy(line + 2 * x, &p, 2);
      } else {
        memcpy(line + 4 * x, &v, 4);
      }
    }
  }
  tu::platform::Unlock(s);
  if (!complete) {
    Discard(scratch);
    return tuSystem::Error(context, kCannotRead, 0);
  }

  SpriteObject& t = draw.sprites[target];
  tu::platform::PixelRect rect{0, 0, e.width, e.height};
  tu::platform::CopyResult result = tu::platform::CopyResult::Invalid;
  for (int attempt = 0; attempt < 10; ++attempt) {
    result = tu::platform::Copy(t.surface, 0, 0, draw.sprites[scratch].surface, rect, false);
    if (result == tu::platform::CopyResult::Ok) break;
    if (result == tu::platform::CopyResult::Lost) Restore();
  }
  Discard(scratch);
  if (result != tu::platform::CopyResult::Ok)
    return tuSystem::Error(context, kCannotExpand, static_cast<int>(result));
  return 1;
}

// Opens the pack and finds `name`; reports and returns null when either fails.
FILE* OpenEntry(const char* context, const char* name, char* upper, size_t upperSize,
                PackEntry* e) {
  FILE* f = packPath[0] ? fopen(packPath, "rb") : nullptr;
  if (!f) {
    tuSystem::Error(context, kNoPack, 0);
    return nullptr;
  }
  tu::CopyCut(upper, upperSize, name);
  UpperAscii(upper);
  if (!FindEntry(f, upper, e)) {
    fclose(f);
    tuSystem::Error(context, kCannotRead, 0);
    return nullptr;
  }
  return f;
}

void Finish(SpriteObject& t, const char* upper, const PackEntry& e) {
  ApplyColorKeySetting(t);
  tu::CopyCut(t.name, sizeof t.name, upper);
  t.fromPack = 1;
  t.memoryKind = kVideoMemory;
  t.width = e.width;
  t.height = e.height;
}

// One pixel as a 5-5-5 word: black stays 0 (transparent); a colour too dark for 5 bits keeps
// blue 1 so that it stays visible.
uint16_t ColorToPacked(uint32_t colorref) {
  if ((colorref & 0xFFFFFF) == 0) return 0;
  uint32_t r = (colorref & 0xFF) >> 3, g = ((colorref >> 8) & 0xFF) >> 3,
           b = ((colorref >> 16) & 0xFF) >> 3;
  if (r == 0 && g == 0 && b == 0) b = 1;
  return static_cast<uint16_t>(r << 10 | g << 5 | b);
}

// Appends the bitmap `relative` (loaded by its own name) under the stored name `stored`.
void AppendEntry(const std::string& packFile, const char* relative, const char* stored) {
  int id = LoadObject(relative, 1);
  if (id == 0) {
    // The failed load keeps its entry taken; a tool run over a folder would use them all up.
    for (int i = kFirstFreeSprite; i < kMaxSprites; ++i) {
      SpriteObject& e = draw.sprites[i];
      if (!e.surface && strcmp(e.name, relative) == 0) {
        e.name[0] = 0;
        break;
      }
    }
    return;
  }
  SpriteObject& s = draw.sprites[id];
  if (FILE* f = fopen(packFile.c_str(), "ab")) {
    std::vector<uint8_t> bytes;
    bytes.reserve(5 + strlen(stored) + 2u * s.width * s.height);
    auto put16 = [&](uint32_t v) {
      bytes.push_back(static_cast<uint8_t>(v));
      bytes.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(s.width);
    put16(s.height);
    bytes.insert(bytes.end(), stored, stored + strlen(stored) + 1);
    tu::platform::PixelFormat format = tu::platform::SurfaceFormat(s.surface);
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x)
        put16(ColorToPacked(
            tu::platform::PixelToColorref(format, tu::platform::ReadPixel(s.surface, x, y))));
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  DeleteObject(id);
}

}  // namespace

void SetPackFile(const char* name) {
  tu::JoinCut(packPath, sizeof packPath, tuSystem::GetPath(0), name ? name : "", "");
}

const char* PackFile() { return packPath; }

int LoadPack(const char* name, int memoryKind) {
  const char* context = "tuDraw::LoadPack";
  if (!name) name = "";
  char upper[kMaxNameLength + 1];
  if (strlen(name) > kMaxNameLength) return tuSystem::Error(context, kCannotRead, 0);
  PackEntry e;
  FILE* f = OpenEntry(context, name, upper, sizeof upper, &e);
  if (!f) return 0;
  int target = CreateObject(e.width, e.height, memoryKind);
  if (target == 0) {
    fclose(f);
    return 0;
  }
  int ok = Expand(context, f, e, target);
  fclose(f);
  // A failed expansion leaves the target a taken blank sprite, like any failed creating load.
  if (!ok) return 0;
  Finish(draw.sprites[target], upper, e);
  return target;
}

int SwapPack(const char* name, int id, int memoryKind) {
  const char* context = "tuDraw::SwapPack";
  if (id < 0 || id >= kMaxSprites) return 0;
  if (!name) name = "";
  char upper[kMaxNameLength + 1];
  if (strlen(name) > kMaxNameLength) return tuSystem::Error(context, kCannotRead, 0);
  PackEntry e;
  FILE* f = OpenEntry(context, name, upper, sizeof upper, &e);
  if (!f) return 0;
  SpriteObject& t = draw.sprites[id];
  if (t.surface) tu::platform::FreeSurface(t.surface);
  // The entry stays taken while the scratch sprite is created.
  tu::CopyCut(t.name, sizeof t.name, "*");
  t.surface = tu::platform::CreateSurface(e.width, e.height, tu::platform::DesktopPixelFormat(),
                                      memoryKind != kVideoMemory);
  if (!t.surface) {
    fclose(f);
    t.name[0] = 0;
    t.width = t.height = 0;
    return tuSystem::Error(context, "スプライトを作成できません", 0);
  }
  int ok = Expand(context, f, e, id);
  fclose(f);
  if (!ok) {
    // The entry stays a pack sprite, so that a later restore tries it again.
    tu::CopyCut(t.name, sizeof t.name, upper);
    t.fromPack = 1;
    return 0;
  }
  Finish(t, upper, e);
  return id;
}

int Convert(const char* packName, const char* folder, int startAfresh) {
  const char* context = "tuDraw::Convert";
  if (DesktopDepth() <= 16) return tuSystem::Error(context, "画面をフルカラーにして下さい", 0);
  if (!packName) packName = "";
  if (!folder) folder = "";
  std::string base = tuSystem::GetPath(0);
  std::string packFile = base + packName;
  if (startAfresh) remove(packFile.c_str());
  std::string dir = *folder ? base + folder : base;
  for (const std::string& file : tu::platform::ListFiles(dir, "*.BMP")) {
    std::string relative = *folder ? std::string(folder) + "/" + file : file;
    // The stored name is the file name alone, upper-cased; the file is opened by its own
    // spelling, since the file system tells cases apart.
    std::string stored = file;
    UpperAscii(stored.data());
    AppendEntry(packFile, relative.c_str(), stored.c_str());
  }
  return 1;
}

}  // namespace tuDraw
