// The command line of corvane-remote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Exit statuses; --help lists them.
enum RemoteExit {
    kExitOk = 0,
    kExitFailure = 1,        // connection lost, system error, unexpected answer
    kExitUsage = 2,          // bad command line
    kExitNoAnswer = 3,       // nobody answered the discovery probes, the connection or a command
    kExitRefused = 4,        // the connection was refused
    kExitWrongPassword = 5,  // the computer answered the login with Login:ER
};

constexpr std::uint16_t kDefaultTcpPort = 33589;

struct RemoteOptions {
    enum class Command { kNone, kHelp, kVersion, kDiscover, kSend, kPresent };
    Command command = Command::kNone;
    std::string host;  // empty: discover and take the first computer that answers
    bool portGiven = false;
    std::uint16_t port = kDefaultTcpPort;
    std::string password = "735";  // the server's factory setting
    std::string clientId = "corvane-remote";
    std::string name;      // shown in the computer's login notice; see ParseOptions
    int listenMs = 1500;   // how long discovery collects answers
    int timeoutMs = 5000;  // connection, login and command answers
    int heartbeatSeconds = 10;
    std::vector<std::string> lines;  // send: the command lines
};

// Parses argv into `options`. Returns "" or the message to show (the caller exits with
// kExitUsage). `environmentPassword` is $CORVANE_PASSWORD (null when unset); `defaultName` the
// name to use when --name is not given.
std::string ParseOptions(int argc, const char* const* argv, const char* environmentPassword,
                         const std::string& defaultName, RemoteOptions* options);

// A send argument as it goes on the wire: a word without ':' gets one appended, so
// "PptNextPage" means "PptNextPage:".
std::string NormalizeCommandLine(const std::string& argument);

// The help text (a manual page).
const char* UsageText();
