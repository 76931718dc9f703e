// The parameter records of the C interface as JSON subtrees of a dump document.
#ifndef NEVO_UTILS_NEVO_JSON_H_
#define NEVO_UTILS_NEVO_JSON_H_

#include <nlohmann/json.hpp>

#include "nevo/nevo.h"

// Each converter only reads the record and cannot fail. Arrays hold the
// entries named by their count field, clamped to the array's capacity; a
// negative count gives an empty array. Floats are widened to double, texts
// end at the first NUL (or at the end of their array).

// `ae` group, anchor selection, forced algorithm, jpg path, exposure targets.
nlohmann::json DumpNevoInitParam(const NevoInitParam& param);

// When gtm_table.length is 0 the default 257-entry table is written instead
// and the substitution is logged once.
nlohmann::json DumpNevoStartParam(const NevoStartParam& param);

// Image geometry only: plane addresses and descriptors are not written.
nlohmann::json DumpNevoFrameParam(const NevoFrame& frame);

// All four output images; `bokeh_mask` only when its first plane is set.
nlohmann::json DumpNevoOutputParam(const NevoOutput& output);

#endif  // NEVO_UTILS_NEVO_JSON_H_
