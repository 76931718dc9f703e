// Loaders of the vendor algorithm libraries: one process-wide object per
// loader class, which opens its library file once with dlopen and resolves
// every entry point once into a typed function-pointer member.
//
// A loader lists its entry points once and derives from NevoLibraryOf:
//
//   #define HDR_ENTRY_POINTS(X) X(ZRV_HDR_GetVersion) X(ZRV_HDR_RAW_Init) ...
//   constexpr const char* kHdrLibraryFile = "libqx_hdr_raw.so";
//   class HdrLibrary final : public NevoLibraryOf<HdrLibrary> {
//     NEVO_LIBRARY_ENTRY_POINTS(HDR_ENTRY_POINTS)
//    private:
//     friend class NevoLibraryOf<HdrLibrary>;
//     HdrLibrary() : NevoLibraryOf(kHdrLibraryFile) {}
//   };
//
// Adapters reach it only through the timed call functions of
// nevo_library_call.h, never through the members directly.
#ifndef NEVO_ALGO_WRAPPER_NEVO_LIBRARY_H_
#define NEVO_ALGO_WRAPPER_NEVO_LIBRARY_H_

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <type_traits>

constexpr const char* kNevoLibraryTag = "NEVO_LIBRARY";
// Load when the file cannot be opened; UnLoad when dlclose fails.
constexpr int kNevoLibraryFailed = 1002300;

// Base of every loader; the one instance of each subclass is owned by
// NevoLibraryOf::Get and lives until process exit.
// Concurrency: Load and UnLoad may run on any thread; both hold the loader's
// mutex. The entry points are read without a lock: they change only when the
// file is opened or closed, and closing (at process exit) must not race with
// calls, which the loader does not serialise.
class NevoLibrary {
 public:
  virtual ~NevoLibrary() = default;
  NevoLibrary(const NevoLibrary&) = delete;
  NevoLibrary& operator=(const NevoLibrary&) = delete;

  // The first call opens the file and resolves every entry point (a missing
  // one is logged and left null); later calls only count. 0, or 1002300 when
  // the file cannot be opened.
  virtual int Load() = 0;
  // Drops one count and closes the file when none is left, or always when
  // force is set. 0, or 1002300 when dlclose fails.
  virtual int UnLoad(bool force) = 0;

  // Successful Load calls not yet matched by UnLoad; 0 while closed.
  int32_t GetLoadCount() const;

 protected:
  NevoLibrary() = default;

  // Steps shared by every loader; the caller holds mutex_.
  // dlopen (lazy binding); null after logging the dlerror text.
  static void* OpenFile(const char* file_name);
  // dlsym; null after logging the symbol name.
  static void* ResolveSymbol(void* handle, const char* symbol);
  // dlclose; 1002300 after logging the dlerror text.
  static int CloseFile(void* handle);

  mutable std::mutex mutex_;
  int32_t load_count_ = 0;
};

// The loader of one library file. Derived declares its entry points with
// NEVO_LIBRARY_ENTRY_POINTS, keeps its constructor private and befriends
// this class, so Get is the only way to an instance.
template <typename Derived>
class NevoLibraryOf : public NevoLibrary {
 public:
  // The process-wide instance, created and loaded by the first caller
  // (thread-safe), force-unloaded and destroyed at process exit. A failed
  // load is not retried: the entry points then stay null.
  static Derived& Get() {
    static Instance instance;
    return instance.library;
  }

  int Load() final {
    std::lock_guard<std::mutex> lock(mutex_);
    if (load_count_ > 0) {
      ++load_count_;
      return 0;
    }
    handle_ = OpenFile(file_name_);
    if (handle_ == nullptr) return kNevoLibraryFailed;
    Self().ForEachEntryPoint([this](const char* name, auto& entry) {
      using Entry = std::remove_reference_t<decltype(entry)>;
      entry = reinterpret_cast<Entry>(ResolveSymbol(handle_, name));
    });
    load_count_ = 1;
    return 0;
  }

  int UnLoad(bool force) final {
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle_ == nullptr) return 0;
    load_count_ = std::max(load_count_ - 1, 0);
    if (!force && load_count_ > 0) return 0;
    // The code goes away with the mapping: a late call must find the entry
    // point missing instead of jumping into unmapped memory.
    Self().ForEachEntryPoint([](const char*, auto& entry) { entry = nullptr; });
    const int ret = CloseFile(handle_);
    handle_ = nullptr;
    load_count_ = 0;
    return ret;
  }

 protected:
  explicit NevoLibraryOf(const char* file_name) : file_name_(file_name) {}

 private:
  // Loads only once Derived is complete (its members start null), and
  // unloads before Derived goes away.
  struct Instance {
    Instance() { library.Load(); }
    ~Instance() { library.UnLoad(true); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    Derived library;
  };

  Derived& Self() { return static_cast<Derived&>(*this); }

  const char* const file_name_;
  void* handle_ = nullptr;
};

// Inside a loader class: one function-pointer member per entry point, typed
// from the vendor header's declaration and named like it, in list order,
// plus the visitor Load and UnLoad use to resolve and clear them in that
// order. LIST(X) must expand to X(name) for every entry point.
#define NEVO_LIBRARY_ENTRY_MEMBER_(name) decltype(&::name) name = nullptr;
#define NEVO_LIBRARY_ENTRY_VISIT_(name) visit(#name, name);
#define NEVO_LIBRARY_ENTRY_POINTS(LIST)   \
 public:                                  \
  LIST(NEVO_LIBRARY_ENTRY_MEMBER_)        \
  template <typename Visit>               \
  void ForEachEntryPoint(Visit&& visit) { \
    LIST(NEVO_LIBRARY_ENTRY_VISIT_)       \
  }

#endif  // NEVO_ALGO_WRAPPER_NEVO_LIBRARY_H_
