#include "commands/station_table.h"

void StationTable::Record(const std::string& clientId, const std::string& name) {
    std::lock_guard<std::mutex> guard(lock_);
    ++probes_;
    auto it = entries_.find(clientId);
    if (it != entries_.end()) {
        it->second = {name, probes_};
        return;
    }
    if (entries_.size() >= kCapacity) {
        auto oldest = entries_.begin();
        for (auto e = entries_.begin(); e != entries_.end(); ++e) {
            if (e->second.lastProbe < oldest->second.lastProbe) oldest = e;
        }
        entries_.erase(oldest);
    }
    entries_.emplace(clientId, Entry{name, probes_});
}

bool StationTable::Lookup(const std::string& clientId, std::string* name) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = entries_.find(clientId);
    if (it == entries_.end()) return false;
    *name = it->second.name;
    return true;
}

size_t StationTable::Size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}
