#define SIG_LIST "core/core_list.h"
#include "core/dispatch_gen.h"
