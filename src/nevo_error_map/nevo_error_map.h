// ArcSoft library results mapped into the module's status codes.
#ifndef NEVO_ERROR_MAP_NEVO_ERROR_MAP_H_
#define NEVO_ERROR_MAP_NEVO_ERROR_MAP_H_

// Base of the algorithm type plus the offset of the ArcSoft result code.
// Unsupported types log their name and use the base 2000000.
int ArcErrorGetBase(int result, int algo_type);

#endif  // NEVO_ERROR_MAP_NEVO_ERROR_MAP_H_
