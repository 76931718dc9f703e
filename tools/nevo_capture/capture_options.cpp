#include "tools/nevo_capture/capture_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace nevo_capture {

namespace {

constexpr const char* kShortNames[17] = {"INVALID", "NR",     "NR_LL",     "HDR",  "HDR_LL", "SE",
                                         "SN",      "SR",     "HDSR",      "ELL",  "SNSC",   "NR_50M",
                                         "NR_LL_50M", "SESR", "HDR_F",     "SN_F", "SNSC_HDR"};
constexpr const char* kSensorNames[6] = {"w", "uw", "t", "st", "fw", "fuw"};
constexpr const char* kPatternNames[4] = {"rggb", "grbg", "bggr", "gbrg"};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool ParseLong(const std::string& text, long lo, long hi, long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || v < lo || v > hi) return false;
  *value = v;
  return true;
}

bool ParseInt(const std::string& text, int lo, int hi, int* value) {
  long v = 0;
  if (!ParseLong(text, lo, hi, &v)) return false;
  *value = static_cast<int>(v);
  return true;
}

bool ParseDouble(const std::string& text, double lo, double hi, double* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == nullptr || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
  *value = v;
  return true;
}

bool ParseSeed(const std::string& text, uint64_t* value) {
  if (text.empty() || text[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  *value = v;
  return true;
}

bool ParseEvList(const std::string& text, std::vector<int>* ev) {
  std::vector<int> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    int v = 0;
    if (!ParseInt(item, -8, 8, &v)) return false;
    out.push_back(v);
  }
  if (out.empty() || out.size() > 16 || text.back() == ',') return false;
  *ev = out;
  return true;
}

bool ParsePattern(const std::string& text, int* pattern) {
  const std::string lower = Lower(text);
  for (int i = 0; i < 4; ++i) {
    if (lower == kPatternNames[i]) {
      *pattern = i;
      return true;
    }
  }
  return ParseInt(text, 0, 3, pattern);
}

bool ParseVendor(const std::string& text, int* vendor) {
  const std::string lower = Lower(text);
  if (lower == "inhouse" || lower == "in-house") {
    *vendor = 0;
    return true;
  }
  if (lower == "arcsoft") {
    *vendor = 1;
    return true;
  }
  return ParseInt(text, 0, 1, vendor);
}

bool IsHdrFamily(int algo) { return algo == 3 || algo == 4 || algo == 8 || algo == 14 || algo == 16; }

// Applies one option with its value; false with a reason when the value is bad.
bool Apply(const std::string& name, const std::string& value, CaptureOptions* o, std::string* why) {
  bool ok = true;
  if (name == "algo") {
    ok = ParseAlgoType(value, &o->algo);
  } else if (name == "vendor") {
    ok = ParseVendor(value, &o->vendor);
  } else if (name == "frames") {
    ok = ParseInt(value, 1, 16, &o->frames);
    o->frames_given = true;
  } else if (name == "ev") {
    ok = ParseEvList(value, &o->ev);
  } else if (name == "width") {
    ok = ParseInt(value, 16, 16384, &o->width) && o->width % 2 == 0;
  } else if (name == "height") {
    ok = ParseInt(value, 16, 16384, &o->height) && o->height % 2 == 0;
  } else if (name == "bits") {
    ok = ParseInt(value, 10, 14, &o->bits) && o->bits % 2 == 0;
  } else if (name == "pattern") {
    ok = ParsePattern(value, &o->pattern);
  } else if (name == "iso") {
    ok = ParseDouble(value, 25.0, 204800.0, &o->iso);
  } else if (name == "shake") {
    ok = ParseDouble(value, 0.0, 64.0, &o->shake);
  } else if (name == "seed") {
    ok = ParseSeed(value, &o->seed);
  } else if (name == "sensor") {
    ok = ParseSensorType(value, &o->sensor_type);
  } else if (name == "out-scale") {
    ok = ParseInt(value, 1, 4, &o->out_scale);
  } else if (name == "log") {
    ok = ParseInt(value, 0, 2, &o->log_level);
  } else if (name == "config") {
    o->config_path = value;
    ok = !value.empty();
  } else if (name == "out") {
    o->out_dir = value;
    ok = !value.empty();
  } else if (name == "prop") {
    const size_t eq = value.find('=');
    ok = eq != std::string::npos && eq > 0;
    if (ok) o->props.emplace_back(value.substr(0, eq), value.substr(eq + 1));
  } else {
    *why = "unknown option --" + name + " (see --help)";
    return false;
  }
  if (!ok) *why = "bad value for --" + name + ": '" + value + "' (see --help)";
  return ok;
}

}  // namespace

