#pragma once
// The screen as the driver reads and works it. The driver walks the controllers and views on
// screen through this object; each adds its own lines of screen text and names its own targets
// (texts a tap finds, commands such as "row" or "airdrop"), so a new view teaches the driver by
// itself: override describeToScreen, call the base, add lines and targets. A view that takes
// taps overrides UIView::tapWithEvent; one that appears inside another's line (as a cell's
// accessory) answers screenMention. The driver's own tests hold a minimal control (Dial).
//
// Targets are searched in the order they were added, within the front-most layer only. A sheet or
// an alert opens a layer of its own (beginLayer): while it is up, what lies beneath it is out of
// reach, as it is for a finger on the device. Each target belongs to a view (the one being
// described when it was added, unless given): when something else stands in front of that view
// where a finger would press it (an overlay), the target is not listed and acting on it lands a
// finger there instead, on whatever is in front.

#include "platform/foundation/PrintableText.h"
#include "platform/uikit/UIEvent.h"
#include "platform/uikit/UIImage.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CALayer;
class UIView;
class UIViewController;
class UIWindow;

// What an action says back: a message for the user, or the reason it could not act.
struct UIScreenReply {
    std::string said;
    std::string error;
    // Lets the steps of a gesture an action makes take their time (the driver's clock); without
    // it they take none.
    std::function<void(double seconds)> passTime;
    // Sets the reason and returns false, for `return reply.refuse("...")`.
    bool refuse(std::string reason) {
        error = std::move(reason);
        return false;
    }
};

// How a view is named inside another view's line (a cell's accessory, an alert's picture) and in
// the outline of views: something to press reads "[text]", a picture "(text)", a text "\"text\"".
struct UIScreenMention {
    std::string text;
    bool pressable = false;
    bool isText = false;
    std::string bracketed() const {
        if (isText) return "\"" + text + "\"";
        return pressable ? "[" + text + "]" : "(" + text + ")";
    }
};

class UIScreenDescription {
public:
    // True when done; false with the reason in reply.error.
    using Action = std::function<bool(const std::string& argument, UIScreenReply& reply)>;
    using TapAction = std::function<bool(UIScreenReply& reply)>;

    // Screen text; control characters, invisible and line-breaking marks in a line show as escapes
    // ("\n", "\t", "\x1b", "\u200b", "\\" for a backslash, "\x20" for a space ending the line:
    // PrintableText). What `tap` reaches in the front-most layer and
    // no line names is listed last, on an "also:" line, each thing once, by its own name.
    void addLine(std::string line);
    static std::string printable(const std::string& line) { return PrintableText(line); }
    std::string text() const;

    // Something `tap TEXT` finds by the text it shows (typed as the screen shows it, escapes and
    // all, or as it is). `where` is the view a finger presses for it: by default the view (or the
    // controller's view) being described.
    void addTappable(std::string text, TapAction action, std::shared_ptr<UIView> where = nullptr);
    // Another name of a control a line names already (a back button's "Back" beside the title it
    // shows): `tap` finds it by that name too, and the screen lists the control once.
    void addAlias(std::string text, TapAction action, std::shared_ptr<UIView> where = nullptr);
    // What a command (row, accessory, delete, back, tab, scroll, refresh, press, airdrop, …) does
    // on this element; the argument is the rest of the command line.
    void addCommand(std::string command, Action action, std::shared_ptr<UIView> where = nullptr);
    // From here on, targets belong to a new front-most layer; `name` ("an alert") and `hint` (how
    // to answer it) explain why what lies beneath is out of reach.
    void beginLayer(std::string name, std::string hint);

    // The walk. A window's views are described from the back to the front (the root controller's,
    // then what is presented over it), starting at the last presentation that covers the whole
    // screen. A controller describes itself (by default its view); a view describes itself, then
    // its visible subviews front-most first; a view that is a controller's root view is described
    // by that controller.
    // Windows in front of it (the front-most first) add their views to the outline, before the
    // window's own views outside its controllers.
    void describeWindow(const std::shared_ptr<UIWindow>& window, const std::vector<std::shared_ptr<UIWindow>>& inFront = {});
    void describeViewController(const std::shared_ptr<UIViewController>& controller);
    void describeView(const std::shared_ptr<UIView>& view);
    // Views outside any controller (added straight to a window, or in another window), front-most
    // first: after a "views:" line (written once), each visible view that shows a text or an image
    // (its screenMention) gets a line, indented under the shown view it lies in; the views describe
    // themselves as well, so what they show can be tapped.
    void outlineViews(const std::vector<std::shared_ptr<UIView>>& frontFirst);

    // Where a thing the screen shows by that text, title or image name (its screenMention) lies:
    // its view, front-most layer first, or nil.
    std::shared_ptr<UIView> place(const std::string& text) const;
    // The centre, in screen points, of what shows that text: a view's, or a named or text layer's
    // (layers inside views are outlined and tappable by their names too).
    std::optional<CGPoint> placePoint(const std::string& text) const;

    // Acting on what was described: the first target of the front-most layer.
    bool tap(const std::string& text, UIScreenReply& reply) const;
    // nullopt when no element on screen takes the command at all.
    std::optional<bool> perform(const std::string& command, const std::string& argument, UIScreenReply& reply) const;
    // The same from the last target added (the innermost, front-most) back: the first that acts
    // wins; when all refuse, the innermost's reason stands.
    std::optional<bool> performInnermost(const std::string& command, const std::string& argument, UIScreenReply& reply) const;

