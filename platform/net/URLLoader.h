#pragma once
// The URL-loading engine of a run loop: one curl multi handle whose sockets and timer are sources
// of that run loop, so every transfer callback (and so every delegate call of a connection or a
// session task on it) runs on the run loop's thread, and a client that takes its time slows its
// transfer down instead of letting data pile up in memory. Transfers on one loader share its
// connections (keep-alive). While a transfer runs, the loader keeps its run loop running (as a
// scheduled connection does); its idle sockets and timer alone do not.

#include "platform/foundation/NSRunLoop.h"

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <memory>
#include <vector>

class NSPort;
class URLTransfer;

// The description of the error of a request that could not start for want of memory (or of a
// thread to load on).
inline constexpr const char* kURLLoaderOutOfMemoryDescription = "out of memory";

class URLLoader : public std::enable_shared_from_this<URLLoader> {
public:
    // Exchanges running at once on a loader, in all and per server (scheme, host and port); the
    // rest wait in order, each for a slot of its server, holding no connection or handle. A
    // browser keeps about as many per server; the SDK's senders keep up to nine uploads going.
    static constexpr std::size_t kMaximumRunning = 48;
    static constexpr std::size_t kMaximumRunningPerHost = 10;
    // The loader of a run loop, made on first use; loaders live as long as the process, because
    // their run loops' sources call into them and a network thread may still serve at exit.
    // Throws std::bad_alloc when memory runs out while making one; nothing half-made is kept.
    static std::shared_ptr<URLLoader> forRunLoop(const std::shared_ptr<NSRunLoop>& runLoop);
    // The next `count` calls of forRunLoop throw std::bad_alloc as if memory had run out, so that a
    // test can watch each caller turn it into its request's error.
    static void failNextLookUpsForTesting(int count);
    ~URLLoader();

    const std::shared_ptr<NSRunLoop>& runLoop() const { return runLoop_; }
    // Exchanges on their connections, and those waiting for one (on the loader's run loop).
    std::size_t runningCount() const;
    std::size_t waitingCount() const { return waitingCount_; }

private:
    friend class URLTransfer;
    struct Multi;

    URLLoader() = default;
    void setUp(const std::shared_ptr<NSRunLoop>& runLoop);
    // Runs the transfer at once when its server and the loader have room, else queues it.
    void add(const std::shared_ptr<URLTransfer>& transfer);
    // Takes a transfer that has not completed off the loader; its handle goes once curl returns
    // (curl forbids removing a handle inside its own callbacks).
    void remove(const std::shared_ptr<URLTransfer>& transfer);
    // A transfer holding body bytes to deliver once curl returns.
    void needsFlush(const std::shared_ptr<URLTransfer>& transfer) { unflushed_.push_back(transfer); }
    // A transfer stopped inside curl's callbacks, whose outcome goes to its client once curl returns.
    void finishAfterCurl(const std::shared_ptr<URLTransfer>& transfer) { stopped_.push_back(transfer); }
    bool insideCurl() const { return depth_ > 0; }
    // Marks a call into curl made outside drive() (an unpause, which may run the transfer's
    // callbacks) as inside curl for its length.
    struct CurlCall {
        explicit CurlCall(URLLoader& loader) : loader(loader) { ++loader.depth_; }
        ~CurlCall() { --loader.depth_; }
        CurlCall(const CurlCall&) = delete;
        CurlCall& operator=(const CurlCall&) = delete;
        URLLoader& loader;
    };
    void keepLoopRunningWhileActive();
    bool hasRoomFor(const std::string& hostKey) const;
    void launch(const std::shared_ptr<URLTransfer>& transfer);
    // Gives a freed slot of the server back; the queue moves on once curl has returned.
    void releaseSlot(const std::string& hostKey);
    void startWaiting();

    void drive(int socket, int flags);
    void flush();
    // Ends finished transfers and does deferred removals, outside curl's callbacks.
    void collect();
    static int socketCallback(void* easy, int socket, int what, void* userp, void* socketp);
    static int timerCallback(void* multi, long timeoutMs, void* userp);

    std::unique_ptr<Multi> multi_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::shared_ptr<NSPort> port_;
    int timerFd_ = -1;
    NSRunLoop::SourceId timerSource_ = 0;
    std::map<int, NSRunLoop::SourceId> sockets_;
    std::vector<std::shared_ptr<URLTransfer>> retired_;
    std::vector<std::shared_ptr<URLTransfer>> unflushed_;
    std::vector<std::shared_ptr<URLTransfer>> stopped_;
    // Running exchanges per server, and the waiting ones per server in the order they came.
    std::map<std::string, std::size_t> runningPerHost_;
    std::map<std::string, std::deque<std::shared_ptr<URLTransfer>>> waiting_;
    std::size_t waitingCount_ = 0;
    int depth_ = 0;
};
