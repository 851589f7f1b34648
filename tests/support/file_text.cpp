#include "file_text.h"

#include <fstream>
#include <sstream>

std::string ReadFileText(const std::string& path, const std::string& missing) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return missing;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
