#pragma once
// A count of outstanding work with blocks to run when it drops to zero.

#include "platform/dispatch/DispatchClock.h"
#include "platform/foundation/NSObject.h"

#include <utility>
#include <vector>

class DispatchGroup : public NSObject {
public:
    void enter();
    void leave();
    void notify(const dispatch_queue_t& queue, dispatch_block_t block);
    // 0 when the group was empty before the time-out, non-zero otherwise.
    long wait(dispatch_time_t timeout);

private:
    std::shared_ptr<DispatchClock::WaitState> state_ = std::make_shared<DispatchClock::WaitState>();
    long count_ = 0;
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> notifications_;
};
