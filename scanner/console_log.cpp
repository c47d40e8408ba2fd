#include "console_log.h"

#include <cstdarg>
#include <cstdio>

namespace {
constexpr int kVerbosity = 2;

void logLine(const char* format, va_list args)
{
    std::printf("%6d ", 0);
    std::vprintf(format, args);
    std::fflush(stdout);
}
}  // namespace

void logPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    logLine(format, args);
    va_end(args);
}

void logVerbose(const char* format, ...)
{
    if (kVerbosity < 1)
        return;
    va_list args;
    va_start(args, format);
    logLine(format, args);
    va_end(args);
}
