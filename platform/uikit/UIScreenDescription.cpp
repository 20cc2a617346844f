#include "platform/uikit/UIScreenDescription.h"

#include "platform/foundation/PrintableText.h"
#include "platform/uikit/CATextLayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace {
// A view this faint is not on screen for a finger or an eye.
constexpr CGFloat kInvisibleAlpha = 0.01;
} // namespace

void UIScreenDescription::addLine(std::string line) { lines_.push_back(printable(std::move(line))); }

namespace {
// Whether the line shows the name as a word of its own (not inside a longer word).
bool mentions(const std::string& line, const std::string& name) {
    auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    for (auto at = line.find(name); at != std::string::npos; at = line.find(name, at + 1)) {
        const bool startsWord = at == 0 || !word(line[at - 1]) || !word(name.front());
        const std::size_t end = at + name.size();
        const bool endsWord = end == line.size() || !word(line[end]) || !word(name.back());
        if (startsWord && endsWord) return true;
    }
    return false;
}
// Whether a tap on a picture or a text does anything: the view or one around it is a control or
// recognizes taps. (A label or a picture alone lets the touch fall through to nothing.)
bool takesTaps(std::shared_ptr<UIView> view) {
    for (; view; view = view->superview()) {
        if (std::dynamic_pointer_cast<UIControl>(view)) return true;
        for (const auto& recognizer : view->gestureRecognizers())
            if (std::dynamic_pointer_cast<UITapGestureRecognizer>(recognizer)) return true;
    }
    return false;
}
} // namespace

std::string UIScreenDescription::text() const {
    std::string out;
    for (auto& line : lines_) out += line + "\n";
    // Whatever `tap` reaches shows on the screen: what no line names yet (a panel's buttons, a
    // menu's options) is listed last, from the front-most layer, where taps land, each as its
    // view is mentioned ("[button]", "(picture)", "\"text\""). What stands covered is out of reach
    // and not listed; a thing with several names (a button's title, image and label) once.
    const std::size_t front = layers_.size() - 1;
    auto namedByALine = [&](const std::string& name) {
        // As the name shows inside a line: a space at its end stands as it is there.
        std::string shown = printable(name + ".");
        shown.pop_back();
        return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& line) { return mentions(line, shown); });
    };
    std::vector<const Place*> mentioned;
    for (const auto& p : places_)
        if (p.layer == front && !p.view.expired() && namedByALine(p.name)) mentioned.push_back(&p);
    std::vector<std::string> seen;
    std::vector<const UIView*> listed;
    std::string also;
    for (const auto& target : targets_) {
        if (target.command || target.alias || target.layer != front) continue;
        if (std::find(seen.begin(), seen.end(), target.name) != seen.end()) continue;
        seen.push_back(target.name);
        if (namedByALine(target.name) || namedByLines(target, mentioned)) continue;
        auto owner = target.view.lock();
        // Covered, off the screen or painted over: out of a person's sight.
        if (owner && (coverOf(owner) || !UIScreenDescription::seen(owner))) continue;
        auto view = place(target.name);
        auto mention = view ? view->screenMention() : std::nullopt;
        // Another name of a control (its image's, its title) lists the control by its own.
        bool controlsName = false;
        if (!view && owner) {
            auto own = owner->screenMention();
            if (own && own->pressable && !own->text.empty()) view = owner, mention = own, controlsName = true;
        }
        std::string item;
        if (!mention || (mention->text != target.name && !controlsName)) item = " [" + printable(target.name) + "]";
        else if (mention->pressable || takesTaps(view)) item = " " + printable(mention->bracketed());
        else continue;
        if (view) {
            if (std::find(listed.begin(), listed.end(), view.get()) != listed.end()) continue;
            listed.push_back(view.get());
        }
        also += item;
    }
    if (!also.empty()) out += "also:" + also + "\n";
    return out;
}

