// kiln::Status: the result of every fallible runtime call.
#ifndef KILN_RUNTIME_CONTEXT_STATUS_H_
#define KILN_RUNTIME_CONTEXT_STATUS_H_

namespace kiln {

// 0 success, -1 failure (the worker pool also combines -2 from its tasks).
using Status = int;

constexpr Status kStatusOk = 0;
constexpr Status kStatusFail = -1;

}  // namespace kiln

#endif  // KILN_RUNTIME_CONTEXT_STATUS_H_
