// Reading and writing JSON documents: configuration files and parameter dumps.
#ifndef NEVO_UTILS_NEVO_JSON_FILE_H_
#define NEVO_UTILS_NEVO_JSON_FILE_H_

#include <cstddef>
#include <nlohmann/json.hpp>

// Paths are used as given: callers resolve device paths through
// kiln::DevicePath. Failures log one line with tag "NEVO_DUMP" and return
// NEVO_ERR_FAILED; the document is left unchanged when loading fails.

// Documents nested deeper than this are refused as invalid, so that no
// reader or writer of a hostile file can run out of stack.
constexpr int kNevoJsonMaxDepth = 128;

// Reads the whole file and parses it into `json`.
int LoadNevoJson(const char* path, nlohmann::json& json);

// Checks and parses text already in memory; what LoadNevoJson does after reading.
int ParseNevoJson(const char* text, size_t size, nlohmann::json& json);

// Writes `json` with 4-space indentation and a final newline (truncating).
int SaveNevoJson(const char* path, const nlohmann::json& json);

// Writes NevoJson2Str(json) and a final newline (truncating).
int SaveNevoJsonText(const char* path, const nlohmann::json& json);

#endif  // NEVO_UTILS_NEVO_JSON_FILE_H_
