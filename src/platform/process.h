// Facts about the running process.
#pragma once

#include <string>

// Full path of the running executable in the program's narrow text (ANSI code page on Windows,
// UTF-8 elsewhere); empty when the system cannot tell. Any thread.
std::string ExecutablePath();

// The computer's name as the system reports it (Windows: GetComputerNameA; elsewhere the host
// name); empty when unavailable. Any thread.
std::string HostComputerName();
