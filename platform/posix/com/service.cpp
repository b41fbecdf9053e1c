// The service's threads take turns: one watches the sockets (epoll) and reads
// each message as its bytes come, so a peer that stalls holds up no one; when
// a request is complete, that thread runs it itself and another takes over the
// watch, so a call costs no hand-over between threads. One thread always stays
// free to watch: at most kThreads - 1 calls run at once, the rest wait in line.
// A connection is in one thread's hands at a time (its Turn).
#include "platform/posix/com/service.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
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
#include "platform/posix/com/deadline.h"
#include "platform/posix/com/endpoint.h"
#include "platform/posix/com/endpoint_lock.h"
#include "platform/posix/com/message_io.h"
#include "platform/posix/com/stub.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

constexpr unsigned kThreads = 5;
constexpr size_t kMaxConnections = 256;  // more are refused at once
constexpr auto kListenerPause = std::chrono::milliseconds(100);  // out of descriptors: accept again after this
constexpr auto kDirectoryLockWait = std::chrono::seconds(10);
constexpr uint64_t kWakeId = 0;
constexpr int kMaxEvents = 64;

std::atomic<DWORD> messageDeadline{10000};
thread_local bool onServiceThread = false;

Clock::duration MessageDeadline() {
    return std::chrono::milliseconds(messageDeadline.load(std::memory_order_relaxed));
}

struct Listener {
    Listener(REFCLSID c, int s, std::string p, ino_t i) : clsid(c), socket(s), path(std::move(p)), inode(i) {}
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener() { close(socket); }
    const CLSID clsid;
    const int socket;
    const std::string path;
    const ino_t inode;
    std::optional<Clock::time_point> pausedUntil;
};

// Whose turn it is: the watching thread's (Reading, Writing) or a call's (Queued, Running).
enum class Turn { Reading, Queued, Running, Writing };

struct Connection {
    explicit Connection(int s) : socket(s) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { CloseSocket(); }
    void CloseSocket() {
        if (socket >= 0) close(socket);
        socket = -1;
    }
    int socket;
    Turn turn = Turn::Reading;
    Deadline deadline;  // of the message on its way in or out
    IncomingMessage incoming;
    OutgoingMessage outgoing;
    ConnectionStub stub;
};

struct Job {
    uint64_t id;
    std::shared_ptr<Connection> connection;
    bool rundown;  // give back what a closed connection held, rather than serve a call
};

bool SameUser(int peer) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.uid == geteuid();
}

class Service {
public:
    static Service& Instance() {
        // Never destroyed: its threads wait on it until the process ends.
        static Service* service = new Service;
        return *service;
    }

    HRESULT Listen(REFCLSID clsid) {
        RETURN_IF_FAILED(StartThreads());
        EndpointDirectoryLock directory;
        RETURN_IF_FAILED(directory.Take(Clock::now() + kDirectoryLockWait));
        std::string path;
        RETURN_IF_FAILED(EndpointFile(clsid, kSocketSuffix, path, true));
        if (SomeoneListens(path)) return CO_E_OBJISREG;

        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string temporary = path + "." + std::to_string(getpid());
        if (temporary.size() >= sizeof address.sun_path) return HResultFromWin32(ERROR_FILENAME_EXCED_RANGE);
        std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);
        const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listening < 0) return HResultFromWin32(Win32ErrorFromErrno(errno));
        unlink(temporary.c_str());
        struct stat info{};
        // Bound under a name of its own, then renamed over what a dead server
        // left: clients never meet a socket that does not listen yet.
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
        Watch(listening, id, EPOLLIN, EPOLL_CTL_ADD);
        return S_OK;
    }

    void Unlisten(REFCLSID clsid) {
        std::shared_ptr<Listener> closed;
        bool last = false;
        {
            std::lock_guard guard(lock_);
            for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
                if (it->second->clsid != clsid) continue;
                epoll_ctl(epoll_, EPOLL_CTL_DEL, it->second->socket, nullptr);
                closed = std::move(it->second);
                listeners_.erase(it);
                last = listeners_.empty();
                break;
            }
        }
        if (!closed) return;
        const std::string path = closed->path;
        const ino_t inode = closed->inode;
        // Stop listening before anything else: a server starting meanwhile must
        // find this endpoint dead, not be refused as a second server.
        closed.reset();
        EndpointDirectoryLock directory;
        if (FAILED(directory.Take(Clock::now() + kDirectoryLockWait))) return;
        // Leave the name alone if a newer server has taken it over meanwhile.
        struct stat info{};
        if (stat(path.c_str(), &info) == 0 && info.st_ino == inode) unlink(path.c_str());
        if (last) directory.Tidy();
    }

    void Drain() {
        if (onServiceThread) return;
        std::unique_lock guard(lock_);
        if (epoll_ < 0) return;
        draining_ = true;
        Wake();
        idle_.wait(guard, [this] { return connections_.empty() && jobs_.empty() && busy_ == 0; });
        draining_ = false;
    }

