#define SIG_LIST "fft/fft_list.h"
#include "core/dispatch_gen.h"
