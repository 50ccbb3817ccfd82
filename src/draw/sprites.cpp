// The sprite table: loading BMP and PNG pictures, blank sprites, swapping images, colour keys, and the
// restore after a surface loss.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tu/tuDraw.h>
#include <tu/tuSystem.h>

#include "base/text.h"
#include "draw/sprite_key.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/bmp.h"
#include "platform/png.h"
#include "platform/surface.h"

namespace tu::draw {

void ApplyColorKeySetting(tuDraw::SpriteObject& e) {
  using tuDraw::draw, tuDraw::kColorKeyFromCorner;
  if (!e.surface) return;
  if (draw.colorKeyFromCorner) {
    tu::platform::SetColorKey(e.surface, tu::platform::MatchColor(e.surface, kColorKeyFromCorner));
    e.colorKey = kColorKeyFromCorner;
  } else {
    tu::platform::SetColorKey(e.surface, tu::platform::MatchColor(e.surface, draw.colorKeyValue));
    e.colorKey = draw.colorKeyValue;
  }
}

}  // namespace tu::draw

namespace tuDraw {

namespace {
const char kTooLong[] = "ファイル名またはリソース名が長すぎます";
const char kTooMany[] = "オブジェクト数が多過ぎます";
const char kCannotRead[] = "BMPファイルを読み込めません";
const char kLongName[] = "the name is longer than 30 characters";
const char kNoFreeSprite[] = "all 1020 sprites are in use";

bool ValidId(int id) { return id >= 0 && id < kMaxSprites; }

// kVideoMemory lets the host place the surface; every other kind asks for system memory.
bool SystemMemory(int memoryKind) { return memoryKind != kVideoMemory; }

int FirstFreeEntry() {
  for (int i = kFirstFreeSprite; i < kMaxSprites; ++i)
    if (draw.sprites[i].name[0] == 0) return i;
  return -1;
}

void TakeSize(SpriteObject& e) {
  e.width = static_cast<uint16_t>(tu::platform::SurfaceWidth(e.surface));
  e.height = static_cast<uint16_t>(tu::platform::SurfaceHeight(e.surface));
}

// What a load met: the picture, nothing usable, or a PNG picture it could not decode.
enum class Loaded { Ok, Missing, BrokenPng };

// A picture's bytes, told apart by their first bytes whatever the name says: PNG by its
// signature, anything else as BMP. A resource holds a BMP without its file header, or a whole
// PNG file.
tu::platform::Surface* Decode(const std::vector<uint8_t>& bytes, bool resource, int memoryKind,
                              Loaded* met) {
  tu::platform::PixelFormat format = tu::platform::DesktopPixelFormat();
  if (tu::platform::IsPng(bytes.data(), bytes.size())) {
    tu::platform::Surface* s =
        tu::platform::DecodePng(bytes.data(), bytes.size(), format, SystemMemory(memoryKind));
    if (!s) *met = Loaded::BrokenPng;
    return s;
  }
  return resource ? tu::platform::DecodeBmpResource(bytes.data(), bytes.size(), format,
                                                     SystemMemory(memoryKind))
                  : tu::platform::DecodeBmp(bytes.data(), bytes.size(), format,
                                            SystemMemory(memoryKind));
}

// A resource named by the full path wins over the file, as the host's image loader has it.
tu::platform::Surface* LoadBitmapSurface(const std::string& path, int memoryKind, Loaded* met) {
  if (const auto* res = tu::platform::FindResource("BITMAP", path))
    return Decode(*res, true, memoryKind, met);
  std::vector<uint8_t> bytes;
  if (!tu::platform::ReadFile(path, bytes)) return nullptr;
  return Decode(bytes, false, memoryKind, met);
}

tu::platform::Surface* LoadBitmapResource(const char* name, int memoryKind, Loaded* met) {
  const auto* res = tu::platform::FindResource("BITMAP", name);
  if (!res) return nullptr;
  return Decode(*res, true, memoryKind, met);
}

// Why the picture `name` did not load, in English, for the report.
std::string PictureProblem(const char* name) {
  tu::platform::FileCheck c = tu::platform::CheckFile(std::string(tuSystem::GetPath(0)) + name);
  if (c.missing && tu::platform::FindResource("BITMAP", name)) return "the bitmap resource is damaged";
  if (!c.problem.empty()) return c.problem;
  if (c.headBytes < 2 || c.head[0] != 'B' || c.head[1] != 'M') return "not a picture (neither a BMP nor a PNG file)";
  return "damaged or unsupported BMP file";
}

// Reports a failed picture load under its name.
int PictureError(const char* context, const char* message, const char* name, const std::string& reason) {
  return tuSystem::LoadError(context, message, "picture", name, reason.c_str());
}

// File beside the program, else a bitmap resource of that name; the key is applied after the
// image is in, on both paths, so a corner key always sees the picture.
Loaded LoadInto(SpriteObject& e, const char* name, int memoryKind) {
  std::string path = std::string(tuSystem::GetPath(0)) + name;
  Loaded met = Loaded::Missing;
  e.surface = LoadBitmapSurface(path, memoryKind, &met);
  if (!e.surface) e.surface = LoadBitmapResource(name, memoryKind, &met);
  if (!e.surface) return met;
  TakeSize(e);
  ApplyColorKeySetting(e);
  return Loaded::Ok;
}

// Reports a failed load under the picture's name: a PNG picture that would not decode with
// the PNG message, anything else with the BMP message and what the file turned out to be.
int ReportLoad(const char* context, Loaded met, const char* name) {
  if (met != Loaded::BrokenPng) return PictureError(context, kCannotRead, name, PictureProblem(name));
  char message[96];
  snprintf(message, sizeof message, "PNGファイルを読み込めません (%s)", name);
  return PictureError(context, message, name, "damaged or unsupported PNG file");
}
}  // namespace

int LoadObject(const char* name, int memoryKind) {
  const char* context = "tuDraw::LoadObject";
  if (!name) return tuSystem::Error(context, kCannotRead, 0);
  if (strlen(name) > kMaxNameLength) return PictureError(context, kTooLong, name, kLongName);
  int id = FirstFreeEntry();
  if (id < 0) return PictureError(context, kTooMany, name, kNoFreeSprite);
  SpriteObject& e = draw.sprites[id];
  tu::CopyCut(e.name, sizeof e.name, name);
  e.fromPack = 0;
  e.memoryKind = kVideoMemory;
  Loaded met = LoadInto(e, name, memoryKind);
  if (met != Loaded::Ok) return ReportLoad(context, met, name);
  return id;
}

int CreateObject(int width, int height, int memoryKind) {
  const char* context = "tuDraw::CreateObject";
  int id = FirstFreeEntry();
  if (id < 0) return tuSystem::Error(context, kTooMany, 0);
  SpriteObject& e = draw.sprites[id];
  tu::CopyCut(e.name, sizeof e.name, "*");
  e.fromPack = 0;
  e.memoryKind = kVideoMemory;
  // The size is recorded before the surface exists; a failed creation leaves it in the entry.
  e.width = static_cast<uint16_t>(width);
  e.height = static_cast<uint16_t>(height);
  e.surface = tu::platform::CreateSurface(width, height, tu::platform::DesktopPixelFormat(),
                                      SystemMemory(memoryKind));
  if (!e.surface) return tuSystem::Error(context, "スプライトを作成できません", 0);
  ApplyColorKeySetting(e);
  return id;
}

int SwapObject(const char* name, int id, int memoryKind) {
  const char* context = "tuDraw::SwapObject";
  if (!ValidId(id)) return 0;
  if (!name) return tuSystem::Error(context, kCannotRead, 0);
  if (strlen(name) > kMaxNameLength) return PictureError(context, kTooLong, name, kLongName);
  char copy[sizeof SpriteObject::name];  // the name may be the entry's own
  tu::CopyCut(copy, sizeof copy, name);
  SpriteObject& e = draw.sprites[id];
  if (e.surface) {
    tu::platform::FreeSurface(e.surface);
    e.surface = nullptr;
  }
  tu::CopyCut(e.name, sizeof e.name, copy);
  e.fromPack = 0;
  e.memoryKind = kVideoMemory;
  // A failed load leaves the entry without a surface but with its earlier size.
  Loaded met = LoadInto(e, copy, memoryKind);
  if (met != Loaded::Ok) return ReportLoad(context, met, copy);
  return 1;
}

void DeleteObject(int id) {
  if (!ValidId(id)) return;
  SpriteObject& e = draw.sprites[id];
  if (!e.surface) return;
  tu::platform::FreeSurface(e.surface);
  e.surface = nullptr;
  e.name[0] = 0;
  e.colorKey = 0;
  e.width = e.height = 0;
}

void Restore() {
  tu::platform::RestorePrimary();
  if (tu::platform::IsLost(draw.backSurface)) tu::platform::RestoreSurface(draw.backSurface);
  for (int i = 0; i < kFirstFreeSprite; ++i)
    if (tu::platform::IsLost(draw.sprites[i].surface)) tu::platform::RestoreSurface(draw.sprites[i].surface);
  for (int i = kFirstFreeSprite; i < kMaxSprites; ++i) {
    SpriteObject& e = draw.sprites[i];
    if (e.name[0] == 0 || !e.surface || !tu::platform::IsLost(e.surface)) continue;
    tu::platform::RestoreSurface(e.surface);
    if (e.name[0] == '*') continue;
    SetColorKey(e.colorKey);
    char name[sizeof e.name];
    tu::CopyCut(name, sizeof name, e.name);
    if (e.fromPack)
      SwapPack(name, i, e.memoryKind);
    else
      SwapObject(name, i, e.memoryKind);
  }
}

void SetColorKey(int colorref) {
  draw.colorKeyValue = colorref;
  draw.colorKeyFromCorner = 0;
}

void SetColorKeyFromCorner() { draw.colorKeyFromCorner = 1; }

void SetObjectColorKey(int id, int colorref) {
  if (!ValidId(id)) return;
  SpriteObject& e = draw.sprites[id];
  e.colorKey = colorref;
  if (e.surface) tu::platform::SetColorKey(e.surface, tu::platform::MatchColor(e.surface, colorref));
}

void SetObjectColorKeyFromCorner(int id) { SetObjectColorKey(id, kColorKeyFromCorner); }

void CopyColorKey(int destId, int sourceId) {
  if (!ValidId(destId) || !ValidId(sourceId)) return;
  uint32_t key;
  tu::platform::Surface* src = draw.sprites[sourceId].surface;
  tu::platform::Surface* dst = draw.sprites[destId].surface;
  if (src && dst && tu::platform::GetColorKey(src, &key)) tu::platform::SetColorKey(dst, key);
}

}  // namespace tuDraw
