#include "platform/web/UIWebView.h"

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSStringEncoding.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLResponse.h"
#include "platform/web/WebDocument.h"

namespace {

bool isSupported(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "file" || scheme == "about";
}

NSErrorPtr urlError(long code, const std::string& url) {
    return NSError::errorWithDomain(NSURLErrorDomain, code, {{"NSErrorFailingURLStringKey", Value(url)}});
}

// A body in its declared charset, else as UTF-8 when it is that, else as Latin-1 (which every
// byte string is).
std::string decodeBody(const NSDataPtr& data, const NSURLResponsePtr& response) {
    if (!data) return {};
    if (response && !response->textEncodingName().empty()) {
        CFStringEncoding declared = CFStringConvertIANACharSetNameToEncoding(response->textEncodingName());
        if (declared != kCFStringEncodingInvalidId)
            if (auto text = NSString::initWithBytes(data->bytes(), data->length(), CFStringConvertEncodingToNSStringEncoding(declared)))
                return *text;
    }
    if (auto text = NSString::initWithBytes(data->bytes(), data->length(), NSUTF8StringEncoding)) return *text;
    return NSString::initWithBytes(data->bytes(), data->length(), NSISOLatin1StringEncoding).value_or(std::string());
}

} // namespace

// A page may load files only when it came from one itself: a served page (or one the app made from
// a string) that could would show the user's files inside it.
bool UIWebView::refusesLocalLoad(const NSURLPtr& url, const std::string& what) {
    if (!url || !url->isFileURL()) return false;
    auto pageURL = NSURL::URLWithString(page().url());
    if (pageURL && pageURL->isFileURL()) return false;
    if (boundsReported_.insert("local " + what).second)
        logLine("web view: a page not loaded from a file may not load one; its " + what + " of " + url->absoluteString() +
                " is refused, and any further ones (" + page().url() + ")");
    else
        keepConsoleLine(what + " of a local file refused: " + url->absoluteString());
    return true;
}

void UIWebView::later(std::function<void(UIWebView&)> step) {
    auto weak = weakSelf<UIWebView>();
    dispatch_async(dispatch_get_main_queue(), [weak, step = std::move(step)] {
        if (auto view = weak.lock()) step(*view);
    });
}

void UIWebView::loadHTMLStringBaseURL(const std::string& html, const NSURLPtr& baseURL) {
    auto url = baseURL ? baseURL : NSURL::URLWithString("about:blank");
    navigate(Navigation{NSURLRequest::requestWithURL(url), html, true, UIWebViewNavigationTypeOther}, true);
}

void UIWebView::loadRequest(const NSURLRequestPtr& request) {
    if (!request) return;
    navigate(Navigation{request, {}, false, UIWebViewNavigationTypeOther}, true);
}

void UIWebView::goBack() {
    if (!canGoBack()) return;
    Navigation back = history_[static_cast<std::size_t>(--historyIndex_)];
    back.type = UIWebViewNavigationTypeBackForward;
    navigate(back, true);
}

void UIWebView::stopLoading() {
    ++generation_;
    cancelFrames();
    if (!loading_) return;
    loading_ = false;
    std::string url = page().url();
    later([url](UIWebView& view) {
        if (auto d = view.delegate()) d->webViewDidFailLoadWithError(view, urlError(NSURLErrorCancelled, url));
    });
}

void UIWebView::closePage() {
    stopLoading();
    if (page_ && page_->engine().isEvaluating()) {
        // Called from inside the page's own script: its heap goes with the next load, what it
        // started ends now.
        stopTimers();
        cancelImageLoads();
        pendingNavigations_.clear();
        addedScripts_.clear();
        return;
    }
    makePage("about:blank");
}

// A new main-frame load supersedes the one in progress, which fails as cancelled.
void UIWebView::navigate(Navigation navigation, bool askFirst) {
    if (loading_) stopLoading();
    cancelFrames();
    unsigned long generation = ++generation_;
    later([navigation, askFirst, generation](UIWebView& view) {
        if (view.generation_ != generation) return;
        if (askFirst && !view.askPolicy(navigation.request, navigation.type)) return;
        if (view.generation_ != generation) return;
        auto url = navigation.request->URL();
        if (!navigation.fromString && (!url || !isSupported(url->scheme()))) {
            view.later([navigation, generation](UIWebView& v) {
                if (v.generation_ != generation) return;
                auto d = v.delegate();
                auto u = navigation.request->URL();
                if (d) d->webViewDidFailLoadWithError(v, urlError(NSURLErrorUnsupportedURL, u ? u->absoluteString() : ""));
            });
            return;
        }
        view.later([navigation, generation](UIWebView& v) { v.beginPage(navigation, generation); });
    });
}

