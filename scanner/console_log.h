// The program's console log on standard output. Every message is prefixed "%6d " with 0;
// messages carry their own line ends, errors begin with "!!! ".
#pragma once

void logPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Verbose lines: printed while the verbosity (fixed at 2) is at least 1, i.e. always.
void logVerbose(const char* format, ...) __attribute__((format(printf, 1, 2)));
