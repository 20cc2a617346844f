#include "platform/uikit/UIScreen.h"

#include "platform/system/DeviceProfile.h"

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
    static auto screen = std::make_shared<UIScreen>();
    return screen;
}

CGRect UIScreen::bounds() const {
    auto p = DeviceProfile::current();
    return CGRectMake(0, 0, p.screenWidth, p.screenHeight);
}

CGFloat UIScreen::scale() const { return DeviceProfile::current().screenScale; }
