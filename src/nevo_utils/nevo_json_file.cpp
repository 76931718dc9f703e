#include "nevo_utils/nevo_json_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "nevo/nevo.h"
#include "nevo_utils/nevo_json_report.h"
#include "nevo_utils/nevo_log.h"

namespace {

using Json = nlohmann::json;

constexpr const char* kDumpTag = "NEVO_DUMP";

// Configuration and dump files are a few megabytes at most; anything larger
// is not ours and would only exhaust memory.
constexpr off_t kMaxFileSize = 256 << 20;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

const char* PathText(const char* path) { return path != nullptr ? path : "(null)"; }

// Accepts exactly the texts the parser accepts, and refuses nesting beyond
// kNevoJsonMaxDepth before any tree is built. Owned by ParseNevoJson, one per call.
class DepthLimitedValidator final : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return ++depth_ <= kNevoJsonMaxDepth; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return --depth_ >= 0; }
  bool start_array(std::size_t) override { return ++depth_ <= kNevoJsonMaxDepth; }
  bool end_array() override { return --depth_ >= 0; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  int depth_ = 0;
};

int WriteText(const char* function, const char* path, const std::string& text) {
  FilePtr file(path != nullptr ? std::fopen(path, "w") : nullptr);
  if (file == nullptr) {
    NevoPrint(kNevoLogError, kDumpTag, "%s[%s:%d] Open file %s failed\n", function, __FILE__, __LINE__,
              PathText(path));
    return NEVO_ERR_FAILED;
  }
  const size_t written = std::fwrite(text.data(), 1, text.size(), file.get());
  // A full disk often shows only when the buffer is flushed at close.
  const int closed = std::fclose(file.release());
  if (written != text.size() || closed != 0) {
    NevoPrint(kNevoLogError, kDumpTag, "%s[%s:%d] Write file %s failed\n", function, __FILE__, __LINE__,
              path);
    return NEVO_ERR_FAILED;
  }
  return NEVO_OK;
}

}  // namespace

int LoadNevoJson(const char* path, Json& json) {
  const FilePtr file(path != nullptr ? std::fopen(path, "r") : nullptr);
  if (file == nullptr) {
    NEVO_LOGE(kDumpTag, "Open file %s failed\n", PathText(path));
    return NEVO_ERR_FAILED;
  }
  // Only regular files have a size to read; a directory opens but cannot be read.
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileSize) {
    NEVO_LOGE(kDumpTag, "Read file %s failed\n", path);
    return NEVO_ERR_FAILED;
  }
  std::string text(static_cast<size_t>(info.st_size), '\0');
  if (std::fread(&text[0], 1, text.size(), file.get()) < text.size()) {
    NEVO_LOGE(kDumpTag, "Read file %s failed\n", path);
    return NEVO_ERR_FAILED;
  }
  return ParseNevoJson(text.data(), text.size(), json);
}

int ParseNevoJson(const char* text, size_t size, Json& json) {
  const char* const begin = text != nullptr ? text : "";
  const char* const end = text != nullptr ? text + size : begin;
  try {
    DepthLimitedValidator validator;
    if (Json::sax_parse(begin, end, &validator)) {
      Json parsed = Json::parse(begin, end, nullptr, false);
      if (!parsed.is_discarded()) {
        json = std::move(parsed);
        return NEVO_OK;
      }
    }
  } catch (const std::exception&) {
    // Only memory exhaustion can get here; it reads as an unusable document.
  }
  NEVO_LOGE(kDumpTag, "json is invalid\n");
  return NEVO_ERR_FAILED;
}

int SaveNevoJson(const char* path, const Json& json) {
  return WriteText(__FUNCTION__, path, json.dump(4, ' ', false, Json::error_handler_t::replace) + "\n");
}

int SaveNevoJsonText(const char* path, const Json& json) {
  return WriteText(__FUNCTION__, path, NevoJson2Str(json) + "\n");
}
