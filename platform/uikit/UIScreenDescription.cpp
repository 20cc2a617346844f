#include "platform/uikit/UIScreenDescription.h"

#include "platform/foundation/TextEscapes.h"
#include "platform/uikit/CATextLayer.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {
// A view this faint is not on screen for a finger or an eye.
constexpr CGFloat kInvisibleAlpha = 0.01;
} // namespace

// A line shows control characters as escapes, as every text bound for the terminal does
// (NSString::stringByEscapingControlCharacters).
std::string UIScreenDescription::printable(std::string line) { return NSString::stringByEscapingControlCharacters(line); }

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
    // view is mentioned ("[button]", "(picture)", "\"text\"").
    std::vector<std::string> unnamed;
    for (const auto& target : targets_) {
        if (target.command || target.layer != layers_.size() - 1) continue;
        if (std::find(unnamed.begin(), unnamed.end(), target.name) != unnamed.end()) continue;
        const std::string shown = printable(target.name);
        if (std::any_of(lines_.begin(), lines_.end(), [&](const std::string& line) { return mentions(line, shown); })) continue;
        unnamed.push_back(target.name);
    }
    std::string also;
    for (const auto& name : unnamed) {
        auto view = place(name);
        auto mention = view ? view->screenMention() : std::nullopt;
        if (!mention || mention->text != name) also += " [" + printable(name) + "]";
        else if (mention->pressable || takesTaps(view)) also += " " + printable(mention->bracketed());
    }
    if (!also.empty()) out += "also:" + also + "\n";
    return out;
}

void UIScreenDescription::addTappable(std::string text, TapAction action) {
    if (text.empty() || !action) return;
    targets_.push_back({std::move(text), false, [action = std::move(action)](const std::string&, UIScreenReply& reply) {
                            return action(reply);
                        },
                        layers_.size() - 1});
}

void UIScreenDescription::addCommand(std::string command, Action action) {
    if (!action) return;
    targets_.push_back({std::move(command), true, std::move(action), layers_.size() - 1});
}

void UIScreenDescription::beginLayer(std::string name, std::string hint) {
    layers_.push_back({std::move(name), std::move(hint)});
}

void UIScreenDescription::describeWindow(const std::shared_ptr<UIWindow>& window,
                                         const std::vector<std::shared_ptr<UIWindow>>& inFront) {
    if (!window) return;
    window->layoutIfNeeded();
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
        front->describeToScreen(*this);
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
            if (p.layer == layer && p.name == text && !p.view.expired()) return &p;
    return nullptr;
}

std::shared_ptr<UIView> UIScreenDescription::place(const std::string& text) const {
    auto p = findPlace(text);
    return p ? p->view.lock() : nullptr;
}

namespace {
// A point of a layer in screen points: through the layer tree to its root (a window's layer).
CGPoint screenPointOf(const CALayer& layer, CGPoint p) {
    auto inRoot = layer.convertPointToLayer(p, nullptr);
    auto root = &layer;
    while (auto parent = root->superlayer()) root = parent.get();
    if (auto window = root->view()) {
        auto f = window->frame();
        return {inRoot.x + f.origin.x, inRoot.y + f.origin.y};
    }
    return inRoot;
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
                auto p = centreOf(*drawn);
                auto f = window->frame();
                return touchAt(window, {p.x - f.origin.x, p.y - f.origin.y}, reply);
            });
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
    addTappable(mention->text, [view](UIScreenReply& reply) { return touch(view, reply); });
}

void UIScreenDescription::outlineViews(const std::vector<std::shared_ptr<UIView>>& frontFirst) {
    for (auto& view : frontFirst) outlineView(view, 0);
}

void UIScreenDescription::outlineView(const std::shared_ptr<UIView>& view, std::size_t depth) {
    if (!view || view->isHidden() || view->alpha() < kInvisibleAlpha) return;
    view->describeToScreen(*this);
    addPictureTarget(view);
    auto mention = view->screenMention();
    if (mention && !mention->text.empty()) {
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
    controller->describeToScreen(*this);
    describing_.pop_back();
}

void UIScreenDescription::describeView(const std::shared_ptr<UIView>& view) {
    if (!view || view->isHidden() || view->alpha() < kInvisibleAlpha) return;
    auto owner = view->viewController();
    // A child controller's view: the controller speaks for it (and for its bars).
    if (owner && !std::count(describing_.begin(), describing_.end(), owner.get())) return describeViewController(owner);
    view->describeToScreen(*this);
    addPictureTarget(view);
    describeLayers(view->layer(), 0, false);
    auto subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) describeView(*it);
}

const UIScreenDescription::Target* UIScreenDescription::find(const std::string& name, bool command) const {
    for (auto& target : targets_)
        if (target.layer == layers_.size() - 1 && target.command == command && target.name == name) return &target;
    return nullptr;
}

bool UIScreenDescription::covered(UIScreenReply& reply) const {
    auto& top = layers_.back();
    return reply.refuse(top.name + " is in front of the screen: " + top.hint);
}

bool UIScreenDescription::tap(const std::string& text, UIScreenReply& reply) const {
    if (auto target = find(text, false)) return target->action("", reply);
    if (layers_.size() > 1) return covered(reply);
    return reply.refuse("nothing on screen shows " + quoted(text));
}

std::optional<bool> UIScreenDescription::perform(const std::string& command, const std::string& argument,
                                                 UIScreenReply& reply) const {
    if (auto target = find(command, true)) return target->action(argument, reply);
    if (layers_.size() > 1) return covered(reply);
    return std::nullopt;
}

std::optional<bool> UIScreenDescription::performInnermost(const std::string& command, const std::string& argument,
                                                         UIScreenReply& reply) const {
    std::optional<std::string> firstRefusal;
    for (auto it = targets_.rbegin(); it != targets_.rend(); ++it) {
        if (it->layer != layers_.size() - 1 || !it->command || it->name != command) continue;
        UIScreenReply attempt;
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
    if (auto window = std::dynamic_pointer_cast<UIWindow>(root)) return touchAt(window, inRoot, reply);
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
