// Finding computers that run CorvaneServer: the discovery probe and its answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr std::uint16_t kProbePort = 33589;
constexpr std::uint16_t kGroupPort = 45789;
constexpr const char* kGroupAddress = "227.23.24.25";

// One computer as it answered: one entry per answering address and announced port.
struct DiscoveredComputer {
    std::string hardwareAddress;
    std::string name;
    int port = 0;
    std::uint32_t from = 0;  // answering address, network byte order
    bool broadcast = false;  // answered the broadcast probe
    bool multicast = false;  // answered the multicast probe
    bool direct = false;     // answered a probe sent to its address
};

// Splits "Vola:<hardware address>,<name>,<port>\n". The name may hold anything but a line
// feed (the server turns commas in it into full stops; it is taken up to the last comma).
bool ParseDiscoveryAnswer(const std::string& datagram, std::string* hardwareAddress,
                          std::string* name, int* port);

// "Vola:<clientId>,<parameter>\n".
std::string ProbeText(const std::string& clientId, const std::string& parameter);

// Adds one answer to `found`, merging it with an earlier one from the same address and port.
// `probePort` is the port the answer came from (the port the probe went to).
void RecordAnswer(std::vector<DiscoveredComputer>* found, const std::string& datagram,
                  std::uint32_t from, std::uint16_t probePort, bool direct);

struct DiscoveryRequest {
    std::string probe;         // the datagram to send
    std::uint32_t direct = 0;  // non-zero: probe only this address (network byte order)
    int listenMs = 1500;
    bool stopAtFirst = false;  // return as soon as one computer answered
};

struct DiscoveryOutcome {
    std::vector<DiscoveredComputer> computers;
    int interfaces = 0;  // interfaces the broadcast and multicast probes left through
    int probesSent = 0;  // datagrams sent successfully
    std::string errors;  // why probes could not be sent, one reason per line
};

DiscoveryOutcome Discover(const DiscoveryRequest& request);
