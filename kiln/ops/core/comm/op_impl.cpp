#include "kiln/ops/core/comm/op_impl.h"

#include "kiln/runtime/context/context.h"
#include "kiln/tools/json/json_writer.h"

namespace kiln {

namespace {

// One array is written as a description, several as a list of them.
Status DumpArrayList(JsonWriter& writer, const std::string& key, const std::vector<Array*>& arrays) {
  if (arrays.size() == 1) return writer.SetArray(key, arrays[0]);
  std::vector<const Array*> list(arrays.begin(), arrays.end());
  std::vector<std::string> names;
  for (size_t i = 0; i < arrays.size(); ++i) names.push_back(key + std::to_string(i));
  return writer.SetArrays(key, list, names);
}

}  // namespace

OpImpl::OpImpl(Context* ctx, const std::string& name, const TargetInfo& target)
    : m_ctx(ctx), m_name(name), m_target(target) {}

OpImpl::~OpImpl() = default;

std::string OpImpl::DescribeHead() const { return "op(" + m_name + ") target(" + TargetToString(m_target) + ")"; }

void OpImpl::DumpParams(JsonWriter&) const {}

Status OpImpl::Dump(const std::string& folder) {
  JsonWriter writer(m_ctx, folder, m_name);
  writer.SetValue("name", m_name);
  if (DumpArrayList(writer, "m_src", GetSrcArrays()) != kStatusOk) {
    KILN_RECORD(m_ctx, "SetArray src failed");
    return kStatusFail;
  }
  if (DumpArrayList(writer, "m_dst", GetDstArrays()) != kStatusOk) {
    KILN_RECORD(m_ctx, "SetArray dst failed");
    return kStatusFail;
  }
  DumpParams(writer);
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  if (writer.Write(path + m_name + ".json") != kStatusOk) {
    KILN_RECORD(m_ctx, "Write json failed");
    return kStatusFail;
  }
  return kStatusOk;
}

}  // namespace kiln
