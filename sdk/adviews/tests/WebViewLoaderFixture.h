#pragma once
// A recording ad for the web view loader: one unit with one frame (content, binding, layout set
// by the test), the connector's answers set by the test, and every connector call written down.

#include "platform/web/tests/WebViewTestSupport.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"

#include <gtest/gtest.h>

class RecordingLoaderAd : public IVuderuAd, public IVuderuAdWebViewLoaderConnector {
public:
    std::vector<VuderuAdUnitPtr> units;
    std::vector<std::string> calls;
    bool rendered = false;
    bool newAdRequest = false;
    bool opensApp = false;
    bool handlesEvents = true;
    std::vector<std::string> knownGuids;

    VuderuAdUnitPtr activeAdUnit() const override { return units.empty() ? nullptr : units.front(); }
    std::vector<VuderuAdUnitPtr> allAdUnitsList() const override { return units; }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return false; }
    std::string adSpaceName() const override { return "space"; }
    bool adRendered() const override { return rendered; }

    bool openAppUrlFromExWebView(const NSURLPtr& url, bool) override {
        calls.push_back("openApp " + url->absoluteString());
        return opensApp;
    }
    bool isWebViewNewAdRequest(bool) override { return newAdRequest; }
    bool setActiveAdUnit(const std::string& guid) override {
        calls.push_back("setActiveAdUnit " + guid);
        return std::find(knownGuids.begin(), knownGuids.end(), guid) != knownGuids.end();
    }
    void setIsLoadingAdComponents(bool loading) override { calls.push_back(std::string("loading ") + (loading ? "YES" : "NO")); }
    bool processWebLoaderEventParamsStringParams(const std::string& event, const std::string& paramsString,
                                                 std::map<std::string, std::string>& processed) override {
        calls.push_back("event " + event + " " + paramsString);
        processed["seen"] = event;
        return handlesEvents;
    }
    void applyProcessedParamsForEvent(const std::map<std::string, std::string>& processed, const std::string& event) override {
        calls.push_back("apply " + event + " " + processed.at("seen"));
    }
    void reportCurrentViewStateToAd() override { calls.push_back("reportViewState"); }

    // Adds a unit whose one frame has this content, binding and layout format.
    VuderuAdFramePtr addUnit(const std::string& content, std::int32_t binding = 2, const std::string& format = "banner") {
        auto unit = std::make_shared<VuderuAdUnit>();
        auto frame = std::make_shared<VuderuAdFrame>();
        auto layout = std::make_shared<VuderuAdSpaceLayout>();
        layout->setFormat(format);
        frame->setContent(content);
        frame->setBinding(binding);
        frame->setAdSpaceLayout(layout);
        unit->addAdFrame(frame);
        units.push_back(unit);
        return frame;
    }
};

class WebViewLoaderTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ad = std::make_shared<RecordingLoaderAd>();
    }
    void TearDown() override {
        if (loader) loader->invalidate();
        DeviceTest::TearDown();
    }
    // Makes the loader and records its completion and errors.
    void makeLoader() {
        loader = VuderuAdWebViewLoader::initWithAd(ad);
        loader->setAdLoadCompleteHandler([this] { ++completed; });
        loader->setRenderFailedErrorHandler([this](const NSErrorPtr& e) {
            errors.push_back(std::to_string(e->code()) + " " + e->localizedDescription());
            return errorsGoOn;
        });
        loader->setExternalRequestHandler([this](const NSURLRequestPtr& r) { external.push_back(r->URL()->absoluteString()); });
    }
    void loadHTML(const std::string& html) {
        loader->loadHTMLDisablePreRendering(html, false);
        ASSERT_TRUE(runMainUntil([&] { return completed > 0 || !errors.empty(); }));
    }
    std::string eval(const std::string& script) { return loader->webView()->stringByEvaluatingJavaScriptFromString(script); }
    bool policy(const std::string& url, UIWebViewNavigationType type = UIWebViewNavigationTypeLinkClicked) {
        return loader->webViewShouldStartLoadWithRequestNavigationType(
            *loader->webView(), NSURLRequest::requestWithURL(NSURL::URLWithNavigationText(url)), type);
    }

    std::shared_ptr<RecordingLoaderAd> ad;
    std::shared_ptr<VuderuAdWebViewLoader> loader;
    int completed = 0;
    bool errorsGoOn = false;
    std::vector<std::string> errors;
    std::vector<std::string> external;
};
