// Opens one folder in the Files tab and reads the first screen, as a person would see it.
// Usage: bench_folder_listing DEVICE_ROOT DEVICE_PATH
// Prints "first screen: <ms> ms, <rows> rows listed, <names> bytes of names".

#include "app/TDBrowser.h"
#include "platform/device/Driver.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITabBarController.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE_ROOT DEVICE_PATH\n", argv[0]);
        return 2;
    }
    DeviceRoot::setRoot(argv[1]);
    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window->makeKeyAndVisible();
    auto start = std::chrono::steady_clock::now();

    auto browser = TDBrowser::initWithPath(argv[2]);
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllersAnimated({UINavigationController::initWithRootViewController(browser)}, false);
    window->setRootViewController(tabs);
    Driver driver;
    std::string screen = driver.screen();

    auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::size_t nameBytes = 0;
    for (auto& name : browser->files()) nameBytes += name.size();
    std::printf("first screen: %.1f ms, %zu rows listed, %zu bytes of names, %zu cells made\n", elapsed, browser->files().size(),
                nameBytes, browser->tableView()->visibleCells().size());
    if (screen.find("rows ") == std::string::npos && !browser->files().empty()) {
        std::fprintf(stderr, "the first screen shows no rows:\n%s", screen.c_str());
        return 1;
    }
    return 0;
}
