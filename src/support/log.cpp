#include "support/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace {

constexpr int kMessageLimit = 15360;
constexpr long kSizeLimit = 10485760;

struct LogState {
    std::mutex* lock = nullptr;
    char path[512] = "/";
    long sizeLimit = 0;

    LogState() { lock = new std::mutex; }
    ~LogState() {
        delete lock;
        lock = nullptr;
    }
};

LogState g_log;

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
#if defined(_WIN32)
    if (localtime_s(&tm, &now) != 0) tm = std::tm{};
#else
    if (localtime_r(&now, &tm) == nullptr) tm = std::tm{};
#endif
    return tm;
}

}  // namespace

void LogFileNameFor(const char* executablePath, char* out, unsigned outSize) {
    if (outSize == 0) return;
    std::string name = executablePath;
    size_t nameStart = name.find_last_of("/\\");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot >= nameStart) name.resize(dot);
    name += ".log";
    std::snprintf(out, outSize, "%s", name.c_str());
}

std::string LogFileNameFor(const std::string& executablePath) {
    char path[sizeof g_log.path];
    LogFileNameFor(executablePath.c_str(), path, sizeof path);
    return path;
}

int LogInit(const std::string& logFilePath) {
    if (logFilePath.empty() || logFilePath.size() >= sizeof g_log.path) return -1;
    char path[sizeof g_log.path] = {};
    std::memcpy(path, logFilePath.data(), logFilePath.size());
    if (g_log.lock == nullptr) return -1;
    std::lock_guard<std::mutex> guard(*g_log.lock);
    std::memcpy(g_log.path, path, sizeof path);
    g_log.sizeLimit = kSizeLimit;
    return 0;
}

int LogPrintf(const char* format, ...) {
    char line[32 * 1024];
    std::tm tm = LocalNow();
    int prefix =
        std::snprintf(line, sizeof line, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d  ", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    if (prefix < 0) prefix = 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + prefix, kMessageLimit + 1, format, args);
    va_end(args);

    std::mutex* lock = g_log.lock;
    if (lock == nullptr) return -1;
    std::lock_guard<std::mutex> guard(*lock);
    // Opened per line so the file can be moved or deleted while the program runs. A file that
    // has grown past the limit is emptied and starts again with this line.
    if (std::FILE* file = std::fopen(g_log.path, "a+")) {
        if (g_log.sizeLimit != 0 && std::fseek(file, 0, SEEK_END) == 0 &&
            std::ftell(file) > g_log.sizeLimit) {
            file = std::freopen(g_log.path, "w", file);
        }
        if (file != nullptr) {
            std::fputs(line, file);
            std::fclose(file);
        }
    }
    std::fputs(line, stdout);
    std::fflush(stdout);
    return 0;
}
