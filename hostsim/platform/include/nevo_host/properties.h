/* Host-only control of the simulated system property store.
 * Used by tests and the capture tool; the module itself never calls these.
 * The store is filled on first use from the file named by NEVO_PROPS_FILE
 * (lines "name=value", '#' comments, surrounding blanks ignored). */
#ifndef NEVO_HOST_PROPERTIES_H_
#define NEVO_HOST_PROPERTIES_H_

#ifdef __cplusplus
extern "C" {
#endif

#define NEVO_HOST_API __attribute__((visibility("default")))

/* Sets a property; values longer than 91 characters are cut. Returns 0, or
 * -1 for a null or empty name or a null value. */
NEVO_HOST_API int NevoHostPropertySet(const char* name, const char* value);
/* Removes a property; returns 0 whether or not it was set. */
NEVO_HOST_API int NevoHostPropertyUnset(const char* name);
/* Removes every property (the file is not read again). */
NEVO_HOST_API void NevoHostPropertyClear(void);

#ifdef __cplusplus
}
#endif

#endif /* NEVO_HOST_PROPERTIES_H_ */