bool ParseAlgoType(const std::string& text, int* type) {
  const std::string upper = [&] {
    std::string s = text;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
  }();
  for (int i = 1; i < 17; ++i) {
    if (upper == kShortNames[i]) {
      *type = i;
      return true;
    }
  }
  return ParseInt(text, 0, 16, type);
}

const char* AlgoShortName(int type) { return type >= 1 && type <= 16 ? kShortNames[type] : kShortNames[0]; }

std::string AlgoSectionName(int type) {
  return type == 0 ? std::string("NEVO_BYPASS") : std::string("NEVO_") + AlgoShortName(type);
}

int ConfigTypeOf(int type) {
  if (type == 4 || type == 5 || type == 13) return 5;
  if (type == 11 || type == 12) return 12;
  return type;
}

bool ParseSensorType(const std::string& text, int* type) {
  const std::string lower = Lower(text);
  for (int i = 0; i < 6; ++i) {
    if (lower == kSensorNames[i]) {
      *type = i + 1;
      return true;
    }
  }
  return ParseInt(text, 1, 6, type);
}

std::vector<int> DefaultEvList(int algo, int frames) {
  std::vector<int> ev(static_cast<size_t>(std::max(frames, 0)), 0);
  if (IsHdrFamily(algo) && frames >= 2) {
    ev[0] = -2;
    if (frames >= 3) ev[2] = 2;
  }
  return ev;
}

ParseStatus ParseOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error) {
  CaptureOptions o;
  std::string why;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] != nullptr ? argv[i] : "";
    if (arg == "--help" || arg == "-h") return ParseStatus::kHelp;
    if (arg == "--select" || arg == "--dump") {
      (arg == "--select" ? o.select : o.dump) = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
      *error = "unexpected argument '" + arg + "' (see --help)";
      return ParseStatus::kError;
    }
    std::string name = arg.substr(2);
    std::string value;
    const size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    } else if (i + 1 < argc && argv[i + 1] != nullptr) {
      value = argv[++i];
    } else {
      *error = "option --" + name + " needs a value (see --help)";
      return ParseStatus::kError;
    }
    if (!Apply(name, value, &o, &why)) {
      *error = why;
      return ParseStatus::kError;
    }
  }
  if (!o.ev.empty()) {
    if (o.frames_given && o.frames != static_cast<int>(o.ev.size())) {
      *error = "--frames " + std::to_string(o.frames) + " does not match the " + std::to_string(o.ev.size()) +
               " values of --ev";
      return ParseStatus::kError;
    }
    o.frames = static_cast<int>(o.ev.size());
  }
  if (o.bits != 10 && o.bits != 12 && o.bits != 14) {
    *error = "--bits must be 10, 12 or 14";
    return ParseStatus::kError;
  }
  *options = o;
  return ParseStatus::kRun;
}

BurstParams BurstParamsFrom(const CaptureOptions& o) {
  BurstParams p;
  p.width = o.width;
  p.height = o.height;
  p.bits = o.bits;
  p.pattern = o.pattern;
  p.iso = o.iso;
  p.seed = o.seed;
  p.shake_sigma = o.shake;
  p.ev = o.ev.empty() ? DefaultEvList(o.algo, o.frames) : o.ev;
  return p;
}

