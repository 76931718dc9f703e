// kiln::JsonWriter: the JSON document of an operator's parameter dump.
#ifndef KILN_TOOLS_JSON_JSON_WRITER_H_
#define KILN_TOOLS_JSON_JSON_WRITER_H_

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kiln/runtime/context/status.h"

namespace kiln {

class Array;
class Context;

// Builds {"params": {...}} for one operator and writes it to a file; arrays
// go beside it as raw .bin files named "<folder>/<prefix>_<name>.bin", and
// their description ("sizes", "strides", "elemtype", "path") stands in the
// JSON. Owned by the caller for one dump; the context is borrowed for error
// records.
// Concurrency: none; one writer serves one thread.
class JsonWriter {
 public:
  JsonWriter(Context* ctx, const std::string& folder, const std::string& prefix);

  // params[key] = value (numbers, booleans, strings).
  template <typename T>
  void SetValue(const std::string& key, const T& value) {
    m_document["params"][key] = value;
  }

  // Dumps array (a Mat) to its .bin file and puts its description under
  // params[key]. A null array records "array:<key>is null".
  Status SetArray(const std::string& key, const Array* array);
  // The same for a list: params[key] becomes a list of descriptions, the
  // i-th array named names[i]. Counts must match ("name's size should equal
  // to arrays").
  Status SetArrays(const std::string& key, const std::vector<const Array*>& arrays,
                   const std::vector<std::string>& names);

  // Writes the document with an indent of 4 ("open json file failed" when the
  // file cannot be created).
  Status Write(const std::string& path) const;

  const nlohmann::json& GetDocument() const { return m_document; }
  // "<folder>/<prefix>_<name>.bin"
  std::string BinPath(const std::string& name) const;

 private:
  Status Describe(const std::string& name, const Array* array, nlohmann::json& out);

  Context* m_ctx;
  std::string m_folder;
  std::string m_prefix;
  nlohmann::json m_document;
};

}  // namespace kiln

#endif  // KILN_TOOLS_JSON_JSON_WRITER_H_
