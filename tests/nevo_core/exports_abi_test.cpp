// The public interface as a HAL sees it: only libnevo.so and nevo.h.
#include <elf.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "nevo/nevo.h"
#include "nevo_core/log_capture.h"
#include "nevo_engine/sysroot.h"
#include "nevo_host/properties.h"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int kFail = 1002300;

// Reads the defined dynamic symbols and the run path of a 64-bit ELF file.
struct ElfExports {
  std::set<std::string> symbols;
  std::string runpath;
};

ElfExports ReadElfExports(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ElfExports out;
  if (file.size() < sizeof(Elf64_Ehdr)) return out;
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(file.data());
  const auto* sh = reinterpret_cast<const Elf64_Shdr*>(file.data() + eh->e_shoff);
  for (int i = 0; i < eh->e_shnum; ++i) {
    if (sh[i].sh_type == SHT_DYNSYM) {
      const char* strtab = file.data() + sh[sh[i].sh_link].sh_offset;
      const auto* syms = reinterpret_cast<const Elf64_Sym*>(file.data() + sh[i].sh_offset);
      const size_t n = sh[i].sh_size / sizeof(Elf64_Sym);
      for (size_t k = 1; k < n; ++k) {
        const int bind = ELF64_ST_BIND(syms[k].st_info);
        if (syms[k].st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
        out.symbols.insert(strtab + syms[k].st_name);
      }
    } else if (sh[i].sh_type == SHT_DYNAMIC) {
      const char* strtab = file.data() + sh[sh[i].sh_link].sh_offset;
      const auto* dyn = reinterpret_cast<const Elf64_Dyn*>(file.data() + sh[i].sh_offset);
      for (size_t k = 0; k < sh[i].sh_size / sizeof(Elf64_Dyn); ++k) {
        if (dyn[k].d_tag == DT_RUNPATH || dyn[k].d_tag == DT_RPATH) out.runpath = strtab + dyn[k].d_un.d_val;
      }
    }
  }
  return out;
}

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    NevoHostPropertySet("persist.vendor.camera.nevo.log_level", "2");
    NevoSetLogPrint(1, &LogCapture::Callback);
    LogCapture::Get().Take();
  }
  void TearDown() override { NevoHostPropertyClear(); }

  static std::vector<LogRecord> Errors() {
    std::vector<LogRecord> errors;
    for (auto& r : LogCapture::Get().Take()) {
      if (r.level == 0) errors.push_back(r);
    }
    return errors;
  }
  // Exactly one error line: "<function>[<file>:<line>] <text>".
  static void ExpectOneError(const std::string& function, const std::string& text) {
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].tag, "NEVO");
    EXPECT_THAT(errors[0].text, StartsWith(function + "["));
    EXPECT_THAT(errors[0].text, HasSubstr("nevo_api.cpp:"));
    EXPECT_THAT(errors[0].text, EndsWith("] " + text));
  }
  static void ExpectNoError() { EXPECT_TRUE(Errors().empty()); }

  static NevoHandle Create() {
    NevoConfig config{};
    int status = -1;
    NevoHandle h = NevoCreate(&config, &status);
    EXPECT_EQ(status, 0);
    return h;
  }
};

int AnchorCallback(int*, void*) { return 0; }

// A pointer to 24 zero bytes: the right size, the wrong magic.
alignas(8) unsigned char g_zero_handle[24] = {};
NevoHandle ZeroHandle() { return reinterpret_cast<NevoHandle>(g_zero_handle); }

TEST(ExportList, LibraryExportsExactlyTheTwelveFunctionsWithOriginRunPath) {
  const ElfExports e = ReadElfExports(std::string(NEVO_TEST_BINARY_DIR) + "/libnevo.so");
  const std::set<std::string> expected = {
      "NevoCreate",       "NevoInit",      "NevoStart", "NevoAddFrame",      "NevoRun",        "NevoSelectAnchor",
      "NevoTerminate",    "NevoUnit",      "NevoDestroy", "NevoSetDepthParam", "NevoGetVersion", "NevoSetLogPrint"};
  EXPECT_EQ(e.symbols, expected);
  EXPECT_EQ(e.runpath, "$ORIGIN");
}

