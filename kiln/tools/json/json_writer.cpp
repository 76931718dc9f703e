#include "kiln/tools/json/json_writer.h"

#include <cstdio>

#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace kiln {

JsonWriter::JsonWriter(Context* ctx, const std::string& folder, const std::string& prefix)
    : m_ctx(ctx), m_folder(folder), m_prefix(prefix), m_document(nlohmann::json::object()) {
  m_document["params"] = nlohmann::json::object();
}

std::string JsonWriter::BinPath(const std::string& name) const {
  std::string path = m_folder;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + m_prefix + "_" + name + ".bin";
}

Status JsonWriter::Describe(const std::string& name, const Array* array, nlohmann::json& out) {
  if (array == nullptr) {
    KILN_RECORD(m_ctx, "array:%sis null", name.c_str());
    return kStatusFail;
  }
  const Mat* mat = dynamic_cast<const Mat*>(array);
  if (mat == nullptr || array->GetArrayType() != KILN_ARRAY_MAT) {
    KILN_RECORD(m_ctx, "array:%s is not a Mat", name.c_str());
    return kStatusFail;
  }
  const std::string path = BinPath(name);
  if (mat->Dump(path) != kStatusOk) return kStatusFail;
  const Sizes& sizes = array->GetSizes();
  const Strides& strides = array->GetStrides();
  out = nlohmann::json::object();
  out["sizes"] = {sizes.h, sizes.w, sizes.c};
  out["strides"] = {strides.rows, strides.row_bytes};
  out["elemtype"] = ElemTypeName(array->GetElemType());
  out["path"] = path;
  return kStatusOk;
}

Status JsonWriter::SetArray(const std::string& key, const Array* array) {
  nlohmann::json description;
  if (Describe(key, array, description) != kStatusOk) return kStatusFail;
  m_document["params"][key] = description;
  return kStatusOk;
}

Status JsonWriter::SetArrays(const std::string& key, const std::vector<const Array*>& arrays,
                             const std::vector<std::string>& names) {
  if (arrays.size() != names.size()) {
    KILN_RECORD(m_ctx, "name's size should equal to arrays");
    return kStatusFail;
  }
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < arrays.size(); ++i) {
    nlohmann::json description;
    if (Describe(names[i], arrays[i], description) != kStatusOk) return kStatusFail;
    list.push_back(description);
  }
  m_document["params"][key] = list;
  return kStatusOk;
}

Status JsonWriter::Write(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    KILN_RECORD(m_ctx, "open json file failed");
    return kStatusFail;
  }
  // Replacing bad UTF-8 keeps dump from throwing on odd path bytes.
  const std::string text = m_document.dump(4, ' ', false, nlohmann::json::error_handler_t::replace);
  const size_t written = std::fwrite(text.data(), 1, text.size(), file);
  const bool closed = std::fclose(file) == 0;
  if (written != text.size() || !closed) {
    KILN_RECORD(m_ctx, "write json file %s failed", path.c_str());
    return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace kiln
