// A logged-in connection to CorvaneServer, line by line.
#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"
#include "remote/options.h"

class RemoteConnection {
public:
    RemoteConnection() = default;
    ~RemoteConnection();
    RemoteConnection(const RemoteConnection&) = delete;
    RemoteConnection& operator=(const RemoteConnection&) = delete;

    // `error` receives the socket library's error code when the result is not kConnected.
    ConnectResult Connect(const Ipv4Endpoint& to, int timeoutMs, int* error);
    // Sends `line` and a line feed.
    bool SendLine(const std::string& line);

    enum class Read { kLine, kTimedOut, kClosed };
    // The next line, with its line feed. A time-out of 0 only takes what has already arrived.
    Read ReadLine(std::string* line, int timeoutMs);

private:
    SocketHandle socket_ = kNoSocket;
    std::string pending_;
};

// Finds the computer (the --host, or the first one to answer discovery), connects and logs in.
// Prints what went wrong on standard error and returns the exit status (kExitOk when logged in).
// `where` receives "NAME at ADDRESS:PORT" or "ADDRESS:PORT" for messages.
int OpenSession(const RemoteOptions& options, RemoteConnection* connection, std::string* where);

// Prints "corvane-remote: <text>" on standard error.
void Complain(const std::string& text);
