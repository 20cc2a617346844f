// Block animations: recorded, values set at once, completions timed on the main run loop, and a
// block whose changes a later block takes over told that it did not finish.

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

// A block being run: its record (whose delay setAnimationDelay sets) and what it changed.
struct Running {
    UIViewAnimationRecord record;
    std::vector<Change> changes;
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

void runAnimation(UIViewAnimationRecord record, const UIView::Animations& animations, const UIView::Completion& completion) {
    Running running{record, {}};
    runningBlocks().push_back(&running);
    if (animations) animations();
    runningBlocks().pop_back();
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
    runAnimation({duration, delay, options, static_cast<bool>(completion)}, animations, completion);
}

void UIView::animateWithDuration(double duration, double delay, double springDamping, double initialSpringVelocity,
                                 unsigned long options, const Animations& animations, Completion completion) {
    runAnimation({duration, delay, options, static_cast<bool>(completion), true, springDamping, initialSpringVelocity},
                 animations, completion);
}

void UIView::setAnimationDelay(double delay) {
    auto& stack = runningBlocks();
    if (!stack.empty()) stack.back()->record.delay = delay;
}

std::vector<UIViewAnimationRecord> UIView::recordedAnimations() {
    std::lock_guard<std::mutex> guard(animationLock);
    return animationRecords();
}

void UIView::clearRecordedAnimations() {
    std::lock_guard<std::mutex> guard(animationLock);
    animationRecords().clear();
}