void UIWebView::beginPage(const Navigation& navigation, unsigned long generation) {
    if (generation_ != generation) return;
    auto url = navigation.request->URL();
    makePage(url->absoluteString());
    request_ = navigation.request;
    if (navigation.type != UIWebViewNavigationTypeBackForward) {
        history_.resize(static_cast<std::size_t>(historyIndex_ + 1));
        history_.push_back(navigation);
        // A view that loads page after page (an ad that refreshes) keeps only the latest ones.
        if (history_.size() > kMaxHistory) history_.erase(history_.begin());
        historyIndex_ = static_cast<long>(history_.size()) - 1;
    }
    loading_ = true;
    if (auto d = delegate()) d->webViewDidStartLoad(*this);
    if (generation_ != generation) return;
    if (navigation.fromString || url->scheme() == "about") {
        std::string html = navigation.fromString ? navigation.html : std::string();
        later([html, generation](UIWebView& v) { v.receiveContent(html, generation); });
    } else if (url->isFileURL()) {
        NSErrorPtr error;
        auto data = NSData::dataWithContentsOfFile(url->path(), &error);
        std::string text = decodeBody(data, nullptr);
        bool missing = !data;
        std::string failing = url->absoluteString();
        later([text, missing, failing, generation](UIWebView& v) {
            if (missing) v.failLoad(urlError(NSURLErrorFileDoesNotExist, failing), generation);
            else v.receiveContent(text, generation);
        });
    } else {
        auto request = navigation.request->mutableCopy();
        if (request->valueForHTTPHeaderField("User-Agent").empty()) request->setValueForHTTPHeaderField(userAgent(), "User-Agent");
        // The markup one parse reads, in any of the encodings a page may come in (UTF-16 takes
        // twice its text): the transfer stops there rather than gathering what would be refused.
        request->setMaximumBodyLength(2 * WebDocument::kMaxParsedBytes);
        auto weak = weakSelf<UIWebView>();
        // An HTTP error's body is shown as any page is.
        NSURLConnection::sendAsynchronousRequest(request, NSOperationQueue::mainQueue(),
                                                 [weak, generation](const NSURLResponsePtr& response, const NSDataPtr& data, const NSErrorPtr& error) {
                                                     auto view = weak.lock();
                                                     if (!view) return;
                                                     if (error && !data) view->failLoad(error, generation);
                                                     else view->receiveContent(decodeBody(data, response), generation);
                                                 });
    }
}

void UIWebView::receiveContent(const std::string& text, unsigned long generation) {
    if (generation_ != generation) return;
    if (!page().document().parse(text)) {
        logLine(parseRefusalLine(page().document().lastRefusal()) + " (" + page().url() + ")");
        return failLoad(urlError(NSURLErrorDataLengthExceedsMaximum, request() && request()->URL() ? request()->URL()->absoluteString() : ""),
                        generation);
    }
    // The page's own images and frames start loading as it is parsed, before its scripts run.
    collectingPageImages_ = true;
    page().noticeImages(page().document().root());
    collectingPageImages_ = false;
    page().noticeFrames(page().document().root());
    drainNavigations();
    if (generation_ != generation) return;
    later([generation](UIWebView& v) { v.runScripts(generation); });
}