    // A tap on the view as a finger would make it: it lands on whatever is front-most at the view's
    // center and goes up the superviews until one takes it (UIView::tapWithEvent).
    static bool touch(const std::shared_ptr<UIView>& view, UIScreenReply& reply);
    // The same at a point of the window (the driver's touch): a real touch first (UIFingers), then,
    // when no responder or recognizer took it, the tap offered up from the view hit there.
    static bool touchAt(const std::shared_ptr<UIWindow>& window, CGPoint point, UIScreenReply& reply, long tapCount = 1);
    // A row or tab number: digits only, and small enough to be one.
    static std::optional<long> index(const std::string& text);
    // How the screen names an image: its bundle name, or "image".
    static std::string imageName(const UIImagePtr& image);
    static std::string quoted(const std::string& text) { return "\"" + text + "\""; }
    // Whether a finger can land on the view: its centre lies within its window.
    static bool centreOnScreen(const UIView& view);
    // Where a finger pressing the view (at the middle of its part on screen) lands on something
    // else that stands in front of it, in a window in front or above it in its own: that window
    // and the point in it; nullopt when the view itself (or a part of it) is what the finger meets.
    struct Cover {
        std::shared_ptr<UIWindow> window;
        CGPoint point;
    };
    static std::optional<Cover> coverOf(const std::shared_ptr<UIView>& view);
    // Whether an eye sees the view, at the middle of its part on the screen (of `rect`, in the
    // view's coordinates, when given): that part lies within the window and every ancestor that
    // clips, and nothing stands in front of it there: no window, nothing a finger would meet
    // instead (coverOf), no picture and no filled view drawn over it. A view outside any window
    // is taken as seen.
    static bool seen(const std::shared_ptr<UIView>& view, std::optional<CGRect> rect = std::nullopt);
    // The one rule behind both what the screen lists and where `tap` presses: the point of the
    // window where a finger meets the view (of `rect`, in the view's coordinates, when given) —
    // the middle of the view first, then points spread over it along its own (possibly turned)
    // shape — inside the window and every ancestor that clips, with nothing in front taking the
    // touch there, and, for an eye, nothing painted over it. nullopt when there is none, or the
    // view is in no window.
    static std::optional<CGPoint> reachPoint(const std::shared_ptr<UIView>& view, std::optional<CGRect> rect = std::nullopt,
                                             bool eye = true);
    // Whether a name shown on the screen is what was typed: escaped as the screen shows it ("\\"
    // for a backslash, "\x20" for a space at its end), or as it is when the typing holds no
    // backslash (a backslash typed always begins an escape).
    static bool shows(const std::string& name, const std::string& typed) {
        return printable(name) == typed || (name == typed && typed.find('\\') == std::string::npos);
    }

private:
    struct Place;
    struct Target {
        std::string name;
        bool command;
        Action action;
        std::size_t layer;
        std::weak_ptr<UIView> view;
        bool alias = false;
    };
    struct Layer {
        std::string name;
        std::string hint;
    };
    const Target* find(const std::string& name, bool command) const;
    // Runs the target's action, or lands a finger in front of its view when something covers it.
    static bool act(const Target& target, const std::string& argument, UIScreenReply& reply);
    // Whether a name unmentioned by the lines belongs to something a line names already (the same
    // view, one around it, or, for an accessibility label, one inside it).
    bool namedByLines(const Target& target, const std::vector<const Place*>& mentioned) const;
    // A tap offered to the hit view (or the fallback) and up its superviews (tapWithEvent).
    static bool offerTap(std::shared_ptr<UIView> hit, const std::shared_ptr<UIView>& fallback,
                         const std::shared_ptr<UIWindow>& window, CGPoint point, UIScreenReply& reply);
    bool covered(UIScreenReply& reply) const;

    std::vector<std::string> lines_;
    std::vector<Target> targets_;
    std::vector<Layer> layers_{Layer{}};
    void outlineView(const std::shared_ptr<UIView>& view, std::size_t depth);
    // A picture (an image view) can be tapped by its image's name.
    void addPictureTarget(const std::shared_ptr<UIView>& view);
    // A view added straight to a window that holds a controller's view (a popover's bubble).
    static std::shared_ptr<UIViewController> embeddedController(const std::shared_ptr<UIView>& view);

    struct Place {
        std::string name;
        std::weak_ptr<UIView> view;
        std::size_t layer;
        std::weak_ptr<CALayer> drawn;
    };
    void addPlace(const std::shared_ptr<UIView>& view);
    // The named and text layers drawn inside a view (outside its subviews), front-most first.
    void describeLayers(const std::shared_ptr<CALayer>& layer, std::size_t depth, bool outline);
    const Place* findPlace(const std::string& text) const;

    std::vector<const UIViewController*> describing_;
    // The views being described, innermost last: what targets added now belong to.
    std::vector<std::shared_ptr<UIView>> describingViews_;
    std::shared_ptr<UIView> currentView() const { return describingViews_.empty() ? nullptr : describingViews_.back(); }
    std::vector<Place> places_;
    bool outlined_ = false;
};
