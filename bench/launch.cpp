// The app's launch, as app/main.cpp makes it, with the crash reporter or without it:
//   bench_launch [--without-reporter] APP-OPTIONS...
// Without the reporter, a stand-in takes the reporter's place in the analytics settings before
// the app starts, so that starting the session makes no reporter and registers no image.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/device/UIApplicationMain.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    if (arguments.size() > 1 && std::strcmp(arguments[1], "--without-reporter") == 0) {
        arguments.erase(arguments.begin() + 1);
        VuderuGlobalVariableStorage::sharedInstance()->setVuderuCrashReporter(std::make_shared<NSObject>());
    }
    arguments.push_back(nullptr);
    TDSites::loadFromEnvironment();
    int status = UIApplicationMain(static_cast<int>(arguments.size() - 1), arguments.data(), "", TDAppDelegate::registeredClassName());
    std::fflush(nullptr);
    std::quick_exit(status);
}
