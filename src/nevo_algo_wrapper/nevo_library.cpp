#include "nevo_algo_wrapper/nevo_library.h"

#include <dlfcn.h>

#include <string>

#include "nevo_utils/nevo_log.h"

namespace {

// Loader errors name the public operation (Load, UnLoad), not the helper.
void LogLoaderError(const char* function, int line, const std::string& text) {
  NevoPrint(kNevoLogError, kNevoLibraryTag, "%s[%s:%d] %s\n", function, __FILE__, line, text.c_str());
}

std::string LastDlError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown";
}

}  // namespace

int32_t NevoLibrary::GetLoadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return load_count_;
}

void* NevoLibrary::OpenFile(const char* file_name) {
  dlerror();
  void* handle = dlopen(file_name, RTLD_LAZY);
  if (handle == nullptr) {
    LogLoaderError("Load", __LINE__, std::string("dlopen ") + file_name + " failed, err : " + LastDlError());
  }
  return handle;
}

void* NevoLibrary::ResolveSymbol(void* handle, const char* symbol) {
  dlerror();
  void* address = dlsym(handle, symbol);
  // A symbol that resolves to null is as unusable as an absent one.
  if (address == nullptr) {
    const std::string reason = LastDlError();
    LogLoaderError("Load", __LINE__, std::string("dlsym ") + symbol + " failed");
    NevoPrint(kNevoLogDebug, kNevoLibraryTag, "dlsym %s err : %s\n", symbol, reason.c_str());
  }
  return address;
}

int NevoLibrary::CloseFile(void* handle) {
  dlerror();
  if (dlclose(handle) != 0) {
    LogLoaderError("UnLoad", __LINE__, "dlclose failed, err : " + LastDlError());
    return kNevoLibraryFailed;
  }
  return 0;
}
