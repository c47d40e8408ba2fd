// The program's console log on standard output. Every message is prefixed "%6d " with 0;
// messages carry their own line ends, errors begin with "!!! ".
#pragma once

#include <stdexcept>

void logPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Verbose lines: printed while the verbosity (fixed at 2) is at least 1, i.e. always.
void logVerbose(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A failure whose message went to the console log where it happened: whoever catches it must
// not log it again.
class LoggedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
