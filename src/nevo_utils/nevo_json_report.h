// Readable text reports of a parameter dump document.
#ifndef NEVO_UTILS_NEVO_JSON_REPORT_H_
#define NEVO_UTILS_NEVO_JSON_REPORT_H_

#include <nlohmann/json.hpp>
#include <string>

// Every report starts with its heading line, then for each group an empty
// line and the group's name, then one "key: value" line per key with the
// value as compact JSON. A key missing from the document is skipped and
// logged as not found (tag "NEVO_DUMP"). Reports never fail and accept any
// document, whatever its shape.

// "[nevo init param]" and the `init_param` subtree.
std::string NevoInitParam2Str(const nlohmann::json& json);
// "[nevo start param]" and the `start_param` subtree.
std::string NevoStartParam2Str(const nlohmann::json& json);
// "[nevo frame param][<frame_idx>]" and the subtree `frame`["<frame_idx>"].
std::string NevoFrameParam2Str(const nlohmann::json& json, int frame_idx);
// "[nevo output param]" and the `output` subtree.
std::string NevoOutputParam2Str(const nlohmann::json& json);
// "[nevo dump]", `camera_mode`, then the init, start, frame (in index order,
// under a "frame" heading) and output reports, each followed by an empty line.
std::string NevoJson2Str(const nlohmann::json& json);

#endif  // NEVO_UTILS_NEVO_JSON_REPORT_H_
