// The service's threads all wait on the sockets together (epoll, one event
// to a thread) and read each message as its bytes come, so a peer that stalls
// holds up no one. The thread that reads a request whole runs it and answers
// it itself, so a call costs no hand-over between threads. One thread always
// stays free to watch: threads are started as calls need them, and at most
// kThreads - 1 calls run at once, the rest wait in line for a thread that
// finishes. A connection is watched for one event
// at a time (EPOLLONESHOT), so it is in one thread's hands at a time (its Turn).
#include "platform/posix/com/service.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
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
#include "platform/posix/com/spin_before_sleep.h"
#include "platform/posix/com/starter_connection.h"
#include "platform/posix/com/stub.h"
#include "platform/posix/process/spawn.h"

namespace pal::com {
namespace {

constexpr unsigned kThreads = 5;       // at most
constexpr unsigned kFirstThreads = 2;  // one to run a call, one to watch meanwhile
constexpr size_t kMaxConnections = 256;  // more are refused at once
constexpr auto kListenerPause = std::chrono::milliseconds(100);  // out of descriptors: accept again after this
constexpr auto kDirectoryLockWait = std::chrono::seconds(10);
constexpr uint64_t kWakeId = 0;
// Without EPOLLONESHOT a ready connection would be reported to every waiting thread.
constexpr uint32_t kReadEvents = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
constexpr uint32_t kWriteEvents = EPOLLOUT | EPOLLONESHOT;
constexpr uint32_t kAcceptEvents = EPOLLIN | EPOLLONESHOT;
// A client making calls in a row sends the next within this of the last reply.
constexpr std::chrono::microseconds kNextRequestSpin{50};

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
    SpinBeforeSleep nextRequestSpin{kNextRequestSpin};  // used by the thread whose turn it is
};

struct Job {
    uint64_t id;
    std::shared_ptr<Connection> connection;
    bool rundown;  // give back what a closed connection held, rather than serve a call
};

class Service {
public:
    static Service& Instance() {
        // Never destroyed: its threads wait on it until the process ends.
        static Service* service = new Service;
        return *service;
    }

    HRESULT Listen(REFCLSID clsid) {
        RETURN_IF_FAILED(OpenWatchSet());
        EndpointDirectoryLock directory;
        RETURN_IF_FAILED(directory.Take(Clock::now() + kDirectoryLockWait));
        const std::string path = EndpointFileIn(directory.Directory(), clsid, kSocketSuffix);
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
        Watch(listening, id, kAcceptEvents, EPOLL_CTL_ADD);
        return S_OK;
    }

