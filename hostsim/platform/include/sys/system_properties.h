/* Host replacement for bionic's <sys/system_properties.h>. */
#ifndef NEVO_HOSTSIM_SYS_SYSTEM_PROPERTIES_H_
#define NEVO_HOSTSIM_SYS_SYSTEM_PROPERTIES_H_

#define PROP_NAME_MAX 32
#define PROP_VALUE_MAX 92

#ifdef __cplusplus
extern "C" {
#endif

/* Copies the value (at most PROP_VALUE_MAX - 1 characters plus NUL) into
 * value and returns its length; 0 and an empty string when unset. */
__attribute__((visibility("default"))) int __system_property_get(const char* name, char* value);

#ifdef __cplusplus
}
#endif

#endif /* NEVO_HOSTSIM_SYS_SYSTEM_PROPERTIES_H_ */