bool UIScreenDescription::namedByLines(const Target& target, const std::vector<const Place*>& mentioned) const {
    const auto owner = target.view.lock();
    const auto placed = place(target.name);
    for (const auto* p : mentioned) {
        const auto named = p->view.lock();
        if (!named) continue;
        for (const auto& view : {placed, owner}) {
            if (!view) continue;
            // The same thing, or a part of a control the lines name (the mark inside a button).
            if (view == named) return true;
            if (std::dynamic_pointer_cast<UIControl>(named) && view->isDescendantOfView(named.get())) return true;
            // A label for a thing whose own texts the lines show (a row's cell).
            if (view->accessibilityLabel() == target.name && named->isDescendantOfView(view.get())) return true;
        }
    }
    return false;
}

void UIScreenDescription::addTappable(std::string text, TapAction action, std::shared_ptr<UIView> where) {
    if (text.empty() || !action) return;
    targets_.push_back({std::move(text), false, [action = std::move(action)](const std::string&, UIScreenReply& reply) {
                            return action(reply);
                        },
                        layers_.size() - 1, where ? where : currentView()});
}

void UIScreenDescription::addAlias(std::string text, TapAction action, std::shared_ptr<UIView> where) {
    const auto count = targets_.size();
    addTappable(std::move(text), std::move(action), std::move(where));
    if (targets_.size() > count) targets_.back().alias = true;
}

void UIScreenDescription::addCommand(std::string command, Action action, std::shared_ptr<UIView> where) {
    if (!action) return;
    targets_.push_back({std::move(command), true, std::move(action), layers_.size() - 1, where ? where : currentView()});
}

void UIScreenDescription::beginLayer(std::string name, std::string hint) {
    layers_.push_back({std::move(name), std::move(hint)});
}

void UIScreenDescription::describeWindow(const std::shared_ptr<UIWindow>& window,
                                         const std::vector<std::shared_ptr<UIWindow>>& inFront) {
    if (!window) return;
    window->layoutIfNeeded();
    // A turned interface says so first (the device's side is the driver's `rotate`).
    static const char* const kTurnedInterfaces[] = {"", "", "upside down", "landscape, turned left", "landscape, turned right"};
    auto displayed = UIApplication::sharedApplication()->displayedInterfaceOrientation();
    if (displayed >= UIInterfaceOrientationPortraitUpsideDown && displayed <= UIInterfaceOrientationLandscapeLeft) {
        auto size = UIScreen::mainScreen()->interfaceBounds().size;
        addLine(std::string("orientation: ") + kTurnedInterfaces[displayed] + ", " + std::to_string(std::lround(size.width)) +
                " by " + std::to_string(std::lround(size.height)) + " points");
    }
    auto subviews = window->subviews();
    // A presentation over the whole screen hides what lies beneath it; a sheet leaves it in view.
    std::size_t first = 0;
    for (std::size_t i = 0; i < subviews.size(); ++i) {
        auto controller = subviews[i]->viewController();
        if (controller && controller->presentingViewController() &&
            controller->modalPresentationStyle() != UIModalPresentationOverFullScreen)
            first = i;
    }
    // Controllers' views in order; a controller shown inside a view of the window's own (a
    // popover) as a screen of its own in front; the other views of the window in the outline.
    std::vector<std::shared_ptr<UIView>> loose;
    for (std::size_t i = first; i < subviews.size(); ++i) {
        auto& view = subviews[i];
        if (view->viewController()) {
            describeView(view);
        } else if (auto embedded = embeddedController(view); embedded && !view->isHidden() && view->alpha() >= kInvisibleAlpha) {
            addLine("popover:");
            beginLayer("a popover", "act on it, or touch outside it to close it");
            describeViewController(embedded);
        } else {
            loose.insert(loose.begin(), view);
        }
    }
    for (auto& front : inFront) {
        front->layoutIfNeeded();
        // A window in front may name itself (its controller) before its views.
        describingViews_.push_back(front);
        front->describeToScreen(*this);
        describingViews_.pop_back();
        // A controller presented in that window (a store page, say) speaks for its view.
        std::vector<std::shared_ptr<UIView>> outlined;
        auto views = front->subviews();
        for (auto it = views.rbegin(); it != views.rend(); ++it) {
            auto controller = (*it)->viewController();
            if (controller && controller->presentingViewController()) describeView(*it);
            else outlined.push_back(*it);
        }
        outlineViews(outlined);
    }
    outlineViews(loose);
}

