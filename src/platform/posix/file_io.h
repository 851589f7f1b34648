// Whole-file reads and crash-safe whole-file replacement (POSIX only).
#pragma once

#include <string>

enum class FileRead { kRead, kMissing, kFailed };

// Reads the whole file into *contents. kMissing when there is no such file (or a folder on the
// way is missing), kFailed for any other error; *contents is then empty.
FileRead ReadWholeFile(const std::string& path, std::string* contents);

// Puts contents into the file at path so that a reader, or the file after a crash, sees either
// the old file or the new one, never a mix: the data goes to a new file in the same folder
// ("<name>.tmp-<process id>-<n>"), is flushed to disk, and is renamed over the old one. The old
// file's permission bits are kept; a path that is a symbolic link replaces the link's target.
// Temporary files of this name that processes now gone left behind are removed first. Returns
// false (the old file untouched, no temporary file left) when any step fails.
bool ReplaceFileAtomically(const std::string& path, const std::string& contents);

// ReplaceFileAtomically where the folder allows it; where it refuses a new file, or refuses the
// rename (a file mounted on its own), an existing regular file is rewritten in place instead
// (flushed, but no longer safe against a crash in the middle). False when neither worked.
bool RewriteFile(const std::string& path, const std::string& contents);

// Creates the folder and any missing parents with the given mode. True when it exists after.
bool MakeFolders(const std::string& path, unsigned mode);
