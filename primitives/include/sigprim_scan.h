/* scan primitives. */
#ifndef SIGPRIM_SCAN_H
#define SIGPRIM_SCAN_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
