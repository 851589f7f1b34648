#include "app/posix/program_options.h"

ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments) {
    ProgramOptions options;
    bool help = false;
    bool version = false;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--headless") {
            options.headless = true;
        } else {
            options.action = ProgramOptions::Action::kError;
            options.error = (argument.size() > 1 && argument[0] == '-')
                                ? "unknown option '" + argument + "'"
                                : "unexpected argument '" + argument + "'";
            return options;
        }
    }
    if (help) {
        options.action = ProgramOptions::Action::kHelp;
    } else if (version) {
        options.action = ProgramOptions::Action::kVersion;
    }
    return options;
}

const char* ProgramUsageText() {
    return R"(Usage: CorvaneServer [--headless] [--help | --version]

Turns a phone into a presentation remote. CorvaneServer serves the phone app on this computer's
networks (TCP and UDP port 33589, multicast 227.23.24.25 port 45789) until Ctrl+C, SIGTERM or
SIGHUP (closing its terminal) stops it, or its tray menu's Shutdown. On a desktop it shows a
tray icon with its settings window (where the program was built with its desktop face).

      --headless no tray icon and no window: only the service and the terminal's lines
  -h, --help     print this text and exit
      --version  print the version and exit

Files (the program prints the ones in use at start):
  settings  CorvaneServer.ini beside the executable; when installed (in a folder named bin or
            one you may not write to): $XDG_CONFIG_HOME/CorvaneServer/CorvaneServer.ini
            (default ~/.config/CorvaneServer/CorvaneServer.ini)
  log       beside the executable; when installed:
            $XDG_STATE_HOME/CorvaneServer/CorvaneServer.log
            (default ~/.local/state/CorvaneServer/CorvaneServer.log)
  autostart $XDG_CONFIG_HOME/autostart/VolaServer.desktop (AutoStart=no turns it off)

The login password is Passwd in the settings file (735 until changed there).
Exit status: 0, or 2 for a wrong command line.
)";
}

std::string ProgramVersionText() {
    return "CorvaneServer " + std::to_string(CORVANE_VERSION_MAJOR) + "." +
           std::to_string(CORVANE_VERSION_MINOR) + "." + std::to_string(CORVANE_VERSION_PATCH) +
           "." + std::to_string(CORVANE_VERSION_TWEAK) + "\n";
}
