// The few platform services the scanner needs beyond POSIX and Qt.
#pragma once

#include <time.h>

// The workers' polling pause: 10 ms.
inline void sleep10ms()
{
    timespec t{0, 10 * 1000 * 1000};
    while (nanosleep(&t, &t) != 0) {
    }
}
