// epoll watches the listeners and the idle connections (one-shot, so a
// connection is in the hands of one worker at a time); a worker reads one
// request, runs it, answers and hands the connection back to epoll.
#include "platform/posix/com/service.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "common/hresult.h"
#include "platform/posix/com/endpoint.h"
#include "platform/posix/com/stub.h"
#include "platform/posix/com/wire.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

constexpr unsigned kWorkerThreads = 4;
constexpr int kStalledPeerSeconds = 10;  // a peer that stops mid-message loses its connection

struct Listener {
    Listener(REFCLSID c, int s, std::string p, ino_t i) : clsid(c), socket(s), path(std::move(p)), inode(i) {}
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    const CLSID clsid;
    const int socket;
    const std::string path;
    const ino_t inode;
    ~Listener() {
        // Leave the name alone if a newer server has taken it over meanwhile.
        struct stat info{};
        if (stat(path.c_str(), &info) == 0 && info.st_ino == inode) unlink(path.c_str());
        close(socket);
    }
};

struct Connection {
    const int socket;
    ConnectionStub stub;
    explicit Connection(int s) : socket(s) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { close(socket); }
};

class Service {
public:
    static Service& Instance() {
        // Never destroyed: its threads serve until the process ends.
        static Service* service = new Service;
        return *service;
    }

    HRESULT Listen(REFCLSID clsid) {
        RETURN_IF_FAILED(StartThreads());
        std::string path;
        RETURN_IF_FAILED(EndpointFile(clsid, kSocketSuffix, path));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string temporary = path + "." + std::to_string(getpid());
        if (temporary.size() >= sizeof address.sun_path) return HResultFromWin32(ERROR_FILENAME_EXCED_RANGE);
        std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);

        const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listening < 0) return HResultFromWin32(Win32ErrorFromErrno(errno));
        unlink(temporary.c_str());
        struct stat info{};
        // Bound under a name of its own, then renamed: clients never meet a socket that does not listen yet.
        if (bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listening, 128) != 0 ||
            stat(temporary.c_str(), &info) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
            const int error = errno;
            unlink(temporary.c_str());
            close(listening);
            return HResultFromWin32(Win32ErrorFromErrno(error));
        }
        auto listener = std::make_shared<Listener>(clsid, listening, path, info.st_ino);
        std::lock_guard guard(lock_);
        const uint64_t id = nextId_++;
        listeners_.emplace(id, listener);
        Watch(listening, id, EPOLLIN);
        return S_OK;
    }

    void Unlisten(REFCLSID clsid) {
        std::shared_ptr<Listener> closed;
        std::lock_guard guard(lock_);
        for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
            if (it->second->clsid != clsid) continue;
            epoll_ctl(epoll_, EPOLL_CTL_DEL, it->second->socket, nullptr);
            closed = std::move(it->second);
            listeners_.erase(it);
            return;
        }
    }

private:
    HRESULT StartThreads() {
        std::lock_guard guard(lock_);
        if (epoll_ >= 0) return S_OK;
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        if (epoll_ < 0) return HResultFromWin32(Win32ErrorFromErrno(errno));
        try {
            std::thread([this] { WatchLoop(); }).detach();
            for (unsigned i = 0; i < kWorkerThreads; ++i) std::thread([this] { WorkLoop(); }).detach();
        } catch (const std::system_error&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    // Called with lock_ held.
    void Watch(int socket, uint64_t id, uint32_t events, int operation = EPOLL_CTL_ADD) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = id;
        epoll_ctl(epoll_, operation, socket, &event);
    }

    void WatchLoop() {
        for (;;) {
            epoll_event event{};
            const int ready = epoll_wait(epoll_, &event, 1, -1);
            if (ready <= 0) continue;
            std::unique_lock guard(lock_);
            // Ids are never reused, so an event for something already closed finds nothing.
            if (const auto listener = listeners_.find(event.data.u64); listener != listeners_.end()) {
                AcceptPeers(*listener->second);
            } else if (const auto connection = connections_.find(event.data.u64); connection != connections_.end()) {
                pending_.push_back(event.data.u64);
                work_.notify_one();
            }
        }
    }

    // Called with lock_ held.
    void AcceptPeers(const Listener& listener) {
        for (;;) {
            const int peer = accept4(listener.socket, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) return;
            ucred credentials{};
            socklen_t size = sizeof credentials;
            if (getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || credentials.uid != geteuid()) {
                close(peer);  // another user's process is never served
                continue;
            }
            const timeval stalled{kStalledPeerSeconds, 0};
            setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &stalled, sizeof stalled);
            setsockopt(peer, SOL_SOCKET, SO_SNDTIMEO, &stalled, sizeof stalled);
            try {
                const uint64_t id = nextId_++;
                connections_.emplace(id, std::make_shared<Connection>(peer));
                Watch(peer, id, EPOLLIN | EPOLLRDHUP | EPOLLONESHOT);
            } catch (const std::bad_alloc&) {
                close(peer);
            }
        }
    }

    void WorkLoop() {
        for (;;) {
            uint64_t id;
            std::shared_ptr<Connection> connection;
            {
                std::unique_lock guard(lock_);
                work_.wait(guard, [this] { return !pending_.empty(); });
                id = pending_.front();
                pending_.pop_front();
                const auto found = connections_.find(id);
                if (found == connections_.end()) continue;
                connection = found->second;
            }
            if (ServeOneRequest(*connection)) {
                std::lock_guard guard(lock_);
                Watch(connection->socket, id, EPOLLIN | EPOLLRDHUP | EPOLLONESHOT, EPOLL_CTL_MOD);
            } else {
                Drop(id, *connection);
            }
        }
    }

    static bool ServeOneRequest(Connection& connection) {
        uint16_t kind = 0;
        std::vector<uint8_t> request;
        if (ReceiveMessage(connection.socket, kind, request) != Received::Message) return false;
        WireWriter reply;
        try {
            if (!connection.stub.Handle(kind, request, reply)) return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return SendMessage(connection.socket, static_cast<uint16_t>(kind | kReplyFlag), reply.Bytes());
    }

    void Drop(uint64_t id, Connection& connection) {
        {
            std::lock_guard guard(lock_);
            epoll_ctl(epoll_, EPOLL_CTL_DEL, connection.socket, nullptr);
            connections_.erase(id);
        }
        // What the client held goes back at once: objects, and the locks that keep the server up.
        connection.stub.Rundown();
    }

    std::mutex lock_;
    std::condition_variable work_;
    int epoll_ = -1;
    uint64_t nextId_ = 1;
    std::unordered_map<uint64_t, std::shared_ptr<Listener>> listeners_;
    std::unordered_map<uint64_t, std::shared_ptr<Connection>> connections_;
    std::deque<uint64_t> pending_;
};

}  // namespace

HRESULT StartListening(REFCLSID clsid) noexcept {
    try {
        return Service::Instance().Listen(clsid);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void StopListening(REFCLSID clsid) noexcept { Service::Instance().Unlisten(clsid); }

}  // namespace pal::com
