#pragma once
// The web view: loads pages (HTML strings, http(s), device files, about:blank) and runs their
// scripts for real, headless, each page in a fresh script heap with its memory capped and every
// evaluation (page script, handler, timer, the app's evaluations) on a budget of real time, so
// that a hostile page stops itself and the app goes on; together they keep to a share of the main
// thread (WebScriptBudget), past which the page's own work waits. Pages are not laid out or painted: the
// view paints its background colour and the body's, and describes the page's text, links and
// images to the driver. Callbacks come each on a later main-loop pass, in the order the
// platform's delegate expects: policy, start (with the new page's globals in place), the page's
// scripts, window.onload, finish.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"
#include "platform/uikit/UIView.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebScriptBudget.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class NSTimer;
class NSURLConnection;
class UIWebView;

enum UIWebViewNavigationType : long {
    UIWebViewNavigationTypeLinkClicked = 0,
    UIWebViewNavigationTypeFormSubmitted = 1,
    UIWebViewNavigationTypeBackForward = 2,
    UIWebViewNavigationTypeReload = 3,
    UIWebViewNavigationTypeFormResubmitted = 4,
    UIWebViewNavigationTypeOther = 5,
};

enum UIDataDetectorTypes : unsigned long {
    UIDataDetectorTypeNone = 0,
    UIDataDetectorTypePhoneNumber = 1 << 0,
    UIDataDetectorTypeLink = 1 << 1,
    UIDataDetectorTypeAll = ~0ul,
};

class UIWebViewDelegate {
public:
    virtual ~UIWebViewDelegate() = default;
    virtual bool webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequestPtr&, UIWebViewNavigationType) {
        return true;
    }
    virtual void webViewDidStartLoad(UIWebView&) {}
    virtual void webViewDidFinishLoad(UIWebView&) {}
    virtual void webViewDidFailLoadWithError(UIWebView&, const NSErrorPtr&) {}
};

class UIWebView : public UIView, private WebPageHost {
public:
    // What a fetch of the page's brought: the response, its HTTP status (200 for other schemes),
    // the body it kept, the bytes that came and the error of a failed load.
    struct Fetched {
        NSURLResponsePtr response;
        long status = 200;
        std::string body;
        long long bytes = 0;
        NSErrorPtr error;
    };

    // Each evaluation's limit, and the shorter one of an evaluation made while the page is past its
    // share of the main thread.
    static constexpr double kEvaluationBudget = 0.5;
    static constexpr double kEvaluationBudgetPastShare = 0.05;
    static constexpr std::size_t kHeapCap = 64u << 20;
    // What one page may have under way or waiting at a time; past these what it asks for is dropped,
    // and its console says so once.
    static constexpr std::size_t kMaxImageFetches = 6;
    static constexpr std::size_t kMaxImagesWaiting = 256;
    static constexpr std::size_t kMaxFrameLoads = 16;
    static constexpr std::size_t kMaxPendingNavigations = 256;
    // Navigations followed in one main-loop pass; the rest wait for the next.
    static constexpr std::size_t kMaxNavigationsPerPass = 16;
    static constexpr std::size_t kMaxTimers = 1000;
    // The longest delay a timer keeps (a browser's, 2^31 - 1 ms); a longer one is cut to it.
    static constexpr double kLongestTimerDelay = 2147483.647;
    static constexpr std::size_t kMaxAddedScripts = 256;
    static constexpr std::size_t kMaxScriptBytes = 4u << 20;
    static constexpr std::size_t kMaxHistory = 50;
    // What a page's console keeps: lines past the count or the bytes are dropped, and a long line
    // is cut.
    static constexpr std::size_t kMaxConsoleLines = 1000;
    static constexpr std::size_t kMaxConsoleBytes = 256u << 10;
    static constexpr std::size_t kMaxConsoleLineBytes = 4u << 10;

    // What the log and the console say of markup that was refused, naming the bound it met.
    static std::string parseRefusalLine(WebDocument::Refusal refusal);

