// The process entry: UIKit with TDAppDelegate as the application's delegate.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/device/UIApplicationMain.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    TDSites::loadFromEnvironment();
    int status = UIApplicationMain(argc, argv, "", TDAppDelegate::registeredClassName());
    // The network thread and the dispatch threads live as long as the process; it ends here
    // without destroying the static objects they may still be using.
    std::fflush(nullptr);
    std::quick_exit(status);
}
