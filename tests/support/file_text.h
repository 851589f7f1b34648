// Files the programs under test write (logs, settings, captured output), read whole.
#pragma once

#include <string>

// The file's bytes; `missing` when it cannot be opened.
std::string ReadFileText(const std::string& path, const std::string& missing = "");
