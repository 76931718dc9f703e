/* Host replacement for the NDK's <android/log.h>: the part the module uses. */
#ifndef NEVO_HOSTSIM_ANDROID_LOG_H_
#define NEVO_HOSTSIM_ANDROID_LOG_H_

#ifdef __cplusplus
extern "C" {
#endif

typedef enum android_LogPriority {
  ANDROID_LOG_UNKNOWN = 0,
  ANDROID_LOG_DEFAULT,
  ANDROID_LOG_VERBOSE,
  ANDROID_LOG_DEBUG,
  ANDROID_LOG_INFO,
  ANDROID_LOG_WARN,
  ANDROID_LOG_ERROR,
  ANDROID_LOG_FATAL,
  ANDROID_LOG_SILENT
} android_LogPriority;

/* Writes one line "<letter>/<tag>: <text>" to standard error. */
__attribute__((visibility("default"), format(printf, 3, 4))) int __android_log_print(
    int prio, const char* tag, const char* fmt, ...);

#ifdef __cplusplus
}
#endif

#endif /* NEVO_HOSTSIM_ANDROID_LOG_H_ */
