// libFuzzer target of the page calls: any bytes, as the parameters of a "vuderu://vuderucall?"
// navigation, go through the loader's policy call (split, decoded, handed to the ad) and through
// the value decoder alone, without a crash, a leak or a hang; the call is never followed.
#include "platform/net/NSURLRequest.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/adviews/VuderuCallParams.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// An ad with one frame that knows one unit GUID and takes every page event.
class CallAd : public IVuderuAd, public IVuderuAdWebViewLoaderConnector {
public:
    CallAd() {
        auto frame = std::make_shared<VuderuAdFrame>();
        frame->setBinding(VuderuAdFrame::kHTML);
        frame->setAdLogGUID("g1");
        frame->setAdSpaceLayout(std::make_shared<VuderuAdSpaceLayout>());
        unit_->addAdFrame(frame);
    }
    VuderuAdUnitPtr activeAdUnit() const override { return unit_; }
    bool isGuidActive(const std::string& guid) const override { return guid == "g1"; }
    bool readyForDisplay() const override { return true; }
    std::string adSpaceName() const override { return "space"; }
    bool adRendered() const override { return true; }
    bool setActiveAdUnit(const std::string& guid) override { return guid == "g1"; }
    bool processWebLoaderEventParamsStringParams(const std::string& event, const std::string&,
                                                 std::map<std::string, std::string>& processed) override {
        processed["event"] = event;
        return true;
    }

private:
    VuderuAdUnitPtr unit_ = std::make_shared<VuderuAdUnit>();
};

struct Loader {
    std::shared_ptr<CallAd> ad = std::make_shared<CallAd>();
    std::shared_ptr<VuderuAdWebViewLoader> loader = VuderuAdWebViewLoader::initWithAd(ad);
    Loader() {
        loader->setRenderFailedErrorHandler([](const NSErrorPtr&) { return true; });
        loader->webView()->setEvaluationBudget(0.02);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Loader shared;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& [key, value] : VuderuCallParams::parse(text)) {
        if (key.find('=') != std::string::npos) std::abort();
        (void)value;
    }
    (void)VuderuCallParams::decodeValue(text);
    auto url = NSURL::URLWithNavigationText("vuderu://vuderucall?" + text);
    if (!url) return 0;
    auto request = NSURLRequest::requestWithURL(url);
    if (shared.loader->webViewShouldStartLoadWithRequestNavigationType(*shared.loader->webView(), request,
                                                                       UIWebViewNavigationTypeOther))
        std::abort();
    return 0;
}
