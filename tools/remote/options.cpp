#include "remote/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseNumber(const std::string& text, long low, long high, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    *value = v;
    return true;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// "HOST" or "HOST:PORT".
std::string SetHost(const std::string& value, RemoteOptions* options) {
    std::string host = value;
    size_t colon = value.rfind(':');
    if (colon != std::string::npos) {
        long port = 0;
        if (!ParseNumber(value.substr(colon + 1), 1, 65535, &port)) {
            return "bad port in --host " + value;
        }
        host = value.substr(0, colon);
        options->port = static_cast<std::uint16_t>(port);
        options->portGiven = true;
    }
    if (host.empty()) return "--host needs a computer name or address";
    options->host = host;
    return "";
}

}  // namespace

std::string NormalizeCommandLine(const std::string& argument) {
    if (argument.find(':') == std::string::npos) return argument + ":";
    return argument;
}

std::string ParseOptions(int argc, const char* const* argv, const char* environmentPassword,
                         const std::string& defaultName, RemoteOptions* options) {
    using Command = RemoteOptions::Command;
    if (environmentPassword != nullptr) options->password = environmentPassword;
    options->name = defaultName;
    bool portOption = false;
    long portValue = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (options->command == Command::kSend) {
            // Everything after "send" is a command line. No command word starts with '-', so
            // such an argument is an option put in the wrong place.
            if (!arg.empty() && arg[0] == '-') return "options go before the command: " + arg;
            if (HasLineBreak(arg))
                return "a command line may not hold a line break: use one "
                       "argument per line";
            options->lines.push_back(NormalizeCommandLine(arg));
            continue;
        }
        if (arg.empty() || arg[0] != '-') {
            if (options->command != Command::kNone) {
                return "unexpected argument '" + arg + "'";
            }
            if (arg == "discover") {
                options->command = Command::kDiscover;
            } else if (arg == "send") {
                options->command = Command::kSend;
            } else if (arg == "present") {
                options->command = Command::kPresent;
            } else if (arg == "help") {
                options->command = Command::kHelp;
            } else {
                return "unknown command '" + arg + "' (commands: discover, send, present)";
            }
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            options->command = Command::kHelp;
            return "";
        }
        if (arg == "--version") {
            options->command = Command::kVersion;
            return "";
        }
        // --name=value and --name value.
        std::string name = arg, value;
        bool inlineValue = false;
        size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        static const char* const kWithValue[] = {"-H",       "--host",     "-p",         "--port",
                                                 "-P",       "--password", "--id",       "--name",
                                                 "--listen", "--timeout",  "--heartbeat"};
        bool known = false;
        for (const char* option : kWithValue) known = known || name == option;
        if (!known) return "unknown option " + name;
        if (!inlineValue) {
            if (i + 1 >= argc) return "option " + name + " needs a value";
            value = argv[++i];
        }
        long number = 0;
        if (name == "-H" || name == "--host") {
            std::string error = SetHost(value, options);
            if (!error.empty()) return error;
        } else if (name == "-p" || name == "--port") {
            if (!ParseNumber(value, 1, 65535, &portValue)) return "bad port '" + value + "'";
            portOption = true;
        } else if (name == "-P" || name == "--password") {
            options->password = value;
        } else if (name == "--id") {
            options->clientId = value;
        } else if (name == "--name") {
            options->name = value;
        } else if (name == "--listen") {
            if (!ParseNumber(value, 100, 60000, &number)) {
                return "--listen takes milliseconds from 100 to 60000";
            }
            options->listenMs = static_cast<int>(number);
        } else if (name == "--timeout") {
            if (!ParseNumber(value, 100, 600000, &number)) {
                return "--timeout takes milliseconds from 100 to 600000";
            }
            options->timeoutMs = static_cast<int>(number);
        } else if (name == "--heartbeat") {
            if (!ParseNumber(value, 1, 25, &number)) {
                return "--heartbeat takes seconds from 1 to 25 (the computer closes a silent "
                       "connection after 30)";
            }
            options->heartbeatSeconds = static_cast<int>(number);
        }
    }
    if (portOption) {
        options->port = static_cast<std::uint16_t>(portValue);
        options->portGiven = true;
    }
    if (options->command == Command::kNone) return "no command given";
    if (options->command == Command::kSend && options->lines.empty()) {
        return "send needs at least one command line";
    }
    // The server takes the password from behind the login line's last comma, so a comma or a
    // line break in the password cannot be sent; a line break anywhere ends the login line.
    if (options->password.find(',') != std::string::npos) {
        return "the password may not contain a comma (the login line could not carry it)";
    }
    if (HasLineBreak(options->password) || HasLineBreak(options->clientId) ||
        HasLineBreak(options->name)) {
        return "--id, --name and --password may not hold line breaks";
    }
    if (options->clientId.find(',') != std::string::npos) {
        return "--id may not contain a comma (use --name for the name)";
    }
    return "";
}
