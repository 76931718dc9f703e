// Fuzz target: arbitrary bytes through the JSON loader and the dump reports.
// Built and run by run_fuzz.sh with libFuzzer, ASan and UBSan.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "nevo/nevo.h"
#include "nevo_utils/nevo_json_file.h"
#include "nevo_utils/nevo_json_report.h"

namespace {

// Formats every log line as a host would, so a format that does not match
// its arguments shows under the sanitizers, but keeps the run quiet.
int SilentLog(int, const char*, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  NevoSetLogPrint(1, &SilentLog);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nlohmann::json json;
  // The same check and parse LoadNevoJson runs on a file's bytes.
  if (ParseNevoJson(reinterpret_cast<const char*>(data), size, json) != NEVO_OK) return 0;
  std::string text = NevoJson2Str(json);
  // Frame indexes the document may lack or that no dump writes.
  for (const int frame_idx : {-1, 0, 1, 1000000}) text += NevoFrameParam2Str(json, frame_idx);
  // What SaveNevoJson writes.
  text += json.dump(4, ' ', false, nlohmann::json::error_handler_t::replace);
  return 0;
}
