// Loads the office module (corvane-uno.so) from the program's folder.
#pragma once

#include <string>

class OfficeModule;

// The module at `path`, or null: silently when there is no such file (a build without the
// LibreOffice SDK), with one log line when it is there but cannot be used (LibreOffice not
// installed, a module of another build). The caller owns the object; the library is never
// unloaded. Any thread.
OfficeModule* LoadOfficeModule(const std::string& path);

// Where the program looks for the module: beside its executable, or, for an installed program
// (…/bin/CorvaneServer) without one there, in …/lib/corvaneserver.
std::string OfficeModulePath();
