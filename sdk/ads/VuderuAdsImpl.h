#pragma once
// The one object behind the ads facade. Its set-up creates the ad-log manager, the frequency-cap
// store and the asset cache on the serial queue "com.Vuderu.AdsImpl"; calls that change ad state
// made before it has ended are kept and run afterwards on the main thread, in arrival order,
// and calls made later run at once on their own thread. One lock guards the state flag, the
// list and its hand-over, and the flag is set only when the replay has drained the list, so a
// call made meanwhile still runs after those made before it.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class UIView;
class UIViewController;

class VuderuAdsImpl : public NSObject {
public:
    using Space = std::optional<std::string>;

    static std::shared_ptr<VuderuAdsImpl> instance();
    VuderuAdsImpl();

    bool isStateInitialized() const;
    // Runs the call now once set-up has ended; keeps it for the replay before.
    void forward(std::function<void()> call);

    void forwarded_initialize(const std::shared_ptr<UIViewController>& rootViewController);
    void forwarded_fetchAdForSpaceFrameSize(const Space& space, const CGRect& frame, std::int32_t size);
    void forwarded_displayAdForSpaceOnView(const Space& space, const std::shared_ptr<UIView>& view);
    void forwarded_displayAdForSpaceModallyForViewController(const Space& space, const std::shared_ptr<UIViewController>& controller);
    void forwarded_fetchAndDisplayAdForSpaceViewSize(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size);
    void forwarded_removeAdFromSpace(const Space& space);

    bool adReadyForSpace(const Space& space);
    bool isAdAvailableForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size, std::int64_t timeout);
    bool showAdForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size, std::int64_t timeout);

private:
    void setUpFinished();
    // Runs the display of the space's pending ad, after the checks shared by both display calls.
    void displayPendingAd(const std::string& space, const std::shared_ptr<NSObject>& container, bool checkKeyWindow);

    mutable std::mutex lock_;
    dispatch_queue_t queue_;
    std::vector<std::function<void()>> pendingInvocations_;
    bool stateInitialized_ = false;
};
