#pragma once
// Helpers shared by the tuSound sources.
#include <cstdio>

#include <tu/tuSound.h>

#include "platform/audio.h"

namespace tu::sound {

using namespace ::tuSound;

// Messages more than one loader gives.
inline constexpr char kNoPack[] = "パックファイル名が指定されていません";
inline constexpr char kCannotReadWave[] = "WAVEファイルを読み込めません";


// The object of a used entry, or null for an id out of range, a free entry or no sound.
SoundObject* UsedObject(int id);
// Stops, releases and nulls every buffer of the object; its settings stay.
void ReleaseBuffers(SoundObject& o);
// Re-creates the buffers of every used entry in place, from its stored name and settings.
void Rebuild();

// The entry a loader fills: the lowest free one, or while rebuilding the entry being rebuilt.
// Reports under `context` (a name longer than the table holds, with `tooLong`; a full table)
// and returns -1 when there is none.
int EntryForLoad(const char* context, const char* name, const char* tooLong);

// Makes `path` (a full path) the current pack path, as a rebuilt stream needs.
void UsePackPath(const char* path);

// One sound pack entry found by FindPackEntry.
struct PackEntryInfo {
  uint32_t dataSize = 0, formatSize = 0;
};
// Searches the open pack from its start for the entry `upper` (already upper-cased). On
// success the file stands at the entry's format block. Sizes beyond what the file holds and
// names without a zero byte within the limit end the search.
bool FindPackEntry(FILE* f, const char* upper, PackEntryInfo* out);
// A pack entry's format block: as much of it as any buffer format needs (the extensible form is
// the longest), at least the 18 bytes of the plain form (missing bytes are zero).
struct PackFormat {
  uint8_t block[tu::platform::kExtensibleFormatBytes] = {};
  uint32_t length = 0;
  tu::platform::WaveFormat Head() const;
};
// Reads a format block of `size` bytes; the file then stands at the entry's samples.
bool ReadPackFormat(FILE* f, uint32_t size, PackFormat* format);
// Opens the pack at `pack` and finds the entry `name` (any case) with its format: the file then
// stands at the entry's samples. Null after a report under `context` (no pack, or no such
// readable entry).
FILE* OpenPackEntry(const char* context, const char* pack, const char* name, PackEntryInfo* entry,
                    PackFormat* format);
// The format block of a WAV file and where its samples lie (their file offset and size),
// without reading them. False for anything ReadWave refuses.
bool LocateWave(const char* path, PackFormat* format, uint32_t* offset, uint32_t* size);
// Lets go of what a stream of entry `id` holds open besides its buffer (an Ogg Vorbis decoder).
void CloseStreamSource(int id);
// Upper-cases ASCII letters; other bytes stay.
void UpperAscii(char* s);
// Creates the |mix| buffers of entry `o` from the samples, as the WAV loader does (fresh
// settings, or the stored ones while rebuilding). 0, or the failing call's result code after
// the buffers are released again.
int MakeBuffers(SoundObject& o, const void* format, uint32_t formatBytes, const uint8_t* samples,
                uint32_t bytes, int mix);
// Settings of a channel whose buffer was just created: fresh ones (the buffer's frequency,
// full volume, centre), or while rebuilding the stored ones given back to the new buffer.
void SettleChannel(SoundObject& o, SoundChannel& channel);

}  // namespace tu::sound

namespace tuSound {
namespace detail = tu::sound;
}  // namespace tuSound
