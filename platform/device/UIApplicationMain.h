#pragma once
// The process's entry into UIKit: makes the application and its delegate (from the delegate
// class's registered name), finishes launching, then runs the main run loop with the driver
// attached to a script or standard input.
//
// Options: --device DIR (the device root, an existing folder; default $TANDREL_DEVICE, else the
// sample device in the user's data folder), --sample (the sample device, made in DIR when it is
// missing there), --model iPhone|iPad, --script FILE, --help.

#include <string>

int UIApplicationMain(int argc, char** argv, const std::string& principalClassName, const std::string& delegateClassName);
