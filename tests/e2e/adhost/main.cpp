// The ad host: a small application that calls the ads facade, run by the driver like the app.
//
//   adhost [--test-views] [--no-networks] [the app's options: --device DIR, --script FILE, ...]
//
// --test-views keeps the test ad-space view as the ad manager's maker; --no-networks leaves every
// outside ad network's class absent, as in the shipped app.

#include "tests/e2e/adhost/AdHostAppDelegate.h"
#include "platform/foundation/Sanitizers.h"
#include "tests/e2e/adhost/AdHostCommands.h"
#include "tests/e2e/adhost/AdHostPage.h"

#include "platform/device/Driver.h"
#include "platform/device/UIApplicationMain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if TANDREL_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

namespace {
constexpr double kExitSettleSeconds = 5;
} // namespace

int main(int argc, char** argv) {
    std::vector<char*> passed;
    bool networks = true;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--test-views") == 0) AdHostAppDelegate::setKeepsTestViews(true);
        else if (i > 0 && std::strcmp(argv[i], "--no-networks") == 0) networks = false;
        else passed.push_back(argv[i]);
    }
    passed.push_back(nullptr);
    AdHostCommands::registerAll();
    AdHostCommands::startNetworkStandIns(networks);
    AdHostPage::registerCommand();
    int status = UIApplicationMain(static_cast<int>(passed.size()) - 1, passed.data(), "", AdHostAppDelegate::registeredClassName());
    // An orderly end: the main loop runs until no transfer is in flight and no queue has work (a
    // few seconds at most), so that no worker is half-way through building or freeing its objects
    // (an ad request's Avro values, say) when the process ends. A request the server never
    // answers stays held by its connection.
    Driver().settle(kExitSettleSeconds);
    std::fflush(nullptr);
#if TANDREL_ADDRESS_SANITIZER
    // The static objects stay, so the leak check runs here rather than at exit.
    __lsan_do_leak_check();
#endif
    std::quick_exit(status);
}
