#pragma once
// A port as a run loop sees it: an input source that keeps the loop's run() going for as long as
// it is added to the loop (a worker thread adds one to stay in its loop until it removes it).
// Nothing is ever sent through it here.

#include "platform/foundation/NSObject.h"

#include <memory>

class NSPort : public NSObject {
public:
    static std::shared_ptr<NSPort> port() { return std::make_shared<NSPort>(); }
};