int OutputScale(const CaptureOptions& o) {
  if (o.out_scale > 0) return o.out_scale;
  return o.algo == 7 ? 2 : 1;
}

std::string HelpText() {
  return R"(usage: nevo-capture [options]

Plays the camera HAL against libnevo.so: synthesises a RAW burst, runs one
capture (NevoCreate, NevoInit, NevoStart, NevoAddFrame per frame, NevoRun or
NevoSelectAnchor, NevoUnit, NevoDestroy) and writes what came out.

Capture:
  --algo NAME|N      algorithm: nr nr_ll hdr hdr_ll se sn sr hdsr ell snsc
                     nr_50m nr_ll_50m sesr hdr_f sn_f snsc_hdr, or 0..16
                     (default hdr)
  --vendor V         inhouse|arcsoft or 0|1 (default inhouse)
  --frames N         burst length 1..16 (default 3)
  --ev LIST          EV of each frame, e.g. -2,0,2 (default: -2,0,+2,0.. for
                     hdr hdr_ll hdsr hdr_f snsc_hdr, all 0 otherwise)
  --select           anchor-selection capture: NevoSelectAnchor, not NevoRun
  --sensor S         w uw t st fw fuw or 1..6 (default w)
  --out-scale N      output size = input size x N, 1..4 (default 2 for sr)
Sensor and scene:
  --width W          even, 16..16384 (default 1024)
  --height H         even, 16..16384 (default 768)
  --bits B           10, 12 or 14 (default 12)
  --pattern P        rggb grbg bggr gbrg (default rggb)
  --iso ISO          noise level, 25..204800 (default 800)
  --shake PX         hand-shake sigma per axis in px (default 2)
  --seed N           random seed; equal seeds give equal bursts (default 1)
Module:
  --prop NAME=VALUE  system property set before NevoCreate (repeatable)
  --config FILE      nevo.json to install; without it one is generated that
                     enables the algorithm (enable 1, bypass 0,
                     input_format 0, output_format 1)
  --dump             switch on capture dumps and copy them to OUT/nevo_dump
  --log L            module log level 0..2 to stderr (default 0: errors)
Output:
  --out DIR          output folder (default ./nevo_capture_out)
  --help             this text

The module runs in a private sysroot (a temporary directory named by
NEVO_SYSROOT) holding odm/etc/camera/nevo.json, nevo_correct_image.json and a
CPU-frequency tree; it is removed at exit.

Files written to OUT: output.png (preview of output image 0), input_ev0.png
(preview of the anchor input), output.raw with output.json (width, height,
format, pattern, elem_type, channels, pitch), status.txt (exif_info),
timing.txt (wall time per call, also printed).

Burst model (0..1 scale after black subtraction, 1 = white level):
  scene     analytic: colour patches, log luminance ramp (0.002..3.0, clips
            at EV0), hue ramp, slanted edge, Siemens star, chirped bars, a
            bright lamp and a deep shadow; sub-pixel shifts sample it exactly
  clean     = radiance(x + dx, y + dy) * 2^EV * 1/(1 + k r^2) / wb
            k = 1.0 red, 0.75 green, 0.5 blue (r = 1 in the corners);
            wb = 2.0 red, 1.0 green, 1.7 blue (passed as wb_gain); the
            NevoFrame.lsc grids carry the correction gains 1 + k r^2
  shake     dx, dy ~ N(0, shake) per frame; the anchor (first EV0) has 0
  noise     Poisson-Gaussian, var = a * x + b with
            a = 1.807e-4 * ISO/100, b = 3.19e-6 * (ISO/100)^2
  raw       = clamp(round(black + x * (white - black)), 0, white)
            black/white: 10-bit 64/1023, 12-bit 256/4095, 14-bit 512/16383

Exit status: 0 on success; 1 when a call fails (the status code is printed);
2 for bad options.
)";
}

}  // namespace nevo_capture
