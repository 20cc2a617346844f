#include "platform/uikit/UIApplication.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {
std::mutex registryLock;
std::map<std::string, UIApplication::DelegateFactory>& registry() {
    static std::map<std::string, UIApplication::DelegateFactory> classes;
    return classes;
}
} // namespace

std::shared_ptr<UIApplication> UIApplication::sharedApplication() {
    static auto application = std::make_shared<UIApplication>();
    return application;
}

void UIApplication::registerDelegateClass(const std::string& name, DelegateFactory factory) {
    std::lock_guard<std::mutex> guard(registryLock);
    registry()[name] = std::move(factory);
}

std::shared_ptr<UIApplicationDelegate> UIApplication::makeDelegate(const std::string& name) {
    DelegateFactory factory;
    {
        std::lock_guard<std::mutex> guard(registryLock);
        auto it = registry().find(name);
        if (it == registry().end()) return nullptr;
        factory = it->second;
    }
    return factory();
}

void UIApplication::setKeyWindow(const std::shared_ptr<UIWindow>& window) {
    keyWindow_ = window;
    for (auto& w : windows_)
        if (w.lock() == window) return;
    windows_.push_back(window);
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const {
    std::vector<std::shared_ptr<UIWindow>> out;
    for (auto& w : windows_)
        if (auto window = w.lock()) out.push_back(window);
    return out;
}

bool UIApplication::canOpenURL(const NSURLPtr& url) const {
    if (!url) return false;
    auto scheme = NSString::lowercaseString(url->scheme());
    return std::find(schemes_.begin(), schemes_.end(), scheme) != schemes_.end();
}

bool UIApplication::openURL(const NSURLPtr& url) {
    if (!canOpenURL(url)) return false;
    openedURLs_.push_back(url);
    return true;
}

bool UIApplication::handleOpenURL(const NSURLPtr& url, const std::string& sourceApplication, const Value& annotation) {
    if (!delegate_ || !url) return false;
    return delegate_->applicationOpenURLSourceApplicationAnnotation(*this, url, sourceApplication, annotation).value_or(false);
}

void UIApplication::sendShake() {
    std::shared_ptr<UIResponder> responder = UIResponder::currentFirstResponder();
    if (!responder) responder = keyWindow();
    if (!responder) return;
    auto event = std::make_shared<UIEvent>(UIEventTypeMotion, UIEventSubtypeMotionShake);
    responder->motionBeganWithEvent(UIEventSubtypeMotionShake, event);
    responder->motionEndedWithEvent(UIEventSubtypeMotionShake, event);
}

void UIApplication::alertDidShow(const std::shared_ptr<UIAlertView>& alert) { alerts_.push_back(alert); }

void UIApplication::alertDidDismiss(const UIAlertView* alert) {
    alerts_.erase(std::remove_if(alerts_.begin(), alerts_.end(), [&](auto& a) { return a.get() == alert; }), alerts_.end());
}

void UIApplication::reset() {
    delegate_.reset();
    keyWindow_.reset();
    windows_.clear();
    shakeToEdit_ = true;
    openedURLs_.clear();
    alerts_.clear();
}
