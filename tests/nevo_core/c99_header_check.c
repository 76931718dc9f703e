/* The public header must compile as strict C99. */
#include "nevo/nevo.h"

int nevo_c99_header_check(void);

int nevo_c99_header_check(void) {
  NevoOutput out;
  NevoLogPrintFunc print = 0;
  out.img_num = 0;
  return (int)sizeof(out) + out.img_num + (print == 0);
}