std::shared_ptr<UIViewController> UIScreenDescription::embeddedController(const std::shared_ptr<UIView>& view) {
    // Breadth first: the outermost controller's view inside.
    std::vector<std::shared_ptr<UIView>> level = view->subviews();
    while (!level.empty()) {
        std::vector<std::shared_ptr<UIView>> next;
        for (auto& v : level) {
            if (auto c = v->viewController()) return c;
            next.insert(next.end(), v->subviews().begin(), v->subviews().end());
        }
        level = std::move(next);
    }
    return nullptr;
}

void UIScreenDescription::addPlace(const std::shared_ptr<UIView>& view) {
    auto mention = view->screenMention();
    if (mention && !mention->text.empty()) places_.push_back({mention->text, view, layers_.size() - 1, {}});
    if (!view->accessibilityLabel().empty()) places_.push_back({view->accessibilityLabel(), view, layers_.size() - 1, {}});
}

const UIScreenDescription::Place* UIScreenDescription::findPlace(const std::string& text) const {
    for (std::size_t layer = layers_.size(); layer-- > 0;)
        for (auto& p : places_)
            if (p.layer == layer && shows(p.name, text) && !p.view.expired()) return &p;
    return nullptr;
}

std::shared_ptr<UIView> UIScreenDescription::place(const std::string& text) const {
    auto p = findPlace(text);
    return p ? p->view.lock() : nullptr;
}

namespace {
// A point of a layer in the screen's points: through the layer tree to its root (a window's
// layer), then into the screen's coordinates and upright in the interface's orientation.
CGPoint screenPointOf(const CALayer& layer, CGPoint p) {
    auto inRoot = layer.convertPointToLayer(p, nullptr);
    auto root = &layer;
    while (auto parent = root->superlayer()) root = parent.get();
    if (auto window = root->view()) {
        auto f = window->frame();
        inRoot = {inRoot.x + f.origin.x, inRoot.y + f.origin.y};
    }
    return UIScreen::mainScreen()->pointToInterface(inRoot);
}

CGPoint centreOf(const CALayer& layer) {
    auto b = layer.bounds();
    return screenPointOf(layer, {b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2});
}
} // namespace

std::optional<CGPoint> UIScreenDescription::placePoint(const std::string& text) const {
    auto p = findPlace(text);
    if (!p) return std::nullopt;
    if (auto drawn = p->drawn.lock()) return centreOf(*drawn);
    auto view = p->view.lock();
    // Where a finger meets it, as `tap` presses it: the middle of what shows of it.
    if (auto window = view->window(); window && view != window)
        if (auto at = reachPoint(view)) {
            auto f = window->frame();
            return UIScreen::mainScreen()->pointToInterface({at->x + f.origin.x, at->y + f.origin.y});
        }
    return centreOf(*view->layer());
}

