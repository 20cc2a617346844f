#pragma once
// An ad-space view that does nothing the tests do not ask of it: a base for fakes that answer
// only the few operations their test reads.

#include "sdk/ads/IVuderuAd.h"

class QuietAd : public virtual IVuderuAd {
public:
    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    std::vector<VuderuAdUnitPtr> allAdUnitsList() const override {
        auto unit = activeAdUnit();
        return unit ? std::vector<VuderuAdUnitPtr>{unit} : std::vector<VuderuAdUnitPtr>{};
    }
    VuderuAdFramePtr adFrame() const override {
        auto unit = activeAdUnit();
        return unit ? unit->curAdFrame() : nullptr;
    }
    bool isGuidActive(const std::string&) const override { return false; }
    bool readyForDisplay() const override { return false; }
    std::string adSpaceName() const override { return {}; }
    std::shared_ptr<std::vector<VuderuAdUnitPtr>> appendAdUnitsMaximum(std::int32_t, std::int32_t) override { return nullptr; }
    bool processExpandAction(const std::map<std::string, std::string>&) override { return false; }
    bool processCollapseAction() override { return false; }
    void windowOnLoadCalledAction() override {}
    void openSKAppstore(const Value&) override {}
};
