// One value of a settings (INI) file, read or written per call: the system's private-profile
// functions on Windows, the program's own INI editing elsewhere.
#pragma once

#include <cstddef>
#include <string>

// The longest value a read returns; longer values come back cut to this many bytes.
inline constexpr size_t kProfileValueLimit = 1023;

// The value of key in section of the file at path, or empty when the file, the section or the key
// is missing or the file cannot be read. Any thread.
std::string ReadProfileValue(const std::string& path, const char* section, const char* key);

// Stores value under key in section, creating the file, the section or the key as needed, so that
// ReadProfileValue gives it back exactly (blanks at its ends and quotes around it included): such
// a value is stored in double quotes. Only its first line is stored. A file that cannot be
// written loses the write silently; the rest of an existing file is never lost. Any thread;
// concurrent writes within the process each land whole.
void WriteProfileValue(const std::string& path, const char* section, const char* key,
                       const char* value);