TEST_F(Exports, Create_RejectsNullStatusAndNullConfig) {
  NevoConfig config{};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(NevoCreate(&config, nullptr), nullptr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  // Goes to the kiln log, not through the host callback.
  EXPECT_THAT(err, HasSubstr("E/NEVO: NevoCreate["));
  EXPECT_THAT(err, HasSubstr("] status is null..."));
  ExpectNoError();

  int status = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(NevoCreate(nullptr, &status), nullptr);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("] nevo config is invalid..."));
  EXPECT_EQ(status, kFail);
}

TEST_F(Exports, Create_ReturnsHandleWithMagicAndLogsIt) {
  NevoHandle h = Create();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(std::memcmp(h, "OVEN", 4), 0);
  const auto records = LogCapture::Get().Take();
  char expected[64];
  std::snprintf(expected, sizeof(expected), "NevoCreate create handle %p\n", static_cast<void*>(h));
  EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                          [&](const LogRecord& r) { return r.level == 2 && r.text == expected; }));
  EXPECT_EQ(NevoDestroy(&h), 0);
  EXPECT_EQ(h, nullptr);
}

TEST_F(Exports, NullHandle_IsRejectedWithTheHandleMessage) {
  NevoInitParam init{};
  NevoStartParam start{};
  NevoFrame frame{};
  NevoOutput output{};
  NevoDepthParam depth{};
  int index = 0;

  EXPECT_EQ(NevoInit(nullptr, &init), kFail);
  ExpectOneError("NevoInit", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoStart(nullptr, &start, AnchorCallback, nullptr), kFail);
  ExpectOneError("NevoStart", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoAddFrame(nullptr, &frame, &output), kFail);
  ExpectOneError("NevoAddFrame", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoRun(nullptr), kFail);
  ExpectOneError("NevoRun", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoSelectAnchor(nullptr, &index), kFail);
  ExpectOneError("NevoSelectAnchor", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoSetDepthParam(nullptr, &depth), kFail);
  ExpectOneError("NevoSetDepthParam", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoTerminate(nullptr), kFail);
  ExpectNoError();
  EXPECT_EQ(NevoUnit(nullptr), kFail);
  ExpectNoError();
}

TEST_F(Exports, WrongMagic_IsRejectedAndOnlySomeExportsLogIt) {
  NevoInitParam init{};
  NevoStartParam start{};
  NevoFrame frame{};
  NevoOutput output{};
  NevoDepthParam depth{};
  int index = 0;

  EXPECT_EQ(NevoInit(ZeroHandle(), &init), kFail);
  ExpectOneError("NevoInit", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoStart(ZeroHandle(), &start, AnchorCallback, nullptr), kFail);
  ExpectOneError("NevoStart", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoAddFrame(ZeroHandle(), &frame, &output), kFail);
  ExpectOneError("NevoAddFrame", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoRun(ZeroHandle()), kFail);
  ExpectOneError("NevoRun", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoSelectAnchor(ZeroHandle(), &index), kFail);
  ExpectNoError();
  EXPECT_EQ(NevoSetDepthParam(ZeroHandle(), &depth), kFail);
  ExpectNoError();
  EXPECT_EQ(NevoTerminate(ZeroHandle()), kFail);
  EXPECT_EQ(NevoUnit(ZeroHandle()), kFail);
  ExpectNoError();
  NevoHandle h = ZeroHandle();
  EXPECT_EQ(NevoDestroy(&h), kFail);
  ExpectOneError("NevoDestroy", "nevo handle is invalid...\n");
  EXPECT_EQ(h, ZeroHandle());  // frees nothing, leaves the pointer alone
}

TEST_F(Exports, NullArguments_AreCheckedAfterTheHandleInOrder) {
  NevoHandle h = Create();
  LogCapture::Get().Take();
  NevoStartParam start{};

  EXPECT_EQ(NevoInit(h, nullptr), kFail);
  ExpectOneError("NevoInit", "init_param is invalid...\n");
  EXPECT_EQ(NevoStart(h, nullptr, nullptr, nullptr), kFail);
  ExpectOneError("NevoStart", "nevo start_param is invalid...\n");
  EXPECT_EQ(NevoStart(h, &start, nullptr, nullptr), kFail);
  ExpectOneError("NevoStart", "nevo get_anchor_func is invalid...\n");
  EXPECT_EQ(NevoAddFrame(h, nullptr, nullptr), kFail);
  ExpectOneError("NevoAddFrame", "nevo frame is invalid...\n");
  EXPECT_EQ(NevoSelectAnchor(h, nullptr), kFail);
  ExpectOneError("NevoSelectAnchor", "frame_index is invalid...\n");
  EXPECT_EQ(NevoSetDepthParam(h, nullptr), kFail);
  ExpectOneError("NevoSetDepthParam", "depth_param is invalid...\n");
  // The null-argument message wins over the magic check for these two.
  EXPECT_EQ(NevoSelectAnchor(ZeroHandle(), nullptr), kFail);
  ExpectOneError("NevoSelectAnchor", "frame_index is invalid...\n");
  EXPECT_EQ(NevoSetDepthParam(ZeroHandle(), nullptr), kFail);
  ExpectOneError("NevoSetDepthParam", "depth_param is invalid...\n");
  // The handle is checked first.
  EXPECT_EQ(NevoStart(nullptr, nullptr, nullptr, nullptr), kFail);
  ExpectOneError("NevoStart", "nevo handle is invalid...\n");
  EXPECT_EQ(NevoDestroy(&h), 0);
}

