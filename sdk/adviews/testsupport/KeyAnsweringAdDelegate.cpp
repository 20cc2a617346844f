#include "sdk/adviews/testsupport/KeyAnsweringAdDelegate.h"

const std::vector<std::string>& KeyAnsweringAdDelegate::networkKeyNames() {
    static const std::vector<std::string> names = {
        "zidUvovAdMobPublisherID",
        "zidUvovInMobiAppKey",
        "zidUvovMillennialAppKey",
        "zidUvovMillennialInterstitalAppKey",
        "zidUvovMobclixApplicationID",
        "zidUvovJumptapPublisherID",
        "zidUvovJumptapSiteID",
        "zidUvovJumptapBannerAdSpotID",
        "zidUvovJumptapLeaderboardAdSpotID",
        "zidUvovJumptapMediumRectangleAdSpotID",
        "zidUvovGreystripeApplicationID",
    };
    return names;
}
