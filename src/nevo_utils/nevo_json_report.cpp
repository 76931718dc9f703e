#include "nevo_utils/nevo_json_report.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "nevo_utils/nevo_log.h"

namespace {

using Json = nlohmann::json;

constexpr const char* kDumpTag = "NEVO_DUMP";

enum class NodeKind {
  kValue,    // "key: <compact json>"
  kGroup,    // empty line, group name, then its keys
  kLscGrid,  // one line per grid row, "%.6f, " per value
  kIgnored,  // too long to read as text: only a pointer to the JSON file
};

// One key of a record as the reports walk it. `line` is the source line of
// the entry, so a not-found log points at the key that was expected.
struct ReportNode {
  const char* key;
  NodeKind kind;
  int line;
  bool optional;  // legitimately absent: skipped without a log
  std::vector<ReportNode> children;
};

#define NEVO_KEY(name) ReportNode{name, NodeKind::kValue, __LINE__, false, {}}
#define NEVO_OPTIONAL_KEY(name) ReportNode{name, NodeKind::kValue, __LINE__, true, {}}
#define NEVO_GROUP(name, ...) ReportNode{name, NodeKind::kGroup, __LINE__, false, {__VA_ARGS__}}
#define NEVO_OPTIONAL_GROUP(name, ...) ReportNode{name, NodeKind::kGroup, __LINE__, true, {__VA_ARGS__}}
#define NEVO_LSC_GRID(name) ReportNode{name, NodeKind::kLscGrid, __LINE__, false, {}}
#define NEVO_IGNORED_KEY(name) ReportNode{name, NodeKind::kIgnored, __LINE__, false, {}}

// Shared groups take the line of the entry that uses them.
ReportNode RectGroup(const char* name, int line) {
  ReportNode group =
      NEVO_GROUP(name, NEVO_KEY("left"), NEVO_KEY("top"), NEVO_KEY("right"), NEVO_KEY("bottom"));
  group.line = line;
  return group;
}

ReportNode ZoomInfoGroup(int line) {
  ReportNode group = NEVO_GROUP("zoom_info", RectGroup("fov", __LINE__), NEVO_KEY("zoom_ratio"),
                                NEVO_KEY("real_zoom_ratio"));
  group.line = line;
  return group;
}

// Records without faces carry only face_num.
ReportNode FaceInfoGroup(int line) {
  ReportNode group = NEVO_GROUP("face_info", NEVO_KEY("face_num"), NEVO_OPTIONAL_KEY("face_rect"),
                                NEVO_OPTIONAL_KEY("face_bright"), NEVO_OPTIONAL_KEY("face_angle"));
  group.line = line;
  return group;
}

std::vector<ReportNode> ImageKeys() {
  return {NEVO_KEY("format"), NEVO_KEY("pattern"), NEVO_KEY("elem_type"),
          NEVO_KEY("width"),  NEVO_KEY("height"),  NEVO_KEY("pitch")};
}

const ReportNode& InitParamSchema() {
  static const ReportNode schema = NEVO_GROUP(
      "init_param",
      NEVO_GROUP("ae", NEVO_KEY("algo_type"), NEVO_KEY("ev_num"), NEVO_KEY("ev_value"),
                 NEVO_KEY("capture_mode"),
                 NEVO_GROUP("meta", NEVO_KEY("is_white_plus"), NEVO_KEY("is_black_sub"),
                            NEVO_KEY("ev_offset"), NEVO_KEY("is_smart_motion"),
                            NEVO_KEY("banding_type"), NEVO_KEY("is_bracket_exposure"),
                            NEVO_KEY("is_scene_bright"), NEVO_KEY("bokeh_setting_type")),
                 NEVO_KEY("is_need_crop_upscale")),
      NEVO_KEY("is_anchor_select"), NEVO_KEY("force_algo"), NEVO_KEY("jpg_path"),
      NEVO_KEY("exp_targets"));
  return schema;
}

const ReportNode& StartParamSchema() {
  static const ReportNode schema = NEVO_GROUP(
      "start_param", NEVO_KEY("direction"), NEVO_KEY("frame_num"), NEVO_KEY("width"),
      NEVO_KEY("height"), NEVO_KEY("stride"), NEVO_KEY("bit_width"), NEVO_KEY("sensor_type"),
      NEVO_KEY("sensor_mode"), NEVO_KEY("ui_ev"), NEVO_KEY("input_mode"),
      NEVO_KEY("capture_timestamp"),
      NEVO_GROUP("gamma_table", NEVO_KEY("length"), NEVO_KEY("table_x"), NEVO_KEY("table_y")),
      NEVO_GROUP("y_hist_info", NEVO_KEY("buckets"), NEVO_KEY("hist")), ZoomInfoGroup(__LINE__),
      NEVO_KEY("ccm"), NEVO_KEY("cct"), FaceInfoGroup(__LINE__),
      NEVO_GROUP("ai_scene_result", NEVO_KEY("first_result"), NEVO_KEY("first_confidence"),
                 NEVO_KEY("second_result"), NEVO_KEY("second_confidence")),
      NEVO_KEY("indoor_flag"),
      NEVO_GROUP("sunset_result", NEVO_KEY("is_sunset"), NEVO_KEY("sunset_confidence")),
      NEVO_KEY("xdr_light_index"), NEVO_KEY("raw_type"), NEVO_KEY("black_sub_ratio"),
      NEVO_KEY("white_plus_ratio"),
      NEVO_GROUP("gtm_table", NEVO_KEY("length"), NEVO_KEY("table_x"), NEVO_KEY("table_y")),
      NEVO_GROUP("assign_anchor", NEVO_KEY("is_assign_anchor"), NEVO_KEY("anchor_order")),
      NEVO_KEY("is_fs_track"), NEVO_KEY("concert_flag"), NEVO_KEY("sdsr_flag"));
  return schema;
}

// The keys of one frame object; the frame itself has no group line, its
// heading already names it.
const std::vector<ReportNode>& FrameParamSchema() {
  static const std::vector<ReportNode> schema = {
      NEVO_KEY("ev_value"),
      NEVO_GROUP("burst_info", NEVO_KEY("bright_level"), NEVO_KEY("black_level"),
                 NEVO_KEY("wb_gain"), NEVO_KEY("cur_luma"), NEVO_KEY("tar_luma"),
                 NEVO_KEY("face_luma"), NEVO_KEY("prev_face_luma"), NEVO_KEY("frame_luma"),
                 NEVO_KEY("shutter"), NEVO_KEY("prev_shutter"), NEVO_KEY("sensor_gain"),
                 NEVO_KEY("hcg_sensor_gain"), NEVO_KEY("isp_gain"), NEVO_KEY("prev_isp_gain"),
                 NEVO_KEY("adrc_gain"), NEVO_KEY("prev_adrc_gain"), NEVO_KEY("dark_boost_gain"),
                 NEVO_KEY("lux_index"), NEVO_KEY("exp_index")),
      NEVO_KEY("sensor_mode"),
      NEVO_KEY("frame_timestamp"),
      NEVO_KEY("focus_status"),
      NEVO_GROUP("lsc", NEVO_LSC_GRID("gr"), NEVO_LSC_GRID("gb"), NEVO_LSC_GRID("r"),
                 NEVO_LSC_GRID("b")),
      NEVO_KEY("is_zsl"),
      NEVO_KEY("is_flash_on"),
      ReportNode{"img", NodeKind::kGroup, __LINE__, false, ImageKeys()},
      NEVO_GROUP("gyro_data", NEVO_KEY("count"), NEVO_IGNORED_KEY("gyro_elems"),
                 NEVO_GROUP("frame_time", NEVO_KEY("exp_beg"), NEVO_KEY("exp_end"),
                            NEVO_KEY("exp_dur"))),
      FaceInfoGroup(__LINE__),
      ZoomInfoGroup(__LINE__),
      NEVO_KEY("ae_ratio"),
      NEVO_GROUP("anchor_meta",
                 NEVO_GROUP("best_moment", NEVO_KEY("is_best_moment"), NEVO_KEY("best_moment_score")),
                 NEVO_GROUP("eye_detect", NEVO_KEY("is_eyes_detected"), NEVO_KEY("is_eyes_open"),
                            NEVO_KEY("eye_open_score"), NEVO_KEY("is_left_eyes_open"),
                            NEVO_KEY("is_right_eyes_open"))),
      RectGroup("fs_track_rect", __LINE__),
  };
  return schema;
}

const ReportNode& OutputParamSchema() {
  static const ReportNode schema = NEVO_GROUP(
      "output", NEVO_KEY("img_num"), NEVO_KEY("img"), NEVO_KEY("nr_gain_thresh"),
      NEVO_KEY("exif_info"), NEVO_KEY("xdr_linear_raw_ratio"), NEVO_KEY("aitone_flag"),
      NEVO_KEY("rgb_dehaze_saturation_adjust"), NEVO_KEY("rgb_dehaze_face_hue"),
      NEVO_KEY("rgb_dehaze_face_hue_after"), NEVO_KEY("bokeh_mask_deghost_flag"),
      ReportNode{"bokeh_mask", NodeKind::kGroup, __LINE__, true, ImageKeys()});
  return schema;
}

// Texts from the HAL may hold bytes that are not UTF-8; they are replaced
// instead of failing the whole report.
std::string Compact(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Builds one report; owned by the report function that creates it.
class ReportWriter {
 public:
  explicit ReportWriter(const char* function) : function_(function) {}

  void Line(const std::string& text) {
    text_ += text;
    text_ += '\n';
  }

  // `parent_path` is the parent written as an expression, as in the log.
  void Node(const Json& parent, const std::string& parent_path, const ReportNode& node) {
    if (node.kind == NodeKind::kGroup && !node.optional) {
      Line("");
      Line(node.key);
    }
    const auto it = parent.find(node.key);
    if (it == parent.end()) {
      if (!node.optional) NotFound(node.line, parent_path, std::string("\"") + node.key + "\"");
      return;
    }
    switch (node.kind) {
      case NodeKind::kValue:
        Line(std::string(node.key) + ": " + Compact(*it));
        break;
      case NodeKind::kGroup:
        if (node.optional) {
          Line("");
          Line(node.key);
        }
        Keys(*it, parent_path + "[\"" + node.key + "\"]", node.children);
        break;
      case NodeKind::kLscGrid:
        Grid(node.key, *it);
        break;
      case NodeKind::kIgnored:
        Line(std::string(node.key) + " is ignored here, please review in json");
        break;
    }
  }

  void Keys(const Json& object, const std::string& path, const std::vector<ReportNode>& nodes) {
    for (const ReportNode& node : nodes) Node(object, path, node);
  }

  void NotFound(int line, const std::string& parent_path, const std::string& key_text) {
    NevoPrint(kNevoLogError, kDumpTag, "%s[%s:%d] %s[%s] not found\n", function_, __FILE__, line,
              parent_path.c_str(), key_text.c_str());
  }

  std::string Take() { return std::move(text_); }

 private:
  void Grid(const char* key, const Json& grid) {
    if (!grid.is_array()) {
      Line(std::string(key) + ": " + Compact(grid));
      return;
    }
    Line(std::string(key) + ":");
    for (const Json& row : grid) {
      if (!row.is_array()) {
        Line(Compact(row));
        continue;
      }
      std::string text;
      for (const Json& value : row) {
        if (value.is_number()) {
          // Large enough for "%.6f" of the largest double (309 digits).
          char number[400];
          std::snprintf(number, sizeof(number), "%.6f, ", value.get<double>());
          text += number;
        } else {
          text += Compact(value) + ", ";
        }
      }
      Line(text);
    }
  }

  const char* function_;
  std::string text_;
};

// Frame keys are decimal indexes; anything else under "frame" is not a frame.
bool ParseFrameIndex(const std::string& key, int* index) {
  if (key.empty() || key.size() > 9) return false;
  if (key.size() > 1 && key[0] == '0') return false;
  int value = 0;
  for (const char c : key) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *index = value;
  return true;
}

}  // namespace

std::string NevoInitParam2Str(const Json& json) {
  ReportWriter report(__FUNCTION__);
  report.Line("[nevo init param]");
  report.Node(json, "json", InitParamSchema());
  return report.Take();
}

std::string NevoStartParam2Str(const Json& json) {
  ReportWriter report(__FUNCTION__);
  report.Line("[nevo start param]");
  report.Node(json, "json", StartParamSchema());
  return report.Take();
}

std::string NevoFrameParam2Str(const Json& json, int frame_idx) {
  ReportWriter report(__FUNCTION__);
  report.Line("[nevo frame param][" + std::to_string(frame_idx) + "]");
  const auto frames = json.find("frame");
  if (frames == json.end()) {
    report.NotFound(__LINE__, "json", "\"frame\"");
    return report.Take();
  }
  const auto json_frame = frames->find(std::to_string(frame_idx));
  if (json_frame == frames->end()) {
    report.NotFound(__LINE__, "json[\"frame\"]", "std::to_string(frame_idx)");
    return report.Take();
  }
  report.Keys(*json_frame, "json_frame", FrameParamSchema());
  return report.Take();
}

std::string NevoOutputParam2Str(const Json& json) {
  ReportWriter report(__FUNCTION__);
  report.Line("[nevo output param]");
  report.Node(json, "json", OutputParamSchema());
  return report.Take();
}

std::string NevoJson2Str(const Json& json) {
  ReportWriter report(__FUNCTION__);
  report.Line("[nevo dump]");
  report.Node(json, "json", NEVO_KEY("camera_mode"));
  report.Line("");
  report.Line(NevoInitParam2Str(json));
  report.Line(NevoStartParam2Str(json));

  report.Line("frame");
  std::vector<int> frame_indexes;
  const auto frames = json.find("frame");
  if (frames == json.end()) {
    report.NotFound(__LINE__, "json", "\"frame\"");
  } else if (frames->is_object()) {
    for (const auto& item : frames->items()) {
      int index = 0;
      if (ParseFrameIndex(item.key(), &index)) frame_indexes.push_back(index);
    }
  }
  // Object keys sort as text ("10" before "2"); frames read in capture order.
  std::sort(frame_indexes.begin(), frame_indexes.end());
  for (const int index : frame_indexes) report.Line(NevoFrameParam2Str(json, index));

  report.Line(NevoOutputParam2Str(json));
  return report.Take();
}