TEST_F(Exports, Lifecycle_ReachesTheEngineAndLogsEntryLines) {
  // The bypass wrapper with no fallback routine: only the lifecycle is under test.
  TestSysroot sysroot;
  sysroot.Write("/odm/etc/camera/nevo.json", R"({"nevo": {"algo": {"NEVO_BYPASS": {"bypass_func": 3}}}})");
  NevoHandle h = Create();
  LogCapture::Get().Take();
  NevoInitParam init{};
  init.ae.algo_type = 0;
  init.ae.ev_num = 1;
  NevoStartParam start{};
  start.frame_num = 1;
  NevoFrame frame{};
  NevoOutput output{};
  int index = -1;

  EXPECT_EQ(NevoInit(h, &init), 0);
  EXPECT_EQ(NevoStart(h, &start, AnchorCallback, nullptr), 0);  // null user_data is fine here
  EXPECT_EQ(NevoAddFrame(h, &frame, &output), 0);
  EXPECT_EQ(NevoRun(h), 0);
  EXPECT_EQ(std::string(output.exif_info).rfind("NEVO:{", 0), 0u);
  // Not an anchor-select capture: the engine refuses, the export logs it.
  EXPECT_EQ(NevoSelectAnchor(h, &index), kFail);
  EXPECT_EQ(NevoTerminate(h), 0);
  EXPECT_EQ(NevoUnit(h), 0);

  std::vector<std::string> entries;
  bool select_failure_logged = false;
  for (const auto& r : LogCapture::Get().Take()) {
    if (r.level == 2 && r.text.find(" with handle ") != std::string::npos) entries.push_back(r.text);
    if (r.level == 0 && r.text.find("NevoSelectAnchor fail, return=1002300") != std::string::npos) {
      select_failure_logged = true;
    }
  }
  EXPECT_TRUE(select_failure_logged);
  char suffix[64];
  std::snprintf(suffix, sizeof(suffix), " with handle %p\n", static_cast<void*>(h));
  const std::vector<std::string> expected = {
      std::string("NevoInit") + suffix,         std::string("NevoStart") + suffix,
      std::string("NevoAddFrame") + suffix,     std::string("NevoRun") + suffix,
      std::string("NevoSelectAnchor") + suffix, std::string("NevoTerminate") + suffix,
      std::string("NevoUnit") + suffix};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(NevoDestroy(&h), 0);
}

TEST_F(Exports, Destroy_TwiceAndNullAreHarmless) {
  EXPECT_EQ(NevoDestroy(nullptr), 0);
  NevoHandle h = Create();
  LogCapture::Get().Take();
  void* raw = h;
  EXPECT_EQ(NevoDestroy(&h), 0);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(NevoDestroy(&h), 0);
  const auto records = LogCapture::Get().Take();
  char expected[64];
  std::snprintf(expected, sizeof(expected), "NevoDestroy destroy handle %p\n", raw);
  EXPECT_EQ(std::count_if(records.begin(), records.end(), [&](const LogRecord& r) { return r.text == expected; }),
            1);
  EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                          [](const LogRecord& r) { return r.text == "Nevo::Destroy()\n"; }));
}

TEST(Version, IsTheBannerUpToItsLastBracketBuiltOnce) {
  const char* v = NevoGetVersion();
  EXPECT_STREQ(v, "nevo v1.0_20250225094637 develop_o1:2a28627 ");
  std::vector<const char*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = NevoGetVersion(); });
  for (auto& t : threads) t.join();
  for (const char* p : seen) EXPECT_EQ(p, v);
}

}  // namespace
