// Idle database connections by file, the one given back last on top: calls
// that come one after another, on whichever thread, get the same connection,
// whose page cache is current (pages another connection wrote would be read
// again), and a process keeps as many connections as it runs calls at once.
// Pools are made once and never destroyed: threads may still call while the
// process runs its exit handlers.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace pal::storage {

template <class Connection>
class ConnectionPool {
public:
    // An idle connection to file, or null when there is none.
    std::unique_ptr<Connection> Take(const std::string& file) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = idle_.find(file);
        if (found == idle_.end() || found->second.empty()) return nullptr;
        std::unique_ptr<Connection> connection = std::move(found->second.back());
        found->second.pop_back();
        return connection;
    }

    void Give(const std::string& file, std::unique_ptr<Connection> connection) {
        std::lock_guard<std::mutex> lock(mutex_);
        idle_[file].push_back(std::move(connection));
    }

    // Runs use on one idle connection of each file, which no call can take meanwhile.
    template <class Use>
    void ForOneIdlePerFile(Use&& use) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [file, connections] : idle_) {
            if (!connections.empty()) use(*connections.back());
        }
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::string, std::vector<std::unique_ptr<Connection>>> idle_;
};

}  // namespace pal::storage
