#pragma once
#include <cstddef>
#include <string>
#include <vector>

// A small text file of `name = value` lines that a player may also edit by hand: `#` starts a
// comment line, blank lines are allowed, names are compared without regard to case. Every line
// the program does not change (comments, unknown names, broken lines) is written back as it was
// read. Problems are told on standard error as "file:line: what" and never stop the program:
// a file that cannot be trusted (too big, not text, unreadable) is left alone and never
// overwritten, and a write that fails leaves the old file whole.
class IniFile {
 public:
  static constexpr size_t kDefaultCap = 64 * 1024;

  // Reads `path`, at most `cap` bytes. A missing file is no problem: it is made on the first
  // Save. False when the file is there but was refused (reported); it then stays untouched.
  bool Load(const std::string& path, size_t cap = kDefaultCap);
  const std::string& Path() const { return path_; }
  // False after a refused file: Save does nothing.
  bool Writable() const { return writable_; }

  // The value of the last line that sets `name`; null when none does.
  const std::string* Get(const std::string& name) const;
  // The number (from 1) of that line, for reports; 0 when none.
  int LineOf(const std::string& name) const;
  // Sets `name` on its last line, or adds a line at the end.
  void Set(const std::string& name, const std::string& value);
  // Reports "file:line: message" for the line that sets `name`.
  void Report(const std::string& name, const std::string& message) const;

  // Writes every line to a new file beside the old one and puts it in the old one's place, so a
  // failure at any point (a folder that cannot be made or written, a full disk) leaves the old
  // file as it was. The folder is made when missing. False after a report.
  bool Save();

 private:
  struct Line {
    std::string text;          // as read or written, without the line end
    std::string name, value;   // a setting's name (lower case) and value; name empty otherwise
  };
  static bool Parse(const std::string& text, Line* line);
  int Find(const std::string& name) const;
  void Tell(int lineNumber, const std::string& message) const;

  std::string path_;
  std::vector<Line> lines_;
  bool writable_ = true;
};

// Writes all of `data` to the open file `fd`, going on after interrupted writes; false on error
// (errno tells it). The game's files share it.
bool WriteAll(int fd, const std::string& data);
