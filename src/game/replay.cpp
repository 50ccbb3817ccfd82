#include "game/replay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "game/model.h"
#include "game/settings.h"

static_assert(kReplayActions == kActions, "a replay names every action of the settings");

namespace {

const char* const kActionNames[kReplayActions] = {"left", "right", "down", "up", "cw", "ccw", "pause"};
const char* const kModeNames[] = {"one-player", "versus", "computer"};
static_assert(kModeOnePlayer == 0 && kModeVersus == 1 && kModeComputer == 2, "mode words in mode order");

constexpr size_t kWriterReserve = 256u << 10;
constexpr size_t kMaxLine = 200;
constexpr size_t kMaxEvents = 4000000;
constexpr size_t kMaxVersion = 32;
constexpr uint32_t kMaxStep = 0x7fffffffu;
constexpr int kMaxClockMs = 100000;

const char* ModeName(int mode) { return mode >= 0 && mode <= 2 ? kModeNames[mode] : nullptr; }

std::string Hex(uint64_t v) {
  char s[24];
  snprintf(s, sizeof s, "%016" PRIX64, v);
  return s;
}

// ---- Reading

// One line cut into its space-separated fields (views into the line).
struct Fields {
  static constexpr int kMax = 8;
  const char* at[kMax];
  size_t len[kMax];
  int count = 0;
  bool tooMany = false;
  bool emptyField = false;  // two spaces together, or a space at either end
  bool Is(int i, const char* word) const { return len[i] == strlen(word) && memcmp(at[i], word, len[i]) == 0; }
  std::string Str(int i) const { return std::string(at[i], len[i]); }
};

Fields Split(const char* s, size_t n) {
  Fields f;
  size_t start = 0;
  for (size_t i = 0; i <= n; ++i) {
    if (i < n && s[i] != ' ') continue;
    if (i == start) f.emptyField = true;
    if (f.count == Fields::kMax) {
      f.tooMany = true;
      break;
    }
    f.at[f.count] = s + start;
    f.len[f.count] = i - start;
    ++f.count;
    start = i + 1;
  }
  return f;
}

// A field as a player may read it in a message: quoted, cut, odd bytes shown as '?'.
std::string Quote(const char* s, size_t n) {
  constexpr size_t kShown = 24;
  std::string out = "'";
  for (size_t i = 0; i < n && i < kShown; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    out += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
  }
  if (n > kShown) out += "...";
  return out + "'";
}

// Decimal digits only, lo..hi; an optional '-' when lo is negative.
bool Decimal(const char* s, size_t n, int64_t lo, int64_t hi, int64_t* out) {
  bool negative = n > 0 && s[0] == '-' && lo < 0;
  size_t i = negative ? 1 : 0;
  if (i == n || n - i > 12) return false;
  int64_t v = 0;
  for (; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  if (negative) v = -v;
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool Hex16(const char* s, size_t n, uint64_t* out) {
  if (n != 16) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  *out = v;
  return true;
}

// "YYYY-MM-DD hh:mm:ss" (the two fields of a date line).
bool ValidDate(const Fields& f) {
  if (f.count != 3 || f.len[1] != 10 || f.len[2] != 8) return false;
  for (int i = 0; i < 10; ++i)
    if (i == 4 || i == 7 ? f.at[1][i] != '-' : (f.at[1][i] < '0' || f.at[1][i] > '9')) return false;
  for (int i = 0; i < 8; ++i)
    if (i == 2 || i == 5 ? f.at[2][i] != ':' : (f.at[2][i] < '0' || f.at[2][i] > '9')) return false;
  return true;
}

bool ValidVersion(const char* s, size_t n) {
  if (n == 0 || n > kMaxVersion) return false;
  for (size_t i = 0; i < n; ++i)
    if (s[i] <= 0x20 || s[i] >= 0x7f) return false;
  return true;
}

enum HeaderLine { kGame, kRules, kSeed, kClock, kMode, kDifficulty, kComputer, kDate, kHeaderLines };
const char* const kHeaderNames[kHeaderLines] = {"game", "rules", "seed", "clock", "mode", "difficulty", "computer", "date"};

class Parser {
 public:
  Parser(Replay* out, std::string* error) : r_(out), error_(error) {}

  bool Run(const char* data, size_t size) {
    if (size == 0) return Fail("not a replay file (it is empty)");
    if (size > kMaxReplayBytes) return Fail("not a replay file (larger than " + std::to_string(kMaxReplayBytes >> 20) + " MB)");
    for (size_t i = 0; i < size; ++i) {
      unsigned char c = static_cast<unsigned char>(data[i]);
      if ((c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7f) return Fail("not a replay file");
    }
    size_t at = 0;
    while (at < size) {
      const char* nl = static_cast<const char*>(memchr(data + at, '\n', size - at));
      size_t end = nl ? static_cast<size_t>(nl - data) : size;
      size_t n = end - at;
      if (n > 0 && data[at + n - 1] == '\r') --n;
      ++line_;
      if (!Line(data + at, n)) return false;
      at = end + 1;
    }
    if (stage_ != kBody && stage_ != kDone) {
      if (stage_ == kFirst) return Fail("not a replay file");
      return Fail("replay file cut short in its header");
    }
    return true;
  }

 private:
  enum Stage { kFirst, kHeader, kBody, kDone };

  bool Fail(const std::string& message) {
    if (error_) *error_ = message;
    return false;
  }
  bool LineFail(const std::string& message) { return Fail("line " + std::to_string(line_) + ": " + message); }

  bool Line(const char* s, size_t n) {
    if (n > kMaxLine) {
      if (stage_ == kFirst) return Fail("not a replay file");
      return LineFail("longer than " + std::to_string(kMaxLine) + " characters");
    }
    if (stage_ == kFirst) return First(s, n);
    if (stage_ == kDone) return LineFail("text after the end line");
    if (n == 0) return LineFail("an empty line");
    Fields f = Split(s, n);
    if (f.emptyField || f.tooMany) return LineFail("fields are separated by single spaces");
    return stage_ == kHeader ? Header(f) : Body(f);
  }

  bool First(const char* s, size_t n) {
    static const char kLead[] = "quorbistane replay ";
    const size_t lead = sizeof kLead - 1;
    if (n <= lead || memcmp(s, kLead, lead) != 0 || n - lead > 9 || s[lead] == '0') return Fail("not a replay file");
    int64_t format = 0;
    if (!Decimal(s + lead, n - lead, 1, 999999999, &format)) return Fail("not a replay file");
    if (format != kReplayFormat)
      return Fail("replay format " + std::to_string(format) + " is not read by this game (it reads format " +
                  std::to_string(kReplayFormat) + ")");
    r_->header.format = kReplayFormat;
    stage_ = kHeader;
    return true;
  }

  bool Header(const Fields& f) {
    if (f.count == 1 && f.Is(0, "steps")) {
      for (int i = 0; i < kHeaderLines; ++i)
        if (!seen_[i]) return LineFail(std::string("the header has no '") + kHeaderNames[i] + "' line");
      stage_ = kBody;
      return true;
    }
    int which = 0;
    while (which < kHeaderLines && !f.Is(0, kHeaderNames[which])) ++which;
    if (which == kHeaderLines) return LineFail("unknown header line " + Quote(f.at[0], f.len[0]));
    if (seen_[which]) return LineFail(std::string("a second '") + kHeaderNames[which] + "' line");
    seen_[which] = true;
    ReplayHeader& h = r_->header;
    int64_t v[2] = {};
    switch (which) {
      case kGame:
        if (f.count != 2 || !ValidVersion(f.at[1], f.len[1]))
          return LineFail("the game's version is one word of up to " + std::to_string(kMaxVersion) + " characters");
        h.gameVersion = f.Str(1);
        return true;
      case kRules:
      case kSeed: {
        uint64_t* to = which == kRules ? &h.ruleHash : &h.seed;
        if (f.count != 2 || !Hex16(f.at[1], f.len[1], to))
          return LineFail(which == kRules ? "the rule hash is 16 hex digits" : "the seed is 16 hex digits");
        return true;
      }
      case kClock:
        if (f.count != 4 || !f.Is(2, "start"))
          return LineFail("not a clock line (clock 16/17/17 start N, or clock MS start N)");
        if (f.Is(1, "16/17/17"))
          h.clockMs = kReplayCadenceClock;
        else if (Decimal(f.at[1], f.len[1], 0, kMaxClockMs, &v[0]))
          h.clockMs = static_cast<int>(v[0]);
        else
          return LineFail("clock " + Quote(f.at[1], f.len[1]) + " is neither 16/17/17 nor 0 to 100000 ms");
        if (!Decimal(f.at[3], f.len[3], 0, UINT32_MAX, &v[1]))
          return LineFail("clock start " + Quote(f.at[3], f.len[3]) + " out of range");
        h.clockStart = static_cast<uint32_t>(v[1]);
        return true;
      case kMode:
        for (int m = 0; m < 3; ++m)
          if (f.count == 2 && f.Is(1, kModeNames[m])) {
            h.mode = m;
            return true;
          }
        return LineFail("the mode is one-player, versus or computer");
      case kDifficulty:
        if (f.count != 3 || !Decimal(f.at[1], f.len[1], 0, 3, &v[0]) || !Decimal(f.at[2], f.len[2], 0, 3, &v[1]))
          return LineFail("not a difficulty line (two levels 0 to 3)");
        h.difficulty[0] = static_cast<int>(v[0]);
        h.difficulty[1] = static_cast<int>(v[1]);
        return true;
      case kComputer:
        if (f.count != 3 || !Decimal(f.at[1], f.len[1], -1, 3, &v[0]) || !Decimal(f.at[2], f.len[2], -1, 3, &v[1]))
          return LineFail("not a computer line (two strengths -1 to 3)");
        h.computer[0] = static_cast<int>(v[0]);
        h.computer[1] = static_cast<int>(v[1]);
        return true;
      default:  // kDate
        if (!ValidDate(f)) return LineFail("not a date line (date YYYY-MM-DD hh:mm:ss)");
        h.date = f.Str(1) + " " + f.Str(2);
        return true;
    }
  }

  // A step number that does not go below the last one.
  bool Step(const Fields& f, int i, uint32_t* out) {
    int64_t v = 0;
    if (!Decimal(f.at[i], f.len[i], 0, kMaxStep, &v)) return LineFail("step " + Quote(f.at[i], f.len[i]) + " out of range");
    if (v < lastStep_) return LineFail("step " + std::to_string(v) + " comes after step " + std::to_string(lastStep_));
    lastStep_ = v;
    *out = static_cast<uint32_t>(v);
    return true;
  }

  bool Body(const Fields& f) {
    if (f.Is(0, "end")) return End(f);
    if (f.count == 3 && f.Is(1, "check")) {
      ReplayCheck c;
      if (!Step(f, 0, &c.step)) return false;
      if (!Hex16(f.at[2], f.len[2], &c.digest)) return LineFail("the check's digest is 16 hex digits");
      if (r_->checks.size() >= kMaxEvents) return LineFail("too many checks");
      r_->checks.push_back(c);
      return true;
    }
    if (f.count != 4) return LineFail("not a step line (STEP PLAYER ACTION down|up, or STEP check DIGEST)");
    ReplayEvent e;
    if (!Step(f, 0, &e.step)) return false;
    if (f.Is(1, "1") || f.Is(1, "2"))
      e.player = static_cast<uint8_t>(f.at[1][0] - '1');
    else
      return LineFail("player " + Quote(f.at[1], f.len[1]) + " is not 1 or 2");
    int a = 0;
    while (a < kReplayActions && !f.Is(2, kActionNames[a])) ++a;
    if (a == kReplayActions) return LineFail("unknown action " + Quote(f.at[2], f.len[2]));
    e.action = static_cast<uint8_t>(a);
    if (f.Is(3, "down"))
      e.down = true;
    else if (!f.Is(3, "up"))
      return LineFail(Quote(f.at[3], f.len[3]) + " is neither down nor up");
    if (r_->events.size() >= kMaxEvents) return LineFail("too many events");
    r_->events.push_back(e);
    return true;
  }

  bool End(const Fields& f) {
    int64_t v[3] = {};
    if (f.count != 7 || !f.Is(2, "score") || !f.Is(5, "winner"))
      return LineFail("not an end line (end STEPS score A B winner W)");
    ReplayEnd& e = r_->end;
    if (!Step(f, 1, &e.steps)) return false;
    if (!Decimal(f.at[3], f.len[3], 0, INT32_MAX, &v[0]) || !Decimal(f.at[4], f.len[4], 0, INT32_MAX, &v[1]))
      return LineFail("a score out of range");
    if (!Decimal(f.at[6], f.len[6], 0, 2, &v[2])) return LineFail("the winner is 1, 2 or 0 for none");
    e.score[0] = static_cast<int>(v[0]);
    e.score[1] = static_cast<int>(v[1]);
    e.winner = static_cast<int>(v[2]);
    e.present = true;
    stage_ = kDone;
    return true;
  }

  Replay* r_;
  std::string* error_;
  Stage stage_ = kFirst;
  int line_ = 0;
  bool seen_[kHeaderLines] = {};
  int64_t lastStep_ = 0;
};

}  // namespace

const char* ReplayActionName(int action) {
  return action >= 0 && action < kReplayActions ? kActionNames[action] : nullptr;
}

// ---- Writing

void ReplayWriter::Begin(const ReplayHeader& h) {
  text_.clear();
  text_.reserve(kWriterReserve);
  // Line by line through a buffer on the stack: a game's start allocates nothing once the
  // writer has its room.
  char clock[16] = "16/17/17";
  if (h.clockMs != kReplayCadenceClock) snprintf(clock, sizeof clock, "%d", h.clockMs);
  const char* mode = ModeName(h.mode);
  char line[256];
  int n = snprintf(line, sizeof line,
                   "quorbistane replay %d\ngame %.32s\nrules %016" PRIX64 "\nseed %016" PRIX64 "\nclock %s start %" PRIu32
                   "\nmode %s\ndifficulty %d %d\ncomputer %d %d\ndate %.32s\nsteps\n",
                   h.format, h.gameVersion.c_str(), h.ruleHash, h.seed, clock, h.clockStart, mode ? mode : "?",
                   h.difficulty[0], h.difficulty[1], h.computer[0], h.computer[1], h.date.c_str());
  text_.append(line, static_cast<size_t>(n < static_cast<int>(sizeof line) ? n : static_cast<int>(sizeof line) - 1));
}

void ReplayWriter::Event(const ReplayEvent& e) {
  const char* action = ReplayActionName(e.action);
  if (!action || e.player > 1) return;  // not an event of the game: nothing a replay can name
  char line[64];
  int n = snprintf(line, sizeof line, "%" PRIu32 " %d %s %s\n", e.step, e.player + 1, action, e.down ? "down" : "up");
  text_.append(line, static_cast<size_t>(n));
}

void ReplayWriter::Check(uint32_t step, uint64_t digest) {
  char line[64];
  int n = snprintf(line, sizeof line, "%" PRIu32 " check %016" PRIX64 "\n", step, digest);
  text_.append(line, static_cast<size_t>(n));
}

void ReplayWriter::End(const ReplayEnd& e) {
  char line[96];
  int n = snprintf(line, sizeof line, "end %" PRIu32 " score %d %d winner %d\n", e.steps, e.score[0], e.score[1],
                   e.winner);
  text_.append(line, static_cast<size_t>(n));
}

std::string FormatReplay(const Replay& r) {
  ReplayWriter w;
  w.Begin(r.header);
  // A check is the digest after its step: the events of that step come before it.
  size_t c = 0;
  for (const ReplayEvent& e : r.events) {
    for (; c < r.checks.size() && r.checks[c].step < e.step; ++c) w.Check(r.checks[c].step, r.checks[c].digest);
    w.Event(e);
  }
  for (; c < r.checks.size(); ++c) w.Check(r.checks[c].step, r.checks[c].digest);
  if (r.end.present) w.End(r.end);
  return w.Text();
}

bool ParseReplay(const char* data, size_t size, Replay* out, std::string* error) {
  Replay r;
  if (!Parser(&r, error).Run(data, size)) return false;
  *out = std::move(r);
  return true;
}

bool ReadReplayFile(const std::string& path, Replay* out, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  // Not blocking: a pipe or a device under a replay's name must not hang the game.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return fail("cannot read " + path + ": " + strerror(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    int e = errno;
    close(fd);
    return fail("cannot read " + path + ": " + strerror(e));
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    return fail(path + " is a folder, not a replay");
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return fail(path + " is not a file");
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxReplayBytes) {
    close(fd);
    return fail(path + " is too large for a replay (" + std::to_string(st.st_size) + " bytes)");
  }
  std::string data(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  int readError = 0;
  char more;
  for (;;) {
    // One byte past the size found is read to see that the file did not grow meanwhile.
    ssize_t n = got < data.size() ? read(fd, &data[got], data.size() - got) : read(fd, &more, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      readError = errno;
      break;
    }
    if (n == 0) break;
    if (got >= data.size()) {
      close(fd);
      return fail("cannot read " + path + ": it changed while it was read");
    }
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (readError) return fail("cannot read " + path + ": " + strerror(readError));
  data.resize(got);
  std::string why;
  if (!DecodeReplay(data.data(), data.size(), out, &why)) return fail(path + ": " + why);
  return true;
}

std::string CompressReplay(const std::string& text) {
  z_stream zs{};
  // 16 + the window bits: a gzip wrapper, which the usual tools read.
  if (deflateInit2(&zs, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return text;
  std::string out(deflateBound(&zs, static_cast<uLong>(text.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zs.avail_in = static_cast<uInt>(text.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return r == Z_STREAM_END ? out : text;
}

bool DecodeReplay(const char* data, size_t size, Replay* out, std::string* error) {
  if (size < 2 || static_cast<unsigned char>(data[0]) != 0x1F || static_cast<unsigned char>(data[1]) != 0x8B)
    return ParseReplay(data, size, out, error);
  z_stream zs{};
  if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) {
    if (error) *error = "cannot unpack the replay";
    return false;
  }
  std::string text;
  char buf[16384];
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  zs.avail_in = static_cast<uInt>(size);
  int r = Z_OK;
  while (r == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buf);
    zs.avail_out = sizeof buf;
    r = inflate(&zs, Z_NO_FLUSH);
    text.append(buf, sizeof buf - zs.avail_out);
    if (text.size() > kMaxReplayBytes) r = Z_MEM_ERROR;
    // No progress with input left: the data stops short.
    if (r == Z_BUF_ERROR || (r == Z_OK && zs.avail_in == 0 && zs.avail_out != 0)) break;
  }
  inflateEnd(&zs);
  if (r != Z_STREAM_END) {
    if (error)
      *error = text.size() > kMaxReplayBytes ? "the replay unpacks to more than " + std::to_string(kMaxReplayBytes) + " bytes"
                                              : "the replay's compressed data is broken or cut short";
    return false;
  }
  return ParseReplay(text.data(), text.size(), out, error);
}

bool ReplayFits(const ReplayHeader& h, const std::string& version, uint64_t ruleHash, std::string* error) {
  if (h.format != kReplayFormat) {
    if (error)
      *error = "this replay is in format " + std::to_string(h.format) + "; this game reads format " +
               std::to_string(kReplayFormat);
    return false;
  }
  if (h.gameVersion == version && h.ruleHash == ruleHash) return true;
  if (error)
    *error = "this replay was made by quorbistane " + h.gameVersion + " with rules " + Hex(h.ruleHash) +
             "; this is quorbistane " + version + " with rules " + Hex(ruleHash);
  return false;
}
