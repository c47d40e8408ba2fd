#define SIG_LIST "core/vector_list.h"
#include "core/dispatch_gen.h"
