#pragma once
// What to do when one ad event happens to a frame: the event's name and the action templates to
// run, in order.

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>
#include <vector>

class VuderuAdCallback : public NSObject {
public:
    VuderuAdCallback() = default;

    const std::string& event() const { return event_; }
    void setEvent(std::string event) { event_ = std::move(event); }
    const std::vector<std::string>& actions() const { return actions_; }
    std::vector<std::string>& mutableActions() { return actions_; }
    void setActions(std::vector<std::string> actions) { actions_ = std::move(actions); }

    std::string description() const override;

private:
    std::string event_;
    std::vector<std::string> actions_;
};
using VuderuAdCallbackPtr = std::shared_ptr<VuderuAdCallback>;
