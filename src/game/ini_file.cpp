#include "game/ini_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

// Names are letters, digits and underscores; values any printable text (UTF-8 included).
bool NameChar(char c) { return isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool ControlChar(char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r'; }

}  // namespace

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool IniFile::Parse(const std::string& text, Line* line) {
  line->text = text;
  line->name.clear();
  line->value.clear();
  std::string t = Trim(text);
  if (t.empty() || t[0] == '#') return true;
  for (char c : text)
    if (ControlChar(c)) return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  std::string name = Trim(t.substr(0, eq));
  if (name.empty()) return false;
  for (char c : name)
    if (!NameChar(c)) return false;
  line->name = Lower(name);
  line->value = Trim(t.substr(eq + 1));
  return true;
}

void IniFile::Tell(int lineNumber, const std::string& message) const {
  if (lineNumber > 0)
    fprintf(stderr, "quorbistane: %s:%d: %s\n", path_.c_str(), lineNumber, message.c_str());
  else
    fprintf(stderr, "quorbistane: %s: %s\n", path_.c_str(), message.c_str());
}

bool IniFile::Load(const std::string& path, size_t cap) {
  path_ = path;
  lines_.clear();
  writable_ = true;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    // Not there (or a folder on its way is no folder): nothing to lose, made on the first save.
    if (errno == ENOENT || errno == ENOTDIR) return true;
    writable_ = false;
    Tell(0, std::string("cannot be read (") + strerror(errno) + "): left alone, defaults used");
    return false;
  }
  std::string data;
  char buf[4096];
  size_t n;
  bool tooBig = false;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
    if (data.size() + n > cap) {
      tooBig = true;
      break;
    }
    data.append(buf, n);
  }
  bool failed = ferror(f) != 0;
  fclose(f);
  if (tooBig || failed || data.find('\0') != std::string::npos) {
    writable_ = false;
    Tell(0, tooBig   ? "is larger than " + std::to_string(cap / 1024) + " KB: left alone, defaults used"
            : failed ? "cannot be read: left alone, defaults used"
                     : "is not a text file: left alone, defaults used");
    return false;
  }
  size_t start = 0;
  int number = 0, broken = 0;
  constexpr int kTold = 10;  // a file of rubbish is told in a few lines, not thousands
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    Line line;
    ++number;
    if (!Parse(data.substr(start, end - start), &line) && ++broken <= kTold)
      Tell(number, "not a setting (name = value): ignored");
    lines_.push_back(line);
    start = end + 1;
  }
  if (broken > kTold) Tell(0, std::to_string(broken - kTold) + " more lines are not settings: ignored");
  return true;
}

int IniFile::Find(const std::string& name) const {
  std::string key = Lower(name);
  for (int i = static_cast<int>(lines_.size()) - 1; i >= 0; --i)
    if (lines_[i].name == key) return i;
  return -1;
}

const std::string* IniFile::Get(const std::string& name) const {
  int i = Find(name);
  return i < 0 ? nullptr : &lines_[i].value;
}

int IniFile::LineOf(const std::string& name) const { return Find(name) + 1; }

void IniFile::Report(const std::string& name, const std::string& message) const { Tell(LineOf(name), message); }

void IniFile::Set(const std::string& name, const std::string& value) {
  Line line;
  line.name = Lower(name);
  line.value = value;
  line.text = line.name + " = " + value;
  int i = Find(name);
  if (i >= 0)
    lines_[i] = line;
  else
    lines_.push_back(line);
}

bool IniFile::Save() {
  if (path_.empty()) return false;
  if (!writable_) {
    Tell(0, "was left alone as it was found: changes are not written");
    return false;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  // A link is followed: the file it names is replaced, and the link stays.
  fs::path target = path_;
  if (fs::is_symlink(target, ec)) {
    fs::path to = fs::read_symlink(target, ec);
    if (!ec) target = to.is_absolute() ? to : target.parent_path() / to;
  }
  fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      Tell(0, "cannot be written: the folder cannot be made (" + ec.message() + ")");
      return false;
    }
  }
  std::string data;
  for (const Line& l : lines_) data += l.text + "\n";
  std::string temp = (folder.empty() ? std::string(".") : folder.string()) + "/." +
                     target.filename().string() + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    Tell(0, std::string("cannot be written (") + strerror(errno) + "): the file is left as it was");
    return false;
  }
  struct stat st {};
  fchmod(fd, stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  bool ok = WriteAll(fd, data) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    Tell(0, std::string("cannot be written (") + strerror(error) + "): the file is left as it was");
  }
  return ok;
}
