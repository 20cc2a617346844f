#include "platform/net/URLLoader.h"

#include "platform/foundation/NSPort.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLTransferCurl.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

struct URLLoader::Multi {
    CURLM* handle = nullptr;
    std::map<CURL*, std::shared_ptr<URLTransfer>> active;
};

namespace {

std::atomic<int> lookUpsToFail{0};

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

} // namespace

void URLLoader::failNextLookUpsForTesting(int count) { lookUpsToFail = count; }

std::shared_ptr<URLLoader> URLLoader::forRunLoop(const std::shared_ptr<NSRunLoop>& runLoop) {
    int failing = lookUpsToFail.load();
    while (failing > 0) {
        if (lookUpsToFail.compare_exchange_weak(failing, failing - 1)) throw std::bad_alloc();
    }
    static CurlGlobal global;
    (void)global;
    static std::mutex mutex;
    static auto* loaders = new std::map<NSRunLoop*, std::shared_ptr<URLLoader>>();
    std::lock_guard guard(mutex);
    auto found = loaders->find(runLoop.get());
    if (found != loaders->end()) return found->second;
    // Made whole before it is kept: an allocation that fails half-way (std::bad_alloc, to the
    // caller) leaves no loader behind that later requests would find broken. The slot is made
    // first, so that a loader whose timer already is a source of the run loop is always kept.
    auto slot = loaders->emplace(runLoop.get(), nullptr).first;
    try {
        auto loader = std::shared_ptr<URLLoader>(new URLLoader());
        loader->setUp(runLoop);
        slot->second = std::move(loader);
    } catch (...) {
        loaders->erase(slot);
        throw;
    }
    return slot->second;
}

// Only a loader whose set-up failed ever ends; its timer never became a source of the run loop.
URLLoader::~URLLoader() {
    if (multi_ && multi_->handle) curl_multi_cleanup(multi_->handle);
    if (timerFd_ >= 0) ::close(timerFd_);
}

void URLLoader::setUp(const std::shared_ptr<NSRunLoop>& loop) {
    runLoop_ = loop;
    port_ = NSPort::port();
    multi_ = std::make_unique<Multi>();
    multi_->handle = curl_multi_init();
    // curl has nothing to make a multi handle of only when memory ran out.
    if (!multi_->handle) throw std::bad_alloc();
    curl_multi_setopt(multi_->handle, CURLMOPT_SOCKETFUNCTION, &URLLoader::socketCallback);
    curl_multi_setopt(multi_->handle, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_->handle, CURLMOPT_TIMERFUNCTION, &URLLoader::timerCallback);
    curl_multi_setopt(multi_->handle, CURLMOPT_TIMERDATA, this);
    // Idle connections kept for reuse hold descriptors too.
    curl_multi_setopt(multi_->handle, CURLMOPT_MAXCONNECTS, static_cast<long>(kMaximumRunning));
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    URLLoader* self = this;  // loaders live as long as the process
    timerSource_ = runLoop_->addFileDescriptor(timerFd_, NSRunLoop::Readable, [self](int, int) {
        std::uint64_t expirations;
        [[maybe_unused]] auto n = ::read(self->timerFd_, &expirations, sizeof expirations);
        self->drive(CURL_SOCKET_TIMEOUT, 0);
    }, false);
}

int URLLoader::socketCallback(void*, int socket, int what, void* userp, void*) {
    auto* self = static_cast<URLLoader*>(userp);
    auto it = self->sockets_.find(socket);
    if (what == CURL_POLL_REMOVE) {
        if (it != self->sockets_.end()) {
            self->runLoop_->removeFileDescriptor(it->second);
            self->sockets_.erase(it);
        }
        return 0;
    }
    int events = 0;
    if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= NSRunLoop::Readable;
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= NSRunLoop::Writable;
    if (it != self->sockets_.end()) {
        self->runLoop_->updateFileDescriptor(it->second, events);
    } else {
        self->sockets_[socket] = self->runLoop_->addFileDescriptor(socket, events, [self](int fd, int ready) {
            int flags = 0;
            if (ready & NSRunLoop::Readable) flags |= CURL_CSELECT_IN;
            if (ready & NSRunLoop::Writable) flags |= CURL_CSELECT_OUT;
            self->drive(fd, flags);
        }, false);
    }
    return 0;
}

int URLLoader::timerCallback(void*, long timeoutMs, void* userp) {
    auto* self = static_cast<URLLoader*>(userp);
    itimerspec due{};
    if (timeoutMs >= 0) {
        // A zero timer would disarm timerfd; the shortest real wait stands for "at once".
        long ns = timeoutMs == 0 ? 1 : (timeoutMs % 1000) * 1000000L;
        due.it_value.tv_sec = timeoutMs / 1000;
        due.it_value.tv_nsec = ns;
    }
    timerfd_settime(self->timerFd_, 0, &due, nullptr);
    return 0;
}

