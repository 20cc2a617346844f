#include "platform/uikit/UIDisplay.h"

#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cmath>

namespace {
// The layer of the last full-screen presentation: what lies behind it is out of sight.
const CALayer* firstShownLayer(const UIWindow& window) {
    const auto& views = window.subviews();
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        auto controller = (*it)->viewController();
        if (controller && controller->presentingViewController() && !controller->showsPresenterWhenPresented())
            return (*it)->layer().get();
    }
    return nullptr;
}
} // namespace

CGImageRef UIDisplaySnapshot() {
    auto screen = UIScreen::mainScreen();
    // Painted upright in the interface's orientation, as the device's screenshots are.
    auto size = screen->interfaceBounds().size;
    CGFloat scale = screen->scale();
    auto bitmap = CGImage::createWithSize(static_cast<int>(std::lround(size.width * scale)),
                                          static_cast<int>(std::lround(size.height * scale)));
    if (!bitmap) return nullptr;
    auto app = UIApplication::sharedApplication();
    std::vector<std::pair<CGFloat, std::shared_ptr<UIWindow>>> windows;
    for (auto& w : app->windows()) windows.emplace_back(w->windowLevel(), w);
    auto key = app->keyWindow();
    if (key && std::none_of(windows.begin(), windows.end(), [&](auto& entry) { return entry.second == key; }))
        windows.emplace_back(std::max(key->windowLevel(), UIWindowLevelAlert), key);
    std::stable_sort(windows.begin(), windows.end(), [](auto& a, auto& b) { return a.first < b.first; });

    auto context = std::make_shared<CGContext>(bitmap, scale);
    context->setFillColor(0, 0, 0, 1);
    context->fillRect(CGRectMake(0, 0, size.width, size.height));
    context->concatCTM(screen->interfaceTransform());
    for (auto& [level, window] : windows) {
        // The system's alert window is never made visible by the app; it is up while it exists.
        bool shown = window == app->alertWindow() || window->isVisible();
        if (!shown || window->isHidden()) continue;
        window->layoutIfNeeded();
        auto f = window->frame();
        context->saveGState();
        context->translateCTM(f.origin.x, f.origin.y);
        window->layer()->renderInContextFromSublayer(*context, firstShownLayer(*window));
        context->restoreGState();
    }
    return bitmap;
}
