#pragma once
// One loaded page: its document and the script engine that works on it, with the page's globals
// (window, document, location, navigator, console, timers) in place from the start. What reaches
// beyond the page (navigations, timers, console lines) goes to the host, the web view.

#include "platform/web/WebDocument.h"
#include "platform/web/WebScriptEngine.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class WebPageHost {
public:
    virtual ~WebPageHost() = default;
    virtual void pageConsoleLine(const std::string& line) = 0;
    // A navigation the page's script started: an absolute URL, its navigation type, and the
    // IFRAME element it loads in as a subframe (-1 when it replaces the page).
    virtual void pageNavigation(const std::string& url, long type, long frame) = 0;
    // A timer on the platform clock; its firing calls the page's timer function with its id. A timer
    // the host refuses (past its bound) gets 0, which names none.
    virtual long pageTimerStart(double seconds, bool repeats) = 0;
    virtual void pageTimerStop(long timer) = 0;
    // An image element was given a source (parsed with one, or a script set it): the host fetches
    // its absolute URL and, once that loaded or failed, calls fireResourceEvent. `source` is the
    // attribute's text, by which a later source tells a stale answer.
    virtual void pageImageRequested(long node, const std::string& source, const std::string& url) = 0;
    // A window a script opened without the user's touch, refused as a pop-up blocker refuses it.
    virtual void pageWindowBlocked(const std::string& url) = 0;
    // Markup a script set or wrote was past a parse's bounds, and was refused (the document says which bound).
    virtual void pageMarkupRefused() = 0;
    // A script element a script added to the document (with a source, or written outside the
    // page's own scripts): the host runs it on a later pass and fires its load or error event.
    virtual void pageScriptAdded(long node) = 0;
    // The page's viewport in points, and the screen's pixels per point.
    virtual void pageViewport(double& width, double& height, double& scale) = 0;
    // Bracket each outermost evaluation, whatever started it, for the host's account of script time.
    virtual void pageScriptWillRun() = 0;
    virtual void pageScriptDidRun() = 0;
};

class WebPage {
public:
    WebPage(WebPageHost& host, std::string url, std::size_t heapCap, const std::string& userAgent);

    WebScriptEngine& engine() { return engine_; }
    WebDocument& document() { return document_; }
    WebPageHost& host() { return host_; }
    const std::string& url() const { return url_; }
    // A link's or script's URL made absolute against the page's.
    std::string resolve(const std::string& reference) const;

    // Runs page code; an error it throws becomes a console line.
    WebScriptEngine::Outcome evaluate(const std::string& source, const std::string& fileName, double budgetSeconds);
    // A URL that differs from the page's only in its fragment (or adds one) names a place in this
    // document: following it stays on the page and only moves the page's URL.
    bool isInDocument(const std::string& url) const;
    void moveInDocument(const std::string& url);

    // The page's own events, each one evaluation. A tap is what a finger does: the touch events,
    // then, unless they were prevented, the mouse events and the click.
    void tap(const WebNode* node, double budgetSeconds);
    void fireTimer(long timer, double budgetSeconds);
    void fireLoad(double budgetSeconds);
    // An image's or a frame's load or error event, for the element's source as it was when its
    // load started; nothing when the element has another source since, or a frame left the document.
    void fireResourceEvent(long node, const std::string& source, bool loaded, double budgetSeconds);
    // An IFRAME with a source that enters the document (parsed, inserted, or given its source)
    // loads as a subframe: node and what lies under it.
    void noticeFrames(WebNode* node);
    // Images with a source below the node (made by a parse) start loading, in the document or not.
    void noticeImages(WebNode* node);
    void noticeImage(WebNode* image);

    // The page's own script that the loader runs now (-1 between them). What it writes with
    // document.write is gathered, and insertWritten() parses it into the script's place once the
    // script has run, answering the scripts the markup holds, in order (they run next).
    void setCurrentScript(long node) { currentScript_ = node; }
    long currentScript() const { return currentScript_; }
    std::vector<int> insertWritten();
    // document.write: gathered for the current script, else added to the end of the body with its
    // scripts run by the host; false past the page's allowances.
    bool write(std::string_view markup);
    // Script elements entering the document start: those with a source go to the host, the others
    // are answered for the caller to run at once.
    void startScripts(WebNode* node, std::vector<WebNode*>& inlineScripts);
    // "loading" while the page's own scripts run, "interactive" once they have, "complete" from the
    // window's load on.
    const std::string& readyState() const { return readyState_; }
    void setReadyState(std::string state) { readyState_ = std::move(state); }
    // Whether the page listens for the document's DOMContentLoaded (the loader fires it only then).
    bool listensForContentLoaded() const { return listensForContentLoaded_; }
    void noteListener(const std::string& type);
    void fireContentLoaded(double budgetSeconds);

    // The page's global code, written once, run in every fresh heap.
    static const std::string& prelude();

private:
    // The events part of the prelude (WebPageEvents.cpp).
    static const char* preludeEvents();

    WebPageHost& host_;
    std::string url_;
    WebScriptEngine engine_;
    WebDocument document_;
    long currentScript_ = -1;
    std::string written_;
    std::string readyState_ = "loading";
    bool listensForContentLoaded_ = false;
};
