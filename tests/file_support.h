#pragma once
// A temporary folder removed with its contents, whole-file reads and writes, for tests of files
// the game keeps, and a program run for its output and exit status.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <sys/wait.h>

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

// What a command printed (standard output and error together) and its exit status (-1 when it
// did not exit by itself).
struct Outcome {
  int exitCode = -1;
  std::string out;
};
inline Outcome RunCommand(const std::string& command) {
  Outcome r;
  FILE* f = popen((command + " 2>&1").c_str(), "r");
  if (!f) return r;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) r.out.append(buf, n);
  int status = pclose(f);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace file_support