    explicit UIWebView(const CGRect& frame = CGRect{});
    ~UIWebView() override;

    std::shared_ptr<UIWebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIWebViewDelegate>& delegate) { delegate_ = delegate; }

    // A nil base URL stands for "about:blank".
    void loadHTMLStringBaseURL(const std::string& html, const NSURLPtr& baseURL);
    void loadRequest(const NSURLRequestPtr& request);
    void stopLoading();
    // Ends the page at once, as leaving it for a blank one does: its load and frames stop (as
    // stopLoading), its timers never fire again, its image and script fetches and the navigations
    // it started are dropped, and its scripts never run again.
    void closePage();
    bool isLoading() const { return loading_; }
    bool canGoBack() const { return historyIndex_ > 0; }
    void goBack();
    // The main frame's current request.
    NSURLRequestPtr request() const { return request_; }

    // Runs the script in the page now and answers its value: strings as they are, numbers and
    // booleans as text, "" for undefined, null, objects, thrown errors and overruns.
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

    // Flags kept for the app; they change nothing here.
    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool value) { scalesPageToFit_ = value; }
    bool allowsInlineMediaPlayback() const { return allowsInlineMediaPlayback_; }
    void setAllowsInlineMediaPlayback(bool value) { allowsInlineMediaPlayback_ = value; }
    bool mediaPlaybackRequiresUserAction() const { return mediaPlaybackRequiresUserAction_; }
    void setMediaPlaybackRequiresUserAction(bool value) { mediaPlaybackRequiresUserAction_ = value; }
    unsigned long dataDetectorTypes() const { return dataDetectorTypes_; }
    void setDataDetectorTypes(unsigned long types) { dataDetectorTypes_ = types; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    CGSize sizeThatFits(CGSize size) const override;

    // What "navigator.userAgent" answers, from the device's profile.
    static std::string userAgent();
    // Whether pages' images and scripts are fetched over http(s) (yes unless set otherwise): a
    // fuzzer's pages, whose frames its delegate refuses, keep to this machine with their images
    // failing and their scripts missing at once.
    static void setFetchesFromNetwork(bool fetches);
    static bool fetchesFromNetwork();

    // Budgets (tests set smaller ones); they apply from the next page load on.
    void setEvaluationBudget(double seconds) { budget_ = seconds; }
    double evaluationBudget() const { return budget_; }
    void setHeapCap(std::size_t bytes) { heapCap_ = bytes; }
    // The view's share of the main thread, over all its pages (tests give it their own stopwatch);
    // its pages keep to WebScriptBudget::allViews() as well.
    WebScriptBudget& scriptBudget() { return scriptBudget_; }
    std::size_t heapBytes() const { return page().engine().heapBytes(); }
    std::size_t peakHeapBytes() const { return page().engine().peakHeapBytes(); }

    // The page as the driver and tests see it.
    const std::vector<std::string>& consoleLines() const { return console_; }
    // Hears each line the page's console keeps (what the page logs, its uncaught errors, what the
    // view says of it), as the page wrote it, so that the app can log why a page shows nothing
    // (the log escapes it).
    using ConsoleObserver = std::function<void(const std::string& line)>;
    void setConsoleObserver(ConsoleObserver observer) { consoleObserver_ = std::move(observer); }
    std::string pageURL() const { return page().url(); }
    std::string visibleText() const;
    // The body's background colour when the page sets one.
    UIColorPtr pageBackgroundColor() const;
    // Clicks the element of that id or alt, or the link or button of that text.
    bool clickNamed(const std::string& text, UIScreenReply& reply);
    // Clicks the topmost absolutely placed element that holds the point (view coordinates), else the body.
    void clickAt(CGPoint point);

    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    void describeToScreen(UIScreenDescription& screen) override;
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) override;