void UIScreenDescription::describeLayers(const std::shared_ptr<CALayer>& layer, std::size_t depth, bool outline) {
    auto children = layer->sublayers();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto& child = *it;
        if (child->view() || child->isHidden() || child->opacity() < kInvisibleAlpha) continue;
        auto name = child->screenName();
        auto host = layer;
        while (host && !host->view()) host = host->superlayer();
        if (!name.empty() && host) {
            auto view = host->view()->self<UIView>();
            if (outline) {
                if (!outlined_) addLine("views:");
                outlined_ = true;
                auto textLayer = dynamic_cast<CATextLayer*>(child.get());
                bool text = textLayer && !textLayer->string().empty();
                addLine(std::string(2 * (depth + 1), ' ') + UIScreenMention{name, false, text}.bracketed());
            }
            places_.push_back({name, view, layers_.size() - 1, child});
            std::weak_ptr<CALayer> weak = child;
            addTappable(name, [weak](UIScreenReply& reply) {
                auto drawn = weak.lock();
                if (!drawn) return reply.refuse("it is gone");
                auto root = drawn;
                while (auto parent = root->superlayer()) root = parent;
                auto window = root->view() ? std::dynamic_pointer_cast<UIWindow>(root->view()->self<UIView>()) : nullptr;
                if (!window) return reply.refuse("it is not on screen");
                auto p = UIScreen::mainScreen()->pointFromInterface(centreOf(*drawn));
                auto f = window->frame();
                return touchAt(window, {p.x - f.origin.x, p.y - f.origin.y}, reply);
            }, view);
        }
        describeLayers(child, name.empty() ? depth : depth + 1, outline);
    }
}

bool UIScreenDescription::centreOnScreen(const UIView& view) {
    auto w = view.window();
    if (!w) return true;
    auto b = view.bounds();
    return CGRectContainsPoint(w->bounds(), view.convertPointToView(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)), w));
}

void UIScreenDescription::addPictureTarget(const std::shared_ptr<UIView>& view) {
    addPlace(view);
    auto mention = view->screenMention();
    if (!mention || mention->pressable || mention->isText || mention->text.empty() || mention->text == "image") return;
    if (!centreOnScreen(*view)) return;
    addTappable(mention->text, [view](UIScreenReply& reply) { return touch(view, reply); }, view);
}

void UIScreenDescription::outlineViews(const std::vector<std::shared_ptr<UIView>>& frontFirst) {
    for (auto& view : frontFirst) outlineView(view, 0);
}

void UIScreenDescription::outlineView(const std::shared_ptr<UIView>& view, std::size_t depth) {
    if (!view || view->isHidden() || view->alpha() < kInvisibleAlpha) return;
    describingViews_.push_back(view);
    view->describeToScreen(*this);
    describingViews_.pop_back();
    addPictureTarget(view);
    auto mention = view->screenMention();
    // What lies out of sight (past the screen's edge, say) is not listed; what it holds may be.
    if (mention && !mention->text.empty() && seen(view)) {
        if (!outlined_) addLine("views:");
        outlined_ = true;
        addLine(std::string(2 * (depth + 1), ' ') + mention->bracketed());
        ++depth;
    }
    describeLayers(view->layer(), depth, true);
    auto subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) outlineView(*it, depth);
}

void UIScreenDescription::describeViewController(const std::shared_ptr<UIViewController>& controller) {
    if (!controller || std::count(describing_.begin(), describing_.end(), controller.get())) return;
    describing_.push_back(controller.get());
    describingViews_.push_back(controller->isViewLoaded() ? controller->view() : currentView());
    controller->describeToScreen(*this);
    describingViews_.pop_back();
    describing_.pop_back();
}

void UIScreenDescription::describeView(const std::shared_ptr<UIView>& view) {
    if (!view || view->isHidden() || view->alpha() < kInvisibleAlpha) return;
    auto owner = view->viewController();
    // A child controller's view: the controller speaks for it (and for its bars).
    if (owner && !std::count(describing_.begin(), describing_.end(), owner.get())) return describeViewController(owner);
    describingViews_.push_back(view);
    view->describeToScreen(*this);
    describingViews_.pop_back();
    addPictureTarget(view);
    describeLayers(view->layer(), 0, false);
    auto subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) describeView(*it);
}

const UIScreenDescription::Target* UIScreenDescription::find(const std::string& name, bool command) const {
    for (auto& target : targets_)
        if (target.layer == layers_.size() - 1 && target.command == command && (command ? target.name == name : shows(target.name, name)))
            return &target;
    return nullptr;
}

