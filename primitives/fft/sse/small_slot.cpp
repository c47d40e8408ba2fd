// The kernels of slots 1 to 4 are added here.
#include "core/slot.h"
