#define SIG_LIST "scan/scan_list.h"
#include "core/dispatch_gen.h"