void URLLoader::drive(int socket, int flags) {
    auto keepAlive = shared_from_this();
    int running = 0;
    ++depth_;
    curl_multi_socket_action(multi_->handle, socket, flags, &running);
    --depth_;
    flush();
    collect();
}

void URLLoader::flush() {
    auto transfers = std::move(unflushed_);
    unflushed_.clear();
    for (auto& transfer : transfers) transfer->deliverPending();
}

void URLLoader::collect() {
    if (depth_ > 0) return;
    for (;;) {
        int left = 0;
        CURLMsg* message = curl_multi_info_read(multi_->handle, &left);
        if (!message) break;
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        int code = message->data.result;
        auto it = multi_->active.find(easy);
        if (it == multi_->active.end()) continue;
        auto transfer = it->second;
        multi_->active.erase(it);
        releaseSlot(transfer->hostKey());
        keepLoopRunningWhileActive();
        curl_multi_remove_handle(multi_->handle, easy);
        transfer->deliverPending();
        ++depth_;
        transfer->complete(code);
        --depth_;
    }
    auto retired = std::move(retired_);
    retired_.clear();
    for (auto& transfer : retired) curl_multi_remove_handle(multi_->handle, transfer->curl_->easy);
    retired.clear();
    auto stopped = std::move(stopped_);
    stopped_.clear();
    for (auto& transfer : stopped) {
        ++depth_;
        transfer->finishStopped();
        --depth_;
    }
    if (!retired_.empty() || !stopped_.empty()) {
        collect();
        return;
    }
    startWaiting();
}

std::size_t URLLoader::runningCount() const { return multi_->active.size(); }

bool URLLoader::hasRoomFor(const std::string& hostKey) const {
    if (multi_->active.size() >= kMaximumRunning) return false;
    auto running = runningPerHost_.find(hostKey);
    return running == runningPerHost_.end() || running->second < kMaximumRunningPerHost;
}

void URLLoader::add(const std::shared_ptr<URLTransfer>& transfer) {
    if (hasRoomFor(transfer->hostKey())) {
        launch(transfer);
        return;
    }
    waiting_[transfer->hostKey()].push_back(transfer);
    ++waitingCount_;
    keepLoopRunningWhileActive();
}

void URLLoader::launch(const std::shared_ptr<URLTransfer>& transfer) {
    if (!transfer->launch()) {
        transfer->finish({NSURLErrorUnknown, kURLLoaderOutOfMemoryDescription, nullptr});
        return;
    }
    CURL* easy = transfer->curl_->easy;
    multi_->active[easy] = transfer;
    ++runningPerHost_[transfer->hostKey()];
    keepLoopRunningWhileActive();
    curl_multi_add_handle(multi_->handle, easy);
    if (transfer->paused()) curl_easy_pause(easy, CURLPAUSE_ALL);
}

void URLLoader::releaseSlot(const std::string& hostKey) {
    auto running = runningPerHost_.find(hostKey);
    if (running == runningPerHost_.end()) return;
    if (--running->second == 0) runningPerHost_.erase(running);
}

void URLLoader::startWaiting() {
    // Only servers at their own bound are passed over, and there are few of those while the
    // loader has room at all.
    for (auto host = waiting_.begin(); host != waiting_.end() && multi_->active.size() < kMaximumRunning;) {
        if (!hasRoomFor(host->first)) {
            ++host;
            continue;
        }
        auto transfer = std::move(host->second.front());
        host->second.pop_front();
        --waitingCount_;
        if (host->second.empty()) host = waiting_.erase(host);
        launch(transfer);
    }
    keepLoopRunningWhileActive();
}

void URLLoader::keepLoopRunningWhileActive() {
    if (multi_->active.empty() && waitingCount_ == 0) runLoop_->removePort(port_, NSDefaultRunLoopMode);
    else runLoop_->addPort(port_, NSDefaultRunLoopMode);
}

void URLLoader::remove(const std::shared_ptr<URLTransfer>& transfer) {
    CURL* easy = transfer->curl_->easy;
    if (!easy || multi_->active.erase(easy) == 0) {
        auto host = waiting_.find(transfer->hostKey());
        if (host == waiting_.end()) return;
        auto& queue = host->second;
        auto found = std::find(queue.begin(), queue.end(), transfer);
        if (found == queue.end()) return;
        queue.erase(found);
        --waitingCount_;
        if (queue.empty()) waiting_.erase(host);
        keepLoopRunningWhileActive();
        return;
    }
    releaseSlot(transfer->hostKey());
    keepLoopRunningWhileActive();
    if (depth_ > 0) {
        retired_.push_back(transfer);
    } else {
        curl_multi_remove_handle(multi_->handle, easy);
        startWaiting();
    }
}
