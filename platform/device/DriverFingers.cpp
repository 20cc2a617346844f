#include "platform/device/Driver.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// The fingers' distance from the centre of a twist, and the degrees of each of its moves.
constexpr CGFloat kTwistRadius = 40;
constexpr CGFloat kTwistStepDegrees = 5;
constexpr int kDefaultDragSteps = 10;
constexpr int kMaxSteps = 1000;
// A second touch at the same point this soon after the one before is a double tap.
constexpr double kDoubleTapInterval = 0.35;
constexpr long kMaxTaps = 10;
constexpr double kDefaultHoldSeconds = 1;
constexpr double kMaxHoldSeconds = 60;

std::optional<double> number(const std::string& s) { return Driver::decimal(s); }

// A point of the screen in a window's coordinates.
CGPoint inWindow(const std::shared_ptr<UIWindow>& window, CGPoint p) {
    // The driver's points stand upright in the interface; windows keep the screen's coordinates.
    p = UIScreen::mainScreen()->pointFromInterface(p);
    auto f = window->frame();
    return {p.x - f.origin.x, p.y - f.origin.y};
}

// Words separated by spaces; a double-quoted run ("Top bar") is one word.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) out.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) out.push_back(word);
    return out;
}
} // namespace

// Fingers whose every step takes its time on the platform clock, as every command that lets time pass.
UIFingers Driver::fingersOn(const std::shared_ptr<UIWindow>& window) {
    UIFingers fingers(window);
    fingers.setPassTime([this](double seconds) { advance(seconds); });
    return fingers;
}

std::vector<std::shared_ptr<UIWindow>> Driver::otherWindows() const {
    return UIApplication::sharedApplication()->windowsInFrontOf(window());
}

std::shared_ptr<UIWindow> Driver::frontWindow(CGPoint point) const {
    for (auto& other : otherWindows()) {
        other->layoutIfNeeded();
        if (other->hitTestWithEvent(inWindow(other, point), nullptr)) return other;
    }
    return window();
}

std::optional<CGPoint> Driver::endpoint(const std::string& text, const std::string& usage) {
    if (text.find(',') != std::string::npos) return screenPoint(text, usage);
    // A thing the screen shows: the centre of its view or layer.
    auto p = describe().placePoint(text);
    if (!p) return fail("nothing on screen shows " + UIScreenDescription::quoted(text) + " (" + usage + ")"), std::nullopt;
    return screenPoint(std::to_string(p->x) + "," + std::to_string(p->y), usage);
}

std::optional<CGPoint> Driver::screenPoint(const std::string& text, const std::string& usage) {
    auto comma = text.find(',');
    auto x = comma == std::string::npos ? std::nullopt : number(text.substr(0, comma));
    auto y = comma == std::string::npos ? std::nullopt : number(text.substr(comma + 1));
    if (!x || !y) return fail("not a point: " + UIScreenDescription::quoted(text) + " (" + usage + ")"), std::nullopt;
    auto screen = UIScreen::mainScreen()->interfaceBounds();
    if (*x < 0 || *y < 0 || *x >= screen.size.width || *y >= screen.size.height) {
        char size[64];
        std::snprintf(size, sizeof size, "%g by %g points", screen.size.width, screen.size.height);
        return fail(text + " lies off the screen (" + size + ")"), std::nullopt;
    }
    return CGPointMake(*x, *y);
}

namespace {
// A finger cannot reach the app while an alert stands in front of it.
bool alertInFront() { return !UIApplication::sharedApplication()->visibleAlerts().empty(); }
constexpr const char* kAlertInFront = "an alert is in front of the screen: press one of its buttons";
} // namespace

bool Driver::touchAt(const std::string& text) {
    auto args = words(text);
    if (args.empty() || args.size() > 2) return fail("touch needs one point and may take a tap count: touch X,Y [TAPS]");
    auto point = screenPoint(args[0], "touch X,Y");
    if (!point) return false;
    std::optional<long> taps;
    if (args.size() == 2) {
        taps = UIScreenDescription::index(args[1]);
        if (!taps || *taps < 1 || *taps > kMaxTaps) return fail("the taps of a touch are a whole number from 1 to 10");
    }
    auto w = frontWindow(*point);
    if (!w) return fail("no window on screen");
    if (alertInFront()) return fail(kAlertInFront);
    double now = PlatformClock::monotonic();
    if (!taps) {
        bool again = lastTouch_ && lastTouch_->point == *point && now - lastTouch_->time <= kDoubleTapInterval;
        taps = again ? lastTouch_->taps + 1 : 1;
    }
    lastTouch_ = LastTouch{*point, now, *taps};
    UIScreenReply reply;
    bool done = UIScreenDescription::touchAt(w, inWindow(w, *point), reply, *taps);
    lastSaid_ = reply.said;
    return done || fail(reply.error);
}

