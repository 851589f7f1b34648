// The product version of the running program.
#pragma once

#include <cstdint>

// The four parts of the product version (Windows: the executable's version resource; elsewhere
// the version compiled in). False when it cannot be read.
bool ReadProductVersion(std::uint16_t parts[4]);
