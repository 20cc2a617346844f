#include "sdk/ads/VuderuAdUtil.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/web/UIWebView.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdVocabulary.h"
#include "sdk/ads/VuderuBuiltInImages.h"
#include "sdk/analytics/VuderuUtil.h"

#include <mutex>

namespace {

constexpr int kSystemVersion6 = 59999;
constexpr double kRetinaScale = 2.0;

const VuderuVocabulary& orientations() {
    static const VuderuVocabulary table{{"PORTRAIT", "LANDSCAPE", "UNKNOWN"}};
    return table;
}

struct UserAgent {
    std::mutex lock;
    std::string text;
};

UserAgent& userAgent() {
    static UserAgent shared;
    return shared;
}

} // namespace

bool VuderuAdUtil::canDoSKAppStore() {
    return NSClassFromString("SKStoreProductViewController") && VuderuUtil::getSystemVersionAsAnInteger() > kSystemVersion6;
}

bool VuderuAdUtil::isModalViewPresent() {
    auto application = UIApplication::sharedApplication();
    auto window = application ? application->keyWindow() : nullptr;
    auto root = window ? window->rootViewController() : nullptr;
    return root && UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(root) != nullptr;
}

std::optional<std::string> VuderuAdUtil::getVuderuId() {
    if (VuderuUtil::getSystemVersionAsAnInteger() <= kSystemVersion6) return std::nullopt;
    return VuderuUtil::getVuderuId();
}

bool VuderuAdUtil::isAdTrackingEnabled() {
    if (VuderuUtil::getSystemVersionAsAnInteger() <= kSystemVersion6) return true;
    return VuderuUtil::isAdTrackingEnabled();
}

bool VuderuAdUtil::isRetinaDisplay() { return UIScreen::mainScreen()->scale() == kRetinaScale; }

UIImagePtr VuderuAdUtil::getCorrectImageAsset(const std::string& name) {
    std::string key = NSString::stringWithFormat(isRetinaDisplay() ? "%@_retina.png" : "%@.png", name);
    auto assets = VuderuAdManager::instance()->sdkAssetDictionary();
    if (assets) {
        auto found = assets->find(key);
        if (found != assets->end()) {
            if (auto image = UIImage::imageWithContentsOfFile(found->second)) return image;
        }
    }
    return getDefaultImage(name);
}

UIImagePtr VuderuAdUtil::getDefaultImage(const std::string& name) {
    auto bytes = vuderuBuiltInImage(name);
    if (!bytes) return nullptr;
    return UIImage::imageWithData(NSData(bytes->data(), bytes->size()));
}

void VuderuAdUtil::initUserAgent() {
    std::string text = UIWebView::userAgent();
    std::lock_guard guard(userAgent().lock);
    userAgent().text = std::move(text);
}

std::string VuderuAdUtil::getUserAgent() {
    std::lock_guard guard(userAgent().lock);
    return userAgent().text;
}

const std::vector<std::string>& VuderuAdUtil::screenOrientationArrayInstance() { return orientations().names; }

const std::string& VuderuAdUtil::screenOrientationEnumToString(std::int32_t orientation) { return orientations().names.at(orientation); }

std::int32_t VuderuAdUtil::screenOrientationStringToEnum(const std::optional<std::string>& orientation) {
    return orientation ? orientations().indexOf(std::string_view(*orientation)) : orientations().unknownIndex();
}

std::int32_t VuderuAdUtil::getScreenOrientation() { return VuderuUtil::canvasInLandscape() ? kLandscape : kPortrait; }

std::string VuderuAdUtil::cachePathDirectory() {
    auto paths = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    return NSString::stringWithFormat("%@/VuderuFiles", paths.empty() ? std::string() : paths.front());
}