private:
    HRESULT StartThreads() {
        std::lock_guard guard(lock_);
        if (epoll_ >= 0) return S_OK;
        const int epoll = epoll_create1(EPOLL_CLOEXEC);
        const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (epoll < 0 || wake < 0) {
            const int error = errno;
            if (epoll >= 0) close(epoll);
            if (wake >= 0) close(wake);
            return HResultFromWin32(Win32ErrorFromErrno(error));
        }
        epoll_ = epoll;
        wake_ = wake;
        spare_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
        Watch(wake_, kWakeId, EPOLLIN, EPOLL_CTL_ADD);
        try {
            for (unsigned i = 0; i < kThreads; ++i) std::thread([this] { ServeLoop(); }).detach();
        } catch (const std::system_error&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    // Called with lock_ held, as is every function below that touches the maps.
    void Watch(int socket, uint64_t id, uint32_t events, int operation) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = id;
        epoll_ctl(epoll_, operation, socket, &event);
    }

    void Wake() {
        const uint64_t one = 1;
        (void)!write(wake_, &one, sizeof one);
    }

    // Every thread's loop. A job runs only while another thread watches, or has
    // been woken to: the sockets are never left unwatched for a call's length.
    void ServeLoop() {
        onServiceThread = true;
        std::unique_lock guard(lock_);
        for (;;) {
            if (!watching_ && watchPromised_) {
                watchPromised_ = false;
                Watch(guard);
            } else if (!jobs_.empty() && watching_) {
                RunJob(guard);
            } else if (watching_) {
                ++waiting_;
                work_.wait(guard);
                --waiting_;
            } else if (!jobs_.empty() && waiting_ > 0) {
                // The request this thread has just read runs here, now; a waiting thread takes the watch.
                watchPromised_ = true;
                RunJob(guard, true);
            } else {
                Watch(guard);
            }
        }
    }

    // One wait on the sockets and what it brought; called and left with lock_ held.
    void Watch(std::unique_lock<std::mutex>& guard) {
        epoll_event events[kMaxEvents];
        watching_ = true;
        // Jobs in line go to the threads that wait, while this one watches.
        for (size_t i = 0; i < jobs_.size() && i < waiting_; ++i) work_.notify_one();
        const int timeout = MillisecondsLeft(NextDeadline());
        guard.unlock();
        const int ready = epoll_wait(epoll_, events, kMaxEvents, timeout);
        guard.lock();
        watching_ = false;
        for (int i = 0; i < ready; ++i) {
            const uint64_t id = events[i].data.u64;
            // Ids are never reused, so an event for something already closed finds nothing.
            if (id == kWakeId) {
                uint64_t count;
                (void)!read(wake_, &count, sizeof count);
            } else if (const auto listener = listeners_.find(id); listener != listeners_.end()) {
                AcceptPeers(*listener->second);
            } else if (const auto connection = connections_.find(id); connection != connections_.end()) {
                Advance(id, connection->second);
            }
        }
        EnforceDeadlines();
        if (draining_) DropIdleConnections();
    }

    // The earliest moment the watching thread has something to do without an event.
    Deadline NextDeadline() const {
        Deadline next;
        const auto consider = [&next](const Deadline& when) {
            if (when && (!next || *when < *next)) next = when;
        };
        for (const auto& [id, connection] : connections_) {
            if (connection->turn == Turn::Reading || connection->turn == Turn::Writing) consider(connection->deadline);
        }
        for (const auto& [id, listener] : listeners_) consider(listener->pausedUntil);
        return next;
    }

    void EnforceDeadlines() {
        const auto now = Clock::now();
        std::vector<uint64_t> late;
        for (const auto& [id, connection] : connections_) {
            const bool ours = connection->turn == Turn::Reading || connection->turn == Turn::Writing;
            if (ours && connection->deadline && *connection->deadline <= now) late.push_back(id);
        }
        for (const uint64_t id : late) Drop(id);
        for (const auto& [id, listener] : listeners_) {
            if (!listener->pausedUntil || *listener->pausedUntil > now) continue;
            listener->pausedUntil.reset();
            if (spare_ < 0) spare_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
            Watch(listener->socket, id, EPOLLIN, EPOLL_CTL_MOD);
        }
    }

    void DropIdleConnections() {
        std::vector<uint64_t> idle;
        for (const auto& [id, connection] : connections_) {
            if (connection->turn == Turn::Reading || connection->turn == Turn::Writing) idle.push_back(id);
        }
        for (const uint64_t id : idle) Drop(id);
    }

    void AcceptPeers(Listener& listener) {
        for (;;) {
            const int peer = accept4(listener.socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (peer < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    if (RefuseOnePeer(listener)) continue;
                    PauseListener(listener);
                }
                return;
            }
            // Another user's process is never served; beyond the cap, or on the way out, no one new is.
            if (!SameUser(peer) || connections_.size() >= kMaxConnections || draining_) {
                close(peer);
                continue;
            }
            try {
                const uint64_t id = nextId_++;
                connections_.emplace(id, std::make_shared<Connection>(peer));
                Watch(peer, id, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_ADD);
            } catch (const std::bad_alloc&) {
                close(peer);
            }
        }
    }

    // Out of descriptors: the spare one makes room to take the waiting peer
    // and close it, so it learns at once instead of waiting in the backlog.
    bool RefuseOnePeer(const Listener& listener) {
        if (spare_ < 0) return false;
        close(spare_);
        const int peer = accept4(listener.socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer >= 0) close(peer);
        spare_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
        return peer >= 0 && spare_ >= 0;
    }

    // No room even for that: stop watching the listener for a while rather than
    // be told again at once that it has peers waiting.
    void PauseListener(Listener& listener) {
        for (const auto& [id, each] : listeners_) {
            if (each.get() != &listener) continue;
            listener.pausedUntil = Clock::now() + kListenerPause;
            Watch(listener.socket, id, 0, EPOLL_CTL_MOD);
        }
    }

    // The watching thread's share of a connection: more of the request, or more of the reply.
    void Advance(uint64_t id, const std::shared_ptr<Connection>& connection) {
        if (connection->turn == Turn::Writing) {
            switch (connection->outgoing.WriteTo(connection->socket)) {
            case OutgoingMessage::Progress::Pending: return;
            case OutgoingMessage::Progress::Failed: Drop(id); return;
            case OutgoingMessage::Progress::Sent: break;
            }
            connection->deadline.reset();
            connection->turn = Turn::Reading;
            Watch(connection->socket, id, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_MOD);
            return;
        }
        if (connection->turn != Turn::Reading) return;
        switch (connection->incoming.ReadFrom(connection->socket)) {
        case IncomingMessage::Progress::Incomplete:
            // The clock starts with the message's first byte; an idle connection may stay.
            if (connection->incoming.Started() && !connection->deadline)
                connection->deadline = Clock::now() + MessageDeadline();
            return;
        case IncomingMessage::Progress::Malformed:
        case IncomingMessage::Progress::Closed: Drop(id); return;
        case IncomingMessage::Progress::Complete: break;
        }
        connection->deadline.reset();
        connection->turn = Turn::Queued;
        epoll_ctl(epoll_, EPOLL_CTL_DEL, connection->socket, nullptr);
        Enqueue({id, connection, false});
    }

    void Enqueue(Job job) {
        try {
            jobs_.push_back(std::move(job));
        } catch (const std::bad_alloc&) {
            if (job.rundown) return;  // nothing held can be given back without memory; it stays held
            Drop(job.id);
            return;
        }
        // Only service threads line jobs up, and each looks at the line before it waits.
    }

    // Closes the connection at once; what it held goes back on a worker.
    void Drop(uint64_t id) {
        const auto found = connections_.find(id);
        if (found == connections_.end()) return;
        std::shared_ptr<Connection> connection = std::move(found->second);
        connections_.erase(found);
        epoll_ctl(epoll_, EPOLL_CTL_DEL, connection->socket, nullptr);
        connection->CloseSocket();
        Enqueue({id, std::move(connection), true});
        idle_.notify_all();
    }

    // Runs the first job in line; called and left with lock_ held. A thread
    // handing over the watch wakes its successor once the lock is free for it.
    void RunJob(std::unique_lock<std::mutex>& guard, bool wakeWatcher = false) {
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        ++busy_;
        if (!job.rundown && draining_) {
            Drop(job.id);
            if (wakeWatcher) work_.notify_one();
        } else {
            if (!job.rundown) job.connection->turn = Turn::Running;
            guard.unlock();
            if (wakeWatcher) work_.notify_one();
            if (job.rundown) {
                // What the client held goes back: objects, and the locks that keep the server up.
                job.connection->stub.Rundown();
                job.connection.reset();
                guard.lock();
            } else {
                const OutgoingMessage::Progress sent = Serve(*job.connection);
                guard.lock();
                Answered(job.id, *job.connection, sent);
            }
        }
        --busy_;
        if (busy_ == 0 && jobs_.empty()) idle_.notify_all();
    }

    // Runs the call and sends as much of its reply as the peer takes now.
    static OutgoingMessage::Progress Serve(Connection& connection) {
        const uint16_t kind = connection.incoming.Kind();
        const std::vector<uint8_t> request = connection.incoming.TakePayload();
        WireWriter reply;
        try {
            if (!connection.stub.Handle(kind, request, reply)) return OutgoingMessage::Progress::Failed;
        } catch (const std::bad_alloc&) {
            return OutgoingMessage::Progress::Failed;
        }
        if (!connection.outgoing.Set(static_cast<uint16_t>(kind | kReplyFlag), reply.Bytes()))
            return OutgoingMessage::Progress::Failed;
        return connection.outgoing.WriteTo(connection.socket);
    }

    void Answered(uint64_t id, Connection& connection, OutgoingMessage::Progress sent) {
        if (sent == OutgoingMessage::Progress::Failed || draining_) {
            Drop(id);
        } else if (sent == OutgoingMessage::Progress::Sent) {
            connection.turn = Turn::Reading;
            Watch(connection.socket, id, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_ADD);
        } else {
            // A slow reader: the watching thread sends the rest, within the message deadline.
            connection.turn = Turn::Writing;
            connection.deadline = Clock::now() + MessageDeadline();
            Watch(connection.socket, id, EPOLLOUT, EPOLL_CTL_ADD);
            Wake();
        }
    }

    std::mutex lock_;
    std::condition_variable work_;
    std::condition_variable idle_;
    int epoll_ = -1;
    int wake_ = -1;
    int spare_ = -1;  // a descriptor to give up when accept runs out of them
    uint64_t nextId_ = kWakeId + 1;
    bool draining_ = false;
    bool watching_ = false;       // a thread waits on the sockets
    bool watchPromised_ = false;  // a thread has been woken to do so
    unsigned busy_ = 0;
    unsigned waiting_ = 0;  // threads with nothing to do
    std::unordered_map<uint64_t, std::shared_ptr<Listener>> listeners_;
    std::unordered_map<uint64_t, std::shared_ptr<Connection>> connections_;
    std::deque<Job> jobs_;
};

}  // namespace

HRESULT StartListening(REFCLSID clsid) noexcept {
    try {
        return Service::Instance().Listen(clsid);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void StopListening(REFCLSID clsid) noexcept {
    try {
        Service::Instance().Unlisten(clsid);
    } catch (const std::bad_alloc&) {
    }
}

void DrainConnections() noexcept { Service::Instance().Drain(); }

void SetMessageDeadline(DWORD milliseconds) noexcept { messageDeadline.store(milliseconds, std::memory_order_relaxed); }

}  // namespace pal::com
