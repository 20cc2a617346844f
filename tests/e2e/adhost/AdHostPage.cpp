#include "tests/e2e/adhost/AdHostPage.h"

#include "tests/e2e/adhost/AdHost.h"

#include "platform/device/Driver.h"
#include "platform/foundation/NSURL.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

// The ad the page stands for: one unit with one web-page frame, never rendered; it records the
// loader's calls as screen lines.
class PageAd : public IVuderuAd, public IVuderuAdWebViewLoaderConnector {
public:
    explicit PageAd(std::int64_t preRenderTimeoutMillis) {
        unit_->setPreRenderTimeoutMillis(preRenderTimeoutMillis);
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setBinding(VuderuAdFrame::kWebPage);
        frame->setAdLogGUID("page");
        auto layout = std::make_shared<VuderuAdSpaceLayout>();
        layout->setFormat("banner");
        frame->setAdSpaceLayout(layout);
        unit_->addAdFrame(frame);
    }

    VuderuAdUnitPtr activeAdUnit() const override { return unit_; }
    bool isGuidActive(const std::string& guid) const override { return guid == "page"; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "page"; }

    bool setActiveAdUnit(const std::string& guid) override { return guid == "page"; }
    bool processWebLoaderEventParamsStringParams(const std::string& event, const std::string& paramsString,
                                                 std::map<std::string, std::string>&) override {
        AdHost::shared().record("page call " + event + (paramsString.empty() ? "" : " " + paramsString));
        return true;
    }

private:
    VuderuAdUnitPtr unit_ = std::make_shared<VuderuAdUnit>();
};

struct Page {
    std::shared_ptr<PageAd> ad;
    std::shared_ptr<VuderuAdWebViewLoader> loader;
};

Page& current() {
    static Page page;
    return page;
}

bool readFile(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    contents = text.str();
    return static_cast<bool>(in) || in.eof();
}

bool loadPage(const std::string& argument, std::int64_t preRenderTimeoutMillis, UIScreenReply& reply) {
    NSURLPtr url;
    std::string html;
    if (argument.rfind("http://", 0) == 0 || argument.rfind("https://", 0) == 0) {
        url = NSURL::URLWithString(argument);
        if (!url) return reply.refuse("not a URL: " + argument);
    } else if (argument.find("://") != std::string::npos) {
        return reply.refuse("page takes an http or https URL or a file path: " + argument);
    } else if (!readFile(argument, html)) {
        return reply.refuse("no page file at " + argument);
    }
    auto container = AdHost::shared().container();
    Page& page = current();
    if (page.loader) page.loader->invalidate();
    page.ad = std::make_shared<PageAd>(preRenderTimeoutMillis);
    page.loader = VuderuAdWebViewLoader::initWithAd(page.ad);
    page.loader->setAdLoadCompleteHandler([] { AdHost::shared().record("page loaded"); });
    page.loader->setRenderFailedErrorHandler([](const NSErrorPtr& error) {
        AdHost::shared().record("page failed " + (error ? std::to_string(error->code()) + " " + error->localizedDescription() : "nil"));
        return false;
    });
    page.loader->setExternalRequestHandler([](const NSURLRequestPtr& request) {
        AdHost::shared().record("page opens " + (request && request->URL() ? request->URL()->absoluteString() : std::string("nil")));
    });
    auto webView = page.loader->webView();
    webView->setFrame(container->bounds());
    container->addSubview(webView);
    if (url) page.loader->loadURLDisablePreRendering(url, false);
    else page.loader->loadHTMLDisablePreRendering(html, false);
    return true;
}

} // namespace

void AdHostPage::registerCommand() {
    Driver::addHostCommand("page", "URL|PATH [PRERENDER_MS]",
                           "load a page (an http(s) URL, or an HTML file of this machine) through the ad web view loader over the "
                           "container; its ad unit's pre-render time-out in ms (none unless given)",
                           [](Driver&, const std::string& argument, UIScreenReply& reply) {
                               if (argument.empty()) return reply.refuse("page what? A URL or a file path");
                               // A last word of digits is the time-out; paths with blanks stay whole.
                               auto blank = argument.rfind(' ');
                               std::int64_t timeout = 0;
                               std::string target = argument;
                               if (blank != std::string::npos) {
                                   auto word = argument.substr(blank + 1);
                                   auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), timeout);
                                   if (error == std::errc() && end == word.data() + word.size() && timeout >= 0) target = argument.substr(0, blank);
                                   else timeout = 0;
                               }
                               return loadPage(target, timeout, reply);
                           });
}
