// Resolving entry points of the vendor memory libraries.
#ifndef KILN_RUNTIME_MEMORY_DL_SYMBOL_H_
#define KILN_RUNTIME_MEMORY_DL_SYMBOL_H_

#include <dlfcn.h>

namespace kiln {

// Looks name up in lib into fn. Returns false (fn null) when the library is
// missing, the symbol is absent or dlerror reports a failure.
template <typename Fn>
bool ResolveSymbol(void* lib, const char* name, Fn& fn) {
  fn = nullptr;
  if (lib == nullptr) return false;
  dlerror();  // clear a stale error so the check below is about this lookup
  void* sym = dlsym(lib, name);
  if (dlerror() != nullptr || sym == nullptr) return false;
  fn = reinterpret_cast<Fn>(sym);
  return true;
}

}  // namespace kiln

#endif  // KILN_RUNTIME_MEMORY_DL_SYMBOL_H_
