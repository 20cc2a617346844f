// View animations, block and begin/commit alike: recorded, values set at once, completions timed on
// the main run loop, and an animation whose changes a later one takes over told that it did not
// finish.

#include "platform/uikit/UIView.h"

#include "platform/foundation/NSRunLoop.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>

namespace {
using Change = std::pair<const UIView*, std::string>;

std::mutex animationLock;
std::vector<UIViewAnimationRecord>& animationRecords() {
    static std::vector<UIViewAnimationRecord> records;
    return records;
}

// An animation being described: its record (whose delay and duration the set calls change) and
// what it changed; a begin/commit one also its delegate, did-stop action and context.
struct Running {
    UIViewAnimationRecord record;
    std::vector<Change> changes;
    std::weak_ptr<NSObject> delegate;
    UIView::AnimationDidStop didStop;
    void* context = nullptr;
};
std::vector<Running*>& runningBlocks() {
    thread_local std::vector<Running*> stack;
    return stack;
}

// A block whose completion is still to come.
struct InFlight {
    std::vector<Change> changes;
    UIView::Completion completion;
    bool finished = true;
    bool done = false;
};
std::vector<std::shared_ptr<InFlight>>& inFlight() {
    thread_local std::vector<std::shared_ptr<InFlight>> blocks;
    return blocks;
}

void complete(const std::shared_ptr<InFlight>& block) {
    if (block->done) return;
    block->done = true;
    auto& all = inFlight();
    all.erase(std::remove(all.begin(), all.end(), block), all.end());
    if (block->completion) block->completion(block->finished);
}

// Earlier blocks lose the changes the new one makes; one left with none stops at the next pass.
void overtake(const std::vector<Change>& changes) {
    auto blocks = inFlight();
    for (auto& earlier : blocks) {
        auto& mine = earlier->changes;
        bool had = !mine.empty();
        auto lost = std::remove_if(mine.begin(), mine.end(), [&](const Change& c) {
            return std::find(changes.begin(), changes.end(), c) != changes.end();
        });
        if (lost == mine.end()) continue;
        mine.erase(lost, mine.end());
        earlier->finished = false;
        if (had && mine.empty()) NSRunLoop::mainRunLoop()->performAfterDelay(0, [earlier] { complete(earlier); });
    }
}

// begin/commit animations opened and not yet committed, innermost last.
std::vector<std::unique_ptr<Running>>& openAnimations() {
    thread_local std::vector<std::unique_ptr<Running>> open;
    return open;
}

void leave(const Running* running) {
    auto& stack = runningBlocks();
    stack.erase(std::remove(stack.begin(), stack.end(), running), stack.end());
}

// Records the described animation and times its completion.
void launch(Running& running, const UIView::Completion& completion) {
    {
        std::lock_guard<std::mutex> guard(animationLock);
        animationRecords().push_back(running.record);
    }
    overtake(running.changes);
    auto block = std::make_shared<InFlight>();
    block->changes = std::move(running.changes);
    block->completion = completion;
    inFlight().push_back(block);
    NSRunLoop::mainRunLoop()->performAfterDelay(running.record.delay + running.record.duration, [block] { complete(block); });
}

void runAnimation(UIViewAnimationRecord record, const UIView::Animations& animations, const UIView::Completion& completion) {
    Running running;
    running.record = std::move(record);
    runningBlocks().push_back(&running);
    if (animations) animations();
    leave(&running);
    launch(running, completion);
}

Running* openAnimation() {
    auto& open = openAnimations();
    return open.empty() ? nullptr : open.back().get();
}
} // namespace

void UIViewAnimationNoteChange(const UIView* view, const char* property) {
    auto& stack = runningBlocks();
    if (stack.empty()) return;
    Change change{view, property};
    auto& changes = stack.back()->changes;
    if (std::find(changes.begin(), changes.end(), change) == changes.end()) changes.push_back(std::move(change));
}

void UIView::animateWithDuration(double duration, const Animations& animations) {
    animateWithDuration(duration, 0, 0, animations, nullptr);
}

void UIView::animateWithDuration(double duration, const Animations& animations, Completion completion) {
    animateWithDuration(duration, 0, 0, animations, completion);
}

void UIView::animateWithDuration(double duration, double delay, unsigned long options, const Animations& animations,
                                 Completion completion) {
    runAnimation({{}, duration, delay, options, static_cast<bool>(completion)}, animations, completion);
}

void UIView::animateWithDuration(double duration, double delay, double springDamping, double initialSpringVelocity,
                                 unsigned long options, const Animations& animations, Completion completion) {
    runAnimation({{}, duration, delay, options, static_cast<bool>(completion), true, springDamping, initialSpringVelocity},
                 animations, completion);
}

void UIView::setAnimationDelay(double delay) {
    auto& stack = runningBlocks();
    if (!stack.empty()) stack.back()->record.delay = delay;
}

void UIView::beginAnimationsContext(const std::string& animationID, void* context) {
    auto running = std::make_unique<Running>();
    running->record.animationID = animationID;
    running->context = context;
    runningBlocks().push_back(running.get());
    openAnimations().push_back(std::move(running));
}

void UIView::setAnimationDuration(double duration) {
    if (auto running = openAnimation()) running->record.duration = duration;
}

void UIView::setAnimationDelegate(const std::shared_ptr<NSObject>& delegate) {
    if (auto running = openAnimation()) running->delegate = delegate;
}

void UIView::setAnimationDidStopSelector(AnimationDidStop didStop) {
    if (auto running = openAnimation()) running->didStop = std::move(didStop);
}

void UIView::commitAnimations() {
    auto& open = openAnimations();
    if (open.empty()) return;
    std::unique_ptr<Running> running = std::move(open.back());
    open.pop_back();
    leave(running.get());
    Completion completion;
    if (running->didStop) {
        running->record.hasCompletion = true;
        completion = [delegate = running->delegate, didStop = running->didStop, id = running->record.animationID,
                      context = running->context](bool finished) {
            if (auto d = delegate.lock()) didStop(*d, id, finished, context);
        };
    }
    launch(*running, completion);
}

std::vector<UIViewAnimationRecord> UIView::recordedAnimations() {
    std::lock_guard<std::mutex> guard(animationLock);
    return animationRecords();
}

void UIView::clearRecordedAnimations() {
    std::lock_guard<std::mutex> guard(animationLock);
    animationRecords().clear();
}
