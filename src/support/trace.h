// Trace lines: protocol noise and progress, printed on standard output only (never the log).
#pragma once

// printf to standard output, flushed at once so a watching terminal or pipe sees each line.
// Any thread.
void TracePrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
