// The phones that probed us: client id -> the computer name we announced to it. The login
// notice reads the name back. Bounded: a full table forgets the client that probed longest ago.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class StationTable {
public:
    static constexpr size_t kCapacity = 1024;

    // Inserts or overwrites one entry. Any thread; holds the table lock for this access only.
    void Record(const std::string& clientId, const std::string& name);
    // False when the client id never probed (or was forgotten). Any thread.
    bool Lookup(const std::string& clientId, std::string* name) const;
    size_t Size() const;

private:
    struct Entry {
        std::string name;
        std::uint64_t lastProbe;
    };
    mutable std::mutex lock_;
    std::map<std::string, Entry> entries_;  // keys ordered by byte comparison
    std::uint64_t probes_ = 0;
};
