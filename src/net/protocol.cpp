#include "net/protocol.h"

#include <cstdio>
#include <cstring>

// Layout of each message after its type byte (all integers little-endian):
//   Hello     u16 protocol, u8 length, length characters of the game's version, u64 rule hash
//   Refuse    u8 length, length characters of the reason
//   Level     u8 difficulty
//   Start     u32 game, u64 seed, u8 input delay, u8 host's difficulty, u8 joiner's difficulty
//   Inputs    u32 game, u32 first step, u8 count, count bytes of held actions, u32 acknowledged step
//   Checksum  u32 game, u32 step, u64 digest
//   Continue  u32 game, u8 yes
//   Bye       u8 reason
//   Watch     as Hello
//   WatchGame u16 protocol, u8 length, the version, u64 rule hash, u32 game, u64 seed, u8 input delay,
//             u8 difficulty 1, u8 difficulty 2, u32 from, u32 over step, u16 chunks, u32 snapshot
//             bytes, u64 snapshot digest
//   Chunk     u32 game, u16 index, u16 count, u8 size, size bytes
//   Runs      u32 game, u32 first step, u8 count, count x (u8 held 1, u8 held 2, u16 length)
//   Digest    as Checksum
//   Over      u32 game, u32 step
//   Close     as Refuse
namespace net {
namespace {

constexpr size_t kMaxVersionChars = 32;
constexpr size_t kMaxReasonChars = 64;
constexpr uint8_t kMaxDifficulty = 3;
constexpr uint8_t kMinInputDelay = 2, kMaxInputDelay = 5;
constexpr uint8_t kActionBits = 0x7F;

bool Printable(char c) { return c >= 0x20 && c <= 0x7E; }

// The length of a NUL-terminated printable text of at most `max` characters held in an array of
// max + 1; -1 when it is not one.
int TextLength(const char* text, size_t max) {
  size_t n = 0;
  while (n <= max && text[n] != '\0') {
    if (!Printable(text[n])) return -1;
    ++n;
  }
  return n > max ? -1 : static_cast<int>(n);
}

bool InputsValid(const Inputs& in) {
  if (in.count < 1 || in.count > kMaxInputsPerMessage) return false;
  if (uint64_t{in.firstStep} + in.count > kNoStep) return false;
  for (int i = 0; i < in.count; ++i)
    if (in.held[i] & ~kActionBits) return false;
  return true;
}

constexpr uint16_t kMaxChunks = 1000;

// Why a WatchGame cannot be, or null. Game 0 carries the identity alone; a new game's feed starts
// at step 0 without a snapshot; a catch-up's snapshot is as long as its chunks say.
const char* WatchGameFault(const WatchGame& w) {
  const Start& s = w.start;
  if (s.game == 0) {
    if (s.seed || s.inputDelay || s.difficulty[0] || s.difficulty[1] || w.from || w.overStep != kNoStep || w.chunks ||
        w.snapshotBytes || w.digest)
      return "WatchGame: fields of no game";
    return nullptr;
  }
  if (s.inputDelay < kMinInputDelay || s.inputDelay > kMaxInputDelay) return "WatchGame: input delay out of range";
  if (s.difficulty[0] > kMaxDifficulty || s.difficulty[1] > kMaxDifficulty) return "WatchGame: difficulty out of range";
  if (w.chunks == 0) {
    if (w.from || w.overStep != kNoStep || w.snapshotBytes || w.digest) return "WatchGame: a new game has no snapshot";
    return nullptr;
  }
  if (w.chunks > kMaxChunks) return "WatchGame: too many chunks";
  if (w.snapshotBytes == 0 || w.snapshotBytes > uint32_t{w.chunks} * kMaxChunkBytes ||
      w.snapshotBytes <= uint32_t{w.chunks - 1u} * kMaxChunkBytes)
    return "WatchGame: snapshot size does not fit its chunks";
  if (w.overStep != kNoStep && w.overStep != w.from) return "WatchGame: over step is not the snapshot's";
  return nullptr;
}

const char* ChunkFault(const Chunk& c) {
  if (c.count == 0 || c.count > kMaxChunks || c.index >= c.count) return "Chunk: index out of range";
  if (c.size == 0 || c.size > kMaxChunkBytes) return "Chunk: size out of range";
  return nullptr;
}

const char* RunsFault(const Runs& r) {
  if (r.count < 1 || r.count > kMaxRunsPerMessage) return "Runs: count out of range";
  uint64_t end = r.firstStep;
  for (int i = 0; i < r.count; ++i) {
    if (r.run[i].length == 0) return "Runs: run of no step";
    if ((r.run[i].held[0] | r.run[i].held[1]) & ~kActionBits) return "Runs: unknown action bits";
    end += r.run[i].length;
  }
  if (end > kNoStep) return "Runs: steps run past the last";
  return nullptr;
}

class Writer {
 public:
  explicit Writer(uint8_t* out) : out_(out) {}
  void U8(uint8_t v) { out_[n_++] = v; }
  void U16(uint16_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void U64(uint64_t v) { Le(v, 8); }
  void Bytes(const void* p, size_t size) {
    std::memcpy(out_ + n_, p, size);
    n_ += size;
  }
  size_t size() const { return n_; }

 private:
  void Le(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out_[n_++] = static_cast<uint8_t>(v >> (8 * i));
  }
  uint8_t* out_;
  size_t n_ = 0;
};

// Reads fields while there is data; once one is missing every later read fails too.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool U8(uint8_t* v) {
    uint64_t x;
    if (!Le(1, &x)) return false;
    *v = static_cast<uint8_t>(x);
    return true;
  }
  bool U16(uint16_t* v) {
    uint64_t x;
    if (!Le(2, &x)) return false;
    *v = static_cast<uint16_t>(x);
    return true;
  }
  bool U32(uint32_t* v) {
    uint64_t x;
    if (!Le(4, &x)) return false;
    *v = static_cast<uint32_t>(x);
    return true;
  }
  bool U64(uint64_t* v) { return Le(8, v); }
  bool Bytes(void* p, size_t size) {
    if (size_ - n_ < size) return false;
    std::memcpy(p, data_ + n_, size);
    n_ += size;
    return true;
  }
  bool AtEnd() const { return n_ == size_; }

