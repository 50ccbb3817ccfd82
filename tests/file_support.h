#pragma once
// A temporary folder removed with its contents, and whole-file reads and writes, for tests of
// files the game keeps.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace file_support {

class Folder {
 public:
  Folder() {
    char tmpl[] = "/tmp/qsetXXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "";
  }
  ~Folder() { (void)system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::string Names() const {  // what the folder holds, to see that no temporary file stays
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> ls(popen(("ls -A '" + path_ + "'").c_str(), "r"), pclose);
    char buf[256];
    while (ls && fgets(buf, sizeof buf, ls.get())) out += buf;
    return out;
  }

 private:
  std::string path_;
};

inline void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
inline std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace file_support
