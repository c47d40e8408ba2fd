#define SIG_LIST "fir/fir_list.h"
#include "core/dispatch_gen.h"
