/* fft primitives. */
#ifndef SIGPRIM_FFT_H
#define SIGPRIM_FFT_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
