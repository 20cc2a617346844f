#include "platform/net/NSURLConnection.h"

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/NSThread.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoader.h"

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <mutex>

namespace {

// Gathers one whole answer for the synchronous and asynchronous requests; a partial answer counts
// only as the range its request asked for.
class GatheringDelegate : public NSURLConnectionDataDelegate {
public:
    using Done = std::function<void(const NSURLResponsePtr&, const NSDataPtr&, const NSErrorPtr&)>;
    explicit GatheringDelegate(Done done) : done_(std::move(done)) {}

    void connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) override {
        response_ = response;
        data_ = NSData::data();
        NSURLRequestPtr sent = connection ? connection->currentRequest() : nullptr;
        if (sent && response) {
            std::string refusal = partialContent_.judgeHead(*sent, *response);
            if (!refusal.empty()) return failBadAnswer(connection, refusal);
        }
    }
    void connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) override {
        if (finished_) return;
        if (!data_) data_ = NSData::data();
        if (std::string refusal = partialContent_.judgeBody(static_cast<long long>(data->length())); !refusal.empty()) {
            return failBadAnswer(connection, refusal);
        }
        data_->appendData(*data);
    }
    void connectionDidFinishLoading(const NSURLConnectionPtr& connection) override {
        if (finished_) return;
        if (std::string refusal = partialContent_.judgeEnd(); !refusal.empty()) return failBadAnswer(connection, refusal);
        finished_ = true;
        done_(response_, data_ ? data_ : NSData::data(), nullptr);
    }
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) override {
        if (finished_) return;
        finished_ = true;
        done_(response_, nullptr, error);
    }

private:
    void failBadAnswer(const NSURLConnectionPtr& connection, const std::string& refusal) {
        if (connection) connection->cancel();
        data_.reset();
        const std::string url = response_ && response_->URL() ? response_->URL()->absoluteString() : std::string();
        connectionDidFailWithError(connection, NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorBadServerResponse,
                                                                        {{NSLocalizedDescriptionKey, Value(refusal)},
                                                                         {NSURLErrorFailingURLStringErrorKey, Value(url)}}));
    }

    Done done_;
    NSHTTPPartialContent partialContent_;
    bool finished_ = false;
    NSURLResponsePtr response_;
    NSDataPtr data_;
};

std::atomic<std::size_t> gatheredLimit{NSURLConnection::kDefaultGatheredBodyLimit};

// The request as gathered: bounded by the gathered limit, or by its own bound when that is less.
// The loader stops the answer at the bound; the caller's request is left as it is.
NSURLRequestPtr gatheredRequest(const NSURLRequestPtr& request) {
    if (!request) return request;
    auto bounded = request->mutableCopy();
    const std::size_t own = request->maximumBodyLength();
    const std::size_t limit = NSURLConnection::gatheredBodyLimit();
    bounded->setMaximumBodyLength(own > 0 && own < limit ? own : limit);
    return bounded;
}

} // namespace

std::size_t NSURLConnection::gatheredBodyLimit() { return gatheredLimit.load(); }

void NSURLConnection::setGatheredBodyLimit(std::size_t bytes) {
    gatheredLimit = bytes == 0 ? kDefaultGatheredBodyLimit : bytes;
}

std::shared_ptr<NSRunLoop> NSURLConnection::loaderRunLoop() {
    static std::shared_ptr<NSRunLoop> runLoop = NSThread::startServiceThread("com.apple.NSURLConnectionLoader")->runLoop();
    return runLoop;
}

namespace {

// The loader thread's run loop, or nil with the request's error when no thread could be started
// for it (no memory for its stack, say): a later request tries again.
std::shared_ptr<NSRunLoop> loaderRunLoopOrError(const NSURLRequestPtr& request, NSErrorPtr* error) {
    try {
        return NSURLConnection::loaderRunLoop();
    } catch (const std::exception&) {
        Value::Dictionary userInfo{{NSLocalizedDescriptionKey, Value(kURLLoaderOutOfMemoryDescription)}};
        if (request && request->URL()) userInfo[NSURLErrorFailingURLStringErrorKey] = request->URL()->absoluteString();
        *error = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorUnknown, userInfo);
        return nullptr;
    }
}

} // namespace

NSDataPtr NSURLConnection::sendSynchronousRequest(const NSURLRequestPtr& request, NSURLResponsePtr* response, NSErrorPtr* error) {
    NSErrorPtr unstarted;
    auto loop = loaderRunLoopOrError(request, &unstarted);
    if (!loop) {
        if (response) response->reset();
        NSErrorSet(error, unstarted);
        return nullptr;
    }
    assert(!loop->isCurrent() && "a synchronous request on the loader thread would never finish");
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool lookingUp = false;
        NSURLResponsePtr response;
        NSDataPtr data;
        NSErrorPtr error;
    };
    auto outcome = std::make_shared<Outcome>();
    auto delegate = std::make_shared<GatheringDelegate>([outcome](const NSURLResponsePtr& r, const NSDataPtr& d, const NSErrorPtr& e) {
        std::lock_guard guard(outcome->mutex);
        outcome->response = r;
        outcome->data = d;
        outcome->error = e;
        outcome->finished = true;
        outcome->done.notify_all();
    });
    auto connection = std::make_shared<NSURLConnection>(gatheredRequest(request), delegate);
    connection->lookupObserver_ = [outcome](bool lookingUp) {
        std::lock_guard guard(outcome->mutex);
        outcome->lookingUp = lookingUp;
        outcome->done.notify_all();
    };
    connection->scheduleInRunLoop(loop, NSDefaultRunLoopMode);
    connection->start();
    // A name lookup takes as long as the outside takes (an unanswered one, seconds): the caller's
    // queue does not count as busy with it meanwhile.
    auto& pool = WorkerPool::shared();
    bool outsideWait = false;
    std::unique_lock lock(outcome->mutex);
    while (!outcome->finished) {
        outcome->done.wait(lock, [&] { return outcome->finished || outcome->lookingUp != outsideWait; });
        if (outcome->finished || outcome->lookingUp == outsideWait) continue;
        outsideWait = outcome->lookingUp;
        if (outsideWait) pool.beginOutsideWait();
        else pool.endOutsideWait();
    }
    if (outsideWait) pool.endOutsideWait();
    if (response) *response = outcome->response;
    NSErrorSet(error, outcome->error);
    return outcome->data;
}

void NSURLConnection::sendAsynchronousRequest(const NSURLRequestPtr& request, const std::shared_ptr<NSOperationQueue>& queue,
                                              CompletionHandler handler) {
    auto delegate = std::make_shared<GatheringDelegate>(
        [queue, handler](const NSURLResponsePtr& response, const NSDataPtr& data, const NSErrorPtr& error) {
            if (!handler) return;
            auto run = [handler, response, data, error] { handler(response, data, error); };
            if (queue) {
                queue->addOperationWithBlock(run);
            } else {
                run();
            }
        });
    NSErrorPtr unstarted;
    auto loop = loaderRunLoopOrError(request, &unstarted);
    if (!loop) {
        delegate->connectionDidFailWithError(nullptr, unstarted);
        return;
    }
    auto connection = std::make_shared<NSURLConnection>(gatheredRequest(request), delegate);
    connection->scheduleInRunLoop(loop, NSDefaultRunLoopMode);
    connection->start();
}