void UIWebView::runScripts(unsigned long generation, std::size_t from) {
    if (generation_ != generation) return;
    WebDocument& document = page().document();
    // The scripts of the page as parsed; those that scripts add later do not run, as with innerHTML.
    if (from == 0) {
        pageScripts_.clear();
        for (auto* node : document.elementsByTagName(document.root(), "script")) {
            const std::string* type = node->attribute("type");
            if (!type || type->empty() || *type == "text/javascript" || *type == "application/javascript") pageScripts_.push_back(node->id);
        }
    }
    for (std::size_t index = from; index < pageScripts_.size(); ++index) {
        if (double hold = holdPageWork(); hold > 0)
            return afterHold(hold, generation, [generation, index](UIWebView& v) { v.runScripts(generation, index); });
        WebNode* script = document.node(pageScripts_[index]);
        std::string source;
        std::string name = "script " + std::to_string(index + 1);
        if (const std::string* src = script->attribute("src")) {
            auto url = NSURL::URLWithString(page().resolve(*src));
            NSErrorPtr error;
            std::optional<std::string> fetched;
            if (url && refusesLocalLoad(url, "script")) {
                continue;
            } else if (url && url->isFileURL()) {
                if (auto data = NSData::dataWithContentsOfFile(url->path(), &error, kMaxScriptBytes))
                    fetched = decodeBody(data, nullptr);
            } else if (url && (url->scheme() == "http" || url->scheme() == "https") && fetchesFromNetwork()) {
                // Fetched without holding the main thread: the page's load goes on when it is in.
                if (!fetchedScript_ || fetchedScript_->index != index) return fetchScript(generation, index, url);
                fetched = std::move(fetchedScript_->source);
                fetchedScript_.reset();
            }
            if (!fetched) {
                keepConsoleLine("script not loaded: " + *src);
                continue;
            }
            source = std::move(*fetched);
            name = *src;
        } else {
            source = document.textContent(script);
        }
        page().setCurrentScript(script->id);
        page().evaluate(source, name, budget_);
        // What the script wrote stands in its place, and the scripts in it run next.
        std::vector<int> written = page().insertWritten();
        page().setCurrentScript(-1);
        pageScripts_.insert(pageScripts_.begin() + static_cast<std::ptrdiff_t>(index + 1), written.begin(), written.end());
        afterEvaluation();
        if (generation_ != generation) return;
    }
    page().fireContentLoaded(budget_);
    afterEvaluation();
    if (generation_ != generation) return;
    later([generation](UIWebView& v) { v.fireLoad(generation); });
}

void UIWebView::pageScriptAdded(long node) {
    if (addedScripts_.size() >= kMaxAddedScripts)
        return reportBound("web view: the page added more scripts at once than are run; further ones never run");
    addedScripts_.push_back(node);
    if (addedScriptsRunning_) return;
    addedScriptsRunning_ = true;
    WebPage* owner = page_.get();
    later([owner](UIWebView& v) { v.runAddedScripts(owner); });
}

// Each added script is the page's own work: it waits while the page is past its share, its text is
// fetched without holding the main thread, and its element hears load or error once it ran.
void UIWebView::runAddedScripts(WebPage* owner) {
    if (page_.get() != owner) return;
    if (addedScripts_.empty()) {
        addedScriptsRunning_ = false;
        return;
    }
    if (double hold = holdPageWork(); hold > 0) {
        auto weak = weakSelf<UIWebView>();
        NSRunLoop::mainRunLoop()->performAfterDelay(hold, [weak, owner] {
            if (auto view = weak.lock()) view->runAddedScripts(owner);
        });
        return;
    }
    const long node = addedScripts_.front();
    const WebNode* element = page().document().node(node);
    const std::string* src = element ? element->attribute("src") : nullptr;
    const std::string source = src ? *src : std::string();
    auto run = [owner, node, source](UIWebView& v, const std::optional<std::string>& text) {
        if (v.page_.get() != owner) return;
        v.addedScripts_.pop_front();
        if (text) {
            v.page().evaluate(*text, source.empty() ? "script" : source, v.evaluationLimit());
            v.afterEvaluation();
        } else {
            v.keepConsoleLine("script not loaded: " + source);
        }
        if (v.page_.get() != owner) return;
        if (!source.empty()) v.resourceDone(owner, node, source, text.has_value());
        v.later([owner](UIWebView& w) { w.runAddedScripts(owner); });
    };
    if (source.empty()) return run(*this, element ? page().document().textContent(element) : std::string());
    auto url = NSURL::URLWithString(page().resolve(source));
    if (!url || refusesLocalLoad(url, "script")) return run(*this, std::nullopt);
    if (url->isFileURL()) {
        NSErrorPtr error;
        auto data = NSData::dataWithContentsOfFile(url->path(), &error, kMaxScriptBytes);
        return run(*this, data ? std::optional<std::string>(decodeBody(data, nullptr)) : std::nullopt);
    }
    if ((url->scheme() != "http" && url->scheme() != "https") || !fetchesFromNetwork()) return run(*this, std::nullopt);
    auto weak = weakSelf<UIWebView>();
    fetch(NSURLRequest::requestWithURL(url), kMaxScriptBytes, [weak, run](const Fetched& answer) {
        auto view = weak.lock();
        if (!view) return;
        std::optional<std::string> text;
        if (!answer.error && answer.status < 400) text = decodeBody(NSData::dataWithString(answer.body), answer.response);
        run(*view, text);
    });
}

