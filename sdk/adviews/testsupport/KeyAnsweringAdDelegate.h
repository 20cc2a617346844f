#pragma once
// An ad delegate that answers the outside networks' keys from a table of its own: each key's call
// asks answerKey with the key's name, and networkKeyNames lists those names.

#include "sdk/ads/VuderuAdDelegate.h"

#include <string>
#include <vector>

class KeyAnsweringAdDelegate : public VuderuAdDelegate {
public:
    static const std::vector<std::string>& networkKeyNames();

    Key zidUvovAdMobPublisherID() override { return answerKey("zidUvovAdMobPublisherID"); }
    Key zidUvovInMobiAppKey() override { return answerKey("zidUvovInMobiAppKey"); }
    Key zidUvovMillennialAppKey() override { return answerKey("zidUvovMillennialAppKey"); }
    Key zidUvovMillennialInterstitalAppKey() override { return answerKey("zidUvovMillennialInterstitalAppKey"); }
    Key zidUvovMobclixApplicationID() override { return answerKey("zidUvovMobclixApplicationID"); }
    Key zidUvovJumptapPublisherID() override { return answerKey("zidUvovJumptapPublisherID"); }
    Key zidUvovJumptapSiteID() override { return answerKey("zidUvovJumptapSiteID"); }
    Key zidUvovJumptapBannerAdSpotID() override { return answerKey("zidUvovJumptapBannerAdSpotID"); }
    Key zidUvovJumptapLeaderboardAdSpotID() override { return answerKey("zidUvovJumptapLeaderboardAdSpotID"); }
    Key zidUvovJumptapMediumRectangleAdSpotID() override { return answerKey("zidUvovJumptapMediumRectangleAdSpotID"); }
    Key zidUvovGreystripeApplicationID() override { return answerKey("zidUvovGreystripeApplicationID"); }

protected:
    // nullopt: the key is not answered.
    virtual Key answerKey(const std::string& name) = 0;
};
