// libFuzzer target of the web view: any bytes, loaded as a page on a short budget, end their load
// (finished or failed) without a crash, a leak or a hang, and the view still answers afterwards.
#include "platform/foundation/NSRunLoop.h"
#include "platform/web/UIWebView.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
class EndDelegate : public UIWebViewDelegate {
public:
    // Frames the page names load, except from the network: a fuzzer stays on this machine (its
    // images as well, which the web view is told not to fetch).
    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequestPtr& request, UIWebViewNavigationType) override {
        auto url = request->URL();
        return !url || (url->scheme() != "http" && url->scheme() != "https");
    }
    void webViewDidFinishLoad(UIWebView&) override { ended = true; }
    void webViewDidFailLoadWithError(UIWebView&, const NSErrorPtr&) override { ended = true; }
    bool ended = false;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UIWebView::setFetchesImagesFromNetwork(false);
    auto view = std::make_shared<UIWebView>(CGRectMake(0, 0, 320, 480));
    auto delegate = std::make_shared<EndDelegate>();
    view->setDelegate(delegate);
    view->setEvaluationBudget(0.02);
    view->setHeapCap(8u << 20);
    view->loadHTMLStringBaseURL(std::string(reinterpret_cast<const char*>(data), size), nullptr);
    // Every step of a load is a main-loop pass that finds its work queued, so passes do not wait;
    // only a load held back for its scripts' share of the main thread waits for its timer. A load
    // that does not end in a few thousand passes is hung.
    auto loop = NSRunLoop::mainRunLoop();
    for (int pass = 0; !delegate->ended; ++pass) {
        if (pass == 5000) std::abort();
        if (!loop->runOnce(0)) loop->runOnce(0.01);
    }
    view->clickAt(CGPointMake(10, 10));
    (void)view->visibleText();
    // The page's budget is short enough that a busy machine can use it up on "1 + 1" alone.
    view->setEvaluationBudget(1);
    if (view->stringByEvaluatingJavaScriptFromString("1 + 1") != "2") std::abort();
    return 0;
}
