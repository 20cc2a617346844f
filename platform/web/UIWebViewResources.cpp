#include "platform/web/UIWebView.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"

#include <atomic>

// A page's images load as a browser loads them: each source an element is given is fetched (a
// few at a time; a newer source replaces the element's load under way), and its load or error
// event reaches the page on a later pass once the answer is in. The bytes are counted, not kept:
// nothing here draws them. (The page's scripts are fetched here as well, their text kept.) A frame's element hears its load event the same way. The events are
// the page's own work, so they wait while the page is past its share of the main thread, and the
// window's load waits for the images the page was parsed with.

namespace {

// Past this many bytes a resource whose body is only counted is there: the rest is not read.
constexpr long long kEnoughBytes = 1 << 20;

// Keeps the body up to its bound (past it the load fails as too large), or only counts it. HTTP
// errors count as answers here; the caller decides what an error status or an empty body means.
class BoundedFetch : public NSURLConnectionDataDelegate {
public:
    BoundedFetch(std::size_t keep, std::function<void(const UIWebView::Fetched&)> done) : keep_(keep), done_(std::move(done)) {}

    void connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) override {
        fetched_.response = response;
        if (auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response)) fetched_.status = http->statusCode();
        // A part of a resource that was not asked for is not the resource.
        if (NSURLRequestPtr sent = connection ? connection->currentRequest() : nullptr; sent && response) {
            if (std::string refusal = partialContent_.judgeHead(*sent, *response); !refusal.empty()) return refuse(connection, refusal);
        }
    }
    void connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) override {
        const std::size_t length = data ? data->length() : 0;
        if (std::string refusal = partialContent_.judgeBody(static_cast<long long>(length)); !refusal.empty()) {
            return refuse(connection, refusal);
        }
        fetched_.bytes += static_cast<long long>(length);
        if (keep_ == 0) {
            if (fetched_.bytes < kEnoughBytes) return;
            connection->cancel();
            return finish(nullptr);
        }
        if (fetched_.body.size() + length > keep_) {
            connection->cancel();
            fetched_.body.clear();
            return finish(NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorDataLengthExceedsMaximum, {}));
        }
        fetched_.body.append(reinterpret_cast<const char*>(data->bytes()), length);
    }
    void connectionDidFinishLoading(const NSURLConnectionPtr& connection) override {
        if (std::string refusal = partialContent_.judgeEnd(); !refusal.empty()) return refuse(connection, refusal);
        finish(nullptr);
    }
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) override { finish(error); }

private:
    void refuse(const NSURLConnectionPtr& connection, const std::string& refusal) {
        if (connection) connection->cancel();
        fetched_.body.clear();
        finish(NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorBadServerResponse, {{NSLocalizedDescriptionKey, Value(refusal)}}));
    }

    void finish(const NSErrorPtr& error) {
        fetched_.error = error;
        if (auto done = std::move(done_)) done(fetched_);
        done_ = nullptr;
    }

    std::size_t keep_;
    std::function<void(const UIWebView::Fetched&)> done_;
    UIWebView::Fetched fetched_;
    NSHTTPPartialContent partialContent_;
};

std::atomic<bool> resourcesFromNetwork{true};

} // namespace

void UIWebView::setFetchesFromNetwork(bool fetches) { resourcesFromNetwork = fetches; }

bool UIWebView::fetchesFromNetwork() { return resourcesFromNetwork; }

std::shared_ptr<NSURLConnection> UIWebView::fetch(const NSURLRequestPtr& request, std::size_t keep,
                                                std::function<void(const Fetched&)> done) {
    auto withAgent = request->mutableCopy();
    if (withAgent->valueForHTTPHeaderField("User-Agent").empty()) withAgent->setValueForHTTPHeaderField(userAgent(), "User-Agent");
    return NSURLConnection::connectionWithRequest(withAgent, std::make_shared<BoundedFetch>(keep, std::move(done)));
}

void UIWebView::pageImageRequested(long node, const std::string& source, const std::string& url) {
    if (collectingPageImages_) pageImages_.insert(node);
    auto found = imageLoads_.find(node);
    if (found == imageLoads_.end()) {
        if (imagesWaiting_.size() >= kMaxImagesWaiting) {
            reportBound("web view: the page asked for more images at once than are loaded; further ones are dropped");
            forgetPageImage(node);
            return;
        }
        found = imageLoads_.emplace(node, ImageLoad{}).first;
        imagesWaiting_.push_back(node);
    } else if (found->second.connection) {
        found->second.connection->cancel();
        found->second.connection = nullptr;
        --imagesFetching_;
        imagesWaiting_.push_back(node);
    }
    found->second.source = source;
    found->second.url = url;
    found->second.number = nextImageLoad_++;
    WebPage* owner = page_.get();
    later([owner](UIWebView& v) { v.startImageLoads(owner); });
}

