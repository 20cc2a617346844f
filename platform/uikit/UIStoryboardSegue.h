#pragma once
// A transition from one controller to another. There are no storyboards on this device: segues
// are made in code with their identifier and both controllers, and perform() is what a subclass
// does (the base does nothing).

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

class UIViewController;

class UIStoryboardSegue : public NSObject {
public:
    UIStoryboardSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                      const std::shared_ptr<UIViewController>& destination)
        : identifier_(std::move(identifier)), source_(source), destination_(destination) {}

    const std::string& identifier() const { return identifier_; }
    std::shared_ptr<UIViewController> sourceViewController() const { return source_; }
    std::shared_ptr<UIViewController> destinationViewController() const { return destination_; }
    virtual void perform() {}

private:
    std::string identifier_;
    std::shared_ptr<UIViewController> source_;
    std::shared_ptr<UIViewController> destination_;
};
