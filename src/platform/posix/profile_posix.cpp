#include <mutex>

#include "platform/posix/file_io.h"
#include "platform/profile.h"
#include "support/ini_file.h"

namespace {

// Each call reads the whole file and a write puts it back whole, so calls within the process take
// turns: two threads writing different keys must not each put back a file without the other's key.
std::mutex g_profileLock;

}  // namespace

std::string ReadProfileValue(const std::string& path, const char* section, const char* key) {
    std::lock_guard<std::mutex> guard(g_profileLock);
    std::string text;
    if (ReadWholeFile(path, &text) != FileRead::kRead) return std::string();
    std::optional<std::string> value = IniFile(text).Get(section, key);
    if (!value) return std::string();
    if (value->size() > kProfileValueLimit) value->resize(kProfileValueLimit);
    return *value;
}

void WriteProfileValue(const std::string& path, const char* section, const char* key,
                       const char* value) {
    std::lock_guard<std::mutex> guard(g_profileLock);
    std::string text;
    // A file that exists but cannot be read is left alone: writing it back would lose it.
    if (ReadWholeFile(path, &text) == FileRead::kFailed) return;
    IniFile file(text);
    file.Set(section, key, QuoteIniValue(value));
    RewriteFile(path, file.Text());
}
