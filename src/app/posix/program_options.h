// The Linux program's command line: what the arguments ask for, its usage text and version line.
// A new option is a field here and a case in ParseProgramOptions.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
    enum class Action {
        kRun,      // serve phones until stopped
        kHelp,     // print the usage and end
        kVersion,  // print the version and end
        kError     // a wrong command line: print `error` and end with status 2
    };
    Action action = Action::kRun;
    std::string error;      // one line, without the program's name
    bool headless = false;  // --headless: no tray icon or window even where a display is
};

// Reads the arguments that follow the program's name. Every argument must be known: the first
// one that is not makes the whole line an error, whatever else it holds; otherwise --help (-h)
// comes before --version.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments);

// The --help text.
const char* ProgramUsageText();

// The --version line: "CorvaneServer 1.0.1.52\n".
std::string ProgramVersionText();