bool Driver::drag(const std::string& text) {
    const std::string usage = "drag X,Y X,Y [STEPS]";
    auto args = words(text);
    if (args.size() < 2 || args.size() > 3) return fail("drag needs two points: " + usage);
    auto from = endpoint(args[0], usage);
    if (!from) return false;
    auto to = endpoint(args[1], usage);
    if (!to) return false;
    int steps = kDefaultDragSteps;
    if (args.size() == 3) {
        auto n = UIScreenDescription::index(args[2]);
        if (!n || *n < 1 || *n > kMaxSteps) return fail("the steps of a drag are a whole number from 1 to 1000");
        steps = static_cast<int>(*n);
    }
    auto w = frontWindow(*from);
    if (!w) return fail("no window on screen");
    if (alertInFront()) return fail(kAlertInFront);
    fingersOn(w).drag(inWindow(w, *from), inWindow(w, *to), steps);
    return true;
}

bool Driver::hold(const std::string& text) {
    const std::string usage = "hold X,Y [SECONDS]";
    auto args = words(text);
    if (args.empty() || args.size() > 2) return fail("hold needs a point and at most a number of seconds: " + usage);
    auto point = endpoint(args[0], usage);
    if (!point) return false;
    double seconds = kDefaultHoldSeconds;
    if (args.size() == 2) {
        auto given = number(args[1]);
        if (!given || *given < 0 || *given > kMaxHoldSeconds) return fail("a hold lasts from 0 to 60 seconds: " + usage);
        seconds = *given;
    }
    auto w = frontWindow(*point);
    if (!w) return fail("no window on screen");
    if (alertInFront()) return fail(kAlertInFront);
    UIFingers fingers = fingersOn(w);
    fingers.down({inWindow(w, *point)});
    advance(seconds);
    fingers.up();
    return true;
}

bool Driver::swipe(const std::string& text) {
    const std::string usage = "swipe left|right|up|down [TEXT]";
    auto args = words(text);
    auto direction = args.empty() ? std::nullopt : UIScrollViewSwipeFromName(args[0]);
    if (!direction || args.size() > 2) return fail("swipe left, right, up or down, across TEXT when given: " + usage);
    if (alertInFront()) return fail(kAlertInFront);
    if (args.size() == 1) {
        // The same flick across the innermost view on screen that scrolls that way.
        UIScreenReply reply;
        reply.passTime = [this](double seconds) { advance(seconds); };
        auto done = describe().performInnermost("swipe", args[0], reply);
        if (!done) return fail("nothing on screen scrolls");
        return *done || fail(reply.error);
    }
    auto from = endpoint(args[1], usage);
    if (!from) return false;
    auto w = frontWindow(*from);
    if (!w) return fail("no window on screen");
    const CGPoint start = inWindow(w, *from);
    fingersOn(w).drag(start, UIScrollViewSwipeEndInWindow(*direction, start, w->bounds(), *w), kUIScrollViewSwipeMoves);
    return true;
}

bool Driver::twist(const std::string& text) {
    const std::string usage = "twist X,Y DEGREES";
    auto args = words(text);
    if (args.size() != 2) return fail("twist needs a point and an angle: " + usage);
    auto centre = endpoint(args[0], usage);
    if (!centre) return false;
    auto degrees = number(args[1]);
    if (!degrees || std::fabs(*degrees) > 3600) return fail("the angle of a twist is a number of degrees, at most 3600 either way");
    auto w = frontWindow(*centre);
    if (!w) return fail("no window on screen");
    if (alertInFront()) return fail(kAlertInFront);
    int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(*degrees) / kTwistStepDegrees)));
    fingersOn(w).twist(inWindow(w, *centre), kTwistRadius, *degrees, steps);
    return true;
}

bool Driver::rotate(const std::string& text) {
    static const std::pair<const char*, UIDeviceOrientation> names[] = {
        {"portrait", UIDeviceOrientationPortrait},
        {"upside-down", UIDeviceOrientationPortraitUpsideDown},
        {"left", UIDeviceOrientationLandscapeLeft},
        {"right", UIDeviceOrientationLandscapeRight},
    };
    for (auto& [name, orientation] : names)
        if (text == name) {
            UIApplication::sharedApplication()->rotateDevice(orientation);
            return true;
        }
    return fail("rotate portrait, upside-down, left or right");
}
