#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/ads/VuderuAdAlignment.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/analytics/VuderuLog.h"

namespace {
constexpr unsigned long kFlexibleMargins = UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                           UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin;
} // namespace

bool VuderuAdNetworkBasePlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) { return false; }

bool VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr&, bool takeover,
                                                                           const Connector& adContainer) {
    if (this->adContainer()) {
        VuderuLog(takeover ? "Interstitial currently active, not satisfying this request."
                           : "Inline ad currently active, not satisfying this request.");
        return false;
    }
    adContainer_ = adContainer;
    interstitial_ = takeover;
    return true;
}

void VuderuAdNetworkBasePlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr&, bool, const Connector&) {}

void VuderuAdNetworkBasePlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    if (container && container->space() == space) adContainer_.reset();
}

bool VuderuAdNetworkBasePlugin::viewIsBannerWithSpace(const UIViewPtr&, const std::string&) { return false; }

void VuderuAdNetworkBasePlugin::removeBanner(const UIViewPtr&) {}

CGSize VuderuAdNetworkBasePlugin::getBannerDimensions(const UIViewPtr& parentView) {
    if (!getVuderuAdDelegate()) {
        VuderuLog("VuderuZidUvov BasePlugin getBannerDimensions: delegate does not exist");
        return CGSizeZero;
    }
    CGSize available = parentView ? parentView->frame().size : CGSizeZero;
    if (available.height == 0) return CGSizeMake(available.width, 0);
    CGSize chosen = CGSizeZero;
    for (const CGSize& size : supportedAdSizes()) {
        if (size.width <= available.width && size.height <= available.height) {
            chosen = size;
            break;
        }
    }
    VuderuLog("Mappped to AdSize: %f x %f", chosen.width, chosen.height);
    return chosen;
}

void VuderuAdNetworkBasePlugin::addBannerViewIntoHolderView(const UIViewPtr& banner, const UIViewPtr& holder) {
    if (!banner || !holder) return;
    banner->removeFromSuperview();
    CGSize size = banner->frame().size;
    CGRect adRect{CGPointZero, size};

    std::optional<std::string> vertical, horizontal;
    auto container = adContainer();
    auto frame = container ? container->adFrame() : nullptr;
    if (frame && frame->adSpaceLayout()) {
        const std::string& alignment = frame->adSpaceLayout()->alignment();
        auto dash = alignment.find('-');
        if (dash != std::string::npos) {
            vertical = alignment.substr(0, dash);
            auto rest = alignment.substr(dash + 1);
            horizontal = rest.substr(0, rest.find('-'));
        }
    }

    // The connector is the ad-space view itself.
    auto adSpaceView = std::dynamic_pointer_cast<UIView>(container);
    bool holderInAdView = adSpaceView && holder->superview() == adSpaceView;
    if (holderInAdView) {
        CGRect bounds = adSpaceView->bounds();
        CGRect placed = VuderuAdAlignment::getBoundsForAdVerticalHorizontalAdFrameViewContainerFrame(vertical, horizontal, adRect, bounds);
        if (bounds.size.width < size.width) {
            placed.origin.x = 0;
            placed.size.width = bounds.size.width;
        }
        if (bounds.size.height < size.height) {
            placed.origin.y = 0;
            placed.size.height = bounds.size.height;
        }
        if (placed != holder->frame()) holder->setFrame(placed);
    }
    CGRect centred = VuderuAdAlignment::getBoundsForAdTypeVerticalHorizontalAdFrameViewContainerFrame(
        VuderuAdAlignment::kMiddle, VuderuAdAlignment::kCentre, adRect, holder->bounds());
    if (!holderInAdView) {
        holder->setFrame(holder->convertRectToView(centred, holder->superview()));
        banner->setFrame(CGRect{CGPointZero, centred.size});
    } else {
        banner->setFrame(centred);
    }
    banner->setAutoresizingMask(kFlexibleMargins);
    holder->addSubview(banner);
}

void VuderuAdNetworkBasePlugin::adjustAdBannerFrame() {
    auto banner = currentBanner();
    if (banner && banner->superview()) addBannerViewIntoHolderView(banner, banner->superview());
}

std::shared_ptr<VuderuAdDelegate> VuderuAdNetworkBasePlugin::getVuderuAdDelegate() const { return VuderuAds::getAdDelegate(); }

const std::vector<CGSize>& VuderuAdNetworkBasePlugin::supportedAdSizes() {
    if (!supportedAdSizes_) supportedAdSizes_ = makeSupportedAdSizes();
    return *supportedAdSizes_;
}

bool VuderuAdNetworkBasePlugin::respondsToSelector(std::string_view selector) const {
    return outsideSelectors().count(selector) > 0;
}

Value VuderuAdNetworkBasePlugin::performSelector(std::string_view selector) { return performSelectorWithArguments(selector, {}); }

Value VuderuAdNetworkBasePlugin::performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) {
    const auto& table = outsideSelectors();
    auto found = table.find(selector);
    if (found == table.end()) return Value();
    // The callback may make the ad-space view drop this plugin: it lives until the callback returns.
    auto keep = self();
    return found->second(*this, arguments);
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkBasePlugin::outsideSelectors() const {
    static const SelectorTable none;
    return none;
}

std::string VuderuAdNetworkBasePlugin::boundSpace() const {
    auto container = adContainer();
    return container ? container->space() : std::string();
}

std::shared_ptr<UIViewController> VuderuAdNetworkBasePlugin::presentingViewController() const {
    auto container = adContainer();
    if (container && container->parentViewController()) return container->parentViewController();
    if (auto root = VuderuAdManager::instance()->rvc()) return root;
    auto delegate = getVuderuAdDelegate();
    if (!delegate) return nullptr;
    return delegate->zidUvovRootViewController().value_or(nullptr);
}

void VuderuAdNetworkBasePlugin::reportNetworkFailure(bool adRendered, const NSErrorPtr& error) {
    auto container = adContainer();
    if (!container) return;
    if (adRendered) {
        container->processAdNetworkErrorAfterAdRendered();
    } else {
        container->processRenderFailureSendReport(error, true);
    }
}

void VuderuAdNetworkBasePlugin::withContainer(const std::function<void(IVuderuAdNetworkConnector&)>& call) {
    if (auto container = adContainer()) call(*container);
}
