// The process entry: UIKit with TDAppDelegate as the application's delegate.

#include "app/TDAppDelegate.h"
#include "platform/device/UIApplicationMain.h"

int main(int argc, char** argv) { return UIApplicationMain(argc, argv, "", TDAppDelegate::registeredClassName()); }