void UIWebView::startImageLoads(WebPage* owner) {
    if (page_.get() != owner) return;
    // Answers not yet given to the page hold back further fetches, so that what waits stays bounded.
    while (imagesFetching_ < kMaxImageFetches && !imagesWaiting_.empty() && resourceOutcomes_.size() < kMaxImagesWaiting) {
        long node = imagesWaiting_.front();
        imagesWaiting_.pop_front();
        auto found = imageLoads_.find(node);
        if (found == imageLoads_.end() || found->second.connection) continue;
        const ImageLoad& load = found->second;
        auto url = NSURL::URLWithString(load.url);
        auto request = url ? NSURLRequest::requestWithURL(url) : nullptr;
        if (url && url->scheme() == "data") {
            imageLoaded(owner, node, load.number, true);
            continue;
        }
        if (!request || !NSURLConnection::canHandleRequest(request) || (!resourcesFromNetwork && !url->isFileURL()) ||
            refusesLocalLoad(url, "image")) {
            imageLoaded(owner, node, load.number, false);
            continue;
        }
        auto weak = weakSelf<UIWebView>();
        const unsigned long number = load.number;
        // An image is there when an answer that is not an HTTP error brought some bytes.
        auto connection = fetch(request, 0, [weak, owner, node, number](const Fetched& answer) {
            if (auto view = weak.lock()) view->imageLoaded(owner, node, number, !answer.error && answer.status < 400 && answer.bytes > 0);
        });
        // Looked up again: a connection that answered at once has taken the load away already.
        if (auto again = imageLoads_.find(node); again != imageLoads_.end() && again->second.number == number) {
            again->second.connection = std::move(connection);
            ++imagesFetching_;
        }
    }
}

void UIWebView::imageLoaded(WebPage* owner, long node, unsigned long number, bool loaded) {
    if (page_.get() != owner) return;
    auto found = imageLoads_.find(node);
    if (found == imageLoads_.end() || found->second.number != number) return;
    if (found->second.connection) --imagesFetching_;
    std::string source = std::move(found->second.source);
    imageLoads_.erase(found);
    resourceDone(owner, node, source, loaded);
    later([owner](UIWebView& v) { v.startImageLoads(owner); });
}

void UIWebView::resourceDone(WebPage* owner, long node, const std::string& source, bool loaded) {
    resourceOutcomes_.push_back({node, source, loaded});
    if (resourceEventsScheduled_) return;
    resourceEventsScheduled_ = true;
    later([owner](UIWebView& v) { v.fireResourceEvents(owner); });
}

void UIWebView::fireResourceEvents(WebPage* owner) {
    if (page_.get() != owner) return;
    auto keep = self<UIWebView>();
    while (!resourceOutcomes_.empty() && page_.get() == owner) {
        if (double hold = holdPageWork(); hold > 0) {
            auto weak = weakSelf<UIWebView>();
            NSRunLoop::mainRunLoop()->performAfterDelay(hold, [weak, owner] {
                if (auto view = weak.lock()) view->fireResourceEvents(owner);
            });
            return;
        }
        if (WebScriptBudget::passSliceSpent()) {
            later([owner](UIWebView& v) { v.fireResourceEvents(owner); });
            return;
        }
        ResourceOutcome outcome = std::move(resourceOutcomes_.front());
        resourceOutcomes_.pop_front();
        page_->fireResourceEvent(outcome.node, outcome.source, outcome.loaded, budget_);
        afterEvaluation();
        if (page_.get() == owner) forgetPageImage(outcome.node);
    }
    if (page_.get() != owner) return;
    resourceEventsScheduled_ = false;
    later([owner](UIWebView& v) { v.startImageLoads(owner); });
}

// The window's load waits for the page's own images until each has had its event (or was dropped).
void UIWebView::forgetPageImage(long node) {
    if (!pageImages_.erase(node) || !pageImages_.empty() || !windowLoadWaits_) return;
    windowLoadWaits_ = false;
    const unsigned long generation = generation_;
    later([generation](UIWebView& v) { v.fireLoad(generation); });
}

void UIWebView::cancelImageLoads() {
    for (auto& [node, load] : imageLoads_)
        if (load.connection) load.connection->cancel();
    imageLoads_.clear();
    imagesWaiting_.clear();
    imagesFetching_ = 0;
    resourceOutcomes_.clear();
    resourceEventsScheduled_ = false;
    pageImages_.clear();
    windowLoadWaits_ = false;
}
