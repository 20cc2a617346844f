#pragma once
// Small platform facts and helpers of the ad system: store-page availability, modal
// presentation, the advertising identifier and tracking flag, retina and built-in images, the
// web user agent, the screen-orientation vocabulary and the SDK's cache directory.

#include "platform/uikit/UIImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIViewController;

class VuderuAdUtil {
public:
    enum ScreenOrientation : std::int32_t { kPortrait = 0, kLandscape = 1, kOrientationUnknown = 2 };

    // The store page class exists and the system is 6.0 or later.
    static bool canDoSKAppStore();
    // The key window's root view controller presents an ad's view controller.
    static bool isModalViewPresent();
    // nil below system 6.0.
    static std::optional<std::string> getVuderuId();
    // YES below system 6.0.
    static bool isAdTrackingEnabled();
    static bool isRetinaDisplay();
    // "<name>_retina.png" or "<name>.png" from the unpacked SDK bundle, else the built-in image.
    static UIImagePtr getCorrectImageAsset(const std::string& name);
    // "play_button", "pause_button", "more_info" or "closeX"; nil for any other name.
    static UIImagePtr getDefaultImage(const std::string& name);
    static void initUserAgent();
    // Empty until initUserAgent ran.
    static std::string getUserAgent();

    static const std::vector<std::string>& screenOrientationArrayInstance();
    static const std::string& screenOrientationEnumToString(std::int32_t orientation);
    // 2 for nil, the empty string and anything outside the table.
    static std::int32_t screenOrientationStringToEnum(const std::optional<std::string>& orientation);
    // 1 while the status bar is landscape (either side), else 0.
    static std::int32_t getScreenOrientation();
    // "VuderuFiles" in the user caches directory.
    static std::string cachePathDirectory();
};
