#include "platform/uikit/UIApplication.h"

#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSString.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIAlertOverlayWindow.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/InstalledApplications.h"
#include "platform/uikit/UIScreen.h"
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
    static auto application = [] {
        // The system's own classes that apps look up by name.
        NSRegisterClass(UIAlertOverlayWindow::kClassName, UIAlertOverlayWindow::classObject());
        return std::make_shared<UIApplication>();
    }();
    return application;
}

UIInterfaceOrientation UIApplication::statusBarOrientation() const {
    // A device that was set to another orientation without a turn (a profile change) leads.
    long device = DeviceProfile::current().orientation;
    if (device == turnedAtDevice_.load()) return displayed_.load();
    return interfaceOrientationFor(device);
}

UIInterfaceOrientation UIApplication::interfaceOrientationFor(long o) {
    return o >= UIInterfaceOrientationPortrait && o <= UIInterfaceOrientationLandscapeLeft ? static_cast<UIInterfaceOrientation>(o)
                                                                                          : UIInterfaceOrientationPortrait;
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
    auto old = keyWindow_.lock();
    keyWindow_ = window;
    if (old != window) {
        if (old) old->resignKeyWindow();
        if (window) window->becomeKeyWindow();
    }
    windowDidBecomeVisible(window);
}

void UIApplication::windowDidBecomeVisible(const std::shared_ptr<UIWindow>& window) {
    if (!window || window == alertWindow_) return;
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(), [](auto& w) { return w.expired(); }), windows_.end());
    for (auto& w : windows_)
        if (w.lock() == window) return;
    windows_.push_back(window);
}

namespace {
bool onScreen(const UIWindow& w) { return w.isVisible() && !w.isHidden(); }
} // namespace

std::shared_ptr<UIWindow> UIApplication::appWindow() const {
    for (auto& w : windows())
        if (onScreen(*w)) return w;
    return keyWindowUnderAlerts();
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windowsInFrontOf(const std::shared_ptr<UIWindow>& window) const {
    auto all = windows();
    auto self = std::find(all.begin(), all.end(), window);
    std::vector<std::pair<std::size_t, std::shared_ptr<UIWindow>>> front;
    for (std::size_t i = 0; i < all.size(); ++i) {
        auto& w = all[i];
        if (w == window || !onScreen(*w)) continue;
        bool later = self == all.end() || i > static_cast<std::size_t>(self - all.begin());
        CGFloat level = window ? window->windowLevel() : UIWindowLevelNormal;
        if (w->windowLevel() > level || (w->windowLevel() == level && later)) front.emplace_back(i, w);
    }
    std::stable_sort(front.begin(), front.end(), [](auto& a, auto& b) {
        if (a.second->windowLevel() != b.second->windowLevel()) return a.second->windowLevel() > b.second->windowLevel();
        return a.first > b.first;
    });
    std::vector<std::shared_ptr<UIWindow>> out;
    for (auto& [i, w] : front) out.push_back(w);
    return out;
}

std::shared_ptr<UIWindow> UIApplication::keyWindowUnderAlerts() const {
    auto key = keyWindow();
    if (alertWindow_ && key == alertWindow_) return windowUnderAlerts_.lock();
    return key;
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
    if (scheme.empty()) return false;
    for (const auto& own : schemes_)
        if (NSString::lowercaseString(own) == scheme) return true;
    return InstalledApplications::handlesScheme(scheme);
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

void UIApplication::alertDidShow(const std::shared_ptr<UIAlertView>& alert) {
    alerts_.push_back(alert);
    if (alertWindow_) return;
    windowUnderAlerts_ = keyWindow_;
    alertWindow_ = std::make_shared<UIAlertOverlayWindow>(UIScreen::mainScreen()->bounds());
    keyWindow_ = alertWindow_;
}

void UIApplication::alertDidDismiss(const UIAlertView* alert) {
    alerts_.erase(std::remove_if(alerts_.begin(), alerts_.end(), [&](auto& a) { return a.get() == alert; }), alerts_.end());
    if (!alerts_.empty() || !alertWindow_) return;
    if (keyWindow() == alertWindow_) keyWindow_ = windowUnderAlerts_;
    alertWindow_.reset();
    windowUnderAlerts_.reset();
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(backgroundLock_);
    UIBackgroundTaskIdentifier identifier = nextBackgroundTask_++;
    backgroundTasks_[identifier] = std::move(handler);
    return identifier;
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier) {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(backgroundLock_);
        auto it = backgroundTasks_.find(identifier);
        if (it == backgroundTasks_.end()) return;
        // The handler may hold the last reference to what ends the task: let it go outside the lock.
        handler = std::move(it->second);
        backgroundTasks_.erase(it);
    }
}

std::size_t UIApplication::backgroundTaskCount() const {
    std::lock_guard<std::mutex> guard(backgroundLock_);
    return backgroundTasks_.size();
}

void UIApplication::expireBackgroundTasks() {
    std::vector<std::pair<UIBackgroundTaskIdentifier, std::function<void()>>> running;
    {
        std::lock_guard<std::mutex> guard(backgroundLock_);
        running.assign(backgroundTasks_.begin(), backgroundTasks_.end());
    }
    // Handlers end their own tasks (or not); they run without the lock so they can.
    for (auto& [identifier, handler] : running) {
        if (handler) handler();
    }
}

void UIApplication::reset() {
    delegate_.reset();
    applicationState_ = UIApplicationStateActive;
    keyWindow_.reset();
    windows_.clear();
    alertWindow_.reset();
    windowUnderAlerts_.reset();
    shakeToEdit_ = true;
    openedURLs_.clear();
    handedDocuments_.clear();
    alerts_.clear();
    statusBarHidden_ = false;
    displayed_ = UIInterfaceOrientationPortrait;
    turnedAtDevice_ = -1;
    statusBarAnimation_ = UIStatusBarAnimationNone;
    statusBarStyle_ = UIStatusBarStyleDefault;
    std::map<UIBackgroundTaskIdentifier, std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> guard(backgroundLock_);
        tasks.swap(backgroundTasks_);
    }
}
