#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

namespace {
using Recognizers = std::vector<UIGestureRecognizerPtr>;
using Handler = void (UIResponder::*)(const UITouchSet&, const std::shared_ptr<UIEvent>&);
using RecognizerHandler = void (UIGestureRecognizer::*)(const UITouchSet&, const std::shared_ptr<UIEvent>&);

constexpr UITouchPhase kPhases[] = {UITouchPhaseBegan, UITouchPhaseMoved, UITouchPhaseEnded, UITouchPhaseCancelled};

Handler viewHandler(UITouchPhase phase) {
    switch (phase) {
    case UITouchPhaseBegan: return &UIResponder::touchesBeganWithEvent;
    case UITouchPhaseMoved: return &UIResponder::touchesMovedWithEvent;
    case UITouchPhaseEnded: return &UIResponder::touchesEndedWithEvent;
    default: return &UIResponder::touchesCancelledWithEvent;
    }
}

RecognizerHandler recognizerHandler(UITouchPhase phase) {
    switch (phase) {
    case UITouchPhaseBegan: return &UIGestureRecognizer::touchesBeganWithEvent;
    case UITouchPhaseMoved: return &UIGestureRecognizer::touchesMovedWithEvent;
    case UITouchPhaseEnded: return &UIGestureRecognizer::touchesEndedWithEvent;
    default: return &UIGestureRecognizer::touchesCancelledWithEvent;
    }
}

UITouchSet withPhase(const UITouchSet& touches, UITouchPhase phase) {
    UITouchSet out;
    for (auto& t : touches)
        if (t->phase() == phase) out.push_back(t);
    return out;
}

// The recognizers of the view and its superviews that take the touch.
Recognizers recognizersFor(const UIViewPtr& hit, UITouch& touch) {
    Recognizers out;
    for (auto v = hit; v; v = v->superview())
        for (auto& g : v->gestureRecognizers()) {
            auto d = g->delegate();
            if (g->isEnabled() && g->isActive() && (!d || d->gestureRecognizerShouldReceiveTouch(*g, touch))) out.push_back(g);
        }
    return out;
}

Recognizers involved(const UITouchSet& touches) {
    Recognizers out;
    for (auto& t : touches)
        for (auto& g : t->gestureRecognizers())
            if (std::find(out.begin(), out.end(), g) == out.end()) out.push_back(g);
    return out;
}

bool sharesTouch(const UIEvent& event, const UIGestureRecognizer& a, const UIGestureRecognizer& b) {
    auto mine = event.touchesForGestureRecognizer(&a);
    auto theirs = event.touchesForGestureRecognizer(&b);
    return std::any_of(mine.begin(), mine.end(), [&](auto& t) { return std::count(theirs.begin(), theirs.end(), t) > 0; });
}

bool simultaneous(UIGestureRecognizer& a, UIGestureRecognizer& b) {
    auto da = a.delegate(), db = b.delegate();
    return (da && da->gestureRecognizerShouldRecognizeSimultaneouslyWith(a, b)) ||
           (db && db->gestureRecognizerShouldRecognizeSimultaneouslyWith(b, a));
}

// A recognizer that began or recognized: the others sharing its touches fail.
void excludeOthers(const UIEvent& event, UIGestureRecognizer& winner, const Recognizers& all) {
    for (auto& other : all)
        if (other.get() != &winner && other->state() == UIGestureRecognizerStatePossible &&
            sharesTouch(event, winner, *other) && !simultaneous(winner, *other))
            other->setState(UIGestureRecognizerStateFailed);
}

// Touches a recognizer holds (begun, changing or just recognized) leave their views: a touch the
// view already heard of gets touchesCancelled, a new one is never delivered.
void takeFromViews(const std::shared_ptr<UIEvent>& event) {
    for (auto& t : event->allTouches()) {
        if (t->isCancelledForView()) continue;
        auto rs = t->gestureRecognizers();
        bool taken = std::any_of(rs.begin(), rs.end(), [](auto& g) {
            auto s = g->state();
            return g->cancelsTouchesInView() &&
                   (s == UIGestureRecognizerStateBegan || s == UIGestureRecognizerStateChanged || s == UIGestureRecognizerStateEnded);
        });
        if (!taken) continue;
        t->setCancelledForView();
        auto view = t->view();
        if (view && t->phase() != UITouchPhaseBegan) view->touchesCancelledWithEvent({t}, event);
    }
}
} // namespace

void UIWindow::sendEvent(const std::shared_ptr<UIEvent>& event) {
    if (!event || event->type() != UIEventTypeTouches) return;
    auto keep = self<UIWindow>();
    // As the display pass before an event would: touches land on views where the screen shows them.
    layoutIfNeeded();
    const auto& touches = event->allTouches();
    for (auto& t : touches) {
        if (t->phase() != UITouchPhaseBegan || t->view()) continue;
        auto hit = hitTestWithEvent(t->locationInView(nullptr), event);
        t->setView(hit);
        t->setGestureRecognizers(recognizersFor(hit, *t));
    }

    auto recognizers = involved(touches);
    for (auto& g : recognizers) {
        auto mine = event->touchesForGestureRecognizer(g.get());
        auto before = g->state();
        for (auto phase : kPhases) {
            auto some = withPhase(mine, phase);
            if (!some.empty() && g->isActive()) ((*g).*recognizerHandler(phase))(some, event);
        }
        if (before == UIGestureRecognizerStatePossible &&
            (g->state() == UIGestureRecognizerStateBegan || g->state() == UIGestureRecognizerStateRecognized))
            excludeOthers(*event, *g, recognizers);
    }
    takeFromViews(event);

    for (auto phase : kPhases) {
        // Grouped by view, in the order the views were first touched.
        std::vector<std::pair<UIViewPtr, UITouchSet>> byView;
        for (auto& t : withPhase(touches, phase)) {
            auto view = t->view();
            if (!view || t->isCancelledForView()) continue;
            auto it = std::find_if(byView.begin(), byView.end(), [&](auto& e) { return e.first == view; });
            if (it == byView.end()) byView.push_back({view, {t}});
            else it->second.push_back(t);
        }
        for (auto& [view, set] : byView) ((*view).*viewHandler(phase))(set, event);
    }

    bool over = std::all_of(touches.begin(), touches.end(), [](auto& t) {
        return t->phase() == UITouchPhaseEnded || t->phase() == UITouchPhaseCancelled;
    });
    if (!over) return;
    for (auto& g : recognizers) {
        if (g->state() == UIGestureRecognizerStateBegan || g->state() == UIGestureRecognizerStateChanged)
            g->setState(UIGestureRecognizerStateCancelled);
        g->reset();
    }
}
