#pragma once
// Small builders shared by the ad-log, sender and frequency-cap tests: events, logs, units with
// one frame, and an ad-space view that shows one frame.

#include "sdk/ads/IVuderuAd.h"
#include "sdk/ads/VuderuAdLog.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace adlog_builders {

inline VuderuAdEventPtr event(std::int32_t id, bool sendable = true, std::int64_t offset = 0, std::optional<std::string> name = std::nullopt,
                              VuderuAdEvent::ParamMap params = {}) {
    auto made = std::make_shared<VuderuAdEvent>(id, std::move(name), std::make_shared<VuderuAdEvent::ParamMap>(std::move(params)), offset);
    made->setToBeSent(sendable);
    return made;
}

inline VuderuAdLogPtr log(std::int64_t session, std::optional<std::string> guid, const std::vector<VuderuAdEventPtr>& events = {}) {
    auto made = std::make_shared<VuderuAdLog>(session, std::move(guid));
    for (const auto& e : events) made->logAdEvent(e);
    return made;
}

inline std::vector<std::string> names(const VuderuAdLog::EventList& events) {
    std::vector<std::string> out;
    for (const auto& e : events) out.push_back(e->eventName() + (e->toBeSent() ? "" : "-"));
    return out;
}

inline VuderuAdUnitPtr unitWithFrame(const std::string& space, const std::string& guid, const std::string& idHash = "") {
    auto unit = std::make_shared<VuderuAdUnit>();
    unit->setAdSpace(space);
    unit->setIdHash(idHash);
    auto frame = std::make_shared<VuderuAdFrame>();
    frame->setAdLogGUID(guid);
    unit->addAdFrame(frame);
    return unit;
}

// An ad-space view showing the frame of one GUID.
class ShowingAd : public IVuderuAd {
public:
    ShowingAd(std::string space, std::string guid, bool ready = true) : space_(std::move(space)), guid_(std::move(guid)), ready_(ready) {}
    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    bool isGuidActive(const std::string& guid) const override { return guid == guid_; }
    bool readyForDisplay() const override { return ready_; }
    std::string adSpaceName() const override { return space_; }

private:
    std::string space_, guid_;
    bool ready_;
};

} // namespace adlog_builders