void UIWebView::fetchScript(unsigned long generation, std::size_t index, const NSURLPtr& url) {
    auto weak = weakSelf<UIWebView>();
    fetch(NSURLRequest::requestWithURL(url), kMaxScriptBytes, [weak, generation, index](const Fetched& answer) {
        auto view = weak.lock();
        if (!view || view->generation_ != generation) return;
        FetchedScript script{index, std::nullopt};
        if (!answer.error && answer.status < 400) script.source = decodeBody(NSData::dataWithString(answer.body), answer.response);
        view->fetchedScript_ = std::move(script);
        view->runScripts(generation, index);
    });
}

void UIWebView::fireLoad(unsigned long generation) {
    if (generation_ != generation) return;
    if (!pageImages_.empty()) {
        windowLoadWaits_ = true;
        return;
    }
    if (double hold = holdPageWork(); hold > 0) return afterHold(hold, generation, [generation](UIWebView& v) { v.fireLoad(generation); });
    page().fireLoad(budget_);
    afterEvaluation();
    later([generation](UIWebView& w) { w.finishLoad(generation); });
}

void UIWebView::finishLoad(unsigned long generation) {
    if (generation_ != generation) return;
    loading_ = false;
    if (auto d = delegate()) d->webViewDidFinishLoad(*this);
}

void UIWebView::failLoad(const NSErrorPtr& error, unsigned long generation) {
    if (generation_ != generation) return;
    loading_ = false;
    if (auto d = delegate()) d->webViewDidFailLoadWithError(*this, error);
}

// A subframe reports its start and its end, and its element hears its load event; what it holds
// is not run. A frame of a page that was stopped or left before the frame started reports nothing.
void UIWebView::loadSubframe(const NSURLRequestPtr& request, long frame, const std::string& source) {
    const unsigned long generation = generation_;
    const long number = nextFrame_++;
    WebPage* owner = page_.get();
    later([request, generation, number, owner, frame, source](UIWebView& view) {
        if (view.generation_ != generation) return;
        if (view.framesLoading_.size() >= kMaxFrameLoads)
            return view.reportBound("web view: the page started more frames at once than are loaded; further ones are dropped");
        auto url = request->URL();
        view.framesLoading_[number] = url->absoluteString();
        if (auto d = view.delegate()) d->webViewDidStartLoad(view);
        auto finish = [number, owner, frame, source](UIWebView& v, const NSErrorPtr& error) {
            if (!v.framesLoading_.erase(number)) return;
            // A frame's element hears "load" whatever the frame's own outcome.
            if (frame >= 0 && v.page_.get() == owner) v.resourceDone(owner, frame, source, true);
            auto d = v.delegate();
            if (!d) return;
            if (error) d->webViewDidFailLoadWithError(v, error);
            else d->webViewDidFinishLoad(v);
        };
        if (!isSupported(url->scheme())) {
            view.later([finish, url](UIWebView& v) { finish(v, urlError(NSURLErrorUnsupportedURL, url->absoluteString())); });
        } else if (url->scheme() == "http" || url->scheme() == "https") {
            // What the frame holds is not kept: its answer's end is all that counts.
            auto weak = view.weakSelf<UIWebView>();
            view.fetch(request, 0, [weak, finish](const Fetched& answer) {
                if (auto v = weak.lock()) finish(*v, answer.error);
            });
        } else {
            view.later([finish](UIWebView& v) { finish(v, nullptr); });
        }
    });
}

void UIWebView::cancelFrames() {
    for (const auto& entry : framesLoading_) {
        later([url = entry.second](UIWebView& v) {
            if (auto d = v.delegate()) d->webViewDidFailLoadWithError(v, urlError(NSURLErrorCancelled, url));
        });
    }
    framesLoading_.clear();
}