bool UIScreenDescription::act(const Target& target, const std::string& argument, UIScreenReply& reply) {
    // A finger meant for something covered meets what is in front of it, as on the device.
    if (auto view = target.view.lock())
        if (auto cover = coverOf(view)) return touchAt(cover->window, cover->point, reply);
    return target.action(argument, reply);
}

namespace {
// Whether `front` stands in front of `back` in their window: of the two branches from the view
// both lie in, the later subview is drawn (and touched) first.
bool standsInFront(const std::shared_ptr<UIView>& front, const std::shared_ptr<UIView>& back) {
    std::vector<UIView*> backChain;
    for (auto v = back; v; v = v->superview()) backChain.push_back(v.get());
    std::shared_ptr<UIView> child; // the subview of `v` on the way up from `front`
    for (auto v = front; v; child = v, v = v->superview()) {
        auto common = std::find(backChain.begin(), backChain.end(), v.get());
        if (common == backChain.end()) continue;
        // One inside the other: neither covers the other.
        if (!child || common == backChain.begin()) return false;
        const UIView* backChild = *(common - 1);
        const auto& siblings = v->subviews();
        auto frontAt = std::find(siblings.begin(), siblings.end(), child);
        auto backAt = std::find_if(siblings.begin(), siblings.end(), [&](const auto& s) { return s.get() == backChild; });
        return frontAt > backAt;
    }
    return false;
}
} // namespace

std::optional<UIScreenDescription::Cover> UIScreenDescription::coverOf(const std::shared_ptr<UIView>& view) {
    auto window = view ? view->window() : nullptr;
    if (!window || view == window) return std::nullopt;
    // A finger finds the part of the view that shows; only a view covered wherever it shows sends
    // the finger to what stands in front of it.
    if (reachPoint(view, std::nullopt, false)) return std::nullopt;
    CGRect visible = view->convertRectToView(view->bounds(), window);
    for (auto v = view->superview(); v && v != window; v = v->superview())
        if (v->clipsToBounds()) visible = CGRectIntersection(visible, v->convertRectToView(v->bounds(), window));
    visible = CGRectIntersection(visible, window->bounds());
    if (CGRectIsEmpty(visible)) return std::nullopt;
    const CGPoint point{CGRectGetMidX(visible), CGRectGetMidY(visible)};
    const CGPoint onScreen{point.x + window->frame().origin.x, point.y + window->frame().origin.y};
    for (auto& other : UIApplication::sharedApplication()->windowsInFrontOf(window)) {
        const CGPoint inOther{onScreen.x - other->frame().origin.x, onScreen.y - other->frame().origin.y};
        other->layoutIfNeeded();
        if (other->hitTestWithEvent(inOther, nullptr)) return Cover{other, inOther};
    }
    auto hit = window->hitTestWithEvent(point, nullptr);
    if (!hit || hit == view || hit->isDescendantOfView(view.get()) || view->isDescendantOfView(hit.get())) return std::nullopt;
    if (!standsInFront(hit, view)) return std::nullopt;
    return Cover{window, point};
}

