/* fir primitives. */
#ifndef SIGPRIM_FIR_H
#define SIGPRIM_FIR_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
