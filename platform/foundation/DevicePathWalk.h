#pragma once
// Resolution of a path beneath a root folder one component at a time, as the kernel's
// openat2(RESOLVE_IN_ROOT) does it: the fallback where the kernel lacks openat2, and the way
// DeviceRoot::hostPath learns the device path each link leads to.

#include "platform/foundation/DeviceRoot.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace DevicePathWalk {

// The components of a path in order; a trailing "/" adds "." so that the last name before it is
// walked into (followed, and required to be a folder).
std::deque<std::string> components(std::string_view path);

class Walk {
public:
    explicit Walk(int root) : root_(root) {}

    // Walks the components, taking them from the front. Every component but the last is followed;
    // the last too when `followLast`. Stops before the last component (kept in `last`, which may
    // not exist) or, when the path names a folder itself, with `last` empty. On failure returns the
    // errno and leaves the component that failed at the front of `todo`.
    int run(std::deque<std::string>& todo, bool followLast);

    // The folder reached, and its device path below the root as names.
    int folder() const { return stack_.empty() ? root_ : stack_.back().get(); }
    const std::vector<std::string>& names() const { return names_; }
    const std::string& last() const { return last_; }
    // Whether a link's absolute target or a ".." at the root was taken since the last reset: where
    // the host, following the same links, would leave the root.
    bool leftHostResolution() const { return leftHostResolution_; }
    void resetLeftHostResolution() { leftHostResolution_ = false; }

private:
    int followLink(int linkFd, std::deque<std::string>& todo);

    int root_;
    std::vector<DeviceRoot::Descriptor> stack_;
    std::vector<std::string> names_;
    std::string last_;
    int links_ = 0;
    bool leftHostResolution_ = false;
};

// open(2) beneath `root` by the walk.
DeviceRoot::Descriptor open(int root, std::string_view path, int flags, mode_t mode);

// The host path of `path` beneath `root`, whose host path is `rootHost` (see DeviceRoot::hostPath).
std::string hostPath(int root, const std::string& rootHost, std::string_view path);

} // namespace DevicePathWalk
