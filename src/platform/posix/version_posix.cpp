#include "platform/version.h"

bool ReadProductVersion(std::uint16_t parts[4]) {
    parts[0] = CORVANE_VERSION_MAJOR;
    parts[1] = CORVANE_VERSION_MINOR;
    parts[2] = CORVANE_VERSION_PATCH;
    parts[3] = CORVANE_VERSION_TWEAK;
    return true;
}