 private:
  bool Le(int bytes, uint64_t* v) {
    if (size_ - n_ < static_cast<size_t>(bytes)) return false;
    uint64_t x = 0;
    for (int i = 0; i < bytes; ++i) x |= uint64_t{data_[n_ + i]} << (8 * i);
    n_ += bytes;
    *v = x;
    return true;
  }
  const uint8_t* data_;
  size_t size_;
  size_t n_ = 0;
};

// Reads a length byte and that many printable characters into `text` (room for max + 1).
const char* ReadText(Reader& r, char* text, size_t max, const char* truncated, const char* tooLong,
                     const char* unprintable) {
  uint8_t length;
  if (!r.U8(&length)) return truncated;
  if (length > max) return tooLong;
  if (!r.Bytes(text, length)) return truncated;
  text[length] = '\0';
  for (size_t i = 0; i < length; ++i)
    if (!Printable(text[i])) return unprintable;
  return nullptr;
}

// The reason `d` cannot be decoded as a message of type `type`, or null when it is one.
const char* DecodeBody(MessageType type, Reader& r, Message* m) {
  switch (type) {
    case MessageType::Hello: {
      Hello& h = m->hello;
      if (!r.U16(&h.protocol)) return "truncated Hello";
      if (const char* why = ReadText(r, h.gameVersion, kMaxVersionChars, "truncated Hello",
                                     "Hello: version longer than 32 characters", "Hello: version not printable"))
        return why;
      if (!r.U64(&h.ruleHash)) return "truncated Hello";
      return nullptr;
    }
    case MessageType::Refuse:
      return ReadText(r, m->refuse.reason, kMaxReasonChars, "truncated Refuse",
                      "Refuse: reason longer than 64 characters", "Refuse: reason not printable");
    case MessageType::Level:
      if (!r.U8(&m->level.difficulty)) return "truncated Level";
      if (m->level.difficulty > kMaxDifficulty) return "Level: difficulty out of range";
      return nullptr;
    case MessageType::Start: {
      Start& s = m->start;
      if (!r.U32(&s.game) || !r.U64(&s.seed) || !r.U8(&s.inputDelay) || !r.U8(&s.difficulty[0]) ||
          !r.U8(&s.difficulty[1]))
        return "truncated Start";
      if (s.game < 1) return "Start: game 0";
      if (s.inputDelay < kMinInputDelay || s.inputDelay > kMaxInputDelay) return "Start: input delay out of range";
      if (s.difficulty[0] > kMaxDifficulty || s.difficulty[1] > kMaxDifficulty)
        return "Start: difficulty out of range";
      return nullptr;
    }
    case MessageType::Inputs: {
      Inputs& in = m->inputs;
      if (!r.U32(&in.game) || !r.U32(&in.firstStep) || !r.U8(&in.count)) return "truncated Inputs";
      if (in.count < 1) return "Inputs: count 0";
      if (in.count > kMaxInputsPerMessage) return "Inputs: count over 64";
      if (!r.Bytes(in.held, in.count) || !r.U32(&in.ackStep)) return "truncated Inputs";
      if (uint64_t{in.firstStep} + in.count > kNoStep) return "Inputs: steps run past the last";
      for (int i = 0; i < in.count; ++i)
        if (in.held[i] & ~kActionBits) return "Inputs: unknown action bits";
      return nullptr;
    }
    case MessageType::Checksum:
      if (!r.U32(&m->checksum.game) || !r.U32(&m->checksum.step) || !r.U64(&m->checksum.digest))
        return "truncated Checksum";
      return nullptr;
    case MessageType::Continue:
      if (!r.U32(&m->cont.game) || !r.U8(&m->cont.yes)) return "truncated Continue";
      if (m->cont.yes > 1) return "Continue: answer not 0 or 1";
      return nullptr;
    case MessageType::Bye:
      if (!r.U8(&m->bye.reason)) return "truncated Bye";
      return nullptr;
    case MessageType::Watch: {
      Hello& h = m->watch;
      if (!r.U16(&h.protocol)) return "truncated Watch";
      if (const char* why = ReadText(r, h.gameVersion, kMaxVersionChars, "truncated Watch",
                                     "Watch: version longer than 32 characters", "Watch: version not printable"))
        return why;
      if (!r.U64(&h.ruleHash)) return "truncated Watch";
      return nullptr;
    }
    case MessageType::WatchGame: {
      WatchGame& w = m->watchGame;
      if (!r.U16(&w.protocol)) return "truncated WatchGame";
      if (const char* why = ReadText(r, w.gameVersion, kMaxVersionChars, "truncated WatchGame",
                                     "WatchGame: version longer than 32 characters", "WatchGame: version not printable"))
        return why;
      Start& s = w.start;
      if (!r.U64(&w.ruleHash) || !r.U32(&s.game) || !r.U64(&s.seed) || !r.U8(&s.inputDelay) ||
          !r.U8(&s.difficulty[0]) || !r.U8(&s.difficulty[1]) || !r.U32(&w.from) || !r.U32(&w.overStep) ||
          !r.U16(&w.chunks) || !r.U32(&w.snapshotBytes) || !r.U64(&w.digest))
        return "truncated WatchGame";
      return WatchGameFault(w);
    }
    case MessageType::Chunk: {
      Chunk& c = m->chunk;
      if (!r.U32(&c.game) || !r.U16(&c.index) || !r.U16(&c.count) || !r.U8(&c.size)) return "truncated Chunk";
      if (const char* why = ChunkFault(c)) return why;
      if (!r.Bytes(c.data, c.size)) return "truncated Chunk";
      return nullptr;
    }
    case MessageType::Runs: {
      Runs& rs = m->runs;
      if (!r.U32(&rs.game) || !r.U32(&rs.firstStep) || !r.U8(&rs.count)) return "truncated Runs";
      if (rs.count < 1 || rs.count > kMaxRunsPerMessage) return "Runs: count out of range";
      for (int i = 0; i < rs.count; ++i)
        if (!r.U8(&rs.run[i].held[0]) || !r.U8(&rs.run[i].held[1]) || !r.U16(&rs.run[i].length))
          return "truncated Runs";
      return RunsFault(rs);
    }
    case MessageType::Digest:
      if (!r.U32(&m->digest.game) || !r.U32(&m->digest.step) || !r.U64(&m->digest.digest)) return "truncated Digest";
      if (m->digest.step == 0) return "Digest: step 0";
      return nullptr;
    case MessageType::Over:
      if (!r.U32(&m->over.game) || !r.U32(&m->over.step)) return "truncated Over";
      if (m->over.step == 0 || m->over.step == kNoStep) return "Over: step out of range";
      return nullptr;
    case MessageType::Close:
      return ReadText(r, m->close.reason, kMaxReasonChars, "truncated Close", "Close: reason longer than 64 characters",
                      "Close: reason not printable");
  }
  return "unknown type";
}

}  // namespace