private:
    struct Navigation {
        NSURLRequestPtr request;
        std::string html;
        bool fromString = false;
        UIWebViewNavigationType type = UIWebViewNavigationTypeOther;
    };
    // Loads (UIWebViewLoading.cpp).
    void navigate(Navigation navigation, bool askPolicy);
    void beginPage(const Navigation& navigation, unsigned long generation);
    void receiveContent(const std::string& text, unsigned long generation);
    // Runs the page's scripts from the index on, pausing while the page is past its share.
    void runScripts(unsigned long generation, std::size_t from = 0);
    void fetchScript(unsigned long generation, std::size_t index, const NSURLPtr& url);
    void fireLoad(unsigned long generation);
    // Runs the step after `seconds` on the platform clock, unless the page changed meanwhile.
    void afterHold(double seconds, unsigned long generation, std::function<void(UIWebView&)> step);
    void finishLoad(unsigned long generation);
    void failLoad(const NSErrorPtr& error, unsigned long generation);
    // Loads the frame; its element (when there is one) hears the load's end as its load event.
    void loadSubframe(const NSURLRequestPtr& request, long frame, const std::string& source);
    // Frame loads still under way fail as cancelled, at once; their answers, when they come, are
    // dropped.
    void cancelFrames();
    bool askPolicy(const NSURLRequestPtr& request, UIWebViewNavigationType type);
    void later(std::function<void(UIWebView&)> step);

    // The page's way out (WebPageHost).
    void pageConsoleLine(const std::string& line) override;
    void keepConsoleLine(std::string line);
    // Says once a page, in the log and its console, that it asked for more than it is given.
    void reportBound(const std::string& what);
    void pageNavigation(const std::string& url, long type, long frame) override;
    void pageWindowBlocked(const std::string& url) override;
    void pageMarkupRefused() override { reportBound(parseRefusalLine(page().document().lastRefusal())); }
    void pageScriptAdded(long node) override;
    void pageViewport(double& width, double& height, double& scale) override;
    // Runs the scripts the page added, one at a time, each once its text is in (UIWebViewLoading.cpp).
    void runAddedScripts(WebPage* owner);
    long pageTimerStart(double seconds, bool repeats) override;
    void pageTimerStop(long timer) override;
    void pageImageRequested(long node, const std::string& source, const std::string& url) override;
    // The page's images and frames (UIWebViewResources.cpp): image fetches start a few at a time,
    // and their outcomes and the frames' reach the page as events on a later pass, within its share.
    void startImageLoads(WebPage* owner);
    // Fetches on the main run loop: keeps up to `keep` bytes of the body (past them the load fails
    // as too large), or with 0 only counts them.
    std::shared_ptr<NSURLConnection> fetch(const NSURLRequestPtr& request, std::size_t keep, std::function<void(const Fetched&)> done);
    void imageLoaded(WebPage* owner, long node, unsigned long load, bool loaded);
    void resourceDone(WebPage* owner, long node, const std::string& source, bool loaded);
    void fireResourceEvents(WebPage* owner);
    void forgetPageImage(long node);
    void cancelImageLoads();
    void pageScriptWillRun() override { scriptBudget_.scriptWillRun(); }
    void pageScriptDidRun() override;
    // The page's timers come due on one run-loop timer of the view's, which runs those due in the
    // order they came due (UIWebView.cpp).
    struct PageTimer {
        double due = 0;  // on PlatformClock::monotonic()
        double interval = 0;
        bool repeats = false;
        unsigned long order = 0;  // timers due at one time run in the order they were set
    };
    void queueTimer(long id, PageTimer& timer, double due);
    void wakeTimersAt(double due);
    void runPageTimers(WebPage* owner);
    // Whether the page's own work may start now; when not, says so (once a page) and answers the
    // seconds it waits.
    double holdPageWork();
    // The same, without saying so.
    double pageHoldSeconds();
    // The limit of an evaluation that starts now.
    double evaluationLimit() const;
    // Time the main thread spent for the page outside its scripts (its navigations' answers).
    void chargeHostWork(double seconds);
    // Refuses (and says so once a page) a file: URL that a page not loaded from a file asks for.
    bool refusesLocalLoad(const NSURLPtr& url, const std::string& what);
    void logLine(const std::string& line);
    void stopTimers();
    // Runs the navigations scripts started, in order, once the running script has returned.
    void drainNavigations();
    void scheduleDrain(double seconds);
    void afterEvaluation();
    void makePage(const std::string& url);
    // The current page; a new view's blank page is made when first used, so that a view that
    // loads a page at once never builds one for nothing.
    WebPage& page() const;

    std::weak_ptr<UIWebViewDelegate> delegate_;
    std::unique_ptr<WebPage> page_;
    NSURLRequestPtr request_;
    std::vector<std::string> console_;
    ConsoleObserver consoleObserver_;
    // Scripts the page added, waiting for their turn, and whether their turn is under way.
    std::deque<long> addedScripts_;
    bool addedScriptsRunning_ = false;
    std::size_t consoleLinesKept_ = 0;  // the current page's
    std::size_t consoleBytesKept_ = 0;
    struct PendingNavigation {
        std::string url;
        long type;
        long frame;  // the IFRAME element it loads in; -1 for the main frame
        std::string source;  // that element's source then
    };
    std::deque<PendingNavigation> pendingNavigations_;
    bool draining_ = false;
    bool drainScheduled_ = false;
    // The script time charged so far (its stopwatch's seconds), to tell the delegate's own work
    // from the page's scripts it ran.
    double scriptSeconds_ = 0;
    std::map<long, PageTimer> timers_;
    std::map<std::pair<double, unsigned long>, long> timersDue_;  // by (due, order)
    unsigned long nextTimerOrder_ = 0;
    std::shared_ptr<NSTimer> timerWake_;
    double timerWakeAt_ = 0;
    long nextTimer_ = 1;
    unsigned long generation_ = 0;
    bool loading_ = false;
    std::map<long, std::string> framesLoading_;  // each started frame load's URL, by its number
    long nextFrame_ = 1;
    std::vector<Navigation> history_;
    long historyIndex_ = -1;
    double budget_ = kEvaluationBudget;
    WebScriptBudget scriptBudget_;
    bool holdReported_ = false;
    // When the view's pages last ran script, for the turns views take while all are held back.
    static constexpr double kTurnStagger = 0.01;
    static constexpr double kTimerTurnAfterLoad = 0.001;
    static constexpr double kTurnMemory = 10;
    double lastRanAt_ = -kTurnMemory;
    std::vector<int> pageScripts_;  // the page's scripts as parsed, run in order
    // A script fetched from the network, for its turn: its index, and its text or nothing.
    struct FetchedScript {
        std::size_t index;
        std::optional<std::string> source;
    };
    std::optional<FetchedScript> fetchedScript_;
    // The current page's image loads: one per element, the latest source it was given.
    struct ImageLoad {
        std::string source;
        std::string url;
        unsigned long number = 0;  // tells this load's answer from an earlier one's
        std::shared_ptr<NSURLConnection> connection;  // while it is fetched
    };
    struct ResourceOutcome {
        long node;
        std::string source;
        bool loaded;
    };
    std::map<long, ImageLoad> imageLoads_;
    std::deque<long> imagesWaiting_;
    std::size_t imagesFetching_ = 0;
    unsigned long nextImageLoad_ = 1;
    std::deque<ResourceOutcome> resourceOutcomes_;
    bool resourceEventsScheduled_ = false;
    // The images of the page as parsed, which its window's load waits for.
    std::set<long> pageImages_;
    bool collectingPageImages_ = false;
    bool windowLoadWaits_ = false;
    // Lines said once a page about what it asked for past its bounds.
    std::set<std::string> boundsReported_;
    std::size_t heapCap_ = kHeapCap;
    bool scalesPageToFit_ = false;
    bool allowsInlineMediaPlayback_ = false;
    bool mediaPlaybackRequiresUserAction_ = true;
    unsigned long dataDetectorTypes_ = UIDataDetectorTypePhoneNumber;
    bool opaque_ = true;
};
