// Fuzz target of the COM runtime's wire protocol, both ends. The first byte
// picks the way in, the rest is the data:
//   0: requests as whole frames (kind, length, payload) handed to a server stub;
//   1: a byte stream, written to a socket in pieces cut at points the data
//      names, read back as messages and handed to the stub;
//   2: the replies a server sends, read by a client's proxies while they get a
//      class object, create an instance, lock the server and call Activate, then
//      have an instance made in one request.
// Invariants: a request is answered with a reply of its kind's size or refused;
// once the connection ends, every object the stub held is released and every
// server lock it took is given back; proxies leak nothing (LeakSanitizer).
#include <notification_platform.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/com_ptr.h"
#include "fuzz/scratch_prefix.h"
#include "platform/posix/com/channel.h"
#include "platform/posix/com/message_io.h"
#include "platform/posix/com/proxy.h"
#include "platform/posix/com/stub.h"
#include "platform/posix/com/wire.h"
#include "tests/platform/com/static_factory.h"

using winsdk::INotificationActivationCallback;
using winsdk::NOTIFICATION_USER_INPUT_DATA;

namespace {

// {5E0A7C31-2B4D-4E8F-9A61-0C3D5E7F9B24}
constexpr CLSID kFuzzClass = {0x5E0A7C31, 0x2B4D, 0x4E8F, {0x9A, 0x61, 0x0C, 0x3D, 0x5E, 0x7F, 0x9B, 0x24}};

std::atomic<int> liveObjects{0};
std::atomic<int> serverLocks{0};

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

class Activator final : public INotificationActivationCallback {
public:
    Activator() { ++liveObjects; }
    ~Activator() { --liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != __uuidof(IUnknown) && iid != __uuidof(INotificationActivationCallback)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        *object = static_cast<INotificationActivationCallback*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    // Reads everything it was given, so a wrong pointer or count shows.
    HRESULT STDMETHODCALLTYPE Activate(LPCWSTR appUserModelId, LPCWSTR invokedArgs,
                                       const NOTIFICATION_USER_INPUT_DATA* data, ULONG count) override {
        size_t units = 0;
        for (LPCWSTR text : {appUserModelId, invokedArgs}) units += text ? std::char_traits<char16_t>::length(text) : 0;
        for (ULONG i = 0; data != nullptr && i < count; ++i) {
            for (LPCWSTR text : {data[i].Key, data[i].Value}) units += text ? std::char_traits<char16_t>::length(text) : 0;
        }
        return units % 2 == 0 ? S_OK : E_INVALIDARG;
    }

private:
    std::atomic<ULONG> references_{1};
};

void CountServerLock(BOOL lock) { serverLocks += lock ? 1 : -1; }

comtest::StaticFactory<Activator, &CountServerLock> factory;

size_t ReplySize(uint16_t kind) {
    switch (static_cast<pal::com::Request>(kind)) {
    case pal::com::Request::GetClassObject:
    case pal::com::Request::QueryInterface:
    case pal::com::Request::CreateInstance:
    case pal::com::Request::CreateClassInstance: return 12;
    default: return 4;
    }
}

// One request through the stub; false when it closed the connection.
bool Serve(pal::com::ConnectionStub& stub, uint16_t kind, const std::vector<uint8_t>& payload) {
    pal::com::WireWriter reply;
    if (!stub.Handle(kind, payload, reply)) return false;
    if (reply.Bytes().size() != ReplySize(kind)) Broken("a reply of the wrong size");
    return true;
}

void EndConnection(pal::com::ConnectionStub& stub) {
    stub.Rundown();
    if (liveObjects != 0) Broken("an object outlived its connection");
    if (serverLocks != 0) Broken("a server lock outlived its connection");
}

// Frames: kind (1 byte), length (1 byte), payload.
void FeedFrames(const uint8_t* data, size_t size) {
    pal::com::ConnectionStub stub;
    while (size >= 2) {
        const uint16_t kind = data[0] & 0x7;
        const size_t length = std::min<size_t>(data[1], size - 2);
        const std::vector<uint8_t> payload(data + 2, data + 2 + length);
        data += 2 + length;
        size -= 2 + length;
        if (!Serve(stub, kind, payload)) break;
    }
    EndConnection(stub);
}

// Writes a stream in pieces on a thread of its own, made once: a thread per
// input would cost the sanitizer's bookkeeping more memory with every input.
class PieceWriter {
public:
    PieceWriter() : thread_([this] { Run(); }) {}

