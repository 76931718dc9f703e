// A test-only operator, "Probe", on the operator framework: it copies its
// source into its destination and counts what the framework did to it.
#ifndef TESTS_KILN_OPS_CORE_PROBE_OP_H_
#define TESTS_KILN_OPS_CORE_PROBE_OP_H_

#include <cstring>
#include <string>
#include <vector>

#include "kiln/ops/core/comm/op.h"
#include "kiln/ops/core/comm/op_call.h"
#include "kiln/ops/core/comm/op_impl.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/tools/json/json_writer.h"

namespace probe {

// Modes: what the implementation is told to do wrong.
constexpr int kCopy = 0;
constexpr int kRejectArgs = 1;   // SetArgs returns -1
constexpr int kOddArgs = 2;      // SetArgs returns -3
constexpr int kFailInit = 3;
constexpr int kFailRun = 4;
constexpr int kFailDeinit = 5;

struct Counters {
  int none_made = 0;
  int neon_made = 0;
  int inits = 0;
  int runs = 0;
  int deinits = 0;
  std::string last_run;  // "None:ON", "None:OFF" or "Neon"
};

inline Counters& Count() {
  static Counters counters;
  return counters;
}

class ProbeImpl : public kiln::OpImpl {
 public:
  ProbeImpl(kiln::Context* ctx, const kiln::TargetInfo& target) : OpImpl(ctx, "Probe", target) {}

  kiln::Status SetArgs(const kiln::Mat* src, kiln::Mat* dst, int mode) {
    if (mode == kRejectArgs) return -1;
    if (mode == kOddArgs) return -3;
    m_src = src;
    m_dst = dst;
    m_type = mode;
    return 0;
  }
  kiln::Status Initialize() override {
    ++Count().inits;
    return m_type == kFailInit ? -1 : 0;
  }
  kiln::Status Deinitialize() override {
    ++Count().deinits;
    return m_type == kFailDeinit ? -1 : 0;
  }
  std::string ToString() const override {
    return DescribeHead() + " param(m_type: " + std::to_string(m_type) + ")\n";
  }
  std::vector<kiln::Array*> GetSrcArrays() const override { return {const_cast<kiln::Mat*>(m_src)}; }
  std::vector<kiln::Array*> GetDstArrays() const override { return {m_dst}; }

 protected:
  void DumpParams(kiln::JsonWriter& writer) const override { writer.SetValue("m_type", m_type); }

  kiln::Status Copy(const char* who) {
    ++Count().runs;
    Count().last_run = who;
    if (m_type == kFailRun) return -1;
    return m_src->CopyTo(*m_dst);
  }

  const kiln::Mat* m_src = nullptr;
  kiln::Mat* m_dst = nullptr;
  int m_type = kCopy;
};

class ProbeNone : public ProbeImpl {
 public:
  ProbeNone(kiln::Context* ctx, const kiln::TargetInfo& target) : ProbeImpl(ctx, target) { ++Count().none_made; }
  kiln::Status Run() override { return Copy(m_target.flag ? "None:ON" : "None:OFF"); }
};

class ProbeNeon : public ProbeImpl {
 public:
  ProbeNeon(kiln::Context* ctx, const kiln::TargetInfo& target) : ProbeImpl(ctx, target) { ++Count().neon_made; }
  kiln::Status Run() override { return Copy("Neon"); }
};

class Probe : public kiln::Op {
 public:
  using Op::Op;
  kiln::Status SetArgs(const kiln::Mat* src, kiln::Mat* dst, int mode) {
    if (src == nullptr || dst == nullptr) {
      KILN_RECORD(m_ctx, "src/dst is null ptr");
      return -1;
    }
    return SetImplArgs<ProbeImpl, ProbeNone, ProbeNeon>({src->Width(), dst->Width()}, "probe_impl is null ptr", src,
                                                        dst, mode);
  }
};

inline kiln::Status IProbe(kiln::Context* ctx, const kiln::Mat* src, kiln::Mat* dst, int mode,
                           const kiln::TargetInfo& target) {
  Probe op(ctx, target);
  return kiln::OpCall(op, src, dst, mode);
}

}  // namespace probe

#endif  // TESTS_KILN_OPS_CORE_PROBE_OP_H_
