// A kiln context configured as the engine configures it, for module tests.
#ifndef TESTS_NEVO_ALGO_WRAPPER_TEST_CONTEXT_H_
#define TESTS_NEVO_ALGO_WRAPPER_TEST_CONTEXT_H_

#include <memory>
#include <string>

#include "kiln/runtime/context/context.h"

inline std::shared_ptr<kiln::Context> MakeTestContext(int async_threads = 2, int log_level = 0) {
  kiln::ContextConfig cfg;
  cfg.log_mode = 2;
  cfg.log_level = log_level;
  cfg.wp_name = "NEVO";
  cfg.compute_threads = 2;
  cfg.async_threads = async_threads;
  auto ctx = std::make_shared<kiln::Context>(cfg);
  ctx->Initialize();
  return ctx;
}

// The error history as text, then cleared.
inline std::string TakeRecords(kiln::Context* ctx) {
  const auto logger = ctx->GetLogger();
  const std::string text = logger->GetErrorBacktrace();
  logger->ClearError();
  return text;
}

#endif  // TESTS_NEVO_ALGO_WRAPPER_TEST_CONTEXT_H_