    // Starts writing data to socket in pieces whose sizes follow from seed.
    void Start(int socket, const uint8_t* data, size_t size, unsigned seed) {
        std::lock_guard guard(lock_);
        job_ = Job{socket, data, size, seed};
        pending_ = true;
        changed_.notify_all();
    }
    // Waits until the writer has written everything or met a closed socket.
    void Finish() {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return !pending_; });
    }

private:
    struct Job {
        int socket;
        const uint8_t* data;
        size_t size;
        unsigned seed;
    };

    [[noreturn]] void Run() {
        for (;;) {
            Job job;
            {
                std::unique_lock guard(lock_);
                changed_.wait(guard, [this] { return pending_; });
                job = job_;
            }
            size_t sent = 0;
            for (unsigned piece = job.seed | 1; sent < job.size; piece = piece * 1103515245u + 12345u) {
                const size_t length = std::min<size_t>(1 + (piece >> 16) % 64, job.size - sent);
                const ssize_t written = send(job.socket, job.data + sent, length, MSG_NOSIGNAL);
                if (written <= 0) break;
                sent += static_cast<size_t>(written);
            }
            shutdown(job.socket, SHUT_WR);
            std::lock_guard guard(lock_);
            pending_ = false;
            changed_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    Job job_{};
    bool pending_ = false;
    std::thread thread_;  // never joined: it serves until the process ends
};

// The stream: the first byte seeds the sizes of the pieces it is written in.
void FeedStream(const uint8_t* data, size_t size) {
    static PieceWriter* const writer = new PieceWriter;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
    writer->Start(ends[1], data, size, size != 0 ? data[0] : 0);
    // Assembled as the server assembles requests: what has arrived, a piece at a time.
    pal::com::ConnectionStub stub;
    pal::com::IncomingMessage incoming;
    for (;;) {
        pollfd readable{ends[0], POLLIN, 0};
        if (poll(&readable, 1, -1) < 0 && errno != EINTR) break;
        const pal::com::IncomingMessage::Progress progress = incoming.ReadFrom(ends[0]);
        if (progress == pal::com::IncomingMessage::Progress::Incomplete) continue;
        if (progress != pal::com::IncomingMessage::Progress::Complete) break;
        const uint16_t kind = incoming.Kind();
        if (!Serve(stub, kind, incoming.TakePayload())) break;
    }
    shutdown(ends[0], SHUT_RDWR);  // a writer still sending is told the connection ended
    writer->Finish();
    close(ends[0]);
    close(ends[1]);
    EndConnection(stub);
}

// Replies: the whole data waits in the socket before the client's first call.
void FeedReplies(const uint8_t* data, size_t size) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
    size_t sent = 0;
    while (sent < size) {
        const ssize_t written = send(ends[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (written <= 0) std::abort();
        sent += static_cast<size_t>(written);
    }
    shutdown(ends[1], SHUT_WR);
    {
        // No server process to watch: the replies are all there is.
        const auto channel = std::make_shared<pal::com::Channel>(ends[0], -1);
        com_ptr<IClassFactory> remoteFactory;
        if (SUCCEEDED(pal::com::GetRemoteClassObject(channel, kFuzzClass, __uuidof(IClassFactory),
                                                     remoteFactory.put_void(), std::nullopt))) {
            com_ptr<INotificationActivationCallback> callback;
            if (SUCCEEDED(remoteFactory->CreateInstance(nullptr, __uuidof(INotificationActivationCallback),
                                                        callback.put_void()))) {
                const NOTIFICATION_USER_INPUT_DATA inputs[] = {{u"Path", u"C:\\x"}, {u"repeat", nullptr}};
                callback->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", inputs, 2);
                com_ptr<IUnknown> unknown;
                callback->QueryInterface(__uuidof(IUnknown), unknown.put_void());
                com_ptr<IClassFactory> notAFactory;
                callback->QueryInterface(__uuidof(IClassFactory), notAFactory.put_void());
            }
            if (SUCCEEDED(remoteFactory->LockServer(TRUE))) remoteFactory->LockServer(FALSE);
        }
        com_ptr<INotificationActivationCallback> made;
        if (SUCCEEDED(pal::com::CreateRemoteInstance(channel, kFuzzClass, __uuidof(INotificationActivationCallback),
                                                     made.put_void(), std::nullopt)))
            made->Activate(u"Corvane.Tessaline", u"RivaVavirezar.display", nullptr, 0);
    }  // the channel closes its end with the last proxy
    close(ends[1]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::UseScratchPrefix();
    DWORD cookie = 0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) ||
        FAILED(CoRegisterClassObject(kFuzzClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    switch (data[0] % 3) {
    case 0: FeedFrames(data + 1, size - 1); break;
    case 1: FeedStream(data + 1, size - 1); break;
    default: FeedReplies(data + 1, size - 1); break;
    }
    return 0;
}
