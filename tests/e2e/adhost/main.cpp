// The ad host: a small application that calls the ads facade, run by the driver like the app.
//
//   adhost [--test-views] [the app's options: --device DIR, --script FILE, ...]
//
// --test-views keeps the test ad-space view as the ad manager's maker.

#include "tests/e2e/adhost/AdHostAppDelegate.h"
#include "tests/e2e/adhost/AdHostCommands.h"
#include "tests/e2e/adhost/AdHostPage.h"

#include "platform/device/UIApplicationMain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    std::vector<char*> passed;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--test-views") == 0) AdHostAppDelegate::setKeepsTestViews(true);
        else passed.push_back(argv[i]);
    }
    passed.push_back(nullptr);
    AdHostCommands::registerAll();
    AdHostPage::registerCommand();
    int status = UIApplicationMain(static_cast<int>(passed.size()) - 1, passed.data(), "", AdHostAppDelegate::registeredClassName());
    // Worker threads (takes, transfers, queues) may still run; the process ends here without
    // destroying the static objects they use.
    std::fflush(nullptr);
    std::quick_exit(status);
}