size_t Encode(const Message& m, uint8_t* out) {
  Writer w(out);
  w.U8(static_cast<uint8_t>(m.type));
  switch (m.type) {
    case MessageType::Hello: {
      int n = TextLength(m.hello.gameVersion, kMaxVersionChars);
      if (n < 0) return 0;
      w.U16(m.hello.protocol);
      w.U8(static_cast<uint8_t>(n));
      w.Bytes(m.hello.gameVersion, n);
      w.U64(m.hello.ruleHash);
      break;
    }
    case MessageType::Refuse: {
      int n = TextLength(m.refuse.reason, kMaxReasonChars);
      if (n < 0) return 0;
      w.U8(static_cast<uint8_t>(n));
      w.Bytes(m.refuse.reason, n);
      break;
    }
    case MessageType::Level:
      if (m.level.difficulty > kMaxDifficulty) return 0;
      w.U8(m.level.difficulty);
      break;
    case MessageType::Start: {
      const Start& s = m.start;
      if (s.game < 1 || s.inputDelay < kMinInputDelay || s.inputDelay > kMaxInputDelay ||
          s.difficulty[0] > kMaxDifficulty || s.difficulty[1] > kMaxDifficulty)
        return 0;
      w.U32(s.game);
      w.U64(s.seed);
      w.U8(s.inputDelay);
      w.U8(s.difficulty[0]);
      w.U8(s.difficulty[1]);
      break;
    }
    case MessageType::Inputs:
      if (!InputsValid(m.inputs)) return 0;
      w.U32(m.inputs.game);
      w.U32(m.inputs.firstStep);
      w.U8(m.inputs.count);
      w.Bytes(m.inputs.held, m.inputs.count);
      w.U32(m.inputs.ackStep);
      break;
    case MessageType::Checksum:
      w.U32(m.checksum.game);
      w.U32(m.checksum.step);
      w.U64(m.checksum.digest);
      break;
    case MessageType::Continue:
      if (m.cont.yes > 1) return 0;
      w.U32(m.cont.game);
      w.U8(m.cont.yes);
      break;
    case MessageType::Bye:
      w.U8(m.bye.reason);
      break;
    case MessageType::Watch: {
      int n = TextLength(m.watch.gameVersion, kMaxVersionChars);
      if (n < 0) return 0;
      w.U16(m.watch.protocol);
      w.U8(static_cast<uint8_t>(n));
      w.Bytes(m.watch.gameVersion, n);
      w.U64(m.watch.ruleHash);
      break;
    }
    case MessageType::WatchGame: {
      const WatchGame& g = m.watchGame;
      int n = TextLength(g.gameVersion, kMaxVersionChars);
      if (n < 0 || WatchGameFault(g)) return 0;
      w.U16(g.protocol);
      w.U8(static_cast<uint8_t>(n));
      w.Bytes(g.gameVersion, n);
      w.U64(g.ruleHash);
      w.U32(g.start.game);
      w.U64(g.start.seed);
      w.U8(g.start.inputDelay);
      w.U8(g.start.difficulty[0]);
      w.U8(g.start.difficulty[1]);
      w.U32(g.from);
      w.U32(g.overStep);
      w.U16(g.chunks);
      w.U32(g.snapshotBytes);
      w.U64(g.digest);
      break;
    }
    case MessageType::Chunk:
      if (ChunkFault(m.chunk)) return 0;
      w.U32(m.chunk.game);
      w.U16(m.chunk.index);
      w.U16(m.chunk.count);
      w.U8(m.chunk.size);
      w.Bytes(m.chunk.data, m.chunk.size);
      break;
    case MessageType::Runs:
      if (RunsFault(m.runs)) return 0;
      w.U32(m.runs.game);
      w.U32(m.runs.firstStep);
      w.U8(m.runs.count);
      for (int i = 0; i < m.runs.count; ++i) {
        w.U8(m.runs.run[i].held[0]);
        w.U8(m.runs.run[i].held[1]);
        w.U16(m.runs.run[i].length);
      }
      break;
    case MessageType::Digest:
      if (m.digest.step == 0) return 0;
      w.U32(m.digest.game);
      w.U32(m.digest.step);
      w.U64(m.digest.digest);
      break;
    case MessageType::Over:
      if (m.over.step == 0 || m.over.step == kNoStep) return 0;
      w.U32(m.over.game);
      w.U32(m.over.step);
      break;
    case MessageType::Close: {
      int n = TextLength(m.close.reason, kMaxReasonChars);
      if (n < 0) return 0;
      w.U8(static_cast<uint8_t>(n));
      w.Bytes(m.close.reason, n);
      break;
    }
    default:
      return 0;
  }
  return w.size();
}

bool Decode(const uint8_t* data, size_t size, Message* out, const char** why) {
  const char* reason = nullptr;
  if (size == 0 || data == nullptr) {
    reason = "empty datagram";
  } else if (data[0] < static_cast<uint8_t>(MessageType::Hello) || data[0] > kLastWatchType) {
    thread_local char unknown[24];
    std::snprintf(unknown, sizeof unknown, "unknown type %u", unsigned{data[0]});
    reason = unknown;
  } else {
    Reader r(data + 1, size - 1);
    Message m;
    m.type = static_cast<MessageType>(data[0]);
    reason = DecodeBody(m.type, r, &m);
    if (!reason && !r.AtEnd()) reason = "trailing bytes";
    if (!reason) *out = m;
  }
  if (why) *why = reason;
  return reason == nullptr;
}

}  // namespace net
