// Sound packs: many WAV sounds in one file, each split into its format block and samples and
// stored under its upper-cased file name. Building a pack from a folder; loading an entry.
#include <cstdlib>
#include <cstring>
#include <string>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/files.h"
#include "sound/internal.h"

namespace tuSound {

namespace {

char packPath[256];

// The longest name an entry may store, without its zero byte.
constexpr size_t kStoredNameLimit = 255;

bool Read32(FILE* f, uint32_t* v) {
  uint8_t b[4];
  if (fread(b, 1, 4, f) != 4) return false;
  *v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
       static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}


}  // namespace

}  // namespace tuSound

namespace tu::sound {

void UsePackPath(const char* path) { tu::CopyCut(packPath, sizeof packPath, path ? path : ""); }

void UpperAscii(char* s) {
  for (; *s; ++s)
    if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
}

bool FindPackEntry(FILE* f, const char* upper, PackEntryInfo* out) {
  if (fseek(f, 0, SEEK_END) != 0) return false;
  long end = ftell(f);
  if (end < 0 || fseek(f, 0, SEEK_SET) != 0) return false;
  char stored[kStoredNameLimit + 1];
  while (!feof(f)) {
    PackEntryInfo e;
    if (!Read32(f, &e.dataSize)) return false;
    size_t n = 0;
    for (;;) {
      int c = fgetc(f);
      if (c == EOF || n > kStoredNameLimit) return false;
      stored[n++] = static_cast<char>(c);
      if (c == 0) break;
    }
    if (!Read32(f, &e.formatSize)) return false;
    long here = ftell(f);
    if (here < 0) return false;
    // The format block and the samples must both be in the file.
    uint64_t rest = static_cast<uint64_t>(end - here);
    if (static_cast<uint64_t>(e.formatSize) + e.dataSize > rest) return false;
    if (strcmp(stored, upper) == 0) {
      *out = e;
      return true;
    }
    // Each entry is skipped by its own format size, so entries after a non-PCM one stay
    // reachable (a PCM pack has 18 everywhere).
    if (fseek(f, static_cast<long>(e.formatSize) + static_cast<long>(e.dataSize), SEEK_CUR) != 0)
      return false;
  }
  return false;
}

tu::platform::WaveFormat PackFormat::Head() const {
  tu::platform::WaveFormat f;
  memcpy(&f, block, sizeof f);
  return f;
}

bool ReadPackFormat(FILE* f, uint32_t size, PackFormat* format) {
  *format = PackFormat{};
  uint32_t take = size < sizeof format->block ? size : static_cast<uint32_t>(sizeof format->block);
  if (fread(format->block, 1, take, f) != take) return false;
  if (size > take && fseek(f, static_cast<long>(size - take), SEEK_CUR) != 0) return false;
  format->length = take > sizeof(tu::platform::WaveFormat) ? take : sizeof(tu::platform::WaveFormat);
  return true;
}

FILE* OpenPackEntry(const char* context, const char* pack, const char* name, PackEntryInfo* entry,
                    PackFormat* format) {
  FILE* f = pack[0] ? fopen(pack, "rb") : nullptr;
  if (!f) {
    tuSystem::Error(context, kNoPack, 0);
    return nullptr;
  }
  char upper[kNameLength + 1];
  tu::CopyCut(upper, sizeof upper, name);
  UpperAscii(upper);
  if (!FindPackEntry(f, upper, entry) || !ReadPackFormat(f, entry->formatSize, format)) {
    fclose(f);
    tuSystem::Error(context, kCannotReadWave, 0);
    return nullptr;
  }
  return f;
}

}  // namespace tu::sound

namespace tuSound {

void PackPath(const char* name) {
  tu::JoinCut(packPath, sizeof packPath, tuSystem::GetPath(0), name ? name : "", "");
}

const char* CurrentPackPath() { return packPath; }

int LoadPack(const char* name, int mix) {
  const char* context = "tuSound::LoadPack";
  if (!snd.available) return -1;
  if (!name) name = "";
  if (mix > kMaxChannels || mix < -kMaxChannels) {
    tuSystem::Error(context, "ミックス数が多過ぎます", 0);
    return -1;
  }
  int e = detail::EntryForLoad(context, name, "ファイル名が長すぎます");
  if (e < 0) return -1;
  detail::PackEntryInfo entry;
  detail::PackFormat format;
  FILE* f = detail::OpenPackEntry(context, packPath, name, &entry, &format);
  if (!f) return -1;
  auto* data = static_cast<uint8_t*>(malloc(entry.dataSize > 0 ? entry.dataSize : 1));
  bool read = data && fread(data, 1, entry.dataSize, f) == entry.dataSize;
  fclose(f);
  if (!read) {
    free(data);
    tuSystem::Error(context, detail::kCannotReadWave, 0);
    return -1;
  }
  SoundObject& o = snd.objects[e];
  int result = detail::MakeBuffers(o, format.block, format.length, data, entry.dataSize, mix);
  free(data);
  if (result != 0) {
    // A fresh entry stays free and as it was.
    if (!snd.rebuilding) o = SoundObject{};
    tuSystem::Error(context, "サウンドバッファが生成できません", result);
    return -1;
  }
  o.used = 1;
  o.fromPack = 1;
  o.stream.dataSize = 0;
  if (!snd.rebuilding) tu::CopyCut(o.name, sizeof o.name, name);
  return e;
}

void WritePackEntry(const char* pack, const char* name) {
  if (!pack || !name) return;
  std::string base = tuSystem::GetPath(0);
  uint8_t* format = nullptr;
  uint8_t* data = nullptr;
  int formatLength = 0, dataSize = 0;
  if (ReadWave((base + name).c_str(), &format, &formatLength, &data, &dataSize) != 0) return;
  // The entry's name is the file name alone, upper-cased. The file itself is read by its own
  // spelling, since the file system tells cases apart.
  const char* slash = strrchr(name, '/');
  std::string stored = slash ? slash + 1 : name;
  detail::UpperAscii(stored.data());
  std::string entry;
  Put32(entry, static_cast<uint32_t>(dataSize));
  entry.append(stored.c_str(), stored.size() + 1);
  Put32(entry, static_cast<uint32_t>(formatLength));
  entry.append(reinterpret_cast<const char*>(format), static_cast<size_t>(formatLength));
  entry.append(reinterpret_cast<const char*>(data), static_cast<size_t>(dataSize));
  if (FILE* f = fopen((base + pack).c_str(), "ab")) {
    fwrite(entry.data(), 1, entry.size(), f);
    fclose(f);
  }
  free(format);
  free(data);
}

int MakePack(const char* pack, const char* folder, int replace) {
  if (!pack) return 1;
  if (!folder) folder = "";
  std::string base = tuSystem::GetPath(0);
  if (replace) remove((base + pack).c_str());
  std::string dir = *folder ? base + folder : base;
  for (const std::string& file : tu::platform::ListFiles(dir, "*.WAV")) {
    std::string relative = *folder ? std::string(folder) + "/" + file : file;
    WritePackEntry(pack, relative.c_str());
  }
  return 1;
}

}  // namespace tuSound
