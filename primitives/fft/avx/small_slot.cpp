// placeholder
#include "core/slot.h"