namespace {
// How opaque the view shows: its alpha times those of its superviews (0 when one is hidden).
CGFloat shownOpacity(const UIView* view) {
    CGFloat opacity = 1;
    for (std::shared_ptr<UIView> parent; view; parent = view->superview(), view = parent.get()) {
        if (view->isHidden()) return 0;
        opacity *= view->alpha();
    }
    return opacity;
}

// Whether the view paints over the window's point so that what lies behind does not show: its
// picture, or its filled background, at least half opaque.
constexpr CGFloat kPaintedOverOpacity = 0.5;
bool paintsOver(const UIView& view, CGPoint inWindow, const std::shared_ptr<UIWindow>& window) {
    const auto p = view.convertPointFromView(inWindow, window);
    const auto b = view.bounds();
    if (!CGRectContainsPoint(b, p)) return false;
    const CGFloat opacity = shownOpacity(&view);
    if (auto picture = dynamic_cast<const UIImageView*>(&view); picture && picture->image())
        if (opacity >= kPaintedOverOpacity &&
            CGRectContainsPoint(UIViewContentModeRect(picture->contentMode(), picture->image()->size(), b), p))
            return true;
    auto fill = view.backgroundColor();
    return fill && opacity * fill->alpha() >= kPaintedOverOpacity;
}

// A view drawn in front of `view` that paints over the window's point, if any.
bool paintedOver(const std::shared_ptr<UIView>& view, CGPoint point, const std::shared_ptr<UIWindow>& window) {
    std::vector<std::shared_ptr<UIView>> pending{window};
    while (!pending.empty()) {
        auto v = pending.back();
        pending.pop_back();
        if (v->isHidden() || v->alpha() < kInvisibleAlpha || v == view) continue;
        const bool around = view->isDescendantOfView(v.get());
        if (!around && standsInFront(v, view) && paintsOver(*v, point, window)) return true;
        for (const auto& s : v->subviews()) pending.push_back(s);
    }
    return false;
}
} // namespace

namespace {
// Where a finger looks for a view: the middle of its part first, then points spread over it.
constexpr CGFloat kReachFractions[] = {0.5, 0.25, 0.75, 0.1, 0.9};

// Whether a finger at the window's point meets the view: no window in front takes it, and what
// the window's hit test finds there is the view, a part of it, or a view around it that lets the
// touch through to it (a label, a picture); nothing else standing in front of it.
bool fingerMeets(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIWindow>& window, CGPoint point) {
    const CGPoint onScreen{point.x + window->frame().origin.x, point.y + window->frame().origin.y};
    for (auto& other : UIApplication::sharedApplication()->windowsInFrontOf(window)) {
        other->layoutIfNeeded();
        if (other->hitTestWithEvent({onScreen.x - other->frame().origin.x, onScreen.y - other->frame().origin.y}, nullptr))
            return false;
    }
    auto hit = window->hitTestWithEvent(point, nullptr);
    return !(hit && hit != view && !hit->isDescendantOfView(view.get()) && !view->isDescendantOfView(hit.get()) &&
             standsInFront(hit, view));
}

// Whether the window's point lies where the view can show: inside the window and inside every
// ancestor that clips.
bool insideClips(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIWindow>& window, CGPoint point) {
    if (!CGRectContainsPoint(window->bounds(), point)) return false;
    for (auto v = view->superview(); v && v != window; v = v->superview())
        if (v->clipsToBounds() && !CGRectContainsPoint(v->bounds(), v->convertPointFromView(point, window))) return false;
    return true;
}
} // namespace

std::optional<CGPoint> UIScreenDescription::reachPoint(const std::shared_ptr<UIView>& view, std::optional<CGRect> rect, bool eye) {
    auto window = view ? view->window() : nullptr;
    if (!window) return std::nullopt;
    const CGRect r = rect.value_or(view->bounds());
    if (CGRectIsEmpty(r)) return std::nullopt;
    // Points of the view's own coordinates, so that a turned view is searched along its own shape.
    for (CGFloat fy : kReachFractions)
        for (CGFloat fx : kReachFractions) {
            const CGPoint local{r.origin.x + r.size.width * fx, r.origin.y + r.size.height * fy};
            const CGPoint point = view->convertPointToView(local, window);
            if (!insideClips(view, window, point) || !fingerMeets(view, window, point)) continue;
            if (eye && paintedOver(view, point, window)) continue;
            return point;
        }
    return std::nullopt;
}

bool UIScreenDescription::seen(const std::shared_ptr<UIView>& view, std::optional<CGRect> rect) {
    auto window = view ? view->window() : nullptr;
    if (!window || view == window) return true;
    if (shownOpacity(view.get()) < kInvisibleAlpha) return false;
    return reachPoint(view, rect).has_value();
}

bool UIScreenDescription::covered(UIScreenReply& reply) const {
    auto& top = layers_.back();
    return reply.refuse(top.name + " is in front of the screen: " + top.hint);
}

