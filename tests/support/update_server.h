// The scripted update service of update_server.py, run by the test in a process of its own on
// 127.0.0.1, with a self-signed certificate the test trusts: on Linux through the client's CA
// file (what CORVANE_UPDATE_CA does for the program), on Windows by adding it to the user's
// trusted root certificates for the duration (WinINet takes no CA file; the test removes it
// again). Windows programs run under Wine and start the Linux python3 directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/http_client.h"

class UpdateServer {
public:
    UpdateServer() = default;
    // Ends the server and takes the test certificate out of the trusted roots again.
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // Starts the server and waits until it listens; false with the reason otherwise.
    bool Start(std::string* why);
    // A started server, or null with the reason in `why` (for a test suite's set-up).
    static std::unique_ptr<UpdateServer> Started(std::string* why);

    // Port of a listener: "https", "untrusted", "http", "silent" or "closed".
    int Port(const std::string& listener) const;
    // "https://127.0.0.1:<port><path>" (or http:// for the plain listener).
    std::string Url(const std::string& listener, const std::string& path) const;
    // The options of a client that trusts the test certificate and uses no proxy.
    HttpClientOptions ClientOptions() const;

    // A file the server wrote (a check's "<case>.body" or "<case>.headers"); "<missing>" when
    // there is none.
    std::string ReadFile(const std::string& name) const;
    // Every request so far, "<listener> <method> <path>".
    std::vector<std::string> Requests() const;
    // A path for the test's own files beside the server's.
    std::string LocalPath(const std::string& name) const;

private:
    std::string unixDir_;   // the state folder as the server sees it
    std::string localDir_;  // the same folder as this program names it
    std::vector<std::pair<std::string, int>> ports_;
    long pid_ = 0;          // Linux: the server's process
    bool trusted_ = false;  // Windows: the certificate was added to the user's roots
    std::string certificate_;
};
