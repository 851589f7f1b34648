// A scripted phone: speaks the wire protocol to a server on 127.0.0.1. Its line reading also
// serves the other end (a scripted computer that a client connects to).
#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"

// A connected TCP socket read line by line, as the protocol is written.
class LineSocket {
public:
    // Takes over `connected` (kNoSocket: not connected).
    explicit LineSocket(SocketHandle connected = kNoSocket) : socket_(connected) {}
    ~LineSocket() { Close(); }
    LineSocket(const LineSocket&) = delete;
    LineSocket& operator=(const LineSocket&) = delete;

    bool Connected() const { return socket_ != kNoSocket; }
    bool Send(const std::string& bytes);
    bool SendLine(const std::string& line) { return Send(line + "\n"); }
    // Up to `count` bytes, or what arrived before the time-out or the close.
    std::string Read(size_t count, int timeoutMs = 3000);
    // One line including its line feed, or what arrived before the time-out or the close.
    std::string ReadLine(int timeoutMs = 3000);
    // True when the peer closes the connection within the time-out (data before it is
    // discarded).
    bool WaitClosed(int timeoutMs = 3000);
    // Closes the connection from this side.
    void Close();
    // A peer that never reads: sends `line` and a line feed over and over, reading nothing, until
    // a send has made no progress for `stallMs` (the other end's replies fill both sides'
    // buffers, so it sits in a send and reads no more). Returns the bytes sent; the connection
    // is of no further use but stays open until this object goes.
    long FloodUntilStalled(const std::string& line, int stallMs = 500);

private:
    // Appends what arrives before the time-out; false on time-out, close or error.
    bool Receive(int timeoutMs);

    SocketHandle socket_ = kNoSocket;
    std::string pending_;
};

class PhoneClient : public LineSocket {
public:
    // Connects to 127.0.0.1:port; Connected() tells whether that worked.
    explicit PhoneClient(std::uint16_t port);

    // Sends "Login:<clientId>,<password>" and returns the answer line.
    std::string Login(const std::string& clientId, const std::string& password);
};

// Sends one datagram to 127.0.0.1:port and returns the first answer within the time-out
// (empty when none came). `fromPort` receives the answering port.
std::string Probe(std::uint16_t port, const std::string& datagram, int timeoutMs = 1000,
                  std::uint16_t* fromPort = nullptr);

std::uint32_t Loopback();
