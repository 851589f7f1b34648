// The process-wide diagnostic log: one timestamped line per call, appended to a file (normally
// beside the executable, see LogFileNameFor) and echoed to standard output.
#pragma once

#include <string>

// Points the log at the file and turns on the 10 MiB reset. Returns 0, or -1 when the path is
// empty or too long (the log then stays console-only). Call once, before any thread that logs
// exists.
int LogInit(const std::string& logFilePath);

// Formats one line behind a "YYYY-MM-DD hh:mm:ss  " local-time prefix. The message is cut at
// 15,360 characters; no line feed is added. Returns 0, or -1 after the log was torn down at exit.
// Thread-safe: any thread, any time; whole lines never interleave.
int LogPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The log file name for an executable path: cut at the last "." of the file name (not of a
// folder), then ".log" appended.
void LogFileNameFor(const char* executablePath, char* out, unsigned outSize);
std::string LogFileNameFor(const std::string& executablePath);
