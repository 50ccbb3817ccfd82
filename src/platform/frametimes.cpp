#include "platform/frametimes.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/dialog.h"

namespace tu::platform {
namespace {

struct Frame {
  int64_t presentUs;
  int64_t pollUs;
};

struct Record {
  bool on = false;
  std::string path;
  std::string presentPath;
  int refreshHz = 0;
  int64_t startSteadyUs = 0, startEpochUs = 0;
  // Left uninitialised: only the pages that frames fill become resident.
  std::unique_ptr<Frame[]> frames;
  size_t capacity = 0, count = 0;
  bool full = false;
  int64_t lastPollUs = 0;
  // The sessions written so far by this process and the file they went to: a later display
  // session on the same file is added after them.
  int sessions = 0;
  std::string writtenPath;
};
Record record;

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t EpochUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void StartFrameRecord(const char* path, const char* presentPath, int refreshHz) {
  FinishFrameRecord();
  if (!path || !*path) return;
  const int hz = refreshHz > 60 ? refreshHz : 60;
  record.capacity = static_cast<size_t>(hz) * 3600;
  record.frames.reset(new (std::nothrow) Frame[record.capacity]);
  if (!record.frames) {
    fprintf(stderr, "%s: no memory for the frame-time record; nothing is recorded\n", ProgramName());
    return;
  }
  record.on = true;
  record.path = path;
  record.presentPath = presentPath ? presentPath : "none";
  record.refreshHz = refreshHz;
  record.count = 0;
  record.full = false;
  record.lastPollUs = 0;
  record.startSteadyUs = SteadyUs();
  record.startEpochUs = EpochUs();
}

bool FrameRecordOn() { return record.on; }

void NoteEventPump() {
  if (record.on) record.lastPollUs = SteadyUs();
}

void NotePresent() {
  if (!record.on) return;
  if (record.count == record.capacity) {
    record.full = true;
    return;
  }
  record.frames[record.count++] = {SteadyUs(), record.lastPollUs};
}

bool FinishFrameRecord() {
  if (!record.on) return true;
  record.on = false;
  bool written = false;
  const bool more = record.sessions > 0 && record.writtenPath == record.path;
  if (FILE* f = fopen(record.path.c_str(), more ? "a" : "w")) {
    if (!more) record.sessions = 0;
    fprintf(f, "# frame times, session %d: PRESENT_US POLL_US, steady clock in microseconds\n",
            record.sessions + 1);
    fprintf(f, "# path %s refresh_hz %d steady_us %lld epoch_us %lld frames %zu%s\n",
            record.presentPath.c_str(), record.refreshHz,
            static_cast<long long>(record.startSteadyUs),
            static_cast<long long>(record.startEpochUs), record.count,
            record.full ? " full" : "");
    for (size_t i = 0; i < record.count; ++i)
      fprintf(f, "%lld %lld\n", static_cast<long long>(record.frames[i].presentUs),
              static_cast<long long>(record.frames[i].pollUs));
    written = !ferror(f);
    written = fclose(f) == 0 && written;
    if (written) {
      ++record.sessions;
      record.writtenPath = record.path;
    }
  }
  if (!written)
    fprintf(stderr, "%s: cannot write the frame-time record %s: %s\n", ProgramName(),
            record.path.c_str(), strerror(errno));
  record.frames.reset();
  record.capacity = record.count = 0;
  return written;
}

}  // namespace tu::platform