bool UIScreenDescription::tap(const std::string& text, UIScreenReply& reply) const {
    // What is out of sight (off the screen, painted over) is not found by its name; what a
    // finger would meet something else in front of is (act lands the finger there).
    for (auto& target : targets_) {
        if (target.layer != layers_.size() - 1 || target.command || !shows(target.name, text)) continue;
        auto view = target.view.lock();
        if (!view || coverOf(view) || seen(view)) return act(target, "", reply);
    }
    if (layers_.size() > 1) return covered(reply);
    return reply.refuse("nothing on screen shows " + quoted(text));
}

std::optional<bool> UIScreenDescription::perform(const std::string& command, const std::string& argument,
                                                 UIScreenReply& reply) const {
    if (auto target = find(command, true)) return act(*target, argument, reply);
    if (layers_.size() > 1) return covered(reply);
    return std::nullopt;
}

std::optional<bool> UIScreenDescription::performInnermost(const std::string& command, const std::string& argument,
                                                         UIScreenReply& reply) const {
    std::optional<std::string> firstRefusal;
    for (auto it = targets_.rbegin(); it != targets_.rend(); ++it) {
        if (it->layer != layers_.size() - 1 || !it->command || it->name != command) continue;
        UIScreenReply attempt;
        attempt.passTime = reply.passTime;
        if (it->action(argument, attempt)) {
            reply = attempt;
            return true;
        }
        if (!firstRefusal) firstRefusal = attempt.error;
    }
    if (firstRefusal) return reply.refuse(*firstRefusal);
    if (layers_.size() > 1) return covered(reply);
    return std::nullopt;
}

bool UIScreenDescription::touch(const std::shared_ptr<UIView>& view, UIScreenReply& reply) {
    auto root = view;
    while (auto parent = root->superview()) root = parent;
    auto b = view->bounds();
    CGPoint center{b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2};
    CGPoint inRoot = view->convertPointToView(center, nullptr);
    // Where the view shows only in part, the finger presses that part, as the screen lists it.
    if (auto window = std::dynamic_pointer_cast<UIWindow>(root)) {
        auto at = reachPoint(view);
        if (!at) at = reachPoint(view, std::nullopt, false);
        return touchAt(window, at.value_or(inRoot), reply);
    }
    return offerTap(root->hitTestWithEvent(inRoot, nullptr), view, nullptr, inRoot, reply);
}

bool UIScreenDescription::touchAt(const std::shared_ptr<UIWindow>& window, CGPoint point, UIScreenReply& reply, long tapCount) {
    UIFingers fingers(window);
    fingers.tap(point, tapCount);
    if (fingers.taken()) return true;
    auto hit = fingers.touches().front()->view();
    if (!hit) return reply.refuse("nothing to tap there");
    return offerTap(hit, hit, window, point, reply);
}

bool UIScreenDescription::offerTap(std::shared_ptr<UIView> hit, const std::shared_ptr<UIView>& fallback,
                                   const std::shared_ptr<UIWindow>& window, CGPoint point, UIScreenReply& reply) {
    if (!hit) hit = fallback;
    auto touch = std::make_shared<UITouch>(window, hit, point);
    auto event = std::make_shared<UIEvent>(UIEventTypeTouches, UIEventSubtypeNone, std::vector<std::shared_ptr<UITouch>>{touch});
    for (auto v = hit; v; v = v->superview()) {
        switch (v->tapWithEvent(event, reply)) {
        case UIView::TapOutcome::Taken: return true;
        case UIView::TapOutcome::Refused: return false;
        case UIView::TapOutcome::Passed: break;
        }
    }
    return reply.refuse("nothing to tap there");
}

std::optional<long> UIScreenDescription::index(const std::string& text) {
    long n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || text[0] < '0' || text[0] > '9' || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

std::string UIScreenDescription::imageName(const UIImagePtr& image) {
    if (!image) return "";
    return image->name().empty() ? "image" : image->name();
}
