// Host property store: a process-wide table seeded from NEVO_PROPS_FILE.
#include <sys/system_properties.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "nevo_host/properties.h"

namespace {

// Owned by the process; guarded by its mutex; loaded once on first use.
class PropertyStore {
 public:
  static PropertyStore& Get() {
    static PropertyStore store;
    return store;
  }

  std::string Read(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
  }
  void Write(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_[name] = value.substr(0, PROP_VALUE_MAX - 1);
  }
  void Erase(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.erase(name);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.clear();
  }

 private:
  PropertyStore() { LoadFile(); }

  static std::string Trim(const std::string& s) {
    const char* blanks = " \t\r\n";
    const size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return std::string();
    const size_t e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
  }

  void LoadFile() {
    const char* path = std::getenv("NEVO_PROPS_FILE");
    if (path == nullptr || *path == '\0') return;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      line = Trim(line);
      if (line.empty() || line[0] == '#') continue;
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string name = Trim(line.substr(0, eq));
      if (name.empty()) continue;
      values_[name] = Trim(line.substr(eq + 1)).substr(0, PROP_VALUE_MAX - 1);
    }
  }

  std::mutex mutex_;
  std::map<std::string, std::string> values_;
};

}  // namespace

extern "C" int __system_property_get(const char* name, char* value) {
  if (value == nullptr) return 0;
  value[0] = '\0';
  if (name == nullptr) return 0;
  const std::string v = PropertyStore::Get().Read(name);
  std::memcpy(value, v.c_str(), v.size() + 1);
  return static_cast<int>(v.size());
}

extern "C" int NevoHostPropertySet(const char* name, const char* value) {
  if (name == nullptr || *name == '\0' || value == nullptr) return -1;
  PropertyStore::Get().Write(name, value);
  return 0;
}

extern "C" int NevoHostPropertyUnset(const char* name) {
  if (name != nullptr) PropertyStore::Get().Erase(name);
  return 0;
}

extern "C" void NevoHostPropertyClear(void) { PropertyStore::Get().Clear(); }
