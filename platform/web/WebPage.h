#pragma once
// One loaded page: its document and the script engine that works on it, with the page's globals
// (window, document, location, navigator, console, timers) in place from the start. What reaches
// beyond the page (navigations, timers, console lines) goes to the host, the web view.

#include "platform/web/WebDocument.h"
#include "platform/web/WebScriptEngine.h"

#include <memory>
#include <string>

class WebPageHost {
public:
    virtual ~WebPageHost() = default;
    virtual void pageConsoleLine(const std::string& line) = 0;
    // A navigation the page's script started: an absolute URL, its navigation type, and whether
    // it loads in a subframe (an IFRAME) rather than replacing the page.
    virtual void pageNavigation(const std::string& url, long type, bool subframe) = 0;
    // A timer on the platform clock; its firing calls the page's timer function with its id.
    virtual long pageTimerStart(double seconds, bool repeats) = 0;
    virtual void pageTimerStop(long timer) = 0;
    // A script gave an image element a source: the image loads (it is not fetched) on a later
    // pass, where the host calls fireImageLoad.
    virtual void pageImageRequested(long node) = 0;
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
    void fireImageLoad(long node, double budgetSeconds);
    // An IFRAME with a source that enters the document (parsed, inserted, or given its source)
    // loads as a subframe: node and what lies under it.
    void noticeFrames(WebNode* node);

    // The page's global code, written once, run in every fresh heap.
    static const std::string& prelude();

private:
    // The events part of the prelude (WebPageEvents.cpp).
    static const char* preludeEvents();

    WebPageHost& host_;
    std::string url_;
    WebScriptEngine engine_;
    WebDocument document_;
};
