// Hands one file of the device's inbox to the app, as the system does after AirDrop, and times the
// app's handler: the copy into the app folder runs on the main thread, so this is how long the app
// stands still.
// Usage: bench_handover DEVICE_ROOT NAME   (the file is DEVICE_ROOT/var/mobile/Documents/Inbox/NAME)
// Prints "handler: <ms> ms, <bytes> bytes saved".

#include "app/TDAppDelegate.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIApplication.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE_ROOT NAME\n", argv[0]);
        return 2;
    }
    DeviceRoot::setRoot(argv[1]);
    const std::string name = argv[2];
    auto delegate = std::make_shared<TDAppDelegate>();
    auto url = NSURL::fileURLWithPath("/var/mobile/Documents/Inbox/" + name);

    auto start = std::chrono::steady_clock::now();
    auto handled = delegate->applicationOpenURLSourceApplicationAnnotation(*UIApplication::sharedApplication(), url,
                                                                          "com.apple.sharingd", Value());
    auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    std::error_code error;
    auto saved = std::filesystem::file_size(DeviceRoot::hostPath(TDAppFolderPath + "/" + name), error);
    if (!handled.value_or(false) || error) {
        std::fprintf(stderr, "the file was not saved\n");
        return 1;
    }
    std::printf("handler: %.1f ms, %ju bytes saved\n", elapsed, static_cast<std::uintmax_t>(saved));
    return 0;
}
