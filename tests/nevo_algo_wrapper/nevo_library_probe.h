/* Interface of libnevo_library_probe.so, the vendor library the loader
 * tests open. Probe_Missing is declared but never exported, like an entry
 * point an older vendor build lacks. */
#ifndef TESTS_NEVO_ALGO_WRAPPER_NEVO_LIBRARY_PROBE_H_
#define TESTS_NEVO_ALGO_WRAPPER_NEVO_LIBRARY_PROBE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PROBE_API __attribute__((visibility("default")))

typedef struct ProbeVersion {
  int32_t major;
  int32_t minor;
  int32_t patch;
  int32_t build;
} ProbeVersion;

/* The version record {3, 1, 4, 15}. */
PROBE_API const ProbeVersion* Probe_GetVersion(void);
/* ArcSoft-style result type: returns its argument. */
PROBE_API long Probe_Echo(long result);
/* In-house style: writes a + b to *sum and returns 0; -1 for a null sum. */
PROBE_API int Probe_Add(int a, int b, int* sum);
/* Adds one to *counter. */
PROBE_API void Probe_Touch(int* counter);
/* Writes the steady-clock time in microseconds seen inside the call. */
PROBE_API int Probe_Stamp(long long* steady_us);
/* Throws std::runtime_error("probe failure"), as vendor C++ code may. */
PROBE_API int Probe_Throw(void);
/* Not exported. */
PROBE_API int Probe_Missing(int value);

/* Control for the tests, never resolved by a loader: how many times any
 * entry point above was entered. */
PROBE_API long Probe_ControlCallCount(void);

#ifdef __cplusplus
}
#endif

#endif /* TESTS_NEVO_ALGO_WRAPPER_NEVO_LIBRARY_PROBE_H_ */
