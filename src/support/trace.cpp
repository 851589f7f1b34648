#include "support/trace.h"

#include <cstdarg>
#include <cstdio>

void TracePrintf(const char* format, ...) {
    char line[16 * 1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fputs(line, stdout);
    std::fflush(stdout);
}
