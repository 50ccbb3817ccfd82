#include "platform/resources.h"
#include "platform/seams.h"

#include <strings.h>

#include <map>

namespace tu::platform {
namespace {
struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};
std::map<std::string, std::map<std::string, std::vector<uint8_t>, CaseLess>, CaseLess>& Registry() {
  static std::map<std::string, std::map<std::string, std::vector<uint8_t>, CaseLess>, CaseLess> r;
  return r;
}
}  // namespace

void RegisterResource(const std::string& type, const std::string& name, std::vector<uint8_t> bytes) {
  Registry()[type][name] = std::move(bytes);
}

void ClearResources() { Registry().clear(); }

const std::vector<uint8_t>* FindResource(const std::string& type, const std::string& name) {
  auto t = Registry().find(type);
  if (t == Registry().end()) return nullptr;
  auto n = t->second.find(name);
  return n == t->second.end() ? nullptr : &n->second;
}

}  // namespace tu::platform
