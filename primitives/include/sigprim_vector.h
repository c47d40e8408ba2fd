/* Complex float vector operations: dot product, multiply, interleave, tone, norm. */
#ifndef SIGPRIM_VECTOR_H
#define SIGPRIM_VECTOR_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