    // Starts the first threads and, the first time, adds the starter's
    // connection, its request likely there already. The threads wait for the
    // lock held here, so the first of them finds that request waiting; and a
    // connection is only added once there are threads to close it again.
    HRESULT Serve() {
        std::lock_guard guard(lock_);
        if (epoll_ < 0) return S_OK;  // nothing listens yet: nothing to serve
        while (started_ < kFirstThreads) {
            if (!StartThread()) return E_OUTOFMEMORY;
        }
        if (const int starter = TakeStarterConnection(); starter >= 0) AddPeer(starter);
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
    HRESULT OpenWatchSet() {
        std::lock_guard guard(lock_);
        if (epoll_ < 0) {
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
        }
        return S_OK;
    }

    // Called with lock_ held; false when there are kThreads already or no more can start.
    bool StartThread() {
        if (started_ == kThreads) return false;
        try {
            std::thread([this, index = started_] { ServeLoop(index); }).detach();
        } catch (const std::system_error&) {
            return false;
        }
        ++started_;
        return true;
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

    // Every thread's loop: a job in line runs here when another thread stays
    // free to watch, started now if need be; otherwise this thread waits for
    // the next event.
    void ServeLoop(unsigned thread) {
        onServiceThread = true;
        std::unique_lock guard(lock_);
        for (;;) {
            if (!jobs_.empty() && (busy_ + 1 < started_ || StartThread())) {
                KeepDeadlinesWatched();
                RunJob(guard);
            } else {
                Watch(guard, thread);
            }
        }
    }

    // A thread about to run a job may have just set a message's deadline that
    // no waiting thread counts in its wait: one of them is woken to count it.
    void KeepDeadlinesWatched() {
        const Deadline next = NextDeadline();
        if (!next) return;
        for (const auto& until : waitingUntil_) {
            if (until && *until && **until <= *next) return;
        }
        Wake();
    }

    // One wait on the sockets and what it brought; called and left with lock_ held.
    // One event at a time: the kernel hands the next one to another waiting thread.
    void Watch(std::unique_lock<std::mutex>& guard, unsigned thread) {
        epoll_event event{};
        const Deadline until = NextDeadline();
        waitingUntil_[thread] = until;
        guard.unlock();
        const int ready = epoll_wait(epoll_, &event, 1, MillisecondsLeft(until));
        guard.lock();
        waitingUntil_[thread].reset();
        const uint64_t id = event.data.u64;
        // Ids are never reused, so an event for something already closed finds nothing.
        if (ready != 1) {
        } else if (id == kWakeId) {
            uint64_t count;
            (void)!read(wake_, &count, sizeof count);
        } else if (const auto listener = listeners_.find(id); listener != listeners_.end()) {
            AcceptPeers(*listener->second);
            if (!listener->second->pausedUntil) Watch(listener->second->socket, id, kAcceptEvents, EPOLL_CTL_MOD);
        } else if (const auto connection = connections_.find(id); connection != connections_.end()) {
            Advance(id, connection->second);
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
            Watch(listener->socket, id, kAcceptEvents, EPOLL_CTL_MOD);
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
            AddPeer(peer);
        }
    }

    // Serves the connected peer from now on, or closes it.
    void AddPeer(int peer) {
        // Another user's process is never served; beyond the cap, or on the way out, no one new is.
        if (!PeerIsThisUser(peer) || connections_.size() >= kMaxConnections || draining_) {
            close(peer);
            return;
        }
        std::shared_ptr<Connection> connection;
        const uint64_t id = nextId_++;
        try {
            connection = std::make_shared<Connection>(peer);
        } catch (const std::bad_alloc&) {
            close(peer);
            return;
        }
        try {
            connections_.emplace(id, std::move(connection));
        } catch (const std::bad_alloc&) {
            return;  // the connection has closed its socket: closing it again could close another's
        }
        Watch(peer, id, kReadEvents, EPOLL_CTL_ADD);
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

    // No room even for that: leave the listener unwatched for a while rather
    // than be told again at once that it has peers waiting.
    static void PauseListener(Listener& listener) { listener.pausedUntil = Clock::now() + kListenerPause; }

    // The watching thread's share of a connection: more of the request, or more of the reply.
    void Advance(uint64_t id, const std::shared_ptr<Connection>& connection) {
        if (connection->turn == Turn::Writing) {
            switch (connection->outgoing.WriteTo(connection->socket)) {
            case OutgoingMessage::Progress::Pending: Watch(connection->socket, id, kWriteEvents, EPOLL_CTL_MOD); return;
            case OutgoingMessage::Progress::Failed: Drop(id); return;
            case OutgoingMessage::Progress::Sent: break;
            }
            connection->deadline.reset();
            connection->turn = Turn::Reading;
            Watch(connection->socket, id, kReadEvents, EPOLL_CTL_MOD);
            return;
        }
        if (connection->turn != Turn::Reading) return;
        switch (connection->incoming.ReadFrom(connection->socket)) {
        case IncomingMessage::Progress::Incomplete:
            // The clock starts with the message's first byte; an idle connection may stay.
            if (connection->incoming.Started() && !connection->deadline)
                connection->deadline = Clock::now() + MessageDeadline();
            Watch(connection->socket, id, kReadEvents, EPOLL_CTL_MOD);
            return;
        case IncomingMessage::Progress::Malformed:
        case IncomingMessage::Progress::Closed: Drop(id); return;
        case IncomingMessage::Progress::Complete: break;
        }
        // Left unwatched (EPOLLONESHOT) until it is answered.
        connection->deadline.reset();
        connection->turn = Turn::Queued;
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
        // Only service threads line jobs up, and each looks at the line before it waits;
        // a job that must wait for a free thread is taken by the next one to finish.
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

    // Runs the first job in line; called and left with lock_ held.
    void RunJob(std::unique_lock<std::mutex>& guard) {
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        ++busy_;
        if (!job.rundown && draining_) {
            Drop(job.id);
        } else {
            if (!job.rundown) job.connection->turn = Turn::Running;
            guard.unlock();
            if (job.rundown) {
                // What the client held goes back: objects, and the locks that keep the server up.
                job.connection->stub.Rundown();
                job.connection.reset();
                guard.lock();
            } else {
                const OutgoingMessage::Progress sent = Serve(*job.connection);
                if (sent == OutgoingMessage::Progress::Sent) AwaitNextRequest(*job.connection);
                guard.lock();
                Answered(job.id, job.connection, sent);
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

    // Spins a little for the client's next call, which it often sends at once:
    // this thread then runs it without sleeping or waking another for it.
    static void AwaitNextRequest(Connection& connection) {
        connection.nextRequestSpin.Spin([&connection] {
            uint8_t byte;
            return recv(connection.socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0 || (errno != EAGAIN && errno != EINTR);
        });
    }

    void Answered(uint64_t id, const std::shared_ptr<Connection>& connection, OutgoingMessage::Progress sent) {
        if (sent == OutgoingMessage::Progress::Failed || draining_) {
            Drop(id);
        } else if (sent == OutgoingMessage::Progress::Sent) {
            // The client's next request may be here already (this thread waited a
            // little for it): read it now, so that this thread runs it rather than
            // the watch waking another thread for it. Otherwise the connection is
            // watched again.
            connection->turn = Turn::Reading;
            Advance(id, connection);
        } else {
            // A slow reader: a watching thread sends the rest, within the message deadline.
            connection->turn = Turn::Writing;
            connection->deadline = Clock::now() + MessageDeadline();
            Watch(connection->socket, id, kWriteEvents, EPOLL_CTL_MOD);
        }
    }

    std::mutex lock_;
    std::condition_variable idle_;
    int epoll_ = -1;
    int wake_ = -1;
    int spare_ = -1;  // a descriptor to give up when accept runs out of them
    uint64_t nextId_ = kWakeId + 1;
    bool draining_ = false;
    unsigned started_ = 0;
    unsigned busy_ = 0;  // threads running a job
    // What each thread waiting on the sockets waits until: absent while it does
    // not wait, an empty deadline while it waits without one.
    std::array<std::optional<Deadline>, kThreads> waitingUntil_;
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

HRESULT StartServing() noexcept {
    try {
        return Service::Instance().Serve();
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
